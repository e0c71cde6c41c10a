#ifndef _NODE_TEST_SUPPORT_H
#define _NODE_TEST_SUPPORT_H

// Helpers of the node extraction tests: the attributes of a node as values,
// and a real looper that answers progress messages and notes their bytes.

#include "SPackData.h"

#include <Message.h>
#include <MessageLog.h>
#include <Messenger.h>
#include <Node.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

typedef std::tuple<std::string, type_code, std::string> Attribute;

// Every attribute of a node in listing order: name, type, value.
inline std::vector<Attribute>
AttributesOf(BNode& node)
{
	std::vector<Attribute> attributes;
	node.RewindAttrs();
	char name[B_ATTR_NAME_LENGTH + 1];
	while (node.GetNextAttrName(name) == B_OK) {
		attr_info info;
		if (node.GetAttrInfo(name, &info) != B_OK)
			continue;
		std::string value(info.size, '\0');
		node.ReadAttr(name, info.type, 0, value.data(), value.size());
		attributes.emplace_back(name, info.type, value);
	}
	return attributes;
}

// The same, sorted: the host lists attributes in an order of its own, which
// rewriting an attribute can change.
inline std::vector<Attribute>
SortedAttributesOf(BNode& node)
{
	std::vector<Attribute> attributes = AttributesOf(node);
	std::sort(attributes.begin(), attributes.end());
	return attributes;
}

// Answers every progress message, with "canceled" true from the given one
// on (counted from 1; 0: never). Each message's "bytes" is noted before the
// reply goes out, so the sender sees it as soon as it has its answer.
class ProgressTarget {
public:
	explicit ProgressTarget(int32 cancelAt = 0)
		:
		fState(std::make_shared<State>()),
		fLooper(new LoggingLooper(std::make_shared<MessageLog>(), "progress"))
	{
		std::shared_ptr<State> state = fState;
		fLooper->fAction = [cancelAt, state](BLooper*, BMessage* message) {
			int32 value = -1;
			bool wellFormed = message->what == kProgressMessage
				&& message->FindInt32("bytes", &value) == B_OK;
			size_t answered;
			{
				std::lock_guard<std::mutex> guard(state->lock);
				state->bytes.push_back(wellFormed ? value : -1);
				answered = state->bytes.size();
			}
			BMessage reply(B_REPLY);
			reply.AddBool("canceled", cancelAt > 0 && answered >= (size_t)cancelAt);
			message->SendReply(&reply);
		};
		fLooper->Run();
	}

	~ProgressTarget()
	{
		fLooper->Lock();
		fLooper->Quit();
	}

	BMessenger Messenger() const { return BMessenger(nullptr, fLooper); }

	// The "bytes" of every message so far (-1 for a malformed one).
	std::vector<int32> Bytes() const
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		return fState->bytes;
	}

private:
	struct State {
		std::mutex lock;
		std::vector<int32> bytes;
	};

	std::shared_ptr<State> fState;
	LoggingLooper* fLooper;
};

inline int64
Sum(const std::vector<int32>& values)
{
	int64 sum = 0;
	for (int32 value : values)
		sum += value;
	return sum;
}

#endif // _NODE_TEST_SUPPORT_H
