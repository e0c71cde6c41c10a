#include <OS.h>

#include <BlockedThreads.h>

#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

namespace {

enum class ThreadPhase { kSuspended, kRunning, kEnded };

// What the kit knows about one spawned thread. It outlives the host thread
// until someone has waited for it, so that the exit value can be collected.
struct ThreadRecord {
	thread_func function = nullptr;
	void* data = nullptr;
	char name[B_OS_NAME_LENGTH] = {};
	int32 priority = B_NORMAL_PRIORITY;
	thread_id id = -1;
	ThreadPhase phase = ThreadPhase::kSuspended;
	status_t exitValue = B_OK;
	std::condition_variable changed;
};

// Never destroyed: a window's thread may still end while the exit handlers
// run.
std::mutex sThreadsLock;
std::map<thread_id, std::shared_ptr<ThreadRecord>>& sThreads
	= *new std::map<thread_id, std::shared_ptr<ThreadRecord>>;
thread_local ThreadRecord* sCurrentRecord = nullptr;

// A stand-in for "thread exited with this value" that exit_thread throws
// and the thread's entry catches, so that destructors on the way run.
struct ThreadExit {
	status_t value;
};

void
SetName(ThreadRecord& record, const char* name)
{
	strncpy(record.name, name != nullptr ? name : "", B_OS_NAME_LENGTH - 1);
	record.name[B_OS_NAME_LENGTH - 1] = '\0';
}

std::shared_ptr<ThreadRecord>
FindRecord(thread_id id)
{
	auto found = sThreads.find(id);
	return found != sThreads.end() ? found->second : nullptr;
}

void
MarkEnded(ThreadRecord& record, status_t value)
{
	std::lock_guard<std::mutex> guard(sThreadsLock);
	record.exitValue = value;
	record.phase = ThreadPhase::kEnded;
	record.changed.notify_all();
}

void*
ThreadEntry(void* argument)
{
	// The record stays alive at least until this thread has marked it ended.
	auto* holder = static_cast<std::shared_ptr<ThreadRecord>*>(argument);
	std::shared_ptr<ThreadRecord> record = *holder;
	delete holder;

	{
		std::unique_lock<std::mutex> guard(sThreadsLock);
		record->id = static_cast<thread_id>(gettid());
		sThreads[record->id] = record;
		record->changed.notify_all();
		record->changed.wait(guard, [&] { return record->phase != ThreadPhase::kSuspended; });
	}

	// The host shows the first 15 bytes of the name in its tools.
	char hostName[16];
	strncpy(hostName, record->name, sizeof(hostName) - 1);
	hostName[sizeof(hostName) - 1] = '\0';
	pthread_setname_np(pthread_self(), hostName);

	sCurrentRecord = record.get();
	status_t value;
	try {
		value = record->function(record->data);
	} catch (const ThreadExit& exit) {
		value = exit.value;
	}
	sCurrentRecord = nullptr;
	MarkEnded(*record, value);
	return nullptr;
}

} // namespace

thread_id
spawn_thread(thread_func function, const char* name, int32 priority, void* data)
{
	if (function == nullptr)
		return B_BAD_VALUE;

	auto record = std::make_shared<ThreadRecord>();
	record->function = function;
	record->data = data;
	record->priority = priority;
	SetName(*record, name);

	pthread_attr_t attributes;
	pthread_attr_init(&attributes);
	pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
	pthread_t host;
	auto* holder = new std::shared_ptr<ThreadRecord>(record);
	int error = pthread_create(&host, &attributes, ThreadEntry, holder);
	pthread_attr_destroy(&attributes);
	if (error != 0) {
		delete holder;
		return B_NO_MORE_THREADS;
	}

	// The id is known once the new thread has registered itself.
	std::unique_lock<std::mutex> guard(sThreadsLock);
	record->changed.wait(guard, [&] { return record->id >= 0; });
	return record->id;
}

status_t
resume_thread(thread_id thread)
{
	std::lock_guard<std::mutex> guard(sThreadsLock);
	std::shared_ptr<ThreadRecord> record = FindRecord(thread);
	if (!record)
		return B_BAD_THREAD_ID;
	if (record->phase != ThreadPhase::kSuspended)
		return B_BAD_THREAD_STATE;
	record->phase = ThreadPhase::kRunning;
	record->changed.notify_all();
	return B_OK;
}

status_t
wait_for_thread(thread_id thread, status_t* exitValue)
{
	if (thread == find_thread(nullptr))
		return B_DONT_DO_THAT;

	std::unique_lock<std::mutex> guard(sThreadsLock);
	std::shared_ptr<ThreadRecord> record = FindRecord(thread);
	if (!record)
		return B_BAD_THREAD_ID;
	if (record->phase == ThreadPhase::kSuspended) {
		record->phase = ThreadPhase::kRunning;
		record->changed.notify_all();
	}
	{
		BPrivate::BlockedThreadScope blocked;
		record->changed.wait(guard, [&] { return record->phase == ThreadPhase::kEnded; });
	}

	// Only the first wait collects the thread; the host may reuse its id.
	auto found = sThreads.find(thread);
	if (found != sThreads.end() && found->second == record)
		sThreads.erase(found);
	if (exitValue != nullptr)
		*exitValue = record->exitValue;
	return B_OK;
}

void
exit_thread(status_t exitValue)
{
	if (sCurrentRecord == nullptr) {
		// Not one of ours (the main thread, say): the host ends it.
		pthread_exit(nullptr);
	}
	throw ThreadExit{exitValue};
}

thread_id
find_thread(const char* name)
{
	if (name == nullptr) {
		// Asked for often (every lock and message); the host answers once.
		static thread_local const thread_id sCurrent = static_cast<thread_id>(gettid());
		return sCurrent;
	}

	std::lock_guard<std::mutex> guard(sThreadsLock);
	for (const auto& [id, record] : sThreads) {
		if (record->phase != ThreadPhase::kEnded && strcmp(record->name, name) == 0)
			return id;
	}
	return B_NAME_NOT_FOUND;
}

status_t
rename_thread(thread_id thread, const char* newName)
{
	if (newName == nullptr)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(sThreadsLock);
	std::shared_ptr<ThreadRecord> record = FindRecord(thread);
	if (!record || record->phase == ThreadPhase::kEnded)
		return B_BAD_THREAD_ID;
	SetName(*record, newName);
	return B_OK;
}

status_t
set_thread_priority(thread_id thread, int32 newPriority)
{
	if (newPriority < B_IDLE_PRIORITY || newPriority > B_REAL_TIME_PRIORITY)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(sThreadsLock);
	std::shared_ptr<ThreadRecord> record = FindRecord(thread);
	if (!record || record->phase == ThreadPhase::kEnded)
		return B_BAD_THREAD_ID;
	int32 old = record->priority;
	record->priority = newPriority;
	return old;
}

status_t
get_thread_info(thread_id thread, thread_info* info)
{
	if (info == nullptr)
		return B_BAD_VALUE;
	memset(info, 0, sizeof(*info));
	info->thread = thread;
	info->team = static_cast<team_id>(getpid());

	std::lock_guard<std::mutex> guard(sThreadsLock);
	std::shared_ptr<ThreadRecord> record = FindRecord(thread);
	if (record) {
		if (record->phase == ThreadPhase::kEnded)
			return B_BAD_THREAD_ID;
		memcpy(info->name, record->name, B_OS_NAME_LENGTH);
		info->priority = record->priority;
		info->state = record->phase == ThreadPhase::kSuspended
			? B_THREAD_SUSPENDED : B_THREAD_RUNNING;
		return B_OK;
	}
	if (thread == find_thread(nullptr)) {
		// A thread the kit did not spawn (the main thread): ask the host.
		pthread_getname_np(pthread_self(), info->name, B_OS_NAME_LENGTH);
		info->priority = B_NORMAL_PRIORITY;
		info->state = B_THREAD_RUNNING;
		return B_OK;
	}
	return B_BAD_THREAD_ID;
}
