// A package made by the package tool, installed by the real program,
// unattended: every file arrives byte for byte, whichever way the tool
// compressed it (whole in memory, or streamed for a file beyond the tool's
// buffer bound), empty files and files at and around the bound included.
// The build uses a small bound of its own, so that the files stay small.

#include <ProgramRun.h>
#include <ScratchDir.h>

#include "PackageAssembler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;


std::string
ReadAll(const std::string& path)
{
	std::ifstream stream(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(stream), {});
}


// Compressible but never the same stretch twice in a row, as real files.
std::string
MakeContents(size_t size, uint32 seed)
{
	std::mt19937 random(seed);
	std::string contents(size, '\0');
	for (size_t i = 0; i < size; i++) {
		contents[i] = (i / 16) % 3 == 0 ? (char)random()
			: "int main(void) { return 0; }\n"[i % 29];
	}
	return contents;
}

} // namespace


TEST(BuiltPackageInstallTest, EveryFileInstallsByteForByte)
{
	ScratchDir scratch;
	std::string root = scratch / "root";
	std::filesystem::create_directories(root + "/boot");
	std::string source = scratch / "source";
	const size_t bound = 1024 * 1024;
	std::map<std::string, std::string> files = {
		{"empty", ""},
		{"one", "1"},
		{"folder/empty-too", ""},
		{"folder/small", MakeContents(5000, 1)},
		{"below-bound", MakeContents(bound - 1, 2)},
		{"at-bound", MakeContents(bound, 3)},
		{"above-bound", MakeContents(bound + 1, 4)},
		{"folder/twice-the-bound", MakeContents(2 * bound + 12345, 5)},
	};
	for (int i = 0; i < 200; i++)
		files["many/file-" + std::to_string(i)] = MakeContents((size_t)i * 97, (uint32)i);
	for (const auto& [path, contents] : files) {
		std::filesystem::create_directories(std::filesystem::path(source + "/" + path)
			.parent_path());
		std::ofstream(source + "/" + path, std::ios::binary) << contents;
	}
	std::string manifest = scratch / "big.json";
	std::ofstream(manifest) << R"({"name": "Big", "folder_name": "Big", "source": ")"
		+ source + R"(", "flags": {"top_folder": true}})";
	std::string package = scratch / "big.pkg";
	PackageAssembler assembler;
	assembler.SetBufferBound(bound);
	ASSERT_EQ(assembler.BuildFromFile(manifest.c_str(), nullptr, package.c_str()), B_OK)
		<< assembler.ErrorMessage();

	ProgramRun run = RunProgram({kProgram, "--root", root, "--unattended", package},
		scratch / "errors.txt");
	ASSERT_EQ(run.status, 0) << run.errors;
	std::string installed = root + "/boot/apps/Big";
	size_t count = 0;
	for (const auto& entry : std::filesystem::recursive_directory_iterator(installed))
		count += entry.is_regular_file();
	EXPECT_EQ(count, files.size());
	for (const auto& [path, contents] : files) {
		SCOPED_TRACE(path);
		std::string copy = ReadAll(installed + "/" + path);
		EXPECT_EQ(copy.size(), contents.size());
		EXPECT_TRUE(copy == contents) << "contents differ";
	}
}
