#include "InterruptGuard.h"

#include "CancelFlag.h"

#include <signal.h>

#include <atomic>
#include <mutex>

namespace {

// Written by the signal handler: lock-free, so async-signal-safe.
std::atomic<int> sSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// The flag the handler raises, of the innermost guard that has one.
std::atomic<BPrivate::CancelFlag*> sFlag{nullptr};
static_assert(std::atomic<BPrivate::CancelFlag*>::is_always_lock_free);

std::mutex sLock;
int32 sGuards = 0;
struct sigaction sPreviousInterrupt;
struct sigaction sPreviousTerminate;

extern "C" void
note_signal(int signal)
{
	sSignal.store(signal, std::memory_order_relaxed);
	if (BPrivate::CancelFlag* flag = sFlag.load())
		flag->Raise();
}


void
install_handlers()
{
	struct sigaction action = {};
	action.sa_handler = note_signal;
	sigemptyset(&action.sa_mask);
	// Calls in progress go on: the work asks for the request itself.
	action.sa_flags = SA_RESTART;
	sigaction(SIGINT, &action, &sPreviousInterrupt);
	sigaction(SIGTERM, &action, &sPreviousTerminate);
}


void
restore_handlers()
{
	sigaction(SIGINT, &sPreviousInterrupt, nullptr);
	sigaction(SIGTERM, &sPreviousTerminate, nullptr);
}

} // namespace


namespace BPrivate {

InterruptGuard::InterruptGuard()
	:
	InterruptGuard(nullptr)
{
}


InterruptGuard::InterruptGuard(CancelFlag* flag)
	:
	fFlag(flag),
	fOuterFlag(nullptr)
{
	std::lock_guard<std::mutex> guard(sLock);
	if (fFlag != nullptr)
		fOuterFlag = sFlag.exchange(fFlag);
	if (sGuards++ == 0) {
		sSignal.store(0);
		install_handlers();
	}
}


InterruptGuard::~InterruptGuard()
{
	std::lock_guard<std::mutex> guard(sLock);
	if (fFlag != nullptr)
		sFlag.store(fOuterFlag);
	if (--sGuards == 0)
		restore_handlers();
}


bool
InterruptGuard::Requested()
{
	return Signal() != 0;
}


int32
InterruptGuard::Signal()
{
	std::lock_guard<std::mutex> guard(sLock);
	return sGuards > 0 ? sSignal.load() : 0;
}

} // namespace BPrivate
