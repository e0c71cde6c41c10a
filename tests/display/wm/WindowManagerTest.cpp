// Real windows under a real window manager (openbox on an Xvfb of the
// test's own), answered with the X server's own input. The X server
// reports errors about requests on windows that are already gone (a window
// manager and several connections make that a matter of timing): they must
// not end the program. Skipped where Xvfb, openbox or XTest is missing.

#include <InterfaceFixture.h>
#include <MessageLog.h>
#include <XvfbServer.h>

#include <Alert.h>

#ifdef KESTROVAN_HAVE_XTEST

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace {

const uint32 kAsk = 'ask ';
const uint32 kAnswered = 'answ';
// Alerts shown and dismissed in a row.
const int kAlertCount = 50;
// How long one Return may take to reach an alert before it is pressed again.
const bigtime_t kKeyWait = 300000;

// A window that asks a question in an alert when told, from its own thread,
// as the installer's windows do, and logs the answer.
class AskingWindow : public BWindow {
public:
	AskingWindow(BRect frame, std::shared_ptr<MessageLog> log)
		:
		BWindow(frame, "Install Kestrel", B_TITLED_WINDOW, B_ASYNCHRONOUS_CONTROLS),
		fLog(std::move(log))
	{
		BView* panel = new BView(Bounds(), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
		panel->SetViewColor(216, 216, 216);
		AddChild(panel);
	}

	void MessageReceived(BMessage* message) override
	{
		if (message->what != kAsk) {
			BWindow::MessageReceived(message);
			return;
		}
		int32 answer = (new BAlert("", "Replace the older file?", "Skip", "Replace"))->Go();
		BMessage answered(kAnswered);
		answered.AddInt32("which", answer);
		fLog->Add(answered, find_thread(nullptr));
	}

private:
	std::shared_ptr<MessageLog> fLog;
};

// A progress window redrawn all the time, as a run's progress is, so that
// frames (and wake-ups of the display thread) keep coming while the alerts
// come and go.
class BusyWindow : public BWindow {
public:
	explicit BusyWindow(BRect frame)
		:
		BWindow(frame, "Install", B_TITLED_WINDOW, B_NOT_CLOSABLE)
	{
		fView = new DrawView(Bounds(), [this](BView* view, BRect) {
			uint8 level = static_cast<uint8>(fStep * 8);
			view->SetHighColor(level, 100, 255 - level);
			view->FillRect(view->Bounds());
		});
		AddChild(fView);
	}

	void MessageReceived(BMessage* message) override
	{
		if (message->what != kStep) {
			BWindow::MessageReceived(message);
			return;
		}
		fStep++;
		fView->Invalidate();
	}

	static const uint32 kStep = 'step';

private:
	DrawView* fView;
	int32 fStep = 0;
};

// Tells a window to step every few milliseconds while it lives.
class Stepper {
public:
	explicit Stepper(BMessenger target)
		:
		fThread([this, target] {
			while (!fStopping) {
				target.SendMessage(BusyWindow::kStep);
				snooze(5000);
			}
		})
	{
	}

	~Stepper()
	{
		fStopping = true;
		fThread.join();
	}

private:
	std::atomic<bool> fStopping{false};
	std::thread fThread;
};

} // namespace

class WindowManagerTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		std::string server = find_program("Xvfb");
		std::string manager = find_program("openbox");
		if (server.empty() || manager.empty()) {
			GTEST_SKIP() << "Xvfb or openbox is not installed (Debian packages xvfb, "
				"openbox): the windows are tested under a window manager";
		}
		std::string error;
		ASSERT_TRUE(fServer.Start(server, &error)) << error;
		ASSERT_TRUE(fServer.StartWindowManager(manager));
		fX = XOpenDisplay(fServer.Name().c_str());
		ASSERT_NE(fX, nullptr) << "cannot connect to " << fServer.Name();
		int event, errorBase, major, minor;
		ASSERT_TRUE(XTestQueryExtension(fX, &event, &errorBase, &major, &minor));
		ASSERT_TRUE(WaitUntil([&] { return Managed(); }))
			<< "openbox did not take the screen";

		if (const char* display = getenv("DISPLAY"))
			fOldDisplay = display;
		setenv("DISPLAY", fServer.Name().c_str(), 1);
		unsetenv("WAYLAND_DISPLAY");
		ASSERT_TRUE(WaitUntil([] { return Automation::Windows().empty(); }));
		ASSERT_EQ(DisplayBackend::Select("sdl"), B_OK);
	}

	void TearDown() override
	{
		for (const auto& info : Automation::Windows()) {
			if (info.target.LockTarget()) {
				BLooper* looper = nullptr;
				info.target.Target(&looper);
				looper->Quit();
			}
		}
		WaitUntil([] { return Automation::Windows().empty(); });
		DisplayBackend::Select("headless");
		if (fX != nullptr)
			XCloseDisplay(fX);
		fServer.Stop();
		if (!fOldDisplay.empty())
			setenv("DISPLAY", fOldDisplay.c_str(), 1);
		else
			unsetenv("DISPLAY");
	}

	// Whether the window manager has taken over: a window of the test's own,
	// once mapped, goes into a frame of the manager's. (Windows mapped while
	// it starts may never be shown at all.)
	bool Managed()
	{
		Window root = DefaultRootWindow(fX);
		Window probe = XCreateSimpleWindow(fX, root, 0, 0, 10, 10, 0, 0, 0);
		XMapWindow(fX, probe);
		bool framed = false;
		for (int i = 0; i < 50 && !framed; i++) {
			XSync(fX, False);
			Window parent = root;
			Window* children = nullptr;
			unsigned int count = 0;
			if (XQueryTree(fX, probe, &root, &parent, &children, &count) != 0) {
				if (children != nullptr)
					XFree(children);
				framed = parent != root;
			}
			if (!framed)
				snooze(20000);
		}
		XDestroyWindow(fX, probe);
		XSync(fX, False);
		return framed;
	}

	void PressKey(KeySym symbol)
	{
		KeyCode code = XKeysymToKeycode(fX, symbol);
		XTestFakeKeyEvent(fX, code, True, CurrentTime);
		XTestFakeKeyEvent(fX, code, False, CurrentTime);
		XSync(fX, False);
	}

	// Return, as a person presses it, until the alert has gone.
	bool DismissAlert(MessageLog& log, size_t answered)
	{
		if (!WaitUntil([] {
				for (const DisplayWindowInfo& info : Automation::Windows()) {
					if (info.modal && !info.hidden && info.active)
						return true;
				}
				return false;
			})) {
			return false;
		}
		bigtime_t deadline = system_time() + kTestWait;
		while (system_time() < deadline) {
			PressKey(XK_Return);
			if (log.WaitForCount(answered, kKeyWait))
				return true;
		}
		return false;
	}

	XvfbServer fServer;
	Display* fX = nullptr;
	std::string fOldDisplay;
};


TEST_F(WindowManagerTest, AlertsDismissedInARowLeaveTheProgramRunning)
{
	auto log = std::make_shared<MessageLog>();
	AskingWindow* window = new AskingWindow(BRect(100, 100, 499, 299), log);
	window->Show();
	BusyWindow* progress = new BusyWindow(BRect(300, 360, 560, 450));
	progress->Show();
	Stepper stepper{BMessenger(progress)};

	for (int i = 0; i < kAlertCount; i++) {
		SCOPED_TRACE("alert " + std::to_string(i + 1));
		ASSERT_EQ(window->PostMessage(kAsk), B_OK);
		ASSERT_TRUE(DismissAlert(*log, i + 1));
	}
}


TEST_F(WindowManagerTest, AnXErrorIsReportedAndTheProgramGoesOn)
{
	auto log = std::make_shared<MessageLog>();
	AskingWindow* window = new AskingWindow(BRect(100, 100, 499, 299), log);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(window->PostMessage(kAsk), B_OK);
	ASSERT_TRUE(DismissAlert(*log, 1));

	// A request about a window just destroyed, as the display's requests
	// about an alert that has gone can be: the X server answers BadWindow,
	// and Xlib hands that to the handler the whole process shares, the one
	// the sdl display put in place as it opened and kept through the
	// windows' coming and going.
	// A few times over: SDL's display thread may put a handler of its own in
	// place around some of its calls, for a moment.
	for (int i = 0; i < 5; i++) {
		Window gone = XCreateSimpleWindow(fX, DefaultRootWindow(fX), 0, 0, 10, 10, 0, 0, 0);
		XDestroyWindow(fX, gone);
		XEvent event = {};
		event.xclient.type = ClientMessage;
		event.xclient.window = gone;
		event.xclient.format = 32;
		XSendEvent(fX, gone, False, NoEventMask, &event);
		XSync(fX, False);
		snooze(100000);
	}

	// Still here, and the windows still answer.
	ASSERT_EQ(window->PostMessage(kAsk), B_OK);
	EXPECT_TRUE(DismissAlert(*log, 2));
}

#endif // KESTROVAN_HAVE_XTEST
