// SHA-256 digests of memory and of whole streams read in pieces.

#include <Errors.h>
#include <MemoryIO.h>
#include <Sha256.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Fails every read past `fFailAt`; `data` must outlive it.
class FailingIO : public BMemoryIO {
public:
	FailingIO(const std::string& data, off_t failAt)
		:
		BMemoryIO(data.data(), data.size()),
		fFailAt(failAt)
	{
	}

	ssize_t ReadAt(off_t position, void* buffer, size_t size) override
	{
		if (position >= fFailAt)
			return B_IO_ERROR;
		return BMemoryIO::ReadAt(position, buffer, size);
	}

private:
	off_t fFailAt;
};

} // namespace


TEST(Sha256Test, KnownDigests)
{
	EXPECT_EQ(sha256_of_data("", 0),
		"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
	EXPECT_EQ(sha256_of_data("abc", 3),
		"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
	std::string million(1000000, 'a');
	EXPECT_EQ(sha256_of_data(million.data(), million.size()),
		"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}


// A stream longer than one read is taken whole, from its start, whatever
// its position.
TEST(Sha256Test, AStreamIsReadWholeFromItsStart)
{
	std::string data(3 * 1024 * 1024 + 7, '\0');
	for (size_t i = 0; i < data.size(); i++)
		data[i] = (char)(i * 131 + i / 4096);
	BMemoryIO stream(data.data(), data.size());
	stream.Seek(12345, SEEK_SET);
	std::string hex;
	ASSERT_EQ(sha256_of_file(&stream, &hex), B_OK);
	EXPECT_EQ(hex, sha256_of_data(data.data(), data.size()));
	EXPECT_EQ(stream.Position(), 12345);

	BMemoryIO empty("", 0);
	ASSERT_EQ(sha256_of_file(&empty, &hex), B_OK);
	EXPECT_EQ(hex, sha256_of_data("", 0));
}


TEST(Sha256Test, AFailedReadGivesItsStatusAndNoDigest)
{
	std::string data(2 * 1024 * 1024, 'x');
	FailingIO stream(data, 1024 * 1024);
	std::string hex = "untouched";
	EXPECT_EQ(sha256_of_file(&stream, &hex), B_IO_ERROR);
	EXPECT_EQ(hex, "untouched");
}


// Pieces given in order make the digest of the whole; a piece out of order
// (a write elsewhere in the file) leaves a digest that covers nothing.
TEST(Sha256Test, ADigestTakenAsAFileIsWritten)
{
	std::string contents(300000, 'x');
	for (size_t i = 0; i < contents.size(); i++)
		contents[i] = (char)(i * 131 % 251);

	Sha256Digest written;
	for (size_t offset = 0; offset < contents.size(); offset += 65536) {
		size_t size = std::min<size_t>(65536, contents.size() - offset);
		written.UpdateAt((off_t)offset, contents.data() + offset, size);
	}
	EXPECT_TRUE(written.Covers((off_t)contents.size()));
	// A file that ended up longer or shorter than what was written.
	EXPECT_FALSE(written.Covers((off_t)contents.size() + 1));
	EXPECT_FALSE(written.Covers((off_t)contents.size() - 1));
	EXPECT_EQ(written.HexDigest(), sha256_of_data(contents.data(), contents.size()));

	Sha256Digest skipped;
	skipped.UpdateAt(0, contents.data(), 100);
	skipped.UpdateAt(200, contents.data() + 200, 100);
	skipped.UpdateAt(100, contents.data() + 100, 100);
	EXPECT_FALSE(skipped.Covers(300));
	EXPECT_FALSE(skipped.Covers(100));
}
