// Install scripts from real packages: where they run, what the log gets,
// what their exit status means, and the progress they report.

#include "DaemonProbe.h"
#include "DirectRuns.h"
#include "MessageLog.h"
#include "ScratchDir.h"
#include "SystemCallFilter.h"
#include "TempRoot.h"

#include "ArcCatalog.h"
#include "ArchiveItem.h"
#include "ArchiveScriptItem.h"
#include "DestManager.h"
#include "InstallPack.h"
#include "Manifest.h"
#include "PackAttrib.h"
#include "PackageAssembler.h"

#include <Directory.h>
#include <Entry.h>
#include <ScriptRunner.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <errno.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kLogName = "Data/Tool Install Log";

struct ScriptSource {
	std::string name;
	std::string text;
};

// A fresh copy of a catalog's script item (the catalog refills its own).
ArchiveScriptItem*
CopyOf(const ArchiveItem* item)
{
	ArchiveScriptItem* copy = new ArchiveScriptItem;
	copy->Unset();
	copy->fGroups = item->fGroups;
	copy->fDestIndex = item->fDestIndex;
	copy->fCustom = item->fCustom;
	copy->fSize = item->fSize;
	copy->fOffset = item->fOffset;
	copy->fPlatform = item->fPlatform;
	copy->AdoptName(strdup(item->fName));
	return copy;
}

class ScriptItemTest : public TempRootTest {
protected:
	void TearDown() override
	{
		ArchiveScriptItem::SetRunnerFlags(0);
		if (fManager != nullptr)
			fManager->FinishInstall(false, nullptr);
		fManager.reset();
		for (ArchiveScriptItem* item : fScripts)
			delete item;
		fPack.reset();
		if (fLooper != nullptr && fLooper->Lock())
			fLooper->Quit();
	}

	// Builds a package with the package tool: a top folder holding one
	// file, and the scripts; opens it and prepares a run into
	// /Data/apps/Tool.
	void Build(const std::vector<ScriptSource>& scripts, bool scriptFailure = false)
	{
		std::filesystem::create_directories(fSource / "Tool");
		std::ofstream(fSource / "Tool/ReadMe") << "read me\n";
		std::string list;
		for (const ScriptSource& script : scripts) {
			std::ofstream(fSource / script.name, std::ios::binary) << script.text;
			list += std::string(list.empty() ? "" : ", ") + "{\"source\": \"" + script.name
				+ "\"}";
		}
		std::string text = std::string("{\"name\": \"Tool\", \"source\": \"Tool\", ")
			+ "\"flags\": {\"script_failure\": " + (scriptFailure ? "true" : "false")
			+ "}, \"scripts\": [" + list + "]}";
		Manifest manifest;
		ASSERT_EQ(manifest.SetTo(text, "pkg.json", fSource.Path().c_str()), B_OK)
			<< manifest.ErrorMessage();
		PackageAssembler assembler;
		ASSERT_EQ(assembler.Build(manifest, nullptr, fRoot.HostPath("boot/Tool.pkg").c_str()),
			B_OK) << assembler.ErrorMessage();

		entry_ref ref;
		ASSERT_EQ(get_ref_for_path("/boot/Tool.pkg", &ref), B_OK);
		fPack = std::make_unique<InstallPack>(ref, false);
		ASSERT_NE(fPack->fEntry, nullptr);
		fLog = std::make_shared<MessageLog>();
		fLooper = new LoggingLooper(fLog, "progress");
		fLooper->Run();
		fPack->fStatusMessenger = BMessenger(fLooper);
		ASSERT_FALSE(fPack->SetFile());
		ASSERT_EQ(fPack->NewReadAttributes(&fAttrib), B_OK);
		ReadScripts();

		BDirectory data("/Data");
		node_ref node;
		ASSERT_EQ(data.GetNodeRef(&node), B_OK);
		fManager = std::make_unique<DestManager>(&fAttrib);
		ASSERT_TRUE(fManager->SetupInstall(nullptr, (char*)"apps/Tool", node.device,
			nullptr, false));
		fManager->fLogging = true;
	}

	void ReadScripts()
	{
		ArcCatalog catalog;
		ASSERT_EQ(catalog.Set(fPack.get()), B_OK);
		ASSERT_EQ(catalog.Rewind(), B_OK);
		ArchiveItem* folder = nullptr;
		catalog.GetFolderData(&folder);
		int32 depth = 1;
		while (depth > 0) {
			int32 kind = catalog.GetFolderItemType();
			if (kind == 0) {
				depth--;
			} else if (kind == kFolderItemKind) {
				catalog.GetFolderData(&folder);
				depth++;
			} else {
				ArchiveItem* item = nullptr;
				catalog.GetItemData(&item, kind);
				if (kind == kScriptItemKind && item != nullptr)
					fScripts.push_back(CopyOf(item));
			}
		}
	}

	status_t Extract(ArchiveScriptItem* item, bool skip = false, uint32 groups = 1)
	{
		return item->ExtractItem(fPack.get(), nullptr, fManager.get(), groups, skip);
	}

	// Ends the run (the log is closed) and returns the log's text.
	std::string FinishedLog()
	{
		fManager->FinishInstall(false, nullptr);
		fManager.reset();
		return fRoot.ReadFile(kLogName);
	}

	bool InstalledExists(const std::string& name) const
	{
		return std::filesystem::exists(fRoot.HostPath("Data/apps/Tool/" + name));
	}

	// The progress messages so far, once the looper has them all.
	std::vector<BMessage> Progress(size_t count)
	{
		EXPECT_TRUE(fLog->WaitForCount(count));
		return fLog->Messages();
	}

	static int64 BytesOf(const BMessage& message)
	{
		int64 wide;
		if (message.FindInt64("bytes", &wide) == B_OK)
			return wide;
		return message.FindInt32("bytes");
	}

	ScratchDir fSource;
	PackAttrib fAttrib;
	std::unique_ptr<InstallPack> fPack;
	std::unique_ptr<DestManager> fManager;
	std::vector<ArchiveScriptItem*> fScripts;
	std::shared_ptr<MessageLog> fLog;
	LoggingLooper* fLooper = nullptr;
};

const char* const kTalkingScript =
	"#!/bin/sh\n"
	"echo out1\n"
	"echo err1 >&2\n"
	"echo out2\n"
	"echo err2 >&2\n"
	"echo \"cwd=$(pwd)\"\n"
	"echo \"mode=$(stat -c %a \"$0\")\"\n"
	"echo \"name=$(basename \"$0\")\"\n"
	"touch made-here\n";

} // namespace


TEST_F(ScriptItemTest, RunsInItsFolderWithBothStreamsInTheLogInOrder)
{
	Build({{"setup.sh", kTalkingScript}});
	ASSERT_EQ(fScripts.size(), 1u);
	ArchiveScriptItem* script = fScripts[0];
	EXPECT_EQ(Extract(script), B_OK);
	EXPECT_EQ(script->LastExitStatus(), 0);
	EXPECT_TRUE(InstalledExists("made-here"));
	// The temporary copy is gone; the script is not installed.
	BEntry temporary(&fManager->fTempDir, "tmpscript00001");
	EXPECT_FALSE(temporary.Exists());
	EXPECT_FALSE(InstalledExists("setup.sh"));

	// 'CFln', the bytes written, and the rest up to a whole block.
	std::vector<BMessage> messages = Progress(2);
	ASSERT_FALSE(messages.empty());
	EXPECT_EQ(messages[0].what, (uint32)'CFln');
	EXPECT_STREQ(messages[0].FindString("filename"), "setup.sh");
	WaitUntil([&] {
		int64 total = 0;
		for (const BMessage& message : fLog->Messages())
			total += message.what == 'Uprg' ? BytesOf(message) : 0;
		return total == 1024;
	});
	int64 total = 0;
	for (const BMessage& message : fLog->Messages())
		total += message.what == 'Uprg' ? BytesOf(message) : 0;
	EXPECT_EQ(total, fManager->AllocSize(script->fSize));

	std::string log = FinishedLog();
	EXPECT_NE(log.find("Executing shell script setup.sh\nout1\nerr1\nout2\nerr2\ncwd="),
		std::string::npos) << log;
	// The folder its destination names, seen from inside the view or from
	// the host.
	EXPECT_NE(log.find("Data/apps/Tool\n"), std::string::npos) << log;
	EXPECT_NE(log.find("mode=700\n"), std::string::npos) << log;
	EXPECT_NE(log.find("name=tmpscript00001\n"), std::string::npos) << log;
}


TEST_F(ScriptItemTest, ExitStatusStopsTheInstallOnlyWithTheFailureFlag)
{
	Build({{"fail.sh", "#!/bin/sh\necho failing\nexit 3\n"}}, true);
	ASSERT_EQ(fScripts.size(), 1u);
	EXPECT_TRUE(fAttrib.fScriptFailure);
	EXPECT_EQ(Extract(fScripts[0]), -1);
	EXPECT_EQ(fScripts[0]->LastExitStatus(), 3);

	fAttrib.fScriptFailure = false;
	EXPECT_EQ(Extract(fScripts[0]), B_OK);
	EXPECT_EQ(fScripts[0]->LastExitStatus(), 3);
	// Both runs have their output in the log.
	std::string log = FinishedLog();
	const std::string block = "Executing shell script fail.sh\nfailing\n";
	size_t first = log.find(block);
	ASSERT_NE(first, std::string::npos) << log;
	EXPECT_NE(log.find(block, first + block.size()), std::string::npos) << log;
}


TEST_F(ScriptItemTest, ContentThatIsNoProgramExitsWith127)
{
	Build({{"notes.txt", "this is plain text, not a program\n"}}, true);
	ASSERT_EQ(fScripts.size(), 1u);
	EXPECT_EQ(Extract(fScripts[0]), -1);
	EXPECT_EQ(fScripts[0]->LastExitStatus(), ScriptRunner::kCannotExecute);
	fAttrib.fScriptFailure = false;
	EXPECT_EQ(Extract(fScripts[0]), B_OK);
	EXPECT_EQ(fScripts[0]->LastExitStatus(), ScriptRunner::kCannotExecute);
}


TEST_F(ScriptItemTest, TwoScriptsOneAfterTheOtherUnderOneName)
{
	Build({{"first.sh", "#!/bin/sh\necho \"first $(basename \"$0\")\"\ntouch one\n"},
		{"second.sh", "#!/bin/sh\necho \"second $(basename \"$0\")\"\ntest -f one && "
			"touch two\n"}});
	ASSERT_EQ(fScripts.size(), 2u);
	EXPECT_EQ(Extract(fScripts[0]), B_OK);
	EXPECT_EQ(Extract(fScripts[1]), B_OK);
	EXPECT_TRUE(InstalledExists("two"));
	std::string log = FinishedLog();
	size_t first = log.find("Executing shell script first.sh\nfirst tmpscript00001\n");
	size_t second = log.find("Executing shell script second.sh\nsecond tmpscript00001\n");
	EXPECT_NE(first, std::string::npos) << log;
	EXPECT_NE(second, std::string::npos) << log;
	EXPECT_LT(first, second);
}


TEST_F(ScriptItemTest, WithLoggingOffTheScriptStillRuns)
{
	// More output than a pipe holds: it is read and dropped.
	Build({{"loud.sh", "#!/bin/sh\nhead -c 200000 /dev/zero | tr '\\0' x\ntouch ran\n"}});
	ASSERT_EQ(fScripts.size(), 1u);
	fManager->fLogging = false;
	EXPECT_EQ(Extract(fScripts[0]), B_OK);
	EXPECT_EQ(fScripts[0]->LastExitStatus(), 0);
	EXPECT_TRUE(InstalledExists("ran"));
	FinishedLog();
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath(kLogName)));
}


TEST_F(ScriptItemTest, SkippedOrNotSelectedRunsNothing)
{
	Build({{"setup.sh", kTalkingScript}});
	ASSERT_EQ(fScripts.size(), 1u);
	ArchiveScriptItem* script = fScripts[0];
	script->fSize = 1500;

	// Not in the run's groups: no message at all.
	EXPECT_EQ(Extract(script, false, 2), B_OK);
	// In a skipped folder: its block-rounded size as progress.
	EXPECT_EQ(Extract(script, true), B_OK);
	std::vector<BMessage> messages = Progress(1);
	ASSERT_EQ(messages.size(), 1u);
	EXPECT_EQ(messages[0].what, (uint32)'Uprg');
	EXPECT_EQ(BytesOf(messages[0]), 2048);
	EXPECT_FALSE(InstalledExists("made-here"));
	EXPECT_EQ(script->LastExitStatus(), -1);
	FinishedLog();
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath(kLogName)));
}


TEST_F(ScriptItemTest, DataNotStoredLeavesTheScriptEmpty)
{
	Build({{"setup.sh", kTalkingScript}});
	ASSERT_EQ(fScripts.size(), 1u);
	ArchiveScriptItem* script = fScripts[0];
	fPack->fArchiveFlags |= kScriptDataNotStored;
	EXPECT_EQ(Extract(script), B_OK);
	// The empty file is no program.
	EXPECT_EQ(script->LastExitStatus(), ScriptRunner::kCannotExecute);
	EXPECT_FALSE(InstalledExists("made-here"));
	std::vector<BMessage> messages = Progress(3);
	ASSERT_GE(messages.size(), 3u);
	EXPECT_EQ(messages[1].what, (uint32)'Uprg');
	EXPECT_EQ(BytesOf(messages[1]), script->fSize);
	EXPECT_EQ(BytesOf(messages[2]), fManager->AllocExtra(script->fSize));

	// The package's cancel flag is consulted there.
	fPack->fCancel = true;
	EXPECT_EQ(Extract(script), B_CANCELED);
	fPack->fCancel = false;
	EXPECT_NE(FinishedLog().find("Executing shell script setup.sh\n"), std::string::npos);
}


TEST_F(ScriptItemTest, ADirectRunIsNotedInTheLog)
{
	SKIP_WHERE_ROOT_RUNS_NOTHING_DIRECTLY();
	Build({{"setup.sh", kTalkingScript}});
	ASSERT_EQ(fScripts.size(), 1u);
	ArchiveScriptItem::SetRunnerFlags(ScriptRunner::kRunDirectly);
	EXPECT_EQ(Extract(fScripts[0]), B_OK);
	EXPECT_TRUE(InstalledExists("made-here"));
	std::string log = FinishedLog();
	EXPECT_NE(log.find("(Shell script setup.sh ran without an isolated view of the system"),
		std::string::npos) << log;
	// Run directly, the program sees the host folder.
	EXPECT_NE(log.find("cwd=" + fRoot.HostPath("Data/apps/Tool") + "\n"), std::string::npos)
		<< log;
}


// Run by root where the kernel can neither give the script its view nor
// keep its writes to the system root, the script is not run, and the log
// says why.
TEST_F(ScriptItemTest, ARootScriptThatNothingCanHoldIsNotRun)
{
	if (geteuid() != 0)
		GTEST_SKIP() << "an ordinary user's script runs with that user's rights";
	Build({{"setup.sh", kTalkingScript}});
	ASSERT_EQ(fScripts.size(), 1u);
	ArchiveScriptItem::SetRunnerFlags(ScriptRunner::kRunDirectly);
	status_t status = B_ERROR;
	bool refused = false;
	std::thread refusing([&] {
		refused = refuse_calls_in_this_thread({{SYS_landlock_create_ruleset, ENOSYS}});
		if (refused)
			status = Extract(fScripts[0]);
	});
	refusing.join();
	if (!refused)
		GTEST_SKIP() << "cannot install a system call filter here";
	EXPECT_EQ(status, B_OK);
	EXPECT_EQ(fScripts[0]->LastExitStatus(), ScriptRunner::kCannotExecute);
	EXPECT_FALSE(InstalledExists("made-here"));
	std::string log = FinishedLog();
	EXPECT_NE(log.find("Executing shell script setup.sh\n(Shell script setup.sh was not run: "
		"the system offers it no isolated view, and run by root without one it could change "
		"any file of the host)\n"), std::string::npos) << log;
}


// A damaged catalog can give a script no name: it runs all the same, and
// the log and the failure name it by an empty name.
TEST_F(ScriptItemTest, AScriptWithoutANameIsToldOfByAnEmptyOne)
{
	SKIP_WHERE_ROOT_RUNS_NOTHING_DIRECTLY();
	Build({{"fail.sh", "#!/bin/sh\necho failing\nexit 3\n"}}, true);
	ASSERT_EQ(fScripts.size(), 1u);
	free(fScripts[0]->fName);
	fScripts[0]->fName = nullptr;
	ArchiveScriptItem::SetRunnerFlags(ScriptRunner::kRunDirectly);
	EXPECT_EQ(Extract(fScripts[0]), -1);
	EXPECT_EQ(fManager->FailureReason(), "the script \"\" exited with status 3");
	std::string log = FinishedLog();
	EXPECT_NE(log.find("Executing shell script \nfailing\n(Shell script  ran without an "
		"isolated view of the system"), std::string::npos) << log;
}


TEST_F(ScriptItemTest, CanceledRunsAndMissingDestinations)
{
	Build({{"setup.sh", kTalkingScript}});
	ASSERT_EQ(fScripts.size(), 1u);
	ArchiveScriptItem* script = fScripts[0];
	fManager->fCanceled = true;
	EXPECT_EQ(Extract(script), B_CANCELED);
	fManager->fCanceled = false;

	// No such destination: the alert (answered "Continue") passes it over.
	script->fDestIndex = 7;
	testing::internal::CaptureStderr();
	EXPECT_EQ(Extract(script), B_OK);
	std::string alerts = testing::internal::GetCapturedStderr();
	EXPECT_NE(alerts.find("Destination directory for \"setup.sh\" could not be found."),
		std::string::npos) << alerts;
	EXPECT_FALSE(InstalledExists("made-here"));
}


TEST_F(ScriptItemTest, AScriptStaysInItsViewAndEndsWithItsItem)
{
	std::string suffix = "/kestrovan-escape-" + std::to_string(getpid());
	std::string etcMarker = "/etc" + suffix;
	std::string tmpMarker = "/tmp" + suffix;
	DaemonProbe probe(fRoot.HostPath("Data/alive"));
	ASSERT_TRUE(probe.InitCheck());
	Build({{"escape.sh", "#!/bin/sh\n"
		"mount -o remount,bind,rw /etc 2>/dev/null && echo etc-remounted\n"
		"{ echo escaped > " + etcMarker + "; } 2>/dev/null && echo etc-written\n"
		"echo view > " + tmpMarker + "\n"
		"setsid sh -c 'exec 9>/Data/alive; echo up >&9; : > /Data/started; exec sleep 30' "
		"</dev/null >/dev/null 2>&1 &\n"
		"while ! test -e /Data/started; do sleep 0.01; done\n"
		"echo contained\n"}});
	ASSERT_EQ(fScripts.size(), 1u);
	EXPECT_EQ(Extract(fScripts[0]), B_OK);
	bool etcWritten = std::filesystem::remove(etcMarker);
	bool tmpWritten = std::filesystem::remove(tmpMarker);
	std::string log = FinishedLog();
	if (log.find("ran without an isolated view") != std::string::npos)
		GTEST_SKIP() << "the host refuses a private view: " << log;

	EXPECT_EQ(fScripts[0]->LastExitStatus(), 0);
	EXPECT_NE(log.find("Executing shell script escape.sh\ncontained\n"), std::string::npos)
		<< log;
	EXPECT_FALSE(etcWritten);
	EXPECT_FALSE(tmpWritten);
	// The daemon ran, and was gone when the item ended.
	EXPECT_EQ(probe.Messages(), "up\n");
	EXPECT_TRUE(probe.AllWritersGone());
}
