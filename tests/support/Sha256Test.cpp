// SHA-256 digests of memory and of whole streams read in pieces.

#include <Errors.h>
#include <MemoryIO.h>
#include <Sha256.h>

#include <gtest/gtest.h>

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
