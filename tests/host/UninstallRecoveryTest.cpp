// A removal killed at any point of its journal leaves, once the installer
// has started again, the tree as it was before the removal or as the
// removal leaves it, receipt included, with nothing of the removal's own
// left behind; one ended by a termination request takes itself back.

#include <HostFileText.h>
#include <ProgramRun.h>
#include <ReceiptBuilder.h>
#include <ScratchDir.h>
#include <TreeSnapshot.h>

#include <SystemRoot.h>

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;
const char* const kReceipt = "boot/var/kestrovan/receipts/Tool.json";

void
WriteFile(const std::string& path, const std::string& contents, int mode = 0644)
{
	std::filesystem::create_directories(std::filesystem::path(path).parent_path());
	std::ofstream(path, std::ios::binary) << contents;
	std::filesystem::permissions(path, (std::filesystem::perms)mode);
}


// The receipt is compared by its contents: one written again has a time of
// its own.
struct RootState {
	std::map<std::string, std::string> fTree;
	std::string fReceipt;

	bool operator==(const RootState& other) const
	{
		return fTree == other.fTree && fReceipt == other.fReceipt;
	}
};


RootState
StateOf(const std::string& root)
{
	RootState state;
	state.fTree = SnapshotTree(root, [](const std::string& path) { return path == kReceipt; });
	state.fReceipt = ReadHostFileText(root + "/" + kReceipt);
	return state;
}

} // namespace


class UninstallRecoveryTest : public ::testing::Test {
protected:
	// Before: "Tool" installed, its receipt written; "conf" was installed
	// over the user's own, renamed aside to "conf.old"; then the user
	// changed "lib/b" and put a file of their own in the package's folder.
	// After: the unchanged items removed, "conf.old" called "conf" again,
	// the receipt naming what stayed.
	void MakeBefore(int32 extraFiles)
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fBefore = fScratch / "before";
		std::string tool = fBefore + "/boot/apps/Tool";
		WriteFile(tool + "/bin", "the program", 0755);
		WriteFile(tool + "/lib/a", "library a");
		WriteFile(tool + "/lib/b", "library b");
		WriteFile(tool + "/docs/ReadMe", "how to");
		for (int32 i = 0; i < extraFiles; i++)
			WriteFile(tool + "/docs/page" + std::to_string(i), "page " + std::to_string(i));
		std::filesystem::create_symlink("bin", tool + "/link");
		WriteFile(tool + "/conf.old", "the user's conf");
		WriteFile(tool + "/conf", "the package's conf");

		ASSERT_EQ(set_system_root(fBefore.c_str()), B_OK);
		ReceiptBuilder receipt("Tool", "boot");
		for (const char* path : { "", "/bin", "/lib", "/lib/a", "/lib/b", "/docs",
				"/docs/ReadMe", "/link" })
			receipt.Add(std::string("/boot/apps/Tool") + path);
		for (int32 i = 0; i < extraFiles; i++)
			receipt.Add("/boot/apps/Tool/docs/page" + std::to_string(i));
		receipt.Add("/boot/apps/Tool/conf", kExistingRenamed, "/boot/apps/Tool/conf.old");
		ASSERT_EQ(receipt.Write(), B_OK);
		WriteFile(tool + "/lib/b", "library b, patched by hand");
		WriteFile(tool + "/mine", "the user's own");

		fAfter = fScratch / "after";
		CopyTree(fBefore, fAfter);
		ProgramRun whole = Uninstall(fAfter);
		ASSERT_EQ(whole.status, 1) << whole.errors;
		ASSERT_EQ(ReadHostFileText(fAfter + "/boot/apps/Tool/conf"), "the user's conf");
		ASSERT_TRUE(std::filesystem::exists(fAfter + "/" + kReceipt));
	}

	ProgramRun Uninstall(const std::string& root,
		const std::vector<std::string>* environment = nullptr)
	{
		return RunProgram({kProgram, "--root", root, "--uninstall", "Tool"},
			fScratch / "errors.txt", environment);
	}

	ProgramRun Recover(const std::string& root)
	{
		return RunProgram({kProgram, "--root", root, "--recover"}, fScratch / "recover.txt");
	}

	// Counts the outcome; fails when it is neither.
	void ExpectBeforeOrAfter(const std::string& root)
	{
		RootState now = StateOf(root);
		if (now == fBeforeState)
			fEndedBefore++;
		else if (now == fAfterState)
			fEndedAfter++;
		else {
			for (const auto& [path, description] : now.fTree) {
				auto was = fBeforeState.fTree.find(path);
				EXPECT_TRUE(was != fBeforeState.fTree.end() && was->second == description)
					<< path << ": " << description;
			}
			ADD_FAILURE() << "neither the tree before the removal nor after it";
		}
	}

	ScratchDir fScratch;
	std::string fBefore;
	std::string fAfter;
	RootState fBeforeState;
	RootState fAfterState;
	int32 fEndedBefore = 0;
	int32 fEndedAfter = 0;
};


TEST_F(UninstallRecoveryTest, KilledAtEveryStepTheNextStartLeavesBeforeOrAfter)
{
	MakeBefore(0);
	fBeforeState = StateOf(fBefore);
	fAfterState = StateOf(fAfter);
	ASSERT_NE(fBeforeState.fTree, fAfterState.fTree);
	ASSERT_NE(fBeforeState.fReceipt, fAfterState.fReceipt);

	int32 points = 0;
	for (int32 step = 1; step < 100; step++) {
		SCOPED_TRACE("killed after journal record " + std::to_string(step));
		std::string root = fScratch / ("run" + std::to_string(step));
		CopyTree(fBefore, root);
		std::vector<std::string> environment = {
			"KESTROVAN_JOURNAL_KILL_AT=" + std::to_string(step)};
		ProgramRun run = Uninstall(root, &environment);
		bool killed = run.signal == SIGKILL;
		if (!killed) {
			// Went through: what it kept makes the status 1.
			EXPECT_EQ(run.status, 1) << run.errors;
		}
		ProgramRun recovery = Recover(root);
		EXPECT_EQ(recovery.status, 0) << recovery.errors;
		ExpectBeforeOrAfter(root);
		std::filesystem::remove_all(root);
		if (!killed)
			break;
		points++;
	}
	std::cout << "killed at " << points << " steps: " << fEndedBefore
		<< " left the tree as before, " << fEndedAfter - 1 << " as after\n";
	// Killed before it took anything, in the middle, and after its end was
	// written.
	EXPECT_GT(points, 8);
	EXPECT_GT(fEndedBefore, 5);
	EXPECT_GT(fEndedAfter, 1);
}


// The signal comes at any moment: before the removal began, while it takes
// items (it puts them back), or as it ends (it finishes). Either way no
// recovery is needed afterwards.
TEST_F(UninstallRecoveryTest, ATerminationRequestPutsBackOrLetsItFinish)
{
	// Enough items that the removal takes a while (a journal record on the
	// disk for each).
	MakeBefore(100);
	fBeforeState = StateOf(fBefore);
	fAfterState = StateOf(fAfter);

	for (int32 delay = 0; delay <= 600; delay += 60) {
		SCOPED_TRACE("SIGTERM after " + std::to_string(delay) + " ms");
		std::string root = fScratch / ("term" + std::to_string(delay));
		CopyTree(fBefore, root);
		char seconds[16];
		snprintf(seconds, sizeof(seconds), "%d.%03d", (int)(delay / 1000),
			(int)(delay % 1000));
		ProgramRun run = RunProgram({"/bin/sh", "-c",
			"\"$0\" --root \"$1\" --uninstall Tool & pid=$!; sleep $2; kill -TERM $pid; "
			"wait $pid", kProgram, root, seconds}, fScratch / "term.txt");
		EXPECT_FALSE(run.hung);
		ExpectBeforeOrAfter(root);
		EXPECT_FALSE(std::filesystem::exists(root + "/boot/var/tmp"));
		std::filesystem::remove_all(root);
	}
	std::cout << fEndedBefore << " left the tree as before, " << fEndedAfter
		<< " as after\n";
}
