// Where installed items go: destination indices, the run's temporary folder,
// the items it holds while a run goes on, and the install log.

#include "ChooserAnswerer.h"
#include "TempRoot.h"

#include "ArchivePatchItem.h"
#include "CreatePath.h"
#include "DestManager.h"
#include "FindItem.h"
#include "PackAttrib.h"
#include "REntryList.h"
#include "RunJournal.h"

#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Node.h>
#include <NodeInfo.h>
#include <Path.h>
#include <TypeConstants.h>

#include <unistd.h>

#include <cstring>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kSignature = "application/x-vnd.Maker-Tool";

dev_t
DeviceOf(const char* path)
{
	BDirectory dir(path);
	node_ref ref;
	if (dir.GetNodeRef(&ref) != B_OK)
		return -1;
	return ref.device;
}

std::string
PathOf(const BDirectory* dir)
{
	BEntry entry;
	BPath path;
	if (dir == nullptr || dir->GetEntry(&entry) != B_OK || entry.GetPath(&path) != B_OK)
		return "<none>";
	return path.Path();
}

} // namespace

class DestManagerTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		fData = DeviceOf("/Data");
		ASSERT_GE(fData, 0);
	}

	bool Exists(const std::string& relative) const
	{
		return std::filesystem::exists(fRoot.HostPath(relative));
	}

	void MakeTool(const char* path, int64 size)
	{
		fRoot.WriteFile(path, std::string(size, 't'));
		BNode node((std::string("/") + path).c_str());
		ASSERT_EQ(node.WriteAttr("BEOS:APP_SIG", B_MIME_STRING_TYPE, 0, kSignature,
			strlen(kSignature) + 1), (ssize_t)strlen(kSignature) + 1);
	}

	PackAttrib fAttrib;
	dev_t fData = -1;
};


TEST_F(DestManagerTest, SizesPlatformAndLogNames)
{
	DestManager manager(&fAttrib);
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	EXPECT_EQ(manager.AllocSize(0), 0);
	EXPECT_EQ(manager.AllocSize(1), 1024);
	EXPECT_EQ(manager.AllocSize(1024), 1024);
	EXPECT_EQ(manager.AllocSize(1025), 2048);
	EXPECT_EQ(manager.AllocExtra(1000), 24);
	const int64 fiveGiB = 5LL << 30;
	EXPECT_EQ(manager.AllocSize(fiveGiB + 1), fiveGiB + 1024);

	EXPECT_TRUE(manager.InstallPlatform(2));
	EXPECT_TRUE(manager.InstallPlatform(7));
	EXPECT_FALSE(manager.InstallPlatform(1));
	EXPECT_FALSE(manager.InstallPlatform(5));

	EXPECT_EQ(DestManager::LogFileName("Tool"), "Tool Install Log");
	EXPECT_EQ(DestManager::LogFileName(""), "Install Log");
	EXPECT_EQ(DestManager::LogFileName(nullptr), "Install Log");
	EXPECT_EQ(DestManager::LogFileName("a/b/../c"), "a-b-..-c Install Log");
	std::string longName(250, 'n');
	EXPECT_EQ(DestManager::LogFileName(longName.c_str()),
		std::string(243, 'n') + " Install Log");
}


TEST_F(DestManagerTest, ParentAndInstallFolder)
{
	DestManager manager(&fAttrib);
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps/Tool", fData, nullptr, false));

	// -2 is the folder given, even an unset one.
	BDirectory unset;
	EXPECT_EQ(manager.DirectoryFor(-2, &unset, false, true, nullptr), &unset);

	// -1 by path: missing and not to be made gives nothing; later made.
	EXPECT_EQ(manager.DirectoryFor(-1, nullptr, false, false, nullptr), nullptr);
	EXPECT_FALSE(Exists("Data/apps/Tool"));
	BDirectory* install = manager.DirectoryFor(-1, nullptr, false, true, nullptr);
	ASSERT_NE(install, nullptr);
	EXPECT_EQ(PathOf(install), "/Data/apps/Tool");
	EXPECT_TRUE(Exists("Data/apps/Tool"));
	EXPECT_EQ(manager.DirectoryFor(-1, nullptr, false, false, nullptr), install);
	manager.FinishInstall(false, nullptr);

	// -1 by reference.
	fRoot.WriteFile("boot/here/keep", "k");
	entry_ref ref;
	ASSERT_EQ(get_ref_for_path("/boot/here", &ref), B_OK);
	ASSERT_TRUE(manager.SetupInstall(&ref, nullptr, fData, nullptr, false));
	EXPECT_EQ(PathOf(manager.DirectoryFor(-1, nullptr, false, false, nullptr)), "/boot/here");

	// The top folder re-points the install folder only when it is created.
	fRoot.WriteFile("Data/top/x", "x");
	BEntry top("/Data/top");
	manager.SetInstallDir(&top);
	EXPECT_EQ(PathOf(manager.DirectoryFor(-1, nullptr, false, false, nullptr)), "/Data/top");
	manager.fCreateTopFolder = false;
	BEntry other("/boot/here");
	manager.SetInstallDir(&other);
	EXPECT_EQ(PathOf(manager.DirectoryFor(-1, nullptr, false, false, nullptr)), "/Data/top");
	manager.FinishInstall(false, nullptr);
}


TEST_F(DestManagerTest, DefaultAndCustomLists)
{
	fAttrib.fDefaultDestList->AddItem(new DestItem("apps/Relative"));
	fAttrib.fDefaultDestList->AddItem(new DestItem("/Data/abs/Tool"));
	fAttrib.fDefaultDestList->AddItem(new DestItem("", B_COMMON_ADDONS_DIRECTORY));
	fAttrib.fDefaultDestList->AddItem(new DestItem("/Nowhere/x"));
	fAttrib.fDefaultDestList->AddItem(new DestItem("", 26371));
	fAttrib.fCustomDestList->AddItem(new DestItem("custom/place"));
	DestManager manager(&fAttrib);
	EXPECT_EQ(fAttrib.fDefaultDestList, nullptr);
	EXPECT_EQ(fAttrib.fCustomDestList, nullptr);
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));

	EXPECT_EQ(manager.DirectoryFor(0, nullptr, false, false, nullptr), nullptr);
	BDirectory* relative = manager.DirectoryFor(0, nullptr, false, true, nullptr);
	EXPECT_EQ(PathOf(relative), "/Data/apps/Relative");
	// Asked again in the same run: the cached folder.
	EXPECT_EQ(manager.DirectoryFor(0, nullptr, false, true, nullptr), relative);

	EXPECT_EQ(PathOf(manager.DirectoryFor(1, nullptr, false, true, nullptr)),
		"/Data/abs/Tool");
	// A system folder lands at its boot-volume place on the target volume.
	EXPECT_EQ(PathOf(manager.DirectoryFor(2, nullptr, false, true, nullptr)),
		"/Data/home/config/add-ons");
	EXPECT_TRUE(Exists("Data/home/config/add-ons"));

	// The first component of an absolute path is a volume, never made.
	testing::internal::CaptureStderr();
	EXPECT_EQ(manager.DirectoryFor(3, nullptr, false, true, nullptr), nullptr);
	EXPECT_NE(testing::internal::GetCapturedStderr().find(
		"Error creating custom pathname \"/Nowhere/x\"."), std::string::npos);
	EXPECT_FALSE(Exists("Nowhere"));
	// A directory constant that the platform does not have: no folder.
	EXPECT_EQ(manager.DirectoryFor(4, nullptr, false, true, nullptr), nullptr);

	// Past the end: nothing for the default list, an alert for the custom.
	testing::internal::CaptureStderr();
	EXPECT_EQ(manager.DirectoryFor(9, nullptr, false, true, nullptr), nullptr);
	EXPECT_EQ(manager.DirectoryFor(1, nullptr, true, true, nullptr), nullptr);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		"Destination list index out of range. This package may be corrupt.\n");
	EXPECT_EQ(PathOf(manager.DirectoryFor(0, nullptr, true, true, nullptr)),
		"/Data/custom/place");
	manager.FinishInstall(false, nullptr);

	// A new run resolves every entry afresh.
	std::filesystem::remove_all(fRoot.HostPath("Data/apps/Relative"));
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	EXPECT_EQ(manager.DirectoryFor(0, nullptr, false, false, nullptr), nullptr);
	manager.FinishInstall(false, nullptr);
}


TEST_F(DestManagerTest, QueryDestinations)
{
	MakeTool("Data/apps/Tool", 1234);
	MakeTool("Data/old/Other", 1234);
	fRoot.WriteFile("Data/apps/Tool.cfg", "12345");
	fAttrib.fCustomDestList->AddItem(new FindItem("Tool", 1234, kSignature));
	fAttrib.fCustomDestList->AddItem(new FindItem("Tool", 99, kSignature));
	fAttrib.fCustomDestList->AddItem(new FindItem("Tool"));
	fAttrib.fCustomDestList->AddItem(new FindItem("Either", 1234, kSignature));
	DestManager manager(&fAttrib);
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	FindItem* found = static_cast<FindItem*>(manager.fCustomDests->ItemAt(0));
	FindItem* missing = static_cast<FindItem*>(manager.fCustomDests->ItemAt(1));
	FindItem* bare = static_cast<FindItem*>(manager.fCustomDests->ItemAt(2));

	// Two files of that size and signature: the user picks one.
	BDirectory* dir;
	{
		ChooserAnswerer answer("/Data/apps/Tool", "Continue");
		dir = manager.DirectoryFor(0, nullptr, true, false, nullptr);
		answer.Join();
		EXPECT_TRUE(answer.Answered());
		EXPECT_EQ(answer.Rows().size(), 2u);
	}
	EXPECT_EQ(PathOf(dir), "/Data/apps");
	EXPECT_FALSE(found->fNotFound);
	EXPECT_STREQ(found->fFoundRef.name, "Tool");
	EXPECT_EQ(manager.DirectoryFor(0, nullptr, true, false, nullptr), dir);

	EXPECT_EQ(manager.DirectoryFor(1, nullptr, true, true, nullptr), nullptr);
	EXPECT_TRUE(missing->fNotFound);
	EXPECT_FALSE(Exists("Data/Tool"));

	REntryList result;
	EXPECT_NE(manager.FetchQuery(bare, &result), B_OK);
	EXPECT_EQ(manager.DirectoryFor(2, nullptr, true, false, nullptr), nullptr);

	// Several matches: the user is asked, takes the first, and the run goes
	// on.
	{
		ChooserAnswerer answer(-1, "Continue");
		EXPECT_NE(manager.DirectoryFor(3, nullptr, true, false, nullptr), nullptr);
		answer.Join();
		EXPECT_TRUE(answer.Answered());
	}
	EXPECT_FALSE(manager.fCanceled);

	// A patch of the found file takes the query's match as its original;
	// otherwise the folder's first file of the original's size.
	ArchivePatchItem patch;
	patch.fOldSize = 1234;
	EXPECT_EQ(manager.DirectoryFor(0, nullptr, true, false, &patch), dir);
	EXPECT_EQ(patch.fOriginalRef, found->fFoundRef);
	patch.fOldSize = 5;
	EXPECT_EQ(manager.DirectoryFor(0, nullptr, true, false, &patch), dir);
	EXPECT_STREQ(patch.fOriginalRef.name, "Tool.cfg");
	patch.fOldSize = 77;
	EXPECT_EQ(manager.DirectoryFor(0, nullptr, true, false, &patch), nullptr);

	manager.ClearDestinationLists();
	EXPECT_FALSE(missing->fNotFound);
	EXPECT_EQ(found->fDir, nullptr);
	manager.FinishInstall(false, nullptr);
}


TEST_F(DestManagerTest, TemporaryFolderOfARun)
{
	// A folder left by a killed run of this thread's number keeps its items.
	std::string stale = "Data/var/tmp/Stowhand" + std::to_string(gettid());
	fRoot.WriteFile(stale + "/Displaced", "old");
	DestManager manager(&fAttrib);
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	std::string name = manager.TempFolderName();
	EXPECT_EQ(name.rfind("Stowhand", 0), 0u);
	EXPECT_NE("Data/var/tmp/" + name, stale);
	EXPECT_EQ(PathOf(&manager.fTempDir), "/Data/var/tmp/" + name);
	manager.FinishInstall(false, nullptr);
	EXPECT_FALSE(Exists("Data/var/tmp/" + name));
	EXPECT_EQ(fRoot.ReadFile(stale + "/Displaced"), "old");

	// No var/tmp can be made: the run does not begin.
	fRoot.WriteFile("boot/var", "a file");
	testing::internal::CaptureStderr();
	EXPECT_FALSE(manager.SetupInstall(nullptr, (char*)"apps", DeviceOf("/boot"), nullptr,
		false));
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		"Error creating temporary directory on volume \"boot\".\n");
}


TEST_F(DestManagerTest, DisplacedItemsAfterSuccessAndCancel)
{
	DestManager manager(&fAttrib);
	for (bool cancel : {false, true}) {
		std::filesystem::remove_all(fRoot.HostPath("Data/apps"));
		fRoot.WriteFile("Data/apps/Tool", "first");
		fRoot.WriteFile("Data/apps/sub/keep", "kept");
		ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
		std::string temp = "Data/var/tmp/" + manager.TempFolderName();
		BDirectory apps("/Data/apps");
		BEntry tool("/Data/apps/Tool");
		manager.SafeDelete(&tool, &apps);
		BEntry sub("/Data/apps/sub");
		manager.SafeDelete(&sub, &apps);
		EXPECT_EQ(fRoot.ReadFile(temp + "/Tool"), "first");
		EXPECT_EQ(fRoot.ReadFile(temp + "/sub/keep"), "kept");

		// The run installs a new Tool, then replaces it again: the second
		// one goes into a numbered clash folder.
		fRoot.WriteFile("Data/apps/Tool", "second");
		manager.NoteCreated(&apps, "Tool");
		BEntry again("/Data/apps/Tool");
		manager.SafeDelete(&again, &apps);
		EXPECT_EQ(fRoot.ReadFile(temp + "/Installer \xCF\xB7\xAB\xA8\xA0 Temp0/Tool"), "second");
		fRoot.WriteFile("Data/apps/Tool", "third");
		manager.NoteCreated(&apps, "Tool");
		BEntry third("/Data/apps/Tool");
		manager.SafeDelete(&third, &apps);
		EXPECT_EQ(fRoot.ReadFile(temp + "/Installer \xCF\xB7\xAB\xA8\xA0 Temp1/Tool"), "third");
		fRoot.WriteFile("Data/apps/Tool", "installed");
		manager.NoteCreated(&apps, "Tool");
		fRoot.WriteFile("Data/apps/sub/new", "installed");
		manager.NoteCreated(&apps, "sub");
		EXPECT_EQ(manager.fDeleteList->CountItems(), 4);

		manager.FinishInstall(cancel, nullptr);
		EXPECT_EQ(manager.fDeleteList->CountItems(), 0);
		EXPECT_FALSE(Exists(temp));
		if (cancel) {
			// Restored last first: the first version is what stays.
			EXPECT_EQ(fRoot.ReadFile("Data/apps/Tool"), "first");
			EXPECT_EQ(fRoot.ReadFile("Data/apps/sub/keep"), "kept");
			EXPECT_FALSE(Exists("Data/apps/sub/new"));
		} else {
			EXPECT_EQ(fRoot.ReadFile("Data/apps/Tool"), "installed");
			EXPECT_FALSE(Exists("Data/apps/sub/keep"));
		}
	}
}


// The journal knows a made entry again by its node, but a file made in a
// folder the run made needs none (the folder goes with all it holds), unless
// something was moved aside for it there: putting that back removes the
// file first.
TEST_F(DestManagerTest, OnlyWhatMayNeedKnowingAgainIsRecordedWithItsNode)
{
	DestManager manager(&fAttrib);
	fRoot.WriteFile("Data/apps/Old", "there before");
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	BDirectory apps("/Data/apps");
	auto make = [&](BDirectory* folder, const char* name) {
		ASSERT_EQ(manager.NoteCreating(folder, name), B_OK);
		BFile file;
		ASSERT_EQ(folder->CreateFile(name, &file, false), B_OK);
		manager.NoteCreated(folder, name, &file);
	};
	ASSERT_EQ(manager.NoteCreating(&apps, "New"), B_OK);
	ASSERT_EQ(apps.CreateDirectory("New", nullptr), B_OK);
	manager.NoteCreated(&apps, "New");
	BDirectory made("/Data/apps/New");
	make(&made, "first");
	make(&apps, "beside");
	BEntry old("/Data/apps/Old");
	ASSERT_TRUE(manager.SafeDelete(&old, &apps));
	make(&apps, "Old");
	BEntry first("/Data/apps/New/first");
	ASSERT_TRUE(manager.SafeDelete(&first, &made));
	make(&made, "first");

	std::string kind, name;
	std::vector<JournalRecord> records;
	ASSERT_EQ(RunJournal::Read(&manager.fTempDir, &kind, &name, &records), B_OK);
	std::vector<std::string> created;
	int32 creating = 0;
	for (const JournalRecord& record : records) {
		creating += record.fStep == kJournalCreating;
		if (record.fStep == kJournalCreated)
			created.push_back(record.fPath);
	}
	EXPECT_EQ(creating, 5);
	EXPECT_EQ(created, (std::vector<std::string>{ "/Data/apps/New", "/Data/apps/beside",
		"/Data/apps/Old", "/Data/apps/New/first" }));

	// Cancelled, the run puts back what it moved aside in place of what
	// it made there.
	manager.FinishInstall(true, nullptr);
	EXPECT_EQ(fRoot.ReadFile("Data/apps/Old"), "there before");
}


TEST_F(DestManagerTest, RescueFolderWhenRestoreFails)
{
	DestManager manager(&fAttrib);
	fRoot.WriteFile("Data/gone/Tool", "precious");
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	std::string temp = "Data/var/tmp/" + manager.TempFolderName();
	BDirectory gone("/Data/gone");
	BEntry tool("/Data/gone/Tool");
	manager.SafeDelete(&tool, &gone);
	std::filesystem::remove_all(fRoot.HostPath("Data/gone"));

	testing::internal::CaptureStderr();
	manager.FinishInstall(true, nullptr);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		"Error restoring item \"Tool\" to original location after cancelled install.\n");
	EXPECT_FALSE(Exists(temp));
	int rescued = 0;
	for (const auto& entry : std::filesystem::directory_iterator(
			fRoot.HostPath("Data/var/tmp"))) {
		std::string name = entry.path().filename().string();
		if (name.rfind("Installer Rescued Items ", 0) == 0) {
			rescued++;
			EXPECT_EQ(fRoot.ReadFile("Data/var/tmp/" + name + "/Tool"), "precious");
		}
	}
	EXPECT_EQ(rescued, 1);
}


TEST_F(DestManagerTest, QueriesPassOverWhatRunsMovedAway)
{
	MakeTool("Data/apps/Tool", 1234);
	MakeTool("Data/old/Tool", 1234);
	// Left by killed runs and by a run that could not put its items back.
	for (const char* folder : {"Stowhand999999", "Stowhand41-2",
			"Installer Rescued Items 4711", "Installer Rescued Items -12"})
		MakeTool(("Data/var/tmp/" + std::string(folder) + "/sub/Tool").c_str(), 1234);
	// Names no run makes, or not in "var/tmp": real destinations.
	for (const char* place : {"Data/var/tmp/StowhandNotes/Tool",
			"Data/var/tmp/Stowhand12-/Tool", "Data/home/Stowhand7/Tool"})
		MakeTool(place, 1234);
	// The only file of its size is an original a killed run displaced.
	MakeTool("Data/var/tmp/Stowhand999999/Tool.cfg", 77);
	fAttrib.fCustomDestList->AddItem(new FindItem("Tool", 1234, kSignature));
	fAttrib.fCustomDestList->AddItem(new FindItem("Tool.cfg", 77, kSignature));
	DestManager manager(&fAttrib);
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	BDirectory old("/Data/old");
	BEntry displaced("/Data/old/Tool");
	manager.SafeDelete(&displaced, &old);
	ASSERT_TRUE(Exists("Data/var/tmp/" + manager.TempFolderName() + "/Tool"));

	REntryList matches;
	ASSERT_EQ(manager.FetchQuery(static_cast<FindItem*>(manager.fCustomDests->ItemAt(0)),
		&matches), B_OK);
	std::vector<std::string> paths;
	entry_ref ref;
	matches.Rewind();
	while (matches.GetNextRef(&ref) == B_OK)
		paths.push_back(BPath(&ref).Path());
	EXPECT_EQ(paths, (std::vector<std::string>{"/Data/apps/Tool",
		"/Data/home/Stowhand7/Tool", "/Data/var/tmp/Stowhand12-/Tool",
		"/Data/var/tmp/StowhandNotes/Tool"}));

	// A patch finds no original there, and nothing goes there.
	FindItem* config = static_cast<FindItem*>(manager.fCustomDests->ItemAt(1));
	ArchivePatchItem patch;
	patch.fOldSize = 77;
	EXPECT_EQ(manager.DirectoryFor(1, nullptr, true, true, &patch), nullptr);
	EXPECT_TRUE(config->fNotFound);
	EXPECT_EQ(patch.fOriginalRef.name, nullptr);
	manager.FinishInstall(true, nullptr);
	EXPECT_EQ(fRoot.ReadFile("Data/old/Tool"), std::string(1234, 't'));
}


TEST_F(DestManagerTest, InstallLog)
{
	fAttrib.AdoptPackageName(strdup("Maker/Tool"));
	fRoot.WriteFile("Data/apps/x", "");
	fRoot.WriteFile("Data/Maker-Tool Install Log", "an older and longer log text");
	DestManager manager(&fAttrib);
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	manager.fLogging = true;
	BFile* log = manager.LogFile();
	ASSERT_NE(log, nullptr);
	ASSERT_EQ(log->InitCheck(), B_OK);
	EXPECT_EQ(manager.LogFile(), log);

	char name[B_FILE_NAME_LENGTH];
	BDirectory apps("/Data/apps");
	WritePath(&apps, log, name);
	log->Write("Tool\n", 5);
	BDirectory root("/Data");
	WritePath(&root, log, name);
	manager.FinishInstall(false, nullptr);
	EXPECT_EQ(manager.fLog, nullptr);

	EXPECT_EQ(fRoot.ReadFile("Data/Maker-Tool Install Log"), "/Data/apps/Tool\n/Data/");
	BNode node("/Data/Maker-Tool Install Log");
	BNodeInfo info(&node);
	char type[B_MIME_TYPE_LENGTH];
	ASSERT_EQ(info.GetType(type), B_OK);
	EXPECT_STREQ(type, "text/plain");
	EXPECT_TRUE(manager.fLogging);
}


TEST_F(DestManagerTest, FailuresAreReportedAndNothingRecorded)
{
	// A folder where the log would be: logging is turned off for the run.
	std::filesystem::create_directories(fRoot.HostPath("Data/Tool Install Log"));
	fAttrib.AdoptPackageName(strdup("Tool"));
	DestManager manager(&fAttrib);
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	manager.fLogging = true;
	testing::internal::CaptureStderr();
	BFile* log = manager.LogFile();
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		"File system error creating log file. Logging has been disabled.\n");
	ASSERT_NE(log, nullptr);
	EXPECT_NE(log->InitCheck(), B_OK);
	EXPECT_FALSE(manager.fLogging);
	EXPECT_EQ(manager.LogFile(), log);

	// An item that is not there cannot be moved away.
	BDirectory data("/Data");
	BEntry ghost("/Data/ghost");
	testing::internal::CaptureStderr();
	manager.SafeDelete(&ghost, &data);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		"Error moving item \"ghost\" to temporary directory.\n");
	EXPECT_EQ(manager.fDeleteList->CountItems(), 0);
	manager.FinishInstall(true, nullptr);
}


TEST_F(DestManagerTest, UndoRemovesOnlyWhatTheRunMadeAndRenamesBack)
{
	DestManager manager(&fAttrib);
	fRoot.WriteFile("Data/apps/Tool/original", "mine");
	fRoot.WriteFile("Data/apps/Lib", "old lib");
	fRoot.WriteFile("Data/apps/Doc", "old doc");
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	BDirectory apps("/Data/apps");

	// Tool is renamed out of the way and a new Tool made in its place.
	BEntry tool("/Data/apps/Tool");
	ASSERT_EQ(manager.RenameAside(&apps, &tool, "Tool.old"), B_OK);
	fRoot.WriteFile("Data/apps/Tool/new", "half");
	manager.NoteCreated(&apps, "Tool");
	// Lib is displaced and replaced by the run.
	BEntry lib("/Data/apps/Lib");
	manager.SafeDelete(&lib, &apps);
	fRoot.WriteFile("Data/apps/Lib", "new lib");
	manager.NoteCreated(&apps, "Lib");
	// Doc is displaced, and someone else puts a Doc there meanwhile.
	BEntry doc("/Data/apps/Doc");
	manager.SafeDelete(&doc, &apps);
	fRoot.WriteFile("Data/apps/Doc", "not the run's");
	EXPECT_EQ(manager.fDeleteList->CountItems(), 3);

	testing::internal::CaptureStderr();
	manager.FinishInstall(true, nullptr);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		"Error restoring item \"Doc\" to original location after cancelled install.\n");
	EXPECT_EQ(fRoot.ReadFile("Data/apps/Tool/original"), "mine");
	EXPECT_FALSE(Exists("Data/apps/Tool/new"));
	EXPECT_FALSE(Exists("Data/apps/Tool.old"));
	EXPECT_EQ(fRoot.ReadFile("Data/apps/Lib"), "old lib");
	// The other entry stays; the original waits in the rescue folder.
	EXPECT_EQ(fRoot.ReadFile("Data/apps/Doc"), "not the run's");
	bool rescued = false;
	for (const auto& entry : std::filesystem::directory_iterator(
			fRoot.HostPath("Data/var/tmp"))) {
		std::string name = entry.path().filename().string();
		if (name.rfind("Installer Rescued Items ", 0) == 0)
			rescued = fRoot.ReadFile("Data/var/tmp/" + name + "/Doc") == "old doc";
	}
	EXPECT_TRUE(rescued);

	// A run that completes keeps the renamed item under its new name.
	std::filesystem::remove_all(fRoot.HostPath("Data/var/tmp"));
	ASSERT_TRUE(manager.SetupInstall(nullptr, (char*)"apps", fData, nullptr, false));
	BEntry again("/Data/apps/Tool");
	ASSERT_EQ(manager.RenameAside(&apps, &again, "Tool.old"), B_OK);
	fRoot.WriteFile("Data/apps/Tool/new", "whole");
	manager.NoteCreated(&apps, "Tool");
	manager.FinishInstall(false, nullptr);
	EXPECT_EQ(fRoot.ReadFile("Data/apps/Tool.old/original"), "mine");
	EXPECT_EQ(fRoot.ReadFile("Data/apps/Tool/new"), "whole");
}


TEST_F(DestManagerTest, OneRunAtATimePerVolume)
{
	DestManager first(&fAttrib);
	DestManager second(&fAttrib);
	DestManager elsewhere(&fAttrib);
	first.SetTarget(nullptr, (char*)"apps", fData, nullptr, false);
	second.SetTarget(nullptr, (char*)"apps", fData, nullptr, false);
	elsewhere.SetTarget(nullptr, (char*)"apps", DeviceOf("/boot"), nullptr, false);

	ASSERT_EQ(first.LockVolume(), B_OK);
	EXPECT_TRUE(Exists("Data/var/tmp/kestrovan.lock"));
	EXPECT_EQ(second.LockVolume(), B_BUSY);
	// Another volume has a lock of its own.
	EXPECT_EQ(elsewhere.LockVolume(), B_OK);
	elsewhere.FinishInstall(false, nullptr);

	// The run's end lets the next one in, and leaves nothing behind.
	ASSERT_TRUE(first.MakeTempFolder());
	first.FinishInstall(true, nullptr);
	EXPECT_FALSE(Exists("Data/var/tmp/kestrovan.lock"));
	EXPECT_EQ(second.LockVolume(), B_OK);
	EXPECT_EQ(first.LockVolume(), B_BUSY);
	second.FinishInstall(false, nullptr);
	EXPECT_FALSE(Exists("Data/var"));

	// No lock can be made: the run does not begin.
	std::filesystem::remove_all(fRoot.HostPath("boot/var"));
	fRoot.WriteFile("boot/var", "a file");
	testing::internal::CaptureStderr();
	status_t status = elsewhere.LockVolume();
	EXPECT_NE(status, B_OK);
	EXPECT_NE(status, B_BUSY);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		"Error creating temporary directory on volume \"boot\".\n");
}


TEST_F(DestManagerTest, TheFoldersARunMadeForItselfGoWhenLeftEmpty)
{
	DestManager manager(&fAttrib);
	auto run = [&](bool cancel) {
		manager.SetTarget(nullptr, (char*)"apps", fData, nullptr, false);
		ASSERT_EQ(manager.LockVolume(), B_OK);
		ASSERT_TRUE(manager.MakeTempFolder());
		manager.FinishInstall(cancel, nullptr);
	};
	// A fresh volume: "var" and "var/tmp" are made for the run and go.
	for (bool cancel : {false, true}) {
		run(cancel);
		EXPECT_FALSE(Exists("Data/var"));
	}

	// What was there before stays: "var" alone, then "var/tmp" too.
	std::filesystem::create_directories(fRoot.HostPath("Data/var"));
	run(false);
	EXPECT_TRUE(Exists("Data/var"));
	EXPECT_FALSE(Exists("Data/var/tmp"));
	std::filesystem::create_directories(fRoot.HostPath("Data/var/tmp"));
	run(true);
	EXPECT_TRUE(std::filesystem::is_empty(fRoot.HostPath("Data/var/tmp")));

	// Made by the run, but holding what someone put there meanwhile.
	std::filesystem::remove_all(fRoot.HostPath("Data/var"));
	manager.SetTarget(nullptr, (char*)"apps", fData, nullptr, false);
	ASSERT_EQ(manager.LockVolume(), B_OK);
	fRoot.WriteFile("Data/var/tmp/notes", "someone's");
	manager.FinishInstall(false, nullptr);
	EXPECT_EQ(fRoot.ReadFile("Data/var/tmp/notes"), "someone's");
}


// Each run that made "var/tmp" removes it as it ends: a run opening it just
// then makes it again, and no two runs ever hold the volume at once.
TEST_F(DestManagerTest, RunsTakeTurnsWhileTheLockFolderComesAndGoes)
{
	std::atomic<int> holders(0);
	std::atomic<int> overlaps(0);
	std::atomic<int> failures(0);
	std::atomic<int> turns(0);
	const int kRuns = 3;
	const int kTurnsEach = 200;
	auto runs = [&] {
		// Each run reads its own package's record, as each installer does.
		PackAttrib attributes;
		DestManager manager(&attributes);
		int mine = 0;
		for (int attempt = 0; attempt < 100000 && mine < kTurnsEach; attempt++) {
			manager.SetTarget(nullptr, (char*)"apps", fData, nullptr, false);
			status_t status = manager.LockVolume();
			if (status == B_OK) {
				if (holders.fetch_add(1) != 0)
					overlaps++;
				if (!manager.MakeTempFolder())
					failures++;
				holders--;
				mine++;
			} else if (status != B_BUSY)
				failures++;
			manager.FinishInstall(false, nullptr);
		}
		turns += mine;
	};
	std::vector<std::thread> threads;
	for (int i = 0; i < kRuns; i++)
		threads.emplace_back(runs);
	for (std::thread& thread : threads)
		thread.join();
	EXPECT_EQ(overlaps, 0);
	EXPECT_EQ(failures, 0);
	EXPECT_EQ(turns, kRuns * kTurnsEach);
}
