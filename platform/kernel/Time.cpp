#include <OS.h>

#include <cerrno>
#include <ctime>

namespace {

timespec
ToTimespec(bigtime_t microseconds)
{
	timespec value;
	value.tv_sec = microseconds / 1000000;
	value.tv_nsec = (microseconds % 1000000) * 1000;
	return value;
}

} // namespace

bigtime_t
system_time()
{
	timespec now;
	clock_gettime(CLOCK_MONOTONIC, &now);
	return static_cast<bigtime_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

status_t
snooze_until(bigtime_t time, int timeBase)
{
	if (timeBase != B_SYSTEM_TIMEBASE)
		return B_BAD_VALUE;
	timespec until = ToTimespec(time < 0 ? 0 : time);
	// An interrupted sleep resumes toward the same absolute deadline.
	int error;
	do {
		error = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
	} while (error == EINTR);
	return error == 0 ? B_OK : errno_to_status(error);
}

status_t
snooze(bigtime_t microseconds)
{
	if (microseconds <= 0)
		return B_OK;
	bigtime_t now = system_time();
	if (microseconds > B_INFINITE_TIMEOUT - now)
		microseconds = B_INFINITE_TIMEOUT - now;
	return snooze_until(now + microseconds, B_SYSTEM_TIMEBASE);
}
