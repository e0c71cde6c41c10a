// A run killed at any point of its journal leaves, once the installer has
// started again, the tree as it was before the run or as the run would
// have left it, with nothing of the run's own left behind; a second
// installer never takes back a run that is alive.

#include <HostFileText.h>
#include <ProgramRun.h>
#include <SanitizerBuild.h>
#include <ScratchDir.h>
#include <TreeSnapshot.h>

#include "PackageAssembler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;
const std::string kReceipt = "/boot/var/kestrovan/receipts/Tool.json";

void
WriteFile(const std::string& path, const std::string& contents)
{
	std::filesystem::create_directories(std::filesystem::path(path).parent_path());
	std::ofstream(path, std::ios::binary) << contents;
}


// The install log and the receipt are the run's own account, not part of
// what it installs (their texts hold the time of the run).
bool
IsRunsAccount(const std::string& path)
{
	return (path.size() > 12 && path.compare(path.size() - 12, 12, " Install Log") == 0)
		|| path == "boot/var/kestrovan/receipts/Tool.json";
}

} // namespace


class CrashRecoveryTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fVersion1 = _BuildPackage("v1", {{"bin", "old program"}, {"conf", "old conf"},
			{"keep", "old keep"}, {"lib/a", "old a"}, {"lib/b", "old b"}});
		fVersion2 = _BuildPackage("v2", {{"bin", "new program"}, {"conf", "new conf"},
			{"keep", "new keep"}, {"lib/a", "new a"}, {"lib/b", "new b"}, {"lib/c", "new c"},
			{"docs/ReadMe", "how to"}});

		// Before: version 1 installed, and a file of the user's own beside it.
		fBefore = fScratch / "before";
		std::filesystem::create_directories(fBefore + "/boot");
		ASSERT_EQ(Install(fBefore, fVersion1).status, 0);
		WriteFile(fBefore + "/boot/apps/Tool/mine", "the user's own");
		// After: version 2 installed over it, nothing interrupted.
		fAfter = fScratch / "after";
		CopyTree(fBefore, fAfter);
		ProgramRun whole = Install(fAfter, fVersion2);
		ASSERT_EQ(whole.status, 0) << whole.errors;
		ASSERT_EQ(ReadHostFileText(fAfter + "/boot/apps/Tool/conf.old"), "old conf");
		ASSERT_EQ(ReadHostFileText(fAfter + "/boot/apps/Tool/keep"), "old keep");
	}

	ProgramRun Install(const std::string& root, const std::string& package,
		const std::vector<std::string>* environment = nullptr)
	{
		return RunProgram({kProgram, "--root", root, "--unattended", "--accept-license",
			"--existing", "replace", package}, fScratch / "errors.txt", environment);
	}

	ProgramRun Recover(const std::string& root)
	{
		return RunProgram({kProgram, "--root", root, "--recover"}, fScratch / "recover.txt");
	}

	// A run of a package whose script waits: it stays alive in the middle,
	// with its journal and the "bin" it replaced, until killed.
	pid_t StartWaitingRun(const std::string& root)
	{
		std::string source = fScratch / "slow-source/Tool";
		WriteFile(source + "/bin", "slow program");
		WriteFile(fScratch / "wait.sh", "#!/bin/sh\nsleep 30\n");
		std::string manifest = fScratch / "slow.json";
		WriteFile(manifest, R"({"name": "Tool", "source": ")" + source + R"(",
			"flags": {"top_folder": true},
			"items": {"": {"replace": "merge"}},
			"scripts": [{"source": ")" + (fScratch / "wait.sh") + R"("}]})");
		std::string package = fScratch / "slow.pkg";
		std::string message;
		if (build_package(manifest.c_str(), nullptr, package.c_str(), &message) != B_OK)
			return -1;
		pid_t run = fork();
		if (run == 0) {
			int errors = open((fScratch / "waiting.txt").c_str(),
				O_WRONLY | O_CREAT | O_TRUNC, 0644);
			dup2(errors, 2);
			execl(kProgram.c_str(), kProgram.c_str(), "--root", root.c_str(),
				"--unattended", "--accept-license", "--existing", "replace",
				package.c_str(), (char*)nullptr);
			_exit(127);
		}
		// The script has begun once the new bin is in place.
		for (int i = 0; i < 1000; i++) {
			if (ReadHostFileText(root + "/boot/apps/Tool/bin") == "slow program")
				return run;
			usleep(10000);
		}
		Kill(run);
		return -1;
	}

	static void Kill(pid_t run)
	{
		kill(run, SIGKILL);
		int status = 0;
		waitpid(run, &status, 0);
	}

	static std::map<std::string, std::string> Snapshot(const std::string& root)
	{
		return SnapshotTree(root, IsRunsAccount);
	}

	ScratchDir fScratch;
	std::string fVersion1;
	std::string fVersion2;
	std::string fBefore;
	std::string fAfter;

private:
	// "Tool": its folder, like every folder, merges into one that is there;
	// "conf" is renamed aside, "keep" never replaced, every other file asks
	// (and is replaced). The program carries an attribute and a mode of its
	// own.
	std::string _BuildPackage(const std::string& name,
		const std::vector<std::pair<std::string, std::string>>& files)
	{
		std::string source = fScratch / (name + "-source/Tool");
		for (const auto& [path, contents] : files)
			WriteFile(source + "/" + path, contents);
		std::filesystem::create_symlink("bin", source + "/link");
		std::filesystem::permissions(source + "/bin", std::filesystem::perms(0755));
		setxattr((source + "/bin").c_str(), "user.kestrovan.note", name.data(), name.size(), 0);
		std::string manifest = fScratch / (name + ".json");
		WriteFile(manifest, R"({"name": "Tool", "source": ")" + source + R"(",
			"groups": [{"name": "All"}],
			"flags": {"top_folder": true, "folder_choice": true},
			"items": {"": {"replace": "merge"}, "conf": {"replace": "rename"},
				"keep": {"replace": "never"}}})");
		std::string package = fScratch / (name + ".pkg");
		std::string message;
		EXPECT_EQ(build_package(manifest.c_str(), nullptr, package.c_str(), &message), B_OK)
			<< message;
		return package;
	}
};


TEST_F(CrashRecoveryTest, KilledAtEveryStepTheNextStartLeavesBeforeOrAfter)
{
	std::map<std::string, std::string> before = Snapshot(fBefore);
	std::map<std::string, std::string> after = Snapshot(fAfter);
	ASSERT_NE(before, after);

	// Under the sanitizers every third step: each run is slower there.
	int32 stride = built_with_sanitizers() ? 3 : 1;
	int32 points = 0;
	int32 endedBefore = 0;
	int32 endedAfter = 0;
	for (int32 step = 1; step < 400; step += stride) {
		SCOPED_TRACE("killed after journal record " + std::to_string(step));
		std::string root = fScratch / ("run" + std::to_string(step));
		CopyTree(fBefore, root);
		std::vector<std::string> environment = SanitizerEnvironment();
		environment.push_back("KESTROVAN_JOURNAL_KILL_AT=" + std::to_string(step));
		ProgramRun run = Install(root, fVersion2, &environment);
		bool killed = run.signal == SIGKILL;
		if (!killed) {
			ASSERT_EQ(run.status, 0) << run.errors;
		}

		ProgramRun recovery = Recover(root);
		EXPECT_EQ(recovery.status, 0) << recovery.errors;
		std::map<std::string, std::string> now = Snapshot(root);
		// The receipt is the one before the run, byte for byte, or the new
		// version's.
		std::string receipt = ReadHostFileText(root + kReceipt);
		if (now == before && receipt == ReadHostFileText(fBefore + kReceipt))
			endedBefore++;
		else if (now == after && receipt.find("/boot/apps/Tool/docs/ReadMe") != std::string::npos)
			endedAfter++;
		else {
			for (const auto& [path, description] : now) {
				auto was = before.find(path);
				EXPECT_TRUE(was != before.end() && was->second == description)
					<< path << ": " << description;
			}
			FAIL() << "neither the tree before the run nor after it";
		}
		std::filesystem::remove_all(root);
		points++;
		if (!killed)
			break;
	}
	std::cout << "killed at " << points - 1 << " steps: " << endedBefore
		<< " left the tree as before, " << endedAfter - 1 << " as after\n";
	// Killed before it displaced anything, in the middle, and after its
	// end was written: both outcomes occur, and the run did end.
	EXPECT_GT(points * stride, 20);
	EXPECT_GT(endedBefore * stride, 10);
	EXPECT_GE(endedAfter, 1);
}


TEST_F(CrashRecoveryTest, ASecondInstallerLeavesALiveRunAlone)
{
	std::string root = fScratch / "live";
	CopyTree(fBefore, root);
	pid_t first = StartWaitingRun(root);
	ASSERT_GT(first, 0);
	ProgramRun second = Recover(root);
	EXPECT_EQ(second.status, 0) << second.errors;
	EXPECT_EQ(second.errors, "");
	EXPECT_EQ(ReadHostFileText(root + "/boot/apps/Tool/bin"), "slow program");

	// Killed, the run is taken back by the next start.
	Kill(first);
	ProgramRun after = Recover(root);
	EXPECT_EQ(after.status, 0);
	EXPECT_NE(after.errors.find("An installation of \"Tool\" was interrupted. The items it "
		"had replaced have been put back."), std::string::npos) << after.errors;
	EXPECT_EQ(Snapshot(root), Snapshot(fBefore));
}


// Someone else's file took the place of one the dead run had replaced: it
// stays, the original is kept aside and named, and --recover says it
// could not put everything back.
TEST_F(CrashRecoveryTest, WhatCannotBePutBackIsKeptAndNamed)
{
	std::string root = fScratch / "taken";
	CopyTree(fBefore, root);
	pid_t run = StartWaitingRun(root);
	ASSERT_GT(run, 0);
	Kill(run);
	std::string bin = root + "/boot/apps/Tool/bin";
	std::filesystem::rename(bin, root + "/boot/the run's bin");
	WriteFile(bin, "someone else's");

	ProgramRun recovery = Recover(root);
	EXPECT_EQ(recovery.status, 1) << recovery.errors;
	EXPECT_NE(recovery.errors.find("These items could not be put back; they are kept in "
		"\"/boot/var/tmp/Installer Rescued Items "), std::string::npos) << recovery.errors;
	EXPECT_NE(recovery.errors.find("\n  /boot/apps/Tool/bin"), std::string::npos)
		<< recovery.errors;
	EXPECT_EQ(ReadHostFileText(bin), "someone else's");
	bool kept = false;
	for (const auto& entry : std::filesystem::directory_iterator(root + "/boot/var/tmp"))
		kept = kept || ReadHostFileText(entry.path().string() + "/bin") == "old program";
	EXPECT_TRUE(kept);
}


namespace {

// Sets or clears the host's append-only flag of a folder: entries can be
// made in it, and files in it written, but none moved out. False where the
// file system has no such flag.
bool
SetAppendOnly(const std::string& folder, bool appendOnly)
{
	int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
	if (fd < 0)
		return false;
	int flags = 0;
	bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
	flags = appendOnly ? (flags | FS_APPEND_FL) : (flags & ~FS_APPEND_FL);
	done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
	close(fd);
	return done;
}

} // namespace


// An existing file that cannot be moved aside is never written over: the
// item is passed over, counted as failed, and the original stays whole.
TEST_F(CrashRecoveryTest, AnEntryThatCannotBeMovedAsideIsNeverWrittenOver)
{
	std::string root = fScratch / "append-only";
	CopyTree(fBefore, root);
	std::string folder = root + "/boot/apps/Tool";
	if (!SetAppendOnly(folder, true))
		GTEST_SKIP() << "no append-only folders on this file system";
	ProgramRun run = Install(root, fVersion2);
	SetAppendOnly(folder, false);

	EXPECT_EQ(run.status, 1) << run.errors;
	EXPECT_NE(run.errors.find("Error moving item \"bin\" to temporary directory."),
		std::string::npos) << run.errors;
	EXPECT_EQ(ReadHostFileText(folder + "/bin"), "old program");
	EXPECT_EQ(ReadHostFileText(folder + "/mine"), "the user's own");
}


// The receipt of version 2 says what the run did to each entry it met: the
// folders merged into, files replaced, the one renamed aside (and to what),
// the one kept in the item's place, new items.
TEST_F(CrashRecoveryTest, TheReceiptSaysWhatTheRunDidToWhatWasThere)
{
	nlohmann::json receipt = nlohmann::json::parse(ReadHostFileText(fAfter + kReceipt),
		nullptr, false);
	ASSERT_TRUE(receipt.is_object());
	std::map<std::string, nlohmann::json> items;
	for (const nlohmann::json& item : receipt["items"])
		items[item["path"].get<std::string>()] = item;
	const std::string tool = "/boot/apps/Tool";
	auto existing = [&](const std::string& path) {
		return items.count(path) != 0 ? items[path]["existing"].get<std::string>()
			: std::string("not recorded");
	};
	EXPECT_EQ(existing(tool), "merged");
	EXPECT_EQ(items[tool]["kind"], "folder");
	EXPECT_EQ(existing(tool + "/bin"), "replaced");
	EXPECT_EQ(items[tool + "/bin"]["mode"], 0755);
	EXPECT_EQ(existing(tool + "/conf"), "renamed");
	EXPECT_EQ(items[tool + "/conf"]["renamed_to"], tool + "/conf.old");
	EXPECT_EQ(existing(tool + "/keep"), "skipped");
	EXPECT_EQ(existing(tool + "/lib"), "merged");
	EXPECT_EQ(existing(tool + "/lib/a"), "replaced");
	EXPECT_EQ(existing(tool + "/lib/c"), "none");
	EXPECT_EQ(existing(tool + "/docs/ReadMe"), "none");
	EXPECT_EQ(items[tool + "/link"]["kind"], "link");
	EXPECT_EQ(items[tool + "/link"]["link_target"], "bin");
	EXPECT_EQ(existing(tool + "/mine"), "not recorded");
}
