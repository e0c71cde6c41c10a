#include <InterfaceFixture.h>
#include <MessageLog.h>
#include <TempRoot.h>

#include <AppDefs.h>
#include <Directory.h>
#include <Entry.h>
#include <FilePanel.h>
#include <FilePanelList.h>
#include <InterfaceDefs.h>
#include <Menu.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <Path.h>

#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

// The file panel driven as a person would: clicks on its rows, buttons and
// volume menu through the headless display, answers read by a real looper.

using BPrivate::FilePanelList;

namespace {

const uint32 kFolderChosen = 'FolS';

class FilePanelTest : public InterfaceTest {
protected:
	void SetUp() override
	{
		InterfaceTest::SetUp();
		ASSERT_EQ(fRoot.InitCheck(), B_OK);
		std::filesystem::create_directories(fRoot.HostPath("boot/apps/tools"));
		std::filesystem::create_directories(fRoot.HostPath("boot/zeta"));
		std::filesystem::create_directories(fRoot.HostPath("Data/projects/alpha"));
		fRoot.WriteFile("boot/notes.txt", "a file");
		// Absolute link targets start again at the system root.
		std::filesystem::create_directory_symlink("/Data/projects",
			fRoot.HostPath("boot/link-to-projects"));

		fLog = std::make_shared<MessageLog>();
		fTarget = new LoggingLooper(fLog, "panel target");
		fTarget->Run();
	}

	void TearDown() override
	{
		fPanel.reset();
		if (fTarget->Lock())
			fTarget->Quit();
		InterfaceTest::TearDown();
	}

	// The installer's panel: folders only, one at a time, hidden when done.
	void OpenFolderPanel(bool hideWhenDone = true, BRefFilter* filter = nullptr)
	{
		BMessenger target(fTarget);
		BMessage message(kFolderChosen);
		fPanel = std::make_unique<BFilePanel>(B_OPEN_PANEL, &target, nullptr,
			B_DIRECTORY_NODE, false, &message, filter, false, hideWhenDone);
		ShowPanel();
	}

	void ShowPanel()
	{
		fPanel->Show();
		ASSERT_TRUE(Automation::WaitUntilIdle());
		ASSERT_TRUE(fPanel->IsShowing());
	}

	int32 Window() const { return fPanel->Window()->DisplayID(); }

	FilePanelList* List() const
	{
		return dynamic_cast<FilePanelList*>(fPanel->Window()->FindView("entries"));
	}

	std::vector<std::string> Rows()
	{
		std::vector<std::string> names;
		Locked(fPanel->Window(), [&] {
			for (int32 i = 0; i < List()->CountEntries(); i++)
				names.push_back(List()->EntryAt(i).name);
		});
		return names;
	}

	std::vector<int32> Selection()
	{
		std::vector<int32> selection;
		Locked(fPanel->Window(), [&] { selection = List()->Selection(); });
		return selection;
	}

	std::string PathShown()
	{
		std::string text;
		EXPECT_EQ(Automation::GetText(Window(), "path", &text), B_OK);
		return text;
	}

	// Clicks the row with the name, twice for a double click.
	void ClickRow(const char* name, int32 clicks = 1, uint32 modifiers = 0)
	{
		BPoint where;
		bool found = false;
		Locked(fPanel->Window(), [&] {
			int32 index = List()->IndexOf(name);
			if (index < 0)
				return;
			found = true;
			BRect frame = List()->ConvertToScreen(List()->ItemFrame(index));
			where = BPoint(frame.left + 30, (frame.top + frame.bottom) / 2);
		});
		ASSERT_TRUE(found) << name;
		for (int32 i = 0; i < clicks; i++)
			ASSERT_EQ(Automation::ClickAt(where, B_PRIMARY_MOUSE_BUTTON, modifiers), B_OK);
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	void ClickButton(const char* name)
	{
		ASSERT_EQ(Automation::Click(Window(), name), B_OK);
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	void Press(char key)
	{
		ASSERT_EQ(Automation::PressKey(key), B_OK);
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	// The platform paths of the refs in the answer at index.
	std::vector<std::string> AnsweredPaths(size_t index)
	{
		std::vector<std::string> paths;
		BMessage answer = fLog->At(index);
		entry_ref ref;
		for (int32 i = 0; answer.FindRef("refs", i, &ref) == B_OK; i++)
			paths.push_back(BPath(&ref).Path());
		return paths;
	}

	bool Enabled(const char* name)
	{
		bool enabled = false;
		EXPECT_EQ(Automation::IsEnabled(Window(), name, &enabled), B_OK);
		return enabled;
	}

	TempRoot fRoot;
	std::shared_ptr<MessageLog> fLog;
	LoggingLooper* fTarget = nullptr;
	std::unique_ptr<BFilePanel> fPanel;
};

using Names = std::vector<std::string>;

} // namespace

TEST_F(FilePanelTest, ListsFoldersFirstAndNavigates)
{
	OpenFolderPanel();
	// No home folder in this root: the panel opens on the boot volume.
	EXPECT_EQ(PathShown(), "/boot");
	EXPECT_EQ(Rows(), (Names{"apps", "link-to-projects", "zeta", "notes.txt"}));
	Locked(fPanel->Window(), [&] {
		EXPECT_TRUE(List()->EntryAt(0).enabled);
		EXPECT_TRUE(List()->EntryAt(1).isLink);
		EXPECT_TRUE(List()->EntryAt(1).isDirectory);
		// A file can be seen but never chosen in a folder panel.
		EXPECT_FALSE(List()->EntryAt(3).enabled);
	});

	ClickRow("apps", 2);
	EXPECT_EQ(PathShown(), "/boot/apps");
	EXPECT_EQ(Rows(), (Names{"tools"}));
	EXPECT_EQ(fLog->Count(), 0u) << "opening a folder answers nothing";

	ClickButton("parent");
	EXPECT_EQ(PathShown(), "/boot");
	ClickButton("parent");
	EXPECT_EQ(PathShown(), "/");
	EXPECT_EQ(Rows(), (Names{"Data", "boot"})) << "the root lists the volumes";
	EXPECT_FALSE(Enabled("parent"));
	EXPECT_FALSE(Enabled("default")) << "the root itself is no answer";

	// The keyboard: Enter opens the selected folder, Backspace goes up,
	// the arrows move the selection.
	ClickRow("boot");
	EXPECT_TRUE(Enabled("default"));
	Press(B_ENTER);
	EXPECT_EQ(PathShown(), "/boot");
	Press(B_DOWN_ARROW);
	Press(B_DOWN_ARROW);
	EXPECT_EQ(Selection(), (std::vector<int32>{1}));
	Press(B_UP_ARROW);
	Press(B_ENTER);
	EXPECT_EQ(PathShown(), "/boot/apps");
	Press(B_BACKSPACE);
	EXPECT_EQ(PathShown(), "/boot");
	EXPECT_EQ(fLog->Count(), 0u);
}

TEST_F(FilePanelTest, VolumeMenuSwitchesVolumesAndFollowsMounts)
{
	OpenFolderPanel();
	ASSERT_EQ(Automation::Click(Window(), "volumes"), B_OK);
	ASSERT_EQ(Automation::ChooseMenuItem("Data"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(PathShown(), "/Data");
	EXPECT_EQ(Rows(), (Names{"projects"}));
	Locked(fPanel->Window(), [&] {
		BMenu* menu = dynamic_cast<BMenuField*>(fPanel->Window()->FindView("volumes"))->Menu();
		ASSERT_NE(menu->FindMarked(), nullptr);
		EXPECT_STREQ(menu->FindMarked()->Label(), "Data");
	});

	// A volume that appears joins the menu; one that leaves takes the
	// panel back to the root when it was showing it.
	auto menuHas = [&](const char* label) {
		bool has = false;
		Locked(fPanel->Window(), [&] {
			BMenu* menu = dynamic_cast<BMenuField*>(
				fPanel->Window()->FindView("volumes"))->Menu();
			has = menu->FindItem(label) != nullptr;
		});
		return has;
	};
	std::filesystem::create_directory(fRoot.HostPath("Extra"));
	EXPECT_TRUE(WaitUntil([&] { return menuHas("Extra"); }));
	ASSERT_EQ(Automation::Click(Window(), "volumes"), B_OK);
	ASSERT_EQ(Automation::ChooseMenuItem("Extra"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(PathShown(), "/Extra");
	std::filesystem::remove(fRoot.HostPath("Extra"));
	EXPECT_TRUE(WaitUntil([&] { return !menuHas("Extra"); }));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(PathShown(), "/");
	auto fieldLabel = [&] {
		std::string label;
		Locked(fPanel->Window(), [&] {
			label = dynamic_cast<BMenuField*>(fPanel->Window()->FindView("volumes"))
				->MenuItem()->Label();
		});
		return label;
	};
	EXPECT_EQ(fieldLabel(), "/");
	ASSERT_EQ(Automation::Click(Window(), "volumes"), B_OK);
	ASSERT_EQ(Automation::ChooseMenuItem("boot"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(PathShown(), "/boot");
	EXPECT_EQ(fieldLabel(), "boot");
}

TEST_F(FilePanelTest, SelectAnswersWithTheFolderAndHides)
{
	OpenFolderPanel();
	ClickRow("apps");
	EXPECT_EQ(Selection(), (std::vector<int32>{0}));
	fPanel->Rewind();
	entry_ref selected;
	ASSERT_EQ(fPanel->GetNextSelectedRef(&selected), B_OK);
	EXPECT_STREQ(BPath(&selected).Path(), "/boot/apps");
	EXPECT_EQ(fPanel->GetNextSelectedRef(&selected), B_ENTRY_NOT_FOUND);

	ClickButton("default");
	ASSERT_TRUE(fLog->WaitForCount(1));
	EXPECT_EQ(fLog->At(0).what, kFolderChosen);
	EXPECT_EQ(AnsweredPaths(0), (Names{"/boot/apps"}));
	EXPECT_FALSE(fPanel->IsShowing());

	// Shown again with nothing selected, it answers with the folder shown.
	ShowPanel();
	EXPECT_TRUE(Selection().empty());
	ClickButton("default");
	ASSERT_TRUE(fLog->WaitForCount(2));
	EXPECT_EQ(AnsweredPaths(1), (Names{"/boot"}));

	// The answer's ref is one the storage kit opens as that folder.
	entry_ref ref;
	ASSERT_EQ(fLog->At(1).FindRef("refs", &ref), B_OK);
	BDirectory folder(&ref);
	EXPECT_EQ(folder.InitCheck(), B_OK);
	EXPECT_TRUE(folder.Contains("notes.txt"));

	// At the root, a volume is a folder like any other.
	ShowPanel();
	ClickButton("parent");
	ClickRow("Data");
	ClickButton("default");
	ASSERT_TRUE(fLog->WaitForCount(3));
	EXPECT_EQ(AnsweredPaths(2), (Names{"/Data"}));
}

TEST_F(FilePanelTest, CancelAndCloseBoxSendCancel)
{
	OpenFolderPanel();
	ClickRow("apps");
	ClickButton("cancel");
	ASSERT_TRUE(fLog->WaitForCount(1));
	BMessage cancel = fLog->At(0);
	EXPECT_EQ(cancel.what, static_cast<uint32>(B_CANCEL));
	int32 oldWhat = 0;
	ASSERT_EQ(cancel.FindInt32("old_what", &oldWhat), B_OK);
	EXPECT_EQ(static_cast<uint32>(oldWhat), kFolderChosen);
	EXPECT_FALSE(cancel.HasRef("refs"));
	EXPECT_FALSE(fPanel->IsShowing());

	// The close box cancels too, and the panel can be shown again.
	ShowPanel();
	ASSERT_EQ(Automation::PressCloseBox(Window()), B_OK);
	ASSERT_TRUE(fLog->WaitForCount(2));
	EXPECT_EQ(fLog->At(1).what, static_cast<uint32>(B_CANCEL));
	EXPECT_TRUE(WaitUntil([&] { return !fPanel->IsShowing(); }));
	// So does Escape.
	ShowPanel();
	Press(B_ESCAPE);
	ASSERT_TRUE(fLog->WaitForCount(3));
	EXPECT_EQ(fLog->At(2).what, static_cast<uint32>(B_CANCEL));
	EXPECT_FALSE(fPanel->IsShowing());
	ShowPanel();
	EXPECT_EQ(PathShown(), "/boot");
}

TEST_F(FilePanelTest, ArrowsScrollTheSelectionIntoView)
{
	for (int i = 0; i < 40; i++)
		std::filesystem::create_directories(fRoot.HostPath("Data/folder" + std::to_string(100 + i)));
	OpenFolderPanel();
	ASSERT_EQ(fPanel->SetPanelDirectory("/Data"), B_OK);
	ASSERT_EQ(Rows().size(), 41u);
	// Past the last row the selection stays there.
	for (int i = 0; i < 45; i++)
		Press(B_DOWN_ARROW);
	EXPECT_EQ(Selection(), (std::vector<int32>{40}));
	Locked(fPanel->Window(), [&] {
		BRect visible = List()->Bounds();
		BRect row = List()->ItemFrame(40);
		EXPECT_GT(visible.top, 0);
		EXPECT_GE(row.top, visible.top);
		EXPECT_LE(row.bottom, visible.bottom);
	});
	for (int i = 0; i < 40; i++)
		Press(B_UP_ARROW);
	EXPECT_EQ(Selection(), (std::vector<int32>{0}));
	Locked(fPanel->Window(), [&] { EXPECT_EQ(List()->Bounds().top, 0); });
}

TEST_F(FilePanelTest, StaysShownWhenNotHiddenWhenDone)
{
	OpenFolderPanel(false);
	ClickRow("zeta");
	ClickButton("default");
	ASSERT_TRUE(fLog->WaitForCount(1));
	EXPECT_EQ(AnsweredPaths(0), (Names{"/boot/zeta"}));
	EXPECT_TRUE(fPanel->IsShowing());

	fPanel->SetHideWhenDone(true);
	ClickButton("default");
	ASSERT_TRUE(fLog->WaitForCount(2));
	EXPECT_FALSE(fPanel->IsShowing());
}

TEST_F(FilePanelTest, LinkToFolderIsFollowed)
{
	OpenFolderPanel();
	ClickRow("link-to-projects");
	ClickButton("default");
	ASSERT_TRUE(fLog->WaitForCount(1));
	EXPECT_EQ(AnsweredPaths(0), (Names{"/Data/projects"}));

	ShowPanel();
	ClickRow("link-to-projects", 2);
	EXPECT_EQ(PathShown(), "/Data/projects");
	EXPECT_EQ(Rows(), (Names{"alpha"}));
	// Up from where the link led, not from where it was.
	ClickButton("parent");
	EXPECT_EQ(PathShown(), "/Data");
}

TEST_F(FilePanelTest, FolderPanelNeverAnswersWithAFile)
{
	BMessenger target(fTarget);
	BMessage message(kFolderChosen);
	// Several may be selected here: still no file among them.
	fPanel = std::make_unique<BFilePanel>(B_OPEN_PANEL, &target, nullptr, B_DIRECTORY_NODE,
		true, &message);
	ShowPanel();
	ClickRow("notes.txt");
	EXPECT_TRUE(Selection().empty());
	ClickRow("notes.txt", 2);
	EXPECT_EQ(PathShown(), "/boot");
	EXPECT_EQ(fLog->Count(), 0u);

	ClickRow("apps");
	ClickRow("zeta", 1, B_SHIFT_KEY);
	ClickRow("notes.txt", 1, B_SHIFT_KEY);
	EXPECT_EQ(Selection(), (std::vector<int32>{0, 2}));
	ClickButton("default");
	ASSERT_TRUE(fLog->WaitForCount(1));
	EXPECT_EQ(AnsweredPaths(0), (Names{"/boot/apps", "/boot/zeta"}));

	// Even asked directly to open the file, the panel sends nothing.
	ShowPanel();
	Locked(fPanel->Window(), [&] {
		BMessage open(BPrivate::kFilePanelOpenEntry);
		open.AddInt32("index", List()->IndexOf("notes.txt"));
		fPanel->Window()->PostMessage(&open);
	});
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(fLog->Count(), 1u);
}

TEST_F(FilePanelTest, FilePanelAnswersFilesWithItsDefaultMessage)
{
	BMessenger target(fTarget);
	fPanel = std::make_unique<BFilePanel>(B_OPEN_PANEL, &target);
	ShowPanel();
	std::string label;
	ASSERT_EQ(Automation::GetLabel(Window(), "default", &label), B_OK);
	EXPECT_EQ(label, "Open");
	// A folder in a file panel is opened by the default button, not answered.
	ClickRow("zeta");
	ClickButton("default");
	EXPECT_EQ(PathShown(), "/boot/zeta");
	ClickButton("parent");
	ClickRow("notes.txt", 2);
	ASSERT_TRUE(fLog->WaitForCount(1));
	EXPECT_EQ(fLog->At(0).what, static_cast<uint32>(B_REFS_RECEIVED));
	EXPECT_EQ(AnsweredPaths(0), (Names{"/boot/notes.txt"}));
}

namespace {

// Keeps entries whose name does not start with "z", and notes what it saw.
class NoZFilter : public BRefFilter {
public:
	bool Filter(const entry_ref* ref, BNode*, struct stat* st, const char*) override
	{
		if (S_ISLNK(st->st_mode))
			sawLink = true;
		return ref->name[0] != 'z';
	}

	bool sawLink = false;
};

} // namespace

TEST_F(FilePanelTest, SettingsFilterAndDirectory)
{
	NoZFilter filter;
	OpenFolderPanel(true, &filter);
	EXPECT_EQ(Rows(), (Names{"apps", "link-to-projects", "notes.txt"}));
	EXPECT_TRUE(filter.sawLink) << "the filter sees a link itself, not its target";

	EXPECT_EQ(fPanel->SetPanelDirectory("/boot/notes.txt"), B_NOT_A_DIRECTORY);
	EXPECT_EQ(fPanel->SetPanelDirectory("/boot/missing"), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(PathShown(), "/boot");

	BDirectory data("/Data/projects");
	ASSERT_EQ(fPanel->SetPanelDirectory(&data), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(PathShown(), "/Data/projects");
	entry_ref current;
	ASSERT_EQ(fPanel->GetPanelDirectory(&current), B_OK);
	EXPECT_STREQ(BPath(&current).Path(), "/Data/projects");

	entry_ref apps;
	ASSERT_EQ(get_ref_for_path("/boot/apps", &apps), B_OK);
	ASSERT_EQ(fPanel->SetPanelDirectory(&apps), B_OK);
	EXPECT_EQ(Rows(), (Names{"tools"}));

	fPanel->SetButtonLabel(B_DEFAULT_BUTTON, "Choose");
	fPanel->SetButtonLabel(B_CANCEL_BUTTON, "Never mind");
	ASSERT_TRUE(Automation::WaitUntilIdle());
	std::string label;
	ASSERT_EQ(Automation::GetLabel(Window(), "default", &label), B_OK);
	EXPECT_EQ(label, "Choose");
	ASSERT_EQ(Automation::GetLabel(Window(), "cancel", &label), B_OK);
	EXPECT_EQ(label, "Never mind");

	// A new message and target take effect on the next answer.
	auto otherLog = std::make_shared<MessageLog>();
	LoggingLooper* other = new LoggingLooper(otherLog, "other target");
	other->Run();
	fPanel->SetTarget(BMessenger(other));
	BMessage message('Othr');
	fPanel->SetMessage(&message);
	ClickButton("default");
	ASSERT_TRUE(otherLog->WaitForCount(1));
	EXPECT_EQ(otherLog->At(0).what, 'Othr');
	EXPECT_EQ(fLog->Count(), 0u);
	if (other->Lock())
		other->Quit();
}

TEST_F(FilePanelTest, NewFolderMakesAFolderInTheFolderShownAndSelectsIt)
{
	OpenFolderPanel();
	ClickRow("zeta", 2);
	ASSERT_EQ(PathShown(), "/boot/zeta");
	ASSERT_TRUE(Enabled("New Folder"));

	ClickButton("newfolder");
	EXPECT_TRUE(std::filesystem::is_directory(fRoot.HostPath("boot/zeta/New Folder")));
	EXPECT_EQ(Rows(), (Names{"New Folder"}));
	EXPECT_EQ(Selection(), (std::vector<int32>{0}));
	// A name taken (by a file too) is passed over.
	fRoot.WriteFile("boot/zeta/New Folder 2", "a file");
	ClickButton("newfolder");
	EXPECT_TRUE(std::filesystem::is_directory(fRoot.HostPath("boot/zeta/New Folder 3")));
	EXPECT_TRUE(std::filesystem::is_regular_file(fRoot.HostPath("boot/zeta/New Folder 2")));

	// "Select" answers with the folder made.
	ClickButton("default");
	ASSERT_TRUE(fLog->WaitForCount(1));
	EXPECT_EQ(AnsweredPaths(0), (Names{"/boot/zeta/New Folder 3"}));

	// The root lists the volumes: no folder is made there.
	ShowPanel();
	ClickButton("parent");
	ClickButton("parent");
	ASSERT_EQ(PathShown(), "/");
	EXPECT_FALSE(Enabled("newfolder"));
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("New Folder")));
}

// The folder made is named in a field over its row: typing replaces the
// name, Return keeps it, Escape leaves the name given; a name taken is
// told and nothing is replaced; whatever else is done keeps what was typed.
TEST_F(FilePanelTest, NewFolderIsNamedInAFieldOverItsRow)
{
	OpenFolderPanel();
	ClickRow("zeta", 2);
	ClickButton("newfolder");
	std::string text;
	ASSERT_EQ(Automation::GetText(Window(), "foldername", &text), B_OK);
	EXPECT_EQ(text, "New Folder");
	mkdir(KESTROVAN_SCREENSHOT_DIR, 0755);
	std::string picture = std::string(KESTROVAN_SCREENSHOT_DIR) + "/file_panel_naming.png";
	EXPECT_EQ(Automation::WriteWindowPNG(Window(), picture.c_str()), B_OK);
	ASSERT_EQ(Automation::TypeText("Docs"), B_OK);
	ASSERT_EQ(Automation::PressKey(B_ENTER), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(std::filesystem::is_directory(fRoot.HostPath("boot/zeta/Docs")));
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("boot/zeta/New Folder")));
	EXPECT_EQ(Rows(), (Names{"Docs"}));
	EXPECT_EQ(Selection(), (std::vector<int32>{0}));
	EXPECT_NE(Automation::GetText(Window(), "foldername", &text), B_OK) << "the field went";
	EXPECT_TRUE(fPanel->IsShowing()) << "Return named the folder, and chose nothing";

	// Escape leaves the name the folder was made with, and the panel open.
	ClickButton("newfolder");
	ASSERT_EQ(Automation::TypeText("Gone"), B_OK);
	ASSERT_EQ(Automation::PressKey(B_ESCAPE), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Rows(), (Names{"Docs", "New Folder"}));
	EXPECT_TRUE(fPanel->IsShowing());

	// A name taken is told; both folders stay as they were.
	fRoot.WriteFile("boot/zeta/Docs/keep", "kept");
	ClickButton("newfolder");
	ASSERT_EQ(Automation::TypeText("Docs"), B_OK);
	ASSERT_EQ(Automation::PressKey(B_ENTER), B_OK);
	DisplayWindowInfo alert;
	ASSERT_TRUE(Automation::WaitForWindow("", &alert));
	ASSERT_EQ(Automation::GetText(alert.id, "_tv_", &text), B_OK);
	EXPECT_EQ(text.rfind("Could not name the folder \"Docs\": ", 0), 0u) << text;
	ASSERT_EQ(Automation::Click(alert.id, "OK"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Rows(), (Names{"Docs", "New Folder", "New Folder 2"}));
	EXPECT_TRUE(std::filesystem::is_regular_file(fRoot.HostPath("boot/zeta/Docs/keep")));

	// "Select" while naming keeps the name typed and answers with it.
	ClickButton("newfolder");
	ASSERT_EQ(Automation::TypeText("Music"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ClickButton("default");
	ASSERT_TRUE(fLog->WaitForCount(1));
	EXPECT_EQ(AnsweredPaths(0), (Names{"/boot/zeta/Music"}));
	EXPECT_TRUE(std::filesystem::is_directory(fRoot.HostPath("boot/zeta/Music")));
}

TEST_F(FilePanelTest, NewFolderThatCannotBeMadeIsToldInAnAlert)
{
	OpenFolderPanel();
	ClickRow("zeta", 2);
	ASSERT_EQ(PathShown(), "/boot/zeta");
	// Gone behind the panel's back.
	std::filesystem::remove(fRoot.HostPath("boot/zeta"));

	ASSERT_EQ(Automation::Click(Window(), "newfolder"), B_OK);
	DisplayWindowInfo alert;
	ASSERT_TRUE(Automation::WaitForWindow("", &alert));
	std::string text;
	ASSERT_EQ(Automation::GetText(alert.id, "_tv_", &text), B_OK);
	EXPECT_EQ(text.rfind("Could not make a new folder in \"/boot/zeta\": ", 0), 0u) << text;
	ASSERT_EQ(Automation::Click(alert.id, "OK"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(fPanel->IsShowing()) << "the panel stays for another choice";
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("boot/zeta")));
}

TEST_F(FilePanelTest, StartsInTheHomeFolderWhenThereIsOne)
{
	std::filesystem::create_directories(fRoot.HostPath("boot/home/Desktop"));
	OpenFolderPanel();
	EXPECT_EQ(PathShown(), "/boot/home");
	EXPECT_EQ(Rows(), (Names{"Desktop"}));
}

TEST_F(FilePanelTest, Screenshot)
{
	for (const char* name : {"docs", "fonts", "games", "media", "system"})
		std::filesystem::create_directories(fRoot.HostPath(std::string("boot/") + name));
	fRoot.WriteFile("boot/readme", "text");
	OpenFolderPanel();
	ClickRow("games");
	mkdir(KESTROVAN_SCREENSHOT_DIR, 0755);
	std::string path = std::string(KESTROVAN_SCREENSHOT_DIR) + "/file_panel.png";
	ASSERT_EQ(Automation::WriteWindowPNG(Window(), path.c_str()), B_OK);
	cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
	ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
	Pixels pixels(image);
	EXPECT_EQ(pixels.Width(), fPanel->Window()->Bounds().IntegerWidth() + 1);
	// The selected row's highlight shows in the picture.
	BRect row;
	Locked(fPanel->Window(), [&] {
		row = fPanel->Window()->ConvertFromScreen(
			List()->ConvertToScreen(List()->ItemFrame(List()->IndexOf("games"))));
	});
	EXPECT_TRUE(same_rgb(pixels.At(static_cast<int32>(row.right) - 4,
		static_cast<int32>(row.top) + 2), make_color(182, 202, 232)));
}
