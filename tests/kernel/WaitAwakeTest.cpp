#include <OS.h>
#include <WaitAwake.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using BPrivate::processors_to_spare;
using BPrivate::wait_awake;

// Waiting awake ends as soon as the other thread is done, and never outlasts
// its bound; with no processor to spare it does not wait at all.
TEST(WaitAwake, EndsWhenReadyAndNeverOutlastsItsBound)
{
	EXPECT_TRUE(wait_awake([] { return true; }, 0));

	bigtime_t start = system_time();
	EXPECT_FALSE(wait_awake([] { return false; }, 2000));
	bigtime_t waited = system_time() - start;
	EXPECT_LT(waited, 10000000) << "a bound of 2 ms";
	if (processors_to_spare())
		EXPECT_GE(waited, 2000);

	if (!processors_to_spare())
		GTEST_SKIP() << "one processor: nothing to wait for awake";
	std::atomic<bool> done{false};
	std::thread other([&] {
		snooze(1000);
		done = true;
	});
	EXPECT_TRUE(wait_awake([&] { return done.load(); }, 10000000));
	other.join();
}
