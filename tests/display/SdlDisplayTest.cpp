#include <InterfaceFixture.h>
#include <MessageLog.h>
#include <XvfbServer.h>

#include <Alert.h>
#include <Button.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <PopUpMenu.h>

// Real windows on a real X server: an Xvfb started by the test, driven by
// the X server's own input (XTest), seen through the X server's own
// queries. Skipped where Xvfb or the XTest library is missing.

#ifdef KESTROVAN_HAVE_XTEST

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

namespace {

const uint32 kBegin = 'begn';
const uint32 kAsk = 'ask ';
const uint32 kAnswered = 'answ';
const uint32 kVolumePicked = 'volp';
const rgb_color kPanel = {216, 216, 216, 255};

bool
wait_until(const std::function<bool()>& condition, bigtime_t timeout = kTestWait)
{
	bigtime_t deadline = system_time() + timeout;
	while (!condition()) {
		if (system_time() > deadline)
			return false;
		snooze(10000);
	}
	return true;
}

// A window with a "Begin" button and a view that takes keys; it logs what
// its controls send and the close box's requests, and keeps itself open.
class InstallWindow : public BWindow {
public:
	InstallWindow(BRect frame, const char* title, std::shared_ptr<MessageLog> log,
		uint32 flags = 0)
		:
		BWindow(frame, title, B_TITLED_WINDOW, flags | B_ASYNCHRONOUS_CONTROLS),
		fLog(std::move(log))
	{
		BView* panel = new BView(Bounds(), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
		panel->SetViewColor(kPanel);
		AddChild(panel);
		panel->AddChild(new BButton(BRect(20, 20, 99, 43), "begin", "Begin",
			new BMessage(kBegin)));
		panel->AddChild(new BButton(BRect(120, 20, 199, 43), "ask", "Ask",
			new BMessage(kAsk)));
		fKeys = new KeyView(BRect(20, 60, 119, 99));
		panel->AddChild(fKeys);
	}

	bool QuitRequested() override
	{
		fLog->Add(BMessage(B_QUIT_REQUESTED), find_thread(nullptr));
		return false;
	}

	void MessageReceived(BMessage* message) override
	{
		switch (message->what) {
			case kBegin:
			case kVolumePicked:
				fLog->Add(*message, find_thread(nullptr));
				break;
			case kAsk:
			{
				// Blocks this window's thread until the alert is answered.
				int32 answer = (new BAlert("", "Replace the older file?", "Skip",
					"Replace"))->Go();
				BMessage answered(kAnswered);
				answered.AddInt32("which", answer);
				fLog->Add(answered, find_thread(nullptr));
				break;
			}
			default:
				BWindow::MessageReceived(message);
		}
	}

	class KeyView : public BView {
	public:
		explicit KeyView(BRect frame)
			:
			BView(frame, "keys", B_FOLLOW_NONE, B_WILL_DRAW | B_NAVIGABLE)
		{
			SetViewColor(255, 255, 255);
		}
		void KeyDown(const char* bytes, int32) override
		{
			BMessage* message = Window()->CurrentMessage();
			int32 key = 0;
			int32 modifiers = 0;
			message->FindInt32("key", &key);
			message->FindInt32("modifiers", &modifiers);
			std::lock_guard<std::mutex> guard(fLock);
			fBytes += bytes;
			fKey = key;
			fModifiers = modifiers;
		}
		std::string Bytes()
		{
			std::lock_guard<std::mutex> guard(fLock);
			return fBytes;
		}
		std::mutex fLock;
		std::string fBytes;
		int32 fKey = 0;
		int32 fModifiers = 0;
	};

	std::shared_ptr<MessageLog> fLog;
	KeyView* fKeys;
};

// A window painted all in one colour, which another thread may change.
class ColorWindow : public BWindow {
public:
	ColorWindow(BRect frame)
		:
		BWindow(frame, "Progress", B_TITLED_WINDOW, 0)
	{
		fView = new DrawView(Bounds(), [this](BView* view, BRect) {
			view->SetHighColor(fColor);
			view->FillRect(view->Bounds());
		});
		AddChild(fView);
	}

	void Paint(rgb_color color)
	{
		ASSERT_TRUE(Lock());
		fColor = color;
		fView->Invalidate();
		Unlock();
	}

	rgb_color fColor = kBlue;
	DrawView* fView;
};

// Windows vanish while the test looks at them: the X server's complaints
// about them are expected.
int
ignore_x_error(Display*, XErrorEvent*)
{
	return 0;
}

size_t
count_of(MessageLog& log, uint32 what)
{
	size_t count = 0;
	for (const BMessage& message : log.Messages())
		count += message.what == what ? 1 : 0;
	return count;
}

} // namespace

class SdlDisplayTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		std::string program = find_program("Xvfb");
		if (program.empty()) {
			GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb): the sdl "
				"display backend needs an X server to be tested";
		}
		std::string error;
		ASSERT_TRUE(fServer.Start(program, &error, ServerOptions())) << error;
		if (const char* display = getenv("DISPLAY"))
			fOldDisplay = display;
		setenv("DISPLAY", fServer.Name().c_str(), 1);
		unsetenv("WAYLAND_DISPLAY");
		// The scale comes from the test's own server, not the desktop the
		// tests were started from.
		unsetenv("GDK_SCALE");
		fX = XOpenDisplay(fServer.Name().c_str());
		ASSERT_NE(fX, nullptr) << "cannot connect to " << fServer.Name();
		fOldErrorHandler = XSetErrorHandler(ignore_x_error);
		int event, error0, major, minor;
		ASSERT_TRUE(XTestQueryExtension(fX, &event, &error0, &major, &minor));

		// Whatever an earlier test left behind is gone before the display
		// changes.
		ASSERT_TRUE(wait_until([] { return Automation::Windows().empty(); }));
		ASSERT_EQ(DisplayBackend::Select("sdl"), B_OK);
		ASSERT_STREQ(DisplayBackend::Default()->Name(), "sdl");
	}

	void TearDown() override
	{
		QuitEveryWindow();
		wait_until([] { return Automation::Windows().empty(); });
		// Back to no screen, which closes the sdl backend's display.
		DisplayBackend::Select("headless");
		if (fX != nullptr) {
			XCloseDisplay(fX);
			XSetErrorHandler(fOldErrorHandler);
		}
		fServer.Stop();
		if (fOldDisplay)
			setenv("DISPLAY", fOldDisplay->c_str(), 1);
		else
			unsetenv("DISPLAY");
	}

	// What the X server is started with besides its defaults.
	virtual std::vector<std::string> ServerOptions() const { return {}; }

	std::string Title(Window window)
	{
		Atom name = XInternAtom(fX, "_NET_WM_NAME", False);
		Atom utf8 = XInternAtom(fX, "UTF8_STRING", False);
		Atom type;
		int format;
		unsigned long count, after;
		unsigned char* data = nullptr;
		std::string title;
		if (XGetWindowProperty(fX, window, name, 0, 1024, False, utf8, &type, &format,
				&count, &after, &data) == Success && data != nullptr) {
			title.assign(reinterpret_cast<char*>(data), count);
			XFree(data);
		}
		return title;
	}

	bool Viewable(Window window)
	{
		XWindowAttributes attributes;
		return XGetWindowAttributes(fX, window, &attributes) != 0
			&& attributes.map_state == IsViewable;
	}

	// The top-level windows, bottom to top.
	std::vector<Window> TopLevel()
	{
		Window root, parent;
		Window* children = nullptr;
		unsigned int count = 0;
		std::vector<Window> windows;
		if (XQueryTree(fX, DefaultRootWindow(fX), &root, &parent, &children, &count)) {
			windows.assign(children, children + count);
			XFree(children);
		}
		return windows;
	}

	// The shown native window with this title (None when there is none).
	Window FindNative(const std::string& title)
	{
		for (Window window : TopLevel()) {
			if (Viewable(window) && Title(window) == title)
				return window;
		}
		return None;
	}

	Window WaitForNative(const std::string& title)
	{
		Window found = None;
		wait_until([&] { return (found = FindNative(title)) != None; });
		return found;
	}

	BRect NativeFrame(Window window)
	{
		XWindowAttributes attributes;
		int x = 0, y = 0;
		Window child;
		if (!XGetWindowAttributes(fX, window, &attributes)
			|| !XTranslateCoordinates(fX, window, DefaultRootWindow(fX), 0, 0, &x, &y,
				&child)) {
			return BRect();
		}
		return BRect(x, y, x + attributes.width - 1, y + attributes.height - 1);
	}

	rgb_color ScreenPixel(BPoint where)
	{
		XImage* image = XGetImage(fX, DefaultRootWindow(fX), static_cast<int>(where.x),
			static_cast<int>(where.y), 1, 1, AllPlanes, ZPixmap);
		if (image == nullptr)
			return make_color(0, 0, 1);
		unsigned long pixel = XGetPixel(image, 0, 0);
		XDestroyImage(image);
		return make_color((pixel >> 16) & 0xff, (pixel >> 8) & 0xff, pixel & 0xff);
	}

	bool WaitForPixel(BPoint where, rgb_color color)
	{
		return wait_until([&] { return same_rgb(ScreenPixel(where), color); });
	}

	// A press and release of the first button, as the X server delivers it.
	void Click(BPoint where)
	{
		XTestFakeMotionEvent(fX, -1, static_cast<int>(where.x), static_cast<int>(where.y),
			CurrentTime);
		XTestFakeButtonEvent(fX, 1, True, CurrentTime);
		XTestFakeButtonEvent(fX, 1, False, CurrentTime);
		XSync(fX, False);
	}

	void PressKey(KeySym symbol, KeySym modifier = NoSymbol)
	{
		KeyCode modifierCode = modifier != NoSymbol ? XKeysymToKeycode(fX, modifier) : 0;
		KeyCode code = XKeysymToKeycode(fX, symbol);
		if (modifierCode != 0)
			XTestFakeKeyEvent(fX, modifierCode, True, CurrentTime);
		XTestFakeKeyEvent(fX, code, True, CurrentTime);
		XTestFakeKeyEvent(fX, code, False, CurrentTime);
		if (modifierCode != 0)
			XTestFakeKeyEvent(fX, modifierCode, False, CurrentTime);
		XSync(fX, False);
	}

	// What a window manager sends when the person presses the close box.
	void SendCloseRequest(Window window)
	{
		XEvent event = {};
		event.xclient.type = ClientMessage;
		event.xclient.window = window;
		event.xclient.message_type = XInternAtom(fX, "WM_PROTOCOLS", False);
		event.xclient.format = 32;
		event.xclient.data.l[0] = XInternAtom(fX, "WM_DELETE_WINDOW", False);
		event.xclient.data.l[1] = CurrentTime;
		XSendEvent(fX, window, False, NoEventMask, &event);
		XSync(fX, False);
	}

	// The window's frame as its thread keeps it (invalid while it cannot be
	// locked).
	static BRect FrameOf(BWindow* window)
	{
		if (!window->Lock())
			return BRect();
		BRect frame = window->Frame();
		window->Unlock();
		return frame;
	}

	BPoint CenterOf(int32 window, const char* view)
	{
		BRect frame;
		EXPECT_EQ(Automation::GetViewFrame(window, view, &frame), B_OK);
		return BPoint(floorf((frame.left + frame.right) / 2),
			floorf((frame.top + frame.bottom) / 2));
	}

	// The X server's screen as a PNG, for a person to compare with the
	// headless screenshots.
	void WriteScreenshot(const char* name)
	{
#ifdef KESTROVAN_SCREENSHOT_DIR
		mkdir(KESTROVAN_SCREENSHOT_DIR, 0755);
		std::string path = std::string(KESTROVAN_SCREENSHOT_DIR) + "/" + name;
		int width = DisplayWidth(fX, DefaultScreen(fX));
		int height = DisplayHeight(fX, DefaultScreen(fX));
		XImage* image = XGetImage(fX, DefaultRootWindow(fX), 0, 0, width, height,
			AllPlanes, ZPixmap);
		ASSERT_NE(image, nullptr);
		cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width,
			height);
		uint8* data = cairo_image_surface_get_data(surface);
		int stride = cairo_image_surface_get_stride(surface);
		for (int y = 0; y < height; y++) {
			uint32* row = reinterpret_cast<uint32*>(data + y * stride);
			for (int x = 0; x < width; x++)
				row[x] = XGetPixel(image, x, y) & 0xffffff;
		}
		cairo_surface_mark_dirty(surface);
		EXPECT_EQ(cairo_surface_write_to_png(surface, path.c_str()), CAIRO_STATUS_SUCCESS);
		cairo_surface_destroy(surface);
		XDestroyImage(image);
#else
		(void)name;
#endif
	}

	XvfbServer fServer;
	Display* fX = nullptr;
	XErrorHandler fOldErrorHandler = nullptr;
	std::optional<std::string> fOldDisplay;
};

TEST_F(SdlDisplayTest, WindowsAppearOnTheDesktopAndTakeItsInput)
{
	auto log = std::make_shared<MessageLog>();
	InstallWindow* window = new InstallWindow(BRect(120, 90, 419, 289), "Install Kestrel",
		log);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	int32 id = window->DisplayID();

	// A native window with the title, its content where the frame says.
	Window native = WaitForNative("Install Kestrel");
	ASSERT_NE(native, None);
	EXPECT_EQ(NativeFrame(native), BRect(120, 90, 419, 289));
	EXPECT_TRUE(WaitForPixel(BPoint(125, 280), kPanel)) << ScreenPixel(BPoint(125, 280));

	// A click delivered by the X server presses the button.
	BPoint begin = CenterOf(id, "Begin");
	EXPECT_EQ(begin, BPoint(179, 121));
	Click(begin);
	ASSERT_TRUE(log->WaitForCount(1));
	EXPECT_EQ(log->At(0).what, kBegin);

	// So does the automation's click, through the same routing.
	EXPECT_EQ(Automation::Click(id, "Begin"), B_OK);
	ASSERT_TRUE(log->WaitForCount(2));
	EXPECT_EQ(log->At(1).what, kBegin);

	// Keys go to the focus view: text as UTF-8, the special keys as the
	// platform's bytes, with the platform's key codes and modifiers.
	ASSERT_TRUE(window->Lock());
	window->fKeys->MakeFocus(true);
	window->Unlock();
	ASSERT_TRUE(wait_until([&] {
		Window focus;
		int revert;
		XGetInputFocus(fX, &focus, &revert);
		return focus == native;
	}));
	PressKey(XK_a);
	ASSERT_TRUE(wait_until([&] { return window->fKeys->Bytes() == "a"; }))
		<< window->fKeys->Bytes();
	PressKey(XK_Up);
	PressKey(XK_Escape);
	PressKey(XK_b, XK_Shift_L);
	ASSERT_TRUE(wait_until([&] { return window->fKeys->Bytes().size() == 4; }))
		<< window->fKeys->Bytes();
	EXPECT_EQ(window->fKeys->Bytes(), std::string("a\x1e\x1b" "B"));
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(window->fKeys->fKey, 0x50);
	EXPECT_EQ(window->fKeys->fModifiers & B_SHIFT_KEY, B_SHIFT_KEY);
	window->Unlock();
	PressKey(XK_BackSpace);
	ASSERT_TRUE(wait_until([&] { return window->fKeys->Bytes().size() == 5; }));
	EXPECT_EQ(window->fKeys->Bytes().back(), B_BACKSPACE);

	// The program's changes reach the native window.
	ASSERT_TRUE(window->Lock());
	window->SetTitle("Installing Kestrel");
	window->MoveTo(200, 150);
	window->Unlock();
	Window renamed = WaitForNative("Installing Kestrel");
	ASSERT_EQ(renamed, native);
	EXPECT_TRUE(wait_until([&] { return NativeFrame(native).LeftTop() == BPoint(200, 150); }))
		<< NativeFrame(native).left << "," << NativeFrame(native).top;

	// The person's moves and resizes (here the test in a window manager's
	// place) reach the platform window.
	XMoveResizeWindow(fX, native, 60, 40, 360, 260);
	XSync(fX, False);
	EXPECT_TRUE(wait_until([&] { return FrameOf(window) == BRect(60, 40, 419, 299); }));
	EXPECT_TRUE(WaitForPixel(BPoint(410, 290), kPanel)) << ScreenPixel(BPoint(410, 290));

	// Hidden windows are hidden; shown again, they show their last frame.
	ASSERT_TRUE(window->Lock());
	window->Hide();
	window->Unlock();
	EXPECT_TRUE(wait_until([&] { return !Viewable(native); }));
	ASSERT_TRUE(window->Lock());
	window->Show();
	window->Unlock();
	EXPECT_TRUE(wait_until([&] { return Viewable(native); }));
	EXPECT_TRUE(WaitForPixel(BPoint(70, 290), kPanel));

	// Uncovered, the window shows its last frame again.
	XSetWindowAttributes attributes = {};
	attributes.override_redirect = True;
	attributes.background_pixel = 0x000000;
	Window cover = XCreateWindow(fX, DefaultRootWindow(fX), 50, 30, 200, 200, 0,
		CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel,
		&attributes);
	XMapRaised(fX, cover);
	XSync(fX, False);
	EXPECT_TRUE(WaitForPixel(BPoint(70, 200), kBlack));
	XDestroyWindow(fX, cover);
	XSync(fX, False);
	EXPECT_TRUE(WaitForPixel(BPoint(70, 200), kPanel)) << ScreenPixel(BPoint(70, 200));

	WriteScreenshot("sdl-install-window.png");
}

TEST_F(SdlDisplayTest, TheCloseBoxAsksTheWindowToQuitUnlessItHasNone)
{
	auto log = std::make_shared<MessageLog>();
	auto lockedLog = std::make_shared<MessageLog>();
	InstallWindow* window = new InstallWindow(BRect(40, 40, 299, 199), "Closable", log);
	InstallWindow* locked = new InstallWindow(BRect(340, 40, 599, 199), "Not closable",
		lockedLog, B_NOT_CLOSABLE);
	window->Show();
	locked->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	Window native = WaitForNative("Closable");
	Window lockedNative = WaitForNative("Not closable");
	ASSERT_NE(native, None);
	ASSERT_NE(lockedNative, None);

	// The window shown last stays active once the desktop has reported
	// the focus changes, which it does a little late.
	snooze(500000);
	DisplayWindowInfo info;
	ASSERT_TRUE(DisplayBackend::Default()->GetWindow(locked->DisplayID(), &info));
	EXPECT_TRUE(info.active);
	Window focus;
	int revert;
	XGetInputFocus(fX, &focus, &revert);
	EXPECT_EQ(focus, lockedNative);

	// The display thread takes the requests in order: once the second is
	// answered, the first has been refused.
	SendCloseRequest(lockedNative);
	SendCloseRequest(native);
	ASSERT_TRUE(log->WaitForCount(1));
	EXPECT_EQ(log->At(0).what, uint32(B_QUIT_REQUESTED));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(lockedLog->Count(), 0u);
	// The window refused to quit and is still shown.
	EXPECT_TRUE(Viewable(native));
}

TEST_F(SdlDisplayTest, AnAlertBlockingItsCallerStopsNoOtherWindowFromDrawing)
{
	auto log = std::make_shared<MessageLog>();
	InstallWindow* window = new InstallWindow(BRect(40, 40, 339, 239), "Installer", log);
	ColorWindow* progress = new ColorWindow(BRect(500, 300, 699, 399));
	window->Show();
	progress->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_NE(WaitForNative("Installer"), None);
	ASSERT_NE(WaitForNative("Progress"), None);
	ASSERT_TRUE(WaitForPixel(BPoint(600, 350), kBlue));

	// The window's thread asks, and blocks in the alert's Go.
	Click(CenterOf(window->DisplayID(), "Ask"));
	DisplayWindowInfo alert;
	ASSERT_TRUE(wait_until([&] {
		for (const auto& info : Automation::Windows()) {
			if (info.modal && !info.hidden) {
				alert = info;
				return true;
			}
		}
		return false;
	}));
	ASSERT_TRUE(Automation::WaitUntilIdle());

	// The other window still reaches the screen.
	progress->Paint(kRed);
	EXPECT_TRUE(WaitForPixel(BPoint(600, 350), kRed)) << ScreenPixel(BPoint(600, 350));

	// The alert is a native window above the application's others, and a
	// click beside it reaches nothing.
	std::vector<Window> stack = TopLevel();
	Window alertNative = None;
	for (Window candidate : stack) {
		if (Viewable(candidate) && NativeFrame(candidate) == alert.frame)
			alertNative = candidate;
	}
	ASSERT_NE(alertNative, None);
	auto position = [&](Window window) {
		return std::find(stack.begin(), stack.end(), window) - stack.begin();
	};
	EXPECT_GT(position(alertNative), position(FindNative("Installer")));
	EXPECT_GT(position(alertNative), position(FindNative("Progress")));
	// Window managers learn whose it is: the window that asked, in front.
	Window owner = None;
	EXPECT_TRUE(wait_until([&] {
		return XGetTransientForHint(fX, alertNative, &owner) && owner != None;
	}));
	EXPECT_EQ(owner, FindNative("Installer"));
	WriteScreenshot("sdl-alert.png");

	// Answered by a real click on its button, the caller goes on.
	BPoint replace = CenterOf(alert.id, "Replace");
	ASSERT_TRUE(alert.frame.Contains(replace));
	Click(replace);
	ASSERT_TRUE(log->WaitForCount(1));
	EXPECT_EQ(log->At(0).what, kAnswered);
	EXPECT_EQ(log->At(0).GetInt32("which", -1), 1);
	EXPECT_EQ(count_of(*log, kBegin), 0u);
}

TEST_F(SdlDisplayTest, MenusOpenInWindowsOfTheirOwnAboveTheDesktop)
{
	auto log = std::make_shared<MessageLog>();
	InstallWindow* window = new InstallWindow(BRect(100, 100, 399, 299), "Volumes", log);
	BPopUpMenu* volumes = new BPopUpMenu("volumes");
	volumes->AddItem(new BMenuItem("boot", new BMessage(kVolumePicked)));
	volumes->AddItem(new BMenuItem("Data", new BMessage(kVolumePicked)));
	volumes->ItemAt(0)->SetMarked(true);
	BMenuField* field = new BMenuField(BRect(20, 150, 199, 172), "volume", "Install on",
		volumes);
	field->SetDivider(60);
	ASSERT_TRUE(window->Lock());
	window->ChildAt(0)->AddChild(field);
	window->Unlock();
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_NE(WaitForNative("Volumes"), None);

	// A real click on the field opens its menu in a native window of its
	// own that no window manager decorates or moves.
	Click(CenterOf(window->DisplayID(), "volume"));
	ASSERT_TRUE(wait_until([] { return Automation::IsMenuOpen(); }));
	Window menu = None;
	ASSERT_TRUE(wait_until([&] {
		for (Window candidate : TopLevel()) {
			XWindowAttributes attributes;
			if (Viewable(candidate) && XGetWindowAttributes(fX, candidate, &attributes)
				&& attributes.override_redirect) {
				menu = candidate;
				return true;
			}
		}
		return false;
	}));
	std::vector<Window> stack = TopLevel();
	EXPECT_GT(std::find(stack.begin(), stack.end(), menu) - stack.begin(),
		std::find(stack.begin(), stack.end(), FindNative("Volumes")) - stack.begin());
	WriteScreenshot("sdl-menu.png");

	EXPECT_EQ(Automation::ChooseMenuItem("Data"), B_OK);
	ASSERT_TRUE(log->WaitForCount(1));
	EXPECT_EQ(log->At(0).what, kVolumePicked);
	EXPECT_TRUE(wait_until([&] { return !Viewable(menu); }));
}

// A high-DPI screen: Xvfb at 192 dots per inch, twice the pixels of the
// screen above.
class ScaledSdlDisplayTest : public SdlDisplayTest {
protected:
	std::vector<std::string> ServerOptions() const override
	{
		return {"-screen", "0", "2048x1536x24", "-dpi", "192"};
	}
};

// An ordinary screen whose desktop says how much larger to draw.
class DesktopScaleTest : public SdlDisplayTest {
protected:
	void TearDown() override
	{
		unsetenv("GDK_SCALE");
		SdlDisplayTest::TearDown();
	}

	// The X resources as a desktop session loads them (xrdb).
	void SetResources(const char* resources)
	{
		XChangeProperty(fX, DefaultRootWindow(fX), XA_RESOURCE_MANAGER, XA_STRING, 8,
			PropModeReplace, reinterpret_cast<const unsigned char*>(resources),
			static_cast<int>(strlen(resources)));
		XSync(fX, False);
	}

	// The scale the sdl display takes from the desktop as it opens.
	float ReopenedScale()
	{
		EXPECT_EQ(DisplayBackend::Select("headless"), B_OK);
		EXPECT_EQ(DisplayBackend::Select("sdl"), B_OK);
		return DisplayBackend::Default()->Scale();
	}
};

TEST_F(ScaledSdlDisplayTest, WindowsAreTwiceTheirSizeAndClicksFindTheirButtonsAtScale2)
{
	ASSERT_EQ(DisplayBackend::Default()->Scale(), 2.0f);
	// The screen in layout units: half its pixels.
	EXPECT_EQ(DisplayBackend::Default()->ScreenFrame(), BRect(0, 0, 1023, 767));

	auto log = std::make_shared<MessageLog>();
	InstallWindow* window = new InstallWindow(BRect(120, 90, 419, 289), "Install Kestrel",
		log);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	Window native = WaitForNative("Install Kestrel");
	ASSERT_NE(native, None);
	EXPECT_EQ(NativeFrame(native), BRect(240, 180, 839, 579));
	// The panel reaches the native window's last pixel.
	EXPECT_TRUE(WaitForPixel(BPoint(838, 578), kPanel)) << ScreenPixel(BPoint(838, 578));
	// "Begin" (20, 20)-(99, 43) in the window: its dark outline lies on
	// the doubled place, the panel just outside it.
	EXPECT_TRUE(WaitForPixel(BPoint(240 + 2 * 19 + 1, 180 + 2 * 31), kPanel));
	rgb_color edge = ScreenPixel(BPoint(240 + 2 * 20, 180 + 2 * 31));
	EXPECT_LT(edge.red, 160) << edge;
	EXPECT_TRUE(same_rgb(ScreenPixel(BPoint(240 + 2 * 20 + 1, 180 + 2 * 31 + 1)), edge));

	// Pixel 190 of the window is layout unit 95, inside "Begin"; taken
	// unscaled it would be unit 190, inside "Ask".
	Click(BPoint(240 + 190, 180 + 62));
	ASSERT_TRUE(log->WaitForCount(1));
	EXPECT_EQ(log->At(0).what, kBegin);
	EXPECT_EQ(count_of(*log, kAsk), 0u);

	// The person's resize in pixels becomes layout units.
	XResizeWindow(fX, native, 700, 500);
	XSync(fX, False);
	EXPECT_TRUE(wait_until([&] {
		BRect frame = FrameOf(window);
		return frame.Width() == 349 && frame.Height() == 249;
	}));
	WriteScreenshot("sdl-scale-2.png");
}

TEST_F(DesktopScaleTest, AnOrdinaryScreenIsScale1)
{
	EXPECT_EQ(ReopenedScale(), 1.0f);
}

TEST_F(DesktopScaleTest, XftDpiOfTheXResourcesSetsTheScale)
{
	SetResources("Xft.antialias:\t1\nXft.dpi:\t144\n");
	EXPECT_EQ(ReopenedScale(), 1.5f);
	SetResources("Xft.dpi:\t192\n");
	EXPECT_EQ(ReopenedScale(), 2.0f);
}

TEST_F(DesktopScaleTest, GdkScaleWinsOverXftDpi)
{
	SetResources("Xft.dpi:\t144\n");
	setenv("GDK_SCALE", "2", 1);
	EXPECT_EQ(ReopenedScale(), 2.0f);
	// A factor GTK would not take either leaves the choice to Xft.dpi.
	setenv("GDK_SCALE", "lots", 1);
	EXPECT_EQ(ReopenedScale(), 1.5f);
}

#else // KESTROVAN_HAVE_XTEST

TEST(SdlDisplayTest, NeedsTheXTestLibrary)
{
	GTEST_SKIP() << "built without libX11/libXtst (Debian packages libx11-dev and "
		"libxtst-dev): the sdl display backend's smoke test cannot drive an X server";
}

#endif // KESTROVAN_HAVE_XTEST
