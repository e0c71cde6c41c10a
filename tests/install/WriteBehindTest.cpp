// The flusher that writes a run's files back while it goes on: it flushes
// once per step of bytes written, for the volume it was started for, never
// when too little was written, and stops without losing a flush under way.

#include "WriteBehind.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Records the flushes the flusher asks for; a flush may be held until
// released, to stop the flusher while one is under way.
class FlushRecorder {
public:
	void Flush(dev_t volume)
	{
		std::unique_lock<std::mutex> lock(fLock);
		fVolumes.push_back(volume);
		fChanged.notify_all();
		fChanged.wait(lock, [this] { return !fHeld; });
		fDone++;
		fChanged.notify_all();
	}

	bool WaitForFlushes(size_t count)
	{
		std::unique_lock<std::mutex> lock(fLock);
		return fChanged.wait_for(lock, std::chrono::seconds(10),
			[&] { return fVolumes.size() >= count; });
	}

	void Hold(bool held)
	{
		std::lock_guard<std::mutex> guard(fLock);
		fHeld = held;
		fChanged.notify_all();
	}

	std::vector<dev_t> Volumes()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fVolumes;
	}

	int Done()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fDone;
	}

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	std::vector<dev_t> fVolumes;
	bool fHeld = false;
	int fDone = 0;
};

} // namespace


TEST(WriteBehindTest, FlushesTheVolumeOncePerStepWritten)
{
	FlushRecorder recorder;
	WriteBehind flusher([&](dev_t volume) { recorder.Flush(volume); });

	// Nothing is flushed before it starts, nor before a step is written.
	flusher.Written(WriteBehind::kStepBytes * 2);
	flusher.Start(7);
	flusher.Written(WriteBehind::kStepBytes - 1);
	flusher.Written(0);
	flusher.Written(-5);
	std::this_thread::sleep_for(std::chrono::milliseconds(50));
	EXPECT_TRUE(recorder.Volumes().empty());

	// The byte that completes the step asks for a flush of that volume.
	flusher.Written(1);
	ASSERT_TRUE(recorder.WaitForFlushes(1));
	flusher.Written(WriteBehind::kStepBytes);
	ASSERT_TRUE(recorder.WaitForFlushes(2));
	flusher.Stop();
	EXPECT_EQ(recorder.Volumes(), (std::vector<dev_t>{7, 7}));

	// Stopped, it asks for nothing more; started again, it counts afresh
	// for the new volume.
	flusher.Written(WriteBehind::kStepBytes);
	flusher.Start(9);
	flusher.Written(WriteBehind::kStepBytes / 2);
	flusher.Start(11);
	flusher.Written(WriteBehind::kStepBytes / 2);
	std::this_thread::sleep_for(std::chrono::milliseconds(50));
	EXPECT_EQ(recorder.Volumes().size(), 2u);
	flusher.Written(WriteBehind::kStepBytes / 2);
	ASSERT_TRUE(recorder.WaitForFlushes(3));
	flusher.Stop();
	EXPECT_EQ(recorder.Volumes().back(), 11);
}


TEST(WriteBehindTest, StoppingWaitsForTheFlushUnderWay)
{
	FlushRecorder recorder;
	std::thread release;
	{
		WriteBehind flusher([&](dev_t volume) { recorder.Flush(volume); });
		flusher.Start(3);
		recorder.Hold(true);
		flusher.Written(WriteBehind::kStepBytes);
		ASSERT_TRUE(recorder.WaitForFlushes(1));
		release = std::thread([&] {
			std::this_thread::sleep_for(std::chrono::milliseconds(100));
			recorder.Hold(false);
		});
		// The destructor stops it: the flush under way ends first.
	}
	EXPECT_EQ(recorder.Done(), 1);
	release.join();
}
