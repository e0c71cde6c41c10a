#include <LooperPort.h>

#include <Message.h>

#include <chrono>

namespace BPrivate {

LooperPort::LooperPort(int32 capacity)
	:
	fHeld(nullptr),
	fHeldUntil(0),
	fCapacity(capacity > 0 ? capacity : 1),
	fStopRequested(false),
	fWaitingForMessage(false),
	fFinished(false),
	fClosed(false),
	fThread(-1),
	// BLocker keeps the name pointer; a fixed string outlives every looper.
	fLocker("looper lock")
{
}

LooperPort::~LooperPort()
{
	Close();
}

status_t
LooperPort::Push(BMessage* message, bigtime_t timeout)
{
	return _Push(message, timeout, 0);
}

status_t
LooperPort::PushUnhurried(BMessage* message, bigtime_t timeout, bigtime_t patience)
{
	return _Push(message, timeout, patience);
}

status_t
LooperPort::_Push(BMessage* message, bigtime_t timeout, bigtime_t patience)
{
	std::unique_lock<std::mutex> guard(fMutex);
	auto hasRoom = [this] {
		return fClosed.load() || static_cast<int32>(fQueue.size()) < fCapacity;
	};
	if (!hasRoom()) {
		if (timeout == 0)
			return B_WOULD_BLOCK;
		if (is_infinite_timeout(timeout))
			fNotFull.wait(guard, hasRoom);
		else if (!fNotFull.wait_for(guard, std::chrono::microseconds(timeout), hasRoom))
			return B_TIMED_OUT;
	}
	if (fClosed.load())
		return B_BAD_PORT_ID;
	fQueue.push_back(message);
	bool wake = !_WakesSoonWithoutHelp(patience);
	// Woken after the unlock, the looper finds the mutex free.
	guard.unlock();
	if (wake)
		fNotEmpty.notify_one();
	return B_OK;
}

// Called with the mutex held: the looper sleeps in a wait that ends by
// itself within `patience`, when its held message is due, and the queue
// is far from full (a sender must not wait for room behind a sleeper).
bool
LooperPort::_WakesSoonWithoutHelp(bigtime_t patience) const
{
	return patience > 0 && fWaitingForMessage && fHeld != nullptr
		&& static_cast<int32>(fQueue.size()) < fCapacity / 2
		&& fHeldUntil - system_time() <= patience;
}

status_t
LooperPort::PushFront(BMessage* message)
{
	std::lock_guard<std::mutex> guard(fMutex);
	if (fClosed.load())
		return B_BAD_PORT_ID;
	fQueue.push_front(message);
	fNotEmpty.notify_one();
	return B_OK;
}

status_t
LooperPort::PushAt(BMessage* message, bigtime_t when)
{
	std::lock_guard<std::mutex> guard(fMutex);
	if (fClosed.load())
		return B_BAD_PORT_ID;
	if (fHeld != nullptr)
		return B_BUSY;
	fHeld = message;
	fHeldUntil = when;
	// The looper may be waiting with no deadline: it has to learn of this one.
	fNotEmpty.notify_one();
	return B_OK;
}

// Called with the mutex held.
void
LooperPort::_QueueHeldMessageIfDue()
{
	if (fHeld == nullptr || system_time() < fHeldUntil)
		return;
	fQueue.push_back(fHeld);
	fHeld = nullptr;
}

BMessage*
LooperPort::Pop()
{
	std::unique_lock<std::mutex> guard(fMutex);
	fWaitingForMessage = true;
	for (;;) {
		_QueueHeldMessageIfDue();
		if (fStopRequested || !fQueue.empty())
			break;
		if (fHeld == nullptr)
			fNotEmpty.wait(guard);
		else {
			fNotEmpty.wait_for(guard,
				std::chrono::microseconds(fHeldUntil - system_time()));
		}
	}
	fWaitingForMessage = false;
	if (fStopRequested)
		return nullptr;
	BMessage* message = fQueue.front();
	fQueue.pop_front();
	fNotFull.notify_one();
	return message;
}

BMessage*
LooperPort::TakeFirst(bool (*match)(const BMessage* message))
{
	std::lock_guard<std::mutex> guard(fMutex);
	for (auto it = fQueue.begin(); it != fQueue.end(); ++it) {
		if (match(*it)) {
			BMessage* message = *it;
			fQueue.erase(it);
			fNotFull.notify_one();
			return message;
		}
	}
	return nullptr;
}

void
LooperPort::WakeToStop()
{
	std::lock_guard<std::mutex> guard(fMutex);
	fStopRequested = true;
	fNotEmpty.notify_all();
}

void
LooperPort::Close()
{
	std::deque<BMessage*> left;
	{
		std::lock_guard<std::mutex> guard(fMutex);
		fClosed.store(true);
		fStopRequested = true;
		left.swap(fQueue);
		if (fHeld != nullptr)
			left.push_back(fHeld);
		fHeld = nullptr;
		fNotFull.notify_all();
		fNotEmpty.notify_all();
	}
	// Deleting outside the mutex: a message's end may wake its sender.
	for (BMessage* message : left)
		delete message;
}

void
LooperPort::SetFinished()
{
	std::lock_guard<std::mutex> guard(fMutex);
	fFinished = true;
	fFinishedChanged.notify_all();
}

void
LooperPort::WaitUntilFinished()
{
	std::unique_lock<std::mutex> guard(fMutex);
	fFinishedChanged.wait(guard, [this] { return fFinished; });
}

int32
LooperPort::CountMessages() const
{
	std::lock_guard<std::mutex> guard(fMutex);
	return static_cast<int32>(fQueue.size());
}

bool
LooperPort::IsIdle() const
{
	std::lock_guard<std::mutex> guard(fMutex);
	// A stopped loop handles nothing more, whatever is queued.
	if (fClosed.load() || fStopRequested)
		return true;
	return fQueue.empty() && fHeld == nullptr && fWaitingForMessage;
}

} // namespace BPrivate
