#include <InterfaceFixture.h>
#include <MessageLog.h>

#include <Alert.h>
#include <Button.h>
#include <CheckBox.h>
#include <Invoker.h>
#include <RadioButton.h>
#include <StringView.h>

#include <cstdio>
#include <future>
#include <string>
#include <unistd.h>

// The automation drives the real input path: clicks and keys reach the
// controls as mouse and key messages, and the controls send their messages.

namespace {

const uint32 kPressed = 'prsd';
const uint32 kToggled = 'tggl';
const uint32 kPicked = 'pick';

// A window that logs the messages its controls send it.
class LoggingWindow : public BWindow {
public:
	LoggingWindow(BRect frame, std::shared_ptr<MessageLog> log, const char* title = "controls")
		:
		BWindow(frame, title, B_TITLED_WINDOW, B_ASYNCHRONOUS_CONTROLS),
		fLog(std::move(log))
	{
		fPanel = new BView(Bounds(), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
		fPanel->SetViewColor(216, 216, 216);
		AddChild(fPanel);
	}

	void MessageReceived(BMessage* message) override
	{
		if (message->what == kPressed || message->what == kToggled
			|| message->what == kPicked || message->what == 'ansr') {
			fLog->Add(*message, find_thread(nullptr));
			return;
		}
		BWindow::MessageReceived(message);
	}

	BView* fPanel;
	std::shared_ptr<MessageLog> fLog;
};

const void*
source_of(const BMessage& message)
{
	void* pointer = nullptr;
	message.FindPointer("source", &pointer);
	return pointer;
}

// Records how a press was tracked with GetMouse.
class TrackingView : public BView {
public:
	TrackingView(BRect frame)
		:
		BView(frame, "tracker", B_FOLLOW_NONE, B_WILL_DRAW)
	{
	}

	void MouseDown(BPoint where) override
	{
		fStart = where;
		uint32 buttons = B_PRIMARY_MOUSE_BUTTON;
		BPoint point;
		while (buttons != 0) {
			snooze(2000);
			GetMouse(&point, &buttons, true);
			fPolls++;
		}
		fEnd = point;
	}
	void MouseUp(BPoint) override { fUps++; }

	BPoint fStart;
	BPoint fEnd;
	std::atomic<int32> fPolls{0};
	std::atomic<int32> fUps{0};
};

class KeyView : public BView {
public:
	KeyView(BRect frame, const char* name)
		:
		BView(frame, name, B_FOLLOW_NONE, B_WILL_DRAW | B_NAVIGABLE)
	{
	}
	void KeyDown(const char* bytes, int32) override
	{
		BMessage* message = Window()->CurrentMessage();
		message->FindInt32("key", &fKey);
		message->FindInt32("raw_char", &fRawChar);
		message->FindInt32("modifiers", &fModifiers);
		fBytes += bytes;
	}
	std::string fBytes;
	int32 fKey = 0;
	int32 fRawChar = 0;
	int32 fModifiers = 0;
};

} // namespace

class AutomationTest : public InterfaceTest {
};

TEST_F(AutomationTest, ClickingAButtonSendsItsMessageWithTheSource)
{
	auto log = std::make_shared<MessageLog>();
	LoggingWindow* window = new LoggingWindow(BRect(50, 50, 349, 199), log);
	BMessage* model = new BMessage(kPressed);
	model->AddInt32("extra", 42);
	BButton* button = new BButton(BRect(10, 10, 84, 33), "okbutton", "OK", model);
	BButton* disabled = new BButton(BRect(100, 10, 174, 33), "off", "Off",
		new BMessage(kPressed));
	disabled->SetEnabled(false);
	window->fPanel->AddChild(button);
	window->fPanel->AddChild(disabled);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	int32 id = window->DisplayID();

	std::string label;
	EXPECT_EQ(Automation::GetLabel(id, "okbutton", &label), B_OK);
	EXPECT_EQ(label, "OK");
	bool enabled = false;
	EXPECT_EQ(Automation::IsEnabled(id, "Off", &enabled), B_OK);
	EXPECT_FALSE(enabled);
	EXPECT_EQ(Automation::GetLabel(id, "missing", &label), B_NAME_NOT_FOUND);
	BRect frame;
	EXPECT_EQ(Automation::GetViewFrame(id, "OK", &frame), B_OK);
	EXPECT_EQ(frame, BRect(60, 60, 134, 83));

	bigtime_t before = system_time();
	EXPECT_EQ(Automation::Click(id, "OK"), B_OK);
	EXPECT_EQ(Automation::Click(id, "Off"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(log->Count(), 1u);
	BMessage sent = log->At(0);
	EXPECT_EQ(sent.what, kPressed);
	EXPECT_EQ(source_of(sent), static_cast<const void*>(button));
	int64 when = 0;
	EXPECT_EQ(sent.FindInt64("when", &when), B_OK);
	EXPECT_GE(when, before);
	int32 extra = 0;
	EXPECT_EQ(sent.FindInt32("extra", &extra), B_OK);
	EXPECT_EQ(extra, 42);
	int32 value = -1;
	EXPECT_EQ(Automation::GetValue(id, "OK", &value), B_OK);
	EXPECT_EQ(value, B_CONTROL_OFF);

	// A press that ends outside the button sends nothing.
	DisplayBackend* display = DisplayBackend::Default();
	display->InjectMouseDown(BPoint(70, 70), B_PRIMARY_MOUSE_BUTTON, 0);
	display->InjectMouseMoved(BPoint(300, 180));
	display->InjectMouseUp(BPoint(300, 180), 0);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(log->Count(), 1u);
	QuitWindow(window);
}

TEST_F(AutomationTest, CheckBoxesToggleAndRadioButtonsExcludeEachOther)
{
	auto log = std::make_shared<MessageLog>();
	LoggingWindow* window = new LoggingWindow(BRect(50, 50, 349, 249), log);
	BCheckBox* check = new BCheckBox(BRect(10, 10, 150, 25), "check", "Delete originals",
		new BMessage(kToggled));
	window->fPanel->AddChild(check);
	BView* group = new BView(BRect(10, 40, 200, 140), "group", B_FOLLOW_NONE, 0);
	window->fPanel->AddChild(group);
	BRadioButton* radios[3];
	const char* labels[3] = {"Replace", "Rename", "Skip"};
	for (int32 i = 0; i < 3; i++) {
		BMessage* message = new BMessage(kPicked);
		message->AddInt32("index", i);
		radios[i] = new BRadioButton(BRect(0, i * 20, 150, i * 20 + 15), labels[i], labels[i],
			message);
		group->AddChild(radios[i]);
	}
	radios[0]->SetValue(B_CONTROL_ON);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	int32 id = window->DisplayID();

	int32 value = -1;
	EXPECT_EQ(Automation::Click(id, "check"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Automation::GetValue(id, "check", &value), B_OK);
	EXPECT_EQ(value, B_CONTROL_ON);
	EXPECT_EQ(Automation::Click(id, "Delete originals"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Automation::GetValue(id, "check", &value), B_OK);
	EXPECT_EQ(value, B_CONTROL_OFF);
	ASSERT_EQ(log->Count(), 2u);
	EXPECT_EQ(source_of(log->At(0)), static_cast<const void*>(check));
	int32 reported = -1;
	log->At(0).FindInt32("be:value", &reported);
	EXPECT_EQ(reported, B_CONTROL_ON);

	EXPECT_EQ(Automation::Click(id, "Skip"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	int32 values[3];
	for (int32 i = 0; i < 3; i++)
		Automation::GetValue(id, labels[i], &values[i]);
	EXPECT_EQ(values[0], B_CONTROL_OFF);
	EXPECT_EQ(values[1], B_CONTROL_OFF);
	EXPECT_EQ(values[2], B_CONTROL_ON);
	EXPECT_EQ(Automation::Click(id, "Rename"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	for (int32 i = 0; i < 3; i++)
		Automation::GetValue(id, labels[i], &values[i]);
	EXPECT_EQ(values[1], B_CONTROL_ON);
	EXPECT_EQ(values[2], B_CONTROL_OFF);
	ASSERT_EQ(log->Count(), 4u);
	int32 index = -1;
	log->At(3).FindInt32("index", &index);
	EXPECT_EQ(index, 1);
	EXPECT_EQ(source_of(log->At(3)), static_cast<const void*>(radios[1]));
	QuitWindow(window);
}

TEST_F(AutomationTest, EnterPressesTheDefaultButtonAndTabMovesTheFocus)
{
	auto log = std::make_shared<MessageLog>();
	LoggingWindow* window = new LoggingWindow(BRect(50, 50, 349, 199), log);
	BButton* cancel = new BButton(BRect(10, 100, 84, 123), "cancel", "Cancel",
		new BMessage(kToggled));
	BButton* begin = new BButton(BRect(100, 100, 174, 123), "installbutton", "Begin",
		new BMessage(kPressed));
	KeyView* keys = new KeyView(BRect(10, 10, 50, 50), "keys");
	window->fPanel->AddChild(keys);
	window->fPanel->AddChild(cancel);
	window->fPanel->AddChild(begin);
	begin->MakeDefault(true);
	EXPECT_TRUE(begin->IsDefault());
	EXPECT_EQ(window->DefaultButton(), begin);
	keys->MakeFocus();
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	EXPECT_EQ(Automation::PressKey(B_ENTER), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(log->Count(), 1u);
	EXPECT_EQ(source_of(log->At(0)), static_cast<const void*>(begin));

	// Other keys go to the focus view, with the platform's fields.
	EXPECT_EQ(Automation::TypeText("aB"), B_OK);
	EXPECT_EQ(Automation::PressKey(B_UP_ARROW), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(keys->fBytes, std::string("aB") + char(B_UP_ARROW));
	EXPECT_EQ(keys->fKey, 0x57);
	EXPECT_EQ(keys->fRawChar, B_UP_ARROW);
	window->Unlock();

	// Tab goes through the navigable views in order; space presses a
	// focused button.
	EXPECT_EQ(Automation::PressKey(B_TAB), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_TRUE(cancel->IsFocus());
	window->Unlock();
	EXPECT_EQ(Automation::PressKey(B_SPACE), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(log->Count(), 2u);
	EXPECT_EQ(source_of(log->At(1)), static_cast<const void*>(cancel));

	// Disabled, the default button leaves Enter to the focus view (here
	// the focused button, which Enter presses).
	ASSERT_TRUE(window->Lock());
	begin->SetEnabled(false);
	window->Unlock();
	EXPECT_EQ(Automation::PressKey(B_ENTER), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(log->Count(), 3u);
	EXPECT_EQ(source_of(log->At(2)), static_cast<const void*>(cancel));

	ASSERT_TRUE(window->Lock());
	begin->MakeDefault(false);
	EXPECT_EQ(window->DefaultButton(), nullptr);
	window->Unlock();
	QuitWindow(window);
}

TEST_F(AutomationTest, AlertsBlockTheCallerAndAnswerTheButtonIndex)
{
	// Go blocks its thread; that thread counts as waiting, so the program
	// is idle while the alert is up.
	auto answer = std::async(std::launch::async, [] {
		BAlert* alert = new BAlert("", "Cannot install on the volume \"boot\" because it "
			"is locked or read-only.", "Continue", "Cancel", nullptr, B_WIDTH_FROM_WIDEST,
			B_WARNING_ALERT);
		return alert->Go();
	});
	DisplayWindowInfo info;
	ASSERT_TRUE(Automation::WaitForWindow("", &info));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(info.modal);
	EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);

	std::string text;
	EXPECT_EQ(Automation::GetText(info.id, "_tv_", &text), B_OK);
	EXPECT_EQ(text, "Cannot install on the volume \"boot\" because it is locked or read-only.");
	BRect continueFrame, cancelFrame;
	ASSERT_EQ(Automation::GetViewFrame(info.id, "Continue", &continueFrame), B_OK);
	ASSERT_EQ(Automation::GetViewFrame(info.id, "Cancel", &cancelFrame), B_OK);
	// As wide as the widest label, the default (last) one on the right.
	EXPECT_EQ(continueFrame.Width(), cancelFrame.Width());
	EXPECT_LT(continueFrame.right, cancelFrame.left);
	EXPECT_EQ(Automation::Click(info.id, "Cancel"), B_OK);
	EXPECT_EQ(answer.get(), 1);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_FALSE(Automation::FindWindow("", &info));

	// Enter presses the last button.
	auto second = std::async(std::launch::async, [] {
		return (new BAlert("", "Done.", "Stop", "Go on", "Continue"))->Go();
	});
	ASSERT_TRUE(Automation::WaitForWindow("", &info));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Automation::PressKey(B_ENTER), B_OK);
	EXPECT_EQ(second.get(), 2);

	// A shortcut presses its button.
	auto third = std::async(std::launch::async, [] {
		BAlert* alert = new BAlert("", "Really?", "Continue", "Cancel");
		alert->SetShortcut(1, B_ESCAPE);
		return alert->Go();
	});
	ASSERT_TRUE(Automation::WaitForWindow("", &info));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Automation::PressKey(B_ESCAPE), B_OK);
	EXPECT_EQ(third.get(), 1);

	// Asynchronous: the invoker's message carries the index.
	auto log = std::make_shared<MessageLog>();
	LoggingWindow* window = new LoggingWindow(BRect(10, 10, 109, 109), log, "receiver");
	window->Show();
	BAlert* alert = new BAlert("", "Pick", "A", "B");
	EXPECT_EQ(alert->Go(new BInvoker(new BMessage('ansr'), window)), B_OK);
	ASSERT_TRUE(Automation::WaitForWindow("", &info));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Automation::Click(info.id, "A"), B_OK);
	ASSERT_TRUE(log->WaitForCount(1));
	int32 which = -1;
	EXPECT_EQ(log->At(0).FindInt32("which", &which), B_OK);
	EXPECT_EQ(which, 0);
	QuitWindow(window);
}

namespace {

// Changes what its view shows, then asks, from its own thread, as an
// install window does when it shows a volume's free space and checks it.
class AskingWindow : public BWindow {
public:
	AskingWindow(std::atomic<int32>* answer, DrawView* view, rgb_color* color)
		:
		BWindow(BRect(100, 100, 199, 199), "asking", B_TITLED_WINDOW, 0),
		fAnswer(answer),
		fView(view),
		fColor(color)
	{
		AddChild(view);
	}

	void MessageReceived(BMessage* message) override
	{
		if (message->what == 'ask ') {
			*fColor = kBlue;
			fView->Invalidate();
			*fAnswer = (new BAlert("", "Sure?", "Continue", "Cancel"))->Go();
			return;
		}
		BWindow::MessageReceived(message);
	}

private:
	std::atomic<int32>* fAnswer;
	DrawView* fView;
	rgb_color* fColor;
};

} // namespace

TEST_F(AutomationTest, AWindowWaitingForItsAlertKeepsDrawing)
{
	std::atomic<int32> answer{-2};
	rgb_color color = kRed;
	DrawView* view = new DrawView(BRect(0, 0, 99, 99), [&color](BView* v, BRect) {
		v->SetHighColor(color);
		v->FillRect(v->Bounds());
	});
	AskingWindow* window = new AskingWindow(&answer, view, &color);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(same_rgb(Capture(window)->At(50, 50), kRed));
	int32 draws = view->fDraws;

	ASSERT_EQ(window->PostMessage('ask '), B_OK);
	DisplayWindowInfo alert;
	ASSERT_TRUE(Automation::WaitForWindow("", &alert));
	// The window's thread is inside the alert, yet what it invalidated
	// before asking is drawn.
	ASSERT_TRUE(WaitUntil([&] { return view->fDraws > draws; }));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(same_rgb(Capture(window)->At(50, 50), kBlue));
	EXPECT_EQ(answer, -2);

	EXPECT_EQ(Automation::Click(alert.id, "Continue"), B_OK);
	ASSERT_TRUE(WaitUntil([&] { return answer == 0; }));
	QuitWindow(window);
}

TEST_F(AutomationTest, GetMouseTakesTheQueuedRelease)
{
	BWindow* window = new BWindow(BRect(100, 100, 299, 299), "tracking", B_TITLED_WINDOW, 0);
	TrackingView* tracker = new TrackingView(BRect(20, 20, 119, 119));
	window->AddChild(tracker);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	DisplayBackend* display = DisplayBackend::Default();
	display->InjectMouseDown(BPoint(130, 130), B_PRIMARY_MOUSE_BUTTON, 0);
	display->InjectMouseMoved(BPoint(140, 135));
	display->InjectMouseUp(BPoint(150, 160), 0);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(tracker->fStart, BPoint(10, 10));
	EXPECT_EQ(tracker->fEnd, BPoint(30, 40));
	EXPECT_EQ(tracker->fPolls, 2);
	// The loop took the release out of the queue: MouseUp never ran.
	EXPECT_EQ(tracker->fUps, 0);
	window->Unlock();
	QuitWindow(window);
}

TEST_F(AutomationTest, DragsReachTheViewThatWasPressed)
{
	class DragView : public BView {
	public:
		DragView(BRect frame) : BView(frame, "drag", B_FOLLOW_NONE, B_WILL_DRAW) {}
		void MouseDown(BPoint where) override { fPath.push_back(where); }
		void MouseMoved(BPoint where, uint32, const BMessage*) override
		{
			uint32 buttons = 0;
			Window()->CurrentMessage()->FindInt32("buttons", (int32*)&buttons);
			if (buttons != 0)
				fPath.push_back(where);
		}
		void MouseUp(BPoint where) override { fPath.push_back(where); fUps++; }
		std::vector<BPoint> fPath;
		int32 fUps = 0;
	};
	BWindow* window = new BWindow(BRect(100, 100, 299, 299), "drag", B_TITLED_WINDOW, 0);
	DragView* view = new DragView(BRect(10, 10, 59, 59));
	window->AddChild(view);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	// Out of the view and beyond the window: the view that was pressed
	// hears the whole drag, in its own coordinates.
	EXPECT_EQ(Automation::DragMouse(BPoint(120, 120), BPoint(420, 160), 3), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	ASSERT_EQ(view->fPath.size(), 5u);
	EXPECT_EQ(view->fPath.front(), BPoint(10, 10));
	EXPECT_EQ(view->fPath[1], BPoint(110, 23));
	EXPECT_EQ(view->fPath.back(), BPoint(310, 50));
	EXPECT_EQ(view->fUps, 1);
	window->Unlock();
	QuitWindow(window);
}

TEST_F(AutomationTest, PNGOfAWindowAndOfTheScreen)
{
	DrawView* view = new DrawView(BRect(0, 0, 99, 49), [](BView* v, BRect) {
		v->SetHighColor(kRed);
		v->FillRect(BRect(0, 0, 9, 9));
		v->SetHighColor(kBlue);
		v->FillRect(BRect(90, 40, 99, 49));
	});
	BWindow* window = ShowWindow(view, BRect(200, 300, 299, 349));

	char directory[] = "/tmp/kestrovan-png-XXXXXX";
	ASSERT_NE(mkdtemp(directory), nullptr);
	std::string windowPath = std::string(directory) + "/window.png";
	std::string screenPath = std::string(directory) + "/screen.png";
	ASSERT_EQ(Automation::WriteWindowPNG(window->DisplayID(), windowPath.c_str()), B_OK);
	ASSERT_EQ(Automation::WriteScreenPNG(screenPath.c_str()), B_OK);
	EXPECT_EQ(Automation::WriteWindowPNG(-5, windowPath.c_str()), B_ENTRY_NOT_FOUND);

	cairo_surface_t* image = cairo_image_surface_create_from_png(windowPath.c_str());
	ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
	Pixels windowPixels(image);
	EXPECT_EQ(windowPixels.Width(), 100);
	EXPECT_EQ(windowPixels.Height(), 50);
	EXPECT_TRUE(same_rgb(windowPixels.At(0, 0), kRed));
	EXPECT_TRUE(same_rgb(windowPixels.At(99, 49), kBlue));
	EXPECT_TRUE(same_rgb(windowPixels.At(50, 25), kWhite));

	cairo_surface_t* screenImage = cairo_image_surface_create_from_png(screenPath.c_str());
	ASSERT_EQ(cairo_surface_status(screenImage), CAIRO_STATUS_SUCCESS);
	Pixels screen(screenImage);
	EXPECT_EQ(screen.Width(), 1024);
	EXPECT_EQ(screen.Height(), 768);
	// The window lies where its frame says.
	EXPECT_TRUE(same_rgb(screen.At(200, 300), kRed));
	EXPECT_TRUE(same_rgb(screen.At(299, 349), kBlue));
	EXPECT_TRUE(same_rgb(screen.At(5, 760), ui_color(B_DESKTOP_COLOR)));

	// Hidden, it is gone from the screen.
	window->Hide();
	Pixels hidden(Automation::CaptureScreen());
	EXPECT_FALSE(same_rgb(hidden.At(200, 300), kRed));
	unlink(windowPath.c_str());
	unlink(screenPath.c_str());
	rmdir(directory);
	QuitWindow(window);
}

TEST(DisplayChoice, ByNameAndByArgumentsWithoutADisplay)
{
	// Without a display the sdl backend cannot be had, whatever the
	// machine running the test has.
	const char* display = getenv("DISPLAY");
	std::string savedDisplay = display != nullptr ? display : "";
	unsetenv("DISPLAY");
	unsetenv("WAYLAND_DISPLAY");

	EXPECT_EQ(DisplayBackend::Select("headless"), B_OK);
	EXPECT_STREQ(DisplayBackend::Default()->Name(), "headless");
	EXPECT_EQ(DisplayBackend::Select("sdl"), B_UNSUPPORTED);
	EXPECT_EQ(DisplayBackend::Select("television"), B_BAD_VALUE);
	EXPECT_STREQ(DisplayBackend::Default()->Name(), "headless");

	char program[] = "installer";
	char option[] = "--display";
	char value[] = "headless";
	char other[] = "--unattended";
	char* argv[] = {program, option, value, other, nullptr};
	int argc = 4;
	EXPECT_EQ(DisplayBackend::SelectFromArguments(&argc, argv), B_OK);
	EXPECT_EQ(argc, 2);
	EXPECT_STREQ(argv[1], "--unattended");
	EXPECT_EQ(argv[2], nullptr);

	char joined[] = "--display=sdl";
	char* argv2[] = {program, joined, nullptr};
	argc = 2;
	EXPECT_EQ(DisplayBackend::SelectFromArguments(&argc, argv2), B_UNSUPPORTED);
	EXPECT_EQ(argc, 1);

	BRect screen = DisplayBackend::Default()->ScreenFrame();
	DisplayBackend::Default()->SetScreenSize(800, 600);
	EXPECT_EQ(DisplayBackend::Default()->ScreenFrame(), BRect(0, 0, 799, 599));
	DisplayBackend::Default()->SetScreenSize(screen.IntegerWidth() + 1,
		screen.IntegerHeight() + 1);

	if (!savedDisplay.empty())
		setenv("DISPLAY", savedDisplay.c_str(), 1);
}
