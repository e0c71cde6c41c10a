#ifndef _WAIT_AWAKE_H
#define _WAIT_AWAKE_H

// Waiting awake, briefly, for what another thread is about to do: a reply,
// a message, decoded data. On a virtual machine a sleep and the wake-up that
// ends it cost far more than a few microseconds of waiting. Only worth it
// with a processor to spare: on a single one the waiting thread would keep
// the other from doing what it waits for.

#include <OS.h>

namespace BPrivate {

// More than one processor is available to this program (asked once).
bool processors_to_spare();

// Waits until ready() or for at most `microseconds`; returns ready().
template<typename Ready>
bool
wait_awake(Ready ready, bigtime_t microseconds)
{
	if (ready())
		return true;
	if (!processors_to_spare())
		return false;
	bigtime_t until = system_time() + microseconds;
	while (!ready()) {
		if (system_time() >= until)
			return false;
#if defined(__x86_64__) || defined(__i386__)
		__builtin_ia32_pause();
#endif
	}
	return true;
}

} // namespace BPrivate

#endif // _WAIT_AWAKE_H
