#include <Invoker.h>

#include <Handler.h>
#include <Looper.h>
#include <Message.h>

BInvoker::BInvoker()
	:
	fMessage(nullptr),
	fReplyTo(nullptr),
	fTimeout(B_INFINITE_TIMEOUT),
	fSource(this),
	fNotifyKind(B_CONTROL_INVOKED),
	fNotifying(false)
{
}

BInvoker::BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper)
	:
	BInvoker()
{
	SetMessage(message);
	SetTarget(handler, looper);
}

BInvoker::BInvoker(BMessage* message, BMessenger target)
	:
	BInvoker()
{
	SetMessage(message);
	SetTarget(target);
}

BInvoker::~BInvoker()
{
	delete fMessage;
}

status_t
BInvoker::SetMessage(BMessage* message)
{
	if (message == fMessage)
		return B_OK;
	delete fMessage;
	fMessage = message;
	return B_OK;
}

uint32
BInvoker::Command() const
{
	return fMessage != nullptr ? fMessage->what : 0;
}

status_t
BInvoker::SetTarget(const BHandler* handler, const BLooper* looper)
{
	fMessenger = BMessenger();
	if (handler == nullptr && looper == nullptr)
		return B_OK;
	status_t status;
	fMessenger = BMessenger(handler, looper, &status);
	return status;
}

status_t
BInvoker::SetTarget(BMessenger messenger)
{
	fMessenger = messenger;
	return B_OK;
}

BHandler*
BInvoker::Target(BLooper** looper) const
{
	return fMessenger.Target(looper);
}

status_t
BInvoker::SetHandlerForReply(BHandler* handler)
{
	fReplyTo = handler;
	return B_OK;
}

status_t
BInvoker::Invoke(BMessage* message)
{
	if (message == nullptr)
		message = fMessage;
	if (message == nullptr)
		return B_BAD_VALUE;
	BMessage copy(*message);
	copy.SetInt64("when", system_time());
	copy.SetPointer("source", fSource);
	return fMessenger.SendMessage(&copy, fReplyTo, fTimeout);
}

status_t
BInvoker::InvokeNotify(BMessage* message, uint32 kind)
{
	BeginInvokeNotify(kind);
	status_t status = Invoke(message);
	EndInvokeNotify();
	return status;
}

status_t
BInvoker::SetTimeout(bigtime_t timeout)
{
	fTimeout = timeout;
	return B_OK;
}

uint32
BInvoker::InvokeKind(bool* notify)
{
	if (notify != nullptr)
		*notify = fNotifying;
	return fNotifyKind;
}

void
BInvoker::BeginInvokeNotify(uint32 kind)
{
	fNotifyKind = kind;
	fNotifying = true;
}

void
BInvoker::EndInvokeNotify()
{
	fNotifyKind = B_CONTROL_INVOKED;
	fNotifying = false;
}
