#include <SharedProcessor.h>

#include <gtest/gtest.h>

#include <sched.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

// Two threads that answer each other kept on one processor for a while,
// and threads that work beside them kept off it.

using BPrivate::SharedProcessor;

namespace {

cpu_set_t
ProcessorsOf(thread_id thread)
{
	cpu_set_t set;
	CPU_ZERO(&set);
	sched_getaffinity(thread, sizeof(set), &set);
	return set;
}

// A thread that waits until it is told to end, and says who it is.
class Partner {
public:
	Partner()
		:
		fThread([this] {
			std::unique_lock<std::mutex> lock(fMutex);
			fId = find_thread(nullptr);
			fChanged.notify_all();
			fChanged.wait(lock, [this] { return fEnd; });
		})
	{
		std::unique_lock<std::mutex> lock(fMutex);
		fChanged.wait(lock, [this] { return fId >= 0; });
	}

	~Partner()
	{
		{
			std::lock_guard<std::mutex> lock(fMutex);
			fEnd = true;
		}
		fChanged.notify_all();
		fThread.join();
	}

	thread_id Id() const { return fId; }

private:
	std::mutex fMutex;
	std::condition_variable fChanged;
	thread_id fId = -1;
	bool fEnd = false;
	std::thread fThread;
};

bool
TwoProcessorsUsable()
{
	cpu_set_t set = ProcessorsOf(find_thread(nullptr));
	return CPU_COUNT(&set) >= 2;
}

} // namespace

TEST(SharedProcessor, KeepsBothThreadsOnOneProcessorAndGivesTheirSetsBack)
{
	if (!TwoProcessorsUsable())
		GTEST_SKIP() << "one usable processor: nothing to share";
	Partner partner;
	cpu_set_t mine = ProcessorsOf(find_thread(nullptr));
	cpu_set_t theirs = ProcessorsOf(partner.Id());
	{
		SharedProcessor together(partner.Id());
		ASSERT_TRUE(together.IsShared());
		cpu_set_t self = ProcessorsOf(find_thread(nullptr));
		cpu_set_t other = ProcessorsOf(partner.Id());
		EXPECT_EQ(CPU_COUNT(&self), 1);
		EXPECT_TRUE(CPU_EQUAL(&self, &other)) << "the same one processor for both";
		EXPECT_EQ(sched_getcpu() >= 0 && CPU_ISSET(sched_getcpu(), &self), true);
	}
	cpu_set_t selfAfter = ProcessorsOf(find_thread(nullptr));
	cpu_set_t otherAfter = ProcessorsOf(partner.Id());
	EXPECT_TRUE(CPU_EQUAL(&selfAfter, &mine));
	EXPECT_TRUE(CPU_EQUAL(&otherAfter, &theirs));
}

TEST(SharedProcessor, AThreadStartedByThePairGetsEveryProcessorBack)
{
	if (!TwoProcessorsUsable())
		GTEST_SKIP() << "one usable processor: nothing to share";
	Partner partner;
	cpu_set_t program = ProcessorsOf(find_thread(nullptr));
	SharedProcessor together(partner.Id());
	ASSERT_TRUE(together.IsShared());
	cpu_set_t pair = ProcessorsOf(find_thread(nullptr));

	cpu_set_t inherited, spread, told;
	ASSERT_TRUE(SharedProcessor::ProgramProcessors(&told));
	std::thread([&] {
		inherited = ProcessorsOf(find_thread(nullptr));
		SharedProcessor::SpreadCallingThread();
		spread = ProcessorsOf(find_thread(nullptr));
	}).join();
	EXPECT_TRUE(CPU_EQUAL(&inherited, &pair)) << "a new thread starts with its maker's set";
	EXPECT_TRUE(CPU_EQUAL(&spread, &program));
	EXPECT_TRUE(CPU_EQUAL(&told, &program));
}

TEST(SharedProcessor, NoPartnerOrItselfChangesNothing)
{
	cpu_set_t before = ProcessorsOf(find_thread(nullptr));
	{
		SharedProcessor none(-1);
		SharedProcessor itself(find_thread(nullptr));
		EXPECT_FALSE(none.IsShared());
		EXPECT_FALSE(itself.IsShared());
		cpu_set_t during = ProcessorsOf(find_thread(nullptr));
		EXPECT_TRUE(CPU_EQUAL(&during, &before));
	}
	// Without a pair the program's processors are the main thread's.
	cpu_set_t program = ProcessorsOf(getpid());
	cpu_set_t told;
	ASSERT_TRUE(SharedProcessor::ProgramProcessors(&told));
	EXPECT_TRUE(CPU_EQUAL(&told, &program));
}
