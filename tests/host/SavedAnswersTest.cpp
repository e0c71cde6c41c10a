// --save-answers and --answers end to end: a person's choices in the
// windows (the program's own entry point, the clicks made for it on the
// headless display), written as an answers file, replayed unattended on a
// fresh system root into the same tree.

#include <HostFileText.h>
#include <ProgramRun.h>
#include <ScratchDir.h>
#include <TreeSnapshot.h>

#include "PackageAssembler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;
const std::string kWindowed = KESTROVAN_WINDOWED_INSTALLER;

} // namespace


class SavedAnswersTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fPackage = fScratch / "tool.pkg";
		fAnswers = fScratch / "answers.json";
		// Two groups in two rows, an agreement, and items of each group
		// beside one in both: which group was picked shows in the tree.
		WriteHostFileText(fScratch / "Tool/tool", "the program\n");
		WriteHostFileText(fScratch / "Tool/readme", "read me\n");
		WriteHostFileText(fScratch / "Tool/common", "new common\n");
		std::string manifest = fScratch / "tool.json";
		WriteHostFileText(manifest, R"({"name": "Tool", "source": ")" + fScratch / "Tool" + R"(",
			"agreement": "Use it kindly.",
			"groups": [{"name": "Program"}, {"name": "Docs"}],
			"items": {"tool": {"groups": ["Program"]}, "readme": {"groups": ["Docs"]}}})");
		std::string message;
		ASSERT_EQ(build_package(manifest.c_str(), nullptr, fPackage.c_str(), &message),
			B_OK) << message;
	}

	// A fresh system root with the volumes boot and Data, and an item of
	// the package's already where the picked folder puts it.
	std::string FreshRoot(const std::string& name)
	{
		std::string root = fScratch / name;
		std::filesystem::create_directories(root + "/boot");
		WriteHostFileText(root + "/Data/home/Tool/common", "old common\n");
		return root;
	}

	ProgramRun Run(std::vector<std::string> words)
	{
		return RunProgram(words, fScratch / "errors.txt");
	}

	// What the install left on the Data volume, less its log and its
	// run's bookkeeping (receipts and locks, which carry times).
	static std::map<std::string, std::string> InstalledTree(const std::string& root)
	{
		return SnapshotTree(root + "/Data", [](const std::string& path) {
			return path == "var" || path.find("Install Log") != std::string::npos;
		});
	}

	nlohmann::json SavedAnswers() const
	{
		return nlohmann::json::parse(ReadHostFileText(fAnswers));
	}

	ScratchDir fScratch;
	std::string fPackage;
	std::string fAnswers;
};


// Nothing here is a default: the Data volume, "home", the second group
// only, and "Replace" for the item that exists.
TEST_F(SavedAnswersTest, AWindowRunsChoicesReplayUnattendedIntoTheSameTree)
{
	std::string picked = FreshRoot("picked");
	ProgramRun window = Run({kWindowed, "pick:Data:home:Docs:replace", "--root", picked,
		"--display", "headless", "--save-answers", fAnswers, fPackage});
	ASSERT_FALSE(window.hung) << window.errors;
	ASSERT_EQ(0, window.status) << window.errors;
	EXPECT_EQ(SavedAnswers().dump(), nlohmann::json::parse(R"({"accept_license": true,
		"volume": "Data", "folder": "home", "groups": ["Docs"],
		"existing": "replace"})").dump());
	EXPECT_EQ("new common\n", ReadHostFileText(picked + "/Data/home/Tool/common"));
	EXPECT_TRUE(std::filesystem::exists(picked + "/Data/home/Tool/readme"));
	EXPECT_FALSE(std::filesystem::exists(picked + "/Data/home/Tool/tool"));

	std::string replayed = FreshRoot("replayed");
	ProgramRun replay = Run({kProgram, "--root", replayed, "--unattended",
		"--answers", fAnswers, fPackage});
	ASSERT_FALSE(replay.hung) << replay.errors;
	EXPECT_EQ(0, replay.status) << replay.errors;
	EXPECT_EQ(InstalledTree(picked), InstalledTree(replayed));
	EXPECT_FALSE(std::filesystem::exists(replayed + "/boot/home/Tool"));
}


// A run the person cancels still leaves the choices made so far, and a
// file that cannot be written stops the program before any window.
TEST_F(SavedAnswersTest, ACancelledRunKeepsItsChoicesAndNoFileMeansNoRun)
{
	std::string root = FreshRoot("cancelled");
	ProgramRun cancelled = Run({kWindowed, "pick:Data:home::cancel", "--root",
		root, "--display", "headless", "--save-answers", fAnswers, fPackage});
	ASSERT_FALSE(cancelled.hung) << cancelled.errors;
	EXPECT_EQ(1, cancelled.status) << cancelled.errors;
	nlohmann::json saved = SavedAnswers();
	EXPECT_EQ("cancel", saved.value("existing", "")) << saved.dump();
	EXPECT_EQ("Data", saved.value("volume", "")) << saved.dump();
	EXPECT_EQ(R"(["Program"])", saved["groups"].dump());

	std::string untouched = FreshRoot("untouched");
	std::map<std::string, std::string> before = InstalledTree(untouched);
	ProgramRun refused = Run({kProgram, "--root", untouched, "--unattended",
		"--accept-license", "--save-answers", fScratch / "no/such/folder/a.json",
		fPackage});
	ASSERT_FALSE(refused.hung) << refused.errors;
	EXPECT_EQ(2, refused.status) << refused.errors;
	EXPECT_NE(std::string::npos, refused.errors.find("--save-answers: "
		+ fScratch / "no/such/folder/a.json: No such file or directory")) << refused.errors;
	EXPECT_EQ(before, InstalledTree(untouched));
}
