#include <Locker.h>

#include <chrono>
#include <unistd.h>

namespace {

// Thread ids are the host's thread ids, as the kernel kit gives them; each
// thread asks the host once (a lock is taken many times per installed file).
int32
CurrentThread()
{
	static thread_local const int32 sId = static_cast<int32>(gettid());
	return sId;
}

} // namespace

BLocker::BLocker()
	:
	BLocker("some BLocker")
{
}

BLocker::BLocker(const char* name)
	:
	fOwner(-1),
	fCount(0),
	fName(name)
{
}

BLocker::BLocker(const char* name, bool)
	:
	BLocker(name)
{
}

BLocker::~BLocker()
{
}

bool
BLocker::Lock()
{
	return LockWithTimeout(-1) == B_OK;
}

status_t
BLocker::LockWithTimeout(bigtime_t timeout)
{
	int32 self = CurrentThread();
	std::unique_lock<std::mutex> guard(fMutex);
	if (fOwner == self) {
		fCount++;
		return B_OK;
	}
	auto isFree = [this] { return fOwner == -1; };
	if (timeout < 0) {
		fReleased.wait(guard, isFree);
	} else if (!fReleased.wait_for(guard, std::chrono::microseconds(timeout), isFree)) {
		return B_TIMED_OUT;
	}
	fOwner = self;
	fCount = 1;
	return B_OK;
}

void
BLocker::Unlock()
{
	std::lock_guard<std::mutex> guard(fMutex);
	if (fOwner != CurrentThread() || fCount <= 0)
		return;
	if (--fCount == 0) {
		fOwner = -1;
		fReleased.notify_one();
	}
}

bool
BLocker::IsLocked() const
{
	std::lock_guard<std::mutex> guard(fMutex);
	return fOwner == CurrentThread();
}

int32
BLocker::LockingThread() const
{
	std::lock_guard<std::mutex> guard(fMutex);
	return fOwner;
}

int32
BLocker::CountLocks() const
{
	std::lock_guard<std::mutex> guard(fMutex);
	return fCount;
}
