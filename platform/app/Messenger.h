#ifndef _MESSENGER_H
#define _MESSENGER_H

// An address for messages: a handler in a looper, or a looper's preferred
// handler. A messenger names its looper by a token that is never reused, so
// once the looper is gone the messenger is invalid for good, even when a new
// looper is created at the same address.

#include <OS.h>

class BHandler;
class BLooper;
class BMessage;

class BMessenger {
public:
	BMessenger();
	// A handler that belongs to a looper, or (handler nullptr) the looper's
	// preferred handler.
	BMessenger(const BHandler* handler, const BLooper* looper = nullptr,
		status_t* result = nullptr);
	BMessenger(const BMessenger& other);
	~BMessenger();

	BMessenger& operator=(const BMessenger& other);
	bool operator==(const BMessenger& other) const;
	bool operator!=(const BMessenger& other) const { return !(*this == other); }
	bool operator<(const BMessenger& other) const;

	status_t SetTo(const BHandler* handler, const BLooper* looper = nullptr);

	// True while the target's looper exists.
	bool IsValid() const;
	bool IsTargetLocal() const { return true; }
	// The target handler (nullptr when the target is the preferred handler)
	// and, through looper, its looper. Only meaningful while valid.
	BHandler* Target(BLooper** looper) const;
	bool LockTarget() const;
	status_t LockTargetWithTimeout(bigtime_t timeout) const;
	team_id Team() const { return fTeam; }

	// Delivers a copy of the message. Without a reply: the timeout bounds
	// the wait for room in the target's queue (0 fails at once with
	// B_WOULD_BLOCK when it is full).
	status_t SendMessage(uint32 command, BHandler* replyTo = nullptr) const;
	status_t SendMessage(BMessage* message, BHandler* replyTo = nullptr,
		bigtime_t timeout = B_INFINITE_TIMEOUT) const;
	status_t SendMessage(BMessage* message, BMessenger replyTo,
		bigtime_t timeout = B_INFINITE_TIMEOUT) const;
	// Delivers a copy without a reply, leaving the target asleep when it is
	// to wake within about a frame anyway (a window about to draw): for
	// frequent reports whose order matters but not their moment.
	status_t SendUnhurried(BMessage* message) const;
	// Synchronous: waits for the reply. A message that the target deletes
	// without answering gives a B_NO_REPLY reply and B_OK.
	status_t SendMessage(uint32 command, BMessage* reply) const;
	status_t SendMessage(BMessage* message, BMessage* reply,
		bigtime_t deliveryTimeout = B_INFINITE_TIMEOUT,
		bigtime_t replyTimeout = B_INFINITE_TIMEOUT) const;

private:
	friend class BMessage;
	friend class BLooper;

	BMessenger(int32 looperToken, int32 handlerToken);
	status_t _Deliver(BMessage* copy, bigtime_t timeout, bigtime_t patience = 0) const;

	team_id fTeam;
	int32 fLooperToken;
	int32 fHandlerToken;
};

#endif // _MESSENGER_H
