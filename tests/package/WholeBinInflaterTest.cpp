#include "WholeBinInflater.h"

#include "PackageTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8>
ByteVector(const std::string& text)
{
	return std::vector<uint8>(text.begin(), text.end());
}

std::string
Text(const std::vector<uint8>& bytes)
{
	return std::string(bytes.begin(), bytes.end());
}

} // namespace

// Only an intact, complete zlib stream that fits the bound is taken; the
// rest is for the streaming codec to decode and report.
TEST(WholeBinInflaterTest, TakesOnlyCompleteIntactStreamsWithinTheBound)
{
	WholeBinInflater inflater;
	std::string data = NoiseData(5000, 2) + std::string(20000, 'z');
	std::vector<uint8> stored = ByteVector(Deflated(data));
	std::vector<uint8> out;

	ASSERT_TRUE(inflater.Inflate(stored.data(), stored.size(), data.size(), &out));
	EXPECT_TRUE(Text(out) == data);
	// A larger bound is fine: the result is what the stream holds.
	ASSERT_TRUE(inflater.Inflate(stored.data(), stored.size(), data.size() + 100, &out));
	EXPECT_EQ(out.size(), data.size());

	EXPECT_FALSE(inflater.Inflate(stored.data(), stored.size(), data.size() - 1, &out));
	EXPECT_FALSE(inflater.Inflate(stored.data(), stored.size() - 1, data.size(), &out));

	std::vector<uint8> trailing = stored;
	trailing.push_back(0);
	EXPECT_FALSE(inflater.Inflate(trailing.data(), trailing.size(), data.size(), &out));

	// A damaged checksum or body.
	std::vector<uint8> damaged = stored;
	damaged.back() ^= 0x40;
	EXPECT_FALSE(inflater.Inflate(damaged.data(), damaged.size(), data.size(), &out));
	damaged = stored;
	damaged[stored.size() / 2] ^= 0xff;
	EXPECT_FALSE(inflater.Inflate(damaged.data(), damaged.size(), data.size(), &out));

	std::vector<uint8> empty = ByteVector(Deflated(""));
	ASSERT_TRUE(inflater.Inflate(empty.data(), empty.size(), 0, &out));
	EXPECT_TRUE(out.empty());
}
