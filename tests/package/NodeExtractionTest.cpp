// Node data entries: written from real nodes, restored onto real nodes in a
// temporary system root, with progress messages answered by a real looper.

#include "NodeTestSupport.h"
#include "PackageTestSupport.h"

#include "PackData.h"
#include "SPackData.h"
#include "ZlCodec.h"

#include <Directory.h>
#include <File.h>
#include <Message.h>
#include <MessageLog.h>
#include <Messenger.h>
#include <Node.h>
#include <SymLink.h>
#include <TypeConstants.h>

#include <TempRoot.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

namespace {

std::string
EntryOf(BNode* node, node_flavor flavor, status_t* status = nullptr)
{
	SPackData data;
	StringIO out;
	status_t result = data.AddNodeEntry(&out, node, flavor);
	if (status != nullptr)
		*status = result;
	else
		EXPECT_EQ(result, B_OK);
	return out.fData;
}

const std::string kEmptyZlibStream("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);

} // namespace

class NodeExtractionTest : public TempRootTest {
protected:
	// A file below /boot with contents and attributes.
	void MakeFile(const char* leaf, const std::string& contents,
		const std::vector<Attribute>& attributes = {})
	{
		fRoot.WriteFile(std::string("boot/") + leaf, contents);
		BNode node((std::string("/boot/") + leaf).c_str());
		ASSERT_EQ(node.InitCheck(), B_OK);
		for (const auto& [name, type, value] : attributes) {
			ASSERT_EQ(node.WriteAttr(name.c_str(), type, 0, value.data(), value.size()),
				(ssize_t)value.size());
		}
	}

	std::string ReadBoot(const char* leaf) { return fRoot.ReadFile(std::string("boot/") + leaf); }

	status_t Extract(const std::string& entry, BNode* node, const BMessenger& target = BMessenger(),
		off_t* endPosition = nullptr)
	{
		SPackData data(target, nullptr);
		StringIO src(entry);
		status_t result = data.ExtractNode(&src, node);
		if (endPosition != nullptr)
			*endPosition = src.Position();
		return result;
	}

	const std::vector<Attribute> kAttributes = {
		{"BEOS:TYPE", B_MIME_STRING_TYPE, std::string("text/plain", 11)},
		{"count", B_INT32_TYPE, std::string("\0\0\0\x2a", 4)},
		{"raw", B_RAW_TYPE, NoiseData(1500, 5)},
		{"empty", 'EMPT', ""},
	};
};

TEST_F(NodeExtractionTest, AFileRoundTripsWithContentsAttributesAndTypes)
{
	std::string contents = TextData(600000) + NoiseData(400000);
	MakeFile("source", contents, kAttributes);
	BFile source("/boot/source", B_READ_ONLY);
	ASSERT_EQ(source.InitCheck(), B_OK);
	std::string entry = EntryOf(&source, B_FILE_NODE);
	ASSERT_GT(entry.size(), 7u);
	EXPECT_EQ(entry.substr(0, 7), std::string("FiDa\0\0\4", 7));
	EXPECT_EQ(entry.substr(entry.size() - 14), std::string(14, '\0'));

	MakeFile("target", "");
	BFile target("/boot/target", B_READ_WRITE);
	off_t end = 0;
	ASSERT_EQ(Extract(entry + "trailing", &target, BMessenger(), &end), B_OK);
	EXPECT_EQ(end, (off_t)entry.size());
	EXPECT_EQ(ReadBoot("target"), contents);
	std::vector<Attribute> restored = SortedAttributesOf(target);
	EXPECT_EQ(restored, SortedAttributesOf(source));
	EXPECT_EQ(restored.size(), kAttributes.size());
	for (const Attribute& expected : kAttributes) {
		EXPECT_NE(std::find(restored.begin(), restored.end(), expected), restored.end())
			<< std::get<0>(expected);
	}
}

TEST_F(NodeExtractionTest, AttributesAreWrittenInListingOrder)
{
	MakeFile("ordered", "x", kAttributes);
	BFile file("/boot/ordered", B_READ_ONLY);
	std::string entry = EntryOf(&file, B_FILE_NODE);

	std::vector<std::string> written;
	PackData reader;
	StringIO io(entry);
	record_header header;
	ASSERT_EQ(reader.ReadRecordHeader(&io, &header), B_OK);	// 'FiDa'
	ASSERT_EQ(reader.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, kMainForkTag);
	ASSERT_EQ(reader.SkipData(&io, &header), B_OK);
	ASSERT_EQ(reader.ReadRecordHeader(&io, &header), B_OK);
	EXPECT_EQ(header.tag, kAttributesTag);
	for (;;) {
		ASSERT_EQ(reader.ReadRecordHeader(&io, &header), B_OK);
		if (header.type == kEndRecord)
			break;
		EXPECT_EQ(header.tag, kAttributeTag);
		ASSERT_EQ(reader.ReadRecordHeader(&io, &header), B_OK);
		EXPECT_EQ(header.tag, kAttrNameTag);
		char name[256];
		ASSERT_EQ(reader.ReadString(&io, name, sizeof(name)), B_OK);
		written.push_back(name);
		// Type, data, end.
		ASSERT_EQ(reader.ReadRecordHeader(&io, &header), B_OK);
		EXPECT_EQ(header.tag, kAttrTypeTag);
		ASSERT_EQ(reader.SkipData(&io, &header), B_OK);
		ASSERT_EQ(reader.ReadRecordHeader(&io, &header), B_OK);
		EXPECT_EQ(header.tag, kAttrDataTag);
		ASSERT_EQ(reader.SkipData(&io, &header), B_OK);
		ASSERT_EQ(reader.ReadRecordHeader(&io, &header), B_OK);
		EXPECT_EQ(header.type, kEndRecord);
	}
	std::vector<std::string> listed;
	for (const Attribute& attribute : AttributesOf(file))
		listed.push_back(std::get<0>(attribute));
	EXPECT_EQ(written, listed);
	EXPECT_EQ(written.size(), 4u);
}

TEST_F(NodeExtractionTest, ATinyEntryMatchesItsBytesByHand)
{
	MakeFile("tiny", "", {{"e", B_INT32_TYPE, ""}});
	BFile file("/boot/tiny", B_READ_ONLY);
	std::string expected = Bytes()
		.Group('FiDa')
			.Header('FiMF', 0, 3).Be64(8).Be64(0).Be32(2).Raw(kEmptyZlibStream)
			.Group('FBeA')
				.Group('BeAI')
					.String('BeAN', "e")
					.Int32('BeAT', 'LONG')
					.Header('BeAD', 0, 3).Be64(8).Be64(0).Be32(2).Raw(kEmptyZlibStream)
				.End()
			.End()
		.End()
		.Data();
	EXPECT_EQ(EntryOf(&file, B_FILE_NODE), expected);

	ASSERT_EQ(create_directory("/boot/bare", 0755), B_OK);
	BDirectory bare("/boot/bare");
	EXPECT_EQ(EntryOf(&bare, B_DIRECTORY_NODE),
		Bytes().Group('FoDa').Group('FBeA').End().End().Data());

	// The empty file and its empty attribute come back as such.
	MakeFile("tiny-copy", "leftover");
	BFile copy("/boot/tiny-copy", B_READ_WRITE);
	ASSERT_EQ(Extract(expected, &copy), B_OK);
	EXPECT_EQ(ReadBoot("tiny-copy"), "");
	EXPECT_EQ(AttributesOf(copy), (std::vector<Attribute>{{"e", B_INT32_TYPE, ""}}));
}

TEST_F(NodeExtractionTest, AFolderEntryWithOnlyAttributesRestoresThem)
{
	ASSERT_EQ(create_directory("/boot/folder", 0755), B_OK);
	BDirectory folder("/boot/folder");
	ASSERT_EQ(folder.WriteAttr("_trk/pinfo", 'RAWT', 0, "\1\2\3", 3), 3);
	ASSERT_EQ(folder.WriteAttr("note", B_STRING_TYPE, 0, "hi", 3), 3);
	std::string entry = EntryOf(&folder, B_DIRECTORY_NODE);
	EXPECT_EQ(entry.substr(0, 7), std::string("FoDa\0\0\4", 7));
	EXPECT_EQ(entry.find("FiMF"), std::string::npos);

	ASSERT_EQ(create_directory("/boot/restored", 0755), B_OK);
	BDirectory restored("/boot/restored");
	ProgressTarget progress;
	ASSERT_EQ(Extract(entry, &restored, progress.Messenger()), B_OK);
	EXPECT_EQ(SortedAttributesOf(restored), SortedAttributesOf(folder));
	EXPECT_EQ(AttributesOf(restored).size(), 2u);
	// Attribute data makes no progress messages.
	EXPECT_TRUE(progress.Bytes().empty());
}

TEST_F(NodeExtractionTest, AFileEntryOntoANodeThatIsNoFileKeepsItsContents)
{
	MakeFile("source", TextData(30000), {{"kind", B_STRING_TYPE, "file"}});
	BFile source("/boot/source", B_READ_ONLY);
	std::string entry = EntryOf(&source, B_FILE_NODE);

	MakeFile("plain", "keep me");
	BNode plain("/boot/plain");
	off_t end = 0;
	ASSERT_EQ(Extract(entry + "more", &plain, BMessenger(), &end), B_OK);
	EXPECT_EQ(end, (off_t)entry.size());
	EXPECT_EQ(ReadBoot("plain"), "keep me");
	EXPECT_EQ(SortedAttributesOf(plain), SortedAttributesOf(source));

	ASSERT_EQ(create_directory("/boot/dir", 0755), B_OK);
	BDirectory dir("/boot/dir");
	ASSERT_EQ(Extract(entry, &dir), B_OK);
	EXPECT_EQ(SortedAttributesOf(dir), SortedAttributesOf(source));
}

TEST_F(NodeExtractionTest, AnExistingLongerFileIsCutToTheNewContents)
{
	MakeFile("source", "new contents");
	BFile source("/boot/source", B_READ_ONLY);
	std::string entry = EntryOf(&source, B_FILE_NODE);
	MakeFile("existing", std::string(50000, 'X'));
	BFile existing("/boot/existing", B_READ_WRITE);
	ASSERT_EQ(Extract(entry, &existing), B_OK);
	EXPECT_EQ(ReadBoot("existing"), "new contents");
	off_t size = 0;
	ASSERT_EQ(existing.GetSize(&size), B_OK);
	EXPECT_EQ(size, 12);
}

TEST_F(NodeExtractionTest, AnEntryWithAnotherTagFailsWithoutTouchingTheNode)
{
	MakeFile("source", "data", {{"attr", B_STRING_TYPE, "value"}});
	BFile source("/boot/source", B_READ_ONLY);
	std::string entry = EntryOf(&source, B_FILE_NODE);
	MakeFile("target", "untouched");
	BFile target("/boot/target", B_READ_WRITE);

	std::string wrongTag = "FiDb" + entry.substr(4);
	EXPECT_EQ(Extract(wrongTag, &target), -1);
	std::string notAGroup = entry.substr(0, 6) + std::string(1, '\1') + entry.substr(7);
	EXPECT_EQ(Extract(notAGroup, &target), -1);
	EXPECT_EQ(Extract("", &target), -1);
	EXPECT_EQ(ReadBoot("target"), "untouched");
	EXPECT_TRUE(AttributesOf(target).empty());
}

TEST_F(NodeExtractionTest, UnknownRecordsAreSkippedAndAd32Ignored)
{
	std::string contents = "contents";
	std::string entry = Bytes()
		.Group('LnDa')
			.String('Xtra', "unknown in the entry")
			.Group('FBeA')
				.Int64('Odd ', 7)
				.Group('BeAI')
					.Int32('Ad32', 123)
					.String('BeAN', "first")
					.Group('Junk').Int32('In  ', 1).End()
					.Int32('BeAT', B_STRING_TYPE)
					.Bin('BeAD', Deflated("one"), 3, 2)
				.End()
				.Group('BeAI')
					.String('BeAN', "second")
					.String('BeAT', "a type stored as text is no type")
					.Bin('BeAD', Deflated(std::string(2000, 'z')), 2000, 2)
				.End()
			.End()
			.Bin('FiMF', Deflated(contents), contents.size(), 2)
		.End()
		.Data();
	MakeFile("target", "old and longer");
	BFile target("/boot/target", B_READ_WRITE);
	ASSERT_EQ(Extract(entry, &target), B_OK);
	// Contents after the attributes are applied all the same.
	EXPECT_EQ(ReadBoot("target"), contents);
	EXPECT_EQ(SortedAttributesOf(target), (std::vector<Attribute>{
		{"first", B_STRING_TYPE, "one"},
		{"second", B_RAW_TYPE, std::string(2000, 'z')}}));
}

TEST_F(NodeExtractionTest, AttributeDataWithoutANameFails)
{
	std::string entry = Bytes()
		.Group('FiDa')
			.Group('FBeA')
				.Group('BeAI').Bin('BeAD', Deflated("x"), 1, 2).End()
			.End()
		.End()
		.Data();
	MakeFile("target", "");
	BFile target("/boot/target", B_READ_WRITE);
	EXPECT_EQ(Extract(entry, &target), B_BAD_DATA);
	EXPECT_TRUE(AttributesOf(target).empty());
}

TEST_F(NodeExtractionTest, CorruptContentsShowTheCodecsAlertAndFail)
{
	std::string contents = TextData(40000);
	std::string stream = Deflated(contents);
	for (size_t i = 10; i < 30; i++)
		stream[i] = '\xff';
	std::string entry = Bytes().Group('FiDa').Bin('FiMF', stream, contents.size(), 2).End()
		.Data();
	MakeFile("target", "");
	BFile target("/boot/target", B_READ_WRITE);
	testing::internal::CaptureStderr();
	status_t result = Extract(entry, &target);
	std::string shown = testing::internal::GetCapturedStderr();
	EXPECT_EQ(result, -1);
	EXPECT_EQ(shown, "Compression data error.\n");
}

TEST_F(NodeExtractionTest, ProgressReportsEveryChunkOfContents)
{
	std::string contents = NoiseData(100000, 11);
	MakeFile("source", contents, {{"big", B_RAW_TYPE, NoiseData(3000)}});
	BFile source("/boot/source", B_READ_ONLY);

	// Writing reports the bytes taken from the file, attributes not.
	ProgressTarget writing;
	SPackData writer(writing.Messenger(), nullptr);
	StringIO entryIO;
	ASSERT_EQ(writer.AddNodeEntry(&entryIO, &source, B_FILE_NODE), B_OK);
	EXPECT_EQ(Sum(writing.Bytes()), (int64)contents.size());
	EXPECT_EQ(writing.Bytes().size(), 7u);	// 6 x 16384 + 1696

	// Reading reports the bytes written to disk, once per stored chunk.
	MakeFile("target", "");
	BFile target("/boot/target", B_READ_WRITE);
	ProgressTarget reading;
	ASSERT_EQ(Extract(entryIO.fData, &target, reading.Messenger()), B_OK);
	std::vector<int32> bytes = reading.Bytes();
	EXPECT_EQ(Sum(bytes), (int64)contents.size());
	EXPECT_GE(bytes.size(), 7u);
	EXPECT_EQ(ReadBoot("target"), contents);
}

TEST_F(NodeExtractionTest, ACanceledReplyStopsWithinOneChunk)
{
	std::string contents = NoiseData(200000, 13);
	MakeFile("source", contents, {{"attr", B_STRING_TYPE, "v"}});
	BFile source("/boot/source", B_READ_ONLY);
	std::string entry = EntryOf(&source, B_FILE_NODE);

	MakeFile("target", "");
	BFile target("/boot/target", B_READ_WRITE);
	ProgressTarget canceling(2);
	EXPECT_EQ(Extract(entry, &target, canceling.Messenger()), B_CANCELED);
	EXPECT_EQ(canceling.Bytes().size(), 2u);
	EXPECT_LT(ReadBoot("target").size(), contents.size());
	// The attributes after the contents were never reached.
	EXPECT_TRUE(AttributesOf(target).empty());

	// The reader reports to whichever messenger it was given last.
	SPackData data;
	EXPECT_EQ(data.UpdateProgress(10), B_OK);
	ProgressTarget fresh(1);
	data.SetProgressMessenger(fresh.Messenger());
	EXPECT_EQ(data.UpdateProgress(10), B_CANCELED);
	EXPECT_EQ(fresh.Bytes(), std::vector<int32>{10});
}

TEST_F(NodeExtractionTest, LinksAndBadFlavors)
{
	BDirectory boot("/boot");
	BSymLink link;
	ASSERT_EQ(boot.CreateSymLink("link", "somewhere", &link), B_OK);
	std::string entry = EntryOf(&link, B_SYMLINK_NODE);
	EXPECT_EQ(entry, Bytes().Group('LnDa').Group('FBeA').End().End().Data());
	BSymLink other;
	ASSERT_EQ(boot.CreateSymLink("other", "elsewhere", &other), B_OK);
	EXPECT_EQ(Extract(entry, &other), B_OK);

	// A link takes no attributes on this host: restoring them is no error.
	std::string withAttribute = Bytes().Group('LnDa').Group('FBeA').Group('BeAI')
		.String('BeAN', "a").Int32('BeAT', B_STRING_TYPE).Bin('BeAD', Deflated("v"), 1, 2)
		.End().End().End().Data();
	EXPECT_EQ(Extract(withAttribute, &other), B_OK);

	status_t status;
	MakeFile("file", "x");
	BNode notAFile("/boot/file");
	EntryOf(&notAFile, B_FILE_NODE, &status);
	EXPECT_EQ(status, B_BAD_VALUE);
	EntryOf(&notAFile, B_ANY_NODE, &status);
	EXPECT_EQ(status, B_BAD_VALUE);
}

TEST_F(NodeExtractionTest, TheReaderDeletesOnlyItsOwnCodec)
{
	// A codec set by someone else stays theirs.
	ZlCodec* mine = new ZlCodec;
	{
		SPackData data;
		EXPECT_EQ(data.CurrentCodec()->ID(), kZlibCodecID);
		data.SetCurrentCodec(mine);
	}
	std::string original = TextData(1000);
	StringIO out;
	EXPECT_EQ(mine->BeginDecode(), B_OK);
	std::string stream = Deflated(original);
	int32 length = stream.size();
	EXPECT_EQ(mine->DecodeBytes(&out, &length, reinterpret_cast<uint8*>(stream.data()), true),
		1000);
	EXPECT_EQ(out.fData, original);
	delete mine;
}
