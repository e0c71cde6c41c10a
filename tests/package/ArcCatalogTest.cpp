// Walking the catalog: the traversal protocol, the fields of each kind, and
// catalogs that are unusual or damaged.

#include "PackageFixture.h"

#include "ArcCatalog.h"
#include "ArchiveFileItem.h"
#include "ArchiveFolderItem.h"
#include "ArchiveLinkItem.h"
#include "ArchivePatchItem.h"
#include "ArchiveScriptItem.h"

#include <ByteOrder.h>
#include <File.h>

#include <algorithm>

static const int64 kHeaderEnd = 93;

class ArcCatalogTest : public PackageTest {
protected:
	// Opens a package with `catalog` (and node data entries from
	// kHeaderEnd on) and sets the cursor on it.
	void SetUpCatalog(const Bytes& catalog, const Bytes& nodeData = Bytes())
	{
		fPack = Open(assemble_package(standard_header(), catalog,
			empty_attributes(), nodeData));
		ASSERT_NE(fPack->fEntry, nullptr) << fAlerts;
		ASSERT_FALSE(fPack->SetFile());
		ASSERT_EQ(fCatalog.Set(fPack.get()), B_OK);
	}

	// The whole walk as text: "name{child child[sub{...}]}". Stops after
	// a bounded number of steps, so a cursor that loops fails the test.
	std::string Walk()
	{
		if (fCatalog.Rewind() != B_OK)
			return "no top folder";
		fSteps = 0;
		return _VisitFolder();
	}

	std::unique_ptr<InstallPack> fPack;
	ArcCatalog fCatalog;

private:
	std::string _VisitFolder()
	{
		ArchiveItem* folder = nullptr;
		fCatalog.GetFolderData(&folder);
		std::string trace = folder != nullptr && folder->fName != nullptr
			? folder->fName : "?";
		trace += "{";
		int32 kind;
		while ((kind = fCatalog.GetFolderItemType()) != 0) {
			if (++fSteps > 1000)
				return trace + "...endless";
			if (kind == kFolderItemKind) {
				trace += "[" + _VisitFolder() + "]";
				continue;
			}
			ArchiveItem* item = nullptr;
			fCatalog.GetItemData(&item, kind);
			trace += std::to_string(kind) + ":"
				+ (item != nullptr && item->fName != nullptr ? item->fName : "?") + " ";
		}
		return trace + "}";
	}

	int32 fSteps = 0;
};


TEST_F(ArcCatalogTest, EmptyTopFolderEndsAtOnce)
{
	SetUpCatalog(empty_catalog());
	ASSERT_EQ(fCatalog.Rewind(), B_OK);
	ArchiveItem* top = nullptr;
	fCatalog.GetFolderData(&top);
	ASSERT_NE(top, nullptr);
	EXPECT_TRUE(top->IsFolder());
	EXPECT_STREQ(top->fName, "top");
	EXPECT_EQ(fCatalog.GetFolderItemType(), 0);
	EXPECT_EQ(fCatalog.GetFolderItemType(), 0) << "the end of the data ends it too";
}


TEST_F(ArcCatalogTest, FoldersFiveLevelsDeep)
{
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FilI').String('Name', "a").End()
		.Group('FldI').Group('FDat').String('Name', "l1").End()
			.Group('FldI').Group('FDat').String('Name', "l2").End()
				.Group('LnkI').String('Name', "b").End()
				.Group('FldI').Group('FDat').String('Name', "l3").End()
					.Group('FldI').Group('FDat').String('Name', "l4").End()
						.Group('FldI').Group('FDat').String('Name', "l5").End()
							.Group('ScrI').String('Name', "c").End()
						.End()
						.Group('PtcI').String('Name', "d").End()
					.End()
				.End()
				.Group('FilI').String('Name', "e").End()
			.End()
			.Group('FldI').Group('FDat').String('Name', "empty").End().End()
		.End()
		.Group('FilI').String('Name', "f").End()
		.End();
	SetUpCatalog(out.Data());
	EXPECT_EQ(Walk(), "top{1:a [l1{[l2{5:b [l3{[l4{[l5{4:c }]3:d }]}]1:e }]"
		"[empty{}]}]1:f }");
	// A second pass gives the same walk.
	EXPECT_EQ(Walk(), "top{1:a [l1{[l2{5:b [l3{[l4{[l5{4:c }]3:d }]}]1:e }]"
		"[empty{}]}]1:f }");
}


TEST_F(ArcCatalogTest, FileFieldsInAnyOrderWithUnknownRecords)
{
	uint8 version[20];
	const uint32 numbers[5] = { 3, 1, 4, 2, 7 };
	for (int32 index = 0; index < 5; index++)
		write_bendian_uint32(version + 4 * index, numbers[index]);
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FilI')
			.Buffer('VrsI', version, 20)
			.Int32('Mode', 0755)
			.String('Zzzz', "unknown")
			.Int32('Plat', 2)
			.Group('Nest').Int32('Name', 1).Group('Deep').End().End()
			.Int32('MTim', 1700000001)
			.Int32('CTim', 1700000000)
			.Int32('Repl', 3)
			.Header('Thre', kNumberRecord, 3).Raw("123456789012", 12)
			.Int32('Grps', 0x5)
			.Int32('Cust', 1)
			.Int32('Dest', 4)
			.String('Mime', "text/plain")
			.Int64('OrgS', 6000000000LL)
			.Int64('OffT', kHeaderEnd)
			.Int64('OldS', 99)
			.String('Link', "not a link's field")
			.String('Name', "readme")
		.End()
		.End();
	RecordBytes entry;
	entry.Group('FiDa').End();
	SetUpCatalog(out.Data(), entry.Data());
	ASSERT_EQ(fCatalog.Rewind(), B_OK);
	ArchiveItem* folder;
	fCatalog.GetFolderData(&folder);
	ASSERT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
	ArchiveItem* item = nullptr;
	fCatalog.GetItemData(&item, kFileItemKind);
	ArchiveFileItem* file = dynamic_cast<ArchiveFileItem*>(item);
	ASSERT_NE(file, nullptr);
	EXPECT_STREQ(file->fName, "readme");
	EXPECT_EQ(file->fOffset, kHeaderEnd);
	EXPECT_EQ(file->fSize, 6000000000LL);
	EXPECT_EQ(file->fDestIndex, 4);
	EXPECT_TRUE(file->fCustom);
	EXPECT_EQ(file->fGroups, 0x5u);
	EXPECT_EQ(file->fReplaceOption, 3);
	EXPECT_EQ(file->fCreationTime, 1700000000);
	EXPECT_EQ(file->fModificationTime, 1700000001);
	EXPECT_EQ(file->fPlatform, 2);
	EXPECT_EQ(file->fMode, 0755);
	EXPECT_STREQ(file->fMimeType, "text/plain");
	for (int32 index = 0; index < 5; index++)
		EXPECT_EQ(file->fVersion[index], (int32)numbers[index]) << index;
	EXPECT_EQ(fCatalog.GetFolderItemType(), 0);
}


TEST_F(ArcCatalogTest, EachKindReadsOnlyItsFields)
{
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").Int64('OrgS', 50)
			.Int32('Mode', 0700).Int32('Dest', -1).Int32('Repl', 6).End()
		.Group('ScrI').String('Name', "setup.sh").Int32('Repl', 5).Int32('CTim', 1)
			.Int32('MTim', 2).Int32('Mode', 0700).Int64('OrgS', 77).Int32('Plat', 2)
			.End()
		.Group('PtcI').String('Name', "tool").Int64('OldS', 4096).Int32('Repl', 4)
			.String('Mime', "application/x-vnd.tool").Int32('Mode', 0755).End()
		.Group('LnkI').String('Name', "latest").String('Link', "../tool")
			.Int64('OrgS', 7).String('Mime', "text/plain").End()
		.End();
	SetUpCatalog(out.Data());
	ASSERT_EQ(fCatalog.Rewind(), B_OK);

	ArchiveItem* folder;
	fCatalog.GetFolderData(&folder);
	ASSERT_NE(folder, nullptr);
	EXPECT_EQ(folder->fSize, 0) << "a folder reads no size";
	EXPECT_EQ(folder->fMode, 0777) << "nor a mode";
	EXPECT_EQ(folder->fDestIndex, -1);
	EXPECT_EQ(folder->fReplaceOption, 6);

	ArchiveItem* item;
	ASSERT_EQ(fCatalog.GetFolderItemType(), kScriptItemKind);
	fCatalog.GetItemData(&item, kScriptItemKind);
	ASSERT_NE(dynamic_cast<ArchiveScriptItem*>(item), nullptr);
	EXPECT_EQ(item->fReplaceOption, 0);
	EXPECT_EQ(item->fCreationTime, 0);
	EXPECT_EQ(item->fModificationTime, 0);
	EXPECT_EQ(item->fMode, 0777);
	EXPECT_EQ(item->fSize, 77);
	EXPECT_EQ(item->fPlatform, 2);

	ASSERT_EQ(fCatalog.GetFolderItemType(), kPatchItemKind);
	fCatalog.GetItemData(&item, kPatchItemKind);
	ArchivePatchItem* patch = dynamic_cast<ArchivePatchItem*>(item);
	ASSERT_NE(patch, nullptr);
	EXPECT_EQ(patch->fOldSize, 4096);
	EXPECT_EQ(patch->fReplaceOption, 0) << "a patch reads no replace option";
	EXPECT_EQ(patch->fMimeType, nullptr) << "nor a type";
	EXPECT_EQ(patch->fMode, 0755);

	ASSERT_EQ(fCatalog.GetFolderItemType(), kLinkItemKind);
	fCatalog.GetItemData(&item, kLinkItemKind);
	ArchiveLinkItem* link = dynamic_cast<ArchiveLinkItem*>(item);
	ASSERT_NE(link, nullptr);
	EXPECT_STREQ(link->fLinkTarget, "../tool");
	EXPECT_EQ(link->fSize, 7);
	EXPECT_EQ(fCatalog.GetFolderItemType(), 0);
}


TEST_F(ArcCatalogTest, ConsecutiveFilesShareOneItem)
{
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FilI').String('Name', "first").String('Mime', "text/plain")
			.Int32('Grps', 2).Int64('OrgS', 10).End()
		.Group('FilI').String('Name', "second").End()
		.End();
	SetUpCatalog(out.Data());
	ASSERT_EQ(fCatalog.Rewind(), B_OK);
	ArchiveItem* folder;
	fCatalog.GetFolderData(&folder);

	ArchiveItem* first;
	ASSERT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
	fCatalog.GetItemData(&first, kFileItemKind);
	EXPECT_STREQ(first->fName, "first");
	ArchiveItem* second;
	ASSERT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
	fCatalog.GetItemData(&second, kFileItemKind);
	EXPECT_EQ(first, second) << "the same object, refilled";
	EXPECT_STREQ(second->fName, "second");
	EXPECT_EQ(second->fGroups, 1u) << "back to the defaults";
	EXPECT_EQ(second->fSize, 0);
	EXPECT_EQ(second->fOffset, -1);
	EXPECT_EQ(second->fPlatform, -1);
	EXPECT_EQ(second->fDestIndex, -2);
	EXPECT_EQ(static_cast<ArchiveFileItem*>(second)->fMimeType, nullptr)
		<< "no type inherited from the file before";
}


TEST_F(ArcCatalogTest, UnknownItemGroupsAreSkippedWhole)
{
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FldI').Group('FDat').String('Name', "sub").End()
			.Group('NewI').String('Name', "future")
				.Group('FilI').String('Name', "inside").End()
				.End()
			.Group('FilI').String('Name', "kept").End()
			.Int32('Junk', 1)
		.End()
		.Group('FilI').String('Name', "after").End()
		.End();
	SetUpCatalog(out.Data());
	EXPECT_EQ(Walk(), "top{[sub{1:kept }]1:after }");
}


// Folders nested `levels` deep, the innermost holding one file.
static Bytes
nested_catalog(int32 levels)
{
	RecordBytes out;
	for (int32 level = 0; level < levels; level++)
		out.Group('FldI').Group('FDat').String('Name', level == 0 ? "top" : "d").End();
	out.Group('FilI').String('Name', "inner").End();
	for (int32 level = 0; level < levels; level++)
		out.End();
	return out.Data();
}


TEST_F(ArcCatalogTest, ADamagedCatalogIsRefusedWhenThePackageOpens)
{
	// A record of a type no reader knows, deep in the tree.
	RecordBytes unknownType;
	unknownType.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FldI').Group('FDat').String('Name', "a").End()
			.Group('FilI').String('Name', "x").Header('Grps', 11, 1).End()
			.Group('FilI').String('Name', "y").End()
		.End()
		.End();
	// The top folder closed early: what follows is the rest of the catalog,
	// not another part of the package.
	RecordBytes cutShort;
	cutShort.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FilI').String('Name', "kept").End()
		.End()
		.Group('FilI').String('Name', "lost").End()
		.End();
	// Item data offsets that are neither -1 nor a node data entry (8: the
	// package header).
	RecordBytes negativeOffset;
	negativeOffset.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FilI').String('Name', "x").Int64('OffT', -5).End()
		.End();
	RecordBytes offsetOfNoEntry;
	offsetOfNoEntry.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FilI').String('Name', "x").Int64('OffT', 8).End()
		.End();

	for (const Bytes& catalog : { unknownType.Data(), cutShort.Data(),
			negativeOffset.Data(), offsetOfNoEntry.Data() }) {
		std::unique_ptr<InstallPack> pack = Open(assemble_package(standard_header(),
			catalog, empty_attributes()));
		EXPECT_EQ(pack->fEntry, nullptr);
		EXPECT_EQ(fAlerts, "Invalid package file.\n");
	}

	// A catalog that ends with the package, inside a folder.
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FldI').Group('FDat').String('Name', "a").End()
			.Group('FilI').String('Name', "whole").End()
			.Group('FilI').String('Name', "cut");
	Bytes truncated = out.Data();
	truncated.resize(truncated.size() - 1);
	// The catalog last in the package, so that its data really ends: the
	// attribute section goes first, right after the header.
	HeaderWriter header = [](RecordBytes& out, int64 size, int64 catalog,
			int64) {
		standard_header()(out, size, catalog, kHeaderEnd);
	};
	fPack = Open(assemble_package(header, truncated, Bytes(), empty_attributes()));
	EXPECT_EQ(fPack->fEntry, nullptr);
	EXPECT_EQ(fAlerts, "Invalid package file.\n");
}


TEST_F(ArcCatalogTest, DamageMetDuringAWalkEndsItAtEveryLevel)
{
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FldI').Group('FDat').String('Name', "a").End()
			.Group('FldI').Group('FDat').String('Name', "b").End()
				.Group('FilI').String('Name', "whole").End()
				.Group('FilI').Int32('Grps', 1).String('Name', "damaged").End()
				.Group('FilI').String('Name', "after").End()
			.End()
			.Group('FilI').String('Name', "later").End()
		.End()
		.End();
	Bytes catalog = out.Data();
	SetUpCatalog(catalog);
	EXPECT_EQ(fCatalog.Status(), B_OK);

	// The package changes under the open package: the type of the 'Grps'
	// record becomes one no reader knows.
	Bytes package = assemble_package(standard_header(), catalog, empty_attributes());
	const uint8 grps[] = { 'G', 'r', 'p', 's' };
	auto at = std::search(package.begin(), package.end(), grps, grps + 4);
	ASSERT_NE(at, package.end());
	at[6] = 11;
	WritePackage(package);
	ASSERT_FALSE(fPack->SetFile());
	ASSERT_EQ(fCatalog.Set(fPack.get()), B_OK);

	EXPECT_EQ(Walk(), "top{[a{[b{1:whole 1:? }]}]}");
	EXPECT_EQ(fCatalog.Status(), kCatalogDamaged);
	EXPECT_EQ(fCatalog.GetFolderItemType(), 0) << "the walk stays ended";
}


TEST_F(ArcCatalogTest, FoldersNestOnlyAsDeepAsTheLimit)
{
	SetUpCatalog(nested_catalog(kMaxFolderDepth));
	ASSERT_EQ(fCatalog.Rewind(), B_OK);
	ArchiveItem* item = nullptr;
	fCatalog.GetFolderData(&item);
	int32 folders = 1;
	int32 kind;
	while ((kind = fCatalog.GetFolderItemType()) == kFolderItemKind) {
		fCatalog.GetFolderData(&item);
		folders++;
	}
	EXPECT_EQ(folders, kMaxFolderDepth);
	ASSERT_EQ(kind, kFileItemKind);
	fCatalog.GetItemData(&item, kind);
	EXPECT_STREQ(item->fName, "inner");
	EXPECT_EQ(fCatalog.Status(), B_OK);

	// One level more, or far more than a stack could recurse into: refused
	// as the package opens.
	for (int32 levels : { kMaxFolderDepth + 1, 30000 }) {
		std::unique_ptr<InstallPack> pack = Open(assemble_package(standard_header(),
			nested_catalog(levels), empty_attributes()));
		EXPECT_EQ(pack->fEntry, nullptr) << levels;
		EXPECT_EQ(fAlerts, "The package's folders are nested more than 256 levels deep. "
			"The package cannot be installed.\n") << levels;
	}
}


TEST_F(ArcCatalogTest, NamesAreKeptAsRead)
{
	std::string longName(300, 'n');
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FilI').String('Name', longName).End()
		.Group('FilI').String('Name', "a/b").End()
		.Group('FilI').String('Name', "..").End()
		.Group('FilI').Int32('Grps', 1).End()
		.Group('LnkI').String('Name', "l").String('Link', std::string(2000, 't')).End()
		.End();
	SetUpCatalog(out.Data());
	ASSERT_EQ(fCatalog.Rewind(), B_OK);
	ArchiveItem* item;
	fCatalog.GetFolderData(&item);

	ASSERT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
	fCatalog.GetItemData(&item, kFileItemKind);
	EXPECT_EQ(std::string(item->fName), longName);
	ASSERT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
	fCatalog.GetItemData(&item, kFileItemKind);
	EXPECT_STREQ(item->fName, "a/b");
	ASSERT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
	fCatalog.GetItemData(&item, kFileItemKind);
	EXPECT_STREQ(item->fName, "..");
	ASSERT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
	fCatalog.GetItemData(&item, kFileItemKind);
	EXPECT_EQ(item->fName, nullptr) << "no name of the item before";
	ASSERT_EQ(fCatalog.GetFolderItemType(), kLinkItemKind);
	fCatalog.GetItemData(&item, kLinkItemKind);
	EXPECT_EQ(strlen(static_cast<ArchiveLinkItem*>(item)->fLinkTarget), 2000u);
	EXPECT_EQ(fCatalog.GetFolderItemType(), 0);
}


TEST_F(ArcCatalogTest, VersionOfAnotherLengthIsIgnored)
{
	uint8 shortVersion[16] = { 0, 0, 0, 9 };
	uint8 longVersion[24] = { 0, 0, 0, 8 };
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FilI').Buffer('VrsI', shortVersion, 16).String('Name', "s").End()
		.Group('FilI').Buffer('VrsI', longVersion, 24).String('Name', "l").End()
		.End();
	SetUpCatalog(out.Data());
	ASSERT_EQ(fCatalog.Rewind(), B_OK);
	ArchiveItem* item;
	fCatalog.GetFolderData(&item);
	for (const char* name : { "s", "l" }) {
		ASSERT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
		fCatalog.GetItemData(&item, kFileItemKind);
		EXPECT_STREQ(item->fName, name) << "the stream stays in step";
		EXPECT_EQ(item->fVersion[0], 0);
	}
}


TEST_F(ArcCatalogTest, RewindAndFolderData)
{
	// A catalog that does not start with a folder is refused as the
	// package opens.
	RecordBytes notFolder;
	notFolder.Group('FilI').String('Name', "x").End();
	fPack = Open(assemble_package(standard_header(), notFolder.Data(), empty_attributes()));
	EXPECT_EQ(fPack->fEntry, nullptr);
	EXPECT_EQ(fAlerts, "Error, catalog read expected to find toplevel folder. "
		"The package cannot be installed.\n");

	// A folder without its 'FDat' group: no fields, its items still there.
	RecordBytes noData;
	noData.Group('FldI').Group('FilI').String('Name', "only").End().End();
	SetUpCatalog(noData.Data());
	ASSERT_EQ(fCatalog.Rewind(), B_OK);
	ArchiveItem* folder = reinterpret_cast<ArchiveItem*>(1);
	fCatalog.GetFolderData(&folder);
	EXPECT_EQ(folder, nullptr);
	EXPECT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
}


TEST_F(ArcCatalogTest, CatalogHandleIsItsOwn)
{
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End()
		.Group('FilI').String('Name', "one").End()
		.Group('FilI').String('Name', "two").End()
		.End();
	SetUpCatalog(out.Data());
	ASSERT_EQ(fCatalog.Rewind(), B_OK);
	ArchiveItem* item;
	fCatalog.GetFolderData(&item);
	ASSERT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
	fCatalog.GetItemData(&item, kFileItemKind);
	// The engine moves the package's handle between two catalog reads.
	fPack->fFile->Seek(0, SEEK_SET);
	ASSERT_EQ(fCatalog.GetFolderItemType(), kFileItemKind);
	fCatalog.GetItemData(&item, kFileItemKind);
	EXPECT_STREQ(item->fName, "two");

	EXPECT_EQ(fCatalog.Unset(), B_OK);
	EXPECT_EQ(fCatalog.Rewind(), B_ERROR);
	EXPECT_EQ(fCatalog.GetFolderItemType(), 0);

	fPack->ClearFile();
	ArcCatalog closed;
	EXPECT_EQ(closed.Set(fPack.get()), B_NO_INIT) << "the package must be open";
}
