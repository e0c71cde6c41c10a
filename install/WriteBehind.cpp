#include "WriteBehind.h"

#include <Volume.h>

#include <pthread.h>

#include <utility>

namespace {

void
FlushVolume(dev_t volume)
{
	BVolume(volume).Sync();
}

} // namespace


WriteBehind::WriteBehind(std::function<void(dev_t)> flush)
	:
	fFlush(flush != nullptr ? std::move(flush) : FlushVolume),
	fUnflushed(0),
	fDue(false),
	fStopping(false)
{
}


WriteBehind::~WriteBehind()
{
	Stop();
}


void
WriteBehind::Start(dev_t volume)
{
	Stop();
	fUnflushed = 0;
	fDue = false;
	fStopping = false;
	fThread = std::thread(&WriteBehind::_Run, this, volume);
}


void
WriteBehind::Written(off_t bytes)
{
	if (!fThread.joinable() || bytes <= 0)
		return;
	fUnflushed += bytes;
	if (fUnflushed < kStepBytes)
		return;
	fUnflushed = 0;
	{
		std::lock_guard<std::mutex> guard(fLock);
		fDue = true;
	}
	fWake.notify_one();
}


void
WriteBehind::Stop()
{
	if (!fThread.joinable())
		return;
	{
		std::lock_guard<std::mutex> guard(fLock);
		fStopping = true;
	}
	fWake.notify_one();
	fThread.join();
}


void
WriteBehind::_Run(dev_t volume)
{
	pthread_setname_np(pthread_self(), "write behind");
	std::unique_lock<std::mutex> lock(fLock);
	for (;;) {
		fWake.wait(lock, [this] { return fDue || fStopping; });
		if (fStopping)
			return;
		fDue = false;
		lock.unlock();
		fFlush(volume);
		lock.lock();
	}
}
