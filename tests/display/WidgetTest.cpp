#include <InterfaceFixture.h>
#include <MessageLog.h>

#include <Picture.h>
#include <PictureButton.h>
#include <ScrollView.h>
#include <StatusBar.h>

// Status bars, scroll bars and scroll views, picture buttons: driven
// through the display like the rest.

namespace {

const uint32 kHelp = 'Help';

class ReceivingWindow : public BWindow {
public:
	ReceivingWindow(BRect frame, std::shared_ptr<MessageLog> log)
		:
		BWindow(frame, "widgets", B_TITLED_WINDOW, 0),
		fLog(std::move(log))
	{
	}
	void MessageReceived(BMessage* message) override
	{
		if (message->what == kHelp) {
			fLog->Add(*message, find_thread(nullptr));
			return;
		}
		BWindow::MessageReceived(message);
	}
	std::shared_ptr<MessageLog> fLog;
};

class TargetView : public BView {
public:
	TargetView(BRect frame)
		:
		BView(frame, "target", B_FOLLOW_ALL, B_WILL_DRAW)
	{
	}
	void TargetedByScrollView(BScrollView* scrollView) override { fScrollView = scrollView; }
	BScrollView* fScrollView = nullptr;
};

} // namespace

class WidgetTest : public InterfaceTest {
};

TEST_F(WidgetTest, StatusBarFillsWithUpdatesAndResets)
{
	BWindow* window = new BWindow(BRect(100, 100, 399, 159), "progress", B_TITLED_WINDOW, 0);
	BStatusBar* bar = new BStatusBar(BRect(10, 10, 289, 49), "statusbar", "Installing: ",
		" of 4");
	window->AddChild(bar);
	bar->SetMaxValue(200);
	bar->Update(50, "file.txt", "1");
	EXPECT_EQ(bar->CurrentValue(), 50);
	EXPECT_STREQ(bar->Text(), "file.txt");
	EXPECT_STREQ(bar->TrailingText(), "1");
	bar->Update(1000);
	EXPECT_EQ(bar->CurrentValue(), 200);
	bar->Update(-500);
	EXPECT_EQ(bar->CurrentValue(), 0);
	bar->Update(100);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	// Half filled: the bar colour on the left, white on the right.
	auto pixels = Capture(window);
	// The bar lies under the text line.
	float height;
	bar->GetPreferredSize(nullptr, &height);
	int32 y = static_cast<int32>(10 + height - bar->BarHeight() / 2);
	EXPECT_LT(height, 40);
	EXPECT_TRUE(same_rgb(pixels->At(20, y), bar->BarColor())) << pixels->At(20, y);
	EXPECT_TRUE(same_rgb(pixels->At(280, y), kWhite)) << pixels->At(280, y);

	// Messages do the same as the calls.
	BMessage update(B_UPDATE_STATUS_BAR);
	update.AddFloat("delta", 25);
	update.AddString("text", "next.txt");
	ASSERT_EQ(BMessenger(bar).SendMessage(&update), B_OK);
	BMessage reset(B_RESET_STATUS_BAR);
	reset.AddString("label", "Done");
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(bar->CurrentValue(), 125);
	EXPECT_STREQ(bar->Text(), "next.txt");
	window->Unlock();
	ASSERT_EQ(BMessenger(bar).SendMessage(&reset), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(bar->CurrentValue(), 0);
	EXPECT_STREQ(bar->Label(), "Done");
	EXPECT_STREQ(bar->TrailingLabel(), "");
	EXPECT_STREQ(bar->Text(), "");
	window->Unlock();
	QuitWindow(window);
}

TEST_F(WidgetTest, ScrollBarsAndTheirTargetFollowEachOther)
{
	BWindow* window = new BWindow(BRect(100, 100, 299, 299), "scrolling", B_TITLED_WINDOW, 0);
	TargetView* target = new TargetView(BRect(16, 20, 150, 160));
	BRect targetFrame = target->Frame();
	BScrollView* scroller = new BScrollView("scroller", target, B_FOLLOW_ALL, 0, false, true);
	EXPECT_EQ(target->fScrollView, scroller);
	EXPECT_EQ(scroller->Target(), target);
	// The scroll view takes the target's place, grown by the border and
	// the bar.
	EXPECT_EQ(scroller->Frame(), BRect(targetFrame.left - 2, targetFrame.top - 2,
		targetFrame.right + 2 + B_V_SCROLL_BAR_WIDTH, targetFrame.bottom + 2));
	EXPECT_EQ(target->Frame().LeftTop(), BPoint(2, 2));
	BScrollBar* bar = scroller->ScrollBar(B_VERTICAL);
	ASSERT_NE(bar, nullptr);
	EXPECT_EQ(scroller->ScrollBar(B_HORIZONTAL), nullptr);
	EXPECT_EQ(target->ScrollBar(B_VERTICAL), bar);
	EXPECT_EQ(bar->Target(), target);
	EXPECT_EQ(bar->Orientation(), B_VERTICAL);

	scroller->MoveTo(10, 10);
	window->AddChild(scroller);
	bar->SetRange(0, 100);
	bar->SetSteps(8, 28);
	bar->SetProportion(0.3f);

	bar->SetValue(40);
	EXPECT_EQ(target->Bounds().top, 40);
	bar->SetValue(500);
	EXPECT_EQ(bar->Value(), 100);
	EXPECT_EQ(target->Bounds().top, 100);
	// Scrolling the target moves the bar.
	target->ScrollTo(BPoint(0, 0));
	EXPECT_EQ(bar->Value(), 0);
	EXPECT_EQ(scroller->SetBorderHighlighted(true), B_OK);
	EXPECT_TRUE(scroller->IsBorderHighlighted());
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	// The arrows step by the small step, the trough by the large one.
	BRect barFrame;
	ASSERT_EQ(Automation::GetViewFrame(window->DisplayID(), "_VSB_", &barFrame), B_OK);
	BPoint downArrow(barFrame.left + 7, barFrame.bottom - 5);
	EXPECT_EQ(Automation::ClickAt(downArrow), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(bar->Value(), 8);
	EXPECT_EQ(target->Bounds().top, 8);
	window->Unlock();
	BPoint trough(barFrame.left + 7, barFrame.bottom - 20);
	EXPECT_EQ(Automation::ClickAt(trough), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(bar->Value(), 36);
	window->Unlock();
	BPoint upArrow(barFrame.left + 7, barFrame.top + 5);
	EXPECT_EQ(Automation::ClickAt(upArrow), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(bar->Value(), 28);
	EXPECT_EQ(target->Bounds().top, 28);
	window->Unlock();

	// Resizing the window resizes the scroll view, and the bar follows the
	// right edge.
	ASSERT_TRUE(window->Lock());
	BRect before = bar->Frame();
	window->ResizeBy(20, 30);
	EXPECT_EQ(bar->Frame(), BRect(before.left + 20, before.top, before.right + 20,
		before.bottom + 30));
	EXPECT_EQ(target->Frame().Height(), targetFrame.Height() + 30);
	window->Unlock();
	QuitWindow(window);
}

TEST_F(WidgetTest, PictureButtonsDrawTheirPicturesAndToggle)
{
	auto log = std::make_shared<MessageLog>();
	ReceivingWindow* window = new ReceivingWindow(BRect(100, 100, 199, 199), log);
	BView* panel = new BView(window->Bounds(), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
	window->AddChild(panel);

	// Pictures recorded on an attached view: red off, blue on.
	BPicture off, on;
	panel->SetHighColor(kRed);
	panel->BeginPicture(&off);
	panel->FillRect(BRect(0, 0, 17, 17));
	panel->EndPicture();
	panel->SetHighColor(kBlue);
	panel->BeginPicture(&on);
	panel->FillRect(BRect(0, 0, 17, 17));
	panel->EndPicture();

	BPictureButton* oneState = new BPictureButton(BRect(10, 10, 27, 27), "helpbutton", &off,
		&on, new BMessage(kHelp));
	BPictureButton* twoState = new BPictureButton(BRect(40, 10, 57, 27), "toggle", &off, &on,
		new BMessage(kHelp), B_TWO_STATE_BUTTON);
	panel->AddChild(oneState);
	panel->AddChild(twoState);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	auto pixels = Capture(window);
	EXPECT_TRUE(same_rgb(pixels->At(10, 10), kRed));
	EXPECT_TRUE(same_rgb(pixels->At(27, 27), kRed));
	EXPECT_TRUE(same_rgb(pixels->At(28, 28), kWhite));
	EXPECT_TRUE(same_rgb(pixels->At(45, 15), kRed));

	int32 id = window->DisplayID();
	EXPECT_EQ(Automation::Click(id, "helpbutton"), B_OK);
	EXPECT_EQ(Automation::Click(id, "toggle"), B_OK);
	ASSERT_TRUE(log->WaitForCount(2));
	EXPECT_EQ(log->At(0).what, kHelp);
	void* source = nullptr;
	log->At(0).FindPointer("source", &source);
	EXPECT_EQ(source, static_cast<void*>(oneState));
	int32 value = -1;
	EXPECT_EQ(Automation::GetValue(id, "helpbutton", &value), B_OK);
	EXPECT_EQ(value, B_CONTROL_OFF);
	EXPECT_EQ(Automation::GetValue(id, "toggle", &value), B_OK);
	EXPECT_EQ(value, B_CONTROL_ON);
	auto after = Capture(window);
	EXPECT_TRUE(same_rgb(after->At(10, 10), kRed));
	EXPECT_TRUE(same_rgb(after->At(45, 15), kBlue));
	QuitWindow(window);
}
