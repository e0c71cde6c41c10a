#ifndef _HANDLER_H
#define _HANDLER_H

// An object that receives messages. It belongs to at most one looper, which
// calls MessageReceived in its thread; what a handler does not understand
// goes on to its next handler.

#include <OS.h>

class BLooper;
class BMessage;

class BHandler {
public:
	explicit BHandler(const char* name = nullptr);
	virtual ~BHandler();

	// Default: hand the message to the next handler; at the end of the
	// chain, a sender waiting for a reply gets B_MESSAGE_NOT_UNDERSTOOD.
	virtual void MessageReceived(BMessage* message);

	BLooper* Looper() const { return fLooper; }
	void SetName(const char* name);
	const char* Name() const { return fName; }
	virtual void SetNextHandler(BHandler* handler);
	BHandler* NextHandler() const { return fNextHandler; }

	bool LockLooper();
	status_t LockLooperWithTimeout(bigtime_t timeout);
	void UnlockLooper();

private:
	friend class BLooper;
	friend class BMessenger;

	BHandler(const BHandler&) = delete;
	BHandler& operator=(const BHandler&) = delete;

	void _SetLooper(BLooper* looper);

	char* fName;
	int32 fToken;
	BLooper* fLooper;
	BHandler* fNextHandler;
};

#endif // _HANDLER_H
