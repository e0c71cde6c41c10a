#ifndef _LOOPER_PORT_H
#define _LOOPER_PORT_H

// A looper's queue of incoming messages and its lock. It is shared between
// the looper and everyone who sends to it, and outlives the looper, so that
// a sender racing with a looper's end meets a closed port instead of a
// deleted object.

#include <Locker.h>
#include <OS.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

class BMessage;

namespace BPrivate {

// Timeouts beyond a few decades (B_INFINITE_TIMEOUT among them) mean
// "forever": no clock can add them to the current time without overflowing.
inline bool
is_infinite_timeout(bigtime_t timeout)
{
	return timeout < 0 || timeout > (1LL << 50);
}

// The form BLocker takes: negative for "forever".
inline bigtime_t
lock_timeout(bigtime_t timeout)
{
	return is_infinite_timeout(timeout) ? -1 : timeout;
}

class LooperPort {
public:
	explicit LooperPort(int32 capacity);
	~LooperPort();

	// Takes the message on success. A full queue makes the sender wait up to
	// the timeout: 0 gives B_WOULD_BLOCK at once, a finite one B_TIMED_OUT.
	// A closed port gives B_BAD_PORT_ID.
	status_t Push(BMessage* message, bigtime_t timeout);
	// Like Push, but leaves asleep a looper that waits for a held message
	// due within `patience`: it wakes for that one anyway and finds this one
	// ahead of it. Waking a thread costs more than a small message; a window
	// that draws at the frame rate takes a stream of reports a frame at a
	// time instead of one wake-up each.
	status_t PushUnhurried(BMessage* message, bigtime_t timeout, bigtime_t patience);
	// Puts a message before all others, even past the capacity.
	status_t PushFront(BMessage* message);
	// Holds the message back until the system time `when`, then queues it
	// behind whatever came before. One message at a time: B_BUSY while
	// another one waits. A looper with a held message is not idle.
	status_t PushAt(BMessage* message, bigtime_t when);
	// Waits for the next message; nullptr once the looper is told to stop.
	BMessage* Pop();
	// Takes the first queued message that match accepts out of the queue
	// (the caller owns it); nullptr when none does. For a window that looks
	// ahead at its mouse messages while it tracks the mouse.
	BMessage* TakeFirst(bool (*match)(const BMessage* message));
	// Makes the looper's Pop return nullptr (now or the next time it waits).
	void WakeToStop();
	// Refuses every later message, wakes blocked senders and deletes what is
	// still queued (answering waiting senders with B_NO_REPLY).
	void Close();
	bool IsClosed() const { return fClosed.load(); }
	int32 CountMessages() const;
	// True when nothing is queued and the looper thread waits in Pop, or
	// the loop has stopped.
	bool IsIdle() const;

	// The looper's thread has deleted the looper and let go of its lock.
	void SetFinished();
	void WaitUntilFinished();

	BLocker& Lock() { return fLocker; }
	thread_id Thread() const { return fThread.load(); }
	void SetThread(thread_id thread) { fThread.store(thread); }

private:
	status_t _Push(BMessage* message, bigtime_t timeout, bigtime_t patience);
	bool _WakesSoonWithoutHelp(bigtime_t patience) const;
	void _QueueHeldMessageIfDue();

	mutable std::mutex fMutex;
	std::condition_variable fNotEmpty;
	std::condition_variable fNotFull;
	std::deque<BMessage*> fQueue;
	BMessage* fHeld;
	bigtime_t fHeldUntil;
	int32 fCapacity;
	bool fStopRequested;
	bool fWaitingForMessage;
	bool fFinished;
	std::condition_variable fFinishedChanged;
	std::atomic<bool> fClosed;
	std::atomic<thread_id> fThread;
	BLocker fLocker;
};

} // namespace BPrivate

#endif // _LOOPER_PORT_H
