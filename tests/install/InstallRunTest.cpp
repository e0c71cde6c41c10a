// Whole install runs: real packages made with the package tool's writers,
// the worker driven with the install message as the install window sends
// it, the real progress window, and the tree, the log and the progress the
// bar was told checked afterwards.

#include "InstallScenario.h"
#include "PatchData.h"

#include <DaemonProbe.h>
#include <AlertAnswerer.h>
#include <Automation.h>
#include <FindDirectory.h>
#include <MountedVolume.h>
#include <Window.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>

#include <zlib.h>

namespace {

std::string
RandomBytes(size_t size, uint32 seed = 7)
{
	std::mt19937 generator(seed);
	std::string data(size, '\0');
	for (char& c : data)
		c = (char)(generator() & 0xff);
	return data;
}

// The log with its two times replaced by "<time>", so it compares byte for
// byte otherwise.
std::string
WithoutTimes(const std::string& log)
{
	static const std::regex kTime("(Started: |Completed: |Canceled: )"
		"[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\\n");
	return std::regex_replace(log, kTime, "$1<time>\n");
}

bool
WasAsked(const std::string& fragment)
{
	for (const std::string& text : AlertRules::AnsweredTexts()) {
		if (text.find(fragment) != std::string::npos)
			return true;
	}
	return false;
}

// An alert's text with the item's name put in.
std::string
alert_text(const char* format, const char* name)
{
	std::string text = format;
	return text.replace(text.find("%s"), 2, name);
}

// The outcome 'Done' carries; -1 without one.
int32
OutcomeCode(const BMessage& done)
{
	InstallOutcome outcome;
	return outcome.SetFrom(&done) ? (int32)outcome.Code() : -1;
}

// A run's "var/tmp" is gone when the run made it, or else left empty.
bool
HostFolderIsEmpty(const std::string& path)
{
	return !std::filesystem::exists(path) || std::filesystem::is_empty(path);
}

} // namespace


class InstallRunTest : public InstallScenarioTest {
protected:
	void SetUp() override
	{
		InstallScenarioTest::SetUp();
		AlertRules::ForgetAnswered();
	}

	// "Tool/file" installed as "old", and a package that replaces it with
	// "new" without asking.
	void PrepareReplacingToolFile()
	{
		fRoot.WriteFile("boot/apps/Tool/file", "old");
		PackagePlan plan;
		plan.Top()->fReplaceOption = 6;
		plan.File(plan.Top(), "file", "new")->fReplaceOption = 7;
		Prepare(plan);
	}

	// Another installer's run on the boot volume, which takes the volume's
	// run lock as that installer would.
	struct OtherRun {
		OtherRun()
			:
			fManager(&fAttributes)
		{
			fManager.SetTarget(nullptr, (char*)"apps", device_of("/boot"), nullptr, false);
		}

		PackAttrib fAttributes;
		DestManager fManager;
	};

	// Holds the worker at its `count`th progress report that waits for an
	// answer: a file is then half written.
	bool HoldAtReport(int32 count)
	{
		fSpy->HoldAtReport(count);
		return fSpy->WaitUntilHolding(kRunWait);
	}

	static bool IsShown(int32 window)
	{
		for (const auto& info : BPrivate::Automation::Windows()) {
			if (info.id == window)
				return !info.hidden;
		}
		return false;
	}

	int32 ProgressWindowID()
	{
		BLooper* looper = nullptr;
		fView.Target(&looper);
		BWindow* window = dynamic_cast<BWindow*>(looper);
		return window != nullptr ? window->DisplayID() : -1;
	}

	// A run whose script (in the top folder) sleeps for a minute,
	// cancelled once the script has started.
	void CancelDuringScript(bool bySignal)
	{
		fRoot.WriteFile("boot/apps/Tool/first", "first before");
		DaemonProbe probe(fRoot.HostPath("boot/apps/Tool/alive"));
		ASSERT_TRUE(probe.InitCheck());
		PackagePlan plan;
		plan.Top()->fReplaceOption = 6;
		plan.File(plan.Top(), "first", "first after")->fReplaceOption = 7;
		plan.Script(plan.Top(), "wait.sh",
			"#!/bin/sh\nexec 9>alive\necho up >&9\nsleep 60\ntouch finished\n");
		plan.File(plan.Top(), "after", "never");
		Prepare(plan);

		PostInstall();
		ASSERT_TRUE(WaitUntil([&] { return probe.Messages() == "up\n"; }, kRunWait)) << Log();
		if (bySignal)
			kill(getpid(), SIGTERM);
		else
			EXPECT_EQ(BPrivate::Automation::Click(ProgressWindowID(), "cancel"), B_OK);

		ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));
		BMessage done = fWindowLog->At(0);
		EXPECT_EQ(done.GetBool("close", !bySignal), bySignal);
		EXPECT_FALSE(done.GetBool("completed", true));
		EXPECT_TRUE(probe.AllWritersGone());
		EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/first"), "first before");
		EXPECT_FALSE(Exists("boot/apps/Tool/after"));
		EXPECT_FALSE(Exists("boot/apps/Tool/finished"));
		EXPECT_FALSE(WasAsked(kFinishedQuestion));
		EXPECT_TRUE(WithoutTimes(Log()).ends_with("\n\nCanceled: <time>\n\n")) << Log();
		EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
	}
};


TEST_F(InstallRunTest, ProgressCountsBytesWrittenThenTheRestOfTheLastBlock)
{
	PackagePlan plan;
	plan.File(plan.Top(), "data", RandomBytes(1500));
	// Only updates: with nothing of its name there it is skipped, and its
	// size still goes to the bar, rounded to whole blocks.
	plan.File(plan.Top(), "update", RandomBytes(1500))->fReplaceOption = 7;
	Prepare(plan);

	BMessage done = RunInstall(~0u, 3000, 2);
	EXPECT_EQ(done.what, (uint32)kInstallDoneMessage);
	EXPECT_FALSE(done.GetBool("close", true));

	std::vector<int64> progress = fSpy->Progress();
	// Extraction reports the bytes written (one chunk for 1500), then the
	// item the rest of its last block; the skipped file one rounded size.
	ASSERT_EQ(progress, (std::vector<int64>{1500, 548, 2048}));
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool/data") == RandomBytes(1500));
	EXPECT_FALSE(Exists("boot/apps/Tool/update"));
	// Every file item not in a skipped folder is named, installed or not.
	EXPECT_EQ(fSpy->FileNames(), (std::vector<std::string>{"data", "update"}));
	EXPECT_TRUE(WasAsked(kFinishedQuestion));

	// The progress view heard 'Extr' with the totals first and 'Done' at
	// the end (twice after success: before the question and at the end).
	std::vector<BMessage> messages = fSpy->Messages();
	ASSERT_FALSE(messages.empty());
	EXPECT_EQ(messages.front().what, (uint32)kInstallMessage);
	EXPECT_EQ(find_byte_count(&messages.front(), "bytes"), 3000);
	EXPECT_EQ(messages.front().FindInt32("item count"), 2);
	auto doneCount = [&] {
		int count = 0;
		for (const BMessage& message : fSpy->Messages())
			count += message.what == kInstallDoneMessage;
		return count;
	};
	EXPECT_TRUE(WaitUntil([&] { return doneCount() == 2; }));
	snooze(50000);
	EXPECT_EQ(doneCount(), 2);
}


TEST_F(InstallRunTest, LogTextIsWrittenByteForByte)
{
	PackagePlan plan;
	CatalogEntry* docs = plan.Folder(plan.Top(), "docs");
	plan.File(docs, "readme", "hello", "text/plain");
	plan.File(plan.Top(), "tool", "#!/bin/sh\n")->fMode = 0755;
	plan.Link(plan.Top(), "latest", "docs/readme");
	Prepare(plan);

	EXPECT_EQ(OutcomeCode(RunInstall()), kRunCompleted);

	EXPECT_EQ(WithoutTimes(Log()),
		"Installation: Tool\nStarted: <time>\n\n\n"
		"/boot/apps/Tool/\n\tType: Folder\n"
		"/boot/apps/Tool/docs/\n\tType: Folder\n"
		"/boot/apps/Tool/docs/readme\n\tSize: 5 bytes\t\tType: text/plain\n"
		"/boot/apps/Tool/tool\n\tSize: 10 bytes\t\tType: N/A\n"
		"/boot/apps/Tool/latest\n\tSymblic link to docs/readme\n"
		"\n\nCompleted: <time>\n\n");

	struct stat st;
	ASSERT_EQ(lstat(fRoot.HostPath("boot/apps/Tool/tool").c_str(), &st), 0);
	EXPECT_NE(st.st_mode & 0100, 0u);
	ASSERT_EQ(lstat(fRoot.HostPath("boot/apps/Tool/latest").c_str(), &st), 0);
	EXPECT_TRUE(S_ISLNK(st.st_mode));
	// The run's temporary folder is gone.
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstallRunTest, ItemTimesAndLinkTimesAreTheItemsOwn)
{
	PackagePlan plan;
	CatalogEntry* file = plan.File(plan.Top(), "file", "x");
	file->fModificationTime = 1000000000;
	CatalogEntry* link = plan.Link(plan.Top(), "link", "/nowhere/at/all");
	link->fModificationTime = 1100000000;
	plan.AddAttribute(link, "note", B_STRING_TYPE, "kept nowhere");
	Prepare(plan);

	RunInstall();

	struct stat st;
	ASSERT_EQ(lstat(fRoot.HostPath("boot/apps/Tool/file").c_str(), &st), 0);
	EXPECT_EQ(st.st_mtime, 1000000000);
	// The link's own time; its target (which does not exist) is never
	// looked at, and its attributes are not applied without an error.
	ASSERT_EQ(lstat(fRoot.HostPath("boot/apps/Tool/link").c_str(), &st), 0);
	EXPECT_TRUE(S_ISLNK(st.st_mode));
	EXPECT_EQ(st.st_mtime, 1100000000);
	EXPECT_NE(Log().find("Completed: "), std::string::npos);
}


TEST_F(InstallRunTest, DestinationsOfEveryKind)
{
	PackagePlan plan;
	AttributeSectionWriter& attributes = plan.Attributes();
	attributes.AddDefaultDestination("home/config/settings");
	attributes.AddDefaultDestination("", B_USER_CONFIG_DIRECTORY);
	attributes.AddCustomPath("/Data/shared/Tool");
	attributes.AddCustomPath("relative/place");
	plan.File(plan.Top(), "inside", "1");
	CatalogEntry* folder = plan.Folder(plan.Top(), "sub");
	plan.File(folder, "contained", "2");
	plan.File(folder, "installfolder", "3")->fDestIndex = kInstallFolderDestination;
	plan.File(plan.Top(), "defaultpath", "4")->fDestIndex = 0;
	plan.File(plan.Top(), "systemfolder", "5")->fDestIndex = 1;
	CatalogEntry* absolute = plan.File(plan.Top(), "absolute", "6");
	absolute->fDestIndex = 0;
	absolute->fCustom = true;
	CatalogEntry* relative = plan.File(plan.Top(), "relative", "7");
	relative->fDestIndex = 1;
	relative->fCustom = true;
	// An index past the list's end: an alert, and the item is passed over.
	CatalogEntry* missing = plan.File(plan.Top(), "missing", "8");
	missing->fDestIndex = 5;
	missing->fCustom = true;
	Prepare(plan, "apps");

	RunInstall();

	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/inside"), "1");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/sub/contained"), "2");
	// The install folder is the top folder once it is made.
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/installfolder"), "3");
	EXPECT_EQ(fRoot.ReadFile("boot/home/config/settings/defaultpath"), "4");
	EXPECT_EQ(fRoot.ReadFile("boot/home/config/systemfolder"), "5");
	EXPECT_EQ(fRoot.ReadFile("Data/shared/Tool/absolute"), "6");
	EXPECT_EQ(fRoot.ReadFile("boot/relative/place/relative"), "7");
	EXPECT_TRUE(WasAsked("Destination list index out of range"));
	EXPECT_TRUE(WasAsked("Destination directory for \"missing\" could not be found."));
	EXPECT_FALSE(Exists("boot/apps/Tool/missing"));
}


TEST_F(InstallRunTest, SystemFolderOfASecondVolumeIsMadeOnThatVolume)
{
	PackagePlan plan;
	plan.Attributes().AddDefaultDestination("", B_USER_CONFIG_DIRECTORY);
	plan.File(plan.Top(), "settings", "s")->fDestIndex = 0;
	plan.File(plan.Top(), "beside", "b");
	Prepare(plan, "apps", "/Data");

	RunInstall();

	EXPECT_EQ(fRoot.ReadFile("Data/home/config/settings"), "s");
	EXPECT_EQ(fRoot.ReadFile("Data/apps/Tool/beside"), "b");
	EXPECT_FALSE(Exists("boot/home/config/settings"));
	EXPECT_NE(Log("Data").find("/Data/apps/Tool/beside\n"), std::string::npos);
}


TEST_F(InstallRunTest, ItemsOfASkippedFolderAreNotWrittenButAdvanceTheBar)
{
	fRoot.WriteFile("boot/apps/Tool/kept/original", "mine");
	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	// Never replaced: the existing folder stays and so the folder is skipped.
	CatalogEntry* kept = plan.Folder(plan.Top(), "kept");
	kept->fReplaceOption = 1;
	plan.File(kept, "inner", RandomBytes(100));
	plan.File(plan.Folder(kept, "deeper"), "deepest", RandomBytes(2000));
	Prepare(plan);

	RunInstall();

	EXPECT_FALSE(Exists("boot/apps/Tool/kept/inner"));
	EXPECT_FALSE(Exists("boot/apps/Tool/kept/deeper"));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/kept/original"), "mine");
	// The folder's own size (the catalog gives folders none), then each
	// file's rounded size.
	EXPECT_EQ(fSpy->Progress(), (std::vector<int64>{0, 1024, 2048}));
	// A merged top folder writes no line of its own.
	EXPECT_EQ(WithoutTimes(Log()),
		"Installation: Tool\nStarted: <time>\n\n\n\n\nCompleted: <time>\n\n");
}


TEST_F(InstallRunTest, UpdateOnlyReplacesWhatIsThereAndDeletesTheOldAtTheEnd)
{
	fRoot.WriteFile("boot/apps/Tool/present", "old");
	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	plan.File(plan.Top(), "present", "new")->fReplaceOption = 7;
	plan.File(plan.Top(), "absent", "new")->fReplaceOption = 7;
	CatalogEntry* folder = plan.Folder(plan.Top(), "absentfolder");
	folder->fReplaceOption = 7;
	plan.File(folder, "inside", "x");
	Prepare(plan);

	RunInstall();

	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/present"), "new");
	EXPECT_FALSE(Exists("boot/apps/Tool/absent"));
	EXPECT_FALSE(Exists("boot/apps/Tool/absentfolder"));
	// What the run displaced is gone with the temporary folder.
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstallRunTest, AFailingItemEndsTheRunAndPutsBackWhatItDisplaced)
{
	fRoot.WriteFile("boot/apps/early", "old");
	PackagePlan plan;
	// The top folder is not selected, so its contents have no folder: a
	// folder that goes into its containing folder cannot be made, and that
	// ends the run without a question.
	plan.Top()->fGroups = 2;
	CatalogEntry* early = plan.File(plan.Top(), "early", "new");
	early->fDestIndex = kInstallFolderDestination;
	early->fReplaceOption = 7;
	plan.Folder(plan.Top(), "nowhere");
	plan.File(plan.Top(), "late", "late")->fDestIndex = kInstallFolderDestination;
	Prepare(plan);
	fAttrib.fInstallFolderGroups = 1;

	BMessage done = RunInstall(~0u);

	EXPECT_FALSE(done.GetBool("close", true));
	EXPECT_FALSE(done.GetBool("completed", true));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/early"), "old");
	EXPECT_FALSE(Exists("boot/apps/late"));
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
	EXPECT_FALSE(WasAsked(kFinishedQuestion));
	// The log tells what the run did, and ends as the log format says.
	std::string log = WithoutTimes(Log());
	EXPECT_NE(log.find("/boot/apps/early\n"), std::string::npos);
	EXPECT_TRUE(log.ends_with("\n\nCompleted: <time>\n\n")) << log;
}


TEST_F(InstallRunTest, CancelInTheProgressWindowMidFileRestoresWhatWasDisplaced)
{
	fRoot.WriteFile("boot/apps/Tool/first", "first before");
	fRoot.WriteFile("boot/apps/Tool/big", "big before");
	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	plan.File(plan.Top(), "first", "first after")->fReplaceOption = 7;
	plan.File(plan.Top(), "big", RandomBytes(8 << 20))->fReplaceOption = 7;
	plan.File(plan.Top(), "after", "never");
	Prepare(plan);

	PostInstall();
	// The worker waits at a report in the middle of "big" while "Cancel" is
	// pressed.
	ASSERT_TRUE(HoldAtReport(20));
	int32 window = ProgressWindowID();
	EXPECT_TRUE(WaitUntil([&] { return IsShown(window); }));
	EXPECT_TRUE(Exists("boot/apps/Tool/big"));
	bool enabled = false;
	EXPECT_EQ(BPrivate::Automation::Click(window, "cancel"), B_OK);
	EXPECT_TRUE(WaitUntil([&] {
		return BPrivate::Automation::IsEnabled(window, "cancel", &enabled) == B_OK && !enabled;
	}));
	fSpy->Release();

	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));
	BMessage done = fWindowLog->At(0);
	EXPECT_FALSE(done.GetBool("close", true));
	EXPECT_EQ(OutcomeCode(done), kRunCancelled);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool/big") == "big before");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/first"), "first before");
	EXPECT_FALSE(Exists("boot/apps/Tool/after"));
	EXPECT_FALSE(WasAsked(kFinishedQuestion));
	EXPECT_TRUE(WithoutTimes(Log()).ends_with("\n\nCanceled: <time>\n\n"));
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstallRunTest, TerminationRequestMidRunCancelsAndAsksToClose)
{
	fRoot.WriteFile("boot/apps/Tool/big", "big before");
	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	plan.File(plan.Top(), "big", RandomBytes(4 << 20))->fReplaceOption = 7;
	Prepare(plan);

	PostInstall();
	ASSERT_TRUE(HoldAtReport(20));
	EXPECT_TRUE(Exists("boot/apps/Tool/big"));
	kill(getpid(), SIGTERM);
	fSpy->Release();

	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));
	// The program is to end once everything is back.
	EXPECT_TRUE(fWindowLog->At(0).GetBool("close", false));
	EXPECT_EQ(OutcomeCode(fWindowLog->At(0)), kRunCancelled);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool/big") == "big before");
	EXPECT_TRUE(WithoutTimes(Log()).ends_with("\n\nCanceled: <time>\n\n"));

	// Outside a run the signal has its usual effect again.
	struct sigaction action;
	ASSERT_EQ(sigaction(SIGTERM, nullptr, &action), 0);
	EXPECT_EQ(action.sa_handler, SIG_DFL);
}


// A script that would run for a minute is ended by the progress window's
// Cancel, and by a termination request, as soon as they come: the run ends
// as any cancelled run does, with everything it displaced back, and no
// process of the script left.
TEST_F(InstallRunTest, CancelInTheProgressWindowEndsARunningScript)
{
	CancelDuringScript(false);
}


TEST_F(InstallRunTest, TerminationRequestEndsARunningScript)
{
	CancelDuringScript(true);
}


TEST_F(InstallRunTest, NamesThatAreNoPlainNamesAreNeverCreated)
{
	PackagePlan plan;
	plan.File(plan.Top(), "../escaped", "x");
	plan.File(plan.Top(), "a/b", "x");
	plan.File(plan.Top(), "..", "x");
	plan.Folder(plan.Top(), "..");
	plan.File(plan.Folder(plan.Top(), "up/down"), "inside", "x");
	plan.Link(plan.Top(), "../link", "/boot");
	plan.File(plan.Top(), "fine", "ok");
	Prepare(plan);

	RunInstall();

	EXPECT_TRUE(WasAsked("Error creating new file \"../escaped\"."));
	EXPECT_TRUE(WasAsked("Error creating new file \"a/b\"."));
	EXPECT_TRUE(WasAsked("Error creating new file \"up/down\"."));
	EXPECT_TRUE(WasAsked("Error creating symbolic link \"../link\"."));
	EXPECT_FALSE(Exists("boot/apps/escaped"));
	EXPECT_FALSE(Exists("boot/apps/link"));
	EXPECT_FALSE(Exists("boot/apps/Tool/a"));
	EXPECT_FALSE(Exists("boot/apps/Tool/up"));
	EXPECT_FALSE(Exists("boot/apps/inside"));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/fine"), "ok");
}


TEST_F(InstallRunTest, ALinkInTheTargetNeverLeadsAWriteOutsideTheRoot)
{
	ScratchDir outside;
	// Absolute and climbing links to a host folder outside the root.
	std::filesystem::create_directories(fRoot.HostPath("boot/apps"));
	std::filesystem::create_directory_symlink(outside.Path(),
		fRoot.HostPath("boot/apps/absolute"));
	std::filesystem::create_directory_symlink("../../../../../../../../" + outside.Path(),
		fRoot.HostPath("boot/apps/climbing"));
	std::filesystem::create_directories(fRoot.HostPath("boot/apps/Tool"));
	std::filesystem::create_symlink(outside.Path() + "/file",
		fRoot.HostPath("boot/apps/Tool/file"));

	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	// Replaced: the link is moved aside and a real file takes its place.
	plan.File(plan.Top(), "file", "inside")->fReplaceOption = 7;
	plan.Attributes().AddCustomPath("/boot/apps/absolute/deeper");
	plan.Attributes().AddCustomPath("apps/climbing/deeper");
	CatalogEntry* viaAbsolute = plan.File(plan.Top(), "a", "x");
	viaAbsolute->fDestIndex = 0;
	viaAbsolute->fCustom = true;
	CatalogEntry* viaClimbing = plan.File(plan.Top(), "c", "x");
	viaClimbing->fDestIndex = 1;
	viaClimbing->fCustom = true;
	Prepare(plan);

	RunInstall();

	EXPECT_TRUE(HostFolderIsEmpty(outside.Path()));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/file"), "inside");
	struct stat st;
	ASSERT_EQ(lstat(fRoot.HostPath("boot/apps/absolute").c_str(), &st), 0);
	EXPECT_TRUE(S_ISLNK(st.st_mode));
}


TEST_F(InstallRunTest, AFullVolumeAsksAndCancelRestores)
{
	MountedVolume small;
	SKIP_UNLESS_MOUNTED(small.Mount(MountedVolume::kTmpfs, fRoot.HostPath("Small"), 2));
	// The root's descriptor was opened before the mount.
	ASSERT_EQ(set_system_root(fRoot.HostPath().c_str()), B_OK);
	fRoot.WriteFile("Small/apps/Tool/keep", "kept");

	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	plan.File(plan.Top(), "keep", "replaced")->fReplaceOption = 7;
	plan.File(plan.Top(), "huge", RandomBytes(4 << 20));
	Prepare(plan, "apps", "/Small");

	AlertRules cancel("is full", "Cancel");
	BMessage done = RunInstall();

	EXPECT_TRUE(WasAsked("The volume \"Small\" is full: \"huge\" could not be written."));
	EXPECT_FALSE(WasAsked("decompressing"));
	EXPECT_FALSE(done.GetBool("close", true));
	EXPECT_FALSE(Exists("Small/apps/Tool/huge"));
	EXPECT_EQ(fRoot.ReadFile("Small/apps/Tool/keep"), "kept");
	EXPECT_TRUE(WithoutTimes(Log("Small")).ends_with("\n\nCanceled: <time>\n\n"));
}


TEST_F(InstallRunTest, AFullVolumeWithContinueLeavesNoPartialFileAndLosesNoOriginal)
{
	MountedVolume small;
	SKIP_UNLESS_MOUNTED(small.Mount(MountedVolume::kTmpfs, fRoot.HostPath("Small"), 2));
	ASSERT_EQ(set_system_root(fRoot.HostPath().c_str()), B_OK);
	fRoot.WriteFile("Small/apps/Tool/keep", "kept");

	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	// Replaces the original, and does not fit.
	plan.File(plan.Top(), "keep", RandomBytes(3 << 20))->fReplaceOption = 7;
	plan.File(plan.Top(), "huge", RandomBytes(3 << 20, 8));
	// Fits once the others are gone again.
	plan.File(plan.Top(), "fits", "small");
	Prepare(plan, "apps", "/Small");

	AlertRules goOn("is full", "Continue");
	BMessage done = RunInstall();

	EXPECT_TRUE(WasAsked("The volume \"Small\" is full: \"keep\" could not be written."));
	EXPECT_TRUE(WasAsked("The volume \"Small\" is full: \"huge\" could not be written."));
	EXPECT_FALSE(WasAsked("decompressing"));
	EXPECT_TRUE(fRoot.ReadFile("Small/apps/Tool/keep") == "kept");
	EXPECT_FALSE(Exists("Small/apps/Tool/huge"));
	EXPECT_EQ(fRoot.ReadFile("Small/apps/Tool/fits"), "small");
	// The log names what is missing; the run itself went on to its end.
	std::string log = WithoutTimes(Log("Small"));
	EXPECT_NE(log.find("/Small/apps/Tool/keep\n\tNot installed: the volume is full\n"),
		std::string::npos) << log;
	EXPECT_NE(log.find("/Small/apps/Tool/huge\n\tNot installed: the volume is full\n"),
		std::string::npos) << log;
	EXPECT_EQ(log.find("Size: 3145728"), std::string::npos) << log;
	EXPECT_TRUE(log.ends_with("\n\nCompleted: <time>\n\n")) << log;
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("Small/var/tmp")));
}


// A folder replaced whole: the items that could not be written have no
// original of their own to go back to, so the replaced folder is kept.
TEST_F(InstallRunTest, AReplacedFolderIsKeptWhenItemsWerePassedOver)
{
	MountedVolume small;
	SKIP_UNLESS_MOUNTED(small.Mount(MountedVolume::kTmpfs, fRoot.HostPath("Small"), 2));
	ASSERT_EQ(set_system_root(fRoot.HostPath().c_str()), B_OK);
	fRoot.WriteFile("Small/apps/Tool/settings", "mine");
	fRoot.WriteFile("Small/apps/Tool/huge", "old huge");

	PackagePlan plan;
	plan.Top()->fReplaceOption = 7;
	plan.File(plan.Top(), "settings", "new");
	plan.File(plan.Top(), "huge", RandomBytes(3 << 20, 8));
	Prepare(plan, "apps", "/Small");

	AlertRules goOn("is full", "Continue");
	BMessage done = RunInstall();

	EXPECT_TRUE(WasAsked("The volume \"Small\" is full: \"huge\" could not be written."));
	EXPECT_TRUE(WasAsked("The items this installation replaced have been kept in"));
	EXPECT_FALSE(done.GetBool("completed", true));
	EXPECT_EQ(fRoot.ReadFile("Small/apps/Tool/settings"), "new");
	EXPECT_FALSE(Exists("Small/apps/Tool/huge"));
	std::vector<std::string> kept;
	for (const auto& entry : std::filesystem::directory_iterator(fRoot.HostPath("Small/var/tmp")))
		kept.push_back(entry.path().filename());
	ASSERT_EQ(kept.size(), 1u);
	EXPECT_TRUE(kept[0].starts_with("Installer Rescued Items")) << kept[0];
	std::string folder = "Small/var/tmp/" + kept[0] + "/";
	std::string original;
	for (const auto& entry : std::filesystem::recursive_directory_iterator(
			fRoot.HostPath(folder))) {
		if (entry.path().filename() == "huge")
			original = fRoot.ReadFile(folder + std::filesystem::relative(entry.path(),
				fRoot.HostPath(folder)).string());
	}
	EXPECT_EQ(original, "old huge");
}


TEST_F(InstallRunTest, DataOfAnotherSizeThanTheCatalogSaysAreNotInstalled)
{
	fRoot.WriteFile("boot/apps/Tool/liar", "original");
	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	// Far more data than the catalog declares, and far less.
	CatalogEntry* liar = plan.File(plan.Top(), "liar", RandomBytes(300000));
	liar->fReplaceOption = 7;
	liar->fSize = 1000;
	plan.File(plan.Top(), "short", "tiny")->fSize = 5000;
	plan.File(plan.Top(), "honest", "true");
	Prepare(plan);

	BMessage done = RunInstall();

	const char* const kDamaged = "The package file is corrupt: the data of \"%s\" are not of "
		"the size the package gives for it.";
	EXPECT_TRUE(WasAsked(alert_text(kDamaged, "liar")));
	EXPECT_TRUE(WasAsked(alert_text(kDamaged, "short")));
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool/liar") == "original");
	EXPECT_FALSE(Exists("boot/apps/Tool/short"));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/honest"), "true");
	std::string log = Log();
	EXPECT_EQ(log.find("Size: 1000 bytes"), std::string::npos) << log;
	EXPECT_NE(log.find("/boot/apps/Tool/liar\n\tNot installed: its data in the package are "
		"damaged\n"), std::string::npos) << log;
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstallRunTest, AlertsNameItemsWhoseNamesNoFileSystemTakes)
{
	const std::string longName(70 * 1024, 'n');
	// Cut inside a character: the alert shows only whole characters.
	const std::string accented = std::string(199, 'a') + "\xC3\xA9" + std::string(300, 'b');
	PackagePlan plan;
	plan.File(plan.Top(), longName, "x");
	plan.File(plan.Top(), accented, "x");
	plan.Folder(plan.Top(), longName);
	plan.File(plan.Top(), "fine", "ok");
	Prepare(plan);

	RunInstall();

	const std::string shown = std::string(200, 'n') + "\xE2\x80\xA6";
	EXPECT_TRUE(WasAsked("Error creating new file \"" + shown + "\"."));
	EXPECT_TRUE(WasAsked("Error creating new file \"" + std::string(199, 'a')
		+ "\xE2\x80\xA6\"."));
	for (const std::string& text : AlertRules::AnsweredTexts())
		EXPECT_EQ(text.find("%s"), std::string::npos) << text.substr(0, 80);
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/fine"), "ok");
}


TEST_F(InstallRunTest, AFolderThatCannotBeMadeIsNamedWhenTheRunEnds)
{
	PackagePlan plan;
	// The top folder is not selected: a folder that goes into it has no
	// folder to be made in.
	plan.Top()->fGroups = 2;
	plan.Folder(plan.Top(), "nowhere");
	plan.File(plan.Top(), "late", "late")->fDestIndex = kInstallFolderDestination;
	Prepare(plan);
	fAttrib.fInstallFolderGroups = 1;

	BMessage done = RunInstall(~0u);

	EXPECT_TRUE(WasAsked("Destination directory for \"nowhere\" could not be found."));
	EXPECT_FALSE(Exists("boot/apps/late"));
	EXPECT_FALSE(WasAsked(kFinishedQuestion));
}


TEST_F(InstallRunTest, AFolderOnAReadOnlyVolumeIsNamedWithTheReason)
{
	MountedVolume locked;
	SKIP_UNLESS_MOUNTED(locked.Mount(MountedVolume::kTmpfs, fRoot.HostPath("Locked"), 1, true));
	ASSERT_EQ(set_system_root(fRoot.HostPath().c_str()), B_OK);

	PackagePlan plan;
	plan.Attributes().AddCustomPath("/Locked");
	CatalogEntry* folder = plan.Folder(plan.Top(), "made");
	folder->fDestIndex = 0;
	folder->fCustom = true;
	plan.File(folder, "inside", "x");
	Prepare(plan);

	BMessage done = RunInstall();

	EXPECT_TRUE(WasAsked("The folder \"made\" could not be created (Read-only file system)."));
	EXPECT_FALSE(WasAsked(kFinishedQuestion));
	EXPECT_FALSE(Exists("boot/apps/Tool/inside"));
}


TEST_F(InstallRunTest, PatchesWithoutOriginalsStopTheRunBeforeAnything)
{
	PackagePlan plan;
	plan.Patch(plan.Top(), "settings", 11, "QVpt", 12);
	plan.File(plan.Top(), "other", "x");
	Prepare(plan);

	BMessage done = RunInstall();

	EXPECT_TRUE(WasAsked("Cannot install because files to be patched were not found."));
	EXPECT_FALSE(done.HasBool("close"));
	InstallOutcome outcome;
	ASSERT_TRUE(outcome.SetFrom(&done));
	EXPECT_EQ(outcome.Code(), kRunNotStarted);
	EXPECT_EQ(outcome.Reason(), "Cannot install because files to be patched were not found.");
	EXPECT_FALSE(Exists("boot/apps/Tool"));
	EXPECT_FALSE(Exists("boot/Tool Install Log"));
	// The progress view heard nothing of the run.
	EXPECT_TRUE(fSpy->Messages().empty());
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstallRunTest, PatchWindowClosedWithoutConfirmingExtractsNothing)
{
	fRoot.WriteFile("boot/apps/Tool/settings", "eleven byte");
	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	plan.Patch(plan.Top(), "settings", 11, "QVpt", 12);
	plan.File(plan.Top(), "other", "x");
	Prepare(plan);

	PostInstall();
	BPrivate::DisplayWindowInfo info;
	ASSERT_TRUE(BPrivate::Automation::WaitForWindow("Patching Status", &info));
	EXPECT_EQ(BPrivate::Automation::Click(info.id, "cancelbutton"), B_OK);
	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));

	EXPECT_FALSE(fWindowLog->At(0).HasBool("close"));
	EXPECT_FALSE(Exists("boot/apps/Tool/other"));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/settings"), "eleven byte");
	EXPECT_FALSE(Exists("boot/Tool Install Log"));
}


TEST_F(InstallRunTest, PatchesFindTheirOriginalsInsideTheTopFolderNotBesideIt)
{
	// The installed originals (a patch finds its original by size), in the
	// top folder inside the install folder; beside it, in the install
	// folder itself, other files of their sizes.
	std::string settings = Filler(5000, 's');
	std::string prefs = Filler(5100, 'p');
	std::string added = Filler(4200, 'a');
	fRoot.WriteFile("boot/apps/Tool/settings", settings);
	fRoot.WriteFile("boot/apps/Tool/prefs", prefs);
	fRoot.WriteFile("boot/apps/settings", Filler(5000, 'x'));
	fRoot.WriteFile("boot/apps/prefs", Filler(5100, 'y'));
	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	// As the package tool places items right in the top folder: in the
	// install folder, which the top folder becomes once it is made.
	plan.Patch(plan.Top(), "settings", 5000, AppendingPatch(settings, 5000, added), 9200)
		->fDestIndex = kInstallFolderDestination;
	// In the folder that holds the item.
	plan.Patch(plan.Top(), "prefs", 5100, AppendingPatch(prefs, 5100, added), 9300);
	Prepare(plan);

	PostInstall();
	BPrivate::DisplayWindowInfo info;
	ASSERT_TRUE(BPrivate::Automation::WaitForWindow("Patching Status", &info));
	EXPECT_EQ(BPrivate::Automation::Click(info.id, "continuebutton"), B_OK);
	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));

	EXPECT_TRUE(WasAsked(kFinishedQuestion));
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool/settings") == settings + added);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool/prefs") == prefs + added);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/settings") == Filler(5000, 'x')) << "untouched";
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/prefs") == Filler(5100, 'y')) << "untouched";
}


TEST_F(InstallRunTest, ACatalogDamagedSinceTheOpenStopsTheRunBeforeAnything)
{
	PackagePlan plan;
	plan.File(plan.Top(), "first", "1");
	plan.File(plan.Top(), "second", "2");
	Prepare(plan);

	// The package changes under the open package: the second file's name
	// record gets a type no reader knows.
	std::string path = fScratch.Path() + "/test.pkg";
	std::string package;
	{
		std::ifstream in(path, std::ios::binary);
		package.assign(std::istreambuf_iterator<char>(in), {});
	}
	size_t name = package.rfind("Name", package.find("second", fPack->fCatalogOffset));
	ASSERT_NE(name, std::string::npos);
	ASSERT_GT((int64)name, fPack->fCatalogOffset);
	package[name + 6] = 11;
	std::ofstream(path, std::ios::binary) << package;

	BMessage done = RunInstall();

	EXPECT_TRUE(WasAsked("Invalid package file."));
	EXPECT_FALSE(WasAsked(kFinishedQuestion));
	EXPECT_FALSE(done.HasBool("close"));
	EXPECT_FALSE(Exists("boot/apps/Tool"));
	EXPECT_FALSE(Exists("boot/Tool Install Log"));
}


TEST_F(InstallRunTest, AnUpdateWhosePatchFailsPutsBackEverythingItDisplaced)
{
	// The user edited the file to be patched without changing its size: the
	// patched result fails its checksum after two files were replaced.
	std::string original = RandomBytes(6000, 1);
	std::string edited = original;
	edited[100] ^= 0x55;
	fRoot.WriteFile("boot/apps/data", edited);
	fRoot.WriteFile("boot/apps/Tool/data", edited);
	std::string oldA = RandomBytes(3000, 2);
	std::string oldB = RandomBytes(5000, 3);
	fRoot.WriteFile("boot/apps/Tool/a", oldA);
	fRoot.WriteFile("boot/apps/Tool/b", oldB);

	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	plan.File(plan.Top(), "a", RandomBytes(3100, 4))->fReplaceOption = 7;
	plan.File(plan.Top(), "b", RandomBytes(5100, 5))->fReplaceOption = 7;
	std::string patch = AppendingPatch(original, 5000, RandomBytes(5000, 6));
	plan.Patch(plan.Top(), "data", 6000, patch, 10000)->fDestIndex
		= kInstallFolderDestination;
	Prepare(plan);

	PostInstall();
	BPrivate::DisplayWindowInfo info;
	ASSERT_TRUE(BPrivate::Automation::WaitForWindow("Patching Status", &info));
	EXPECT_EQ(BPrivate::Automation::Click(info.id, "continuebutton"), B_OK);
	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));
	BMessage done = fWindowLog->At(0);

	EXPECT_TRUE(WasAsked("Patched file checksum does not match."));
	EXPECT_FALSE(done.GetBool("completed", true));
	InstallOutcome outcome;
	ASSERT_TRUE(outcome.SetFrom(&done));
	EXPECT_EQ(outcome.Code(), kRunFailed);
	EXPECT_EQ(outcome.Item(), "data");
	EXPECT_EQ(outcome.Reason(), "Patched file checksum does not match. Patch could not be "
		"completed.");
	EXPECT_FALSE(WasAsked(kFinishedQuestion));
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool/a") == oldA);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool/b") == oldB);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/data") == edited);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool/data") == edited);
	EXPECT_FALSE(Exists("boot/apps/data.old"));
	EXPECT_FALSE(Exists("boot/apps/Tool/data.old"));
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstallRunTest, ACancelledRunGivesRenamedItemsTheirNamesBack)
{
	fRoot.WriteFile("boot/apps/Tool/original", "mine");
	fRoot.WriteFile("boot/apps/Tool.old/older", "older still");
	PackagePlan plan;
	// The existing top folder is renamed (to Tool.old.old1: Tool.old is
	// taken), the new one is made, and the run is cancelled mid-file.
	plan.Top()->fReplaceOption = 2;
	plan.File(plan.Top(), "first", "first");
	plan.File(plan.Top(), "big", RandomBytes(4 << 20));
	Prepare(plan);

	PostInstall();
	ASSERT_TRUE(HoldAtReport(20));
	EXPECT_TRUE(Exists("boot/apps/Tool.old.old1/original"));
	EXPECT_TRUE(Exists("boot/apps/Tool/first"));
	kill(getpid(), SIGTERM);
	fSpy->Release();

	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));
	EXPECT_TRUE(fWindowLog->At(0).GetBool("close", false));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/original"), "mine");
	EXPECT_FALSE(Exists("boot/apps/Tool/first"));
	EXPECT_FALSE(Exists("boot/apps/Tool/big"));
	EXPECT_FALSE(Exists("boot/apps/Tool.old.old1"));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool.old/older"), "older still");
	EXPECT_TRUE(WithoutTimes(Log()).ends_with("\n\nCanceled: <time>\n\n"));
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


// The closing question waits for a person who may not be there (a
// shutdown's SIGTERM): it is asked with the signals' usual effect back, the
// run being over with nothing left to put back.
TEST_F(InstallRunTest, TheClosingQuestionLeavesSignalsTheirUsualEffect)
{
	PrepareReplacingToolFile();

	struct sigaction before = {};
	struct sigaction asked = {};
	sigaction(SIGTERM, nullptr, &before);
	{
		// The closing question stays up (no button of that name) until the
		// signal's effect has been looked at.
		AlertRules hold(kFinishedQuestion, "no such button");
		PostInstall();
		ASSERT_TRUE(WaitUntil([] { return WasAsked(kFinishedQuestion); }));
		sigaction(SIGTERM, nullptr, &asked);
	}
	EXPECT_EQ(asked.sa_handler, before.sa_handler);
	// Now answered "Continue": the window stays, the run completed.
	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));
	BMessage done = fWindowLog->At(0);
	EXPECT_FALSE(done.GetBool("close", true));
	EXPECT_TRUE(done.GetBool("completed", false));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/file"), "new");
	EXPECT_TRUE(WithoutTimes(Log()).ends_with("\n\nCompleted: <time>\n\n"));
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstallRunTest, ARunWaitsWhileAnotherHoldsTheVolumeAndSaysSoOnce)
{
	PrepareReplacingToolFile();
	// Another run holds the volume.
	OtherRun other;
	ASSERT_EQ(other.fManager.LockVolume(), B_OK);

	testing::internal::CaptureStderr();
	PostInstall();
	const char* waiting = "Waiting for another installation on volume \"boot\" to finish...";
	auto told = [&] {
		for (const BMessage& message : fSpy->Messages()) {
			if (message.what == 'GeTs' && message.GetString("text", "") == std::string(waiting))
				return true;
		}
		return false;
	};
	EXPECT_TRUE(WaitUntil(told));
	// Nothing is touched while it waits.
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/file"), "old");
	EXPECT_EQ(std::filesystem::directory_iterator(fRoot.HostPath("boot/var/tmp"))->path()
		.filename(), "kestrovan.lock");
	other.fManager.FinishInstall(false, nullptr);

	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));
	std::string errors = testing::internal::GetCapturedStderr();
	EXPECT_NE(errors.find(waiting), std::string::npos);
	EXPECT_EQ(errors.find(waiting), errors.rfind(waiting));
	EXPECT_TRUE(fWindowLog->At(0).GetBool("completed", false));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/file"), "new");
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstallRunTest, ATerminationRequestEndsTheWaitAndTouchesNothing)
{
	PrepareReplacingToolFile();
	OtherRun other;
	ASSERT_EQ(other.fManager.LockVolume(), B_OK);

	PostInstall();
	EXPECT_TRUE(WaitUntil([&] {
		for (const BMessage& message : fSpy->Messages()) {
			if (message.what == 'GeTs')
				return true;
		}
		return false;
	}));
	kill(getpid(), SIGTERM);

	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));
	BMessage done = fWindowLog->At(0);
	EXPECT_TRUE(done.GetBool("close", false));
	EXPECT_FALSE(done.GetBool("completed", false));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/file"), "old");
	EXPECT_FALSE(Exists("boot/Tool Install Log"));
	other.fManager.FinishInstall(false, nullptr);
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstallRunTest, CancelInTheProgressWindowEndsTheWaitAndTouchesNothing)
{
	PrepareReplacingToolFile();
	OtherRun other;
	ASSERT_EQ(other.fManager.LockVolume(), B_OK);

	PostInstall();
	int32 window = ProgressWindowID();
	EXPECT_TRUE(WaitUntil([&] { return IsShown(window); }));
	bool enabled = false;
	EXPECT_TRUE(WaitUntil([&] {
		return BPrivate::Automation::IsEnabled(window, "cancel", &enabled) == B_OK && enabled;
	}));
	EXPECT_EQ(BPrivate::Automation::Click(window, "cancel"), B_OK);

	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));
	BMessage done = fWindowLog->At(0);
	// The window stays for another try; nothing was installed.
	EXPECT_FALSE(done.GetBool("close", false));
	EXPECT_FALSE(done.GetBool("completed", false));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/file"), "old");
	EXPECT_FALSE(Exists("boot/Tool Install Log"));
	other.fManager.FinishInstall(false, nullptr);
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstallRunTest, AnOriginalAPatchReplacedComesBackWhenALaterItemFails)
{
	// The first patch applies and its original is to be deleted; the second
	// meets a user-edited original and fails the run.
	std::string data = RandomBytes(6000, 7);
	std::string conf = RandomBytes(7000, 8);
	std::string editedConf = conf;
	editedConf[10] ^= 0x55;
	for (const char* folder : {"boot/apps/", "boot/apps/Tool/"}) {
		fRoot.WriteFile(std::string(folder) + "data", data);
		fRoot.WriteFile(std::string(folder) + "conf", editedConf);
	}
	PackagePlan plan;
	plan.Top()->fReplaceOption = 6;
	plan.Patch(plan.Top(), "data", 6000, AppendingPatch(data, 5000, RandomBytes(5000, 9)),
		10000)->fDestIndex = kInstallFolderDestination;
	plan.Patch(plan.Top(), "conf", 7000, AppendingPatch(conf, 5000, RandomBytes(5000, 10)),
		10000)->fDestIndex = kInstallFolderDestination;
	Prepare(plan);

	PostInstall();
	BPrivate::DisplayWindowInfo info;
	ASSERT_TRUE(BPrivate::Automation::WaitForWindow("Patching Status", &info));
	EXPECT_EQ(BPrivate::Automation::Click(info.id, "continuebutton"), B_OK);
	ASSERT_TRUE(fWindowLog->WaitForCount(1, kRunWait));

	EXPECT_TRUE(WasAsked("Patched file checksum does not match."));
	EXPECT_FALSE(fWindowLog->At(0).GetBool("completed", true));
	for (const char* folder : {"boot/apps/", "boot/apps/Tool/"}) {
		EXPECT_TRUE(fRoot.ReadFile(std::string(folder) + "data") == data) << folder;
		EXPECT_TRUE(fRoot.ReadFile(std::string(folder) + "conf") == editedConf) << folder;
		EXPECT_FALSE(Exists(std::string(folder) + "data.old")) << folder;
		EXPECT_FALSE(Exists(std::string(folder) + "conf.old")) << folder;
	}
	EXPECT_TRUE(HostFolderIsEmpty(fRoot.HostPath("boot/var/tmp")));
}
