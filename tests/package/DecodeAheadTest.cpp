// Decoding ahead on a second thread: every extraction through the decoder
// must leave the node, the progress messages, the alerts and the result
// exactly as the worker's own decoding does. Packages are made from real
// nodes with the node data writer, and each case is run both ways.

#include "NodeTestSupport.h"
#include "PackageTestSupport.h"

#include "DoError.h"
#include "InstallPack.h"
#include "NodeDecoder.h"
#include "SPackData.h"

#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Sha256.h>
#include <TypeConstants.h>

#include <RecordingAlertSink.h>
#include <TempRoot.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <zlib.h>

namespace {

// What one extraction left behind.
struct outcome {
	status_t status = B_OK;
	std::string contents;
	std::vector<Attribute> attributes;
	// The digest fed with the contents, when they were all written and it
	// covers them (a failed file is removed, and its digest with it).
	std::string digest;

	bool operator==(const outcome&) const = default;
};

std::ostream&
operator<<(std::ostream& out, const outcome& result)
{
	return out << "status " << result.status << ", " << result.contents.size()
		<< " bytes, " << result.attributes.size() << " attributes, digest "
		<< result.digest;
}

} // namespace

class DecodeAheadTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		ASSERT_EQ(create_directory("/boot/src", 0755), B_OK);
		ASSERT_EQ(create_directory("/boot/out", 0755), B_OK);
		// Every thread's alerts, the decoder's included were it to raise
		// one, with the thread that raised each.
		SetAlertSink(&fAlerts);
	}

	void TearDown() override
	{
		SetAlertSink(nullptr);
		TempRootTest::TearDown();
	}

	// A node data entry of a new file /boot/src/<leaf>.
	std::string FileEntry(const std::string& leaf, const std::string& contents,
		const std::vector<Attribute>& attributes = {})
	{
		std::string path = "/boot/src/" + leaf;
		fRoot.WriteFile("boot/src/" + leaf, contents);
		BFile file(path.c_str(), B_READ_WRITE);
		for (const auto& [name, type, value] : attributes)
			file.WriteAttr(name.c_str(), type, 0, value.data(), value.size());
		SPackData writer;
		StringIO out;
		EXPECT_EQ(writer.AddNodeEntry(&out, &file, B_FILE_NODE), B_OK);
		return out.fData;
	}

	// Writes /boot/test.pkg, whose node data are the pieces, back to back,
	// and returns where each piece starts (relative to the package).
	std::vector<off_t> WritePieces(const std::vector<std::string>& pieces)
	{
		std::string nodeData;
		std::vector<off_t> offsets;
		off_t offset = 8 + Header(0, 0).Size();
		for (const std::string& piece : pieces) {
			offsets.push_back(offset);
			offset += piece.size();
			nodeData += piece;
		}
		std::string catalog = Bytes().Group('FldI').Group('FDat').String('Name', "top").End()
			.End().Data();
		std::string attributes = Bytes().Group('PkgA').End().Data();
		off_t catalogOffset = offset;
		off_t attributeOffset = catalogOffset + catalog.size();
		std::string package = std::string((const char*)kPHeader, 8)
			+ Header(catalogOffset, attributeOffset).Data() + nodeData + catalog + attributes;
		fRoot.WriteFile("boot/test.pkg", package);
		return offsets;
	}

	// The package header as the package writer writes it (its size is the
	// same for any offsets).
	static Bytes Header(off_t catalog, off_t attributes)
	{
		// The attribute section is an empty group: 14 bytes.
		int64 size = attributes + 14;
		return std::move(Bytes().Group(kPackageHeaderTag).Int32(kFormatVersionTag, 2)
			.Int64(kArchiveFlagsTag, 2).Int64(kArchiveSizeTag, size)
			.Int64(kCatalogOffsetTag, catalog).Int64(kAttributeOffsetTag, attributes).End());
	}

	std::unique_ptr<InstallPack> OpenPackage()
	{
		entry_ref ref;
		EXPECT_EQ(get_ref_for_path("/boot/test.pkg", &ref), B_OK);
		return std::make_unique<InstallPack>(ref, false);
	}

	// The package opened for extracting, reporting to progress.
	std::unique_ptr<InstallPack> OpenForExtracting(const BMessenger& progress,
		bool decodeAhead)
	{
		std::unique_ptr<InstallPack> pack = OpenPackage();
		EXPECT_NE(pack->fEntry, nullptr);
		pack->SetDecodeAhead(decodeAhead);
		pack->fStatusMessenger = progress;
		EXPECT_FALSE(pack->SetFile());
		return pack;
	}

	// Extracts the entry at offset into /boot/out/<leaf>, a file that holds
	// `previous` before.
	outcome Extract(InstallPack* pack, off_t offset, const std::string& leaf,
		const std::string& previous = "")
	{
		fRoot.WriteFile("boot/out/" + leaf, previous);
		outcome result;
		{
			BFile file(("/boot/out/" + leaf).c_str(), B_READ_WRITE);
			Sha256Digest digest;
			result.status = pack->ExtractFile(&file, offset, -1, &digest);
			result.attributes = AttributesOf(file);
			off_t size = -1;
			if (result.status == B_OK && file.GetSize(&size) == B_OK && digest.Covers(size))
				result.digest = digest.HexDigest();
		}
		result.contents = fRoot.ReadFile("boot/out/" + leaf);
		return result;
	}

	// Extracts the entries at offsets in turn, both ways; expects the same
	// outcomes and progress messages from both and returns the outcomes.
	std::vector<outcome> ExtractBothWays(const std::vector<off_t>& offsets,
		int32 cancelAt = 0)
	{
		std::vector<outcome> results[2];
		std::vector<int32> progress[2];
		for (int way = 0; way < 2; way++) {
			ProgressTarget target(cancelAt);
			std::unique_ptr<InstallPack> pack = OpenForExtracting(target.Messenger(), way == 1);
			for (size_t i = 0; i < offsets.size(); i++) {
				results[way].push_back(Extract(pack.get(), offsets[i],
					(way == 0 ? "sync-" : "ahead-") + std::to_string(i), "previous contents"));
			}
			progress[way] = target.Bytes();
		}
		EXPECT_EQ(results[1], results[0]);
		EXPECT_EQ(progress[1], progress[0]);
		return results[1];
	}

	const std::vector<Attribute> kAttributes = {
		{"BEOS:TYPE", B_MIME_STRING_TYPE, std::string("text/plain", 11)},
		{"raw", B_RAW_TYPE, NoiseData(3000, 3)},
		{"empty", 'EMPT', ""},
	};

	RecordingAlertSink fAlerts;
};


TEST_F(DecodeAheadTest, ManyFilesComeOutAsTheWorkerDecodesThem)
{
	std::vector<std::string> pieces;
	std::vector<std::string> contents;
	for (int i = 0; i < 42; i++) {
		// Empty, tiny, around the chunk and buffer sizes, text and noise;
		// the last two around the size up to which the decoding threads
		// digest the contents themselves.
		size_t size = i % 5 == 0 ? 0 : i % 5 == 1 ? 17 : i % 5 == 2 ? 16384 + i
			: i % 5 == 3 ? 150000 + i * 1000 : 8192 * i;
		if (i >= 40)
			size = (1 << 20) + (i == 40 ? 0 : 1);
		contents.push_back(i % 2 == 0 ? TextData(size) : NoiseData(size, i));
		std::vector<Attribute> attributes;
		if (i % 3 != 0)
			attributes = kAttributes;
		pieces.push_back(FileEntry("f" + std::to_string(i), contents.back(), attributes));
	}
	std::vector<off_t> offsets = WritePieces(pieces);

	std::vector<outcome> results = ExtractBothWays(offsets);
	ASSERT_EQ(results.size(), contents.size());
	for (size_t i = 0; i < contents.size(); i++) {
		EXPECT_EQ(results[i].status, B_OK) << i;
		EXPECT_EQ(results[i].contents, contents[i]) << i;
		EXPECT_EQ(results[i].attributes.size(), i % 3 != 0 ? kAttributes.size() : 0u) << i;
		// Taken on either thread, the digest is that of the whole contents.
		EXPECT_EQ(results[i].digest, sha256_of_data(contents[i].data(), contents[i].size()))
			<< i;
	}
}


TEST_F(DecodeAheadTest, DataLargerThanTheMemoryBoundStreamThrough)
{
	std::string contents = NoiseData(3 << 20, 7);
	std::string attribute = NoiseData(3500, 9);
	// The host keeps no attribute this large: the entry is made by hand.
	std::string large = NoiseData(1 << 20, 11);
	std::string largeAttribute = Bytes().Group('FoDa').Group('FBeA').Group('BeAI')
		.String('BeAN', "large").Int32('BeAT', B_RAW_TYPE)
		.Bin('BeAD', Deflated(large), large.size(), 2).End().End().End().Data();
	std::vector<off_t> offsets = WritePieces({
		FileEntry("big", contents, {{"attribute", B_RAW_TYPE, attribute}}),
		FileEntry("after", "after the big one"), largeAttribute});

	BFile package("/boot/test.pkg", B_READ_ONLY);
	const size_t limit = 256 * 1024;
	NodeDecoder decoder(package, limit);
	ASSERT_EQ(decoder.InitCheck(), B_OK);
	SPackData reader;
	const char* names[] = {"big", "after"};
	for (int i = 0; i < 2; i++) {
		fRoot.WriteFile(std::string("boot/out/") + names[i], "");
		BFile out((std::string("/boot/out/") + names[i]).c_str(), B_READ_WRITE);
		ASSERT_EQ(package.Seek(offsets[i], SEEK_SET), offsets[i]);
		ASSERT_EQ(reader.ExtractDecodedNode(&decoder, &package, offsets[i], &out), B_OK);
		if (i == 0) {
			EXPECT_EQ(AttributesOf(out),
				(std::vector<Attribute>{{"attribute", B_RAW_TYPE, attribute}}));
		}
	}
	EXPECT_EQ(fRoot.ReadFile("boot/out/big"), contents);
	EXPECT_EQ(fRoot.ReadFile("boot/out/after"), "after the big one");

	// The large attribute's events, as the worker takes them.
	decoder.Request(offsets[2]);
	std::vector<int> kinds;
	std::string data;
	decoded_event event;
	decoder.Next(&event);
	EXPECT_EQ(event.what, decoded_event::kEntryBegin);
	for (;;) {
		decoder.Next(&event);
		if (event.what != decoded_event::kStep)
			break;
		if (kinds.empty() || kinds.back() != event.step)
			kinds.push_back(event.step);
		data.append(event.data.begin(), event.data.end());
		if (event.step == entry_step::kAttribute) {
			EXPECT_EQ(event.name, "large");
			EXPECT_EQ(event.type, (type_code)B_RAW_TYPE);
		}
		if (event.step == entry_step::kEnd)
			break;
	}
	EXPECT_EQ(kinds, (std::vector<int>{entry_step::kAttribute, entry_step::kData,
		entry_step::kAttributeEnd, entry_step::kEnd}));
	EXPECT_TRUE(data == large);
	EXPECT_GT(decoder.PeakQueuedBytes(), 0u);
	EXPECT_LE(decoder.PeakQueuedBytes(), limit);
}


// A chunk of zeros decodes to many times the size of the others: the buffer
// that grew for it stays with the thread, so that the buffers the worker is
// handed (and gives back for reuse) never hold far more memory than the
// bytes the queue counts for them.
TEST_F(DecodeAheadTest, ABufferGrownForACompressibleChunkIsNotHandedOn)
{
	std::string contents;
	for (int i = 0; i < 4; i++)
		contents += std::string(2 << 20, '\0') + NoiseData(300000, 20 + i);
	std::vector<off_t> offsets = WritePieces({FileEntry("zeros", contents)});

	BFile package("/boot/test.pkg", B_READ_ONLY);
	NodeDecoder decoder(package);
	ASSERT_EQ(decoder.InitCheck(), B_OK);
	decoder.Request(offsets[0]);
	std::string data;
	size_t largest = 0;
	decoded_event event;
	for (;;) {
		decoder.Next(&event);
		if (event.what != decoded_event::kEntryBegin && event.what != decoded_event::kStep)
			break;
		if (event.what == decoded_event::kStep && event.step == entry_step::kData) {
			data.append(event.data.begin(), event.data.end());
			largest = std::max(largest, event.data.capacity());
		}
		if (event.what == decoded_event::kStep && event.step == entry_step::kEnd)
			break;
	}
	EXPECT_TRUE(data == contents);
	EXPECT_GT(largest, 0u);
	EXPECT_LE(largest, (size_t)BinReader::kLargestHandedBuffer);
}


// Several threads decode entries at once; the worker still gets every
// entry whole and in order, with skips and restarts, and the room they
// share stays within its bound.
TEST_F(DecodeAheadTest, SeveralThreadsDeliverEveryEntryInOrderWithinTheBound)
{
	std::vector<std::string> pieces;
	std::vector<std::string> contents;
	for (int i = 0; i < 60; i++) {
		size_t size = i % 4 == 0 ? 0 : i % 4 == 1 ? 100 + i : i % 4 == 2 ? 20000 + i * 300
			: 200000 + i * 1000;
		contents.push_back(i % 3 == 0 ? TextData(size) : NoiseData(size, i));
		pieces.push_back(FileEntry("f" + std::to_string(i), contents.back(),
			i % 5 == 0 ? kAttributes : std::vector<Attribute>()));
	}
	std::vector<off_t> offsets = WritePieces(pieces);

	BFile package("/boot/test.pkg", B_READ_ONLY);
	const size_t limit = 256 * 1024;
	NodeDecoder decoder(package, limit, 4);
	ASSERT_EQ(decoder.InitCheck(), B_OK);
	SPackData reader;
	// In order, then a jump ahead, a restart behind, and in order again.
	std::vector<int> order;
	for (int i = 0; i < 30; i++)
		order.push_back(i);
	for (int i : {45, 46, 10, 11, 12})
		order.push_back(i);
	for (int i = 47; i < 60; i++)
		order.push_back(i);
	for (int i : order) {
		std::string leaf = "boot/out/f" + std::to_string(i);
		fRoot.WriteFile(leaf, "previous contents");
		BFile out(("/" + leaf).c_str(), B_READ_WRITE);
		ASSERT_EQ(package.Seek(offsets[i], SEEK_SET), offsets[i]);
		ASSERT_EQ(reader.ExtractDecodedNode(&decoder, &package, offsets[i], &out), B_OK) << i;
		EXPECT_TRUE(fRoot.ReadFile(leaf) == contents[i]) << i;
		EXPECT_EQ(AttributesOf(out).size(), i % 5 == 0 ? kAttributes.size() : 0u) << i;
	}
	EXPECT_LE(decoder.PeakQueuedBytes(), limit);
	EXPECT_TRUE(fAlerts.Texts().empty());
}


TEST_F(DecodeAheadTest, SkippedEntriesAreDroppedAndRequestsBehindRestart)
{
	std::vector<std::string> pieces;
	for (int i = 0; i < 8; i++)
		pieces.push_back(FileEntry("f" + std::to_string(i), TextData(50000 + i * 7000)));
	// Something that is no entry between two entries: the walk stops there
	// and goes on only from where it is asked to.
	pieces.insert(pieces.begin() + 6,
		Bytes().Group('Gap!').String('Note', "not an entry").End().Data());
	std::vector<off_t> offsets = WritePieces(pieces);

	// Forward with gaps, backwards, the same entry twice, an entry behind
	// the foreign group, the group itself (-1), and a position inside an
	// entry.
	std::vector<off_t> order = {offsets[0], offsets[3], offsets[5], offsets[1], offsets[2],
		offsets[2], offsets[7], offsets[6], offsets[4], offsets[0] + 3, offsets[8]};
	std::vector<outcome> results = ExtractBothWays(order);
	for (size_t i = 0; i < order.size(); i++) {
		bool fails = order[i] == offsets[6] || order[i] == offsets[0] + 3;
		EXPECT_EQ(results[i].status, fails ? -1 : B_OK) << i;
	}
	EXPECT_EQ(results[1].contents, TextData(50000 + 3 * 7000));
	EXPECT_EQ(results[3].contents, TextData(50000 + 1 * 7000));
	EXPECT_EQ(results[6].contents, TextData(50000 + 6 * 7000));
}


// The buffers the worker has written go back to the decoding threads: a
// file whose chunks decode to sizes far apart (noise, and text that
// inflates many times over) and the files after it must come out whole,
// with the same progress, while the threads refill buffers taken back.
TEST_F(DecodeAheadTest, BuffersTakenBackNeverHoldDataStillToBeWritten)
{
	std::string contents;
	for (int i = 0; contents.size() < (6u << 20); i++)
		contents += i % 2 == 0 ? NoiseData(20000 + 7919 * (i % 13), i)
			: TextData(150000 + 30011 * (i % 7));
	std::vector<off_t> offsets = WritePieces({FileEntry("mixed", contents, kAttributes),
		FileEntry("small", TextData(3000)), FileEntry("noise", NoiseData(900000, 4))});

	std::vector<outcome> results = ExtractBothWays(offsets);
	ASSERT_EQ(results.size(), 3u);
	EXPECT_EQ(results[0].status, B_OK);
	EXPECT_TRUE(results[0].contents == contents);
	EXPECT_EQ(results[0].attributes.size(), kAttributes.size());
	EXPECT_EQ(results[1].contents, TextData(3000));
	EXPECT_TRUE(results[2].contents == NoiseData(900000, 4));
}


// Where the decoder finds no entry, the package is read at the position
// asked for, not where its handle happens to stand (here: at an entry that
// would extract without complaint).
TEST_F(DecodeAheadTest, APositionThatHoldsNoEntryIsReadThereWhereverThePackageStands)
{
	std::string gap = Bytes().Group('Gap!').String('Note', "not an entry").End().Data();
	std::vector<off_t> offsets = WritePieces({gap, FileEntry("file", TextData(2000))});
	for (bool decodeAhead : {false, true}) {
		std::unique_ptr<InstallPack> pack = OpenForExtracting(BMessenger(), decodeAhead);
		ASSERT_EQ(pack->fFile->Seek(offsets[1], SEEK_SET), offsets[1]);
		outcome result = Extract(pack.get(), offsets[0], "gap");
		EXPECT_EQ(result.status, -1) << decodeAhead;
		EXPECT_EQ(result.contents, "") << decodeAhead;
		EXPECT_EQ(Extract(pack.get(), offsets[1], "file").contents, TextData(2000));
	}
}


TEST_F(DecodeAheadTest, CorruptDataShowTheAlertOnceOnTheWorkerAndFailAlike)
{
	std::string contents = NoiseData(100000, 5) + TextData(100000);
	std::string stream = Deflated(contents);
	// Damaged past the first stored chunks: some contents are written first.
	for (size_t i = 70000; i < 70100; i++)
		stream[i] = '\xff';
	std::string bin = Bytes().Bin('FiMF', stream, contents.size(), 2).Data();
	std::string corrupt = Bytes().Group('FiDa').Raw(bin).End().Data();
	std::vector<off_t> offsets = WritePieces({FileEntry("before", "fine"), corrupt,
		FileEntry("after", "fine too", kAttributes)});

	testing::internal::CaptureStderr();
	std::vector<outcome> results = ExtractBothWays(offsets);
	std::string printed = testing::internal::GetCapturedStderr();
	EXPECT_EQ(results[1].status, -1);
	EXPECT_GT(results[1].contents.size(), 0u);
	EXPECT_LT(results[1].contents.size(), contents.size());
	EXPECT_EQ(results[2].status, B_OK) << "the next entry decodes afresh";
	EXPECT_EQ(results[2].contents, "fine too");
	// Once each way, from this thread (the worker here), and nothing else.
	std::vector<RecordingAlertSink::Shown> alerts = fAlerts.All();
	ASSERT_EQ(alerts.size(), 2u);
	for (const RecordingAlertSink::Shown& alert : alerts) {
		EXPECT_EQ(alert.text, "Compression data error.");
		EXPECT_EQ(alert.thread, std::this_thread::get_id());
	}
	EXPECT_EQ(printed, "");
}


// A large file's check value is compared by the worker, not the decoding
// thread: damage that inflates without complaint (in stored blocks), a
// damaged stored value, and bytes after the stream must end as they do when
// the worker decodes the file itself, down to the bytes written before the
// failure. The second size ends the contents with a full output buffer.
TEST_F(DecodeAheadTest, TheCheckOfALargeFileFailsOnTheWorkerAsTheCodecFails)
{
	for (size_t size : {(size_t)1500000, (size_t)183 * 8192}) {
		std::string contents = (NoiseData(1200000, 9) + TextData(300000)).substr(0, size);
		std::string stored = Deflated(contents, 0);
		std::string damagedData = stored;
		damagedData[stored.size() / 2] ^= 0x20;
		std::string damagedCheck = stored;
		damagedCheck[stored.size() - 1] ^= 0x01;
		auto entry = [&](const std::string& stream) {
			std::string bin = Bytes().Bin('FiMF', stream, contents.size(), 2).Data();
			return Bytes().Group('FiDa').Raw(bin).End().Data();
		};
		std::vector<off_t> offsets = WritePieces({entry(Deflated(contents)),
			entry(damagedData), entry(damagedCheck), entry(Deflated(contents) + "trailing"),
			FileEntry("after", "fine", kAttributes)});

		std::vector<outcome> results = ExtractBothWays(offsets);
		EXPECT_EQ(results[0].status, B_OK);
		EXPECT_TRUE(results[0].contents == contents);
		EXPECT_EQ(results[1].status, -1);
		EXPECT_EQ(results[2].status, -1);
		EXPECT_LT(results[2].contents.size(), contents.size());
		EXPECT_EQ(results[4].status, B_OK) << "the next entry decodes afresh";
	}
	// Each failure once each way, on this thread (the worker here).
	std::vector<RecordingAlertSink::Shown> alerts = fAlerts.All();
	ASSERT_EQ(alerts.size(), 8u);
	for (const RecordingAlertSink::Shown& alert : alerts) {
		EXPECT_EQ(alert.text, "Compression data error.");
		EXPECT_EQ(alert.thread, std::this_thread::get_id());
	}
}


// The decoding thread digests the contents (and takes a large file's check
// value) while it is ahead of the worker; once the worker has waited for the
// entry, the thread is the slower side and hands what it digested so far to
// the worker, which goes on from there. Whichever thread took which part,
// the digest is the whole file's and a damaged check value still fails.
TEST_F(DecodeAheadTest, TheWorkerTakesTheDigestOverWhereItWaitedForTheEntry)
{
	const std::string contents = TextData(3 << 20);
	std::string stream = Deflated(contents);
	std::string damagedCheck = stream;
	damagedCheck.back() ^= 0x01;
	auto entry = [&](const std::string& deflated) {
		std::string bin = Bytes().Bin('FiMF', deflated, contents.size(), 2).Data();
		return Bytes().Group('FiDa').Raw(bin).End().Data();
	};
	std::vector<off_t> offsets = WritePieces({entry(stream), entry(damagedCheck)});
	BFile package("/boot/test.pkg", B_READ_ONLY);
	const size_t limit = 512 * 1024;
	// The worker comes late: the thread fills the room first.
	auto decodedAhead = [&](off_t position) {
		auto decoder = std::make_unique<NodeDecoder>(package, limit, 1);
		EXPECT_EQ(decoder->InitCheck(), B_OK);
		decoder->Request(position);
		for (int wait = 0; wait < 1000 && decoder->PeakQueuedBytes() < limit / 2; wait++)
			std::this_thread::sleep_for(std::chrono::milliseconds(10));
		EXPECT_GE(decoder->PeakQueuedBytes(), limit / 2);
		return decoder;
	};

	// The events as the worker takes them.
	std::unique_ptr<NodeDecoder> decoder = decodedAhead(offsets[0]);
	decoded_event event;
	decoder->Next(&event);
	ASSERT_EQ(event.what, decoded_event::kEntryBegin);
	// Where the thread handed the digest over (-1: it did not).
	off_t handedAt = -1;
	Sha256Digest continued;
	uint32 check = adler32_z(0L, Z_NULL, 0);
	size_t written = 0;
	for (;;) {
		decoder->Next(&event);
		ASSERT_EQ(event.what, decoded_event::kStep);
		if (event.step == entry_step::kEnd)
			break;
		if (event.step != entry_step::kData)
			continue;
		check = adler32_z(check, event.data.data(), event.data.size());
		if (event.contentsDigested) {
			ASSERT_EQ(handedAt, -1) << "none digested there after the hand-over";
			EXPECT_TRUE(event.checkTaken);
			EXPECT_EQ(event.takenCheck, check);
		} else {
			EXPECT_FALSE(event.checkTaken);
			if (event.digest != nullptr) {
				ASSERT_EQ(handedAt, -1) << "handed over once";
				EXPECT_EQ(event.digest->Length(), (off_t)written);
				handedAt = written;
				continued.Swap(*event.digest);
			}
			ASSERT_NE(handedAt, -1) << "what is not digested there was handed over";
			continued.UpdateAt(written, event.data.data(), event.data.size());
		}
		written += event.data.size();
	}
	EXPECT_EQ(written, contents.size());
	EXPECT_GT(handedAt, 0) << "the thread digested what it decoded ahead, then the "
		"worker waited and took the digest over";
	EXPECT_TRUE(continued.Covers(contents.size()));
	EXPECT_EQ(continued.HexDigest(), sha256_of_data(contents.data(), contents.size()));

	// Through the worker's writing: the same, and a damaged check fails.
	for (size_t i = 0; i < offsets.size(); i++) {
		decoder = decodedAhead(offsets[i]);
		std::string leaf = "boot/out/late-" + std::to_string(i);
		fRoot.WriteFile(leaf, "");
		BFile out(("/" + leaf).c_str(), B_READ_WRITE);
		Sha256Digest digest;
		SPackData reader;
		reader.SetContentDigest(&digest);
		status_t status = reader.ExtractDecodedNode(decoder.get(), &package, offsets[i], &out);
		if (i == 0) {
			EXPECT_EQ(status, B_OK);
			EXPECT_TRUE(fRoot.ReadFile(leaf) == contents);
			EXPECT_TRUE(digest.Covers(contents.size()));
			EXPECT_EQ(digest.HexDigest(), sha256_of_data(contents.data(), contents.size()));
		} else
			EXPECT_EQ(status, -1);
	}
	std::vector<RecordingAlertSink::Shown> alerts = fAlerts.All();
	ASSERT_EQ(alerts.size(), 1u);
	EXPECT_EQ(alerts[0].text, "Compression data error.");
	EXPECT_EQ(alerts[0].thread, std::this_thread::get_id());
}


TEST_F(DecodeAheadTest, ACancelStopsWithinOneChunkAndWritesNoMore)
{
	std::string contents = NoiseData(400000, 13);
	std::vector<off_t> offsets = WritePieces({FileEntry("big", contents, kAttributes),
		FileEntry("next", TextData(1000))});
	ProgressTarget canceling(2);
	std::unique_ptr<InstallPack> pack = OpenForExtracting(canceling.Messenger(), true);
	outcome result = Extract(pack.get(), offsets[0], "big");
	EXPECT_EQ(result.status, B_CANCELED);
	ASSERT_EQ(canceling.Bytes().size(), 2u);
	EXPECT_EQ(result.contents, contents.substr(0, Sum(canceling.Bytes())));
	EXPECT_TRUE(result.attributes.empty());
	EXPECT_EQ(pack->Decoder(), nullptr) << "a cancel stops the decoder";

	// The same both ways, for the sequence of messages too.
	ExtractBothWays(offsets, 2);
}


TEST_F(DecodeAheadTest, FailingWritesAndNodesThatAreNoFilesBehaveAlike)
{
	std::string stream = Deflated(TextData(30000));
	for (size_t i = 20; i < 40; i++)
		stream[i] = '\x5a';
	std::string damaged = Bytes().Group('FiDa')
		.Raw(Bytes().Bin('FiMF', stream, 30000, 2).Data())
		.Group('FBeA').Group('BeAI').String('BeAN', "kept").Int32('BeAT', B_STRING_TYPE)
		.Bin('BeAD', Deflated("value"), 5, 2).End().End()
		.End().Data();
	std::vector<off_t> offsets = WritePieces({FileEntry("text", TextData(90000), kAttributes),
		damaged});

	for (int way = 0; way < 2; way++) {
		std::unique_ptr<InstallPack> pack = OpenForExtracting(BMessenger(), way == 1);
		std::string leaf = "boot/out/" + std::to_string(way);
		// A file open for reading only refuses the first write.
		fRoot.WriteFile(leaf + "-readonly", "");
		BFile readOnly(("/" + leaf + "-readonly").c_str(), B_READ_ONLY);
		EXPECT_EQ(pack->ExtractFile(&readOnly, offsets[0]), B_NOT_ALLOWED) << way;

		// A node that is no file skips the contents, damaged or not, and
		// takes the attributes; nothing is shown.
		fRoot.WriteFile(leaf + "-plain", "keep me");
		BNode plain(("/" + leaf + "-plain").c_str());
		EXPECT_EQ(pack->ExtractFile(&plain, offsets[1]), B_OK) << way;
		EXPECT_EQ(fRoot.ReadFile(leaf + "-plain"), "keep me");
		EXPECT_EQ(AttributesOf(plain),
			(std::vector<Attribute>{{"kept", B_STRING_TYPE, "value"}}));
		plain.RemoveAttr("kept");
		EXPECT_EQ(pack->ExtractFile(&plain, offsets[0]), B_OK) << way;
		EXPECT_EQ(SortedAttributesOf(plain).size(), kAttributes.size());
	}
	EXPECT_TRUE(fAlerts.All().empty());
}


TEST_F(DecodeAheadTest, ClearingOrDeletingThePackageStopsADecoderThatIsAhead)
{
	std::vector<std::string> pieces;
	for (int i = 0; i < 6; i++)
		pieces.push_back(FileEntry("f" + std::to_string(i), NoiseData(2 << 20, i)));
	std::vector<off_t> offsets = WritePieces(pieces);

	std::unique_ptr<InstallPack> pack = OpenForExtracting(BMessenger(), true);
	ASSERT_EQ(Extract(pack.get(), offsets[0], "first").status, B_OK);
	ASSERT_NE(pack->Decoder(), nullptr);
	// The decoder is busy with what follows, its queue full.
	pack->ClearFile();
	EXPECT_EQ(pack->Decoder(), nullptr);

	ASSERT_FALSE(pack->SetFile());
	outcome result = Extract(pack.get(), offsets[4], "fifth");
	EXPECT_EQ(result.status, B_OK);
	EXPECT_EQ(result.contents, NoiseData(2 << 20, 4));
	// Deleted with the decoder ahead in the next entry.
	pack.reset();
	EXPECT_EQ(fRoot.ReadFile("boot/out/first"), NoiseData(2 << 20, 0));
}


namespace {

// A file that notes the size of every write made to it.
class WriteRecordingFile : public BFile {
public:
	using BFile::BFile;

	ssize_t Write(const void* buffer, size_t size) override
	{
		fWrites.push_back(size);
		return BFile::Write(buffer, size);
	}

	std::vector<size_t> fWrites;
};

} // namespace


// Small bins are inflated in one call on the decoder's side: the worker
// must still make the very writes, and report the very chunk, that the
// codec makes, on both sides of every bound of that fast way (the codec's
// buffer, one stored chunk, the largest bin inflated whole).
TEST_F(DecodeAheadTest, BinsInflatedWholeWriteAsTheCodecWrites)
{
	std::string text;
	while (text.size() < 40000)
		text += "line " + std::to_string(text.size()) + " of a header file\n";
	const std::vector<std::string> contents = {"", "x", std::string(8192, 'a'),
		std::string(8193, 'b'), text, NoiseData(12000, 5), NoiseData(20000, 6),
		std::string((1 << 20) + 1, '\0')};
	std::vector<std::string> pieces;
	for (size_t i = 0; i < contents.size(); i++)
		pieces.push_back(FileEntry("file" + std::to_string(i), contents[i]));
	std::vector<off_t> offsets = WritePieces(pieces);

	BFile package("/boot/test.pkg", B_READ_ONLY);
	NodeDecoder decoder(package);
	ASSERT_EQ(decoder.InitCheck(), B_OK);
	for (size_t i = 0; i < contents.size(); i++) {
		std::vector<size_t> writes[2];
		std::vector<int32> progress[2];
		for (int way = 0; way < 2; way++) {
			std::string leaf = "boot/out/" + std::to_string(way) + "-" + std::to_string(i);
			fRoot.WriteFile(leaf, "");
			ProgressTarget target;
			SPackData reader(target.Messenger());
			WriteRecordingFile out(("/" + leaf).c_str(), B_READ_WRITE);
			ASSERT_EQ(package.Seek(offsets[i], SEEK_SET), offsets[i]);
			status_t status = way == 0 ? reader.ExtractNode(&package, &out)
				: reader.ExtractDecodedNode(&decoder, &package, offsets[i], &out);
			ASSERT_EQ(status, B_OK) << i;
			writes[way] = out.fWrites;
			progress[way] = target.Bytes();
			EXPECT_TRUE(fRoot.ReadFile(leaf) == contents[i]) << i;
		}
		EXPECT_EQ(writes[1], writes[0]) << i;
		EXPECT_EQ(progress[1], progress[0]) << i;
	}
}


TEST_F(DecodeAheadTest, ContentsOfAnotherSizeThanDeclaredFailAndNeverPassIt)
{
	const std::string data = TextData(90000);
	std::string noContents = Bytes().Group('FiDa').Group('FBeA').End().End().Data();
	std::vector<off_t> offsets = WritePieces({FileEntry("text", data), noContents});

	struct declared {
		off_t offset;
		off_t size;
		status_t status;
	};
	const declared cases[] = {
		{offsets[0], 90000, B_OK},
		// Longer than declared: stopped at the declared size.
		{offsets[0], 1000, kContentSizeMismatch},
		{offsets[0], 0, kContentSizeMismatch},
		// Shorter than declared.
		{offsets[0], 90001, kContentSizeMismatch},
		{offsets[0], 1LL << 40, kContentSizeMismatch},
		// A file entry without contents has none.
		{offsets[1], 0, B_OK},
		{offsets[1], 5, kContentSizeMismatch},
	};
	for (int way = 0; way < 2; way++) {
		std::unique_ptr<InstallPack> pack = OpenForExtracting(BMessenger(), way == 1);
		int index = 0;
		for (const declared& item : cases) {
			std::string leaf = "boot/out/" + std::to_string(way) + "-" + std::to_string(index++);
			fRoot.WriteFile(leaf, "");
			BFile file(("/" + leaf).c_str(), B_READ_WRITE);
			EXPECT_EQ(pack->ExtractFile(&file, item.offset, item.size), item.status)
				<< way << " " << item.size;
			off_t size = -1;
			EXPECT_EQ(file.GetSize(&size), B_OK);
			EXPECT_LE(size, item.size) << "never more than declared";
			if (item.status == B_OK) {
				EXPECT_EQ(size, item.size);
			}
		}
		// Without a declared size the contents are taken as they come.
		fRoot.WriteFile("boot/out/undeclared", "");
		BFile file("/boot/out/undeclared", B_READ_WRITE);
		EXPECT_EQ(pack->ExtractFile(&file, offsets[0]), B_OK);
		EXPECT_EQ(fRoot.ReadFile("boot/out/undeclared"), data);
	}
	// A lying size is no decoding error: the codec shows nothing.
	EXPECT_TRUE(fAlerts.All().empty());
}
