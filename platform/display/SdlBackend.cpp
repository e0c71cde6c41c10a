#include <SdlBackend.h>

#include <MenuWindow.h>
#include <DisplayScale.h>
#include <SdlInput.h>
#include <WaylandProbe.h>
#include <Window.h>
#include <XCloseBox.h>
#include <XErrorHandlers.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace BPrivate {

namespace {

// The display thread looks at the base class's records at least this often
// (in milliseconds), for the few changes that come without a wake-up
// (a window asking to be activated).
const int kIdleWait = 100;

// How long the focus given to a window may take to be reported (SDL holds
// focus changes back a little); reports about other windows meanwhile are
// stale. In microseconds.
const bigtime_t kFocusSettleTime = 1000000;

// How long after a window is shown the moves reported for it are the
// window manager's placement, answered by putting it back where its frame
// says, rather than a person's. In microseconds.
const bigtime_t kPlacementTime = 2000000;

// A display server answers its first request at once; one that accepts the
// connection and then says nothing (stopped, or a dead forwarding) would
// hold the program forever.
const std::chrono::seconds kOpenTimeout(10);
// How long the program's end waits for the display thread to close.
const std::chrono::seconds kCloseTimeout(3);

bool
variable_set(const char* name)
{
	const char* value = getenv(name);
	return value != nullptr && value[0] != '\0';
}

// Whether SDL will try its Wayland driver: the one a person asked SDL for,
// else Wayland where there is no X (see _OpenDisplay).
bool
wayland_driver_wanted()
{
	if (variable_set("SDL_VIDEODRIVER"))
		return strstr(getenv("SDL_VIDEODRIVER"), "wayland") != nullptr;
	return !variable_set("DISPLAY");
}

uint32
native_flags(const DisplayWindowInfo& info)
{
	uint32 flags = SDL_WINDOW_HIDDEN;
	if ((info.flags & B_NOT_RESIZABLE) == 0)
		flags |= SDL_WINDOW_RESIZABLE;
	if (info.type == B_BORDERED_WINDOW)
		flags |= SDL_WINDOW_BORDERLESS;
	if (info.type == B_FLOATING_WINDOW)
		flags |= SDL_WINDOW_UTILITY;
	if (info.type == kMenuWindowType) {
		// An open menu: above everything, left alone by window managers.
		flags |= SDL_WINDOW_POPUP_MENU | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR;
		flags &= ~SDL_WINDOW_RESIZABLE;
	}
	return flags;
}

using Place = std::pair<int32, int32>;

// Where a platform frame lies on the desktop, and its size, in the
// desktop's pixels: its right and bottom edges count.
Place
native_place(const BRect& frame, float scale)
{
	return Place(DisplayScale::ToPixel(frame.left, scale),
		DisplayScale::ToPixel(frame.top, scale));
}

Place
native_size(const BRect& frame, float scale)
{
	return Place(DisplayScale::Pixels(frame.IntegerWidth() + 1, scale),
		DisplayScale::Pixels(frame.IntegerHeight() + 1, scale));
}

// The layout units a native size holds whole, at least one.
int32
layout_units(int32 pixels, float scale)
{
	return std::max<int32>(1, static_cast<int32>(floorf((pixels + 0.01f) / scale)));
}

// Whether place is among those the person made that the platform window
// has not reported yet; those up to it are taken as reported.
bool
take_reported(std::vector<Place>& made, Place place)
{
	auto found = std::find(made.begin(), made.end(), place);
	if (found == made.end())
		return false;
	made.erase(made.begin(), found + 1);
	return true;
}

} // namespace

struct SdlBackend::NativeWindow {
	~NativeWindow()
	{
		if (lastFrame != nullptr)
			cairo_surface_destroy(lastFrame);
		if (window != nullptr)
			SDL_DestroyWindow(window);
	}

	int32 id = -1;
	SDL_Window* window = nullptr;
	// What the native window was last told.
	std::string title;
	BRect frame;
	uint32 flags = 0;
	bool shown = false;
	// The window a modal window was last said to belong to.
	int32 modalFor = -1;
	// The window's last finished frame, shown again on expose.
	cairo_surface_t* lastFrame = nullptr;
	// Places and sizes the person gave the native window, until the
	// platform window has followed, so that its late reports of them are
	// not taken as moves of its own.
	std::vector<Place> personMoves;
	std::vector<Place> personSizes;
	// Until when a move to elsewhere is the window manager placing the
	// window just shown.
	bigtime_t placingUntil = 0;
};

// #pragma mark - opening and closing

SdlBackend::SdlBackend()
	:
	fOpenDone(false),
	fOpenSucceeded(false),
	fStopping(false),
	fRunEnded(false),
	fWakePending(false),
	fLayoutChanged(true),
	fWakeEvent(0),
	fX11(false),
	fScreenPixels(0, 0),
	fOpeningPointer(-1, -1),
	fAppliedActive(-1),
	fButtons(0),
	fTextKey(-1),
	fTextModifiers(0),
	fFocusGained(false),
	fFocusRequested(-1),
	fFocusRequestTime(0)
{
}

SdlBackend::~SdlBackend()
{
	_StopDisplayThread();
	if (fThread.joinable() && fThread.get_id() != std::this_thread::get_id())
		fThread.join();
}

// At exit: a display thread stuck in the display server must not hold the
// program's end, so the wait is bounded; the backend in use is never
// destroyed, so a thread that does not end in time still has it.
void
SdlBackend::CloseDesktop()
{
	_StopDisplayThread();
	if (!fThread.joinable() || fThread.get_id() == std::this_thread::get_id())
		return;
	bool ended;
	{
		std::unique_lock<std::mutex> lock(fStateLock);
		ended = fThreadEnded.wait_for(lock, kCloseTimeout, [&] { return fRunEnded; });
	}
	if (ended)
		fThread.join();
}

void
SdlBackend::_StopDisplayThread()
{
	std::lock_guard<std::mutex> guard(fStateLock);
	if (!fStopping) {
		_Wake();
		fStopping = true;
	}
}

bool
SdlBackend::DisplayNamed()
{
	return variable_set("DISPLAY") || variable_set("WAYLAND_DISPLAY");
}

std::unique_ptr<DisplayBackend>
SdlBackend::Open(std::string* error)
{
	if (!DisplayNamed()) {
		*error = "no display to open: neither $DISPLAY nor $WAYLAND_DISPLAY is set";
		return nullptr;
	}
	std::unique_ptr<SdlBackend> backend(new SdlBackend());
	backend->fThread = std::thread(&SdlBackend::_Run, backend.get());
	bool answered;
	bool opened;
	{
		std::unique_lock<std::mutex> lock(backend->fStateLock);
		answered = backend->fOpened.wait_for(lock, kOpenTimeout,
			[&] { return backend->fOpenDone; });
		opened = answered && backend->fOpenSucceeded;
		if (answered) {
			*error = backend->fOpenError;
		} else {
			*error = "cannot open the display: it does not answer";
			// Given up: the display thread closes what it opened, should
			// the server ever answer.
			backend->fStopping = true;
		}
	}
	if (!answered) {
		// The display thread still waits for the server and uses the
		// backend: both are left to it.
		backend->fThread.detach();
		backend.release();
		return nullptr;
	}
	if (!opened)
		return nullptr;
	return backend;
}

bool
SdlBackend::_OpenDisplay()
{
	// The process's signals stay its own, and the first click on an
	// inactive window reaches it (the platform decides what it does).
	SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
	SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
	SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
	SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
	SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
	// Windows must be placed where their frames say, which only X allows:
	// on a Wayland desktop that also offers X, use X unless the person
	// asked SDL for another driver. Without X, Wayland.
	if (variable_set("DISPLAY") && !variable_set("SDL_VIDEODRIVER"))
		SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
	// SDL's Wayland driver crashes on a compositor without a seat: the
	// compositor is asked first. One that does not answer is left to SDL,
	// which says so itself.
	WaylandProbe wayland;
	if (wayland_driver_wanted() && wayland.Probe() && !wayland.HasSeat()) {
		fOpenError = "cannot open the display: the Wayland compositor offers no seat "
			"(no pointer or keyboard to use the windows with)";
		return false;
	}

	if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
		fOpenError = std::string("cannot open the display: ") + SDL_GetError();
		SDL_Quit();
		return false;
	}
	const char* driver = SDL_GetCurrentVideoDriver();
	fX11 = driver != nullptr && strcmp(driver, "x11") == 0;
	// Frames are finished images: on X copied straight to the window,
	// never through a renderer (which would recreate the native windows
	// for OpenGL). Wayland has no plain window surfaces: there SDL keeps
	// its own renderer behind them.
	if (fX11)
		SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
	fWakeEvent = SDL_RegisterEvents(1);
	if (fWakeEvent == static_cast<uint32>(-1)) {
		fOpenError = "cannot open the display: no event type left";
		SDL_Quit();
		return false;
	}

	// The screen spans every display; windows open on one of them.
	for (int index = 0; index < SDL_GetNumVideoDisplays(); index++) {
		SDL_Rect bounds;
		if (SDL_GetDisplayBounds(index, &bounds) != 0)
			continue;
		fMonitorPixels.push_back(BRect(bounds.x, bounds.y, bounds.x + bounds.w - 1,
			bounds.y + bounds.h - 1));
		fScreenPixels.first = std::max(fScreenPixels.first, bounds.x + bounds.w);
		fScreenPixels.second = std::max(fScreenPixels.second, bounds.y + bounds.h);
	}
	float dpi = 0;
	if (SDL_GetDisplayDPI(0, nullptr, &dpi, nullptr) != 0)
		dpi = 0;
	_TakePointer();
	SetScale(fX11 ? DisplayScale::FromX11Desktop(dpi)
		: DisplayScale::FromWaylandDesktop(getenv("GDK_SCALE"), wayland.OutputScale(), dpi));
	_TakeErrorHandlers();
	return true;
}

void
SdlBackend::_CloseDisplay()
{
	fNatives.clear();
	// Before SDL goes: the handlers given back may be SDL's own.
	if (fX11)
		release_x_error_handlers();
	SDL_Quit();
}

// An X error must not end the program: SDL's handler, installed as the
// display opens, passes errors on to Xlib's default one, which calls
// exit(). (SDL's handlers around some of its calls put back the one they
// found.) Done once: at exit, Xlib frees the lock these calls take while
// this thread may still run.
void
SdlBackend::_TakeErrorHandlers()
{
	if (fX11)
		take_x_error_handlers();
}

// Called with fStateLock held. Once stopping, SDL may be gone.
void
SdlBackend::_Wake()
{
	if (fStopping || fWakePending || !fOpenSucceeded || fThread.get_id() == std::this_thread::get_id())
		return;
	fWakePending = true;
	SDL_Event event = {};
	event.type = fWakeEvent;
	SDL_PushEvent(&event);
}

// #pragma mark - the window side

void
SdlBackend::WindowChanged(int32)
{
	std::lock_guard<std::mutex> guard(fStateLock);
	fLayoutChanged = true;
	_Wake();
}

// The screen and its monitors in layout units follow the scale.
void
SdlBackend::ScaleChanged()
{
	if (fScreenPixels.first <= 0 || fScreenPixels.second <= 0)
		return;
	float scale = Scale();
	SetScreenSize(layout_units(fScreenPixels.first, scale),
		layout_units(fScreenPixels.second, scale));
	std::vector<BRect> monitors;
	for (const BRect& pixels : fMonitorPixels) {
		float left = DisplayScale::FromPixel((int32)pixels.left, scale);
		float top = DisplayScale::FromPixel((int32)pixels.top, scale);
		monitors.push_back(BRect(left, top,
			left + layout_units(pixels.IntegerWidth() + 1, scale) - 1,
			top + layout_units(pixels.IntegerHeight() + 1, scale) - 1));
	}
	SetMonitors(monitors);
	// A scale a person chose after the display opened moves the pointer's
	// layout position with the monitors'.
	if (fOpeningPointer.x >= 0) {
		PlacePointer(BPoint(DisplayScale::FromPixel((int32)fOpeningPointer.x, scale),
			DisplayScale::FromPixel((int32)fOpeningPointer.y, scale)));
	}
}

// Where the pointer is as the display opens, in pixels, so that the first
// window opens on the monitor that shows it. Only X tells it before the
// pointer enters one of the program's windows.
void
SdlBackend::_TakePointer()
{
	if (!fX11)
		return;
	int x = 0;
	int y = 0;
	SDL_GetGlobalMouseState(&x, &y);
	std::lock_guard<std::recursive_mutex> guard(fLock);
	fOpeningPointer = BPoint(x, y);
}

void
SdlBackend::WindowFramePresented(int32 id)
{
	std::lock_guard<std::mutex> guard(fStateLock);
	fNewFrames.insert(id);
	_Wake();
}

// #pragma mark - the display thread

void
SdlBackend::_Run()
{
	_RunDisplay();
	{
		std::lock_guard<std::mutex> guard(fStateLock);
		fRunEnded = true;
	}
	fThreadEnded.notify_all();
}

void
SdlBackend::_RunDisplay()
{
	bool opened = _OpenDisplay();
	bool abandoned;
	{
		std::lock_guard<std::mutex> guard(fStateLock);
		fOpenDone = true;
		fOpenSucceeded = opened;
		abandoned = fStopping;
	}
	fOpened.notify_all();
	if (!opened)
		return;
	if (abandoned) {
		// Opened after Open gave up waiting: nobody uses this backend.
		_CloseDisplay();
		return;
	}

	while (true) {
		std::set<int32> frames;
		{
			std::lock_guard<std::mutex> guard(fStateLock);
			if (fStopping)
				break;
			fWakePending = false;
			fLayoutChanged = false;
			frames.swap(fNewFrames);
		}
		// Always: cheap for a few windows, and it catches the changes that
		// come without a wake-up.
		_Synchronize();
		for (int32 id : frames) {
			auto found = fNatives.find(id);
			if (found != fNatives.end())
				_Present(*found->second, true);
		}

		SDL_Event event;
		if (SDL_WaitEventTimeout(&event, kIdleWait) != 0) {
			_HandleEvent(event);
			while (SDL_PollEvent(&event) != 0)
				_HandleEvent(event);
		}
		_SettleFocus();
	}
	_CloseDisplay();
}

void
SdlBackend::_Synchronize()
{
	std::vector<DisplayWindowInfo> windows = Windows();
	std::set<int32> present;
	for (const DisplayWindowInfo& info : windows) {
		present.insert(info.id);
		std::unique_ptr<NativeWindow>& native = fNatives[info.id];
		if (native == nullptr) {
			native = std::make_unique<NativeWindow>();
			native->id = info.id;
		}
		_SyncWindow(info, *native);
	}
	for (auto it = fNatives.begin(); it != fNatives.end();) {
		if (present.count(it->first) == 0)
			it = fNatives.erase(it);
		else
			++it;
	}
	_SyncStacking(windows);
}

void
SdlBackend::_SyncWindow(const DisplayWindowInfo& info, NativeWindow& native)
{
	float scale = Scale();
	std::string title = ShownTitle(info);
	if (native.window == nullptr) {
		Place place = native_place(info.frame, scale);
		Place size = native_size(info.frame, scale);
		native.window = SDL_CreateWindow(title.c_str(), place.first, place.second,
			size.first, size.second, native_flags(info));
		if (native.window == nullptr)
			return;
		native.title = title;
		native.frame = info.frame;
		native.flags = info.flags;
		if ((info.flags & B_NOT_CLOSABLE) != 0)
			_SetCloseBox(native, info);
	}
	SDL_Window* window = native.window;

	if (native.title != title) {
		SDL_SetWindowTitle(window, title.c_str());
		native.title = title;
	}
	if (native.flags != info.flags) {
		SDL_SetWindowResizable(window,
			(info.flags & B_NOT_RESIZABLE) == 0 ? SDL_TRUE : SDL_FALSE);
		if (((native.flags ^ info.flags) & B_NOT_CLOSABLE) != 0)
			_SetCloseBox(native, info);
		native.flags = info.flags;
	}
	if (native.frame.LeftTop() != info.frame.LeftTop()) {
		Place place = native_place(info.frame, scale);
		if (!take_reported(native.personMoves, place))
			SDL_SetWindowPosition(window, place.first, place.second);
		native.frame.OffsetTo(info.frame.LeftTop());
	}
	if (native.frame.Width() != info.frame.Width()
		|| native.frame.Height() != info.frame.Height()) {
		Place size = native_size(info.frame, scale);
		if (!take_reported(native.personSizes, size))
			SDL_SetWindowSize(window, size.first, size.second);
		native.frame = info.frame;
	}

	bool shown = !info.hidden;
	if (shown != native.shown) {
		native.shown = shown;
		if (shown) {
			SDL_ShowWindow(window);
			// A window manager may have placed it elsewhere when it was
			// mapped; the frame says where it belongs.
			native.placingUntil = system_time() + kPlacementTime;
			Place place = native_place(info.frame, scale);
			SDL_SetWindowPosition(window, place.first, place.second);
			_Present(native, false);
		} else {
			SDL_HideWindow(window);
			fAppliedOrder.erase(std::remove(fAppliedOrder.begin(), fAppliedOrder.end(),
				native.id), fAppliedOrder.end());
			if (fAppliedActive == native.id)
				fAppliedActive = -1;
		}
	}
}

void
SdlBackend::_SetCloseBox(NativeWindow& native, const DisplayWindowInfo& info)
{
	// Borderless windows have no frame to take a close box from.
	if (fX11 && (native_flags(info) & SDL_WINDOW_BORDERLESS) == 0)
		set_x_close_box(native.window, (info.flags & B_NOT_CLOSABLE) == 0);
}

void
SdlBackend::_SyncStacking(const std::vector<DisplayWindowInfo>& windows)
{
	// Back to front, modal windows above all the others.
	std::vector<int32> order;
	for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
		if (!it->hidden && !it->modal)
			order.push_back(it->id);
	}
	for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
		if (!it->hidden && it->modal)
			order.push_back(it->id);
	}

	// A window manager keeps a modal window above the window it belongs
	// to: the front-most other window of the application.
	int32 owner = -1;
	for (int32 id : order) {
		const NativeWindow* native = fNatives[id].get();
		bool modal = std::any_of(windows.begin(), windows.end(),
			[id](const DisplayWindowInfo& info) { return info.id == id && info.modal; });
		if (!modal) {
			owner = id;
			continue;
		}
		const NativeWindow* ownerNative = owner >= 0 ? fNatives[owner].get() : nullptr;
		if (native != nullptr && native->window != nullptr && ownerNative != nullptr
			&& ownerNative->window != nullptr && native->modalFor != owner) {
			SDL_SetWindowModalFor(native->window, ownerNative->window);
			fNatives[id]->modalFor = owner;
		}
	}

	if (order != fAppliedOrder) {
		// Windows only ever come forward: those at the back that kept
		// their order stay, the rest are raised in turn.
		size_t kept = 0;
		int32 previous = -1;
		for (; kept < order.size(); kept++) {
			auto found = std::find(fAppliedOrder.begin(), fAppliedOrder.end(), order[kept]);
			int32 index = static_cast<int32>(found - fAppliedOrder.begin());
			if (found == fAppliedOrder.end() || index < previous)
				break;
			previous = index;
		}
		for (size_t i = kept; i < order.size(); i++) {
			NativeWindow* native = fNatives[order[i]].get();
			if (native != nullptr && native->window != nullptr)
				SDL_RaiseWindow(native->window);
		}
		fAppliedOrder = order;
	}

	int32 active = -1;
	for (const DisplayWindowInfo& info : windows) {
		if (info.active && !info.hidden)
			active = info.id;
	}
	if (active != fAppliedActive) {
		fAppliedActive = active;
		auto found = fNatives.find(active);
		if (found != fNatives.end() && found->second->window != nullptr) {
			SDL_SetWindowInputFocus(found->second->window);
			fFocusRequested = active;
			fFocusRequestTime = system_time();
		}
	}
}

void
SdlBackend::_Present(NativeWindow& native, bool newFrame)
{
	if (newFrame) {
		cairo_surface_t* frame = CaptureWindow(native.id);
		if (frame == nullptr)
			return;
		if (native.lastFrame != nullptr)
			cairo_surface_destroy(native.lastFrame);
		native.lastFrame = frame;
	}
	if (!native.shown || native.lastFrame == nullptr || native.window == nullptr)
		return;

	SDL_Surface* target = SDL_GetWindowSurface(native.window);
	if (target == nullptr)
		return;
	cairo_surface_flush(native.lastFrame);
	int width = cairo_image_surface_get_width(native.lastFrame);
	int height = cairo_image_surface_get_height(native.lastFrame);
	// Cairo's RGB24 is SDL's RGB888: 32-bit pixels, the top byte unused.
	SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
		cairo_image_surface_get_data(native.lastFrame), width, height, 32,
		cairo_image_surface_get_stride(native.lastFrame), SDL_PIXELFORMAT_RGB888);
	if (source == nullptr)
		return;
	if (target->w > width || target->h > height) {
		// The window grew before its new frame came: no stale pixels.
		SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 216, 216, 216));
	}
	SDL_BlitSurface(source, nullptr, target, nullptr);
	SDL_FreeSurface(source);
	SDL_UpdateWindowSurface(native.window);
}

// #pragma mark - input

SdlBackend::NativeWindow*
SdlBackend::_NativeFor(uint32 sdlWindowID)
{
	SDL_Window* window = SDL_GetWindowFromID(sdlWindowID);
	if (window == nullptr)
		return nullptr;
	for (auto& entry : fNatives) {
		if (entry.second->window == window)
			return entry.second.get();
	}
	return nullptr;
}

bool
SdlBackend::_ScreenPoint(uint32 sdlWindowID, int32 x, int32 y, BPoint* where)
{
	NativeWindow* native = _NativeFor(sdlWindowID);
	DisplayWindowInfo info;
	if (native == nullptr || !GetWindow(native->id, &info))
		return false;
	// Where the platform window is, so that the point falls in it even
	// while it still follows a move.
	// A pixel belongs to the layout unit that covers it.
	float scale = Scale();
	*where = info.frame.LeftTop()
		+ BPoint(DisplayScale::FromPixel(x, scale), DisplayScale::FromPixel(y, scale));
	return true;
}

void
SdlBackend::_HandleEvent(const SDL_Event& event)
{
	switch (event.type) {
		case SDL_WINDOWEVENT:
			_HandleWindowEvent(event.window);
			break;
		case SDL_MOUSEBUTTONDOWN:
			_HandleMouseButton(event.button, true);
			break;
		case SDL_MOUSEBUTTONUP:
			_HandleMouseButton(event.button, false);
			break;
		case SDL_MOUSEMOTION:
			_HandleMouseMotion(event.motion.windowID, event.motion.x, event.motion.y);
			break;
		case SDL_MOUSEWHEEL:
			_HandleMouseWheel(event.wheel);
			break;
		case SDL_KEYDOWN:
			_HandleKey(event.key, true);
			break;
		case SDL_KEYUP:
			_HandleKey(event.key, false);
			break;
		case SDL_TEXTINPUT:
			_HandleText(event.text);
			break;
		default:
			// The wake-up and SDL_QUIT (the last window closed: the
			// application decides what that means) need nothing.
			break;
	}
}

void
SdlBackend::_HandleWindowEvent(const SDL_WindowEvent& event)
{
	NativeWindow* native = _NativeFor(event.windowID);
	if (native == nullptr)
		return;
	int32 id = native->id;
	switch (event.event) {
		case SDL_WINDOWEVENT_EXPOSED:
			_Present(*native, false);
			break;
		case SDL_WINDOWEVENT_CLOSE:
			PressCloseBox(id);
			break;
		case SDL_WINDOWEVENT_MOVED:
		{
			float scale = Scale();
			Place current = native_place(native->frame, scale);
			if (Place(event.data1, event.data2) == current) {
				native->placingUntil = 0;
				break;
			}
			if (system_time() < native->placingUntil && _Framed(*native)) {
				// Placed by the window manager (its decorations known only
				// now): the content goes where the frame says.
				SDL_SetWindowPosition(native->window, current.first, current.second);
				break;
			}
			BRect moved = native->frame;
			moved.OffsetTo(DisplayScale::FromPixel(event.data1, scale),
				DisplayScale::FromPixel(event.data2, scale));
			if (DragWindow(id, moved.LeftTop()) == B_OK) {
				// Reported back where the platform window will be.
				native->personMoves.push_back(native_place(moved, scale));
			} else {
				// The window may not move (or a modal window keeps input
				// from it): back where it belongs.
				SDL_SetWindowPosition(native->window, current.first, current.second);
			}
			break;
		}
		case SDL_WINDOWEVENT_RESIZED:
		{
			float scale = Scale();
			Place current = native_size(native->frame, scale);
			if (Place(event.data1, event.data2) == current)
				break;
			BRect resized = native->frame;
			resized.right = resized.left + layout_units(event.data1, scale) - 1;
			resized.bottom = resized.top + layout_units(event.data2, scale) - 1;
			if (DragWindowSize(id, resized.Width(), resized.Height()) == B_OK)
				native->personSizes.push_back(native_size(resized, scale));
			else
				SDL_SetWindowSize(native->window, current.first, current.second);
			break;
		}
		case SDL_WINDOWEVENT_FOCUS_GAINED:
		{
			fFocusGained = true;
			if (fFocusRequested >= 0 && fFocusRequested != id
				&& system_time() - fFocusRequestTime < kFocusSettleTime) {
				// Left over from before the focus was given elsewhere.
				break;
			}
			fFocusRequested = -1;
			DisplayWindowInfo info;
			if (!GetWindow(id, &info) || info.active || info.hidden)
				break;
			for (const DisplayWindowInfo& other : Windows()) {
				if (other.modal && !other.hidden && other.id != id) {
					// A modal window keeps the focus: give it back.
					fAppliedActive = -1;
					return;
				}
			}
			ActivateWindow(id, true);
			fAppliedActive = id;
			break;
		}
		case SDL_WINDOWEVENT_FOCUS_LOST:
			fFocusLost.push_back(id);
			break;
		default:
			break;
	}
}

// Whether a window manager frames the window: only one places windows
// itself, and without one every move is the person's.
bool
SdlBackend::_Framed(const NativeWindow& native) const
{
	int top = 0, left = 0, bottom = 0, right = 0;
	return SDL_GetWindowBordersSize(native.window, &top, &left, &bottom, &right) == 0
		&& (top > 0 || left > 0);
}

void
SdlBackend::_SettleFocus()
{
	// The focus left for another program's window: the window is no
	// longer active. Moving between the backend's own windows is handled
	// by the window that gained it.
	if (!fFocusGained) {
		for (int32 id : fFocusLost) {
			DisplayWindowInfo info;
			if (GetWindow(id, &info) && info.active) {
				ActivateWindow(id, false);
				fAppliedActive = -1;
			}
		}
	}
	fFocusLost.clear();
	fFocusGained = false;
}

void
SdlBackend::_HandleMouseButton(const SDL_MouseButtonEvent& event, bool down)
{
	BPoint where;
	if (!_ScreenPoint(event.windowID, event.x, event.y, &where))
		return;
	uint32 modifiers = sdl_modifiers(SDL_GetModState());
	uint32 button = sdl_button(event.button);
	if (down) {
		fButtons |= button;
		InjectMouseDown(where, fButtons, modifiers, event.clicks);
		return;
	}
	fButtons &= ~button;
	// The platform's button goes up when the last one is released.
	if (fButtons == 0)
		InjectMouseUp(where, modifiers);
}

void
SdlBackend::_HandleMouseMotion(uint32 windowID, int32 x, int32 y)
{
	BPoint where;
	if (!_ScreenPoint(windowID, x, y, &where))
		return;
	{
		// The pointer has moved on from where it was at the opening.
		std::lock_guard<std::recursive_mutex> guard(fLock);
		fOpeningPointer = BPoint(-1, -1);
	}
	InjectMouseMoved(where);
}

void
SdlBackend::_HandleMouseWheel(const SDL_MouseWheelEvent& event)
{
	// The wheel turns where the pointer is; SDL's wheel goes up and right
	// positive, the platform's down and right.
	BPoint where;
	GetPointer(&where, nullptr);
	float deltaX, deltaY;
	sdl_wheel_deltas(event.x, event.y, event.direction == SDL_MOUSEWHEEL_FLIPPED,
		&deltaX, &deltaY);
	InjectMouseWheel(where, deltaX, deltaY);
}

void
SdlBackend::_HandleKey(const SDL_KeyboardEvent& event, bool down)
{
	uint32 modifiers = sdl_modifiers(event.keysym.mod);
	int32 scancode = event.keysym.scancode;
	int32 code = sdl_key_code(event.keysym.scancode);
	fTextKey = -1;
	if (!down) {
		auto found = fKeyBytes.find(scancode);
		if (found == fKeyBytes.end())
			return;
		InjectKeyUp(found->second.c_str(), code, modifiers);
		fKeyBytes.erase(found);
		return;
	}

	std::string bytes = sdl_key_bytes(event.keysym.sym);
	if (bytes.empty())
		bytes = sdl_chord_bytes(event.keysym.sym, modifiers);
	if (bytes.empty()) {
		// The key types text: its bytes come with the text event next,
		// when the modifiers may have been released already.
		fTextKey = scancode;
		fTextModifiers = modifiers;
		return;
	}
	fKeyBytes[scancode] = bytes;
	InjectKeyDown(bytes.c_str(), code, modifiers);
}

void
SdlBackend::_HandleText(const SDL_TextInputEvent& event)
{
	// Text without a key before it (from an input method) has no key
	// code; text after a key pressed with Control or Alt was sent with the
	// key already.
	if (event.text[0] == '\0')
		return;
	int32 scancode = fTextKey;
	fTextKey = -1;
	if (scancode < 0 && !fKeyBytes.empty()
		&& (SDL_GetModState() & (KMOD_CTRL | KMOD_ALT)) != 0) {
		return;
	}
	uint32 modifiers = scancode >= 0 ? fTextModifiers : sdl_modifiers(SDL_GetModState());
	int32 code = scancode >= 0 ? sdl_key_code(static_cast<SDL_Scancode>(scancode)) : 0;
	if (scancode >= 0)
		fKeyBytes[scancode] = event.text;
	InjectKeyDown(event.text, code, modifiers);
	if (scancode < 0)
		InjectKeyUp(event.text, 0, modifiers);
}

} // namespace BPrivate
