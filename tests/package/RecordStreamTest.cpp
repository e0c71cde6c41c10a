// The record stream: exact bytes of every writer, reading them back, and
// skipping records of every type without understanding them.

#include "PackageTestSupport.h"

#include "MMallocIO.h"
#include "PCodec.h"
#include "PackData.h"
#include "ZlCodec.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

std::string
Written(const std::function<void(PackData&, BPositionIO*)>& write)
{
	PackData data;
	StringIO io;
	write(data, &io);
	return io.fData;
}

} // namespace

TEST(RecordStreamTest, WritersProduceTheExactBytes)
{
	EXPECT_EQ(Written([](PackData& d, BPositionIO* io) { d.WriteEndHeader(io); }),
		std::string(7, '\0'));
	EXPECT_EQ(Written([](PackData& d, BPositionIO* io) { d.WriteInt32(io, 2, 'FVer'); }),
		Bytes().Raw("FVer").Be16(1).U8(1).Be32(2).Data());
	EXPECT_EQ(Written([](PackData& d, BPositionIO* io) {
		d.WriteInt64(io, 0x0102030405060708LL, 'FSiz');
	}), Bytes().Raw("FSiz").Be16(2).U8(1).Be64(0x0102030405060708ULL).Data());
	EXPECT_EQ(Written([](PackData& d, BPositionIO* io) { d.WriteString(io, "abc", 'BeAN'); }),
		Bytes().Raw("BeAN").Be16(0).U8(2).Be32(3).Raw("abc").Data());
	EXPECT_EQ(Written([](PackData& d, BPositionIO* io) { d.WriteBuf(io, "\0\1", 2, 7); }),
		Bytes().Be32(7).Be16(0).U8(5).Be32(2).U8(0).U8(1).Data());
	EXPECT_EQ(Written([](PackData& d, BPositionIO* io) {
		d.WriteRecordHeader(io, 'PhIn', kGroupRecord, 0);
	}), std::string("PhIn\0\0\4", 7));
	// Tag -1: the payload alone.
	EXPECT_EQ(Written([](PackData& d, BPositionIO* io) { d.WriteInt32(io, -2, -1); }),
		Bytes().Be32(0xfffffffe).Data());
	EXPECT_EQ(Written([](PackData& d, BPositionIO* io) { d.WriteInt64(io, 9, -1); }),
		Bytes().Be64(9).Data());
	EXPECT_EQ(Written([](PackData& d, BPositionIO* io) { d.WriteString(io, "hi", -1); }),
		Bytes().Be32(2).Raw("hi").Data());
	EXPECT_EQ(Written([](PackData& d, BPositionIO* io) { d.WriteBuf(io, "xyz", 3, -1); }),
		Bytes().Be32(3).Raw("xyz").Data());
}

TEST(RecordStreamTest, ReadsBackHeadersNumbersStringsAndBuffers)
{
	std::string stream = Bytes()
		.Int32('FVer', 0xfffffff6)
		.Int64('FSiz', 0x7fffffff12345678ULL)
		.String(13, "Package")
		.Header(21, 0, 5).Be32(3).Raw(std::string("a\0b", 3))
		.Header(0x41424344, 0xfffe, 0xff)
		.Data();
	BMemoryIO io(stream.data(), stream.size());
	PackData data;
	record_header header;

	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 'FVer');
	EXPECT_EQ(header.count, 1);
	EXPECT_EQ(header.type, kNumberRecord);
	int32 number;
	ASSERT_EQ(data.ReadInt32(&io, &number), B_OK);
	EXPECT_EQ(number, -10);

	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.count, 2);
	int64 big;
	ASSERT_EQ(data.ReadInt64(&io, &big), B_OK);
	EXPECT_EQ(big, 0x7fffffff12345678LL);

	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 13);
	char* text = nullptr;
	ASSERT_EQ(data.ReadString(&io, &text, 100), B_OK);
	EXPECT_STREQ(text, "Package");
	free(text);

	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.type, kBufferRecord);
	char buffer[8];
	uint32 length = 0;
	ASSERT_EQ(data.ReadBuf(&io, buffer, sizeof(buffer), &length), B_OK);
	EXPECT_EQ(std::string(buffer, length), std::string("a\0b", 3));

	// Signed fields keep their sign; the type byte is unsigned.
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 'ABCD');
	EXPECT_EQ(header.count, -2);
	EXPECT_EQ(header.type, 0xff);

	// At the end every read is short.
	EXPECT_EQ(data.ReadRecordHeader(&io, &header), -1);
	EXPECT_EQ(data.ReadInt32(&io, &number), -1);
}

TEST(RecordStreamTest, ShortReadsFail)
{
	PackData data;
	record_header header;
	std::string sixBytes("FVer\0\1", 6);
	BMemoryIO headerIO(sixBytes.data(), sixBytes.size());
	EXPECT_EQ(data.ReadRecordHeader(&headerIO, &header), -1);

	std::string three("\0\0\0", 3);
	BMemoryIO intIO(three.data(), three.size());
	int32 value;
	EXPECT_EQ(data.ReadInt32(&intIO, &value), -1);

	std::string seven(7, '\0');
	BMemoryIO longIO(seven.data(), seven.size());
	int64 big;
	EXPECT_EQ(data.ReadInt64(&longIO, &big), -1);

	// A string whose text is cut off.
	std::string cut = Bytes().Be32(10).Raw("abc").Data();
	BMemoryIO stringIO(cut.data(), cut.size());
	char buffer[32];
	EXPECT_EQ(data.ReadString(&stringIO, buffer, sizeof(buffer)), -1);
	BMemoryIO allocIO(cut.data(), cut.size());
	char* text = nullptr;
	EXPECT_EQ(data.ReadString(&allocIO, &text, 100), -1);
	EXPECT_EQ(text, nullptr);
}

TEST(RecordStreamTest, EndRecordClosesOnlyTheInnermostGroup)
{
	// 'Outr' { 'Innr' { 'Valu' } 'Aftr' } 'Next'
	std::string stream = Bytes()
		.Group('Outr')
			.Group('Innr').Int32('Valu', 1).End()
			.Int32('Aftr', 2)
		.End()
		.Int32('Next', 3)
		.Data();
	PackData data;
	record_header header;

	// Read by hand: the first end record leaves 'Aftr' inside the outer group.
	BMemoryIO io(stream.data(), stream.size());
	int32 value;
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	ASSERT_EQ(data.ReadInt32(&io, &value), B_OK);
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.type, kEndRecord);
	EXPECT_EQ(header.tag, 0);
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 'Aftr');

	// Skipping the inner group lands on 'Aftr'; skipping the outer on 'Next'.
	BMemoryIO inner(stream.data(), stream.size());
	ASSERT_EQ(data.ReadRecordHeader(&inner, &header), B_OK);
	ASSERT_EQ(data.ReadRecordHeader(&inner, &header), B_OK);
	ASSERT_EQ(data.SkipData(&inner, &header), B_OK);
	ASSERT_EQ(data.ReadRecordHeader(&inner, &header), B_OK);
	EXPECT_EQ(header.tag, 'Aftr');

	BMemoryIO outer(stream.data(), stream.size());
	ASSERT_EQ(data.ReadRecordHeader(&outer, &header), B_OK);
	ASSERT_EQ(data.SkipData(&outer, &header), B_OK);
	ASSERT_EQ(data.ReadRecordHeader(&outer, &header), B_OK);
	EXPECT_EQ(header.tag, 'Next');
	ASSERT_EQ(data.ReadInt32(&outer, &value), B_OK);
	EXPECT_EQ(value, 3);
}

TEST(RecordStreamTest, SkippingAGroupSkipsEverythingNestedInIt)
{
	// Payloads full of zero bytes that would look like end records to a
	// skipper that does not follow the lengths.
	std::string zeros(40, '\0');
	std::string stream = Bytes()
		.Group('Top ')
			.String('Str ', zeros)
			.Header('Buf ', 0, 5).Be32(zeros.size()).Raw(zeros)
			.Bin('Bin ', zeros, 40, 1)
			.Group('Lvl1')
				.Group('Lvl2')
					.Group('Lvl3').Int64('Deep', 0).End()
					.Header('Thre', 3, 1).Raw(std::string(12, '\0'))
				.End()
				.Group('Empt').End()
			.End()
			.Int32('Last', 0)
		.End()
		.String('Tail', "tail")
		.Data();
	BMemoryIO io(stream.data(), stream.size());
	PackData data;
	record_header header;
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	ASSERT_EQ(data.SkipData(&io, &header), B_OK);
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 'Tail');
	char text[16];
	ASSERT_EQ(data.ReadString(&io, text, sizeof(text)), B_OK);
	EXPECT_STREQ(text, "tail");
	EXPECT_EQ(io.Position(), (off_t)stream.size());
}

TEST(RecordStreamTest, SkipDataFollowsEachTypesLength)
{
	PackData data;
	// A number record with count 3 is 12 bytes of payload.
	std::string numbers = Bytes().Header('Thre', 3, 1).Raw(std::string(12, 'x'))
		.Int32('Next', 5).Data();
	BMemoryIO io(numbers.data(), numbers.size());
	record_header header;
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	ASSERT_EQ(data.SkipData(&io, &header), B_OK);
	EXPECT_EQ(io.Position(), 7 + 12);

	// An end record has no payload.
	record_header end = {0, 0, kEndRecord};
	EXPECT_EQ(data.SkipData(&io, &end), B_OK);
	EXPECT_EQ(io.Position(), 7 + 12);

	// Strings, buffers and bins by their stored lengths.
	std::string payloads = Bytes().Be32(3).Raw("abc").Be32(2).Raw("de")
		.Be64(4).Be64(100).Be32(2).Raw("1234").Raw("!").Data();
	BMemoryIO payloadIO(payloads.data(), payloads.size());
	record_header string = {'S   ', 0, kStringRecord};
	record_header buffer = {'B   ', 0, kBufferRecord};
	record_header bin = {'N   ', 0, kBinRecord};
	EXPECT_EQ(data.SkipData(&payloadIO, &string), B_OK);
	EXPECT_EQ(payloadIO.Position(), 7);
	EXPECT_EQ(data.SkipData(&payloadIO, &buffer), B_OK);
	EXPECT_EQ(payloadIO.Position(), 13);
	EXPECT_EQ(data.SkipData(&payloadIO, &bin), B_OK);
	EXPECT_EQ(payloadIO.Position(), 13 + 20 + 4);
}

TEST(RecordStreamTest, UnknownTypesAndImpossibleLengthsFail)
{
	PackData data;
	std::string bytes(64, '\0');
	BMemoryIO io(bytes.data(), bytes.size());
	for (uint8 type : {6, 7, 100, 255}) {
		record_header header = {'Unkn', 0, type};
		EXPECT_EQ(data.SkipData(&io, &header), -1) << "type " << (int)type;
	}
	EXPECT_EQ(io.Position(), 0);

	// An unknown type inside a group fails the group's skip.
	std::string group = Bytes().Group('Grp ').Header('Odd ', 0, 9).End().Data();
	BMemoryIO groupIO(group.data(), group.size());
	record_header header;
	ASSERT_EQ(data.ReadRecordHeader(&groupIO, &header), B_OK);
	EXPECT_EQ(data.SkipData(&groupIO, &header), -1);

	// A group whose end record never comes.
	std::string open = Bytes().Group('Grp ').Int32('One ', 1).Data();
	BMemoryIO openIO(open.data(), open.size());
	ASSERT_EQ(data.ReadRecordHeader(&openIO, &header), B_OK);
	EXPECT_EQ(data.SkipData(&openIO, &header), -1);

	// A negative count would move backwards and loop forever.
	record_header negative = {'Neg ', -1, kNumberRecord};
	EXPECT_EQ(data.SkipData(&io, &negative), -1);

	// A length beyond the end of a memory stream, or a bin size that is
	// negative without being -1.
	std::string longString = Bytes().Be32(1000).Raw("abc").Data();
	MMallocIO memory;
	memory.Write(longString.data(), longString.size());
	memory.Seek(0, SEEK_SET);
	EXPECT_EQ(data.SkipString(&memory), -1);
	std::string badBin = Bytes().Be64(0xfffffffffffffff0ULL).Be64(0).Be32(1).Data();
	BMemoryIO badBinIO(badBin.data(), badBin.size());
	EXPECT_EQ(data.SkipBin(&badBinIO), -1);
	// A stored size of -1 runs to the end of the input.
	std::string toEnd = Bytes().Be64(~0ULL).Be64(3).Be32(1).Raw("abc").Data();
	BMemoryIO toEndIO(toEnd.data(), toEnd.size());
	EXPECT_EQ(data.SkipBin(&toEndIO), B_OK);
	EXPECT_EQ(toEndIO.Position(), (off_t)toEnd.size());
}

TEST(RecordStreamTest, DeeplyNestedGroupsSkipWithoutRecursion)
{
	const int kDepth = 200000;
	std::string stream;
	stream.reserve(kDepth * 14 + 20);
	Bytes open;
	open.Group('Nest');
	for (int i = 0; i < kDepth; i++)
		stream += open.Data();
	stream += std::string(7 * kDepth, '\0');
	stream += Bytes().Int32('Done', 1).Data();
	BMemoryIO io(stream.data(), stream.size());
	PackData data;
	record_header header;
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	ASSERT_EQ(data.SkipData(&io, &header), B_OK);
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 'Done');
}

TEST(RecordStreamTest, StringsLongerThanTheBufferAreCutAndTheRestSkipped)
{
	std::string stream = Bytes().Be32(10).Raw("0123456789").Int32('Next', 42)
		.Be32(5).Raw("abcde").Be32(0).Data();
	BMemoryIO io(stream.data(), stream.size());
	PackData data;
	char buffer[4];
	memset(buffer, 'z', sizeof(buffer));
	ASSERT_EQ(data.ReadString(&io, buffer, sizeof(buffer)), B_OK);
	EXPECT_STREQ(buffer, "012");
	// The stream stays in step: the next record follows.
	record_header header;
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 'Next');
	int32 value;
	ASSERT_EQ(data.ReadInt32(&io, &value), B_OK);
	EXPECT_EQ(value, 42);

	// A buffer of one byte holds the terminator alone.
	char one[1] = {'z'};
	ASSERT_EQ(data.ReadString(&io, one, 1), B_OK);
	EXPECT_EQ(one[0], '\0');
	// An empty string.
	char empty[4] = "zz";
	ASSERT_EQ(data.ReadString(&io, empty, sizeof(empty)), B_OK);
	EXPECT_STREQ(empty, "");
	EXPECT_EQ(io.Position(), (off_t)stream.size());

	// A string that exactly fills the buffer with its terminator.
	std::string exact = Bytes().Be32(3).Raw("abc").Data();
	BMemoryIO exactIO(exact.data(), exact.size());
	ASSERT_EQ(data.ReadString(&exactIO, buffer, sizeof(buffer)), B_OK);
	EXPECT_STREQ(buffer, "abc");
}

TEST(RecordStreamTest, AllocatedStringsRespectTheCallersLimit)
{
	PackData data;
	std::string stream = Bytes().Be32(5).Raw("hello").Be32(6).Raw("world!").Int32('Next', 1)
		.Data();
	BMemoryIO io(stream.data(), stream.size());
	char* text = nullptr;
	// Five characters and the terminator fit in six bytes.
	ASSERT_EQ(data.ReadString(&io, &text, 6), B_OK);
	EXPECT_STREQ(text, "hello");
	free(text);
	text = nullptr;
	// Six characters do not: refused, and skipped.
	EXPECT_EQ(data.ReadString(&io, &text, 6), -1);
	EXPECT_EQ(text, nullptr);
	record_header header;
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 'Next');

	// A huge stored length under a generous limit: memory follows the data
	// that is really there, and the short read fails.
	std::string lying = Bytes().Be32(0xfffffff0).Raw("only a little").Data();
	BMemoryIO lyingIO(lying.data(), lying.size());
	EXPECT_EQ(data.ReadString(&lyingIO, &text, UINT32_MAX), -1);
	EXPECT_EQ(text, nullptr);

	// Longer than one growth step.
	std::string long1 = TextData(200000);
	std::string longStream = Bytes().Be32(long1.size()).Raw(long1).Data();
	BMemoryIO longIO(longStream.data(), longStream.size());
	ASSERT_EQ(data.ReadString(&longIO, &text, UINT32_MAX), B_OK);
	EXPECT_EQ(std::string(text), long1);
	free(text);
}

TEST(RecordStreamTest, AllocatedStringsCanKeepTheStartOfWhatIsTooLong)
{
	PackData data;
	std::string long1 = TextData(200000);
	std::string stream = Bytes().Be32(long1.size()).Raw(long1).Be32(2).Raw("ok")
		.Int32('Next', 1).Data();
	BMemoryIO io(stream.data(), stream.size());
	char* text = nullptr;
	ASSERT_EQ(data.ReadString(&io, &text, 70000, true), B_OK);
	EXPECT_EQ(std::string(text), long1.substr(0, 69999));
	free(text);
	text = nullptr;
	// The rest was skipped: the next string and record follow.
	ASSERT_EQ(data.ReadString(&io, &text, 70000, true), B_OK);
	EXPECT_STREQ(text, "ok");
	free(text);
	record_header header;
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 'Next');
}

TEST(RecordStreamTest, BuffersLargerThanTheCallersAreRefusedAndSkipped)
{
	PackData data;
	std::string stream = Bytes().Be32(4).Raw("abcd").Be32(2).Raw("xy").Data();
	BMemoryIO io(stream.data(), stream.size());
	char buffer[3] = {'-', '-', '-'};
	EXPECT_EQ(data.ReadBuf(&io, buffer, sizeof(buffer)), -1);
	EXPECT_EQ(buffer[0], '-');
	uint32 length = 0;
	ASSERT_EQ(data.ReadBuf(&io, buffer, sizeof(buffer), &length), B_OK);
	EXPECT_EQ(length, 2u);
	EXPECT_EQ(std::string(buffer, 2), "xy");
}

TEST(RecordStreamTest, IdentityBinsRoundTripWithTheirHeaderWrittenLast)
{
	PackData data;
	std::string source = NoiseData(40000);
	StringIO src(source);
	StringIO dst("PRE");
	dst.Seek(0, SEEK_END);
	off_t stored = -1;
	off_t taken = -1;
	int32 flags = 0;
	ASSERT_EQ(data.WriteBin(&dst, &src, &stored, &taken, &flags, nullptr, 'FiMF'), B_OK);
	EXPECT_EQ(stored, 40000);
	EXPECT_EQ(taken, 40000);
	EXPECT_EQ(flags, 0);
	EXPECT_EQ(dst.fData.size(), 3 + 27 + 40000u);
	EXPECT_EQ(dst.Position(), (off_t)dst.fData.size());
	EXPECT_EQ(dst.fData.substr(3, 27),
		Bytes().Raw("FiMF").Be16(0).U8(3).Be64(40000).Be64(40000).Be32(1).Data());
	EXPECT_EQ(dst.fData.substr(30), source);

	// Read back: skip "PRE" and the record header.
	StringIO out;
	dst.Seek(3 + 7, SEEK_SET);
	ASSERT_EQ(data.ReadBin(&out, &dst, 0, nullptr), B_OK);
	EXPECT_EQ(out.fData, source);
	EXPECT_EQ(dst.Position(), (off_t)dst.fData.size());

	// Tag -1: the 20-byte preamble and the data, no header.
	StringIO src2("tiny");
	StringIO dst2;
	stored = taken = -1;
	flags = 0;
	ASSERT_EQ(data.WriteBin(&dst2, &src2, &stored, &taken, &flags, nullptr, -1), B_OK);
	EXPECT_EQ(dst2.fData, Bytes().Be64(4).Be64(4).Be32(1).Raw("tiny").Data());
}

TEST(RecordStreamTest, WriteBinHonoursItsLimits)
{
	PackData data;
	std::string source = NoiseData(50000, 7);

	// Only as much of the source as the caller allows; the source stays
	// right after it.
	StringIO src(source);
	StringIO dst;
	off_t stored = -1;
	off_t taken = 1000;
	int32 flags = 0;
	ASSERT_EQ(data.WriteBin(&dst, &src, &stored, &taken, &flags, nullptr, 'Part'), B_OK);
	EXPECT_EQ(taken, 1000);
	EXPECT_EQ(stored, 1000);
	EXPECT_EQ(src.Position(), 1000);
	EXPECT_EQ(dst.fData.substr(27), source.substr(0, 1000));

	// A stored-size limit stops the bin and says so in the flags, in the
	// header's count too.
	StringIO src2(source);
	StringIO dst2;
	stored = 20000;
	taken = -1;
	flags = 0;
	ASSERT_EQ(data.WriteBin(&dst2, &src2, &stored, &taken, &flags, nullptr, 'Part'), B_OK);
	EXPECT_EQ(flags & kBinStoppedAtLimit, kBinStoppedAtLimit);
	EXPECT_EQ(stored, 20000);
	EXPECT_EQ(taken, 20000);
	EXPECT_EQ(dst2.fData.substr(0, 27),
		Bytes().Raw("Part").Be16(1).U8(3).Be64(20000).Be64(20000).Be32(1).Data());

	// An empty source gives an empty bin.
	StringIO empty;
	StringIO dst3;
	stored = taken = -1;
	flags = 0;
	ASSERT_EQ(data.WriteBin(&dst3, &empty, &stored, &taken, &flags, nullptr, 'Empt'), B_OK);
	EXPECT_EQ(dst3.fData, Bytes().Raw("Empt").Be16(0).U8(3).Be64(0).Be64(0).Be32(1).Data());
}

namespace {

struct CallbackLog {
	int32 calls = 0;
	int32 stopAt = -1;
	status_t answer = -5;
	uint64 consumed = 0;
	uint64 produced = 0;
};

int32
LoggingCallback(uint32 consumed, uint32 produced, void* data)
{
	CallbackLog* log = static_cast<CallbackLog*>(data);
	log->calls++;
	log->consumed += consumed;
	log->produced += produced;
	return log->calls == log->stopAt ? log->answer : 0;
}

} // namespace

TEST(RecordStreamTest, ACallbackStopsTheBinAfterTheCurrentChunk)
{
	PackData data;
	std::string source = NoiseData(50000, 3);
	std::string bin = Bytes().Be64(source.size()).Be64(source.size()).Be32(1).Raw(source).Data();

	CallbackLog complete;
	data.SetCallbackData(&complete);
	StringIO all;
	BMemoryIO io(bin.data(), bin.size());
	ASSERT_EQ(data.ReadBin(&all, &io, 0, LoggingCallback), B_OK);
	EXPECT_EQ(all.fData, source);
	EXPECT_EQ(complete.calls, 4);	// 16384 * 3 + 848
	EXPECT_EQ(complete.consumed, 50000u);
	EXPECT_EQ(complete.produced, 50000u);

	CallbackLog stopping;
	stopping.stopAt = 2;
	stopping.answer = B_CANCELED;
	data.SetCallbackData(&stopping);
	StringIO part;
	BMemoryIO io2(bin.data(), bin.size());
	EXPECT_EQ(data.ReadBin(&part, &io2, 0, LoggingCallback), B_CANCELED);
	EXPECT_EQ(stopping.calls, 2);
	EXPECT_EQ(part.fData, source.substr(0, 2 * 16384));
}

TEST(RecordStreamTest, ABinOfAnotherCodecIsSkippedAndFails)
{
	PackData data;
	ZlCodec zlib;
	data.SetCurrentCodec(&zlib);
	EXPECT_EQ(data.CurrentCodec(), &zlib);
	std::string stream = Bytes().Be64(5).Be64(5).Be32(1).Raw("plain").Int32('Next', 9).Data();
	BMemoryIO io(stream.data(), stream.size());
	StringIO out;
	EXPECT_EQ(data.ReadBin(&out, &io, 0, nullptr), B_BAD_DATA);
	EXPECT_EQ(out.fData, "");
	record_header header;
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 'Next');

	// Null selects the identity codec again, which reads the same bin.
	data.SetCurrentCodec(nullptr);
	EXPECT_EQ(data.CurrentCodec()->ID(), kIdentityCodecID);
	io.Seek(0, SEEK_SET);
	ASSERT_EQ(data.ReadBin(&out, &io, 0, nullptr), B_OK);
	EXPECT_EQ(out.fData, "plain");
}

TEST(RecordStreamTest, TruncatedBinsFailAndOpenEndedOnesRunToTheEnd)
{
	PackData data;
	ZlCodec zlib;
	data.SetCurrentCodec(&zlib);
	std::string original = TextData(30000);
	std::string stream = Deflated(original);

	// The stored size promises more than the package holds.
	std::string cut = Bytes().Be64(stream.size() + 100).Be64(original.size()).Be32(2)
		.Raw(stream).Data();
	BMemoryIO cutIO(cut.data(), cut.size());
	StringIO out;
	EXPECT_LT(data.ReadBin(&out, &cutIO, 0, nullptr), 0);

	// A stored size of -1: the data runs until the input ends, and what the
	// codec still holds is delivered.
	std::string open = Bytes().Be64(~0ULL).Be64(original.size()).Be32(2).Raw(stream).Data();
	BMemoryIO openIO(open.data(), open.size());
	StringIO all;
	ASSERT_EQ(data.ReadBin(&all, &openIO, 0, nullptr), B_OK);
	EXPECT_EQ(all.fData, original);

	// The bin preamble itself cut short.
	std::string preamble = Bytes().Be64(1).Be32(0).Data();
	BMemoryIO preambleIO(preamble.data(), preamble.size());
	EXPECT_EQ(data.ReadBin(&out, &preambleIO, 0, nullptr), -1);
}

TEST(RecordStreamTest, ZlibBinsStreamThroughConstantMemory)
{
	// 40 MiB pass through the writer and the reader in chunks: the source
	// and the sink never exist in memory, only the compressed bin does.
	const off_t kSize = 40 * 1024 * 1024 + 123;
	PackData data;
	ZlCodec zlib;
	data.SetCurrentCodec(&zlib);
	PatternSource source(kSize);
	StringIO bin;
	off_t stored = -1;
	off_t taken = -1;
	int32 flags = 0;
	ASSERT_EQ(data.WriteBin(&bin, &source, &stored, &taken, &flags, nullptr, 'Huge'), B_OK);
	EXPECT_EQ(taken, kSize);
	EXPECT_EQ(stored + 27, (off_t)bin.fData.size());
	EXPECT_LE(source.fLargestRead, (size_t)PackData::kBufferSize);
	EXPECT_LE(bin.fLargestWrite, 8192u);

	PatternCheckSink sink;
	bin.Seek(7, SEEK_SET);
	ASSERT_EQ(data.ReadBin(&sink, &bin, 0, nullptr), B_OK);
	EXPECT_EQ(sink.fEnd, kSize);
	EXPECT_EQ(sink.fMismatches, 0);
	EXPECT_LE(sink.fLargestWrite, 8192u);
	EXPECT_LE(bin.fLargestRead, (size_t)PackData::kBufferSize);
}

TEST(RecordStreamTest, ABinIsReadToItsStoredEndWhateverItsOriginalSizeSays)
{
	// An original size that is too small must not stop the reader inside
	// the bin's data.
	PackData data;
	ZlCodec zlib;
	data.SetCurrentCodec(&zlib);
	std::string original = NoiseData(60000, 21);
	std::string stream = Deflated(original);
	ASSERT_GT(stream.size(), 2u * PackData::kBufferSize);
	std::string bin = Bytes().Be64(stream.size()).Be64(1).Be32(2).Raw(stream)
		.Int32('Next', 77).Data();
	BMemoryIO io(bin.data(), bin.size());
	StringIO out;
	ASSERT_EQ(data.ReadBin(&out, &io, 0, nullptr), B_OK);
	EXPECT_EQ(out.fData, original);
	record_header header;
	ASSERT_EQ(data.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, 'Next');
}
