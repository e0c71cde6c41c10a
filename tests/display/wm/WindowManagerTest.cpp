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

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <sys/stat.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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

// A window that counts the quit requests it is asked and agrees to quit
// only when told to, as the install window does during a run.
class RefusingWindow : public BWindow {
public:
	RefusingWindow(BRect frame, const char* title)
		:
		BWindow(frame, title, B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE)
	{
		BView* panel = new BView(Bounds(), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
		panel->SetViewColor(216, 216, 216);
		AddChild(panel);
	}

	bool QuitRequested() override
	{
		fAsked++;
		return fAllowQuit;
	}

	std::atomic<int32> fAsked{0};
	std::atomic<bool> fAllowQuit{false};
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

	// Return until the alert answered by a thread of the test's own is gone.
	bool DismissAlertWithReturn()
	{
		bigtime_t deadline = system_time() + kTestWait;
		while (system_time() < deadline) {
			bool shown = false;
			for (const DisplayWindowInfo& info : Automation::Windows())
				shown = shown || (info.modal && !info.hidden);
			if (!shown)
				return true;
			PressKey(XK_Return);
			snooze(kKeyWait);
		}
		return false;
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

	Atom Intern(const char* name) { return XInternAtom(fX, name, False); }

	// The windows the window manager manages, oldest first.
	std::vector<Window> ClientWindows()
	{
		std::vector<Window> clients;
		Atom type;
		int format;
		unsigned long count, after;
		unsigned char* data = nullptr;
		if (XGetWindowProperty(fX, DefaultRootWindow(fX), Intern("_NET_CLIENT_LIST"), 0, 1024,
				False, XA_WINDOW, &type, &format, &count, &after, &data) == Success
			&& data != nullptr) {
			Window* windows = reinterpret_cast<Window*>(data);
			clients.assign(windows, windows + count);
		}
		if (data != nullptr)
			XFree(data);
		return clients;
	}

	// The title the desktop shows for a window (its UTF-8 name).
	std::string ShownTitle(Window window)
	{
		Atom type;
		int format;
		unsigned long count, after;
		unsigned char* data = nullptr;
		std::string title;
		if (XGetWindowProperty(fX, window, Intern("_NET_WM_NAME"), 0, 1024, False,
				Intern("UTF8_STRING"), &type, &format, &count, &after, &data) == Success
			&& data != nullptr) {
			title.assign(reinterpret_cast<char*>(data), count);
		}
		if (data != nullptr)
			XFree(data);
		return title;
	}

	// The managed window with the title, once it is mapped.
	bool WaitForClient(const std::string& title, Window* found)
	{
		return WaitUntil([&] {
			for (Window window : ClientWindows()) {
				XWindowAttributes attributes;
				if (ShownTitle(window) == title && XGetWindowAttributes(fX, window, &attributes)
					&& attributes.map_state == IsViewable) {
					*found = window;
					return true;
				}
			}
			return false;
		});
	}

	// Where the window's content is on the screen.
	BPoint ContentOrigin(Window window)
	{
		int x = -1, y = -1;
		Window child;
		XTranslateCoordinates(fX, window, DefaultRootWindow(fX), 0, 0, &x, &y, &child);
		return BPoint(x, y);
	}

	// The desktop as the X server shows it, frames included, as a PNG file
	// in the screenshot folder.
	void WriteDesktopPNG(const char* name)
	{
		Window root = DefaultRootWindow(fX);
		XWindowAttributes attributes;
		ASSERT_TRUE(XGetWindowAttributes(fX, root, &attributes));
		XImage* image = XGetImage(fX, root, 0, 0, attributes.width, attributes.height,
			AllPlanes, ZPixmap);
		ASSERT_NE(image, nullptr);
		cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24,
			attributes.width, attributes.height);
		uint8* pixels = cairo_image_surface_get_data(surface);
		int stride = cairo_image_surface_get_stride(surface);
		for (int y = 0; y < attributes.height; y++) {
			uint32* row = reinterpret_cast<uint32*>(pixels + y * stride);
			for (int x = 0; x < attributes.width; x++)
				row[x] = static_cast<uint32>(XGetPixel(image, x, y)) & 0xffffff;
		}
		cairo_surface_mark_dirty(surface);
		XDestroyImage(image);
		mkdir(KESTROVAN_SCREENSHOT_DIR, 0755);
		std::string path = std::string(KESTROVAN_SCREENSHOT_DIR) + "/" + name + ".png";
		EXPECT_EQ(cairo_surface_write_to_png(surface, path.c_str()), CAIRO_STATUS_SUCCESS);
		cairo_surface_destroy(surface);
	}

	// Whether the window asks the window manager for a close box (Motif
	// hints: without them, it gets one).
	bool AsksForCloseBox(Window window)
	{
		Atom hints = Intern("_MOTIF_WM_HINTS");
		Atom type;
		int format;
		unsigned long count, after;
		unsigned char* data = nullptr;
		bool asks = true;
		if (XGetWindowProperty(fX, window, hints, 0, 5, False, hints, &type, &format, &count,
				&after, &data) == Success && data != nullptr && count >= 2) {
			// Flags, then functions; 1 in the flags: the functions count.
			unsigned long* values = reinterpret_cast<unsigned long*>(data);
			const unsigned long kFunctionsGiven = 1, kAll = 1, kClose = 32;
			if ((values[0] & kFunctionsGiven) != 0)
				asks = (values[1] & kAll) != 0 ? (values[1] & kClose) == 0
					: (values[1] & kClose) != 0;
		}
		if (data != nullptr)
			XFree(data);
		return asks;
	}

	// Asks the window manager to move the window's content to where, as a
	// person dragging its frame does.
	void MoveThroughManager(Window window, BPoint where)
	{
		XEvent event = {};
		event.xclient.type = ClientMessage;
		event.xclient.window = window;
		event.xclient.message_type = Intern("_NET_MOVERESIZE_WINDOW");
		event.xclient.format = 32;
		// Static gravity (the content's place), x and y given, from a pager.
		event.xclient.data.l[0] = StaticGravity | (1 << 8) | (1 << 9) | (2 << 12);
		event.xclient.data.l[1] = static_cast<long>(where.x);
		event.xclient.data.l[2] = static_cast<long>(where.y);
		XSendEvent(fX, DefaultRootWindow(fX), False,
			SubstructureRedirectMask | SubstructureNotifyMask, &event);
		XSync(fX, False);
	}

	// Asks the window manager to close the window, as its close box or a
	// task bar does.
	void CloseThroughManager(Window window)
	{
		XEvent event = {};
		event.xclient.type = ClientMessage;
		event.xclient.window = window;
		event.xclient.message_type = Intern("_NET_CLOSE_WINDOW");
		event.xclient.format = 32;
		event.xclient.data.l[0] = CurrentTime;
		event.xclient.data.l[1] = 2;
		XSendEvent(fX, DefaultRootWindow(fX), False,
			SubstructureRedirectMask | SubstructureNotifyMask, &event);
		XSync(fX, False);
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



TEST_F(WindowManagerTest, WindowsWithoutATitleShowTheProgramsChoice)
{
	BWindow::SetUntitledTitle("Kestrel Tools");
	RefusingWindow* titled = new RefusingWindow(BRect(100, 100, 399, 299), "Install Kestrel");
	titled->Show();
	auto answer = std::async(std::launch::async, [] {
		return (new BAlert("", "Replace the older file?", "Skip", "Replace"))->Go();
	});

	Window alert;
	ASSERT_TRUE(WaitForClient("Kestrel Tools", &alert))
		<< "the alert is not \"Unnamed Window\" on the desktop";
	Window install;
	EXPECT_TRUE(WaitForClient("Install Kestrel", &install)) << "a title of its own stays";
	for (Window window : ClientWindows())
		EXPECT_NE(ShownTitle(window), "");
	ASSERT_TRUE(Automation::WaitUntilIdle());
	// Only for the picture: a moment for the manager to draw its frames.
	snooze(300000);
	WriteDesktopPNG("wm-alert-title");

	ASSERT_TRUE(DismissAlertWithReturn());
	EXPECT_EQ(answer.get(), 1);
	BWindow::SetUntitledTitle(nullptr);
}


TEST_F(WindowManagerTest, AnAlertsCloseBoxTakesItsCancelLikeButton)
{
	BWindow::SetUntitledTitle("Kestrel Tools");
	struct Case {
		const char* buttons[3];
		int32 expected;
	};
	// "Cancel" wherever it is, else the last button.
	const Case cases[] = {
		{{"Continue", "Cancel", "Retry"}, 1},
		{{"Cancel", "Stop", nullptr}, 0},
		{{"Continue", "Close", nullptr}, 1},
		{{"OK", nullptr, nullptr}, 0},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.buttons[0]);
		auto answer = std::async(std::launch::async, [&c] {
			return (new BAlert("", "Go on?", c.buttons[0], c.buttons[1], c.buttons[2]))->Go();
		});
		Window alert;
		ASSERT_TRUE(WaitForClient("Kestrel Tools", &alert));
		ASSERT_TRUE(Automation::WaitUntilIdle());
		// The close request may reach the alert before it is mapped for the
		// manager: asked again until the alert answers.
		bool answered = false;
		for (int i = 0; i < 20 && !answered; i++) {
			CloseThroughManager(alert);
			answered = answer.wait_for(std::chrono::milliseconds(300))
				== std::future_status::ready;
		}
		ASSERT_TRUE(answered) << "the close box left the alert up";
		EXPECT_EQ(answer.get(), c.expected);
		ASSERT_TRUE(WaitUntil([&] { return ClientWindows().empty(); }));
	}
	BWindow::SetUntitledTitle(nullptr);
}


TEST_F(WindowManagerTest, TheCloseBoxAsksTheWindowWhichMayRefuse)
{
	RefusingWindow* window = new RefusingWindow(BRect(100, 100, 399, 299), "Install Kestrel");
	window->Show();
	Window client;
	ASSERT_TRUE(WaitForClient("Install Kestrel", &client));

	ASSERT_TRUE(WaitUntil([&] {
		CloseThroughManager(client);
		snooze(100000);
		return window->fAsked > 0;
	}));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(ClientWindows().size(), 1u) << "a window that refuses stays";

	window->fAllowQuit = true;
	CloseThroughManager(client);
	EXPECT_TRUE(WaitUntil([&] { return ClientWindows().empty(); }));
}


TEST_F(WindowManagerTest, WindowsThatCannotBeClosedAskForNoCloseBox)
{
	// (Openbox gives every window a close box whatever it asks; other
	// window managers leave it out.)
	// The progress window's kind: its own "Cancel" is the way out.
	BWindow* progress = new BusyWindow(BRect(100, 100, 359, 189));
	progress->Show();
	RefusingWindow* closable = new RefusingWindow(BRect(100, 300, 399, 499), "Closable");
	closable->fAllowQuit = true;
	closable->Show();

	Window progressClient, closableClient;
	ASSERT_TRUE(WaitForClient("Install", &progressClient));
	ASSERT_TRUE(WaitForClient("Closable", &closableClient));
	EXPECT_FALSE(AsksForCloseBox(progressClient));
	EXPECT_TRUE(AsksForCloseBox(closableClient));

	// Closable again: it asks for the close box again.
	ASSERT_TRUE(progress->Lock());
	progress->SetFlags(0);
	progress->Unlock();
	EXPECT_TRUE(WaitUntil([&] { return AsksForCloseBox(progressClient); }));
}


TEST_F(WindowManagerTest, WindowsOpenWhereTheirFramesSayDespiteTheManagersPlacement)
{
	// Openbox places a new window itself (at the top left, where the
	// screen is free): the platform's place must win, and the window must
	// not take the manager's place as a move of the person's.
	const BRect frames[] = {BRect(312, 234, 711, 533), BRect(500, 420, 699, 559)};
	std::vector<BWindow*> windows;
	for (const BRect& frame : frames) {
		std::string title = "Placed " + std::to_string(windows.size());
		BWindow* window = new RefusingWindow(frame, title.c_str());
		window->Show();
		windows.push_back(window);

		Window client;
		ASSERT_TRUE(WaitForClient(title, &client));
		EXPECT_TRUE(WaitUntil([&] { return ContentOrigin(client) == frame.LeftTop(); }))
			<< "content at " << ContentOrigin(client).x << ", " << ContentOrigin(client).y;
		ASSERT_TRUE(Automation::WaitUntilIdle());
		ASSERT_TRUE(window->Lock());
		EXPECT_EQ(window->Frame(), frame);
		window->Unlock();
	}

	// Placed, a window follows the person's moves through the manager.
	BWindow* moved = windows.front();
	Window client;
	ASSERT_TRUE(WaitForClient("Placed 0", &client));
	EXPECT_TRUE(WaitUntil([&] {
		MoveThroughManager(client, BPoint(150, 120));
		snooze(100000);
		if (!moved->Lock())
			return false;
		BPoint where = moved->Frame().LeftTop();
		moved->Unlock();
		return where == BPoint(150, 120);
	}));
	EXPECT_EQ(ContentOrigin(client), BPoint(150, 120));
	for (BWindow* window : windows)
		static_cast<RefusingWindow*>(window)->fAllowQuit = true;
}

#endif // KESTROVAN_HAVE_XTEST
