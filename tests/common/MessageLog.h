#ifndef _TEST_MESSAGE_LOG_H
#define _TEST_MESSAGE_LOG_H

// Test support for the application kit: a thread-safe log of the messages a
// handler received, kept outside the handler so that it outlives loopers
// that delete themselves, and a looper that fills it.

#include <Looper.h>
#include <Message.h>
#include <OS.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Generous: only a broken kit ever waits this long.
const bigtime_t kTestWait = 10000000;

class MessageLog {
public:
	void Add(const BMessage& message, thread_id thread)
	{
		std::lock_guard<std::mutex> guard(fLock);
		fMessages.push_back(message);
		fThreads.push_back(thread);
		fChanged.notify_all();
	}

	bool WaitForCount(size_t count, bigtime_t timeout = kTestWait)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fChanged.wait_for(guard, std::chrono::microseconds(timeout),
			[&] { return fMessages.size() >= count; });
	}

	size_t Count()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fMessages.size();
	}

	BMessage At(size_t index)
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fMessages.at(index);
	}

	thread_id ThreadAt(size_t index)
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fThreads.at(index);
	}

	std::vector<BMessage> Messages()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fMessages;
	}

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	std::vector<BMessage> fMessages;
	std::vector<thread_id> fThreads;
};

// A looper that logs every message it receives, runs an optional action on
// it, and reports its own destruction.
class LoggingLooper : public BLooper {
public:
	LoggingLooper(std::shared_ptr<MessageLog> log, const char* name = "logging looper",
		int32 capacity = B_LOOPER_PORT_DEFAULT_CAPACITY)
		:
		BLooper(name, B_NORMAL_PRIORITY, capacity),
		fLog(std::move(log))
	{
	}

	~LoggingLooper() override
	{
		if (fDestroyed)
			*fDestroyed = true;
	}

	void MessageReceived(BMessage* message) override
	{
		// The action first: a test that sees the message logged may rely on
		// what the action did.
		if (fAction)
			fAction(this, message);
		fLog->Add(*message, find_thread(nullptr));
	}

	bool QuitRequested() override { return fAllowQuit.load(); }

	std::shared_ptr<MessageLog> fLog;
	std::function<void(BLooper*, BMessage*)> fAction;
	std::shared_ptr<std::atomic<bool>> fDestroyed;
	std::atomic<bool> fAllowQuit{true};
};

template<typename Predicate>
bool
WaitUntil(Predicate predicate, bigtime_t timeout = kTestWait)
{
	bigtime_t deadline = system_time() + timeout;
	while (!predicate()) {
		if (system_time() > deadline)
			return false;
		snooze(1000);
	}
	return true;
}

#endif // _TEST_MESSAGE_LOG_H
