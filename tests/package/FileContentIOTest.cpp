// The stream extracted file contents go through: whole writes on a target
// that takes them in pieces, the target's own refusal, and the declared size
// that no write passes.

#include "PackageTestSupport.h"

#include "FileContentIO.h"

#include <Errors.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Takes at most `fPiece` bytes per write, and of the last ones what fits
// below the write limit, as a volume that fills up does; a write that finds
// no room at all fails with the refusal.
class PiecemealIO : public StringIO {
public:
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override
	{
		size_t count = std::min(size, fPiece);
		if (fWriteLimit >= 0)
			count = (size_t)std::clamp<off_t>(fWriteLimit - position, 0, (off_t)count);
		if (count == 0 && size > 0)
			return fRefusal;
		return StringIO::WriteAt(position, buffer, count);
	}

	size_t fPiece = 1000;
};

} // namespace


TEST(FileContentIOTest, WritesGoOutWholeOrFailWithTheTargetsStatus)
{
	PiecemealIO target;
	target.fWriteLimit = 2500;
	FileContentIO contents(&target, -1);
	std::string data = NoiseData(2000, 4);
	EXPECT_EQ(contents.Write(data.data(), data.size()), 2000);
	EXPECT_EQ(target.fData, data);
	EXPECT_EQ(contents.Position(), 2000);
	// 500 bytes fit, then the volume is full: its status, not a short count.
	EXPECT_EQ(contents.Write(data.data(), 1000), B_DEVICE_FULL);
	EXPECT_EQ(target.fData.size(), 2500u);

	PiecemealIO other;
	FileContentIO at(&other, -1);
	EXPECT_EQ(at.WriteAt(10, data.data(), 1500), 1500);
	EXPECT_EQ(other.fData.substr(10), data.substr(0, 1500));
}


TEST(FileContentIOTest, NoWritePassesTheDeclaredSize)
{
	StringIO target;
	FileContentIO contents(&target, 100);
	std::string data = NoiseData(200, 5);
	EXPECT_EQ(contents.Write(data.data(), 60), 60);
	// Refused whole: not even the bytes that would still fit are written.
	EXPECT_EQ(contents.Write(data.data() + 60, 50), kContentSizeMismatch);
	EXPECT_EQ(target.fData, data.substr(0, 60));
	EXPECT_EQ(contents.Write(data.data() + 60, 40), 40);
	EXPECT_EQ(target.fData, data.substr(0, 100));
	EXPECT_EQ(contents.Write(data.data(), 1), kContentSizeMismatch);
	EXPECT_EQ(contents.WriteAt(100, data.data(), 1), kContentSizeMismatch);
	EXPECT_EQ(contents.WriteAt(1LL << 62, data.data(), 1), kContentSizeMismatch);
	EXPECT_EQ(contents.SetSize(101), kContentSizeMismatch);
	EXPECT_EQ(target.fData.size(), 100u);

	// Nothing at all for an empty file.
	StringIO empty;
	FileContentIO none(&empty, 0);
	EXPECT_EQ(none.Write(data.data(), 1), kContentSizeMismatch);
	EXPECT_EQ(none.Write(data.data(), 0), 0);
	EXPECT_TRUE(empty.fData.empty());
}
