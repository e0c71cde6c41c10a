// What an unattended run does when nobody said otherwise, and what it
// leaves: an existing item is kept beside the new one unless "replace" is
// asked for, a missing --folder is made inside the system root (never
// through a link out of it), and the folders a run made for its lock and
// temporary items are gone when it ends.

#include <HostFileText.h>
#include <ProgramRun.h>
#include <ScratchDir.h>

#include "PackageAssembler.h"

#include <gtest/gtest.h>


#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;

void
WriteFile(const std::string& path, const std::string& contents)
{
	std::filesystem::create_directories(std::filesystem::path(path).parent_path());
	std::ofstream(path, std::ios::binary) << contents;
}

} // namespace


class UnattendedDefaultsTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fRoot = fScratch / "root";
		std::filesystem::create_directories(fRoot + "/boot");
		std::filesystem::create_directories(fRoot + "/Data");
		fPackage = _BuildPackage();
	}

	// The package "Tool" (two files in its folder "Tool", which asks when
	// it exists), unattended, with `options`.
	ProgramRun Install(const std::vector<std::string>& options = {})
	{
		std::vector<std::string> words = {kProgram, "--root", fRoot, "--unattended"};
		words.insert(words.end(), options.begin(), options.end());
		words.push_back(fPackage);
		return RunProgram(words, fScratch / "errors.txt");
	}

	std::string Host(const std::string& path) const { return fRoot + path; }

	bool Exists(const std::string& path) const
	{
		return std::filesystem::exists(std::filesystem::symlink_status(Host(path)));
	}

	ScratchDir fScratch;
	std::string fRoot;
	std::string fPackage;

private:
	std::string _BuildPackage()
	{
		std::string source = fScratch / "source";
		WriteFile(source + "/tool", "the program");
		WriteFile(source + "/docs/ReadMe", "how to");
		std::string manifest = fScratch / "tool.json";
		WriteFile(manifest, R"({"name": "Tool", "folder_name": "Tool", "source": ")"
			+ source + R"(", "groups": [{"name": "All"}],
			"flags": {"top_folder": true, "folder_choice": true},
			"items": {"": {"replace": "ask"}}})");
		std::string package = fScratch / "tool.pkg";
		std::string message;
		EXPECT_EQ(build_package(manifest.c_str(), nullptr, package.c_str(), &message), B_OK)
			<< message;
		return package;
	}
};


TEST_F(UnattendedDefaultsTest, AReinstallKeepsWhatTheUserAddedUnlessReplaceIsAskedFor)
{
	ASSERT_EQ(Install().status, 0);
	WriteFile(Host("/boot/apps/Tool/mine"), "the user's own");

	// No --existing: the folder is renamed aside, with the user's file.
	ProgramRun again = Install();
	ASSERT_EQ(again.status, 0) << again.errors;
	EXPECT_NE(again.errors.find("answer: Rename existing item, Continue Install"),
		std::string::npos) << again.errors;
	EXPECT_EQ(ReadHostFileText(Host("/boot/apps/Tool.old/mine")), "the user's own");
	EXPECT_EQ(ReadHostFileText(Host("/boot/apps/Tool/tool")), "the program");
	EXPECT_FALSE(Exists("/boot/apps/Tool/mine"));

	// Asked for, the folder is replaced and nothing is kept.
	WriteFile(Host("/boot/apps/Tool/mine"), "added again");
	ProgramRun replaced = Install({"--existing", "replace"});
	ASSERT_EQ(replaced.status, 0) << replaced.errors;
	EXPECT_NE(replaced.errors.find("answer: Replace existing item, Continue Install"),
		std::string::npos) << replaced.errors;
	EXPECT_FALSE(Exists("/boot/apps/Tool/mine"));
	EXPECT_FALSE(Exists("/boot/apps/Tool.old.old1"));
	EXPECT_EQ(ReadHostFileText(Host("/boot/apps/Tool/docs/ReadMe")), "how to");
}


TEST_F(UnattendedDefaultsTest, AMissingFolderIsMadeAndInstalledInto)
{
	ProgramRun run = Install({"--folder", "/Data/opt/tools/new"});
	ASSERT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(ReadHostFileText(Host("/Data/opt/tools/new/Tool/tool")), "the program");
	EXPECT_FALSE(Exists("/boot/apps"));

	// Part of it there already, through a link that stays in the root.
	std::filesystem::create_directory_symlink("../boot", Host("/Data/to-boot"));
	ProgramRun linked = Install({"--folder", "/Data/to-boot/more"});
	ASSERT_EQ(linked.status, 0) << linked.errors;
	EXPECT_EQ(ReadHostFileText(Host("/boot/more/Tool/tool")), "the program");
}


TEST_F(UnattendedDefaultsTest, AFolderThroughALinkOutOfTheRootIsRefused)
{
	std::string outside = fScratch / "outside";
	std::filesystem::create_directories(outside);
	// An absolute host path, and a path that climbs out of the root.
	std::filesystem::create_directory_symlink(outside, Host("/Data/absolute"));
	std::filesystem::create_directory_symlink("../../outside", Host("/Data/relative"));
	for (const char* link : {"/Data/absolute", "/Data/relative"}) {
		SCOPED_TRACE(link);
		ProgramRun run = Install({"--folder", std::string(link) + "/new"});
		EXPECT_EQ(run.status, 1) << run.errors;
		EXPECT_NE(run.errors.find(std::string("not installed: \"") + link
			+ "\" is a link that does not lead to a folder in the system root"),
			std::string::npos) << run.errors;
	}
	EXPECT_TRUE(std::filesystem::is_empty(outside));
	EXPECT_FALSE(Exists("/boot/apps"));
	EXPECT_FALSE(Exists("/Data/apps"));

	// A path that climbs is a usage error.
	EXPECT_EQ(Install({"--folder", "/Data/../../outside"}).status, 2);
	EXPECT_TRUE(std::filesystem::is_empty(outside));
}


TEST_F(UnattendedDefaultsTest, TheFoldersARunMadeForItselfAreGoneWhenItEnds)
{
	// Completed on a fresh volume.
	ASSERT_EQ(Install().status, 0);
	EXPECT_TRUE(Exists("/boot/apps/Tool/tool"));
	EXPECT_FALSE(Exists("/boot/var/tmp"));
	EXPECT_TRUE(Exists("/boot/var/kestrovan/receipts/Tool.json"));

	// Cancelled at its first question: the original stays, and so does
	// nothing else.
	WriteFile(Host("/Data/apps/Tool/mine"), "the user's own");
	ProgramRun canceled = Install({"--volume", "Data", "--existing", "cancel"});
	EXPECT_EQ(canceled.status, 1) << canceled.errors;
	EXPECT_EQ(ReadHostFileText(Host("/Data/apps/Tool/mine")), "the user's own");
	EXPECT_FALSE(Exists("/Data/var"));

	// A "var/tmp" that was there before stays, empty as it was.
	std::filesystem::remove_all(Host("/boot/apps"));
	std::filesystem::create_directories(Host("/boot/var/tmp"));
	ASSERT_EQ(Install().status, 0);
	EXPECT_TRUE(std::filesystem::is_directory(Host("/boot/var/tmp")));
	EXPECT_TRUE(std::filesystem::is_empty(Host("/boot/var/tmp")));
}
