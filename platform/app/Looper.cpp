#include <Looper.h>

#include <LooperPort.h>
#include <Message.h>
#include <Messenger.h>
#include <ObjectRegistry.h>

#include <unistd.h>

using BPrivate::LooperPort;
using BPrivate::ObjectRegistry;

namespace {

void
UnlockFully(BLocker& locker)
{
	while (locker.IsLocked())
		locker.Unlock();
}

} // namespace

BLooper::BLooper(const char* name, int32 priority, int32 portCapacity)
	:
	BHandler(name),
	fPort(std::make_shared<LooperPort>(portCapacity)),
	fLooperToken(ObjectRegistry::AddLooper(this, fPort)),
	fPriority(priority),
	fThread(-1),
	fRunCalled(false),
	fQuitting(false),
	fPreferred(nullptr),
	fCurrentMessage(nullptr)
{
	_SetLooper(this);
	fHandlers.AddItem(static_cast<BHandler*>(this));
	// The thread that makes a looper holds its lock until Run().
	Lock();
}

BLooper::~BLooper()
{
	_Unregister();
	for (int32 i = 0; i < fHandlers.CountItems(); i++) {
		BHandler* handler = static_cast<BHandler*>(fHandlers.ItemAt(i));
		if (handler == this)
			continue;
		handler->_SetLooper(nullptr);
		handler->fNextHandler = nullptr;
	}
	fHandlers.MakeEmpty();
	_SetLooper(nullptr);
	delete fCurrentMessage;
}

void
BLooper::_Unregister()
{
	ObjectRegistry::RemoveLooper(fLooperToken);
	fPort->Close();
}

// #pragma mark - messages

status_t
BLooper::PostMessage(uint32 command)
{
	BMessage message(command);
	return PostMessage(&message, this);
}

status_t
BLooper::PostMessage(BMessage* message)
{
	return PostMessage(message, this);
}

status_t
BLooper::PostMessage(uint32 command, BHandler* handler, BHandler* replyTo)
{
	BMessage message(command);
	return PostMessage(&message, handler, replyTo);
}

status_t
BLooper::PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo)
{
	if (message == nullptr)
		return B_BAD_VALUE;
	status_t status;
	BMessenger messenger(handler, this, &status);
	if (status != B_OK)
		return status;
	// Posting never waits for room in the queue.
	return messenger.SendMessage(message, replyTo, 0);
}

void
BLooper::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (message->what == B_QUIT_REQUESTED && handler == this) {
		_QuitRequested(message);
		return;
	}
	handler->MessageReceived(message);
}

void
BLooper::MessageReceived(BMessage* message)
{
	BHandler::MessageReceived(message);
}

BMessage*
BLooper::DetachCurrentMessage()
{
	BMessage* message = fCurrentMessage;
	fCurrentMessage = nullptr;
	return message;
}

bool
BLooper::IsMessageWaiting() const
{
	return fPort->CountMessages() > 0;
}

void
BLooper::_QuitRequested(BMessage* message)
{
	bool quit = QuitRequested();
	if (message->IsSourceWaiting()) {
		BMessage reply(B_REPLY);
		reply.AddBool("result", quit);
		reply.AddInt32("thread", fThread);
		message->SendReply(&reply);
	}
	if (quit)
		Quit();
}

BHandler*
BLooper::_ResolveTarget(const BMessage* message)
{
	if (message->fTargetToken == BPrivate::kPreferredHandlerToken)
		return fPreferred != nullptr ? fPreferred : this;
	BHandler* handler = ObjectRegistry::HandlerFor(message->fTargetToken);
	// A handler that left this looper after the message was sent gets
	// nothing: the message is dropped.
	if (handler == nullptr || handler->Looper() != this)
		return nullptr;
	return handler;
}

void
BLooper::_PostFront(BMessage* message)
{
	message->fTargetToken = fToken;
	if (fPort->PushFront(message) != B_OK)
		delete message;
}

status_t
BLooper::_PostAt(BMessage* message, bigtime_t when)
{
	message->fTargetToken = fToken;
	return fPort->PushAt(message, when);
}

BMessage*
BLooper::_TakeQueuedMessage(bool (*match)(const BMessage* message))
{
	return fPort->TakeFirst(match);
}

// #pragma mark - handlers

void
BLooper::AddHandler(BHandler* handler)
{
	if (handler == nullptr || handler->Looper() != nullptr)
		return;
	handler->_SetLooper(this);
	fHandlers.AddItem(handler);
	if (handler->NextHandler() == nullptr)
		handler->SetNextHandler(this);
}

bool
BLooper::RemoveHandler(BHandler* handler)
{
	if (handler == nullptr || handler == this || handler->Looper() != this)
		return false;
	fHandlers.RemoveItem(handler);
	handler->_SetLooper(nullptr);
	handler->fNextHandler = nullptr;
	if (fPreferred == handler)
		fPreferred = nullptr;
	return true;
}

int32
BLooper::CountHandlers() const
{
	return fHandlers.CountItems();
}

BHandler*
BLooper::HandlerAt(int32 index) const
{
	return static_cast<BHandler*>(fHandlers.ItemAt(index));
}

int32
BLooper::IndexOf(BHandler* handler) const
{
	return fHandlers.IndexOf(handler);
}

void
BLooper::SetPreferredHandler(BHandler* handler)
{
	fPreferred = handler != nullptr && handler->Looper() == this ? handler : nullptr;
}

// #pragma mark - running and quitting

thread_id
BLooper::Run()
{
	if (fRunCalled)
		return B_ALREADY_RUNNING;
	thread_id thread = spawn_thread(_ThreadEntry, Name() != nullptr ? Name() : "looper",
		fPriority, this);
	if (thread < 0)
		return thread;
	_SetThread(thread);
	fRunCalled = true;
	if (IsLocked())
		Unlock();
	resume_thread(thread);
	return thread;
}

int32
BLooper::_ThreadEntry(void* data)
{
	BLooper* looper = static_cast<BLooper*>(data);
	std::shared_ptr<LooperPort> port = looper->fPort;
	looper->_RunLoop();
	// The loop ends with the lock held; nobody else touches the looper now.
	looper->_Unregister();
	delete looper;
	UnlockFully(port->Lock());
	port->SetFinished();
	return B_OK;
}

void
BLooper::_RunLoop()
{
	for (;;) {
		BMessage* message = fPort->Pop();
		Lock();
		if (message == nullptr || fQuitting) {
			delete message;
			return;
		}
		message->fDelivered = true;
		fCurrentMessage = message;
		BHandler* handler = _ResolveTarget(message);
		if (handler != nullptr)
			DispatchMessage(message, handler);
		delete fCurrentMessage;
		fCurrentMessage = nullptr;
		if (fQuitting)
			return;
		Unlock();
	}
}

void
BLooper::_StopLoop()
{
	fQuitting = true;
	fPort->WakeToStop();
}

void
BLooper::_SetThread(thread_id thread)
{
	fThread = thread;
	fPort->SetThread(thread);
}

void
BLooper::Quit()
{
	std::shared_ptr<LooperPort> port = fPort;
	if (!fRunCalled) {
		_Unregister();
		delete this;
		UnlockFully(port->Lock());
		return;
	}
	if (find_thread(nullptr) == fThread) {
		// Finish the current message, then end.
		fQuitting = true;
		return;
	}

	// Another thread: it must hold the lock, so the loop is not inside a
	// message; tell it to stop, let go and wait until the looper is gone.
	if (!IsLocked())
		Lock();
	thread_id thread = fThread;
	_StopLoop();
	UnlockFully(port->Lock());
	status_t exitValue;
	if (wait_for_thread(thread, &exitValue) != B_OK) {
		// Someone else collected the thread: wait for the looper's end.
		port->WaitUntilFinished();
	}
}

bool
BLooper::QuitRequested()
{
	return true;
}

// #pragma mark - locking

bool
BLooper::Lock()
{
	return fPort->Lock().Lock();
}

void
BLooper::Unlock()
{
	fPort->Lock().Unlock();
}

status_t
BLooper::LockWithTimeout(bigtime_t timeout)
{
	return fPort->Lock().LockWithTimeout(BPrivate::lock_timeout(timeout));
}

bool
BLooper::IsLocked() const
{
	return fPort->Lock().IsLocked();
}

thread_id
BLooper::LockingThread() const
{
	return fPort->Lock().LockingThread();
}

int32
BLooper::CountLocks() const
{
	return fPort->Lock().CountLocks();
}

team_id
BLooper::Team() const
{
	return static_cast<team_id>(getpid());
}

BLooper*
BLooper::LooperForThread(thread_id thread)
{
	return ObjectRegistry::LooperForThread(thread);
}
