#include <Handler.h>

#include <Looper.h>
#include <Message.h>
#include <ObjectRegistry.h>

#include <cstdlib>
#include <cstring>

BHandler::BHandler(const char* name)
	:
	fName(nullptr),
	fToken(BPrivate::ObjectRegistry::AddHandler(this)),
	fLooper(nullptr),
	fNextHandler(nullptr)
{
	SetName(name);
}

BHandler::~BHandler()
{
	// A handler deleted while still attached leaves its looper cleanly.
	if (fLooper != nullptr && fLooper != static_cast<BHandler*>(this))
		fLooper->RemoveHandler(this);
	BPrivate::ObjectRegistry::RemoveHandler(fToken);
	free(fName);
}

void
BHandler::MessageReceived(BMessage* message)
{
	if (fNextHandler != nullptr) {
		fNextHandler->MessageReceived(message);
		return;
	}
	if (message->IsSourceWaiting() && message->what != B_MESSAGE_NOT_UNDERSTOOD) {
		BMessage reply(B_MESSAGE_NOT_UNDERSTOOD);
		message->SendReply(&reply);
	}
}

void
BHandler::SetName(const char* name)
{
	free(fName);
	fName = name != nullptr ? strdup(name) : nullptr;
}

void
BHandler::SetNextHandler(BHandler* handler)
{
	// The chain stays inside one looper.
	if (handler == this)
		return;
	if (handler != nullptr && fLooper != nullptr && handler->Looper() != fLooper)
		return;
	fNextHandler = handler;
}

bool
BHandler::LockLooper()
{
	return LockLooperWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t
BHandler::LockLooperWithTimeout(bigtime_t timeout)
{
	BLooper* looper = fLooper;
	if (looper == nullptr)
		return B_BAD_VALUE;
	status_t status = looper->LockWithTimeout(timeout);
	if (status != B_OK)
		return status;
	// The handler may have moved while we waited.
	if (fLooper != looper) {
		looper->Unlock();
		return B_MISMATCHED_VALUES;
	}
	return B_OK;
}

void
BHandler::UnlockLooper()
{
	if (fLooper != nullptr)
		fLooper->Unlock();
}

void
BHandler::_SetLooper(BLooper* looper)
{
	fLooper = looper;
}
