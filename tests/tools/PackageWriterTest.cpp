// The package writers against the installer's readers: a tiny package byte
// for byte, round trips of every field, and pre-compressed file entries.

#include "HostFileIO.h"
#include "PackageFixture.h"

#include "ArcCatalog.h"
#include "ArchiveFileItem.h"
#include "ArchiveLinkItem.h"
#include "ArchivePatchItem.h"
#include "AttributeSectionWriter.h"
#include "CatalogWriter.h"
#include "FindItem.h"
#include "GroupList.h"
#include "PackAttrib.h"
#include "PackageWriter.h"
#include "SPackData.h"

#include <ByteOrder.h>
#include <MallocIO.h>
#include <MemoryIO.h>
#include <File.h>
#include <Node.h>

#include <cstring>

namespace {

void
append_int(Bytes& bytes, uint64 value, int32 width)
{
	for (int32 shift = (width - 1) * 8; shift >= 0; shift -= 8)
		bytes.push_back((uint8)(value >> shift));
}

// A record header as the package stores it.
void
append_header(Bytes& bytes, const char* tag, int16 count, uint8 type)
{
	bytes.insert(bytes.end(), tag, tag + 4);
	append_int(bytes, (uint16)count, 2);
	bytes.push_back(type);
}

void
append_number(Bytes& bytes, const char* tag, int64 value, int32 width)
{
	append_header(bytes, tag, width / 4, 1);
	append_int(bytes, (uint64)value, width);
}

Bytes
file_bytes(const std::string& hostPath)
{
	return read_host_file(hostPath);
}

// Varied data that compresses, long enough for several chunks.
std::string
sample_contents(size_t length)
{
	std::string text;
	uint32 state = 12345;
	while (text.size() < length) {
		state = state * 1103515245 + 12345;
		text += "line " + std::to_string(state % 1000) + " of the sample\n";
	}
	text.resize(length);
	return text;
}

} // namespace


class PackageWriterTest : public PackageTest {
protected:
	std::string HostPath(const char* path) { return fRoot.HostPath(path + 1); }
};


TEST_F(PackageWriterTest, TinyPackageByteForByte)
{
	{
		fRoot.WriteFile("boot/tiny.pkg", "");
		BFile output("/boot/tiny.pkg", B_READ_WRITE);
		PackageWriter writer;
		ASSERT_EQ(writer.SetTo(&output), B_OK);
		EXPECT_EQ(writer.Position(), 93);
		CatalogWriter catalog;
		catalog.Top()->fName = "top";
		ASSERT_EQ(writer.WriteCatalog(catalog), B_OK);
		AttributeSectionWriter attributes;
		ASSERT_EQ(writer.WriteAttributes(attributes), B_OK);
		int64 size = 0;
		ASSERT_EQ(writer.Finish(&size), B_OK);
		EXPECT_EQ(size, 285);
		EXPECT_EQ(output.Position(), 285) << "left at the end";
	}

	Bytes expected(kPHeader, kPHeader + 8);
	append_header(expected, "PhIn", 0, 4);            // 8
	append_number(expected, "FVer", 2, 4);            // 15
	append_number(expected, "AFla", 2, 8);            // 26
	append_number(expected, "FSiz", 285, 8);          // 41
	append_number(expected, "COff", 93, 8);           // 56
	append_number(expected, "AOff", 227, 8);          // 71
	append_int(expected, 0, 7);                       // 86: end
	ASSERT_EQ(expected.size(), 93u);
	// The catalog: the top folder's group, its fields, two end records.
	append_header(expected, "FldI", 0, 4);
	append_header(expected, "FDat", 0, 4);
	append_header(expected, "Name", 0, 2);
	append_int(expected, 3, 4);
	expected.insert(expected.end(), { 't', 'o', 'p' });
	append_number(expected, "OffT", -1, 8);
	append_number(expected, "Dest", -2, 4);
	append_number(expected, "Cust", 0, 4);
	append_number(expected, "Grps", 1, 4);
	append_number(expected, "Repl", 0, 4);
	append_number(expected, "CTim", 0, 4);
	append_number(expected, "MTim", 0, 4);
	append_number(expected, "Plat", -1, 4);
	append_int(expected, 0, 7);
	append_int(expected, 0, 7);
	ASSERT_EQ(expected.size(), 227u);
	// The attribute section: the switches are always there.
	append_header(expected, "PkgA", 0, 4);
	append_number(expected, "\0\0\0\x06", 1, 4);
	append_number(expected, "\0\0\0\x0C", 1, 4);
	append_number(expected, "\0\0\0\x10", 0, 4);
	append_number(expected, "\0\0\0\x13", 0, 4);
	append_int(expected, 0, 7);

	EXPECT_EQ(file_bytes(HostPath("/boot/tiny.pkg")), expected);

	std::unique_ptr<InstallPack> pack = OpenPackage(false, "/boot/tiny.pkg");
	ASSERT_NE(pack->fEntry, nullptr);
	EXPECT_EQ(pack->fCatalogOffset, 93);
	EXPECT_EQ(pack->fAttribOffset, 227);
}


TEST_F(PackageWriterTest, EveryFieldRoundTrips)
{
	std::string contents = sample_contents(100000);
	int64 fileOffset = -1, folderOffset = -1, linkOffset = -1;
	{
		fRoot.WriteFile("boot/round.pkg", "");
		BFile output("/boot/round.pkg", B_READ_WRITE);
		PackageWriter writer;
		ASSERT_EQ(writer.SetTo(&output, 1, 0x100000001LL), B_OK);

		BMemoryIO source(contents.data(), contents.size());
		std::vector<PackageWriter::Attribute> fileAttributes = {
			{ "BEOS:TYPE", 'MIMS', { 't', 'e', 'x', 't', '/', 'x', 0 } },
			{ "note", 'CSTR', Bytes(2000, 'n') },
			{ "empty", 'RAWT', {} },
		};
		ASSERT_EQ(writer.AddFileEntry(&source, fileAttributes, &fileOffset), B_OK);
		ASSERT_EQ(writer.AddFolderEntry({ { "color", 'LONG', { 1, 2, 3, 4 } } },
			&folderOffset), B_OK);
		ASSERT_EQ(writer.AddLinkEntry({}, &linkOffset), B_OK);
		EXPECT_EQ(fileOffset, 93);
		EXPECT_GT(folderOffset, fileOffset);

		CatalogWriter catalog;
		CatalogEntry* top = catalog.Top();
		top->fName = "Tool";
		top->fOffset = folderOffset;
		top->fDestIndex = -1;
		top->fGroups = 3;
		top->fReplaceOption = 6;
		top->fCreationTime = 10;
		top->fModificationTime = 11;
		top->fPlatform = 2;
		CatalogEntry* file = top->AddChild(kFileItemKind, "readme");
		file->fOffset = fileOffset;
		file->fSize = (int64)contents.size();
		file->fDestIndex = 1;
		file->fCustom = true;
		file->fGroups = 2;
		file->fReplaceOption = 8;
		file->fCreationTime = 1700000000;
		file->fModificationTime = 1700000001;
		file->fPlatform = 2;
		file->fMode = 0644;
		file->fMimeType = "text/x";
		const int32 version[5] = { 1, 2, 3, 4, 5 };
		memcpy(file->fVersion, version, sizeof(version));
		CatalogEntry* docs = top->AddChild(kFolderItemKind, "docs");
		EXPECT_EQ(file->AddChild(kFileItemKind), nullptr) << "only folders hold items";
		CatalogEntry* link = docs->AddChild(kLinkItemKind, "latest");
		link->fOffset = linkOffset;
		link->fLinkTarget = "../readme";
		link->fMode = 0755;
		CatalogEntry* script = docs->AddChild(kScriptItemKind, "setup.sh");
		script->fSize = 42;
		script->fReplaceOption = 9;
		CatalogEntry* patch = docs->AddChild(kPatchItemKind, "tool");
		patch->fOldSize = 5000000000LL;
		patch->fSize = 6000000000LL;
		patch->fMode = 0755;
		top->AddChild(kFileItemKind, "second");
		ASSERT_EQ(writer.WriteCatalog(catalog), B_OK);

		AttributeSectionWriter attributes;
		attributes.SetPackageName("Round Trip");
		attributes.SetDescription("Every field once.");
		attributes.SetAgreement("Agree to this.");
		attributes.SetAgreementStyles({ 'A', 'l', 'i', '!', 0, 0, 0, 0 });
		attributes.SetHelpText("Help for the package.");
		attributes.SetTopFolder(false);
		attributes.SetFolderChoice(false);
		attributes.SetPackageFlags(0x8 | 0x2);
		attributes.SetText14("t14");
		attributes.SetText15("t15");
		attributes.SetText17("t17");
		attributes.SetValue16(16);
		EXPECT_EQ(attributes.AddGroup("Base", "The base", ""), 0);
		EXPECT_EQ(attributes.AddGroup("Docs", "Documents", "Docs help"), 1);
		attributes.AddGroupRow(1);
		attributes.AddSeparatorRow();
		attributes.AddGroupRow(0);
		attributes.AddDefaultDestination("apps");
		attributes.AddDefaultDestination("config/add-ons", 1002);
		attributes.AddCustomPath("/boot/home");
		EXPECT_EQ(attributes.AddCustomQuery("Tool", 5000000000LL,
			"application/x-vnd.tool"), 1);
		ASSERT_EQ(writer.WriteAttributes(attributes), B_OK);
		ASSERT_EQ(writer.Finish(), B_OK);
	}

	std::unique_ptr<InstallPack> pack = OpenPackage(false, "/boot/round.pkg");
	ASSERT_NE(pack->fEntry, nullptr);
	EXPECT_EQ(pack->fArchiveFlags, 1);

	PackAttrib attrib;
	ASSERT_EQ(pack->NewReadAttributes(&attrib), B_OK);
	EXPECT_STREQ(attrib.fPackageName, "Round Trip");
	EXPECT_STREQ(attrib.fDescription, "Every field once.");
	EXPECT_EQ(std::string(attrib.fAgreementText, attrib.fAgreementLength),
		"Agree to this.");
	EXPECT_EQ(attrib.fAgreementStylesLength, 8u);
	EXPECT_STREQ(attrib.fHelpText, "Help for the package.");
	EXPECT_FALSE(attrib.fCreateTopFolder);
	EXPECT_FALSE(attrib.fFolderChoice);
	EXPECT_TRUE(attrib.fScriptFailure);
	EXPECT_TRUE(attrib.fOptionFlag1);
	EXPECT_FALSE(attrib.fOptionFlag2);
	EXPECT_STREQ(attrib.fText14, "t14");
	EXPECT_STREQ(attrib.fText15, "t15");
	EXPECT_STREQ(attrib.fText17, "t17");
	EXPECT_EQ(attrib.fValue16, 16);
	GroupList* groups = attrib.fGroupList;
	ASSERT_EQ(groups->CountGroups(), 2);
	EXPECT_STREQ(groups->GroupAt(0)->Name(), "Base");
	EXPECT_EQ(groups->GroupAt(0)->HelpText(), nullptr);
	EXPECT_STREQ(groups->GroupAt(1)->HelpText(), "Docs help");
	ASSERT_EQ(groups->CountRows(), 3);
	EXPECT_TRUE(groups->RowAt(1)->IsSeparator());
	EXPECT_EQ(groups->ViewIndexFor(1), 0);
	EXPECT_EQ(groups->ViewIndexFor(0), 1);
	ASSERT_EQ(attrib.fDefaultDestList->CountItems(), 2);
	EXPECT_EQ(attrib.fDefaultDestList->ItemAt(0)->fWhich, kNoSystemDirectory);
	EXPECT_STREQ(attrib.fDefaultDestList->ItemAt(1)->fPath, "config/add-ons");
	EXPECT_EQ(attrib.fDefaultDestList->ItemAt(1)->fWhich, 1002);
	ASSERT_EQ(attrib.fCustomDestList->CountItems(), 2);
	FindItem* query = dynamic_cast<FindItem*>(attrib.fCustomDestList->ItemAt(1));
	ASSERT_NE(query, nullptr);
	EXPECT_EQ(query->fSize, 5000000000LL);
	EXPECT_STREQ(query->PredicateAt(1), "BEOS:APP_SIG = application/x-vnd.tool");

	ArcCatalog catalog;
	ASSERT_EQ(catalog.Set(pack.get()), B_OK);
	ASSERT_EQ(catalog.Rewind(), B_OK);
	ArchiveItem* item;
	catalog.GetFolderData(&item);
	ASSERT_NE(item, nullptr);
	EXPECT_STREQ(item->fName, "Tool");
	EXPECT_EQ(item->fOffset, folderOffset);
	EXPECT_EQ(item->fDestIndex, -1);
	EXPECT_EQ(item->fGroups, 3u);
	EXPECT_EQ(item->fReplaceOption, 6);
	EXPECT_EQ(item->fCreationTime, 10);
	EXPECT_EQ(item->fModificationTime, 11);
	EXPECT_EQ(item->fPlatform, 2);

	ASSERT_EQ(catalog.GetFolderItemType(), kFileItemKind);
	catalog.GetItemData(&item, kFileItemKind);
	ArchiveFileItem* file = static_cast<ArchiveFileItem*>(item);
	EXPECT_STREQ(file->fName, "readme");
	EXPECT_EQ(file->fOffset, fileOffset);
	EXPECT_EQ(file->fSize, (int64)contents.size());
	EXPECT_EQ(file->fDestIndex, 1);
	EXPECT_TRUE(file->fCustom);
	EXPECT_EQ(file->fGroups, 2u);
	EXPECT_EQ(file->fReplaceOption, 8);
	EXPECT_EQ(file->fCreationTime, 1700000000);
	EXPECT_EQ(file->fModificationTime, 1700000001);
	EXPECT_EQ(file->fMode, 0644);
	EXPECT_STREQ(file->fMimeType, "text/x");
	EXPECT_EQ(file->fVersion[0], 1);
	EXPECT_EQ(file->fVersion[4], 5);

	ASSERT_EQ(catalog.GetFolderItemType(), kFolderItemKind);
	catalog.GetFolderData(&item);
	EXPECT_STREQ(item->fName, "docs");
	ASSERT_EQ(catalog.GetFolderItemType(), kLinkItemKind);
	catalog.GetItemData(&item, kLinkItemKind);
	EXPECT_STREQ(static_cast<ArchiveLinkItem*>(item)->fLinkTarget, "../readme");
	EXPECT_EQ(item->fMode, 0755);
	EXPECT_EQ(item->fOffset, linkOffset);
	ASSERT_EQ(catalog.GetFolderItemType(), kScriptItemKind);
	catalog.GetItemData(&item, kScriptItemKind);
	EXPECT_EQ(item->fSize, 42);
	EXPECT_EQ(item->fReplaceOption, 0) << "a script has no replace option";
	ASSERT_EQ(catalog.GetFolderItemType(), kPatchItemKind);
	catalog.GetItemData(&item, kPatchItemKind);
	EXPECT_EQ(static_cast<ArchivePatchItem*>(item)->fOldSize, 5000000000LL);
	EXPECT_EQ(item->fSize, 6000000000LL);
	EXPECT_EQ(catalog.GetFolderItemType(), 0);
	ASSERT_EQ(catalog.GetFolderItemType(), kFileItemKind);
	catalog.GetItemData(&item, kFileItemKind);
	EXPECT_STREQ(item->fName, "second");
	EXPECT_EQ(static_cast<ArchiveFileItem*>(item)->fMimeType, nullptr);
	EXPECT_EQ(catalog.GetFolderItemType(), 0);

	// The node data: contents and attributes.
	fRoot.WriteFile("boot/readme", "");
	BFile out("/boot/readme", B_READ_WRITE);
	ASSERT_EQ(pack->ExtractFile(&out, fileOffset), B_OK);
	EXPECT_EQ(fRoot.ReadFile("boot/readme"), contents);
	char type[32] = {};
	EXPECT_EQ(out.ReadAttr("BEOS:TYPE", 'MIMS', 0, type, sizeof(type)), 7);
	EXPECT_STREQ(type, "text/x");
	std::vector<char> note(4000);
	EXPECT_EQ(out.ReadAttr("note", 'CSTR', 0, note.data(), note.size()), 2000);
	EXPECT_EQ(note[1999], 'n');
	EXPECT_EQ(out.ReadAttr("empty", 'RAWT', 0, note.data(), note.size()), 0);
}


TEST_F(PackageWriterTest, PrecompressedEntryMatchesWrittenEntry)
{
	for (size_t length : { (size_t)0, (size_t)1, (size_t)20000, (size_t)300000 }) {
		std::string contents = sample_contents(length);
		for (char& c : contents) {
			// Less compressible, so the stream spans several chunks.
			c = (char)(c ^ (uint8)(std::hash<size_t>()(&c - contents.data()) & 0x3F));
		}
		std::vector<PackageWriter::Attribute> attributes = {
			{ "BEOS:TYPE", 'MIMS', { 'a', '/', 'b', 0 } } };

		// What WriteBin makes with the zlib codec, payload alone: S, U, the
		// codec ID, then the stream.
		BMallocIO bin;
		{
			SPackData encoder;
			BMemoryIO source(contents.data(), contents.size());
			off_t storedLimit = -1, sourceLimit = -1;
			int32 flags = 0;
			ASSERT_EQ(encoder.WriteBin(&bin, &source, &storedLimit, &sourceLimit,
				&flags, nullptr, kNoHeaderTag), B_OK);
		}
		const uint8* binBytes = static_cast<const uint8*>(bin.Buffer());
		int64 storedSize = (int64)read_bendian_uint64(binBytes);
		ASSERT_EQ(storedSize + 20, (int64)bin.BufferLength());
		BMemoryIO stream(binBytes + 20, storedSize);

		BMallocIO written, copied;
		PackageWriter writer;
		ASSERT_EQ(writer.SetTo(&written), B_OK);
		BMemoryIO source(contents.data(), contents.size());
		int64 offset = -1;
		ASSERT_EQ(writer.AddFileEntry(&source, attributes, &offset), B_OK);
		EXPECT_EQ(offset, 93);
		PackageWriter copier;
		ASSERT_EQ(copier.SetTo(&copied), B_OK);
		ASSERT_EQ(copier.AddCompressedFileEntry(&stream, storedSize,
			(int64)contents.size(), attributes, &offset), B_OK);
		EXPECT_EQ(offset, 93);

		ASSERT_EQ(written.BufferLength(), copied.BufferLength()) << length;
		EXPECT_EQ(memcmp(written.Buffer(), copied.Buffer(), written.BufferLength()), 0)
			<< length;

		// And the copy extracts to the contents.
		fRoot.WriteFile("boot/copy", "");
		BFile out("/boot/copy", B_READ_WRITE);
		SPackData reader;
		BMemoryIO entry(static_cast<const uint8*>(copied.Buffer()) + 93,
			copied.BufferLength() - 93);
		ASSERT_EQ(reader.ExtractNode(&entry, &out), B_OK);
		EXPECT_EQ(fRoot.ReadFile("boot/copy"), contents) << length;
	}
}


TEST_F(PackageWriterTest, NodesOfTheSystemRootAndMisuse)
{
	fRoot.WriteFile("boot/source", "node contents");
	BFile source("/boot/source", B_READ_WRITE);
	ASSERT_EQ(source.WriteAttr("remark", 'CSTR', 0, "hi", 3), 3);

	fRoot.WriteFile("boot/node.pkg", "");
	BFile output("/boot/node.pkg", B_READ_WRITE);
	PackageWriter writer;
	EXPECT_EQ(writer.Finish(), B_NO_INIT) << "nothing started";
	ASSERT_EQ(writer.SetTo(&output), B_OK);
	int64 offset = -1;
	ASSERT_EQ(writer.AddNodeEntry(&source, B_FILE_NODE, &offset), B_OK);
	EXPECT_EQ(offset, 93);
	EXPECT_EQ(writer.Finish(), B_NO_INIT) << "no catalog, no attributes yet";
	CatalogWriter catalog;
	CatalogEntry* file = catalog.Top()->AddChild(kFileItemKind, "copy");
	file->fOffset = offset;
	ASSERT_EQ(writer.WriteCatalog(catalog), B_OK);
	ASSERT_EQ(writer.WriteAttributes(AttributeSectionWriter()), B_OK);
	ASSERT_EQ(writer.Finish(), B_OK);
	output.Unset();

	std::unique_ptr<InstallPack> pack = OpenPackage(false, "/boot/node.pkg");
	ASSERT_NE(pack->fEntry, nullptr);
	ASSERT_FALSE(pack->SetFile());
	fRoot.WriteFile("boot/copy", "");
	BFile copy("/boot/copy", B_READ_WRITE);
	ASSERT_EQ(pack->ExtractFile(&copy, offset), B_OK);
	EXPECT_EQ(fRoot.ReadFile("boot/copy"), "node contents");
	char remark[8] = {};
	EXPECT_EQ(copy.ReadAttr("remark", 'CSTR', 0, remark, sizeof(remark)), 3);
	EXPECT_STREQ(remark, "hi");

	BMallocIO sink;
	PackageWriter bad;
	ASSERT_EQ(bad.SetTo(&sink), B_OK);
	std::vector<PackageWriter::Attribute> none;
	EXPECT_EQ(bad.AddCompressedFileEntry(nullptr, 1, 1, none, nullptr), B_BAD_VALUE);
	BMemoryIO tooShort("abc", 3);
	EXPECT_LT(bad.AddCompressedFileEntry(&tooShort, 10, 10, none, nullptr), B_OK)
		<< "a stream shorter than its stated size";
}
