#include <Messenger.h>

#include <BlockedThreads.h>
#include <Handler.h>
#include <Looper.h>
#include <LooperPort.h>
#include <Message.h>
#include <ObjectRegistry.h>
#include <ReplySlot.h>

#include <unistd.h>

using BPrivate::kNoToken;
using BPrivate::kPreferredHandlerToken;
using BPrivate::LooperPort;
using BPrivate::ObjectRegistry;

namespace {

// How long an unhurried message may wait for its looper's own wake-up: a
// little more than a frame at sixty a second.
constexpr bigtime_t kUnhurriedPatience = 20000;

} // namespace

BMessenger::BMessenger()
	:
	fTeam(-1),
	fLooperToken(kNoToken),
	fHandlerToken(kNoToken)
{
}

BMessenger::BMessenger(const BHandler* handler, const BLooper* looper, status_t* result)
	:
	BMessenger()
{
	status_t status = SetTo(handler, looper);
	if (result != nullptr)
		*result = status;
}

BMessenger::BMessenger(int32 looperToken, int32 handlerToken)
	:
	fTeam(static_cast<team_id>(getpid())),
	fLooperToken(looperToken),
	fHandlerToken(handlerToken)
{
}

BMessenger::BMessenger(const BMessenger& other) = default;

BMessenger::~BMessenger()
{
}

BMessenger&
BMessenger::operator=(const BMessenger& other) = default;

bool
BMessenger::operator==(const BMessenger& other) const
{
	return fLooperToken == other.fLooperToken && fHandlerToken == other.fHandlerToken;
}

bool
BMessenger::operator<(const BMessenger& other) const
{
	if (fLooperToken != other.fLooperToken)
		return fLooperToken < other.fLooperToken;
	return fHandlerToken < other.fHandlerToken;
}

status_t
BMessenger::SetTo(const BHandler* handler, const BLooper* looper)
{
	*this = BMessenger();
	if (handler != nullptr) {
		BLooper* owner = handler->Looper();
		if (owner == nullptr || (looper != nullptr && looper != owner))
			return B_MISMATCHED_VALUES;
		*this = BMessenger(owner->fLooperToken, handler->fToken);
		return B_OK;
	}
	if (looper == nullptr)
		return B_BAD_VALUE;
	*this = BMessenger(looper->fLooperToken, kPreferredHandlerToken);
	return B_OK;
}

bool
BMessenger::IsValid() const
{
	std::shared_ptr<LooperPort> port = ObjectRegistry::PortFor(fLooperToken);
	return port && !port->IsClosed();
}

BHandler*
BMessenger::Target(BLooper** looper) const
{
	BLooper* owner = ObjectRegistry::LooperFor(fLooperToken);
	if (looper != nullptr)
		*looper = owner;
	if (owner == nullptr || fHandlerToken == kPreferredHandlerToken)
		return nullptr;
	return ObjectRegistry::HandlerFor(fHandlerToken);
}

bool
BMessenger::LockTarget() const
{
	return LockTargetWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t
BMessenger::LockTargetWithTimeout(bigtime_t timeout) const
{
	std::shared_ptr<LooperPort> port = ObjectRegistry::PortFor(fLooperToken);
	if (!port)
		return B_BAD_PORT_ID;
	status_t status = port->Lock().LockWithTimeout(BPrivate::lock_timeout(timeout));
	if (status != B_OK)
		return status;
	// The looper may have ended while we waited for its lock.
	if (port->IsClosed()) {
		port->Lock().Unlock();
		return B_BAD_PORT_ID;
	}
	return B_OK;
}

status_t
BMessenger::SendMessage(uint32 command, BHandler* replyTo) const
{
	BMessage message(command);
	return SendMessage(&message, replyTo);
}

status_t
BMessenger::SendMessage(BMessage* message, BHandler* replyTo, bigtime_t timeout) const
{
	BMessenger replyMessenger;
	if (replyTo != nullptr)
		replyMessenger.SetTo(replyTo);
	return SendMessage(message, replyMessenger, timeout);
}

status_t
BMessenger::SendMessage(BMessage* message, BMessenger replyTo, bigtime_t timeout) const
{
	if (message == nullptr)
		return B_BAD_VALUE;
	BMessage* copy = new BMessage(*message);
	copy->fReplyTo = replyTo;
	return _Deliver(copy, timeout);
}

status_t
BMessenger::SendMessage(uint32 command, BMessage* reply) const
{
	BMessage message(command);
	return SendMessage(&message, reply);
}

status_t
BMessenger::SendMessage(BMessage* message, BMessage* reply, bigtime_t deliveryTimeout,
	bigtime_t replyTimeout) const
{
	if (message == nullptr || reply == nullptr)
		return B_BAD_VALUE;
	std::shared_ptr<LooperPort> port = ObjectRegistry::PortFor(fLooperToken);
	if (!port || port->IsClosed())
		return B_BAD_PORT_ID;
	// The looper could never answer: it would be waiting for itself.
	if (port->Thread() == find_thread(nullptr))
		return B_BAD_VALUE;

	auto slot = std::make_shared<BPrivate::ReplySlot>();
	BMessage* copy = new BMessage(*message);
	copy->fReplySlot = slot;

	BPrivate::BlockedThreadScope blocked;
	status_t status = _Deliver(copy, deliveryTimeout);
	if (status != B_OK)
		return status;
	return slot->Wait(replyTimeout, reply);
}

status_t
BMessenger::SendUnhurried(BMessage* message) const
{
	if (message == nullptr)
		return B_BAD_VALUE;
	return _Deliver(new BMessage(*message), B_INFINITE_TIMEOUT, kUnhurriedPatience);
}

status_t
BMessenger::_Deliver(BMessage* copy, bigtime_t timeout, bigtime_t patience) const
{
	copy->fTargetToken = fHandlerToken;
	std::shared_ptr<LooperPort> port = ObjectRegistry::PortFor(fLooperToken);
	status_t status = B_BAD_PORT_ID;
	if (port)
		status = patience > 0 ? port->PushUnhurried(copy, timeout, patience)
			: port->Push(copy, timeout);
	if (status != B_OK)
		delete copy;
	return status;
}
