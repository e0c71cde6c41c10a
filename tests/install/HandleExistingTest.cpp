// An item meeting an entry of its own name at its destination: every
// replacement option against real folders in a temporary system root, with
// versions and times on the existing entry, and the replace dialog answered
// by a person at the display.

#include "TempRoot.h"
#include "ReplaceDialogAnswerer.h"
#include "ReplaceView.h"

#include "ArchiveFileItem.h"
#include "ArchiveFolderItem.h"
#include "DestManager.h"
#include "ExistingItems.h"
#include "PackAttrib.h"

#include <AppFileInfo.h>
#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Node.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {

const status_t kUntouched = 12345;

const char* const kPlainText = "An item with the name \"Tool\" already exists in\n\"/Data/apps\"";
const char* const kVersionText
	= "An item named \"Tool\"\nwith a newer version already exists in\n\"/Data/apps\"";
const char* const kCreationText
	= "An item named \"Tool\"\nwith a newer creation time already exists in\n\"/Data/apps\"";
const char* const kModificationText
	= "An item named \"Tool\"\nwith a newer modification time already exists in\n"
	  "\"/Data/apps\"";

dev_t
DeviceOf(const char* path)
{
	BDirectory dir(path);
	node_ref ref;
	if (dir.GetNodeRef(&ref) != B_OK)
		return -1;
	return ref.device;
}

// What one call of HandleExisting answered.
struct Outcome {
	bool write = false;
	bool skip = false;
	status_t result = kUntouched;
};

} // namespace

class HandleExistingTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		std::filesystem::create_directories(fRoot.HostPath("Data/apps"));
		fManager = std::make_unique<DestManager>(&fAttrib);
		ASSERT_TRUE(fManager->SetupInstall(nullptr, (char*)"apps", DeviceOf("/Data"), nullptr,
			false));
		ASSERT_EQ(fDir.SetTo("/Data/apps"), B_OK);
	}

	void TearDown() override
	{
		fManager->FinishInstall(false, nullptr);
	}

	template<typename Item = ArchiveFileItem>
	std::unique_ptr<Item> MakeItem(int32 option, const char* name = "Tool")
	{
		auto item = std::make_unique<Item>();
		item->AdoptName(strdup(name));
		item->fReplaceOption = option;
		return item;
	}

	Outcome Handle(ArchiveItem& item)
	{
		Outcome outcome;
		// Set on entry: the item has to clear it itself.
		outcome.skip = true;
		BEntry existing(&fDir, item.Name());
		outcome.write = item.HandleExisting(&fDir, &existing, outcome.skip, fManager.get(),
			&outcome.result);
		return outcome;
	}

	void WriteExisting(const std::string& name, const std::string& contents = "old")
	{
		fRoot.WriteFile("Data/apps/" + name, contents);
	}

	void SetVersion(const char* name, uint32 major, uint32 middle, uint32 minor)
	{
		BFile file(&fDir, name, B_READ_WRITE);
		ASSERT_EQ(file.InitCheck(), B_OK);
		BAppFileInfo info(&file);
		version_info version = {};
		version.major = major;
		version.middle = middle;
		version.minor = minor;
		ASSERT_EQ(info.SetVersionInfo(&version, B_APP_VERSION_KIND), B_OK);
	}

	void SetTimes(const char* name, time_t creation, time_t modification)
	{
		BEntry entry(&fDir, name);
		ASSERT_EQ(entry.SetModificationTime(modification), B_OK);
		ASSERT_EQ(entry.SetCreationTime(creation), B_OK);
	}

	bool Exists(const std::string& relative) const
	{
		return std::filesystem::exists(fRoot.HostPath("Data/apps/" + relative));
	}

	// The entry the temporary folder holds under the name, if any.
	bool Displaced(const std::string& name, std::string* contents = nullptr) const
	{
		std::string path = "Data/var/tmp/" + fManager->TempFolderName() + "/" + name;
		if (!std::filesystem::exists(fRoot.HostPath(path)))
			return false;
		if (contents != nullptr)
			*contents = fRoot.ReadFile(path);
		return true;
	}

	std::string Contents(const std::string& name) const
	{
		return fRoot.ReadFile("Data/apps/" + name);
	}

	PackAttrib fAttrib;
	std::unique_ptr<DestManager> fManager;
	BDirectory fDir;
};


TEST_F(HandleExistingTest, NeverAlwaysAndUnknownOptions)
{
	ReplaceDialogAnswerer answerer;
	WriteExisting("Tool", "first");

	Outcome never = Handle(*MakeItem(1));
	EXPECT_FALSE(never.write);
	EXPECT_TRUE(never.skip);
	EXPECT_EQ(never.result, kUntouched);
	EXPECT_EQ(Contents("Tool"), "first");

	// Replacing moves the entry into the run's temporary folder, whole.
	Outcome always = Handle(*MakeItem(7));
	EXPECT_TRUE(always.write);
	EXPECT_FALSE(always.skip);
	EXPECT_EQ(always.result, kUntouched);
	EXPECT_FALSE(Exists("Tool"));
	std::string moved;
	ASSERT_TRUE(Displaced("Tool", &moved));
	EXPECT_EQ(moved, "first");
	ASSERT_EQ(fManager->fDeleteList->CountItems(), 1);

	// Options past the last known one, also negative ones, skip after an
	// alert and leave the entry alone.
	WriteExisting("Tool", "second");
	for (int32 option : {11, 255, -1}) {
		Outcome unknown = Handle(*MakeItem(option));
		EXPECT_FALSE(unknown.write) << option;
		EXPECT_TRUE(unknown.skip) << option;
		EXPECT_EQ(unknown.result, kUntouched) << option;
	}
	EXPECT_EQ(Contents("Tool"), "second");
	EXPECT_EQ(answerer.Unexpected(), 0);
}


TEST_F(HandleExistingTest, RenameChainsAndLongNames)
{
	WriteExisting("Tool", "1");
	EXPECT_TRUE(Handle(*MakeItem(2)).write);
	WriteExisting("Tool", "2");
	EXPECT_TRUE(Handle(*MakeItem(2)).write);
	WriteExisting("Tool", "3");
	Outcome third = Handle(*MakeItem(2));
	EXPECT_TRUE(third.write);
	EXPECT_FALSE(third.skip);
	EXPECT_EQ(Contents("Tool.old"), "1");
	EXPECT_EQ(Contents("Tool.old.old1"), "2");
	EXPECT_EQ(Contents("Tool.old.old2"), "3");
	EXPECT_FALSE(Exists("Tool"));
	// Every rename is recorded, so that a run that ends early undoes it.
	EXPECT_EQ(fManager->fDeleteList->CountItems(), 3);

	// A name of 253 bytes keeps its first 251: the name stays within 255.
	std::string longName(253, 'n');
	longName[250] = 'x';
	longName[251] = 'y';
	WriteExisting(longName, "long");
	EXPECT_TRUE(Handle(*MakeItem(2, longName.c_str())).write);
	std::string renamed = longName.substr(0, 251) + ".old";
	EXPECT_EQ(renamed.size(), 255u);
	EXPECT_EQ(Contents(renamed), "long");
	EXPECT_FALSE(Exists(longName));
}


TEST_F(HandleExistingTest, ReplaceUnlessNewerVersion)
{
	auto item = MakeItem(3);
	auto setItem = [&](int32 major, int32 middle, int32 minor) {
		item->fVersion[0] = major;
		item->fVersion[1] = middle;
		item->fVersion[2] = minor;
	};

	WriteExisting("Tool", "2.0.0");
	SetVersion("Tool", 2, 0, 0);
	setItem(1, 5, 3);
	Outcome older = Handle(*item);
	EXPECT_FALSE(older.write);
	EXPECT_TRUE(older.skip);
	EXPECT_EQ(Contents("Tool"), "2.0.0");

	WriteExisting("Tool", "1.5.3");
	SetVersion("Tool", 1, 5, 3);
	setItem(2, 5, 1);
	EXPECT_TRUE(Handle(*item).write);
	EXPECT_FALSE(Exists("Tool"));
	EXPECT_TRUE(Displaced("Tool"));

	// Equal versions and files without a version are replaced too.
	WriteExisting("Tool", "same");
	SetVersion("Tool", 2, 5, 1);
	EXPECT_TRUE(Handle(*item).write);
	EXPECT_FALSE(Exists("Tool"));
	WriteExisting("Tool", "none");
	EXPECT_TRUE(Handle(*item).write);
	EXPECT_FALSE(Exists("Tool"));
	EXPECT_EQ(fManager->fDeleteList->CountItems(), 3);
}


TEST_F(HandleExistingTest, CreationAndModificationTimes)
{
	ReplaceDialogAnswerer answerer;
	auto created = MakeItem(4);
	created->fCreationTime = 1000000;
	WriteExisting("Tool");
	SetTimes("Tool", 1000000, 5);
	Outcome equal = Handle(*created);
	EXPECT_FALSE(equal.write);
	EXPECT_TRUE(Exists("Tool"));
	SetTimes("Tool", 1000001, 5);
	EXPECT_FALSE(Handle(*created).write);
	SetTimes("Tool", 999999, 2000000);
	EXPECT_TRUE(Handle(*created).write);
	EXPECT_FALSE(Exists("Tool"));

	// Option 5 looks at the modification time only.
	auto modified = MakeItem(5);
	modified->fModificationTime = 1000000;
	modified->fCreationTime = 0;
	WriteExisting("Tool");
	SetTimes("Tool", 5, 1000000);
	EXPECT_FALSE(Handle(*modified).write);
	SetTimes("Tool", 2000000, 999999);
	EXPECT_TRUE(Handle(*modified).write);
	EXPECT_FALSE(Exists("Tool"));

	// Options 9 and 10 replace on equal times without asking.
	auto createdOrAsk = MakeItem(9);
	createdOrAsk->fCreationTime = 1000000;
	WriteExisting("Tool");
	SetTimes("Tool", 1000000, 1);
	EXPECT_TRUE(Handle(*createdOrAsk).write);
	EXPECT_FALSE(Exists("Tool"));

	auto modifiedOrAsk = MakeItem(10);
	modifiedOrAsk->fModificationTime = 1000000;
	WriteExisting("Tool");
	SetTimes("Tool", 1, 1000000);
	EXPECT_TRUE(Handle(*modifiedOrAsk).write);
	EXPECT_FALSE(Exists("Tool"));

	// ... and ask about an existing entry that is newer.
	answerer.Add("Skip this item");
	answerer.Add("Rename newer item and install older");
	WriteExisting("Tool", "newer");
	SetTimes("Tool", 1000001, 1000001);
	Outcome createdLater = Handle(*createdOrAsk);
	EXPECT_FALSE(createdLater.write);
	EXPECT_TRUE(createdLater.skip);
	EXPECT_EQ(fManager->fReplaceChoice, kSkipItemChoice);
	Outcome modifiedLater = Handle(*modifiedOrAsk);
	EXPECT_TRUE(modifiedLater.write);
	EXPECT_EQ(fManager->fReplaceChoice, kRenameExistingChoice);
	EXPECT_EQ(Contents("Tool.old"), "newer");

	std::vector<SeenReplaceDialog> seen = answerer.Seen();
	ASSERT_EQ(seen.size(), 2u);
	EXPECT_EQ(seen[0].text, kCreationText);
	EXPECT_EQ(seen[0].options[0], "Replace newer item with older");
	EXPECT_EQ(seen[1].text, kModificationText);
	EXPECT_EQ(seen[1].options[1], "Rename newer item and install older");
	EXPECT_EQ(answerer.Unexpected(), 0);
}


TEST_F(HandleExistingTest, NewerVersionAsks)
{
	ReplaceDialogAnswerer answerer;
	auto item = MakeItem(8);
	item->fVersion[0] = 1;
	item->fVersion[1] = 10;

	// 1.2.0 is older than 1.10.0: replaced without a question.
	WriteExisting("Tool");
	SetVersion("Tool", 1, 2, 0);
	EXPECT_TRUE(Handle(*item).write);
	EXPECT_FALSE(Exists("Tool"));

	// No version at all: replaced.
	WriteExisting("Tool");
	EXPECT_TRUE(Handle(*item).write);
	EXPECT_FALSE(Exists("Tool"));
	EXPECT_EQ(fManager->fDeleteList->CountItems(), 2);

	// The same version asks, with the newer-version wording; the dialog
	// starts on the remembered choice.
	answerer.Add("Replace newer version with older");
	WriteExisting("Tool", "same");
	SetVersion("Tool", 1, 10, 0);
	fManager->fReplaceChoice = kRenameExistingChoice;
	Outcome same = Handle(*item);
	EXPECT_TRUE(same.write);
	EXPECT_EQ(fManager->fReplaceChoice, kReplaceExistingChoice);
	EXPECT_FALSE(Exists("Tool"));
	EXPECT_EQ(fManager->fDeleteList->CountItems(), 3);

	// A newer one asks too; cancelling skips and reports the cancel.
	answerer.AddCancel("Skip this item");
	WriteExisting("Tool", "newer");
	SetVersion("Tool", 3, 0, 0);
	Outcome newer = Handle(*item);
	EXPECT_FALSE(newer.write);
	EXPECT_TRUE(newer.skip);
	EXPECT_EQ(newer.result, B_CANCELED);
	EXPECT_EQ(fManager->fReplaceChoice, kReplaceExistingChoice);
	EXPECT_EQ(Contents("Tool"), "newer");

	std::vector<SeenReplaceDialog> seen = answerer.Seen();
	ASSERT_EQ(seen.size(), 2u);
	EXPECT_EQ(seen[0].text, kVersionText);
	ASSERT_EQ(seen[0].options.size(), 3u);
	EXPECT_EQ(seen[0].options[0], "Replace newer version with older");
	EXPECT_EQ(seen[0].options[1], "Rename newer version and install older");
	EXPECT_EQ(seen[0].options[2], "Skip this item");
	EXPECT_EQ(seen[0].selected, 1);
	EXPECT_EQ(seen[1].selected, 0);
	EXPECT_EQ(answerer.Unexpected(), 0);
}


TEST_F(HandleExistingTest, AskingRemembersTheChoice)
{
	ReplaceDialogAnswerer answerer;
	answerer.Add("Rename existing item");
	// Continue without touching an option: the remembered one.
	answerer.Add("");
	answerer.Add("Skip this item");
	answerer.AddCancel();

	WriteExisting("Tool", "a");
	EXPECT_EQ(fManager->fReplaceChoice, kReplaceExistingChoice);
	Outcome renamed = Handle(*MakeItem(0));
	EXPECT_TRUE(renamed.write);
	EXPECT_EQ(renamed.result, kUntouched);
	EXPECT_EQ(Contents("Tool.old"), "a");
	EXPECT_EQ(fManager->fReplaceChoice, kRenameExistingChoice);

	// Option 6 on a file asks as option 0 does.
	WriteExisting("Tool", "b");
	Outcome again = Handle(*MakeItem(6));
	EXPECT_TRUE(again.write);
	EXPECT_EQ(Contents("Tool.old.old1"), "b");

	WriteExisting("Tool", "c");
	Outcome skipped = Handle(*MakeItem(0));
	EXPECT_FALSE(skipped.write);
	EXPECT_TRUE(skipped.skip);
	EXPECT_EQ(Contents("Tool"), "c");
	EXPECT_EQ(fManager->fReplaceChoice, kSkipItemChoice);

	Outcome canceled = Handle(*MakeItem(0));
	EXPECT_FALSE(canceled.write);
	EXPECT_EQ(canceled.result, B_CANCELED);
	EXPECT_EQ(fManager->fReplaceChoice, kSkipItemChoice);
	EXPECT_FALSE(fManager->fDontAsk);

	std::vector<SeenReplaceDialog> seen = answerer.Seen();
	ASSERT_EQ(seen.size(), 4u);
	for (const SeenReplaceDialog& dialog : seen) {
		EXPECT_EQ(dialog.text, kPlainText);
		ASSERT_EQ(dialog.options.size(), 3u);
		EXPECT_EQ(dialog.options[0], "Replace existing item");
		EXPECT_EQ(dialog.options[1], "Rename existing item");
	}
	EXPECT_EQ(seen[0].selected, 0);
	EXPECT_EQ(seen[1].selected, 1);
	EXPECT_EQ(seen[2].selected, 1);
	EXPECT_EQ(seen[3].selected, 2);
	EXPECT_EQ(answerer.Unexpected(), 0);
}


TEST_F(HandleExistingTest, DontAskAgainSkipsLaterQuestions)
{
	ReplaceDialogAnswerer answerer;
	answerer.Add("Skip this item", 1);
	WriteExisting("Tool", "kept");
	EXPECT_FALSE(Handle(*MakeItem(0)).write);
	EXPECT_TRUE(fManager->fDontAsk);
	EXPECT_EQ(fManager->fReplaceChoice, kSkipItemChoice);

	// Every option that would ask now skips silently.
	SetVersion("Tool", 4, 0, 0);
	SetTimes("Tool", 1000000, 1000000);
	for (int32 option : {0, 6, 8, 9, 10}) {
		auto item = MakeItem(option);
		item->fVersion[0] = 4;
		item->fCreationTime = 5;
		item->fModificationTime = 5;
		Outcome outcome = Handle(*item);
		EXPECT_FALSE(outcome.write) << option;
		EXPECT_TRUE(outcome.skip) << option;
		EXPECT_EQ(outcome.result, kUntouched) << option;
	}
	EXPECT_EQ(Contents("Tool"), "kept");

	// The others go their own way.
	EXPECT_TRUE(Handle(*MakeItem(2)).write);
	EXPECT_EQ(Contents("Tool.old"), "kept");
	WriteExisting("Tool", "next");
	EXPECT_TRUE(Handle(*MakeItem(7)).write);
	EXPECT_TRUE(Displaced("Tool"));

	EXPECT_EQ(answerer.Seen().size(), 1u);
	EXPECT_EQ(answerer.Unexpected(), 0);

	// A new run asks again, starting on the remembered choice.
	fManager->FinishInstall(false, nullptr);
	ASSERT_TRUE(fManager->SetupInstall(nullptr, (char*)"apps", DeviceOf("/Data"), nullptr,
		false));
	EXPECT_FALSE(fManager->fDontAsk);
	EXPECT_EQ(fManager->fReplaceChoice, kSkipItemChoice);
	answerer.Add("", 2);
	WriteExisting("Tool", "third");
	EXPECT_FALSE(Handle(*MakeItem(0)).write);
	EXPECT_FALSE(fManager->fDontAsk);
	std::vector<SeenReplaceDialog> seen = answerer.Seen();
	ASSERT_EQ(seen.size(), 2u);
	EXPECT_EQ(seen[1].selected, 2);
	EXPECT_EQ(seen[1].checkBoxValue, 0);
}


TEST_F(HandleExistingTest, FoldersMergeWithOption6)
{
	ReplaceDialogAnswerer answerer;
	std::filesystem::create_directories(fRoot.HostPath("Data/apps/Tool/inside"));

	// An existing folder is adopted: nothing made, nothing skipped.
	auto folder = MakeItem<ArchiveFolderItem>(6);
	Outcome merged = Handle(*folder);
	EXPECT_FALSE(merged.write);
	EXPECT_FALSE(merged.skip);
	EXPECT_EQ(merged.result, kUntouched);
	EXPECT_TRUE(Exists("Tool/inside"));

	// Other options treat a folder item as any item.
	EXPECT_FALSE(Handle(*MakeItem<ArchiveFolderItem>(1)).write);
	Outcome replaced = Handle(*MakeItem<ArchiveFolderItem>(7));
	EXPECT_TRUE(replaced.write);
	EXPECT_FALSE(replaced.skip);
	EXPECT_FALSE(Exists("Tool"));
	EXPECT_TRUE(Displaced("Tool/inside"));

	// Option 6 meeting a file asks.
	answerer.Add("Skip this item");
	WriteExisting("Tool", "file");
	Outcome asked = Handle(*folder);
	EXPECT_FALSE(asked.write);
	EXPECT_TRUE(asked.skip);
	std::vector<SeenReplaceDialog> seen = answerer.Seen();
	ASSERT_EQ(seen.size(), 1u);
	EXPECT_EQ(seen[0].text, kPlainText);
	EXPECT_EQ(answerer.Unexpected(), 0);
}
