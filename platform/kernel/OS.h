#ifndef _OS_H
#define _OS_H

// Threads, teams and time. A thread id is the host's thread id (gettid), so
// ids agree with what BLocker records as its owner; the team is the process.

#include <SupportDefs.h>

#include <climits>

typedef int32 thread_id;
typedef int32 team_id;
typedef int32 port_id;
typedef int32 sem_id;

typedef int32 (*thread_func)(void* data);

#define B_OS_NAME_LENGTH 32
#define B_INFINITE_TIMEOUT (9223372036854775807LL)

// Thread priorities. The host scheduler is not told about them; they are
// kept so that get_thread_info reports what the thread was given.
enum {
	B_IDLE_PRIORITY = 0,
	B_LOWEST_ACTIVE_PRIORITY = 1,
	B_LOW_PRIORITY = 5,
	B_NORMAL_PRIORITY = 10,
	B_DISPLAY_PRIORITY = 15,
	B_URGENT_DISPLAY_PRIORITY = 20,
	B_REAL_TIME_DISPLAY_PRIORITY = 100,
	B_URGENT_PRIORITY = 110,
	B_REAL_TIME_PRIORITY = 120
};

// Time bases of snooze_until.
enum {
	B_SYSTEM_TIMEBASE = 0
};

typedef enum {
	B_THREAD_RUNNING = 1,
	B_THREAD_READY,
	B_THREAD_RECEIVING,
	B_THREAD_ASLEEP,
	B_THREAD_SUSPENDED,
	B_THREAD_WAITING
} thread_state;

typedef struct {
	thread_id thread;
	team_id team;
	char name[B_OS_NAME_LENGTH];
	thread_state state;
	int32 priority;
	sem_id sem;
	bigtime_t user_time;
	bigtime_t kernel_time;
	void* stack_base;
	void* stack_end;
} thread_info;

// A new thread starts suspended: it runs once resume_thread (or
// wait_for_thread) is called for it.
thread_id spawn_thread(thread_func function, const char* name, int32 priority, void* data);
status_t resume_thread(thread_id thread);
// Waits for the thread to end and gives its exit value. A thread that ended
// can still be waited for once; a suspended thread is resumed first.
status_t wait_for_thread(thread_id thread, status_t* exitValue);
// Ends the calling thread (which must have been spawned by spawn_thread)
// with the given exit value.
void exit_thread(status_t exitValue);
// find_thread(nullptr) is the calling thread; otherwise a live spawned thread
// with that name, or B_NAME_NOT_FOUND.
thread_id find_thread(const char* name);
status_t rename_thread(thread_id thread, const char* newName);
status_t set_thread_priority(thread_id thread, int32 newPriority);
status_t get_thread_info(thread_id thread, thread_info* info);

status_t snooze(bigtime_t microseconds);
status_t snooze_until(bigtime_t time, int timeBase);
// Microseconds since an arbitrary moment (boot); never goes backwards.
bigtime_t system_time();

#endif // _OS_H
