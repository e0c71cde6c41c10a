#include <WaitAwake.h>

#include <sched.h>

namespace BPrivate {

bool
processors_to_spare()
{
	// The processors this program may run on, which a container or
	// `taskset` can make fewer than the machine has.
	static const bool sSpare = [] {
		cpu_set_t set;
		if (sched_getaffinity(0, sizeof(set), &set) != 0)
			return false;
		return CPU_COUNT(&set) > 1;
	}();
	return sSpare;
}

} // namespace BPrivate
