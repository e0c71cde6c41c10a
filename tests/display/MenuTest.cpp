#include <InterfaceFixture.h>
#include <MessageLog.h>

#include <Menu.h>
#include <MenuBar.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <MenuWindow.h>
#include <PopUpMenu.h>

#include <cmath>

// Menus open in windows of their own, send their items' messages, mark
// the chosen item in radio mode and close on a press elsewhere.

namespace {

const uint32 kVolumeSelected = 'VolS';
const uint32 kFolderSelected = 'FolS';

class MenuWindow : public BWindow {
public:
	MenuWindow(std::shared_ptr<MessageLog> log)
		:
		BWindow(BRect(100, 100, 579, 409), "install", B_TITLED_WINDOW, 0),
		fLog(std::move(log))
	{
		BView* panel = new BView(Bounds(), "installview", B_FOLLOW_ALL, B_WILL_DRAW);
		panel->SetViewColor(230, 230, 230);
		AddChild(panel);

		fVolumes = new BPopUpMenu("volumes");
		const char* names[] = {"boot", "Data", "Old"};
		for (int32 i = 0; i < 3; i++) {
			BMessage* message = new BMessage(kVolumeSelected);
			message->AddInt32("volume_id", 10 + i);
			fVolumes->AddItem(new BMenuItem(names[i], message));
		}
		fVolumes->ItemAt(2)->SetEnabled(false);
		fVolumes->ItemAt(0)->SetMarked(true);
		fVolumeField = new BMenuField(BRect(8, 276, 173, 298), "Volume", "Install on",
			fVolumes, B_FOLLOW_LEFT | B_FOLLOW_BOTTOM);
		fVolumeField->SetDivider(44);
		panel->AddChild(fVolumeField);

		fFolders = new BPopUpMenu("folders", false, false);
		fFolders->AddItem(new BMenuItem("apps", new BMessage(kFolderSelected)));
		fFolders->AddItem(new BMenuItem("home", new BMessage(kFolderSelected)));
		fFolders->AddSeparatorItem();
		fFolders->AddItem(new BMenuItem("Other...", new BMessage(kFolderSelected)));
		fFolderField = new BMenuField(BRect(177, 276, 377, 298), "Folder", "in", fFolders,
			B_FOLLOW_LEFT | B_FOLLOW_BOTTOM);
		fFolderField->SetDivider(18);
		panel->AddChild(fFolderField);
	}

	void MessageReceived(BMessage* message) override
	{
		if (message->what == kVolumeSelected || message->what == kFolderSelected) {
			fLog->Add(*message, find_thread(nullptr));
			return;
		}
		BWindow::MessageReceived(message);
	}

	std::shared_ptr<MessageLog> fLog;
	BPopUpMenu* fVolumes;
	BPopUpMenu* fFolders;
	BMenuField* fVolumeField;
	BMenuField* fFolderField;
};

} // namespace

class MenuTest : public InterfaceTest {
protected:
	// Runs f on the open menu, locked in its window; false when none is
	// open.
	template<typename F>
	static bool WithOpenMenu(F f)
	{
		for (const DisplayWindowInfo& info : Automation::Windows()) {
			if (info.type != BPrivate::kMenuWindowType || info.hidden)
				continue;
			if (!info.target.LockTarget())
				return false;
			BLooper* looper = nullptr;
			info.target.Target(&looper);
			BMenu* menu = static_cast<BPrivate::MenuWindow*>(looper)->Menu();
			if (menu != nullptr)
				f(menu);
			looper->Unlock();
			return menu != nullptr;
		}
		return false;
	}

	// The label of the open menu's highlighted item ("" for none).
	static std::string Highlighted()
	{
		std::string label;
		WithOpenMenu([&](BMenu* menu) {
			for (int32 i = 0; i < menu->CountItems(); i++) {
				if (menu->ItemAt(i)->IsSelected())
					label = menu->ItemAt(i)->Label();
			}
		});
		return label;
	}

	// Moves the pointer onto the open menu's item, near its left end.
	static void PointAt(int32 index)
	{
		BPoint where;
		ASSERT_TRUE(WithOpenMenu([&](BMenu* menu) {
			BRect frame = menu->ConvertToScreen(menu->ItemAt(index)->Frame());
			where = BPoint(frame.left + 4, floorf((frame.top + frame.bottom) / 2));
		}));
		ASSERT_EQ(Automation::MoveMouseTo(where), B_OK);
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	// The test window, shown, with the menu of its field open.
	static MenuWindow* ShowWithOpenMenu(std::shared_ptr<MessageLog> log, const char* field)
	{
		MenuWindow* window = new MenuWindow(std::move(log));
		window->Show();
		EXPECT_TRUE(Automation::WaitUntilIdle());
		EXPECT_EQ(Automation::Click(window->DisplayID(), field), B_OK);
		EXPECT_TRUE(Automation::WaitUntilIdle());
		EXPECT_TRUE(Automation::IsMenuOpen());
		return window;
	}

	static void Key(char byte)
	{
		ASSERT_EQ(Automation::PressKey(byte), B_OK);
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}
};

TEST_F(MenuTest, ItemsAreKeptInOrderAndFound)
{
	BPopUpMenu menu("menu");
	EXPECT_TRUE(menu.IsRadioMode());
	EXPECT_TRUE(menu.IsLabelFromMarked());
	BMenuItem* first = new BMenuItem("first", new BMessage('1st '));
	BMenuItem* third = new BMenuItem("third", new BMessage('3rd '));
	BMenuItem* second = new BMenuItem("second", new BMessage('2nd '));
	EXPECT_TRUE(menu.AddItem(first));
	EXPECT_TRUE(menu.AddItem(third));
	EXPECT_TRUE(menu.AddItem(second, 1));
	EXPECT_FALSE(menu.AddItem(second));
	EXPECT_TRUE(menu.AddSeparatorItem());
	EXPECT_EQ(menu.CountItems(), 4);
	EXPECT_EQ(menu.ItemAt(1), second);
	EXPECT_EQ(menu.IndexOf(third), 2);
	EXPECT_EQ(menu.FindItem("third"), third);
	EXPECT_EQ(menu.FindItem("none"), nullptr);
	EXPECT_EQ(second->Menu(), &menu);

	EXPECT_EQ(menu.FindMarked(), nullptr);
	third->SetMarked(true);
	first->SetMarked(true);
	// Radio mode: one marked item.
	EXPECT_EQ(menu.FindMarked(), first);
	EXPECT_FALSE(third->IsMarked());

	EXPECT_EQ(menu.RemoveItem(1), second);
	EXPECT_EQ(second->Menu(), nullptr);
	EXPECT_EQ(menu.CountItems(), 3);
	delete second;

	// Frames: a column of items as wide as the widest.
	float width, height;
	menu.GetPreferredSize(&width, &height);
	EXPECT_EQ(menu.ItemAt(0)->Frame().right, menu.ItemAt(1)->Frame().right);
	EXPECT_LT(menu.ItemAt(0)->Frame().bottom, menu.ItemAt(1)->Frame().top);
	EXPECT_GE(height, menu.ItemAt(2)->Frame().bottom);

	menu.SetEnabled(false);
	EXPECT_FALSE(first->IsEnabled());
}

TEST_F(MenuTest, ChoosingFromAMenuFieldSendsMarksAndLabels)
{
	auto log = std::make_shared<MessageLog>();
	MenuWindow* window = new MenuWindow(log);
	EXPECT_STREQ(window->fVolumeField->MenuItem()->Label(), "boot");
	EXPECT_EQ(window->fVolumeField->MenuItem()->Submenu(), window->fVolumes);
	EXPECT_EQ(window->fVolumes->Superitem(), window->fVolumeField->MenuItem());
	EXPECT_STREQ(window->fFolderField->MenuItem()->Label(), "folders");
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	int32 id = window->DisplayID();

	EXPECT_EQ(Automation::Click(id, "Volume"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(Automation::IsMenuOpen());
	// The install window stays active while its menu is open.
	EXPECT_TRUE(window->IsActive());
	EXPECT_EQ(Automation::ChooseMenuItem("Data"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_FALSE(Automation::IsMenuOpen());
	ASSERT_EQ(log->Count(), 1u);
	BMessage chosen = log->At(0);
	EXPECT_EQ(chosen.what, kVolumeSelected);
	int32 index = -1, volume = -1;
	EXPECT_EQ(chosen.FindInt32("index", &index), B_OK);
	EXPECT_EQ(chosen.FindInt32("volume_id", &volume), B_OK);
	EXPECT_EQ(index, 1);
	EXPECT_EQ(volume, 11);
	void* source = nullptr;
	chosen.FindPointer("source", &source);
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(source, static_cast<void*>(window->fVolumes->ItemAt(1)));
	EXPECT_EQ(window->fVolumes->FindMarked(), window->fVolumes->ItemAt(1));
	EXPECT_STREQ(window->fVolumeField->MenuItem()->Label(), "Data");
	EXPECT_EQ(window->fVolumes->Window(), nullptr);
	window->Unlock();

	// A disabled item does nothing; a press outside closes the menu and
	// reaches nothing else.
	EXPECT_EQ(Automation::Click(id, "Volume"), B_OK);
	EXPECT_EQ(Automation::ChooseMenuItem("Old"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(Automation::IsMenuOpen());
	EXPECT_EQ(Automation::ClickAt(BPoint(900, 700)), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_FALSE(Automation::IsMenuOpen());
	EXPECT_EQ(log->Count(), 1u);

	// Not radio mode, label not from the marked item.
	EXPECT_EQ(Automation::Click(id, "Folder"), B_OK);
	EXPECT_EQ(Automation::ChooseMenuItem("Other..."), B_OK);
	ASSERT_TRUE(log->WaitForCount(2));
	log->At(1).FindInt32("index", &index);
	EXPECT_EQ(index, 3);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(window->fFolders->FindMarked(), nullptr);
	EXPECT_STREQ(window->fFolderField->MenuItem()->Label(), "folders");
	window->Unlock();
	QuitWindow(window);
}

TEST_F(MenuTest, AMenuBarOpensItsMenusAndItemsMayTargetAHandler)
{
	auto log = std::make_shared<MessageLog>();
	LoggingLooper* receiver = new LoggingLooper(log, "receiver");
	receiver->Run();

	BWindow* window = new BWindow(BRect(100, 100, 399, 299), "bar", B_TITLED_WINDOW, 0);
	BMenuBar* bar = new BMenuBar(BRect(0, 0, 299, 18), "menubar");
	BMenu* file = new BMenu("File");
	BMenuItem* quit = new BMenuItem("Quit", new BMessage('quit'));
	file->AddItem(quit);
	quit->SetTarget(receiver);
	bar->AddItem(file);
	window->AddChild(bar);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	BRect frame;
	ASSERT_TRUE(window->Lock());
	frame = bar->ConvertToScreen(bar->ItemAt(0)->Frame());
	window->Unlock();
	EXPECT_EQ(Automation::ClickAt(BPoint(frame.left + 4, frame.top + 4)), B_OK);
	EXPECT_EQ(Automation::ChooseMenuItem("Quit"), B_OK);
	ASSERT_TRUE(log->WaitForCount(1));
	EXPECT_EQ(log->At(0).what, static_cast<uint32>('quit'));
	EXPECT_EQ(log->ThreadAt(0), receiver->Thread());
	ASSERT_TRUE(Automation::WaitUntilIdle());
	QuitWindow(window);
	receiver->Lock();
	receiver->Quit();
}

TEST_F(MenuTest, AMenuOpenWhenItsWindowQuitsClosesWithIt)
{
	auto log = std::make_shared<MessageLog>();
	MenuWindow* window = ShowWithOpenMenu(log, "Volume");

	// The field and its item go while their menu is open: the menu's own
	// window closes and deletes it.
	QuitWindow(window);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_FALSE(Automation::IsMenuOpen());
	EXPECT_EQ(log->Count(), 0u);
}


// The pointer over an open menu moves its highlight as desktop menus do,
// and the keys and the pointer move one and the same highlight.
TEST_F(MenuTest, ThePointerMovesTheHighlightAndTheKeysGoOnFromIt)
{
	auto log = std::make_shared<MessageLog>();
	MenuWindow* window = ShowWithOpenMenu(log, "Folder");
	EXPECT_EQ(Highlighted(), "");

	// apps, home, a separator, "Other...".
	PointAt(1);
	EXPECT_EQ(Highlighted(), "home");
	Key(B_DOWN_ARROW);
	EXPECT_EQ(Highlighted(), "Other...") << "the keys go on from the pointer's item";
	PointAt(0);
	EXPECT_EQ(Highlighted(), "apps") << "the pointer takes over from the keys";
	// Over the separator nothing is highlighted.
	PointAt(2);
	EXPECT_EQ(Highlighted(), "");
	EXPECT_TRUE(Automation::IsMenuOpen());

	// Return chooses the one highlight, wherever it came from; nothing was
	// chosen before.
	PointAt(1);
	Key(B_UP_ARROW);
	EXPECT_EQ(Highlighted(), "apps");
	EXPECT_EQ(log->Count(), 0u);
	Key(B_ENTER);
	ASSERT_TRUE(log->WaitForCount(1));
	int32 index = -1;
	log->At(0).FindInt32("index", &index);
	EXPECT_EQ(index, 0);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_FALSE(Automation::IsMenuOpen());

	// A disabled item takes no highlight from the pointer either.
	EXPECT_EQ(Automation::Click(window->DisplayID(), "Volume"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	PointAt(2);
	EXPECT_EQ(Highlighted(), "");
	PointAt(1);
	EXPECT_EQ(Highlighted(), "Data");
	Key(B_ESCAPE);
	QuitWindow(window);
}
