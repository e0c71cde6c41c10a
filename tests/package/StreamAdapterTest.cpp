// The memory stream and the attribute stream.

#include "PackageTestSupport.h"

#include "MMallocIO.h"
#include "PackData.h"
#include "SAttrIO.h"
#include "ZlCodec.h"

#include <File.h>
#include <Node.h>
#include <TypeConstants.h>

#include <TempRoot.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

TEST(MMallocIOTest, GrowsInWholeBlocks)
{
	MMallocIO io;
	EXPECT_EQ(io.Size(), 0u);
	EXPECT_EQ(io.Capacity(), 4096u);
	std::string data = NoiseData(10000);
	for (size_t offset = 0; offset < data.size(); offset += 625)
		ASSERT_EQ(io.Write(data.data() + offset, 625), 625);
	EXPECT_EQ(io.Capacity(), 12288u);
	EXPECT_EQ(io.Size(), 10000u);
	EXPECT_EQ(io.Position(), 10000);
	EXPECT_EQ(std::string(io.Buffer(), io.Size()), data);

	// A smaller block size; 0 is ignored.
	MMallocIO small;
	small.SetBlockSize(0);
	small.SetBlockSize(100);
	ASSERT_EQ(small.Write(data.data(), 4097), 4097);
	EXPECT_EQ(small.Capacity(), 4100u);
	off_t size = 0;
	ASSERT_EQ(small.GetSize(&size), B_OK);
	EXPECT_EQ(size, 4097);
}

TEST(MMallocIOTest, ReadsSeeksAndOverwrites)
{
	MMallocIO io;
	ASSERT_EQ(io.Write("hello world", 11), 11);
	char buffer[16] = {};
	EXPECT_EQ(io.ReadAt(6, buffer, sizeof(buffer)), 5);
	EXPECT_STREQ(buffer, "world");
	EXPECT_EQ(io.ReadAt(11, buffer, 4), 0);
	EXPECT_EQ(io.ReadAt(500, buffer, 4), 0);

	// Seeks stay within the data; a refused one leaves the position.
	EXPECT_EQ(io.Seek(6, SEEK_SET), 6);
	EXPECT_EQ(io.Seek(12, SEEK_SET), -1);
	EXPECT_EQ(io.Seek(-7, SEEK_CUR), -1);
	EXPECT_EQ(io.Position(), 6);
	EXPECT_EQ(io.Seek(-1, SEEK_CUR), 5);
	EXPECT_EQ(io.Seek(0, SEEK_END), 11);
	EXPECT_EQ(io.Seek(-11, SEEK_END), 0);

	// Overwriting inside the data keeps the length.
	io.Seek(0, SEEK_SET);
	ASSERT_EQ(io.Write("HELLO", 5), 5);
	EXPECT_EQ(io.Size(), 11u);
	EXPECT_EQ(std::string(io.Buffer(), io.Size()), "HELLO world");
	memset(buffer, 0, sizeof(buffer));
	io.Seek(0, SEEK_SET);
	EXPECT_EQ(io.Read(buffer, 5), 5);
	EXPECT_EQ(io.Position(), 5);
	EXPECT_STREQ(buffer, "HELLO");
}

TEST(MMallocIOTest, TheBufferCanOutliveTheStream)
{
	char* kept;
	size_t size;
	{
		MMallocIO io;
		io.Write("agreement", 10);
		io.SetDispose(false);
		kept = io.Buffer();
		size = io.Size();
	}
	EXPECT_EQ(size, 10u);
	EXPECT_STREQ(kept, "agreement");
	free(kept);

	// Sized without a buffer: that many zero bytes of data.
	MMallocIO sized(nullptr, 5);
	EXPECT_EQ(sized.Size(), 5u);
	EXPECT_EQ(std::string(sized.Buffer(), 5), std::string(5, '\0'));
}

TEST(MMallocIOTest, ACallersBufferIsReadAndNeverResized)
{
	char mine[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
	{
		MMallocIO io(mine, sizeof(mine));
		EXPECT_EQ(io.Size(), 8u);
		EXPECT_EQ(io.Buffer(), mine);
		char buffer[4];
		EXPECT_EQ(io.ReadAt(4, buffer, 4), 4);
		EXPECT_EQ(std::string(buffer, 4), "efgh");
		// Growing moves the data into the stream's own buffer.
		io.Seek(0, SEEK_END);
		ASSERT_EQ(io.Write("XY", 2), 2);
		EXPECT_NE(io.Buffer(), mine);
		EXPECT_EQ(std::string(io.Buffer(), io.Size()), "abcdefghXY");
	}
	EXPECT_EQ(std::string(mine, 8), "abcdefgh");
}

class SAttrIOTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		fRoot.WriteFile("boot/file", "contents");
		ASSERT_EQ(fNode.SetTo("/boot/file"), B_OK);
	}

	std::string AttrValue(const char* name)
	{
		attr_info info;
		if (fNode.GetAttrInfo(name, &info) != B_OK)
			return "<none>";
		std::string value(info.size, '\0');
		ssize_t read = fNode.ReadAttr(name, info.type, 0, value.data(), value.size());
		return read == info.size ? value : "<short>";
	}

	BNode fNode;
};

TEST_F(SAttrIOTest, ChunksArriveWholeAndInOrder)
{
	std::string value = NoiseData(3000);
	{
		SAttrIO io(&fNode, "chunked", 'TEST');
		for (size_t offset = 0; offset < value.size(); offset += 700) {
			size_t piece = std::min<size_t>(700, value.size() - offset);
			ASSERT_EQ(io.Write(value.data() + offset, piece), (ssize_t)piece);
		}
		EXPECT_EQ(io.Position(), 3000);
		off_t size = 0;
		io.GetSize(&size);
		EXPECT_EQ(size, 3000);
		EXPECT_STREQ(io.Name(), "chunked");
		EXPECT_EQ(io.Type(), (type_code)'TEST');
	}
	EXPECT_EQ(AttrValue("chunked"), value);
	attr_info info;
	ASSERT_EQ(fNode.GetAttrInfo("chunked", &info), B_OK);
	EXPECT_EQ(info.type, (type_code)'TEST');

	// Restoring over a longer attribute replaces it from the first chunk.
	{
		SAttrIO io(&fNode, "chunked", 'TEST');
		ASSERT_EQ(io.Write("short", 5), 5);
	}
	EXPECT_EQ(AttrValue("chunked"), "short");
}

TEST_F(SAttrIOTest, ReadsInChunksWithTheSizeFromTheInfo)
{
	std::string value = TextData(2500);
	ASSERT_EQ(fNode.WriteAttr("stored", B_STRING_TYPE, 0, value.data(), value.size()),
		(ssize_t)value.size());
	attr_info info;
	ASSERT_EQ(fNode.GetAttrInfo("stored", &info), B_OK);
	SAttrIO io(&fNode, "stored", &info);
	EXPECT_EQ(io.Type(), (type_code)B_STRING_TYPE);
	std::string read;
	char buffer[1000];
	ssize_t got;
	while ((got = io.Read(buffer, sizeof(buffer))) > 0)
		read.append(buffer, got);
	EXPECT_EQ(got, 0);
	EXPECT_EQ(read, value);
	EXPECT_EQ(io.Position(), 2500);
	EXPECT_EQ(io.ReadAt(2000, buffer, 1000), 500);
	EXPECT_EQ(io.Position(), 2500);
}

TEST_F(SAttrIOTest, SeeksClampAtZeroAndRaiseTheSize)
{
	SAttrIO io(&fNode, "seek", B_RAW_TYPE);
	EXPECT_EQ(io.Seek(-10, SEEK_SET), 0);
	EXPECT_EQ(io.Seek(100, SEEK_SET), 100);
	off_t size = 0;
	io.GetSize(&size);
	EXPECT_EQ(size, 100);
	EXPECT_EQ(io.Seek(-30, SEEK_END), 70);
	EXPECT_EQ(io.Seek(-500, SEEK_CUR), 0);
	// WriteAt leaves the position and raises the size.
	ASSERT_EQ(io.WriteAt(0, "abc", 3), 3);
	ASSERT_EQ(io.WriteAt(3, "def", 3), 3);
	EXPECT_EQ(io.Position(), 0);
	EXPECT_EQ(AttrValue("seek"), "abcdef");
}

TEST_F(SAttrIOTest, AnAttributeBeyondTheHostLimitsIsRefusedWithItsStatus)
{
	// 200 KiB through the codec: written 8 KiB at a time until the host
	// refuses (a file system's space for attributes, or the 64 KiB limit).
	std::string value = TextData(200 * 1024);
	std::string stream = Deflated(value);
	std::string bin = Bytes().Be64(stream.size()).Be64(value.size()).Be32(2).Raw(stream).Data();
	BMemoryIO src(bin.data(), bin.size());
	PackData data;
	ZlCodec codec;
	data.SetCurrentCodec(&codec);
	SAttrIO io(&fNode, "huge", B_RAW_TYPE);
	status_t result = data.ReadBin(&io, &src, 0, nullptr);
	EXPECT_LT(result, 0);
	EXPECT_TRUE(result == errno_to_status(E2BIG) || result == errno_to_status(ENOSPC))
		<< strerror_status(result);
}
