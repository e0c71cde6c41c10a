#include <InterfaceFixture.h>

#include <Application.h>
#include <Message.h>

#include <atomic>
#include <thread>

// Windows: showing and hiding, quitting, the close box, and modal windows
// keeping input from the others.

namespace {

std::atomic<int32> sWindowsDeleted{0};

class CountingWindow : public BWindow {
public:
	CountingWindow(BRect frame, const char* title, window_type type = B_TITLED_WINDOW,
		uint32 flags = 0)
		:
		BWindow(frame, title, type, flags)
	{
	}
	~CountingWindow() override { sWindowsDeleted++; }

	bool QuitRequested() override
	{
		fAsked++;
		return fAllowQuit;
	}

	std::atomic<bool> fAllowQuit{true};
	std::atomic<int32> fAsked{0};
};

class ClickView : public BView {
public:
	ClickView(BRect frame)
		:
		BView(frame, "clicks", B_FOLLOW_ALL, B_WILL_DRAW)
	{
	}
	void MouseDown(BPoint where) override
	{
		fDowns++;
		fWhere = where;
		int32 clicks = 0;
		Window()->CurrentMessage()->FindInt32("clicks", &clicks);
		fClicks = clicks;
	}
	void MouseUp(BPoint) override { fUps++; }
	void KeyDown(const char* bytes, int32) override { fKeys += bytes; }

	std::atomic<int32> fDowns{0};
	std::atomic<int32> fUps{0};
	std::atomic<int32> fClicks{0};
	BPoint fWhere;
	std::string fKeys;
};

bool
listed(int32 id)
{
	DisplayWindowInfo info;
	return DisplayBackend::Default()->GetWindow(id, &info);
}

bool
shown(int32 id)
{
	DisplayWindowInfo info;
	return DisplayBackend::Default()->GetWindow(id, &info) && !info.hidden;
}

// Counts its drawing and the value it drew last; a message sets the value.
class ValueView : public BView {
public:
	ValueView(BRect frame)
		:
		BView(frame, "value", B_FOLLOW_ALL, B_WILL_DRAW)
	{
	}
	void MessageReceived(BMessage* message) override
	{
		fValue = message->FindInt32("value");
		Invalidate();
		message->SendReply(B_REPLY);
	}
	void Draw(BRect) override
	{
		fDraws++;
		fDrawnValue = fValue.load();
	}

	std::atomic<int32> fValue{0};
	std::atomic<int32> fDraws{0};
	std::atomic<int32> fDrawnValue{-1};
};

} // namespace

class WindowTest : public InterfaceTest {
};

TEST_F(WindowTest, ShowAndHideAreCounted)
{
	BWindow* window = new BWindow(BRect(10, 10, 109, 109), "counted", B_TITLED_WINDOW, 0);
	int32 id = window->DisplayID();
	EXPECT_TRUE(window->IsHidden());
	EXPECT_LT(window->Thread(), 0);
	EXPECT_FALSE(shown(id));

	window->Show();
	EXPECT_GE(window->Thread(), 0);
	EXPECT_FALSE(window->IsHidden());
	EXPECT_TRUE(shown(id));

	window->Hide();
	window->Hide();
	EXPECT_TRUE(window->IsHidden());
	window->Show();
	EXPECT_TRUE(window->IsHidden());
	EXPECT_FALSE(shown(id));
	window->Show();
	EXPECT_FALSE(window->IsHidden());
	EXPECT_TRUE(shown(id));

	// A second Show on a shown window needs a second Hide.
	window->Show();
	window->Hide();
	EXPECT_FALSE(window->IsHidden());

	ASSERT_TRUE(window->Lock());
	window->SetTitle("renamed");
	window->Unlock();
	DisplayWindowInfo info;
	ASSERT_TRUE(Automation::FindWindow("renamed", &info));
	EXPECT_EQ(info.id, id);
	QuitWindow(window);
	EXPECT_FALSE(listed(id));
}

TEST_F(WindowTest, QuitFromAnotherThreadEndsTheWindowThread)
{
	int32 deletedBefore = sWindowsDeleted;
	CountingWindow* window = new CountingWindow(BRect(10, 10, 109, 109), "quit");
	window->Show();
	thread_id thread = window->Thread();
	int32 id = window->DisplayID();

	std::thread other([window] {
		ASSERT_TRUE(window->Lock());
		window->Quit();
	});
	other.join();
	EXPECT_EQ(sWindowsDeleted, deletedBefore + 1);
	EXPECT_FALSE(listed(id));
	EXPECT_EQ(BLooper::LooperForThread(thread), nullptr);

	// A window that never ran is simply deleted.
	CountingWindow* unshown = new CountingWindow(BRect(10, 10, 109, 109), "never shown");
	int32 unshownId = unshown->DisplayID();
	unshown->Quit();
	EXPECT_EQ(sWindowsDeleted, deletedBefore + 2);
	EXPECT_FALSE(listed(unshownId));
}

TEST_F(WindowTest, CloseBoxAsksTheWindowWhichMayRefuse)
{
	int32 deletedBefore = sWindowsDeleted;
	CountingWindow* window = new CountingWindow(BRect(10, 10, 109, 109), "closing");
	window->fAllowQuit = false;
	window->Show();
	int32 id = window->DisplayID();

	EXPECT_EQ(Automation::PressCloseBox(id), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(window->fAsked, 1);
	EXPECT_TRUE(shown(id));
	EXPECT_EQ(sWindowsDeleted, deletedBefore);

	window->fAllowQuit = true;
	EXPECT_EQ(Automation::PressCloseBox(id), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_FALSE(listed(id));
	EXPECT_EQ(sWindowsDeleted, deletedBefore + 1);

	// No close box: nothing is asked.
	CountingWindow* fixed = new CountingWindow(BRect(10, 10, 109, 109), "fixed",
		B_TITLED_WINDOW, B_NOT_CLOSABLE);
	fixed->Show();
	EXPECT_EQ(Automation::PressCloseBox(fixed->DisplayID()), B_NOT_ALLOWED);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(fixed->fAsked, 0);
	QuitWindow(fixed);
}

TEST_F(WindowTest, ModalWindowKeepsInputFromTheOthers)
{
	BWindow* main = new BWindow(BRect(10, 30, 209, 229), "main", B_TITLED_WINDOW, 0);
	ClickView* clicks = new ClickView(main->Bounds());
	main->AddChild(clicks);
	main->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	EXPECT_EQ(Automation::ClickAt(BPoint(60, 80)), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(clicks->fDowns, 1);
	EXPECT_EQ(clicks->fUps, 1);
	// Window coordinates in the message, view coordinates in the hook.
	EXPECT_EQ(clicks->fWhere, BPoint(50, 50));
	EXPECT_TRUE(main->IsActive());

	BWindow* modal = new BWindow(BRect(400, 300, 499, 399), "modal", B_MODAL_WINDOW, 0);
	ClickView* modalClicks = new ClickView(modal->Bounds());
	modal->AddChild(modalClicks);
	modal->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(modal->IsActive());
	EXPECT_FALSE(main->IsActive());

	EXPECT_EQ(Automation::ClickAt(BPoint(60, 80)), B_NOT_ALLOWED);
	EXPECT_EQ(Automation::PressCloseBox(main->DisplayID()), B_NOT_ALLOWED);
	EXPECT_EQ(Automation::PressKey("x"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(clicks->fDowns, 1);
	EXPECT_TRUE(shown(main->DisplayID()));
	// Keys go to the modal window's focus view.
	ASSERT_TRUE(modal->Lock());
	modalClicks->MakeFocus();
	modal->Unlock();
	EXPECT_EQ(Automation::PressKey("y"), B_OK);
	EXPECT_EQ(Automation::ClickAt(BPoint(410, 310)), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(modalClicks->fDowns, 1);
	ASSERT_TRUE(modal->Lock());
	EXPECT_EQ(modalClicks->fKeys, "y");
	modal->Quit();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	// With the modal window gone the main window takes input again; two
	// quick presses make a double click.
	EXPECT_EQ(Automation::ClickAt(BPoint(60, 80)), B_OK);
	EXPECT_EQ(Automation::ClickAt(BPoint(60, 80)), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(clicks->fDowns, 3);
	EXPECT_EQ(clicks->fClicks, 2);
	QuitWindow(main);
}

TEST_F(WindowTest, TheDisplayMovesAndResizesWindowsItsFlagsAllow)
{
	BWindow* window = new BWindow(BRect(10, 30, 109, 129), "dragged", B_TITLED_WINDOW, 0);
	BView* child = new BView(BRect(0, 0, 99, 99), "all", B_FOLLOW_ALL, 0);
	window->AddChild(child);
	window->Show();
	int32 id = window->DisplayID();
	DisplayBackend* display = DisplayBackend::Default();
	EXPECT_EQ(display->DragWindow(id, BPoint(300, 200)), B_OK);
	EXPECT_EQ(display->DragWindowSize(id, 149, 119), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(window->Frame(), BRect(300, 200, 449, 319));
	EXPECT_EQ(child->Frame(), BRect(0, 0, 149, 119));
	window->Unlock();
	DisplayWindowInfo info;
	ASSERT_TRUE(display->GetWindow(id, &info));
	EXPECT_EQ(info.frame, BRect(300, 200, 449, 319));
	QuitWindow(window);

	BWindow* fixed = new BWindow(BRect(10, 30, 109, 129), "fixed", B_TITLED_WINDOW,
		B_NOT_RESIZABLE | B_NOT_MOVABLE);
	fixed->Show();
	EXPECT_EQ(display->DragWindow(fixed->DisplayID(), BPoint(300, 200)), B_NOT_ALLOWED);
	EXPECT_EQ(display->DragWindowSize(fixed->DisplayID(), 10, 10), B_NOT_ALLOWED);
	QuitWindow(fixed);
}

TEST_F(WindowTest, TheApplicationKnowsAndAsksItsWindows)
{
	BApplication app("application/x-vnd.kestrovan-window-test");
	EXPECT_EQ(app.CountWindows(), 0);
	CountingWindow* first = new CountingWindow(BRect(10, 10, 109, 109), "first");
	CountingWindow* second = new CountingWindow(BRect(200, 10, 309, 109), "second");
	first->Show();
	second->Show();
	EXPECT_EQ(app.CountWindows(), 2);
	EXPECT_EQ(app.WindowAt(0), first);
	EXPECT_EQ(app.WindowAt(1), second);
	EXPECT_EQ(app.WindowAt(2), nullptr);

	second->fAllowQuit = false;
	ASSERT_TRUE(app.Lock());
	EXPECT_FALSE(app.QuitRequested());
	EXPECT_EQ(second->fAsked, 1);
	// The windows asked before the one that refused have quit.
	EXPECT_EQ(app.CountWindows(), 1);
	second->fAllowQuit = true;
	EXPECT_TRUE(app.QuitRequested());
	EXPECT_EQ(app.CountWindows(), 0);
	app.Unlock();
}


TEST_F(WindowTest, AStreamOfChangesIsDrawnAFrameAtATimeAndTheLastOneShows)
{
	BWindow* window = new BWindow(BRect(10, 10, 110, 60), "values", B_TITLED_WINDOW, 0);
	ValueView* view = new ValueView(window->Bounds());
	window->AddChild(view);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	int32 drawsBefore = view->fDraws;

	// Each change is handled before the next is sent, as a worker's
	// progress messages are: drawing every one would draw them all.
	const int32 kChanges = 200;
	BMessenger target(view);
	for (int32 value = 1; value <= kChanges; value++) {
		BMessage change('valu');
		change.AddInt32("value", value);
		BMessage reply;
		ASSERT_EQ(target.SendMessage(&change, &reply), B_OK);
	}
	ASSERT_TRUE(Automation::WaitUntilIdle()) << "idle only once the held frame is drawn";
	EXPECT_EQ(view->fDrawnValue, kChanges);
	EXPECT_LT(view->fDraws - drawsBefore, kChanges / 2);

	ASSERT_TRUE(window->Lock());
	window->Quit();
}
