#ifndef _REPLY_SLOT_H
#define _REPLY_SLOT_H

// Where the reply to a synchronously sent message lands. The sender waits
// on the slot; the receiver's copy of the message holds it too, and fills it
// with its reply, or with B_NO_REPLY when the message dies unanswered.

#include <LooperPort.h>
#include <Message.h>
#include <OS.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace BPrivate {

class ReplySlot {
public:
	// The first answer wins; a later one reports B_DUPLICATE_REPLY.
	status_t Answer(const BMessage& reply)
	{
		{
			std::lock_guard<std::mutex> guard(fLock);
			if (fReply.has_value())
				return B_DUPLICATE_REPLY;
			fReply.emplace(reply);
		}
		// The slot is shared by whoever answers: it outlives this call even
		// when the woken sender lets go of it at once.
		fAnswered.notify_all();
		return B_OK;
	}

	bool IsAnswered() const
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fReply.has_value();
	}

	// B_OK with the reply moved into *reply, or B_TIMED_OUT.
	status_t Wait(bigtime_t timeout, BMessage* reply)
	{
		std::unique_lock<std::mutex> guard(fLock);
		auto answered = [this] { return fReply.has_value(); };
		if (is_infinite_timeout(timeout))
			fAnswered.wait(guard, answered);
		else if (!fAnswered.wait_for(guard, std::chrono::microseconds(timeout), answered))
			return B_TIMED_OUT;
		*reply = *fReply;
		return B_OK;
	}

private:
	mutable std::mutex fLock;
	std::condition_variable fAnswered;
	std::optional<BMessage> fReply;
};

} // namespace BPrivate

#endif // _REPLY_SLOT_H
