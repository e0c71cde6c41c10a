// The progress window: what each message does to the bar, the count and the
// Cancel button, and what a progress message is answered.

#include "StatusView.h"
#include "StatusWindow.h"
#include "UiTestSupport.h"

#include <InterfaceFixture.h>

#include <Button.h>
#include <CancelFlag.h>
#include <Message.h>
#include <Messenger.h>
#include <Screen.h>
#include <StatusBar.h>

#include <string>

namespace {

// What the bar shows, read in the window's thread.
struct BarState {
	std::string label;
	std::string text;
	std::string trailingLabel;
	std::string trailingText;
	float value = -1;
	float max = -1;
	bool cancelEnabled = false;
	bool hidden = false;
};

class StatusWindowTest : public InterfaceTest {
protected:
	void SetUp() override
	{
		InterfaceTest::SetUp();
		fWindow = new StatusWindow(BRect(0, 0, 260, 90), "Install");
		ASSERT_TRUE(fWindow->Lock());
		fView = dynamic_cast<StatusView*>(fWindow->FindView("statview"));
		fWindow->Unlock();
		ASSERT_NE(fView, nullptr);
		fMessenger = BMessenger(fView, fWindow);
	}

	void TearDown() override
	{
		QuitWindow(fWindow);
		InterfaceTest::TearDown();
	}

	// Every message is sent and waited for, so that the view has handled
	// it when the test looks.
	void Send(BMessage message)
	{
		BMessage reply;
		ASSERT_EQ(fMessenger.SendMessage(&message, &reply), B_OK);
	}

	void Start(int32 items, int64 bytes, bool wideBytes = false,
		BPrivate::CancelFlag* cancelFlag = nullptr)
	{
		BMessage start(kStatusExtract);
		if (wideBytes)
			start.AddInt64("bytes", bytes);
		else
			start.AddInt32("bytes", (int32)bytes);
		start.AddInt32("item count", items);
		if (cancelFlag != nullptr)
			start.AddPointer("cancel flag", cancelFlag);
		Send(start);
	}

	void FileName(const char* name)
	{
		BMessage message(kStatusFileName);
		message.AddString("filename", name);
		Send(message);
	}

	// The reply to a progress message: its "canceled".
	bool Progress(int32 bytes)
	{
		BMessage progress(kStatusProgress);
		progress.AddInt32("bytes", bytes);
		BMessage reply;
		EXPECT_EQ(fMessenger.SendMessage(&progress, &reply), B_OK);
		EXPECT_EQ(reply.what, (uint32)B_CANCELED);
		bool canceled = false;
		EXPECT_EQ(reply.FindBool("canceled", &canceled), B_OK);
		return canceled;
	}

	BarState State()
	{
		BarState state;
		if (!fWindow->Lock())
			return state;
		BStatusBar* bar = dynamic_cast<BStatusBar*>(fWindow->FindView("statusbar"));
		BButton* cancel = dynamic_cast<BButton*>(fWindow->FindView("cancel"));
		if (bar != nullptr) {
			state.label = bar->Label();
			state.text = bar->Text();
			state.trailingLabel = bar->TrailingLabel();
			state.trailingText = bar->TrailingText();
			state.value = bar->CurrentValue();
			state.max = bar->MaxValue();
		}
		state.cancelEnabled = cancel != nullptr && cancel->IsEnabled();
		state.hidden = fWindow->IsHidden();
		fWindow->Unlock();
		return state;
	}

	StatusWindow* fWindow = nullptr;
	StatusView* fView = nullptr;
	BMessenger fMessenger;
};

} // namespace


TEST_F(StatusWindowTest, MadeHiddenInTheMiddleOfTheScreenWithItsViews)
{
	BarState state = State();
	EXPECT_TRUE(state.hidden);
	EXPECT_EQ(state.label, "Progress!");
	EXPECT_EQ(state.trailingLabel, "trailing");

	ASSERT_TRUE(fWindow->Lock());
	BRect frame = fWindow->Frame();
	BRect screen = BScreen(fWindow).Frame();
	BView* cancel = fWindow->FindView("cancel");
	BStatusBar* bar = dynamic_cast<BStatusBar*>(fWindow->FindView("statusbar"));
	EXPECT_EQ(fWindow->Flags() & (B_NOT_RESIZABLE | B_NOT_CLOSABLE | B_NOT_ZOOMABLE),
		(uint32)(B_NOT_RESIZABLE | B_NOT_CLOSABLE | B_NOT_ZOOMABLE));
	ASSERT_NE(cancel, nullptr);
	ASSERT_NE(bar, nullptr);
	EXPECT_EQ(cancel->Frame(), BRect(170, 56, 250, 80));
	EXPECT_EQ(bar->Frame().left, 10);
	EXPECT_EQ(bar->Frame().right, 250);
	EXPECT_EQ(bar->BarHeight(), 14);
	// The bar grew to hold its text line above the bar.
	float preferred;
	bar->GetPreferredSize(nullptr, &preferred);
	EXPECT_EQ(bar->Frame().Height(), preferred);
	EXPECT_GT(preferred, 14);
	EXPECT_EQ(fView->Frame(), fWindow->Bounds());
	fWindow->Unlock();

	// Placed in the middle of the screen, not left off screen.
	EXPECT_NEAR(frame.left, (screen.right - 6 - frame.Width()) / 2, 0.5);
	EXPECT_NEAR(frame.top, (screen.bottom - 6 - frame.Height()) / 2, 0.5);
}


TEST_F(StatusWindowTest, ProgressBeforeAnyRunIsToldToStop)
{
	EXPECT_TRUE(Progress(10));
	BarState state = State();
	EXPECT_EQ(state.label, "Canceling...");
	EXPECT_EQ(state.trailingLabel, "");
	EXPECT_EQ(state.value, 0);
	EXPECT_TRUE(state.hidden);
}


TEST_F(StatusWindowTest, ARunCountsItemsAndBytesAndEndsIdle)
{
	Start(3, 1000);
	BarState state = State();
	EXPECT_FALSE(state.hidden);
	EXPECT_TRUE(state.cancelEnabled);
	EXPECT_EQ(state.label, "Installing: ");
	EXPECT_EQ(state.trailingLabel, " of 3");
	EXPECT_EQ(state.max, 1000);
	EXPECT_EQ(state.value, 0);
	EXPECT_EQ(fView->ItemCount(), 3);

	FileName("ReadMe");
	EXPECT_FALSE(Progress(400));
	FileName("Tool");
	EXPECT_FALSE(Progress(250));
	state = State();
	EXPECT_EQ(state.text, "Tool");
	EXPECT_EQ(state.trailingText, "2");
	EXPECT_EQ(state.value, 650);
	EXPECT_EQ(fView->ItemsDone(), 2);

	// More than the total fills the bar and no more.
	EXPECT_FALSE(Progress(5000));
	EXPECT_EQ(State().value, 1000);

	Send(BMessage(kStatusDone));
	state = State();
	EXPECT_TRUE(state.hidden);
	EXPECT_FALSE(state.cancelEnabled);
	EXPECT_EQ(state.label, "Idle");
	EXPECT_EQ(state.trailingLabel, "");
	EXPECT_EQ(state.text, "");
	EXPECT_EQ(state.value, 0);
	EXPECT_EQ(fView->ItemCount(), 0);
	EXPECT_EQ(fView->ItemsDone(), 0);
	// The flag is cleared at the end of a run too.
	EXPECT_FALSE(Progress(1));
}


TEST_F(StatusWindowTest, SixtyFourBitTotalsAndAMissingCount)
{
	const int64 total = 5LL * 1024 * 1024 * 1024;
	Start(0, total, true);
	BarState state = State();
	EXPECT_FLOAT_EQ(state.max, (float)total);
	EXPECT_EQ(state.trailingLabel, "");

	BMessage wide(kStatusProgress);
	wide.AddInt64("bytes", 3LL * 1024 * 1024 * 1024);
	BMessage reply;
	ASSERT_EQ(fMessenger.SendMessage(&wide, &reply), B_OK);
	EXPECT_FALSE(reply.FindBool("canceled"));
	EXPECT_FLOAT_EQ(State().value, 3.0f * 1024 * 1024 * 1024);

	// Without a count the running number still shows.
	FileName("first");
	FileName("second");
	state = State();
	EXPECT_EQ(state.trailingText, "2");
	EXPECT_EQ(state.trailingLabel, "");
}


TEST_F(StatusWindowTest, CancelIsReportedInTheNextProgressReply)
{
	Start(2, 100);
	EXPECT_FALSE(Progress(30));
	ASSERT_EQ(Automation::Click(fWindow->DisplayID(), "cancel"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(fView->IsCanceled());
	EXPECT_FALSE(State().cancelEnabled);
	// The bar says so at once, before any report comes.
	BarState state = State();
	EXPECT_EQ(state.label, "Canceling...");
	EXPECT_EQ(state.trailingLabel, "");
	EXPECT_EQ(state.value, 0);

	// A second press reaches a disabled button: nothing changes.
	ASSERT_EQ(Automation::Click(fWindow->DisplayID(), "cancel"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(fView->IsCanceled());
	EXPECT_FALSE(State().cancelEnabled);
	EXPECT_EQ(State().label, "Canceling...");

	EXPECT_TRUE(Progress(20));
	state = State();
	EXPECT_EQ(state.label, "Canceling...");
	EXPECT_EQ(state.value, 0);
	EXPECT_TRUE(Progress(20));

	// The next run starts uncanceled, with its button enabled.
	Send(BMessage(kStatusDone));
	Start(1, 10);
	EXPECT_TRUE(State().cancelEnabled);
	EXPECT_FALSE(Progress(1));
}


// A run that is blocked where no progress report comes (a script) learns
// of the press through its cancel flag, raised by the press itself; the
// flag of a run that has ended is left alone.
TEST_F(StatusWindowTest, CancelRaisesTheRunsCancelFlag)
{
	BPrivate::CancelFlag flag;
	Start(1, 100, false, &flag);
	EXPECT_FALSE(flag.IsRaised());
	ASSERT_EQ(Automation::Click(fWindow->DisplayID(), "cancel"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(flag.IsRaised());
	EXPECT_EQ(State().label, "Canceling...");

	flag.Clear();
	Send(BMessage(kStatusDone));
	// A start without a flag, and a press during the wait it labels.
	BMessage waiting(kStatusStart);
	waiting.AddString("text", "Waiting...");
	waiting.AddBool("cancelable", true);
	Send(waiting);
	ASSERT_EQ(Automation::Click(fWindow->DisplayID(), "cancel"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(fView->IsCanceled());
	EXPECT_FALSE(flag.IsRaised());
}


// Escape presses "Cancel" while a run can be cancelled, and does nothing
// once it is pressed or before a run.
TEST_F(StatusWindowTest, EscapePressesCancelWhileItIsEnabled)
{
	// Hidden before a run: the key finds no window, or one that is not this.
	Automation::PressKey(B_ESCAPE);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	Start(2, 100);
	EXPECT_TRUE(State().cancelEnabled) << "an Escape before the run is not kept";
	EXPECT_FALSE(Progress(30));

	ASSERT_EQ(Automation::PressKey(B_ESCAPE), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(fView->IsCanceled());
	EXPECT_FALSE(State().cancelEnabled);
	EXPECT_EQ(State().label, "Canceling...");
	EXPECT_TRUE(Progress(20));
}


TEST_F(StatusWindowTest, ShowAndHideAreNotCounted)
{
	// 'Done' while hidden leaves the window hidden; the next run shows it.
	Send(BMessage(kStatusDone));
	Send(BMessage(kStatusDone));
	EXPECT_TRUE(State().hidden);
	Start(1, 10);
	EXPECT_FALSE(State().hidden);
	Start(1, 10);
	Send(BMessage(kStatusDone));
	EXPECT_TRUE(State().hidden);

	fWindow->Show();
	fWindow->Show();
	fWindow->Hide();
	EXPECT_TRUE(State().hidden);
	fWindow->Hide();
	fWindow->Show();
	EXPECT_FALSE(State().hidden);
}


TEST_F(StatusWindowTest, OtherMessagesAreDropped)
{
	// A message the view does not know gets no answer at all, not even
	// "not understood".
	BMessage other('zzzz');
	BMessage reply;
	ASSERT_EQ(fMessenger.SendMessage(&other, &reply), B_OK);
	EXPECT_EQ(reply.what, (uint32)B_NO_REPLY);
	EXPECT_EQ(State().label, "Progress!");
}


TEST_F(StatusWindowTest, Screenshot)
{
	Start(12, 4000);
	FileName("libtool.so");
	Progress(2500);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	std::string path = screenshot_path("ui-progress-window");
	ASSERT_EQ(Automation::WriteWindowPNG(fWindow->DisplayID(), path.c_str()), B_OK);
	Pixels pixels(cairo_image_surface_create_from_png(path.c_str()));
	ASSERT_TRUE(pixels.IsValid());
	// The window's back is grey; the bar lies under the text line, filled
	// in the bar colour up to the share of the bytes written.
	EXPECT_TRUE(same_rgb(pixels.At(3, 3), make_color(230, 230, 230)));
	ASSERT_TRUE(fWindow->Lock());
	BStatusBar* bar = dynamic_cast<BStatusBar*>(fWindow->FindView("statusbar"));
	BRect frame = bar->Frame();
	rgb_color barColor = bar->BarColor();
	fWindow->Unlock();
	int32 y = (int32)(frame.bottom - 14 / 2);
	EXPECT_TRUE(same_rgb(pixels.At((int32)frame.left + 20, y), barColor))
		<< pixels.At((int32)frame.left + 20, y);
	EXPECT_TRUE(same_rgb(pixels.At((int32)frame.right - 20, y), kWhite))
		<< pixels.At((int32)frame.right - 20, y);
}
