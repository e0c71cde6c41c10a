// The install window and its view: the first choices, the size and
// free-space texts, groups, "Begin", the folder menu with "Other...",
// volumes coming and going, and the volume checks on real volumes.

#include "InstallWindowFixture.h"

#include "DestManager.h"
#include "LabelView.h"
#include "PackAttrib.h"

#include <FilePanel.h>
#include <FilePanelList.h>
#include <MenuBar.h>
#include <MenuField.h>
#include <Path.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include <filesystem>
#include <fstream>
#include <regex>

using BPrivate::FilePanelList;

namespace {

// Mounting needs a process without threads: the namespace is entered
// before any test starts one.
class PrivateMountsEnvironment : public ::testing::Environment {
public:
	void SetUp() override { MountedVolume::EnterPrivateNamespace(); }
};

const ::testing::Environment* const kPrivateMounts
	= ::testing::AddGlobalTestEnvironment(new PrivateMountsEnvironment);

const int64 kGiB = 1024LL * 1024 * 1024;

// Five groups, each with items of a telling total size.
TestPackage
sized_package()
{
	TestPackage package;
	package.groups = {"One byte", "One MiB", "Just under", "Empty", "Huge"};
	package.groupDescriptions = {"A single small file.", "Exactly a mebibyte.",
		"A kibibyte short.", "Two empty files.", "Past what 32 bits hold."};
	package.groupHelp = {"", "Help for the mebibyte."};
	package.entries = {
		{1, 0x1},
		// Another platform's item: never counted.
		{5000, 0x1, 0x1},
		{1048576, 0x2},
		{1047552, 0x4},
		{0, 0x8},
		{0, 0x8},
		{5 * kGiB + 1, 0x10},
	};
	return package;
}

dev_t
boot_device()
{
	BVolumeRoster roster;
	BVolume boot;
	roster.GetBootVolume(&boot);
	return boot.Device();
}

} // namespace


TEST_F(InstallWindowTest, FirstChoicesAreBootVolumeFirstFolderAndFirstGroup)
{
	ASSERT_NE(Open(sized_package()), nullptr);
	EXPECT_TRUE(fAlerts->Texts().empty());

	EXPECT_EQ(MarkedVolume(), "boot");
	EXPECT_EQ(fWindow->fVolume, boot_device());
	EXPECT_STREQ(fWindow->fFolderPath, "apps");
	EXPECT_FALSE(fWindow->fCustomFolder);
	EXPECT_EQ(MenuLabels(false),
		(std::vector<std::string>{"apps", "home", "home/Desktop", "", "Other..."}));
	EXPECT_EQ(MenuLabels(true), (std::vector<std::string>{"boot", "Data"}));

	// The first group is selected and its size shown, so the first volume
	// check already saw it.
	EXPECT_EQ(fWindow->fGroups, 1);
	EXPECT_EQ(Text("sizetext"), "1 files    1 K selected");
	EXPECT_EQ(fWindow->fBytes, 1024);
	EXPECT_EQ(fWindow->fItemCount, 1);
	EXPECT_EQ(Text("groupinfo"), "A single small file.");
	EXPECT_TRUE(Enabled("installbutton"));
	EXPECT_TRUE(std::regex_match(Text("spacefree"),
		std::regex("([0-9]+\\.[0-9] MB|[0-9]+ K) free on \"boot\"")))
		<< Text("spacefree");
	EXPECT_EQ(Text("description"), "A package made for a test.");

	WithWindow([&] {
		EXPECT_STREQ(fWindow->Title(), "test.pkg") << "no package name";
		EXPECT_TRUE(fWindow->FindView("groupshelp")->IsHidden());
		EXPECT_EQ(fWindow->FindView("packagehelp"), nullptr);
		EXPECT_EQ(fWindow->FindView("description")->Frame().right, 472);
		EXPECT_EQ(fWindow->fEntryCount, 7);
		// The bar shows the marked volume and the chosen folder.
		BMenuField* volume = dynamic_cast<BMenuField*>(fWindow->FindView("Volume"));
		EXPECT_STREQ(volume->MenuBar()->ItemAt(0)->Label(), "boot");
		EXPECT_EQ(volume->Frame(), BRect(8, 276, 173, 302));
		BMenuField* folder = dynamic_cast<BMenuField*>(fWindow->FindView("Folder"));
		EXPECT_STREQ(folder->MenuBar()->ItemAt(0)->Label(), "apps");
		EXPECT_FALSE(folder->IsHidden());
		EXPECT_EQ(fWindow->FindView("installbutton")->Frame(), BRect(389, 278, 464, 298));
		return 0;
	});
}


TEST_F(InstallWindowTest, SizeTextsRoundEverySizeUpToWholeKibibytes)
{
	ASSERT_NE(Open(sized_package()), nullptr);

	ClickRow(1);
	EXPECT_EQ(Text("sizetext"), "1 files    1.1 MB selected") << "1.0 + 0.05";
	EXPECT_EQ(fWindow->fBytes, 1048576);
	ClickRow(2);
	EXPECT_EQ(Text("sizetext"), "1 files    1023 K selected");
	ClickRow(3);
	EXPECT_EQ(Text("sizetext"), "2 files   0 bytes selected");
	EXPECT_EQ(fWindow->fGroups, 8);

	// Past 2 and 4 GiB the numbers stay right.
	ClickRow(4);
	EXPECT_EQ(Text("sizetext"), "1 files    5120.1 MB selected");
	EXPECT_EQ(fWindow->fBytes, 5 * kGiB + 1024);

	// A run of rows: every group between the first and the last.
	ClickRow(0);
	ClickRow(2, B_SHIFT_KEY);
	EXPECT_EQ(fWindow->fGroups, 7);
	EXPECT_EQ(fWindow->fItemCount, 3);
	EXPECT_EQ(fWindow->fBytes, 1024 + 1048576 + 1047552);
	EXPECT_EQ(Text("sizetext"), "3 files    2.0 MB selected") << "2.05 in binary lies below";
	EXPECT_EQ(Text("groupinfo"), "") << "several groups have no one description";
	EXPECT_TRUE(fAlerts->Texts().empty());
}


TEST_F(InstallWindowTest, GroupInformationAndGroupsHelpFollowTheSelection)
{
	ASSERT_NE(Open(sized_package()), nullptr);
	auto helpShown = [&] {
		return WithWindow([&] { return !fWindow->FindView("groupshelp")->IsHidden(); });
	};

	ClickRow(1);
	EXPECT_EQ(Text("groupinfo"), "Exactly a mebibyte.");
	EXPECT_TRUE(helpShown());
	ClickRow(0);
	EXPECT_EQ(Text("groupinfo"), "A single small file.");
	EXPECT_FALSE(helpShown()) << "an empty help text is no help";
	ClickRow(1);
	ClickRow(2, B_SHIFT_KEY);
	EXPECT_FALSE(helpShown());
}


TEST_F(InstallWindowTest, BeginIsDisabledWithoutGroups)
{
	TestPackage none;
	none.entries = {{100, 0x1}};
	ASSERT_NE(Open(none), nullptr);
	EXPECT_FALSE(Enabled("installbutton"));
	EXPECT_EQ(Text("sizetext"), "");
	EXPECT_EQ(fWindow->fGroups, 0);

	// Taking the only selected group away disables it again.
	fWindow = nullptr;
	InterfaceTest::TearDown();
	ASSERT_NE(Open(sized_package()), nullptr);
	EXPECT_TRUE(Enabled("installbutton"));
	ClickRow(0, B_COMMAND_KEY);
	EXPECT_FALSE(Enabled("installbutton"));
	EXPECT_EQ(Text("sizetext"), "");
	EXPECT_EQ(Text("groupinfo"), "");
	EXPECT_EQ(fWindow->fGroups, 1) << "the last choice is kept";
}


TEST_F(InstallWindowTest, SeparatorRowsAreNeverSelected)
{
	TestPackage package = sized_package();
	package.rows = {-1, 1, -1, 0};
	ASSERT_NE(Open(package), nullptr);
	EXPECT_FALSE(Enabled("installbutton")) << "a separator on top is not selected";
	EXPECT_EQ(fWindow->fGroups, 0);
	ClickRow(2);
	EXPECT_FALSE(Enabled("installbutton"));
	ClickRow(3);
	EXPECT_EQ(fWindow->fGroups, 1);
	ClickRow(1, B_SHIFT_KEY);
	EXPECT_EQ(fWindow->fGroups, 3);
}


TEST_F(InstallWindowTest, PackageHelpNameAndFolderChoice)
{
	TestPackage package = sized_package();
	package.help = "How to use the package.";
	package.name = "Tool Kit";
	package.folderChoice = false;
	ASSERT_NE(Open(package), nullptr);
	WithWindow([&] {
		EXPECT_STREQ(fWindow->Title(), "Tool Kit");
		BView* help = fWindow->FindView("packagehelp");
		EXPECT_NE(help, nullptr);
		EXPECT_EQ(help != nullptr ? help->Frame() : BRect(), BRect(456, 80, 474, 98));
		LabelView* description = dynamic_cast<LabelView*>(fWindow->FindView("description"));
		EXPECT_EQ(description->Frame().right, 456);
		EXPECT_EQ(description->TextRect(), description->Bounds().InsetByCopy(2, 2));
		EXPECT_TRUE(fWindow->FindView("Folder")->IsHidden());
		return 0;
	});
	EXPECT_STREQ(fWindow->fFolderPath, ".");
	EXPECT_FALSE(fWindow->fCustomFolder);
}


TEST_F(InstallWindowTest, EntryTableAndInstallFolderGroups)
{
	TestPackage package;
	package.groups = {"a", "b", "c", "d", "e", "f"};
	package.entries = {
		{10, 0x1, -1, -1},
		{20, 0x2, -1, -2, kLinkItemKind},
		{30, 0x4, -1, 0, kScriptItemKind},
		{40, 0x8, -1, -1, kPatchItemKind},
	};
	// A nested folder whose own destination is the install folder adds
	// its groups; its item (destination 0) does not.
	package.subfolders = {{50, 0x20, -1, 0}};
	package.subfolderDestination = -1;
	package.subfolderGroups = 0x10;
	ASSERT_NE(Open(package), nullptr);

	ASSERT_EQ(fWindow->fEntryCount, 5) << "folders have no rows";
	EXPECT_EQ(fWindow->fEntries[1].size, 20);
	EXPECT_EQ(fWindow->fEntries[3].groups, 0x8);
	EXPECT_EQ(fWindow->fEntries[4].size, 50);
	EXPECT_EQ(fWindow->fEntries[4].platform, -1);
	EXPECT_EQ(fWindow->fAttrib->fInstallFolderGroups, 0x1u | 0x8u | 0x10u);
	EXPECT_EQ(fWindow->fAttrib->fEntryCapacity, 5);
}


TEST_F(InstallWindowTest, TheEntryTableHoldsEveryEntryOfALargePackage)
{
	// Past the 8192 rows a fixed table once held, in the top folder and in
	// a sub-folder after them.
	TestPackage package;
	package.groups = {"all"};
	package.entries.assign(11000, TestEntry{1, 0x1});
	package.subfolders = {{5000, 0x1}};
	ASSERT_NE(Open(package), nullptr);
	EXPECT_TRUE(fAlerts->Texts().empty());
	EXPECT_EQ(fWindow->fEntryCount, 11001);
	EXPECT_EQ(fWindow->fAttrib->fEntryCapacity, 11001);
	EXPECT_EQ(fWindow->fItemCount, 11001);
	// Each size rounded up to whole 1 KiB blocks.
	EXPECT_EQ(fWindow->fBytes, 11000 * 1024 + 5120);
	EXPECT_EQ(Text("sizetext"), "11001 files    10.8 MB selected");
}


TEST_F(InstallWindowTest, EntriesPastTheFirst8192CountInTheFreeSpaceCheck)
{
	// Only the last entry is too big for the volume.
	TestPackage package;
	package.groups = {"all"};
	package.entries.assign(8192, TestEntry{1, 0x1});
	package.entries.push_back(TestEntry{1LL << 60, 0x1});
	ASSERT_NE(Open(package), nullptr);
	EXPECT_EQ(fAlerts->Texts(), std::vector<std::string>{alert_for(kNoSpaceAlert, "boot")});
	EXPECT_EQ(fWindow->fBytes, 8192 * 1024 + (1LL << 60));
}


TEST_F(InstallWindowTest, CatalogWithoutTopFolderGivesUp)
{
	// Refused as the package opens: there is no package for a window.
	RecordBytes catalog;
	catalog.Group('FilI').String('Name', "stray").End();
	Bytes bytes = assemble_package(standard_header(), catalog.Data(),
		test_attributes(sized_package()));
	fRoot.WriteFile("boot/test.pkg", std::string(bytes.begin(), bytes.end()));
	entry_ref ref;
	ASSERT_EQ(get_ref_for_path("/boot/test.pkg", &ref), B_OK);
	InstallPack pack(ref, false);
	Settle();
	EXPECT_EQ(pack.fEntry, nullptr);
	EXPECT_EQ(fAlerts->Texts(), std::vector<std::string>{"Error, catalog read expected to "
		"find toplevel folder. The package cannot be installed."});
}


TEST_F(InstallWindowTest, SelectionLargerThanTheVolumeAlertsAtOnce)
{
	// The initial selection is handled before the first volume check.
	TestPackage package;
	package.groups = {"too big"};
	package.entries = {{1LL << 60, 0x1}};
	ASSERT_NE(Open(package), nullptr);
	EXPECT_EQ(fAlerts->Texts(), std::vector<std::string>{alert_for(kNoSpaceAlert, "boot")});

	// Each volume choice checks again.
	fAlerts->Clear();
	Choose("Volume", "Data");
	EXPECT_EQ(MarkedVolume(), "Data");
	EXPECT_EQ(fAlerts->Texts(), std::vector<std::string>{alert_for(kNoSpaceAlert, "Data")});
	EXPECT_TRUE(std::regex_search(Text("spacefree"), std::regex("free on \"Data\"$")));

	// "Begin" checks once more, and is offered again after the refusal; the
	// refusal just told is not told twice.
	fAlerts->Clear();
	ASSERT_EQ(Automation::Click(ID(), "installbutton"), B_OK);
	Settle();
	EXPECT_TRUE(fAlerts->Texts().empty());
	EXPECT_TRUE(Enabled("installbutton"));
	// Another volume in between, and the refusal is news again.
	Choose("Volume", "boot");
	Choose("Volume", "Data");
	EXPECT_EQ(fAlerts->Texts(), (std::vector<std::string>{alert_for(kNoSpaceAlert, "boot"),
		alert_for(kNoSpaceAlert, "Data")}));
	fAlerts->Clear();
	ASSERT_EQ(Automation::Click(ID(), "installbutton"), B_OK);
	Settle();
	EXPECT_TRUE(fAlerts->Texts().empty());
	EXPECT_FALSE(fWindow->fInstalling);
	EXPECT_EQ(fWindow->fLooper, nullptr) << "no worker for a run that cannot start";
}


TEST_F(InstallWindowTest, OtherFolderThenAnotherVolumeGoesBackToApps)
{
	std::filesystem::create_directories(fRoot.HostPath("boot/Projects"));
	ASSERT_NE(Open(sized_package()), nullptr);

	Choose("Folder", "home");
	EXPECT_STREQ(fWindow->fFolderPath, "home");

	Choose("Folder", "Other...");
	DisplayWindowInfo panel;
	ASSERT_TRUE(Automation::WaitForWindow("Open", &panel));
	// The panel opens on the boot volume; a folder row, then "Select".
	std::string path;
	ASSERT_EQ(Automation::GetText(panel.id, "path", &path), B_OK);
	ASSERT_EQ(path, "/boot");
	BPoint row;
	ASSERT_TRUE(panel.target.LockTarget());
	{
		BLooper* looper = nullptr;
		panel.target.Target(&looper);
		BWindow* panelWindow = dynamic_cast<BWindow*>(looper);
		FilePanelList* list = dynamic_cast<FilePanelList*>(panelWindow->FindView("entries"));
		int32 index = list != nullptr ? list->IndexOf("Projects") : -1;
		if (index >= 0) {
			BRect frame = list->ConvertToScreen(list->ItemFrame(index));
			row = BPoint(frame.left + 30, floorf((frame.top + frame.bottom) / 2));
		}
		looper->Unlock();
		ASSERT_GE(index, 0);
	}
	ASSERT_EQ(Automation::ClickAt(row), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(Automation::Click(panel.id, "default"), B_OK);
	Settle();

	EXPECT_TRUE(fWindow->fCustomFolder);
	EXPECT_STREQ(BPath(&fWindow->fFolderRef).Path(), "/boot/Projects");
	EXPECT_EQ(fWindow->fVolume, boot_device());
	WithWindow([&] {
		BMenuField* folder = dynamic_cast<BMenuField*>(fWindow->FindView("Folder"));
		EXPECT_STREQ(folder->MenuBar()->ItemAt(0)->Label(), "/boot/Projects");
		BMenu* menu = View()->FolderMenu();
		EXPECT_TRUE(menu->ItemAt(menu->CountItems() - 1)->IsMarked());
		EXPECT_FALSE(menu->ItemAt(1)->IsMarked());
		return 0;
	});
	EXPECT_EQ(MarkedVolume(), "boot");

	// Another volume gives the chosen folder up.
	Choose("Volume", "Data");
	EXPECT_FALSE(fWindow->fCustomFolder);
	EXPECT_STREQ(fWindow->fFolderPath, "apps");
	WithWindow([&] {
		BMenuField* folder = dynamic_cast<BMenuField*>(fWindow->FindView("Folder"));
		EXPECT_STREQ(folder->MenuBar()->ItemAt(0)->Label(), "apps");
		EXPECT_TRUE(View()->FolderMenu()->ItemAt(0)->IsMarked());
		return 0;
	});
	EXPECT_TRUE(fAlerts->Texts().empty());
}


TEST_F(InstallWindowTest, TheFolderPanelOpensOnTheChosenVolume)
{
	std::filesystem::create_directories(fRoot.HostPath("Data/Tools"));
	ASSERT_NE(Open(sized_package()), nullptr);
	auto openPanel = [&](DisplayWindowInfo* panel) {
		Choose("Folder", "Other...");
		EXPECT_TRUE(Automation::WaitForWindow("Open", panel));
		std::string path;
		EXPECT_EQ(Automation::GetText(panel->id, "path", &path), B_OK);
		return path;
	};

	Choose("Volume", "Data");
	DisplayWindowInfo panel;
	EXPECT_EQ(openPanel(&panel), "/Data");

	// A folder picked there is where the panel opens next.
	ASSERT_EQ(Automation::ClickAt([&] {
		BPoint row;
		if (panel.target.LockTarget()) {
			BLooper* looper = nullptr;
			panel.target.Target(&looper);
			FilePanelList* list = dynamic_cast<FilePanelList*>(
				dynamic_cast<BWindow*>(looper)->FindView("entries"));
			BRect frame = list->ConvertToScreen(list->ItemFrame(list->IndexOf("Tools")));
			row = BPoint(frame.left + 30, floorf((frame.top + frame.bottom) / 2));
			looper->Unlock();
		}
		return row;
	}()), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(Automation::Click(panel.id, "default"), B_OK);
	Settle();
	ASSERT_STREQ(BPath(&fWindow->fFolderRef).Path(), "/Data/Tools");
	EXPECT_EQ(openPanel(&panel), "/Data/Tools");
	ASSERT_EQ(Automation::Click(panel.id, "cancel"), B_OK);
	Settle();
}


TEST_F(InstallWindowTest, VolumesAddedToAndRemovedFromTheRootFollowTheMenu)
{
	ASSERT_NE(Open(sized_package()), nullptr);
	auto hasVolume = [&](const char* name) {
		std::vector<std::string> labels = MenuLabels(true);
		return std::find(labels.begin(), labels.end(), name) != labels.end();
	};

	std::filesystem::create_directory(fRoot.HostPath("Extra"));
	ASSERT_TRUE(WaitUntil([&] { return hasVolume("Extra"); })) << "mounted";
	Choose("Volume", "Extra");
	EXPECT_EQ(MarkedVolume(), "Extra");
	EXPECT_TRUE(std::regex_search(Text("spacefree"), std::regex("free on \"Extra\"$")));

	// The marked volume leaves: the first volume is chosen and checked.
	std::filesystem::remove(fRoot.HostPath("Extra"));
	ASSERT_TRUE(WaitUntil([&] { return !hasVolume("Extra"); })) << "unmounted";
	Settle();
	EXPECT_EQ(MarkedVolume(), "boot");
	EXPECT_EQ(fWindow->fVolume, boot_device());
	EXPECT_TRUE(std::regex_search(Text("spacefree"), std::regex("free on \"boot\"$")));
	EXPECT_EQ(MenuLabels(true), (std::vector<std::string>{"boot", "Data"}));

	// A volume that leaves unmarked changes nothing else.
	std::filesystem::create_directory(fRoot.HostPath("Other"));
	ASSERT_TRUE(WaitUntil([&] { return hasVolume("Other"); }));
	std::filesystem::remove(fRoot.HostPath("Other"));
	ASSERT_TRUE(WaitUntil([&] { return !hasVolume("Other"); }));
	Settle();
	EXPECT_EQ(MarkedVolume(), "boot");
	EXPECT_TRUE(fAlerts->Texts().empty());
}


// The view marks the folder menu's items from its own thread right after
// a choice, while the menu's window is closing, and changes the volume menu
// while it is open when volumes come and go: the menus' items change under
// their menu window's lock (a race the thread sanitizer reports otherwise).
TEST_F(InstallWindowTest, MenusChangeWhileTheirWindowIsOpenOrClosing)
{
	ASSERT_NE(Open(sized_package()), nullptr);
	auto markedFolders = [&] {
		return WithWindow([&] {
			std::vector<std::string> marked;
			BMenu* menu = View()->FolderMenu();
			for (int32 i = 0; i < menu->CountItems(); i++) {
				if (menu->ItemAt(i)->IsMarked())
					marked.push_back(menu->ItemAt(i)->Label());
			}
			return marked;
		});
	};
	const char* folders[] = {"home", "home/Desktop", "apps"};
	for (int32 i = 0; i < 9; i++) {
		Choose("Folder", folders[i % 3]);
		EXPECT_EQ(markedFolders(), std::vector<std::string>{folders[i % 3]});
	}

	auto hasVolume = [&](const char* name) {
		std::vector<std::string> labels = MenuLabels(true);
		return std::find(labels.begin(), labels.end(), name) != labels.end();
	};
	std::filesystem::create_directory(fRoot.HostPath("Extra"));
	ASSERT_TRUE(WaitUntil([&] { return hasVolume("Extra"); }));
	Choose("Volume", "Extra");
	ASSERT_EQ(Automation::Click(ID(), "Volume"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	std::filesystem::remove(fRoot.HostPath("Extra"));
	ASSERT_TRUE(WaitUntil([&] { return !hasVolume("Extra"); }));
	std::filesystem::create_directory(fRoot.HostPath("Other"));
	ASSERT_TRUE(WaitUntil([&] { return hasVolume("Other"); }));
	EXPECT_TRUE(Automation::IsMenuOpen());
	ASSERT_EQ(Automation::ClickAt(BPoint(900, 700)), B_OK);
	Settle();
	EXPECT_FALSE(Automation::IsMenuOpen());
	EXPECT_EQ(MarkedVolume(), "boot");
	EXPECT_EQ(MenuLabels(true), (std::vector<std::string>{"boot", "Data", "Other"}));
	std::filesystem::remove(fRoot.HostPath("Other"));
}


TEST_F(InstallWindowTest, UnsuitableVolumesEachGiveTheirAlert)
{
	MountedVolume readOnly;
	SKIP_UNLESS_MOUNTED(readOnly.Mount(MountedVolume::kTmpfs, fRoot.HostPath("Locked"), 4,
		true));
	MountedVolume full;
	SKIP_UNLESS_MOUNTED(full.Mount(MountedVolume::kTmpfs, fRoot.HostPath("Full"), 1));
	{
		// Filled to the last byte.
		std::ofstream filler(fRoot.HostPath("Full/filler"), std::ios::binary);
		std::string block(4096, 'x');
		while (filler.write(block.data(), block.size()))
			;
	}
	MountedVolume plain;
	SKIP_UNLESS_MOUNTED(plain.MountWithoutAttributes(fRoot.HostPath("Plain")));
	MountedVolume roomy;
	SKIP_UNLESS_MOUNTED(roomy.Mount(MountedVolume::kTmpfs, fRoot.HostPath("Roomy"), 4));

	ASSERT_NE(Open(sized_package()), nullptr);
	ASSERT_TRUE(WaitUntil([&] { return MenuLabels(true).size() == 6; }));
	EXPECT_EQ(BVolume(fWindow->fVolume).FreeBytes() > 0, true);
	fAlerts->Clear();

	Choose("Volume", "Locked");
	EXPECT_EQ(fAlerts->Texts(), std::vector<std::string>{alert_for(kReadOnlyAlert, "Locked")});
	fAlerts->Clear();
	Choose("Volume", "Full");
	EXPECT_EQ(fAlerts->Texts(), std::vector<std::string>{alert_for(kNoSpaceAlert, "Full")});
	EXPECT_EQ(Text("spacefree"), "0 K free on \"Full\"");
	fAlerts->Clear();
	Choose("Volume", "Plain");
	std::vector<std::string> texts = fAlerts->Texts();
	ASSERT_EQ(texts.size(), 1u);
	if (plain.GetKind() == MountedVolume::kRamfs) {
		// ramfs has no free bytes to tell: the space test comes first.
		EXPECT_EQ(texts[0], alert_for(kNoSpaceAlert, "Plain"));
	} else {
		EXPECT_EQ(texts[0].rfind(alert_for(kNoFeaturesAlert, "Plain"), 0), 0u) << texts[0];
	}
	// With nothing to write, no free bytes are enough, and the missing
	// attributes tell.
	ClickRow(3);
	ASSERT_EQ(fWindow->fBytes, 0);
	fAlerts->Clear();
	Choose("Volume", "Plain");
	texts = fAlerts->Texts();
	ASSERT_EQ(texts.size(), 1u);
	EXPECT_EQ(texts[0].rfind(alert_for(kNoFeaturesAlert, "Plain"), 0), 0u) << texts[0];
	fAlerts->Clear();
	Choose("Volume", "Full");
	EXPECT_TRUE(fAlerts->Texts().empty()) << "0 free bytes for 0 bytes pass";

	ClickRow(0);
	fAlerts->Clear();
	Choose("Volume", "Roomy");
	EXPECT_TRUE(fAlerts->Texts().empty()) << "a sound volume passes";
	WithWindow([&] {
		BVolume roomyVolume(fWindow->fVolume);
		EXPECT_TRUE(fWindow->CheckPossibleInstall(roomyVolume));
		return 0;
	});

	// Exactly as many free bytes as the selection needs pass.
	fAlerts->Clear();
	WithWindow([&] {
		BVolume roomyVolume(fWindow->fVolume);
		fWindow->fBytes = roomyVolume.FreeBytes();
		EXPECT_TRUE(fWindow->CheckPossibleInstall(roomyVolume));
		return 0;
	});
}


TEST_F(InstallWindowTest, CloseIsRefusedWhileARunIsUnderWay)
{
	ASSERT_NE(Open(sized_package()), nullptr);
	int32 windows = InstallWindow::CountWindows();
	WithWindow([&] { fWindow->fInstalling = true; return 0; });
	ASSERT_EQ(Automation::PressCloseBox(ID()), B_OK);
	Settle();
	EXPECT_EQ(InstallWindow::CountWindows(), windows);

	// The run's end offers "Begin" again; with "close" the window goes.
	BMessage done(InstallWindow::kRunDone);
	fWindow->PostMessage(&done);
	Settle();
	EXPECT_TRUE(Enabled("installbutton"));
	EXPECT_FALSE(fWindow->fInstalling);
	done.AddBool("close", true);
	fWindow->PostMessage(&done);
	ASSERT_TRUE(WaitUntil([&] { return InstallWindow::CountWindows() == windows - 1; }));
	fWindow = nullptr;
}
