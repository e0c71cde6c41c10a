#ifndef _DISPLAY_BACKEND_H
#define _DISPLAY_BACKEND_H

// What shows the interface kit's windows. Every window reports itself here
// (created, moved, resized, shown or hidden, titled, a finished frame), and
// input comes back to the windows as the platform's messages, posted to
// them: B_MOUSE_DOWN/UP/MOVED and B_MOUSE_WHEEL_CHANGED with "where" in
// window coordinates, B_KEY_DOWN/UP, B_WINDOW_ACTIVATED, B_QUIT_REQUESTED
// from a close box.
//
// The base class keeps the windows' stacking order, activation, the pointer
// and the routing of input (modal windows keep it from the others); a
// backend adds how frames reach a person. The same routing serves the
// automation, so synthesised input takes the path that real input takes.

#include <Messenger.h>
#include <Rect.h>

#include <cairo.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace BPrivate {

struct DisplayWindowInfo {
	int32 id;
	BMessenger target;
	std::string title;
	BRect frame;
	uint32 type;
	uint32 flags;
	bool hidden;
	bool active;
	bool modal;
};

class DisplayBackend {
public:
	virtual ~DisplayBackend();

	// The backend in use, chosen on first use (see Select).
	static DisplayBackend* Default();
	// Chooses the backend by name ("headless" or "sdl"); nullptr means
	// $KESTROVAN_DISPLAY, else the default for this machine. Fails with a
	// message on stderr for a backend that cannot be had. Only before the
	// first window exists.
	static status_t Select(const char* name);
	// Picks "--display NAME" or "--display=NAME" out of the arguments
	// (removing it) and selects that backend.
	static status_t SelectFromArguments(int* argc, char** argv);

	virtual const char* Name() const = 0;
	// The desktop's side closes: its native windows go and nothing more is
	// shown, while the records (and the window threads that still change
	// them) stay. A program calls CloseDesktopInUse before it returns from
	// main, so that no display thread is inside the desktop's libraries
	// while the exit handlers unload them; it is also an exit handler of
	// its own, for programs that do not.
	virtual void CloseDesktop() {}
	static void CloseDesktopInUse();

	// The title the desktop shows for a window that has none of its own
	// (alerts and dialogs): the program's name until the program sets
	// another, such as the name of the package it installs.
	static void SetUntitledTitle(const char* title);
	static std::string ShownTitle(const DisplayWindowInfo& info);

	// The window side.
	int32 WindowCreated(BMessenger target, BRect frame, const char* title,
		uint32 type, uint32 flags);
	void WindowDeleted(int32 id);
	void WindowMoved(int32 id, BPoint leftTop);
	void WindowResized(int32 id, float width, float height);
	void WindowShown(int32 id, bool shown);
	void WindowTitled(int32 id, const char* title);
	void WindowFlagsChanged(int32 id, uint32 flags);
	// The window asks to be made active (and raised), or to give it up.
	void ActivateWindow(int32 id, bool active);
	// A copy of the window's finished frame (B_RGB32 rows).
	void FrameReady(int32 id, const uint8* pixels, int32 width, int32 height,
		int32 bytesPerRow);

	// The screen in layout units: every monitor's frame lies in it.
	BRect ScreenFrame() const;
	void SetScreenSize(int32 width, int32 height);
	// The monitors' frames in layout units, the first display first; none
	// means the screen is one monitor.
	void SetMonitors(const std::vector<BRect>& frames);
	// The monitor that shows windows opening now: the one under the
	// pointer, else the first, else the whole screen.
	BRect MonitorFrame() const;
	// How many pixels a layout unit takes (see DisplayScale): windows
	// made from now on draw at it. Fixed while any window exists
	// (B_NOT_ALLOWED); B_BAD_VALUE outside DisplayScale's range.
	float Scale() const;
	status_t SetScale(float scale);
	void GetPointer(BPoint* screenWhere, uint32* buttons) const;
	uint32 Modifiers() const;

	// Windows front to back.
	std::vector<DisplayWindowInfo> Windows() const;
	bool GetWindow(int32 id, DisplayWindowInfo* info) const;

	// Input, as a device or the automation delivers it. A device that
	// counts clicks itself passes its count; 0 lets the backend count.
	status_t InjectMouseDown(BPoint screenWhere, uint32 buttons, uint32 modifiers,
		int32 clicks = 0);
	status_t InjectMouseUp(BPoint screenWhere, uint32 modifiers);
	status_t InjectMouseMoved(BPoint screenWhere);
	// A turn of the wheel, in notches (positive: down or right), as
	// B_MOUSE_WHEEL_CHANGED to the window under the pointer.
	status_t InjectMouseWheel(BPoint screenWhere, float deltaX, float deltaY);
	// Goes to the active window (the modal window while one is shown).
	status_t InjectKeyDown(const char* bytes, int32 key, uint32 modifiers);
	status_t InjectKeyUp(const char* bytes, int32 key, uint32 modifiers);
	// A press on the window's close box: B_QUIT_REQUESTED, when the window
	// has one (titled and modal windows not made B_NOT_CLOSABLE) and no
	// modal window keeps input from it.
	status_t PressCloseBox(int32 id);
	// The person moved or resized the window: B_WINDOW_MOVED ("where") or
	// B_WINDOW_RESIZED ("width", "height"), unless its flags forbid it.
	status_t DragWindow(int32 id, BPoint leftTop);
	status_t DragWindowSize(int32 id, float width, float height);

	// The screen as it looks now (an RGB24 image the caller destroys), and
	// PNG files of the screen or one window's content; both in pixels, at
	// the scale.
	cairo_surface_t* ComposeScreen() const;
	cairo_surface_t* CaptureWindow(int32 id) const;
	status_t WriteScreenPNG(const char* path) const;
	status_t WriteWindowPNG(int32 id, const char* path) const;

protected:
	DisplayBackend();

	// Where the pointer is, as the desktop tells it before any input: no
	// window is told.
	void PlacePointer(BPoint screenWhere);

	// Hooks for a backend that shows windows somewhere: called with the
	// backend's lock held, after the change is recorded.
	virtual void WindowChanged(int32 id);
	virtual void WindowFramePresented(int32 id);
	// The scale was set (before any window exists).
	virtual void ScaleChanged();

	struct Window {
		DisplayWindowInfo info;
		cairo_surface_t* content = nullptr;
	};

	mutable std::recursive_mutex fLock;

private:
	Window* _Find(int32 id);
	const Window* _Find(int32 id) const;
	const Window* _ModalWindow() const;
	const Window* _KeyWindow() const;
	status_t _InjectKey(uint32 what, const char* bytes, int32 key,
		uint32 modifiers);
	const Window* _WindowAt(BPoint screenWhere) const;
	void _Raise(int32 id);
	void _SetActive(int32 id);
	void _Post(const Window& window, BMessage* message) const;
	bool _InputAllowed(const Window& window) const;
	void _DrawDecoration(cairo_t* cr, const Window& window) const;
	void _PaintContent(cairo_t* cr, const Window& window) const;

	std::vector<std::unique_ptr<Window>> fWindows; // front first
	int32 fNextId;
	int32 fActive;
	BRect fScreen;
	std::vector<BRect> fMonitors;
	float fScale;
	BPoint fPointer;
	uint32 fButtons;
	uint32 fModifiers;
	int32 fGrab;
	int32 fLastClickWindow;
	bigtime_t fLastClickTime;
	BPoint fLastClickWhere;
	int32 fClicks;
};

} // namespace BPrivate

#endif // _DISPLAY_BACKEND_H
