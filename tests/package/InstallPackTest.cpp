// Opening a package: the magic's diagnoses, the header, the size and
// version checks, and finding the stream of a self-extracting installer.

#include "PackageFixture.h"

#include "SPackData.h"

#include <ByteOrder.h>
#include <File.h>
#include <Node.h>
#include <Resources.h>

#include <cinttypes>
#include <cstring>
#include <fstream>

namespace {

const char* const kByteMessages[8] = {
	"Invalid package file.",
	"Invalid package file.",
	"Invalid package file.",
	"The package file is corrupt (control character stripping)",
	"The package file is corrupt (high-bit strippping)",
	"The package file is corrupt (newline conversion)",
	"The package file is corrupt (carriage return converstion",
	"The package file is corrupt (null stripping)"
};

Bytes
sound_package(const HeaderWriter& header = standard_header())
{
	return assemble_package(header, empty_catalog(), empty_attributes());
}

} // namespace


TEST_F(PackageTest, SoundPackageOpensWithItsOffsets)
{
	std::unique_ptr<InstallPack> pack = Open(sound_package());
	ASSERT_NE(pack->fEntry, nullptr) << fAlerts;
	EXPECT_EQ(fAlerts, "");
	EXPECT_EQ(pack->fDataOffset, 0);
	EXPECT_EQ(pack->fCatalogOffset, 93);
	EXPECT_EQ(pack->fAttribOffset, 93 + (int64)empty_catalog().size());
	EXPECT_EQ(pack->fArchiveFlags, 2);
	EXPECT_EQ(pack->fFile, nullptr) << "the constructor closes the file again";
	EXPECT_FALSE(pack->SetFile());
	EXPECT_NE(pack->fFile, nullptr);
	EXPECT_NE(pack->fPackData, nullptr);
	pack->ClearFile();
	EXPECT_EQ(pack->fFile, nullptr);
}


TEST_F(PackageTest, EachDamagedMagicByteHasItsDiagnosis)
{
	for (int32 index = 0; index < 8; index++) {
		uint8 magic[8];
		memcpy(magic, kPHeader, 8);
		magic[index] ^= 0x55;
		std::unique_ptr<InstallPack> pack = Open(assemble_package(
			standard_header(), empty_catalog(), empty_attributes(), Bytes(), magic));
		EXPECT_EQ(pack->fEntry, nullptr) << "byte " << index;
		EXPECT_TRUE(Contains(kByteMessages[index])) << "byte " << index << ": "
			<< fAlerts;
	}

	// Byte 7 as a newline: a newline was inserted after the carriage return.
	uint8 inserted[8];
	memcpy(inserted, kPHeader, 8);
	inserted[7] = 0x0A;
	std::unique_ptr<InstallPack> pack = Open(assemble_package(standard_header(),
		empty_catalog(), empty_attributes(), Bytes(), inserted));
	EXPECT_EQ(pack->fEntry, nullptr);
	EXPECT_TRUE(Contains("The package file is corrupt (newline insertion)")) << fAlerts;
	EXPECT_FALSE(Contains("null stripping"));

	// Bytes 6 and 7 both damaged: the first difference decides, once.
	uint8 both[8];
	memcpy(both, kPHeader, 8);
	both[6] = 0x0A;
	both[7] = 0x0A;
	pack = Open(assemble_package(standard_header(), empty_catalog(),
		empty_attributes(), Bytes(), both));
	EXPECT_EQ(pack->fEntry, nullptr);
	EXPECT_TRUE(Contains("carriage return converstion")) << fAlerts;
	EXPECT_FALSE(Contains("newline insertion"));
	EXPECT_EQ(fAlerts.find("corrupt"), fAlerts.rfind("corrupt")) << "one alert only";
}


TEST_F(PackageTest, FileShorterThanTheMagic)
{
	std::unique_ptr<InstallPack> pack = Open(Bytes(kPHeader, kPHeader + 5));
	EXPECT_EQ(pack->fEntry, nullptr);
	EXPECT_TRUE(Contains("Could not read complete file header (")) << fAlerts;
	EXPECT_FALSE(Contains("%s"));
}


TEST_F(PackageTest, SizeCheck)
{
	Bytes bytes = sound_package();
	Bytes longer = bytes;
	longer.push_back(0x42);
	std::unique_ptr<InstallPack> pack = Open(longer);
	EXPECT_NE(pack->fEntry, nullptr) << "one trailing byte is ignored: " << fAlerts;

	Bytes shorter(bytes.begin(), bytes.end() - 1);
	pack = Open(shorter);
	EXPECT_EQ(pack->fEntry, nullptr);
	EXPECT_TRUE(Contains("The archive data size is incorrect.")) << fAlerts;
	char sizes[96];
	snprintf(sizes, sizeof(sizes), "(%zu expected, %zu current)", bytes.size(),
		shorter.size());
	EXPECT_TRUE(Contains(sizes)) << fAlerts;
}


TEST_F(PackageTest, SizesAreSixtyFourBits)
{
	// A package that claims 5 GB: the sizes are printed whole.
	std::unique_ptr<InstallPack> pack = Open(sound_package(
		standard_header(2, 2, 5000000000LL)));
	EXPECT_EQ(pack->fEntry, nullptr);
	char expected[64];
	snprintf(expected, sizeof(expected), "(%" PRId64 " expected,",
		(int64)(sound_package().size() + 5000000000LL));
	EXPECT_TRUE(Contains(expected)) << fAlerts;
}


TEST_F(PackageTest, FormatVersions)
{
	for (int32 version : { 1, 2 }) {
		std::unique_ptr<InstallPack> pack = Open(sound_package(standard_header(version)));
		EXPECT_NE(pack->fEntry, nullptr) << "version " << version << ": " << fAlerts;
	}
	for (int32 version : { 3, 0, 0xFFFF }) {
		std::unique_ptr<InstallPack> pack = Open(sound_package(standard_header(version)));
		EXPECT_EQ(pack->fEntry, nullptr) << "version " << version;
		EXPECT_TRUE(Contains("This package file contains a newer format than is "
			"supported by this version of Kestrovan.  Please upgrade to the latest "
			"version of Kestrovan and then try to install this package again."))
			<< fAlerts;
	}
}


TEST_F(PackageTest, HeaderRecordsInAnyOrderWithUnknownRecords)
{
	HeaderWriter shuffled = [](RecordBytes& out, int64 size, int64 catalog,
			int64 attributes) {
		out.Group(kPackageHeaderTag)
			.Int64(kAttributeOffsetTag, attributes)
			.String('Note', "skipped")
			.Int64(kCatalogOffsetTag, catalog)
			.Group('Xtra').Int32('FVer', 99).Group('Deep').End().End()
			.Header('Wide', kNumberRecord, 3).Raw("123456789012", 12)
			.Int64(kArchiveSizeTag, size)
			.Int64(kArchiveFlagsTag, 0x100000003LL)
			.Int32(kFormatVersionTag, 1)
			.End();
	};
	std::unique_ptr<InstallPack> pack = Open(sound_package(shuffled));
	ASSERT_NE(pack->fEntry, nullptr) << fAlerts;
	EXPECT_EQ(pack->fArchiveFlags, 3) << "the low 32 bits of the flags";
	RecordBytes probe;
	shuffled(probe, 0, 0, 0);
	EXPECT_EQ(pack->fCatalogOffset, 8 + (int64)probe.Size());
}


TEST_F(PackageTest, MalformedHeadersFailWithoutAMessage)
{
	const int32 required[] = { kFormatVersionTag, kArchiveSizeTag,
		kCatalogOffsetTag, kAttributeOffsetTag };
	for (int32 missing : required) {
		HeaderWriter header = [missing](RecordBytes& out, int64 size,
				int64 catalog, int64 attributes) {
			out.Group(kPackageHeaderTag);
			if (missing != kFormatVersionTag)
				out.Int32(kFormatVersionTag, 2);
			if (missing != kArchiveSizeTag)
				out.Int64(kArchiveSizeTag, size);
			if (missing != kCatalogOffsetTag)
				out.Int64(kCatalogOffsetTag, catalog);
			if (missing != kAttributeOffsetTag)
				out.Int64(kAttributeOffsetTag, attributes);
			out.End();
		};
		std::unique_ptr<InstallPack> pack = Open(sound_package(header));
		EXPECT_EQ(pack->fEntry, nullptr) << "without " << std::string((char*)&missing, 4);
		EXPECT_EQ(fAlerts, "");
	}

	// Without archive flags the package is sound: no flag is set.
	HeaderWriter noFlags = [](RecordBytes& out, int64 size, int64 catalog,
			int64 attributes) {
		out.Group(kPackageHeaderTag).Int32(kFormatVersionTag, 2)
			.Int64(kArchiveSizeTag, size).Int64(kCatalogOffsetTag, catalog)
			.Int64(kAttributeOffsetTag, attributes).End();
	};
	std::unique_ptr<InstallPack> pack = Open(sound_package(noFlags));
	ASSERT_NE(pack->fEntry, nullptr);
	EXPECT_EQ(pack->fArchiveFlags, 0);

	// The first record is not the header group.
	HeaderWriter notAGroup = [](RecordBytes& out, int64, int64, int64) {
		out.Int32(kPackageHeaderTag, 2);
	};
	pack = Open(sound_package(notAGroup));
	EXPECT_EQ(pack->fEntry, nullptr);
	EXPECT_EQ(fAlerts, "");

	// A version written as a 64-bit number would put the reader out of step.
	HeaderWriter wideVersion = [](RecordBytes& out, int64 size, int64 catalog,
			int64 attributes) {
		out.Group(kPackageHeaderTag).Int64(kFormatVersionTag, 2)
			.Int64(kArchiveSizeTag, size).Int64(kCatalogOffsetTag, catalog)
			.Int64(kAttributeOffsetTag, attributes).End();
	};
	pack = Open(sound_package(wideVersion));
	EXPECT_EQ(pack->fEntry, nullptr);

	// An offset past the end of the package.
	pack = Open(sound_package([](RecordBytes& out, int64 size, int64 catalog,
			int64) {
		standard_header()(out, size, catalog, size + 100);
	}));
	EXPECT_EQ(pack->fEntry, nullptr);

	// A header cut off before its end record.
	Bytes cut = sound_package();
	cut.resize(60);
	pack = Open(cut);
	EXPECT_EQ(pack->fEntry, nullptr);
	EXPECT_EQ(fAlerts, "");
}


TEST_F(PackageTest, MissingPackageFile)
{
	// An entry whose folder does not exist cannot be initialised.
	entry_ref ref(1, 999999999, "nothing.pkg");
	testing::internal::CaptureStderr();
	InstallPack pack(ref, false);
	fAlerts = testing::internal::GetCapturedStderr();
	EXPECT_EQ(pack.fEntry, nullptr);
	EXPECT_TRUE(Contains("Could not find specified package file.")) << fAlerts;
}


TEST_F(PackageTest, SelfExtractingInstallerFoundThroughItsSizeResource)
{
	// The installer: a program's image, its resources with the size
	// resource, then the package.
	Bytes package = sound_package();
	std::string stubBytes;
	{
		std::ifstream stream("/bin/true", std::ios::binary);
		stubBytes.assign(std::istreambuf_iterator<char>(stream), {});
	}
	ASSERT_FALSE(stubBytes.empty());
	fRoot.WriteFile("boot/stub", stubBytes);
	{
		BFile stub("/boot/stub", B_READ_ONLY);
		BFile output("/boot/Installer", B_READ_WRITE | B_CREATE_FILE);
		BMemoryIO payload(package.data(), package.size());
		BResources resources(&stub, false);
		ASSERT_EQ(resources.InitCheck(), B_OK);
		off_t payloadOffset = -1;
		ASSERT_EQ(write_executable_with_resources(&stub, &resources, &payload,
			&output, kSizeResourceType, kSizeResourceID, &payloadOffset), B_OK);
		ASSERT_GT(payloadOffset, (off_t)stubBytes.size());

		testing::internal::CaptureStderr();
		std::unique_ptr<InstallPack> pack = OpenPackage(true, "/boot/Installer");
		fAlerts = testing::internal::GetCapturedStderr();
		ASSERT_NE(pack->fEntry, nullptr) << fAlerts;
		EXPECT_EQ(pack->fDataOffset, payloadOffset);
		EXPECT_EQ(pack->fCatalogOffset, payloadOffset + 93);
	}

	// The same file taken as a stand-alone package starts with a program.
	testing::internal::CaptureStderr();
	std::unique_ptr<InstallPack> pack = OpenPackage(false, "/boot/Installer");
	fAlerts = testing::internal::GetCapturedStderr();
	EXPECT_EQ(pack->fEntry, nullptr);
	EXPECT_TRUE(Contains("Invalid package file.")) << fAlerts;

	// A stand-alone package has no size resource to be found.
	WritePackage(package);
	testing::internal::CaptureStderr();
	pack = OpenPackage(true);
	fAlerts = testing::internal::GetCapturedStderr();
	EXPECT_EQ(pack->fEntry, nullptr);
	EXPECT_TRUE(Contains("Could not read the size resource.")) << fAlerts;
}


TEST_F(PackageTest, ExtractFileReadsEntriesRelativeToThePackageStart)
{
	// A package preceded by 1000 bytes of something else, its start given
	// by a size resource in a plain resource file.
	RecordBytes entry;
	entry.Group('FiDa').Bin('FiMF', std::string("contents of the file"))
		.Group('FBeA').End().End();
	Bytes package = assemble_package(standard_header(), empty_catalog(),
		empty_attributes(), entry.Data());

	fRoot.WriteFile("boot/Installer", "");
	off_t start;
	{
		BFile file("/boot/Installer", B_READ_WRITE);
		BResources resources(&file, true);
		uint8 value[4] = { 0, 0, 0, 0 };
		ASSERT_EQ(resources.AddResource(kSizeResourceType, kSizeResourceID,
			value, 4), B_OK);
		ASSERT_EQ(resources.AddResource('DATA', 7, std::string(1000, 'x').data(),
			1000), B_OK);
		start = resources.FlattenedSize();
		write_bendian_uint32(value, (uint32)start);
		ASSERT_EQ(resources.WriteResource(kSizeResourceType, kSizeResourceID,
			value, 0, 4), B_OK);
		ASSERT_EQ(resources.Sync(), B_OK);
		ASSERT_EQ(file.WriteAt(start, package.data(), package.size()),
			(ssize_t)package.size());
	}

	testing::internal::CaptureStderr();
	std::unique_ptr<InstallPack> pack = OpenPackage(true, "/boot/Installer");
	fAlerts = testing::internal::GetCapturedStderr();
	ASSERT_NE(pack->fEntry, nullptr) << fAlerts;
	EXPECT_EQ(pack->fDataOffset, start);

	fRoot.WriteFile("boot/out", "old contents that are longer than the new");
	BFile out("/boot/out", B_READ_WRITE);
	EXPECT_EQ(pack->ExtractFile(&out, 93), B_NO_INIT) << "needs SetFile()";
	ASSERT_FALSE(pack->SetFile());
	EXPECT_EQ(pack->ExtractFile(&out, 93), B_OK);
	EXPECT_EQ(fRoot.ReadFile("boot/out"), "contents of the file");
}


TEST_F(PackageTest, SizeResourceThatHoldsNoUsableOffset)
{
	struct { Bytes value; const char* alert; } cases[] = {
		// Two bytes are no offset.
		{ { 0, 0 }, "Could not read the size resource." },
		// An offset before the start of the file.
		{ { 0xFF, 0xFF, 0xFF, 0xF0 }, "Could not read complete file header (" },
		// An offset past its end.
		{ { 0x00, 0x10, 0x00, 0x00 }, "Could not read complete file header (" },
	};
	for (const auto& sizeCase : cases) {
		fRoot.WriteFile("boot/Installer", "");
		{
			BFile file("/boot/Installer", B_READ_WRITE);
			BResources resources(&file, true);
			ASSERT_EQ(resources.AddResource(kSizeResourceType, kSizeResourceID,
				sizeCase.value.data(), sizeCase.value.size()), B_OK);
			ASSERT_EQ(resources.Sync(), B_OK);
		}
		testing::internal::CaptureStderr();
		std::unique_ptr<InstallPack> pack = OpenPackage(true, "/boot/Installer");
		fAlerts = testing::internal::GetCapturedStderr();
		EXPECT_EQ(pack->fEntry, nullptr);
		EXPECT_TRUE(Contains(sizeCase.alert)) << fAlerts;
	}
}
