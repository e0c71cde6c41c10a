#ifndef _INVOKER_H
#define _INVOKER_H

// Something that sends a model message to a target when it is invoked (a
// button when it is pressed). Each invocation sends a copy of the model with
// "when" (int64, system_time()) and "source" (pointer to the invoking
// object) added.

#include <AppDefs.h>
#include <Messenger.h>

class BHandler;
class BLooper;
class BMessage;

class BInvoker {
public:
	BInvoker();
	// Takes over the message.
	BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper = nullptr);
	BInvoker(BMessage* message, BMessenger target);
	virtual ~BInvoker();

	// Takes over the message and deletes the previous one.
	virtual status_t SetMessage(BMessage* message);
	BMessage* Message() const { return fMessage; }
	uint32 Command() const;

	virtual status_t SetTarget(const BHandler* handler, const BLooper* looper = nullptr);
	virtual status_t SetTarget(BMessenger messenger);
	bool IsTargetLocal() const { return fMessenger.IsTargetLocal(); }
	BHandler* Target(BLooper** looper = nullptr) const;
	BMessenger Messenger() const { return fMessenger; }

	virtual status_t SetHandlerForReply(BHandler* handler);
	BHandler* HandlerForReply() const { return fReplyTo; }

	// Sends the given message, or the model when it is nullptr.
	virtual status_t Invoke(BMessage* message = nullptr);
	status_t InvokeNotify(BMessage* message, uint32 kind = B_CONTROL_INVOKED);

	status_t SetTimeout(bigtime_t timeout);
	bigtime_t Timeout() const { return fTimeout; }

protected:
	// What "source" names in the messages sent: by default the invoker
	// itself; a class that is a handler as well as an invoker names the
	// whole object, so that receivers can compare "source" with it.
	void SetInvokeSource(const void* source) { fSource = source; }
	uint32 InvokeKind(bool* notify = nullptr);
	void BeginInvokeNotify(uint32 kind = B_CONTROL_INVOKED);
	void EndInvokeNotify();

private:
	BInvoker(const BInvoker&) = delete;
	BInvoker& operator=(const BInvoker&) = delete;

	BMessage* fMessage;
	BMessenger fMessenger;
	BHandler* fReplyTo;
	bigtime_t fTimeout;
	const void* fSource;
	uint32 fNotifyKind;
	bool fNotifying;
};

#endif // _INVOKER_H
