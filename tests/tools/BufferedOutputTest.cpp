#include "BufferedOutput.h"

#include "HostFileIO.h"
#include "ScratchDir.h"

#include <Errors.h>

#include <gtest/gtest.h>

#include <random>

// The way a package is written (many small records, a few large copies, the
// header rewritten in place at the end, the size asked for on the way)
// gives through the buffer exactly the file that direct writes give.
TEST(BufferedOutputTest, GivesTheFileThatDirectWritesGive)
{
	ScratchDir dir;
	std::string bufferedPath = dir / "buffered";
	std::string directPath = dir / "direct";
	HostFile bufferedFile(bufferedPath.c_str(), O_RDWR | O_CREAT | O_TRUNC);
	HostFile direct(directPath.c_str(), O_RDWR | O_CREAT | O_TRUNC);
	ASSERT_EQ(bufferedFile.InitCheck(), B_OK);
	ASSERT_EQ(direct.InitCheck(), B_OK);
	// Output that starts inside a file (a package behind an image).
	for (HostFile* file : {&bufferedFile, &direct}) {
		ASSERT_EQ(file->WriteFully("IMAGE", 5), B_OK);
	}
	BufferedOutput buffered(&bufferedFile);
	EXPECT_EQ(buffered.Position(), 5);

	std::mt19937 random(3);
	std::vector<uint8> bytes(5 * BufferedOutput::kBufferSize);
	for (uint8& byte : bytes)
		byte = (uint8)random();
	// Sizes from a byte to beyond the buffer, the buffer's own size
	// included, in an order that fills it unevenly.
	const size_t sizes[] = {1, 12, 4, BufferedOutput::kBufferSize - 20, 30,
		BufferedOutput::kBufferSize, 7, 2 * BufferedOutput::kBufferSize + 3, 16384, 9};
	size_t from = 0;
	for (size_t size : sizes) {
		SCOPED_TRACE(size);
		for (BPositionIO* io : {(BPositionIO*)&buffered, (BPositionIO*)&direct}) {
			ASSERT_EQ(io->Write(bytes.data() + from, size), (ssize_t)size);
		}
		from += size;
		off_t bufferedSize, directSize;
		ASSERT_EQ(buffered.GetSize(&bufferedSize), B_OK);
		ASSERT_EQ(direct.GetSize(&directSize), B_OK);
		EXPECT_EQ(bufferedSize, directSize);
		EXPECT_EQ(buffered.Position(), direct.Position());
	}
	// What was written can be read back before any flush.
	uint8 start[4];
	ASSERT_EQ(buffered.ReadAt(5, start, 4), 4);
	EXPECT_EQ(memcmp(start, bytes.data(), 4), 0);

	// A header rewritten in place, then more at the end.
	off_t end = direct.Position();
	for (BPositionIO* io : {(BPositionIO*)&buffered, (BPositionIO*)&direct}) {
		ASSERT_EQ(io->Seek(8, SEEK_SET), 8);
		ASSERT_EQ(io->Write("HEADER", 6), 6);
		ASSERT_EQ(io->Seek(0, SEEK_END), end);
		ASSERT_EQ(io->Write("tail", 4), 4);
	}
	ASSERT_EQ(buffered.Flush(), B_OK);
	EXPECT_TRUE(read_host_file(bufferedPath) == read_host_file(directPath));
}


TEST(BufferedOutputTest, FlushReportsAFailedWrite)
{
	ScratchDir dir;
	std::string path = dir / "file";
	ASSERT_TRUE(write_host_file(path, "x", 1));
	// Opened for reading only: the writes fail when they reach the file.
	HostFile file(path.c_str(), O_RDONLY);
	ASSERT_EQ(file.InitCheck(), B_OK);
	BufferedOutput buffered(&file);
	EXPECT_EQ(buffered.Write("abc", 3), 3);
	EXPECT_EQ(buffered.Flush(), B_FILE_ERROR);
	std::vector<uint8> large(BufferedOutput::kBufferSize);
	EXPECT_LT(buffered.Write(large.data(), large.size()), 0);
}
