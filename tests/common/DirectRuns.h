#ifndef _DIRECT_RUNS_H
#define _DIRECT_RUNS_H

// Where a script runs without its private view: the kernel's Landlock rule
// sets keep its writes to the system root, and where they are missing, a
// script that root would run so is not run at all. Tests of direct runs
// skip what such a host does not do.

#include <sys/syscall.h>
#include <unistd.h>

inline bool
kernel_confines_writes()
{
	return syscall(SYS_landlock_create_ruleset, nullptr, 0, 1) >= 1;
}


inline bool
root_direct_runs_refused()
{
	return geteuid() == 0 && !kernel_confines_writes();
}

#define SKIP_WHERE_ROOT_RUNS_NOTHING_DIRECTLY() \
	if (root_direct_runs_refused()) \
		GTEST_SKIP() << "root runs no script without its view where the kernel has no Landlock"

#endif // _DIRECT_RUNS_H
