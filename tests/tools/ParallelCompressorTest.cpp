#include "ParallelCompressor.h"

#include "HostFileIO.h"
#include "ScratchDir.h"
#include "ToolFixture.h"

#include <Errors.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <unistd.h>

#include <cstring>
#include <random>

namespace {

std::vector<uint8>
MakeData(size_t size, uint32 seed)
{
	std::mt19937 random(seed);
	std::vector<uint8> data(size);
	for (size_t i = 0; i < size; i++)
		data[i] = (uint8)("abcdefgh"[random() % 8] + (i % 4096 == 0 ? random() % 3 : 0));
	return data;
}

} // namespace


TEST(ParallelCompressorTest, EveryFileIsOneCompleteStreamSameAsSerial)
{
	ScratchDir dir;
	// An empty file, small ones, and a file beyond the buffer bound that is
	// streamed to a temporary file (started first, finished in its turn).
	const size_t bound = 256 * 1024;
	const size_t sizes[] = {0, 1, 200000, 17, bound + 5000, 5000};
	std::vector<std::vector<uint8>> contents;
	for (size_t i = 0; i < std::size(sizes); i++) {
		contents.push_back(MakeData(sizes[i], (uint32)i));
		ASSERT_TRUE(write_host_file(dir / ("f" + std::to_string(i)), contents.back()));
	}

	std::vector<std::vector<uint8>> outputs[2];
	const int32 threadCounts[2] = {1, 4};
	for (int run = 0; run < 2; run++) {
		ParallelCompressor compressor(dir.Path().c_str(), threadCounts[run], bound);
		// The expected sizes order the work: one that is wrong either way
		// still gives the file's exact contents.
		for (size_t i = 0; i < contents.size(); i++) {
			int64 expected = i == 2 ? (int64)bound * 2 : (int64)sizes[i];
			if (i == 4)
				expected = 0;
			EXPECT_EQ(compressor.AddFile((dir / ("f" + std::to_string(i))).c_str(), expected),
				(int32)i);
		}
		compressor.Start();
		for (size_t i = 0; i < contents.size(); i++) {
			std::string out = dir / ("out" + std::to_string(run) + "-" + std::to_string(i));
			HostFileIO io(out, O_RDWR | O_CREAT | O_TRUNC);
			ASSERT_EQ(compressor.WaitFor((int32)i), B_OK);
			// In memory only when within the bound and taken in turn.
			EXPECT_EQ(compressor.ResultAt((int32)i).data == nullptr, sizes[i] > bound || i == 2);
			ASSERT_EQ(compressor.CopyResult((int32)i, &io), B_OK);
			const compressed_file& result = compressor.ResultAt((int32)i);
			EXPECT_EQ(result.originalSize, (int64)sizes[i]);
			EXPECT_TRUE(result.temporaryPath.empty()) << "temporary file kept after the copy";
			std::vector<uint8> stored = read_host_file(out);
			EXPECT_EQ((int64)stored.size(), result.storedSize);
			EXPECT_TRUE(inflate_zlib_stream(stored.data(), stored.size()) == contents[i]) << "file " << i;
			outputs[run].push_back(stored);
		}
		compressor.Stop();
	}
	EXPECT_EQ(outputs[0], outputs[1]) << "output depends on the number of threads";

	// Only the outputs are left: no temporary files.
	int count = 0;
	for (auto& entry : std::filesystem::directory_iterator(dir.Path()))
		count += entry.path().filename().string().rfind(".compress-", 0) == 0;
	EXPECT_EQ(count, 0);
}


TEST(ParallelCompressorTest, MissingFileFailsItsJobOnly)
{
	ScratchDir dir;
	ASSERT_TRUE(write_host_file(dir / "present", "data", 4));
	ParallelCompressor compressor(dir.Path().c_str(), 2);
	compressor.AddFile((dir / "absent").c_str());
	compressor.AddFile((dir / "present").c_str());
	compressor.Start();
	EXPECT_EQ(compressor.WaitFor(0), B_ENTRY_NOT_FOUND);
	EXPECT_NE(compressor.ResultAt(0).error.find(dir / "absent"), std::string::npos);
	EXPECT_EQ(compressor.WaitFor(1), B_OK);
	EXPECT_EQ(compressor.ResultAt(1).originalSize, 4);
	EXPECT_EQ(compressor.WaitFor(2), B_BAD_INDEX);
	compressor.Stop();
}


// Results wait in memory only up to the budget: with the writer not
// copying, the workers stop taking jobs, and Stop still returns.
TEST(ParallelCompressorTest, ResultsInMemoryStayWithinTheBudget)
{
	ScratchDir dir;
	// Incompressible: each result holds about its file's size.
	const size_t fileSize = 4 * 1024 * 1024;
	const size_t fileCount = ParallelCompressor::kResultBudget / fileSize + 8;
	std::mt19937_64 random(5);
	std::vector<uint8> contents(fileSize);
	for (size_t i = 0; i < fileCount; i++) {
		for (size_t at = 0; at < fileSize; at += 8) {
			uint64 value = random();
			memcpy(contents.data() + at, &value, 8);
		}
		ASSERT_TRUE(write_host_file(dir / ("f" + std::to_string(i)), contents));
	}
	const int32 threads = 2;
	ParallelCompressor compressor(dir.Path().c_str(), threads);
	for (size_t i = 0; i < fileCount; i++)
		compressor.AddFile((dir / ("f" + std::to_string(i))).c_str(), fileSize);
	compressor.Start();
	// Once the budget is reached no worker takes another job; those taken
	// before finish.
	const size_t mostDone = ParallelCompressor::kResultBudget / fileSize + threads;
	ASSERT_EQ(compressor.WaitFor((int32)(ParallelCompressor::kResultBudget / fileSize) - 1),
		B_OK);
	usleep(300 * 1000);
	EXPECT_LE((size_t)compressor.CountDone(), mostDone) << "workers ran past the memory budget";

	// Copying results lets the rest through.
	HostFileIO sink(dir / "sink", O_RDWR | O_CREAT | O_TRUNC);
	for (size_t i = 0; i < fileCount; i++)
		ASSERT_EQ(compressor.CopyResult((int32)i, &sink), B_OK) << i;
	compressor.Stop();
}


TEST(ParallelCompressorTest, StopReturnsWhileWorkersWaitForMemory)
{
	ScratchDir dir;
	const size_t fileSize = 8 * 1024 * 1024;
	const size_t fileCount = ParallelCompressor::kResultBudget / fileSize + 4;
	std::vector<uint8> contents(fileSize);
	std::mt19937_64 random(9);
	for (size_t at = 0; at < fileSize; at += 8) {
		uint64 value = random();
		memcpy(contents.data() + at, &value, 8);
	}
	for (size_t i = 0; i < fileCount; i++)
		ASSERT_TRUE(write_host_file(dir / ("f" + std::to_string(i)), contents));
	ParallelCompressor compressor(dir.Path().c_str(), 2);
	for (size_t i = 0; i < fileCount; i++)
		compressor.AddFile((dir / ("f" + std::to_string(i))).c_str(), fileSize);
	compressor.Start();
	ASSERT_EQ(compressor.WaitFor((int32)(ParallelCompressor::kResultBudget / fileSize) - 1),
		B_OK);
	// A writer that gives up on an error stops without copying anything.
	compressor.Stop();
	EXPECT_EQ(compressor.WaitFor((int32)fileCount - 1), B_NO_INIT);
}
