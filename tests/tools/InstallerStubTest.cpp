#include "ToolFixture.h"

#include "InstallerWriter.h"
#include "PackageAssembler.h"
#include "PackageLocator.h"

#include <Errors.h>

#include <SanitizerBuild.h>

#include <elf.h>

#include <algorithm>

namespace {

// The names of the sections of a 64-bit ELF file; empty when it is none.
std::vector<std::string>
SectionNames(const std::string& path)
{
	std::string bytes = read_text(path);
	std::vector<std::string> names;
	Elf64_Ehdr header;
	if (bytes.size() < sizeof(header))
		return names;
	memcpy(&header, bytes.data(), sizeof(header));
	if (memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64
		|| header.e_shstrndx >= header.e_shnum
		|| header.e_shoff + (uint64)header.e_shnum * sizeof(Elf64_Shdr) > bytes.size())
		return names;
	std::vector<Elf64_Shdr> sections(header.e_shnum);
	memcpy(sections.data(), bytes.data() + header.e_shoff,
		sections.size() * sizeof(Elf64_Shdr));
	const Elf64_Shdr& strings = sections[header.e_shstrndx];
	for (const Elf64_Shdr& section : sections) {
		if (strings.sh_offset + section.sh_name < bytes.size())
			names.push_back(bytes.c_str() + strings.sh_offset + section.sh_name);
	}
	return names;
}


bool
Contains(const std::vector<std::string>& names, const char* name)
{
	return std::find(names.begin(), names.end(), name) != names.end();
}


class InstallerStubTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		write_text(fDir / "src/file", "contents");
		write_text(fDir / "pkg.json", R"({"name": "Stubbed", "source": "src"})");
		fPackage = fDir / "stubbed.pkg";
		std::string message;
		ASSERT_EQ(build_package((fDir / "pkg.json").c_str(), nullptr, fPackage.c_str(),
			&message), B_OK) << message;
	}

	ScratchDir fDir;
	std::string fPackage;
};

} // namespace


TEST_F(InstallerStubTest, StubWithoutTheInstallersResourcesIsRefused)
{
	std::string output = fDir / "installer";
	std::string error;
	// A plain program: every resource is named as missing.
	EXPECT_EQ(InstallerWriter::Write(fPackage.c_str(), output.c_str(), "/bin/true", nullptr,
		&error), B_BAD_DATA);
	EXPECT_NE(error.find("not a usable stub"), std::string::npos) << error;
	for (const program_resource& resource : kProgramResources)
		EXPECT_NE(error.find(resource.name), std::string::npos) << error;
	EXPECT_FALSE(std::filesystem::exists(output));

	// All but the question mark: only that one is named.
	std::vector<program_resource> allButLast(std::begin(kProgramResources),
		std::end(kProgramResources) - 1);
	ASSERT_STREQ(std::end(kProgramResources)[-1].name, kQuestionMarkName);
	std::string partial = fDir / "partial-stub";
	ASSERT_TRUE(make_stub_with_resources(partial, allButLast));
	EXPECT_EQ(InstallerWriter::Write(fPackage.c_str(), output.c_str(), partial.c_str(),
		nullptr, &error), B_BAD_DATA);
	EXPECT_NE(error.find("\"question\""), std::string::npos) << error;
	EXPECT_EQ(error.find("\"yellowicon\""), std::string::npos) << error;
	EXPECT_FALSE(std::filesystem::exists(output));

	// Resources named right but of another type do not count.
	std::vector<program_resource> wrongType(std::begin(kProgramResources),
		std::end(kProgramResources));
	wrongType.back().type = kIconResourceType;
	ASSERT_TRUE(make_stub_with_resources(partial, wrongType));
	EXPECT_EQ(InstallerWriter::CheckStub(partial.c_str(), &error), B_BAD_DATA);

	// The command says why and writes nothing.
	program_result result = run_tool("sfx " + fPackage + " -o " + output + " --stub /bin/true");
	EXPECT_EQ(result.status, 1) << result.output;
	EXPECT_NE(result.output.find("/bin/true: not a usable stub"), std::string::npos)
		<< result.output;
	EXPECT_FALSE(std::filesystem::exists(output));

	// With every resource the same program serves.
	std::string whole = fDir / "whole-stub";
	ASSERT_TRUE(make_stub_with_resources(whole));
	result = run_tool("sfx " + fPackage + " -o " + output + " --stub " + whole);
	EXPECT_EQ(result.status, 0) << result.output;
	EXPECT_EQ(run_tool("verify " + output).status, 0);
}


TEST(BuiltStubTest, StrippedWithItsResourcesAndTheDefault)
{
	std::string error;
	EXPECT_EQ(InstallerWriter::CheckStub(KESTROVAN_INSTALLER_STUB, &error), B_OK) << error;
	std::vector<std::string> sections = SectionNames(KESTROVAN_INSTALLER_STUB);
	ASSERT_TRUE(Contains(sections, ".text")) << "not read as an ELF file";
	EXPECT_FALSE(Contains(sections, ".symtab"));
	EXPECT_FALSE(Contains(sections, ".debug_info"));

	// The tests live beside the tool in the build: the default is the stub,
	// not the whole installer program built in the same folder.
	std::string found = InstallerWriter::DefaultStub(nullptr);
	ASSERT_FALSE(found.empty());
	EXPECT_EQ(std::filesystem::canonical(found),
		std::filesystem::canonical(KESTROVAN_INSTALLER_STUB));
}


TEST(BuiltStubTest, SampleInstallerIsTheStubAndItsWholePackage)
{
	PackageLocator locator;
	std::string error;
	ASSERT_EQ(locator.SetTo(KESTROVAN_SAMPLE_INSTALLER, &error), B_OK) << error;
	ASSERT_TRUE(locator.IsSelfExtracting());
	EXPECT_EQ(locator.FileSize() - locator.Offset(),
		(off_t)std::filesystem::file_size(KESTROVAN_SAMPLE_PACKAGE));
	EXPECT_EQ(InstallerWriter::CheckStub(KESTROVAN_SAMPLE_INSTALLER, &error), B_OK) << error;
	if (built_with_sanitizers())
		GTEST_SKIP() << "instrumented programs are larger; the size is that of a plain build";
	EXPECT_LE(locator.Offset(), 2 * 1024 * 1024) << "the program part of the sample installer";
}
