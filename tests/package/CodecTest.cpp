// The identity and zlib codecs: chunked feeding, buffer boundaries, errors
// shown once as alerts, and one codec serving both directions.

#include "PackageTestSupport.h"

#include "AlertSinkScope.h"
#include "PCodec.h"
#include "PackData.h"
#include "ZlCodec.h"

#include <RecordingAlertSink.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Feeds a whole stream to the codec in pieces of the given size; the last
// piece says so. Returns the concatenated output, or "<error N>".
std::string
DecodeInChunks(ZlCodec& codec, const std::string& stream, size_t chunk)
{
	StringIO out;
	EXPECT_EQ(codec.BeginDecode(), B_OK);
	size_t offset = 0;
	int64 written = 0;
	do {
		size_t piece = std::min(chunk, stream.size() - offset);
		bool last = offset + piece == stream.size();
		std::string copy = stream.substr(offset, piece);
		int32 length = piece;
		int32 result = codec.DecodeBytes(&out, &length, reinterpret_cast<uint8*>(copy.data()),
			last);
		if (result < 0)
			return "<error " + std::to_string(result) + ">";
		EXPECT_EQ(length, (int32)piece);
		written += result;
		offset += piece;
	} while (offset < stream.size());
	codec.EndDecode();
	EXPECT_EQ(written, (int64)out.fData.size());
	return out.fData;
}

std::string
EncodeInChunks(ZlCodec& codec, const std::string& data, size_t chunk)
{
	StringIO out;
	EXPECT_EQ(codec.BeginEncode(), B_OK);
	size_t offset = 0;
	do {
		size_t piece = std::min(chunk, data.size() - offset);
		bool last = offset + piece == data.size();
		std::string copy = data.substr(offset, piece);
		int32 length = piece;
		int32 result = codec.EncodeBytes(&out, &length, reinterpret_cast<uint8*>(copy.data()),
			last);
		if (result < 0)
			return "<error>";
		EXPECT_EQ(length, (int32)piece);
		offset += piece;
	} while (offset < data.size());
	codec.EndEncode();
	return out.fData;
}

// The codecs' alerts of a test are kept, not shown.
class CodecTest : public ::testing::Test {
protected:
	RecordingAlertSink fShown;
	AlertSinkScope fScope{&fShown};
};

} // namespace

TEST_F(CodecTest, TheIdentityCodecPassesDataThrough)
{
	PCodec codec;
	EXPECT_EQ(codec.ID(), 1);
	EXPECT_EQ(codec.Info(), nullptr);
	EXPECT_EQ(codec.BeginDecode(), B_OK);
	EXPECT_EQ(codec.EndDecode(), B_OK);
	EXPECT_EQ(codec.BeginEncode(), B_OK);
	EXPECT_EQ(codec.EndEncode(), B_OK);
	StringIO out;
	uint8 data[] = {1, 2, 3, 0, 5};
	int32 length = 5;
	EXPECT_EQ(codec.DecodeBytes(&out, &length, data, false), 5);
	EXPECT_EQ(length, 5);
	EXPECT_EQ(codec.EncodeBytes(&out, &length, data, true), 5);
	EXPECT_EQ(out.fData, std::string("\1\2\3\0\5\1\2\3\0\5", 10));
	// A destination's failure comes back as the result.
	StringIO full;
	full.fWriteLimit = 0;
	EXPECT_EQ(codec.DecodeBytes(&full, &length, data, true), B_DEVICE_FULL);
}

TEST_F(CodecTest, ChunkedInputGivesTheSameOutputAsWholeInput)
{
	ZlCodec codec;
	EXPECT_EQ(codec.ID(), 2);
	EXPECT_NE(codec.Info(), nullptr);
	std::string original = TextData(100000) + NoiseData(30000) + TextData(5000);
	std::string stream = Deflated(original);
	for (size_t chunk : {(size_t)1, (size_t)7, (size_t)100, (size_t)8191, (size_t)8192,
			(size_t)8193, (size_t)16384, stream.size()}) {
		EXPECT_EQ(DecodeInChunks(codec, stream, chunk), original) << "chunks of " << chunk;
	}
	EXPECT_TRUE(fShown.Texts().empty());
}

TEST_F(CodecTest, ExactMultiplesOfTheStagingBufferArriveComplete)
{
	ZlCodec codec;
	for (size_t size : {(size_t)8192, (size_t)16384, (size_t)8192 * 10}) {
		std::string original = NoiseData(size, size);
		std::string stream = Deflated(original);
		EXPECT_EQ(DecodeInChunks(codec, stream, stream.size()), original) << size;
		EXPECT_EQ(DecodeInChunks(codec, stream, 4096), original) << size;

		// And through a bin.
		PackData data;
		data.SetCurrentCodec(&codec);
		std::string bin = Bytes().Be64(stream.size()).Be64(size).Be32(2).Raw(stream).Data();
		BMemoryIO io(bin.data(), bin.size());
		StringIO out;
		ASSERT_EQ(data.ReadBin(&out, &io, 0, nullptr), B_OK);
		EXPECT_EQ(out.fData.size(), size);
		EXPECT_EQ(out.fData, original);
	}
	// An empty stream decodes to nothing.
	EXPECT_EQ(DecodeInChunks(codec, Deflated(""), 100), "");
}

TEST_F(CodecTest, ACorruptedStreamShowsOneDataErrorAndFails)
{
	ZlCodec codec;
	std::string stream = Deflated(TextData(50000));
	// Damage the deflate data past the two-byte zlib header.
	for (size_t i = 2; i < 40; i++)
		stream[i] = static_cast<char>(0xff);
	EXPECT_EQ(DecodeInChunks(codec, stream, 1000), "<error -1>");
	EXPECT_EQ(fShown.Texts(), std::vector<std::string>{"Compression data error."});

	// Through the default sink: the installer's alert, on standard error,
	// once.
	AlertSinkScope defaultSink(nullptr);
	ZlCodec alerting;
	PackData data;
	data.SetCurrentCodec(&alerting);
	std::string bin = Bytes().Be64(stream.size()).Be64(50000).Be32(2).Raw(stream).Data();
	BMemoryIO io(bin.data(), bin.size());
	StringIO out;
	testing::internal::CaptureStderr();
	status_t result = data.ReadBin(&out, &io, 0, nullptr);
	std::string shown = testing::internal::GetCapturedStderr();
	EXPECT_EQ(result, -1);
	EXPECT_EQ(shown, "Compression data error.\n");

	// The same codec decodes a sound stream afterwards.
	std::string good = TextData(20000);
	EXPECT_EQ(DecodeInChunks(codec, Deflated(good), 3000), good);
}

TEST_F(CodecTest, TruncatedStreamsAreNotTakenAsComplete)
{
	ZlCodec codec;
	std::string stream = Deflated(NoiseData(20000));
	stream.resize(stream.size() / 2);
	EXPECT_EQ(DecodeInChunks(codec, stream, 4000), "<error -1>");
	EXPECT_EQ(fShown.Texts(), std::vector<std::string>{"Compression buffer error"});
}

TEST_F(CodecTest, CodecErrorMessagesAndQuietCases)
{
	ZlCodec codec;
	EXPECT_EQ(codec.CodecError(Z_DATA_ERROR, true), Z_DATA_ERROR);
	EXPECT_EQ(codec.CodecError(Z_STREAM_END, true), Z_STREAM_END);
	EXPECT_EQ(codec.CodecError(0, false), 0);
	EXPECT_EQ(codec.CodecError(0, true), 0);
	EXPECT_TRUE(fShown.Texts().empty());

	const std::vector<std::pair<int32, std::string>> kMessages = {
		{1, "Stream end."},
		{-1, "The compression library encountered a file-system error"},
		{-2, "Compression stream error."},
		{-3, "Compression data error."},
		{-4, "Memory error in compression library"},
		{-5, "Compression buffer error"},
		{-6, "The compressed stream is not the correct version"},
		{2, "An error occured in data compression."},
		{-7, "An error occured in data compression."},
	};
	for (const auto& [status, message] : kMessages) {
		fShown.Clear();
		EXPECT_EQ(codec.CodecError(status, false), -1);
		EXPECT_EQ(fShown.Texts(), std::vector<std::string>{message}) << status;
	}
}

TEST_F(CodecTest, DecodingWithoutABeginFailsSilently)
{
	ZlCodec codec;
	StringIO out;
	uint8 data[4] = {0x78, 0x9c, 0, 0};
	int32 length = 4;
	EXPECT_EQ(codec.DecodeBytes(&out, &length, data, true), -1);
	EXPECT_EQ(codec.EncodeBytes(&out, &length, data, true), -1);
	// After the end of a stream, too.
	codec.BeginDecode();
	codec.EndDecode();
	EXPECT_EQ(codec.DecodeBytes(&out, &length, data, true), -1);
	EXPECT_TRUE(fShown.Texts().empty());
	EXPECT_EQ(out.fData, "");
}

TEST_F(CodecTest, EncodingMakesStandardStreamsInAnyChunking)
{
	ZlCodec codec;
	std::string original = TextData(70000) + NoiseData(20000);
	for (size_t chunk : {(size_t)1000, (size_t)8192, (size_t)16384, original.size()}) {
		std::string stream = EncodeInChunks(codec, original, chunk);
		EXPECT_EQ(Inflated(stream, original.size()), original) << "chunks of " << chunk;
	}
	// The empty stream is zlib's well-known eight bytes.
	EXPECT_EQ(EncodeInChunks(codec, "", 1), std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
}

TEST_F(CodecTest, OneCodecSwitchesBetweenDecodingAndEncoding)
{
	ZlCodec codec;
	std::string first = TextData(30000);
	std::string second = NoiseData(12345);
	EXPECT_EQ(DecodeInChunks(codec, Deflated(first), 5000), first);
	std::string encoded = EncodeInChunks(codec, second, 4000);
	EXPECT_EQ(Inflated(encoded, second.size()), second);
	EXPECT_EQ(DecodeInChunks(codec, encoded, 777), second);
	EXPECT_EQ(Inflated(EncodeInChunks(codec, first, 30000), first.size()), first);
	// Consecutive streams of the same kind reuse the state.
	EXPECT_EQ(DecodeInChunks(codec, Deflated(second), 100000), second);
	EXPECT_EQ(DecodeInChunks(codec, Deflated(first), 10), first);
	EXPECT_TRUE(fShown.Texts().empty());

	// A stream begun and abandoned halfway leaves nothing behind for the
	// next one.
	std::string stream = Deflated(NoiseData(40000, 9));
	StringIO scrap;
	codec.BeginDecode();
	int32 length = stream.size() / 2;
	ASSERT_GE(codec.DecodeBytes(&scrap, &length, reinterpret_cast<uint8*>(stream.data()), false),
		0);
	EXPECT_EQ(DecodeInChunks(codec, Deflated(first), 1000), first);
}

TEST_F(CodecTest, ADestinationThatFailsStopsDecodingWithItsStatus)
{
	ZlCodec codec;
	std::string original = NoiseData(40000);
	std::string stream = Deflated(original);
	StringIO out;
	out.fWriteLimit = 8192;
	out.fRefusal = B_DEVICE_FULL;
	codec.BeginDecode();
	int32 length = stream.size();
	EXPECT_EQ(codec.DecodeBytes(&out, &length, reinterpret_cast<uint8*>(stream.data()), true),
		B_DEVICE_FULL);
	EXPECT_LT(length, (int32)stream.size());
	EXPECT_EQ(out.fData, original.substr(0, 8192));
	// Not a codec failure: nothing shown.
	EXPECT_TRUE(fShown.Texts().empty());
}
