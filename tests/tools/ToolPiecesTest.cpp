#include "ToolFixture.h"

#include "AtomicOutput.h"
#include "AttributeSectionWriter.h"
#include "CatalogWriter.h"
#include "FileRange.h"
#include "HostFile.h"
#include "InstallerWriter.h"
#include "PackageExtractor.h"
#include "PackageLister.h"
#include "PackageLocator.h"
#include "PackageVerifier.h"
#include "PackageWriter.h"

#include <Errors.h>
#include <MemoryIO.h>

namespace {

// A package with one file entry ("data") and one folder entry, whose
// catalog the caller fills.
template<typename Fill>
void
WriteWithCatalog(const std::string& path, Fill fill)
{
	HostFile file(path.c_str(), O_RDWR | O_CREAT | O_TRUNC);
	PackageWriter writer;
	ASSERT_EQ(writer.SetTo(&file), B_OK);
	BMemoryIO contents("data", 4);
	int64 fileOffset, folderOffset;
	ASSERT_EQ(writer.AddFileEntry(&contents, {}, &fileOffset), B_OK);
	ASSERT_EQ(writer.AddFolderEntry({}, &folderOffset), B_OK);
	CatalogWriter catalog;
	catalog.Top()->fName = "top";
	catalog.Top()->fOffset = folderOffset;
	fill(catalog.Top(), fileOffset, folderOffset);
	ASSERT_EQ(writer.WriteCatalog(catalog), B_OK);
	AttributeSectionWriter attributes;
	attributes.SetPackageName("Pieces");
	ASSERT_EQ(writer.WriteAttributes(attributes), B_OK);
	ASSERT_EQ(writer.Finish(), B_OK);
}

} // namespace


TEST(ToolPiecesTest, AtomicOutputAppearsOnlyWhenCommitted)
{
	ScratchDir dir;
	std::string path = dir / "out.bin";
	std::string error;
	{
		AtomicOutput output;
		ASSERT_EQ(output.SetTo(path.c_str(), &error), B_OK);
		ASSERT_EQ(output.File()->WriteFully("abc", 3), B_OK);
		EXPECT_FALSE(output.ScratchFolder().empty());
		EXPECT_TRUE(std::filesystem::is_directory(output.ScratchFolder()));
		EXPECT_FALSE(std::filesystem::exists(path));
	}
	EXPECT_TRUE(folder_names(dir.Path()).empty()) << "abandoned output left files";

	AtomicOutput output;
	ASSERT_EQ(output.SetTo(path.c_str(), &error), B_OK);
	output.File()->WriteFully("xyz", 3);
	std::string scratch = output.ScratchFolder();
	ASSERT_EQ(output.Commit(0751, &error), B_OK) << error;
	EXPECT_EQ(read_text(path), "xyz");
	struct stat st;
	ASSERT_EQ(stat(path.c_str(), &st), 0);
	EXPECT_EQ(st.st_mode & 07777, 0751u);
	EXPECT_FALSE(std::filesystem::exists(scratch));
	EXPECT_EQ(folder_names(dir.Path()), std::vector<std::string>{"out.bin"});

	AtomicOutput nowhere;
	EXPECT_LT(nowhere.SetTo((dir / "absent/out.bin").c_str(), &error), 0);
	EXPECT_NE(error.find(dir / "absent/out.bin"), std::string::npos);
}


TEST(ToolPiecesTest, FileRangeIsAReadOnlyWindow)
{
	BMemoryIO source("0123456789", 10);
	FileRange range(&source, 3, 4);
	char buffer[16] = {};
	EXPECT_EQ(range.ReadAt(0, buffer, sizeof(buffer)), 4);
	EXPECT_STREQ(buffer, "3456");
	EXPECT_EQ(range.ReadAt(3, buffer, 8), 1);
	EXPECT_EQ(buffer[0], '6');
	EXPECT_EQ(range.ReadAt(4, buffer, 8), 0);
	EXPECT_EQ(range.ReadAt(-1, buffer, 8), B_BAD_VALUE);
	EXPECT_EQ(range.WriteAt(0, "x", 1), B_NOT_ALLOWED);
	EXPECT_EQ(range.Seek(-1, SEEK_END), 3);
	EXPECT_EQ(range.Read(buffer, 8), 1);
	EXPECT_EQ(buffer[0], '6');
	EXPECT_EQ(range.Seek(-10, SEEK_CUR), B_BAD_VALUE);
	off_t size;
	ASSERT_EQ(range.GetSize(&size), B_OK);
	EXPECT_EQ(size, 4);
}


TEST(ToolPiecesTest, HostFileReadsAndWritesWholeBuffers)
{
	ScratchDir dir;
	HostFile file((dir / "f").c_str(), O_RDWR | O_CREAT);
	ASSERT_EQ(file.InitCheck(), B_OK);
	EXPECT_EQ(file.WriteAt(5, "hello", 5), 5);
	off_t size;
	ASSERT_EQ(file.GetSize(&size), B_OK);
	EXPECT_EQ(size, 10);
	char buffer[16] = {};
	EXPECT_EQ(file.ReadAt(5, buffer, 16), 5);
	EXPECT_STREQ(buffer, "hello");
	EXPECT_EQ(file.ReadAt(100, buffer, 4), 0);
	EXPECT_EQ(file.Seek(2, SEEK_END), 12);
	EXPECT_EQ(file.Seek(-20, SEEK_CUR), B_BAD_VALUE);
	EXPECT_EQ(file.Position(), 12);
	ASSERT_EQ(file.SetSize(3), B_OK);
	ASSERT_EQ(file.GetSize(&size), B_OK);
	EXPECT_EQ(size, 3);

	HostFile missing((dir / "none").c_str(), O_RDONLY);
	EXPECT_EQ(missing.InitCheck(), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(missing.ReadAt(0, buffer, 1), B_NO_INIT);
}


TEST(ToolPiecesTest, LocatorFindsStandAloneAndSelfExtractingPackages)
{
	ScratchDir dir;
	std::string package = dir / "p.pkg";
	WriteWithCatalog(package, [](CatalogEntry*, int64, int64) {});
	std::string error;
	PackageLocator locator;
	ASSERT_EQ(locator.SetTo(package.c_str(), &error), B_OK) << error;
	EXPECT_FALSE(locator.IsSelfExtracting());
	EXPECT_EQ(locator.Offset(), 0);

	std::string stub = dir / "stub";
	ASSERT_TRUE(make_stub_with_resources(stub));
	std::string installer = dir / "installer";
	off_t offset;
	ASSERT_EQ(InstallerWriter::Write(package.c_str(), installer.c_str(), stub.c_str(), &offset,
		&error), B_OK) << error;
	ASSERT_EQ(locator.SetTo(installer.c_str(), &error), B_OK) << error;
	EXPECT_TRUE(locator.IsSelfExtracting());
	EXPECT_EQ(locator.Offset(), offset);
	EXPECT_EQ(locator.FileSize(), offset + (off_t)read_text(package).size());

	write_text(dir / "junk", "neither");
	EXPECT_EQ(locator.SetTo((dir / "junk").c_str(), &error), B_BAD_DATA);
	EXPECT_NE(error.find("neither a package nor an installer"), std::string::npos);
	EXPECT_EQ(locator.SetTo((dir / "absent").c_str(), &error), B_ENTRY_NOT_FOUND);

	// An installer cut short inside its resources is no installer.
	std::string cut = read_text(installer).substr(0, offset - 1);
	write_text(dir / "cut", cut);
	EXPECT_EQ(locator.SetTo((dir / "cut").c_str(), &error), B_BAD_DATA);
}


TEST(ToolPiecesTest, VerifierChecksWhatTheCatalogPointsAt)
{
	ScratchDir dir;
	auto reason = [&](auto fill) {
		std::string path = dir / "v.pkg";
		WriteWithCatalog(path, fill);
		PackageVerifier verifier;
		return verifier.VerifyPath(path.c_str()) == B_OK ? std::string("OK")
			: verifier.Reason();
	};
	EXPECT_EQ(reason([](CatalogEntry* top, int64 file, int64) {
		CatalogEntry* item = top->AddChild(1, "f");
		item->fOffset = file;
		item->fSize = 4;
	}), "OK");
	EXPECT_NE(reason([](CatalogEntry* top, int64, int64 folder) {
		top->AddChild(1, "f")->fOffset = folder;
	}).find("the 'FilI' item's data is a 'FoDa' entry"), std::string::npos);
	EXPECT_NE(reason([](CatalogEntry* top, int64 file, int64) {
		CatalogEntry* item = top->AddChild(1, "f");
		item->fOffset = file;
		item->fSize = 5;
	}).find("the item's size 5 differs from its contents' 4"), std::string::npos);
	EXPECT_NE(reason([](CatalogEntry* top, int64 file, int64) {
		top->AddChild(2, "sub")->fOffset = file + 1;
	}).find("is not a node data entry"), std::string::npos);
	// Items without data are fine.
	EXPECT_EQ(reason([](CatalogEntry* top, int64, int64) {
		top->AddChild(4, "script")->fOffset = -1;
	}), "OK");
}


TEST(ToolPiecesTest, SafeNames)
{
	EXPECT_TRUE(PackageExtractor::IsSafeName("file"));
	EXPECT_TRUE(PackageExtractor::IsSafeName("..."));
	EXPECT_TRUE(PackageExtractor::IsSafeName(".hidden"));
	EXPECT_FALSE(PackageExtractor::IsSafeName(nullptr));
	EXPECT_FALSE(PackageExtractor::IsSafeName(""));
	EXPECT_FALSE(PackageExtractor::IsSafeName("."));
	EXPECT_FALSE(PackageExtractor::IsSafeName(".."));
	EXPECT_FALSE(PackageExtractor::IsSafeName("a/b"));
	EXPECT_FALSE(PackageExtractor::IsSafeName("/"));
	EXPECT_FALSE(PackageExtractor::IsSafeName(std::string(256, 'n').c_str()));
	EXPECT_TRUE(PackageExtractor::IsSafeName(std::string(255, 'n').c_str()));
}
