// The one reader of node data entries: the steps it gives must be what the
// codec's own reading of the same records gives (bytes, chunk by chunk
// progress, failures and their alerts), since the install worker, the
// reader ahead and the package tool's verifier all rely on it.

#include "PackageTestSupport.h"

#include "AlertSinkScope.h"
#include "EntryReader.h"
#include "PackData.h"
#include "SPackData.h"
#include "ZlCodec.h"

#include <TypeConstants.h>

#include <RecordingAlertSink.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

typedef std::pair<uint32, uint32> chunk;

// Every step of the entry at src's position, with the data of the main
// fork and of each attribute gathered.
struct read_entry {
	status_t status = B_OK;
	std::vector<entry_step::kind> kinds;
	std::string contents;
	std::vector<chunk> chunks;
	std::vector<std::pair<std::string, type_code>> attributes;
	std::vector<std::string> attributeData;
	size_t largestData = 0;
	// Data steps, those whose check was left, and the values handed on.
	size_t dataSteps = 0;
	size_t checkLeftSteps = 0;
	std::vector<uint32> storedChecks;
};

read_entry ReadEntryWith(EntryReader& reader, BPositionIO* src);

read_entry
ReadEntry(BPositionIO* src, int64 leaveCheckAbove = BinReader::kCheckNothingLeft)
{
	PackData records;
	ZlCodec codec;
	records.SetCurrentCodec(&codec);
	EntryReader reader(&records);
	reader.LeaveContentsCheckAbove(leaveCheckAbove);
	read_entry result = ReadEntryWith(reader, src);
	records.SetCurrentCodec(nullptr);
	return result;
}

read_entry
ReadEntryWith(EntryReader& reader, BPositionIO* src)
{
	read_entry result;
	result.status = reader.Begin(src);
	bool inAttribute = false;
	while (result.status == B_OK) {
		entry_step step;
		result.status = reader.Next(&step);
		if (result.status != B_OK)
			break;
		if (result.kinds.empty() || result.kinds.back() != step.what)
			result.kinds.push_back(step.what);
		if (step.checkDue)
			result.storedChecks.push_back(step.storedCheck);
		switch (step.what) {
			case entry_step::kData:
				result.dataSteps++;
				result.checkLeftSteps += step.checkLeft;
				result.largestData = std::max(result.largestData, step.size);
				(inAttribute ? result.attributeData.back() : result.contents)
					.append((const char*)step.data, step.size);
				break;
			case entry_step::kChunkEnd:
				result.chunks.emplace_back(step.consumed, step.produced);
				break;
			case entry_step::kAttribute:
				inAttribute = true;
				result.attributes.emplace_back(step.name, step.type);
				result.attributeData.emplace_back();
				break;
			case entry_step::kAttributeEnd:
				inAttribute = false;
				break;
			default:
				break;
		}
		if (step.what == entry_step::kEnd)
			break;
	}
	return result;
}

uint32
Adler32(const std::string& data)
{
	return (uint32)adler32_z(1, (const Bytef*)data.data(), data.size());
}

// What the codec's own reading of a bin writes and reports, chunk by chunk.
struct codec_reading {
	status_t status = B_OK;
	std::string written;
	std::vector<chunk> chunks;
};

int32
NoteChunk(uint32 consumed, uint32 produced, void* data)
{
	static_cast<codec_reading*>(data)->chunks.emplace_back(consumed, produced);
	return 0;
}

codec_reading
ReadBinWithCodec(const std::string& bin)
{
	PackData records;
	ZlCodec codec;
	records.SetCurrentCodec(&codec);
	codec_reading result;
	records.SetCallbackData(&result);
	StringIO src(bin);
	StringIO out;
	result.status = records.ReadBin(&out, &src, 0, NoteChunk);
	result.written = out.fData;
	records.SetCurrentCodec(nullptr);
	return result;
}

std::string
MainForkBin(const std::string& stored, size_t original)
{
	return Bytes().Bin(kMainForkTag, stored, original, kZlibCodecID).Data().substr(7);
}

} // namespace


// An entry's members in order, unknown ones passed over, and the stream
// left right after the entry, where the next one begins.
TEST(EntryReaderTest, GivesTheMembersOfAnEntryInOrder)
{
	std::string contents = NoiseData(300000, 4);
	std::string attribute = NoiseData(5000, 3);
	std::string entry = Bytes().Group(kFileEntryTag)
		.Int32('Xtra', 7)
		.Bin(kMainForkTag, Deflated(contents), contents.size(), kZlibCodecID)
		.Group(kAttributesTag)
			.Group(kAttributeTag).String(kAttrNameTag, "first").Int32(kAttrTypeTag, 'LONG')
				.Int32(kAttrValue32Tag, 1).Bin(kAttrDataTag, Deflated(attribute),
					attribute.size(), kZlibCodecID).End()
			.String('Xstr', "passed over")
			.Group(kAttributeTag).String(kAttrNameTag, "empty")
				.Bin(kAttrDataTag, Deflated(""), 0, kZlibCodecID).End()
		.End()
		.End().Data();
	StringIO src(entry + Bytes().Group(kFolderEntryTag).End().Data());

	read_entry result = ReadEntry(&src);
	ASSERT_EQ(result.status, B_OK);
	ASSERT_GE(result.kinds.size(), 8u);
	EXPECT_EQ(result.kinds.front(), entry_step::kMainFork);
	EXPECT_EQ(std::vector<entry_step::kind>(result.kinds.end() - 7, result.kinds.end()),
		(std::vector<entry_step::kind>{entry_step::kMainForkEnd, entry_step::kAttribute,
			entry_step::kData, entry_step::kAttributeEnd, entry_step::kAttribute,
			entry_step::kAttributeEnd, entry_step::kEnd}));
	uint64 consumed = 0;
	uint64 produced = 0;
	for (const chunk& each : result.chunks) {
		consumed += each.first;
		produced += each.second;
	}
	EXPECT_GT(result.chunks.size(), 1u);
	EXPECT_EQ(consumed, Deflated(contents).size());
	EXPECT_EQ(produced, contents.size());
	EXPECT_TRUE(result.contents == contents);
	EXPECT_LE(result.largestData, 64u * 1024);
	EXPECT_EQ(result.attributes, (std::vector<std::pair<std::string, type_code>>{
		{"first", 'LONG'}, {"empty", B_RAW_TYPE}}));
	EXPECT_TRUE(result.attributeData[0] == attribute);
	EXPECT_EQ(result.attributeData[1], "");
	EXPECT_EQ(src.Position(), (off_t)entry.size());
	EXPECT_EQ(ReadEntry(&src).kinds, (std::vector<entry_step::kind>{entry_step::kEnd}));
}


// The progress of a file's contents is told chunk by chunk exactly as the
// codec reading the bin reports it, for a bin inflated in one call and for
// one decoded chunk after chunk, and for a bin that runs to the end.
TEST(EntryReaderTest, ChunksAreThoseOfTheCodecsOwnReading)
{
	for (size_t size : {0, 1, 9000, 70000, 1500000}) {
		std::string contents = size > 100000 ? NoiseData(size, 5) : TextData(size);
		std::string stored = Deflated(contents);
		std::string bin = MainForkBin(stored, contents.size());
		codec_reading codec = ReadBinWithCodec(bin);
		ASSERT_EQ(codec.status, B_OK) << size;

		StringIO src(Bytes().Group(kFileEntryTag).Raw(Bytes().Bin(kMainForkTag, stored,
			contents.size(), kZlibCodecID).Data()).End().Data());
		read_entry result = ReadEntry(&src);
		ASSERT_EQ(result.status, B_OK) << size;
		EXPECT_TRUE(result.contents == codec.written) << size;
		EXPECT_EQ(result.chunks, codec.chunks) << size;
	}

	// S = -1: the data run to the end of the input.
	std::string contents = TextData(50000);
	std::string toEnd = Bytes().Group(kFileEntryTag).Header(kMainForkTag, 0, kBinRecord)
		.Be64((uint64)-1).Be64(contents.size()).Be32(kZlibCodecID)
		.Raw(Deflated(contents)).Data();
	StringIO src(toEnd);
	PackData records;
	ZlCodec codec;
	records.SetCurrentCodec(&codec);
	EntryReader reader(&records);
	ASSERT_EQ(reader.Begin(&src), B_OK);
	std::string read;
	entry_step step;
	while (reader.Next(&step) == B_OK && step.what != entry_step::kMainForkEnd) {
		if (step.what == entry_step::kData)
			read.append((const char*)step.data, step.size);
	}
	EXPECT_EQ(step.what, entry_step::kMainForkEnd);
	EXPECT_TRUE(read == contents);
	records.SetCurrentCodec(nullptr);
}


// Damaged data: what decoded before the damage is given out first, then
// the codec's failure with its alert, as the codec writing to the node
// would have left it.
TEST(EntryReaderTest, DamageGivesWhatDecodedBeforeItThenTheCodecsFailure)
{
	std::string contents = NoiseData(200000, 8);
	std::string stored = Deflated(contents);
	for (size_t at : {stored.size() / 2, (size_t)40000, (size_t)100}) {
		std::string damaged = stored;
		damaged[at] ^= 0x5a;
		codec_reading codec;
		RecordingAlertSink codecAlerts;
		{
			AlertSinkScope scope(&codecAlerts);
			codec = ReadBinWithCodec(MainForkBin(damaged, contents.size()));
		}
		ASSERT_NE(codec.status, B_OK) << at;

		RecordingAlertSink readerAlerts;
		read_entry result;
		{
			AlertSinkScope scope(&readerAlerts);
			StringIO src(Bytes().Group(kFileEntryTag).Bin(kMainForkTag, damaged,
				contents.size(), kZlibCodecID).End().Data());
			result = ReadEntry(&src);
		}
		EXPECT_EQ(result.status, codec.status) << at;
		EXPECT_TRUE(result.contents == codec.written) << at;
		EXPECT_EQ(result.chunks, codec.chunks) << at;
		EXPECT_EQ(readerAlerts.Texts(), codecAlerts.Texts()) << at;
		EXPECT_FALSE(readerAlerts.Texts().empty()) << at;
	}
}


// Contents above the limit are decoded without their check value, which the
// last chunk's end hands on; the codec checks the next bin again. Stored
// blocks make damage that inflates without complaint, which only the check
// value shows; the contents' size puts the stored value across two chunks.
TEST(EntryReaderTest, ACheckLeftIsHandedOnWithTheValueTheStreamStores)
{
	std::string contents = NoiseData(100000, 6);
	std::string stored = Deflated(contents, 0);
	while (stored.size() % PackData::kBufferSize != 2) {
		contents += 'x';
		stored = Deflated(contents, 0);
	}
	std::string damaged = stored;
	damaged[stored.size() / 2] ^= 0x10;
	auto entry = [&](const std::string& stream) {
		return Bytes().Group(kFileEntryTag).Bin(kMainForkTag, stream, contents.size(),
			kZlibCodecID).End().Data();
	};

	PackData records;
	ZlCodec codec;
	records.SetCurrentCodec(&codec);
	EntryReader reader(&records);
	RecordingAlertSink alerts;
	AlertSinkScope scope(&alerts);
	reader.LeaveContentsCheckAbove(contents.size() - 1);
	for (bool intact : {true, false}) {
		StringIO src(entry(intact ? stored : damaged));
		read_entry result = ReadEntryWith(reader, &src);
		EXPECT_EQ(result.status, B_OK);
		EXPECT_EQ(result.contents.size(), contents.size());
		EXPECT_GT(result.dataSteps, 1u);
		EXPECT_EQ(result.checkLeftSteps, result.dataSteps);
		EXPECT_EQ(result.storedChecks, std::vector<uint32>{Adler32(contents)});
		EXPECT_EQ(Adler32(result.contents) == Adler32(contents), intact);
	}
	EXPECT_TRUE(alerts.Texts().empty());

	// At the limit, and after it is lifted, the codec checks again.
	for (int64 limit : {(int64)contents.size(), BinReader::kCheckNothingLeft}) {
		reader.LeaveContentsCheckAbove(limit);
		StringIO src(entry(damaged));
		read_entry result = ReadEntryWith(reader, &src);
		EXPECT_EQ(result.status, -1) << limit;
		EXPECT_EQ(result.checkLeftSteps, 0u);
		EXPECT_TRUE(result.storedChecks.empty());
	}
	EXPECT_EQ(alerts.Texts(), std::vector<std::string>(2, "Compression data error."));

	// No stored bytes at all (a fresh reader has no buffer for them): the
	// bin fails as the codec fails it, with nothing handed on.
	StringIO empty(entry(""));
	read_entry left = ReadEntry(&empty, 0);
	StringIO emptyAgain(entry(""));
	read_entry checked = ReadEntry(&emptyAgain);
	EXPECT_NE(left.status, B_OK);
	EXPECT_EQ(left.status, checked.status);
	EXPECT_TRUE(left.storedChecks.empty());
	records.SetCurrentCodec(nullptr);
}


// What is no entry, or no usable one, is refused with the status the
// installer has always given it.
TEST(EntryReaderTest, RefusesWhatCannotBeRead)
{
	std::string contents = TextData(5000);
	std::string stored = Deflated(contents);

	StringIO folder(Bytes().Group('FldI').End().Data());
	EXPECT_EQ(ReadEntry(&folder).status, B_ERROR) << "no entry group";
	StringIO nothing("");
	EXPECT_EQ(ReadEntry(&nothing).status, B_ERROR) << "an empty stream";

	std::string whole = Bytes().Group(kFileEntryTag).Bin(kMainForkTag, stored,
		contents.size(), kZlibCodecID).End().Data();
	StringIO truncated(whole.substr(0, whole.size() - 20));
	EXPECT_EQ(ReadEntry(&truncated).status, B_ERROR) << "a package that ends in the bin";

	StringIO unnamed(Bytes().Group(kLinkEntryTag).Group(kAttributesTag).Group(kAttributeTag)
		.Int32(kAttrTypeTag, B_STRING_TYPE).Bin(kAttrDataTag, stored, contents.size(),
			kZlibCodecID).End().End().End().Data());
	EXPECT_EQ(ReadEntry(&unnamed).status, B_BAD_DATA) << "attribute data without a name";

	StringIO otherCodec(Bytes().Group(kFileEntryTag).Bin(kMainForkTag, contents,
		contents.size(), kIdentityCodecID).End().Data());
	EXPECT_EQ(ReadEntry(&otherCodec).status, B_BAD_DATA) << "a bin of another codec";

	StringIO negative(Bytes().Group(kFileEntryTag).Header(kMainForkTag, 0, kBinRecord)
		.Be64((uint64)-5).Be64(0).Be32(kZlibCodecID).End().Data());
	EXPECT_EQ(ReadEntry(&negative).status, B_BAD_DATA) << "a negative stored size";
}


// A node with no place for the contents passes over them and reads on;
// the bin's summary tells what the verifier checks.
TEST(EntryReaderTest, ContentsCanBePassedOverAndBinsAreSummed)
{
	std::string contents = TextData(40000);
	std::string trailing = Deflated(contents) + "tail";
	StringIO src(Bytes().Group(kFolderEntryTag)
		.Bin(kMainForkTag, Deflated(contents), contents.size(), kZlibCodecID)
		.Group(kAttributesTag).Group(kAttributeTag).String(kAttrNameTag, "note")
			.Bin(kAttrDataTag, trailing, contents.size() + 1, kZlibCodecID).End().End()
		.End().Data());
	PackData records;
	ZlCodec codec;
	records.SetCurrentCodec(&codec);
	EntryReader reader(&records);
	ASSERT_EQ(reader.Begin(&src), B_OK);
	entry_step step;
	ASSERT_EQ(reader.Next(&step), B_OK);
	ASSERT_EQ(step.what, entry_step::kMainFork);
	ASSERT_EQ(reader.SkipMainFork(), B_OK);
	ASSERT_EQ(reader.Next(&step), B_OK);
	ASSERT_EQ(step.what, entry_step::kAttribute);
	EXPECT_STREQ(step.name, "note");
	do {
		ASSERT_EQ(reader.Next(&step), B_OK);
	} while (step.what != entry_step::kAttributeEnd);
	EXPECT_EQ(reader.Bin().storedSize, (int64)trailing.size());
	EXPECT_EQ(reader.Bin().originalSize, (int64)contents.size() + 1);
	EXPECT_EQ(reader.Bin().decodedSize, (int64)contents.size());
	EXPECT_EQ(reader.Bin().trailingBytes, 4);
	ASSERT_EQ(reader.Next(&step), B_OK);
	EXPECT_EQ(step.what, entry_step::kEnd);
	records.SetCurrentCodec(nullptr);
}
