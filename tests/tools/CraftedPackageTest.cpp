// Packages made with the writers directly, holding what the tool itself
// never writes: unsafe names, names that collide with links, damage.

#include "ToolFixture.h"

#include "ArcCatalog.h"
#include "AttributeSectionWriter.h"
#include "CatalogWriter.h"
#include "DoError.h"
#include "HostFile.h"
#include "InstallerWriter.h"
#include "InstallPack.h"
#include "PackAttrib.h"
#include "PackageAssembler.h"
#include "PackageExtractor.h"
#include "PackageLister.h"
#include "PackageVerifier.h"
#include "PackageWriter.h"
#include "StyleRuns.h"

#include <EntryRef.h>
#include <Errors.h>
#include <MemoryIO.h>
#include <Resources.h>

#include <algorithm>
#include <random>

namespace {

enum {
	kFile = 1,
	kFolder = 2,
	kLink = 5
};


struct crafted_item {
	int32 kind;
	std::string name;
	std::string target;
	std::vector<crafted_item> children;
};


void
AddItems(CatalogEntry* parent, const std::vector<crafted_item>& items, int64 fileOffset,
	int64 folderOffset, int64 linkOffset)
{
	for (const crafted_item& item : items) {
		CatalogEntry* entry = parent->AddChild(item.kind, item.name);
		ASSERT_NE(entry, nullptr);
		entry->fOffset = item.kind == kFile ? fileOffset
			: item.kind == kFolder ? folderOffset : linkOffset;
		entry->fSize = item.kind == kFile ? 4 : 0;
		entry->fMode = 0644;
		entry->fLinkTarget = item.target;
		AddItems(entry, item.children, fileOffset, folderOffset, linkOffset);
	}
}


// A package whose every file holds "data".
void
WritePackage(const std::string& path, const std::vector<crafted_item>& items)
{
	HostFile file(path.c_str(), O_RDWR | O_CREAT | O_TRUNC);
	ASSERT_EQ(file.InitCheck(), B_OK);
	PackageWriter writer;
	ASSERT_EQ(writer.SetTo(&file), B_OK);
	BMemoryIO contents("data", 4);
	int64 fileOffset, folderOffset, linkOffset;
	ASSERT_EQ(writer.AddFileEntry(&contents, {}, &fileOffset), B_OK);
	ASSERT_EQ(writer.AddFolderEntry({}, &folderOffset), B_OK);
	ASSERT_EQ(writer.AddLinkEntry({}, &linkOffset), B_OK);
	CatalogWriter catalog;
	catalog.Top()->fName = "top";
	catalog.Top()->fOffset = folderOffset;
	AddItems(catalog.Top(), items, fileOffset, folderOffset, linkOffset);
	ASSERT_EQ(writer.WriteCatalog(catalog), B_OK);
	AttributeSectionWriter attributes;
	attributes.SetPackageName("Crafted");
	attributes.AddGroup("All", "");
	ASSERT_EQ(writer.WriteAttributes(attributes), B_OK);
	ASSERT_EQ(writer.Finish(), B_OK);
}


bool
Contains(const std::vector<std::string>& problems, const std::string& text)
{
	return std::any_of(problems.begin(), problems.end(),
		[&](const std::string& problem) { return problem.find(text) != std::string::npos; });
}

} // namespace


TEST(CraftedPackageTest, ExtractRefusesUnsafeNamesAndNeverFollowsLinks)
{
	ScratchDir dir;
	std::string outside = dir / "outside";
	std::filesystem::create_directories(outside);
	std::string package = dir / "crafted.pkg";
	WritePackage(package, {
		{kFile, "../x", "", {}},
		{kFile, "a/b", "", {}},
		{kFile, ".", "", {}},
		{kFile, "", "", {}},
		{kFolder, "..", "", {{kFile, "escaped", "", {}}}},
		{kLink, "esc", outside, {}},
		{kFile, "esc", "", {}},
		{kFolder, "esc", "", {{kFile, "inside", "", {}}}},
		{kLink, "rel", "../../outside", {}},
		{kFolder, "rel", "", {{kFile, "through-rel", "", {}}}},
		{kFile, "ok", "", {}},
		{kFolder, "fine", "", {{kFile, "nested", "", {}}}},
	});
	PackageVerifier verifier;
	ASSERT_EQ(verifier.VerifyPath(package.c_str()), B_OK) << verifier.Reason();

	std::string out = dir / "out";
	PackageExtractor extractor;
	EXPECT_EQ(extractor.ExtractToHostFolder(package.c_str(), out.c_str()), B_ERROR);
	const std::vector<std::string>& problems = extractor.Problems();
	for (const char* refused : {"top/../x\": unsafe name", "top/a/b\": unsafe name",
			"top/.\": unsafe name", "top/\": unsafe name", "top/..\": unsafe name"}) {
		EXPECT_TRUE(Contains(problems, refused)) << refused;
	}
	EXPECT_TRUE(Contains(problems, "top/esc\": cannot create the file"));
	EXPECT_TRUE(Contains(problems, "top/esc\": cannot create the folder"));
	EXPECT_TRUE(Contains(problems, "top/rel\": cannot create the folder"));

	// Nothing reached the outside, through names or links.
	EXPECT_TRUE(folder_names(outside).empty());
	EXPECT_EQ(folder_names(dir.Path()), (std::vector<std::string>{"crafted.pkg", "out",
		"outside"}));
	EXPECT_EQ(folder_names(out), std::vector<std::string>{"top"});
	EXPECT_EQ(folder_names(out + "/top"),
		(std::vector<std::string>{"esc", "fine", "ok", "rel"}));
	char target[4096] = {};
	ASSERT_GT(readlink((out + "/top/esc").c_str(), target, sizeof(target)), 0);
	EXPECT_EQ(std::string(target), outside);
	EXPECT_EQ(read_text(out + "/top/ok"), "data");
	EXPECT_EQ(read_text(out + "/top/fine/nested"), "data");

	program_result result = run_tool("extract " + package + " " + (dir / "cli-out"));
	EXPECT_EQ(result.status, 1);
	EXPECT_NE(result.output.find("\"top/../x\": unsafe name refused"), std::string::npos)
		<< result.output;
	EXPECT_TRUE(folder_names(outside).empty());
}


TEST(CraftedPackageTest, VerifierFindsDamage)
{
	ScratchDir dir;
	std::string package = dir / "good.pkg";
	WritePackage(package, {{kFile, "one", "", {}}, {kFolder, "sub", "", {{kFile, "two", "", {}}}}});
	std::string bytes = read_text(package);
	PackageVerifier verifier;
	ASSERT_EQ(verifier.VerifyPath(package.c_str()), B_OK) << verifier.Reason();
	EXPECT_EQ(verifier.Summary().archiveSize, (int64)bytes.size());
	EXPECT_EQ(verifier.Summary().items, 4);
	EXPECT_EQ(verifier.Summary().entries, 3);

	auto verify = [&](const std::string& data) {
		std::string path = dir / "damaged.pkg";
		write_text(path, data);
		PackageVerifier damaged;
		status_t status = damaged.VerifyPath(path.c_str());
		return status == B_OK ? std::string("OK") : damaged.Reason();
	};

	EXPECT_EQ(verify(bytes + "trailing"), "OK");
	EXPECT_NE(verify(bytes.substr(0, bytes.size() - 1)).find("the package needs "
		+ std::to_string(bytes.size()) + " bytes, the file holds "
		+ std::to_string(bytes.size() - 1)), std::string::npos);

	std::string magic = bytes;
	magic[5] = '\r';
	EXPECT_NE(verify(magic).find("magic byte 5"), std::string::npos);

	// The file contents' bin starts right after the header group: its
	// entry header (7), 'FiMF' header (7), S, U, codec (20), then data.
	size_t data = PackageWriter::kHeaderEnd + 7 + 7 + 20;
	std::string corrupt = bytes;
	corrupt[data + 2] ^= 0x55;
	EXPECT_NE(verify(corrupt).find("at offset " + std::to_string(data - 27)),
		std::string::npos) << verify(corrupt);

	std::string wrongSize = bytes;
	wrongSize[data - 5] = 9;	// the low byte of U: 4 becomes 9
	EXPECT_NE(verify(wrongSize).find("decodes to 4 bytes, not 9"), std::string::npos)
		<< verify(wrongSize);

	std::string badType = bytes;
	badType[PackageWriter::kHeaderEnd + 6] = 9;
	EXPECT_NE(verify(badType).find("unknown record type 9"), std::string::npos);

	EXPECT_NE(verify("AlB").find("shorter than the 8-byte magic"), std::string::npos);
}


namespace {

// Alerts of the packages opened here go to standard error, where a test
// reads them.
class AlertsOnStandardError {
public:
	AlertsOnStandardError() { SetAlertSink(StandardErrorAlertSink()); }
	~AlertsOnStandardError() { SetAlertSink(nullptr); }
};


// Whether the installer opens the package at a host path; `alerts` gets
// what its alerts said.
bool
InstallerOpens(const std::string& path, std::string* alerts = nullptr)
{
	AlertsOnStandardError standardError;
	entry_ref ref;
	if (get_ref_for_host_path(path.c_str(), &ref) != B_OK)
		return false;
	testing::internal::CaptureStderr();
	bool opened = InstallPack(ref, false).fEntry != nullptr;
	std::string said = testing::internal::GetCapturedStderr();
	if (alerts != nullptr)
		*alerts = said;
	return opened;
}

} // namespace


TEST(CraftedPackageTest, CatalogsThatVerifyRejectsDoNotOpen)
{
	ScratchDir dir;
	std::string package = dir / "sound.pkg";
	WritePackage(package, {
		{kFile, "one", "", {}},
		{kFolder, "sub", "", {{kFile, "two", "", {}}, {kLink, "link", "one", {}},
			{kFolder, "empty", "", {}}}},
		{kLink, "last", "sub/two", {}},
	});
	const std::string bytes = read_text(package);
	entry_ref ref;
	ASSERT_EQ(get_ref_for_host_path(package.c_str(), &ref), B_OK);
	InstallPack sound(ref, false);
	ASSERT_NE(sound.fEntry, nullptr);
	const int64 catalogStart = sound.fCatalogOffset;
	const int64 catalogEnd = sound.fAttribOffset;
	ASSERT_LT(catalogStart, catalogEnd);

	// One byte of the catalog changed at a time, at random places, to a
	// random value or by one bit.
	std::mt19937 random(11);
	std::string mutated = dir / "mutated.pkg";
	int32 rejected = 0;
	for (int32 round = 0; round < 600; round++) {
		std::string damaged = bytes;
		size_t at = catalogStart + random() % (catalogEnd - catalogStart);
		damaged[at] = random() % 2 == 0 ? (char)random() : (char)(damaged[at] ^ (1 << random() % 8));
		write_text(mutated, damaged);
		PackageVerifier verifier;
		if (verifier.VerifyPath(mutated.c_str()) == B_OK)
			continue;
		// Sizes that disagree with the items' data leave the catalog whole:
		// that is the item's failure as it is written.
		if (verifier.Reason().find("differs from its contents") != std::string::npos)
			continue;
		rejected++;
		std::string alerts;
		EXPECT_FALSE(InstallerOpens(mutated, &alerts))
			<< "byte " << at << " = " << (int)(uint8)damaged[at] << ": " << verifier.Reason();
		EXPECT_NE(alerts, "") << "refused without a word";
	}
	EXPECT_GT(rejected, 100) << "the rounds hardly damaged anything";
}


TEST(CraftedPackageTest, FoldersDeeperThanTheLimitAreRefusedByEveryReader)
{
	// The top folder is the first level: `levels` folders in all.
	auto nested = [](int32 levels) {
		std::vector<crafted_item> items = {{kFile, "inner", "", {}}};
		for (int32 level = 1; level < levels; level++)
			items = {{kFolder, "d", "", items}};
		return items;
	};
	ScratchDir dir;
	std::string deepest = dir / "deepest.pkg";
	WritePackage(deepest, nested(kMaxFolderDepth));
	PackageVerifier verifier;
	EXPECT_EQ(verifier.VerifyPath(deepest.c_str()), B_OK) << verifier.Reason();
	EXPECT_TRUE(InstallerOpens(deepest));
	PackageLister lister;
	EXPECT_EQ(lister.Read(deepest.c_str()), B_OK) << lister.ErrorMessage();
	PackageExtractor extractor;
	EXPECT_EQ(extractor.ExtractToHostFolder(deepest.c_str(), (dir / "out").c_str()), B_OK);
	EXPECT_EQ(extractor.CountExtracted(), kMaxFolderDepth + 1);

	for (int32 levels : {kMaxFolderDepth + 1, 2000}) {
		SCOPED_TRACE(levels);
		std::string deeper = dir / "deeper.pkg";
		WritePackage(deeper, nested(levels));
		EXPECT_NE(verifier.VerifyPath(deeper.c_str()), B_OK);
		EXPECT_NE(verifier.Reason().find("folders nested more than 256 levels deep"),
			std::string::npos) << verifier.Reason();
		std::string alerts;
		EXPECT_FALSE(InstallerOpens(deeper, &alerts));
		EXPECT_EQ(alerts, "The package's folders are nested more than 256 levels deep. "
			"The package cannot be installed.\n");
		AlertsOnStandardError standardError;
		testing::internal::CaptureStderr();
		EXPECT_EQ(lister.Read(deeper.c_str()), B_BAD_DATA);
		EXPECT_EQ(lister.ErrorMessage(), deeper + ": not a usable package");
		EXPECT_EQ(extractor.ExtractToHostFolder(deeper.c_str(), (dir / "out2").c_str()),
			B_BAD_DATA);
		testing::internal::GetCapturedStderr();
		EXPECT_FALSE(std::filesystem::exists(dir / "out2/top"));
	}
}


TEST(CraftedPackageTest, InstallerCarriesThePackageBehindItsResources)
{
	ScratchDir dir;
	std::string package = dir / "p.pkg";
	WritePackage(package, {{kFile, "one", "", {}}});
	std::string stub = dir / "stub";
	ASSERT_TRUE(make_stub_with_resources(stub));
	std::string installer = dir / "installer";
	off_t offset = 0;
	std::string error;
	ASSERT_EQ(InstallerWriter::Write(package.c_str(), installer.c_str(), stub.c_str(), &offset,
		&error), B_OK) << error;
	struct stat st;
	ASSERT_EQ(stat(installer.c_str(), &st), 0);
	EXPECT_EQ(st.st_mode & 0111, 0111u) << "not executable";

	std::string bytes = read_text(installer);
	std::string packageBytes = read_text(package);
	ASSERT_EQ(bytes.size(), (size_t)offset + packageBytes.size());
	EXPECT_TRUE(bytes.compare(offset, std::string::npos, packageBytes) == 0);
	EXPECT_EQ(bytes.compare(0, 4, "\x7f" "ELF"), 0);

	entry_ref ref;
	ASSERT_EQ(get_ref_for_host_path(installer.c_str(), &ref), B_OK);
	BResources resources(&ref);
	ASSERT_EQ(resources.InitCheck(), B_OK);
	int32 stored = 0;
	ASSERT_EQ(resources.ReadResource('INsz', 0, &stored, 0, 4), 4);
	EXPECT_EQ((off_t)B_BENDIAN_TO_HOST_INT32(stored), offset);

	PackageVerifier verifier;
	EXPECT_EQ(verifier.VerifyPath(installer.c_str()), B_OK) << verifier.Reason();
	PackageLister lister;
	ASSERT_EQ(lister.Read(installer.c_str()), B_OK) << lister.ErrorMessage();
	EXPECT_EQ(lister.Description()["header"]["package offset"], offset);
	EXPECT_EQ(lister.Description()["attributes"]["name"], "Crafted");

	// An installer given as the package: only its package is carried over.
	std::string second = dir / "second";
	ASSERT_EQ(InstallerWriter::Write(installer.c_str(), second.c_str(), stub.c_str(), &offset,
		&error), B_OK) << error;
	EXPECT_EQ(read_text(second).substr(offset), packageBytes);

	// Stubs that cannot serve.
	std::string text = dir / "stub.txt";
	write_text(text, "#!/bin/sh\n");
	EXPECT_EQ(InstallerWriter::Write(package.c_str(), (dir / "x").c_str(), text.c_str(),
		nullptr, &error), B_BAD_TYPE);
	EXPECT_NE(error.find("not an executable program"), std::string::npos) << error;
	EXPECT_LT(InstallerWriter::Write(package.c_str(), (dir / "x").c_str(), "", nullptr,
		&error), 0);
	EXPECT_NE(error.find("--stub"), std::string::npos);
	EXPECT_FALSE(std::filesystem::exists(dir / "x"));

	program_result result = run_tool("sfx " + package + " -o " + (dir / "cli")
		+ " --stub " + stub);
	EXPECT_EQ(result.status, 0) << result.output;
	EXPECT_EQ(run_tool("verify " + (dir / "cli")).status, 0);
	result = run_tool("sfx " + package + " -o " + (dir / "nostub") + " --stub "
		+ (dir / "absent"));
	EXPECT_EQ(result.status, 1);
	EXPECT_NE(result.output.find(dir / "absent"), std::string::npos) << result.output;
	EXPECT_FALSE(std::filesystem::exists(dir / "nostub"));
}


TEST(CraftedPackageTest, AgreementStylesArriveAsWritten)
{
	ScratchDir dir;
	write_text(dir / "src/file", "x");
	write_text(dir / "pkg.json", R"({"name": "Styled", "source": "src",
		"agreement": {"text": "Terms and more terms", "styles": [
			{"offset": 0, "family": "Serif", "style": "Italic", "size": 10.5,
				"shear": 80, "face": 2, "color": [1, 2, 3, 4]},
			{"offset": 6, "family": "Mono"}]}})");
	std::string package = dir / "styled.pkg";
	std::string message;
	ASSERT_EQ(build_package((dir / "pkg.json").c_str(), nullptr, package.c_str(), &message),
		B_OK) << message;

	entry_ref ref;
	ASSERT_EQ(get_ref_for_host_path(package.c_str(), &ref), B_OK);
	InstallPack pack(ref, false);
	ASSERT_NE(pack.fEntry, nullptr);
	PackAttrib attrib;
	ASSERT_EQ(pack.NewReadAttributes(&attrib), B_OK);
	ASSERT_NE(attrib.fAgreementStyles, nullptr);
	ASSERT_EQ(attrib.fAgreementStylesLength, 12u + 2 * 148u);
	const uint8* bytes = (const uint8*)attrib.fAgreementStyles;
	const uint8 header[12] = {'A', 'l', 'i', '!', 0, 0, 0, 0, 0, 0, 0, 2};
	EXPECT_EQ(memcmp(bytes, header, 12), 0);
	const uint8* first = bytes + 12;
	EXPECT_EQ(memcmp(first + 4, "Serif", 6), 0);
	EXPECT_EQ(memcmp(first + 68, "Italic", 7), 0);
	// 10.5 is 0x41280000, 80 is 0x42A00000; face 2; colour 1 2 3 4.
	const uint8 tail[16] = {0x41, 0x28, 0, 0, 0x42, 0xA0, 0, 0, 0, 2, 1, 2, 3, 4, 0, 0};
	EXPECT_EQ(memcmp(first + 132, tail, 16), 0);
	const uint8* second = first + 148;
	const uint8 offset[4] = {0, 0, 0, 6};
	EXPECT_EQ(memcmp(second, offset, 4), 0);
	EXPECT_EQ(memcmp(second + 4, "Mono", 5), 0);
	ASSERT_NE(attrib.fAgreementText, nullptr);
	EXPECT_EQ(std::string(attrib.fAgreementText, attrib.fAgreementLength),
		"Terms and more terms");
}
