#include "FileCompressor.h"

#include "HostFileIO.h"
#include "ScratchDir.h"
#include "ToolFixture.h"

#include <Errors.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/stat.h>

#include <random>
#include <thread>

namespace {

// A bound of the tests' own keeps the files small; the code is the same.
const size_t kBound = 1024 * 1024;


// What a result decodes to, from memory or from its temporary file.
std::vector<uint8>
Decode(const compressed_stream& result)
{
	if (result.data)
		return inflate_zlib_stream(result.data.get(), (size_t)result.storedSize);
	std::vector<uint8> stored = read_host_file(result.temporaryPath);
	EXPECT_EQ((int64)stored.size(), result.storedSize);
	return inflate_zlib_stream(stored.data(), stored.size());
}


// Text-like contents that compress well, so that files of the buffer bound
// are quick to compress, with enough variation to be no single repeat.
std::vector<uint8>
MakeContents(size_t size, uint32 seed)
{
	std::mt19937 random(seed);
	std::vector<uint8> block(4096);
	for (uint8& byte : block)
		byte = (uint8)("abcdefgh \n"[random() % 10]);
	std::vector<uint8> data(size);
	for (size_t i = 0; i < size; i++)
		data[i] = block[i % block.size()] ^ (i % 65536 == 0 ? (uint8)random() : 0);
	return data;
}

} // namespace


TEST(FileCompressorTest, FilesAtAndAroundTheBoundDecodeExactly)
{
	ScratchDir dir;
	struct {
		size_t size;
		bool inMemory;
	} cases[] = {
		{0, true}, {1, true}, {70000, true},
		{kBound - 1, true}, {kBound, true}, {kBound + 1, false},
		{kBound + FileCompressor::kChunkSize + 7, false},
		{3 * kBound + 5, false},
	};
	FileCompressor compressor(kBound);
	for (const auto& testCase : cases) {
		SCOPED_TRACE(testCase.size);
		std::vector<uint8> contents = MakeContents(testCase.size, (uint32)testCase.size);
		std::string path = dir / "file";
		ASSERT_TRUE(write_host_file(path, contents));
		compressed_stream result;
		ASSERT_EQ(compressor.Compress(path.c_str(), dir.Path().c_str(), &result), B_OK)
			<< result.error;
		EXPECT_EQ(result.originalSize, (int64)testCase.size);
		EXPECT_EQ(result.data != nullptr, testCase.inMemory);
		EXPECT_EQ(result.temporaryPath.empty(), testCase.inMemory);
		EXPECT_TRUE(Decode(result) == contents) << "contents differ after decoding";
		EXPECT_LT(result.storedSize, (int64)testCase.size / 4 + 64) << "hardly compressed";
		if (!result.temporaryPath.empty())
			unlink(result.temporaryPath.c_str());
	}
}


// A file longer than it was when opened (a FIFO: its size is 0 to fstat)
// is read to its end: within the bound it stays in memory, beyond it the
// bytes read so far start the stream.
TEST(FileCompressorTest, FileLongerThanItsSizeIsReadToItsEnd)
{
	ScratchDir dir;
	std::string fifo = dir / "fifo";
	ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
	FileCompressor compressor(kBound);
	for (size_t size : {(size_t)200000, kBound + 300000}) {
		SCOPED_TRACE(size);
		std::vector<uint8> contents = MakeContents(size, 7);
		std::thread writer([&] {
			int fd = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
			for (size_t done = 0; fd >= 0 && done < size;) {
				ssize_t written = write(fd, contents.data() + done,
					std::min<size_t>(size - done, 100000));
				if (written <= 0)
					break;
				done += (size_t)written;
			}
			close(fd);
		});
		compressed_stream result;
		status_t status = compressor.Compress(fifo.c_str(), dir.Path().c_str(), &result);
		writer.join();
		ASSERT_EQ(status, B_OK) << result.error;
		EXPECT_EQ(result.originalSize, (int64)size);
		EXPECT_EQ(result.data != nullptr, size <= kBound);
		EXPECT_TRUE(Decode(result) == contents) << "contents differ after decoding";
		if (!result.temporaryPath.empty())
			unlink(result.temporaryPath.c_str());
	}
}


// The default bound holds files far larger than the buffers a compressor
// keeps between files; one of them leaves the compressor ready for more.
TEST(FileCompressorTest, DefaultBoundKeepsLargeFilesInMemory)
{
	ScratchDir dir;
	ASSERT_GT(FileCompressor::kBufferBound, 3 * FileCompressor::kKeptBufferSize);
	FileCompressor compressor;
	for (size_t size : {2 * FileCompressor::kKeptBufferSize + 3, (size_t)5000}) {
		SCOPED_TRACE(size);
		std::vector<uint8> contents = MakeContents(size, 11);
		std::string path = dir / "file";
		ASSERT_TRUE(write_host_file(path, contents));
		compressed_stream result;
		ASSERT_EQ(compressor.Compress(path.c_str(), dir.Path().c_str(), &result), B_OK);
		ASSERT_TRUE(result.data != nullptr);
		EXPECT_TRUE(Decode(result) == contents) << "contents differ after decoding";
	}
}


TEST(FileCompressorTest, FailuresNameTheFile)
{
	ScratchDir dir;
	FileCompressor compressor(kBound);
	compressed_stream result;
	std::string absent = dir / "absent";
	EXPECT_EQ(compressor.Compress(absent.c_str(), dir.Path().c_str(), &result),
		B_ENTRY_NOT_FOUND);
	EXPECT_NE(result.error.find(absent), std::string::npos) << result.error;

	// A large file needs its temporary folder; a small one does not.
	std::string large = dir / "large";
	ASSERT_TRUE(write_host_file(large, MakeContents(kBound + 1, 3)));
	std::string noFolder = dir / "no-folder";
	EXPECT_EQ(compressor.Compress(large.c_str(), noFolder.c_str(), &result), B_ENTRY_NOT_FOUND);
	EXPECT_NE(result.error.find(noFolder), std::string::npos) << result.error;
	EXPECT_TRUE(result.temporaryPath.empty());
	std::string small = dir / "small";
	ASSERT_TRUE(write_host_file(small, "data", 4));
	EXPECT_EQ(compressor.Compress(small.c_str(), noFolder.c_str(), &result), B_OK);
	EXPECT_EQ(result.originalSize, 4);
}
