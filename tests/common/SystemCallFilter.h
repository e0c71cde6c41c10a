#ifndef _SYSTEM_CALL_FILTER_H
#define _SYSTEM_CALL_FILTER_H

// System-call filters that make a test's thread behave like a host that
// refuses something (namespaces, Landlock): the filter stays with the
// thread and every process it starts from then on, so a test installs it
// on a thread of its own.

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <utility>
#include <vector>

// Puts the filter `program` on the calling thread.
inline bool
install_filter_in_this_thread(struct sock_filter* program, size_t length)
{
	struct sock_fprog filter = {(unsigned short)length, program};
	return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
		&& syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0;
}


// Makes each system call listed fail with its error number, whatever its
// arguments.
inline bool
refuse_calls_in_this_thread(const std::vector<std::pair<long, int>>& calls)
{
	std::vector<struct sock_filter> program;
	program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)));
	for (const std::pair<long, int>& call : calls) {
		program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (unsigned)call.first, 0, 1));
		program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (unsigned)call.second));
	}
	program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
	return install_filter_in_this_thread(program.data(), program.size());
}

#endif // _SYSTEM_CALL_FILTER_H
