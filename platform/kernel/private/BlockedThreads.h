#ifndef _BLOCKED_THREADS_H
#define _BLOCKED_THREADS_H

// Which threads are blocked waiting for another thread (in wait_for_thread,
// in a synchronous send). A looper whose thread waits like that counts as
// idle for the automation's "wait until idle": it cannot make progress until
// someone else does.

#include <OS.h>

namespace BPrivate {

bool is_thread_blocked(thread_id thread);

// Marks the calling thread as blocked for the scope's lifetime. Scopes nest.
class BlockedThreadScope {
public:
	BlockedThreadScope();
	~BlockedThreadScope();

private:
	BlockedThreadScope(const BlockedThreadScope&) = delete;
	BlockedThreadScope& operator=(const BlockedThreadScope&) = delete;

	thread_id fThread;
};

} // namespace BPrivate

#endif // _BLOCKED_THREADS_H
