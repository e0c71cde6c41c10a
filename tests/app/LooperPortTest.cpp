#include <LooperPort.h>
#include <Message.h>
#include <OS.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

// A looper's queue holding one message back until a given time: the window
// uses it to draw at most once a frame.

using BPrivate::LooperPort;

namespace {

const auto kGenerousWait = std::chrono::seconds(10);

} // namespace

TEST(LooperPort, HeldMessageComesAtItsTimeBehindTheQueuedOnes)
{
	LooperPort port(10);
	bigtime_t when = system_time() + 30000;
	ASSERT_EQ(port.PushAt(new BMessage('held'), when), B_OK);
	BMessage* second = new BMessage('2nd_');
	EXPECT_EQ(port.PushAt(second, when), B_BUSY) << "one held message at a time";
	delete second;
	ASSERT_EQ(port.Push(new BMessage('now_'), 0), B_OK);
	EXPECT_EQ(port.CountMessages(), 1) << "the held message is not queued yet";

	BMessage* first = port.Pop();
	ASSERT_NE(first, nullptr);
	EXPECT_EQ(first->what, (uint32)'now_');
	delete first;
	BMessage* held = port.Pop();
	ASSERT_NE(held, nullptr);
	EXPECT_EQ(held->what, (uint32)'held');
	EXPECT_GE(system_time(), when) << "never before its time";
	delete held;

	// Once due, it joins the queue behind what is already there.
	ASSERT_EQ(port.PushAt(new BMessage('due_'), system_time() - 1), B_OK);
	ASSERT_EQ(port.Push(new BMessage('then'), 0), B_OK);
	BMessage* order[2] = {port.Pop(), port.Pop()};
	ASSERT_NE(order[0], nullptr);
	ASSERT_NE(order[1], nullptr);
	EXPECT_EQ(order[0]->what, (uint32)'then');
	EXPECT_EQ(order[1]->what, (uint32)'due_');
	delete order[0];
	delete order[1];
}

TEST(LooperPort, WaitingLooperLearnsOfAHeldMessageAndIsBusyMeanwhile)
{
	LooperPort port(10);
	auto popped = std::async(std::launch::async, [&port] { return port.Pop(); });
	// The looper waits with no deadline before the message is held.
	for (int i = 0; i < 1000 && !port.IsIdle(); i++)
		snooze(1000);
	ASSERT_TRUE(port.IsIdle());

	ASSERT_EQ(port.PushAt(new BMessage('held'), system_time() + 50000), B_OK);
	EXPECT_FALSE(port.IsIdle()) << "a held message is work still to do";
	ASSERT_EQ(popped.wait_for(kGenerousWait), std::future_status::ready);
	BMessage* message = popped.get();
	ASSERT_NE(message, nullptr);
	EXPECT_EQ(message->what, (uint32)'held');
	delete message;
}

TEST(LooperPort, StoppingAndClosingDropTheHeldMessage)
{
	LooperPort stopped(10);
	ASSERT_EQ(stopped.PushAt(new BMessage('held'), system_time() + 60000000), B_OK);
	auto popped = std::async(std::launch::async, [&stopped] { return stopped.Pop(); });
	stopped.WakeToStop();
	ASSERT_EQ(popped.wait_for(kGenerousWait), std::future_status::ready);
	EXPECT_EQ(popped.get(), nullptr) << "a stop does not wait for the held time";

	// Closing deletes the held message (the leak checker sees it otherwise)
	// and refuses new ones.
	stopped.Close();
	BMessage* late = new BMessage('late');
	EXPECT_EQ(stopped.PushAt(late, system_time()), B_BAD_PORT_ID);
	delete late;
}

namespace {

// A looper asleep in Pop until its held message, due in five seconds.
struct SleepingLooper {
	explicit SleepingLooper(int32 capacity)
		:
		port(capacity)
	{
		popped = std::async(std::launch::async, [this] { return port.Pop(); });
		for (int i = 0; i < 1000 && !port.IsIdle(); i++)
			snooze(1000);
		held = port.PushAt(new BMessage('held'), system_time() + 5000000);
		// Woken to learn of the held message, it goes back to sleep.
		snooze(200000);
	}

	~SleepingLooper() { port.Close(); }

	bool StillAsleep() { return popped.wait_for(std::chrono::milliseconds(100))
		== std::future_status::timeout; }

	uint32 Woken()
	{
		if (popped.wait_for(kGenerousWait) != std::future_status::ready)
			return 0;
		BMessage* message = popped.get();
		uint32 what = message != nullptr ? message->what : 0;
		delete message;
		return what;
	}

	LooperPort port;
	std::future<BMessage*> popped;
	status_t held;
};

const bigtime_t kTenSeconds = 10000000;

} // namespace

TEST(LooperPort, AnUnhurriedMessageWaitsForTheLoopersOwnWakeUpAndKeepsItsPlace)
{
	SleepingLooper looper(10);
	ASSERT_EQ(looper.held, B_OK);
	ASSERT_EQ(looper.port.PushUnhurried(new BMessage('news'), B_INFINITE_TIMEOUT, kTenSeconds),
		B_OK);
	EXPECT_TRUE(looper.StillAsleep()) << "the held message wakes the looper soon enough";

	// Whatever wakes the looper finds the unhurried message first.
	ASSERT_EQ(looper.port.Push(new BMessage('urge'), 0), B_OK);
	EXPECT_EQ(looper.Woken(), (uint32)'news');
	BMessage* next = looper.port.Pop();
	ASSERT_NE(next, nullptr);
	EXPECT_EQ(next->what, (uint32)'urge');
	delete next;
}

TEST(LooperPort, AnUnhurriedMessageWakesALooperThatWouldSleepOnOrAFillingQueue)
{
	// Nothing held: nothing else would wake the looper.
	{
		LooperPort port(10);
		auto popped = std::async(std::launch::async, [&port] { return port.Pop(); });
		for (int i = 0; i < 1000 && !port.IsIdle(); i++)
			snooze(1000);
		ASSERT_EQ(port.PushUnhurried(new BMessage('news'), 0, kTenSeconds), B_OK);
		ASSERT_EQ(popped.wait_for(kGenerousWait), std::future_status::ready);
		BMessage* message = popped.get();
		ASSERT_NE(message, nullptr);
		EXPECT_EQ(message->what, (uint32)'news');
		delete message;
	}
	// The held message is due later than the sender will wait.
	{
		SleepingLooper looper(10);
		ASSERT_EQ(looper.port.PushUnhurried(new BMessage('news'), 0, 1000000), B_OK);
		EXPECT_EQ(looper.Woken(), (uint32)'news');
	}
	// Half the queue is taken: a sender must not come to wait for room
	// behind a sleeping looper.
	{
		SleepingLooper looper(4);
		ASSERT_EQ(looper.port.PushUnhurried(new BMessage('1st_'), 0, kTenSeconds), B_OK);
		EXPECT_TRUE(looper.StillAsleep());
		ASSERT_EQ(looper.port.PushUnhurried(new BMessage('2nd_'), 0, kTenSeconds), B_OK);
		EXPECT_EQ(looper.Woken(), (uint32)'1st_');
	}
}
