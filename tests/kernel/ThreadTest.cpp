#include <BlockedThreads.h>
#include <OS.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Probe {
	std::atomic<bool> ran{false};
	std::atomic<thread_id> seenId{-1};
	status_t result = 0;
};

int32
RecordAndReturn(void* data)
{
	Probe* probe = static_cast<Probe*>(data);
	probe->seenId = find_thread(nullptr);
	probe->ran = true;
	return probe->result;
}

int32
ExitEarly(void* data)
{
	// Objects on the way out are destroyed when the thread exits early.
	struct Flag {
		std::atomic<bool>* flag;
		~Flag() { *flag = true; }
	} guard{static_cast<std::atomic<bool>*>(data)};
	exit_thread(77);
	return 1;
}

int32
SleepUntilFlag(void* data)
{
	auto* flag = static_cast<std::atomic<bool>*>(data);
	while (!*flag)
		snooze(1000);
	return 5;
}

} // namespace

TEST(Threads, SpawnedThreadWaitsForResumeAndReturnsItsValue)
{
	Probe probe;
	probe.result = 1234;
	thread_id thread = spawn_thread(RecordAndReturn, "probe", B_NORMAL_PRIORITY, &probe);
	ASSERT_GT(thread, 0);

	snooze(50000);
	EXPECT_FALSE(probe.ran) << "a spawned thread must not run before resume_thread";
	thread_info info;
	ASSERT_EQ(get_thread_info(thread, &info), B_OK);
	EXPECT_EQ(info.state, B_THREAD_SUSPENDED);
	EXPECT_STREQ(info.name, "probe");
	EXPECT_EQ(info.priority, B_NORMAL_PRIORITY);

	ASSERT_EQ(resume_thread(thread), B_OK);
	status_t exitValue = 0;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_TRUE(probe.ran);
	EXPECT_EQ(exitValue, 1234);
	// The id a thread has is the one spawn_thread gave.
	EXPECT_EQ(probe.seenId.load(), thread);

	// Collected once: a second wait does not know the thread any more.
	EXPECT_EQ(wait_for_thread(thread, &exitValue), B_BAD_THREAD_ID);
	EXPECT_EQ(resume_thread(thread), B_BAD_THREAD_ID);
}

TEST(Threads, WaitForEndedThreadAndForSuspendedThread)
{
	Probe probe;
	probe.result = -7;
	thread_id thread = spawn_thread(RecordAndReturn, "ended", B_LOW_PRIORITY, &probe);
	ASSERT_EQ(resume_thread(thread), B_OK);
	EXPECT_EQ(resume_thread(thread), B_BAD_THREAD_STATE);
	while (!probe.ran)
		snooze(1000);
	snooze(20000);
	// The thread has ended; its value is still there for the first waiter.
	status_t exitValue = 0;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, -7);

	// Waiting for a thread that was never resumed starts it.
	Probe second;
	second.result = 9;
	thread = spawn_thread(RecordAndReturn, "never resumed", B_NORMAL_PRIORITY, &second);
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_TRUE(second.ran);
	EXPECT_EQ(exitValue, 9);

	EXPECT_EQ(wait_for_thread(-5, &exitValue), B_BAD_THREAD_ID);
	EXPECT_EQ(wait_for_thread(find_thread(nullptr), &exitValue), B_DONT_DO_THAT);
	EXPECT_EQ(spawn_thread(nullptr, "none", B_NORMAL_PRIORITY, nullptr), B_BAD_VALUE);
}

TEST(Threads, ExitThreadEndsWithItsValueAndUnwinds)
{
	std::atomic<bool> destroyed{false};
	thread_id thread = spawn_thread(ExitEarly, "exiting", B_NORMAL_PRIORITY, &destroyed);
	status_t exitValue = 0;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, 77);
	EXPECT_TRUE(destroyed);
}

TEST(Threads, FindThreadByNameAndRename)
{
	EXPECT_GT(find_thread(nullptr), 0);
	EXPECT_EQ(find_thread(nullptr), find_thread(nullptr));
	EXPECT_EQ(find_thread("no thread has this name"), B_NAME_NOT_FOUND);

	std::atomic<bool> stop{false};
	thread_id thread = spawn_thread(SleepUntilFlag, "finder target", B_DISPLAY_PRIORITY, &stop);
	ASSERT_GT(thread, 0);
	EXPECT_EQ(find_thread("finder target"), thread);
	ASSERT_EQ(rename_thread(thread, "renamed target"), B_OK);
	EXPECT_EQ(find_thread("finder target"), B_NAME_NOT_FOUND);
	EXPECT_EQ(find_thread("renamed target"), thread);
	EXPECT_EQ(set_thread_priority(thread, B_URGENT_DISPLAY_PRIORITY), B_DISPLAY_PRIORITY);
	EXPECT_EQ(set_thread_priority(thread, 500), B_BAD_VALUE);
	thread_info info;
	ASSERT_EQ(get_thread_info(thread, &info), B_OK);
	EXPECT_EQ(info.priority, B_URGENT_DISPLAY_PRIORITY);
	thread_info mine;
	ASSERT_EQ(get_thread_info(find_thread(nullptr), &mine), B_OK);
	EXPECT_EQ(info.team, mine.team);
	EXPECT_EQ(mine.thread, find_thread(nullptr));

	ASSERT_EQ(resume_thread(thread), B_OK);
	stop = true;
	status_t exitValue;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, 5);
	// An ended thread is no longer found by name.
	EXPECT_EQ(find_thread("renamed target"), B_NAME_NOT_FOUND);
	EXPECT_EQ(get_thread_info(thread, &info), B_BAD_THREAD_ID);
}

TEST(Threads, ManyThreadsEachCollectTheirOwnValue)
{
	std::vector<Probe> probes(16);
	std::vector<thread_id> threads;
	for (size_t i = 0; i < probes.size(); i++) {
		probes[i].result = static_cast<status_t>(i * 3);
		threads.push_back(spawn_thread(RecordAndReturn, ("worker " + std::to_string(i)).c_str(),
			B_NORMAL_PRIORITY, &probes[i]));
		ASSERT_EQ(resume_thread(threads.back()), B_OK);
	}
	for (size_t i = 0; i < threads.size(); i++) {
		status_t exitValue = -1;
		ASSERT_EQ(wait_for_thread(threads[i], &exitValue), B_OK);
		EXPECT_EQ(exitValue, static_cast<status_t>(i * 3));
		EXPECT_EQ(probes[i].seenId.load(), threads[i]);
	}
}

TEST(Time, SystemTimeIsMonotonicAndSnoozeSleeps)
{
	bigtime_t previous = system_time();
	EXPECT_GT(previous, 0);
	for (int i = 0; i < 1000; i++) {
		bigtime_t now = system_time();
		ASSERT_GE(now, previous);
		previous = now;
	}

	bigtime_t start = system_time();
	EXPECT_EQ(snooze(20000), B_OK);
	EXPECT_GE(system_time() - start, 20000);

	start = system_time();
	EXPECT_EQ(snooze_until(start + 15000, B_SYSTEM_TIMEBASE), B_OK);
	EXPECT_GE(system_time(), start + 15000);
	// A deadline in the past returns at once without error.
	EXPECT_EQ(snooze_until(start - 1000000, B_SYSTEM_TIMEBASE), B_OK);
	EXPECT_EQ(snooze(0), B_OK);
	EXPECT_EQ(snooze_until(start, 42), B_BAD_VALUE);
}

TEST(Threads, WaitingMarksTheThreadBlocked)
{
	std::atomic<bool> stop{false};
	std::atomic<thread_id> waiter{-1};
	thread_id sleeper = spawn_thread(SleepUntilFlag, "sleeper", B_NORMAL_PRIORITY, &stop);
	ASSERT_EQ(resume_thread(sleeper), B_OK);
	std::thread([&] {
		waiter = find_thread(nullptr);
		status_t exitValue;
		wait_for_thread(sleeper, &exitValue);
	}).detach();
	while (waiter.load() < 0 || !BPrivate::is_thread_blocked(waiter.load()))
		snooze(1000);
	EXPECT_FALSE(BPrivate::is_thread_blocked(find_thread(nullptr)));
	{
		BPrivate::BlockedThreadScope outer;
		{
			BPrivate::BlockedThreadScope inner;
		}
		// Scopes nest: the outer one still holds.
		EXPECT_TRUE(BPrivate::is_thread_blocked(find_thread(nullptr)));
	}
	EXPECT_FALSE(BPrivate::is_thread_blocked(find_thread(nullptr)));
	stop = true;
	while (BPrivate::is_thread_blocked(waiter.load()))
		snooze(1000);
}
