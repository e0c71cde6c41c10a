// The catalog's read-ahead stream reads what the file holds, wherever the
// blocks begin and end.

#include "BufferedFileIO.h"

#include <File.h>

#include <TempRoot.h>

#include <gtest/gtest.h>

#include <string>

class BufferedFileIOTest : public TempRootTest {};

TEST_F(BufferedFileIOTest, ReadsAcrossBlocksSeeksAndEnds)
{
	std::string data;
	for (int i = 0; i < 5000; i++)
		data += (char)('a' + i % 26) + std::to_string(i);
	fRoot.WriteFile("boot/data", data);
	BFile* file = new BFile("/boot/data", B_READ_ONLY);
	ASSERT_EQ(file->InitCheck(), B_OK);
	// A small block, so that reads cross its edges.
	BufferedFileIO io(file, 100);
	ASSERT_EQ(io.InitCheck(), B_OK);

	std::string read;
	char piece[7];
	ssize_t count;
	while ((count = io.Read(piece, sizeof(piece))) > 0)
		read.append(piece, count);
	EXPECT_EQ(read, data);
	EXPECT_EQ(io.Position(), (off_t)data.size());
	EXPECT_EQ(io.Read(piece, sizeof(piece)), 0);

	// Back and forth, and one read larger than the block.
	EXPECT_EQ(io.Seek(95, SEEK_SET), 95);
	char across[10];
	ASSERT_EQ(io.Read(across, sizeof(across)), 10);
	EXPECT_EQ(std::string(across, 10), data.substr(95, 10));
	EXPECT_EQ(io.Seek(-5, SEEK_CUR), 100);
	std::string large(1000, '\0');
	ASSERT_EQ(io.Read(large.data(), large.size()), 1000);
	EXPECT_EQ(large, data.substr(100, 1000));
	EXPECT_EQ(io.Seek(-3, SEEK_END), (off_t)data.size() - 3);
	EXPECT_EQ(io.Read(piece, sizeof(piece)), 3);

	EXPECT_LT(io.Seek(-1, SEEK_SET), 0);
	EXPECT_EQ(io.WriteAt(0, "x", 1), B_NOT_ALLOWED);
	off_t size = 0;
	EXPECT_EQ(io.GetSize(&size), B_OK);
	EXPECT_EQ(size, (off_t)data.size());
}

TEST_F(BufferedFileIOTest, AFailingFileGivesItsOwnStatus)
{
	// Open for writing only: every read of the file itself is refused, and
	// a read through the stream says so as the file would, rather than
	// looking like the end of the data.
	fRoot.WriteFile("boot/data", std::string(500, 'x'));
	BFile* file = new BFile("/boot/data", B_WRITE_ONLY);
	ASSERT_EQ(file->InitCheck(), B_OK);
	char byte;
	ASSERT_EQ(file->ReadAt(0, &byte, 1), B_NOT_ALLOWED);
	BufferedFileIO io(file, 100);
	char piece[10];
	EXPECT_EQ(io.ReadAt(0, piece, sizeof(piece)), B_NOT_ALLOWED);
	EXPECT_EQ(io.Read(piece, sizeof(piece)), B_NOT_ALLOWED);
	EXPECT_EQ(io.Position(), 0);
}
