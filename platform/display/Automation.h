#ifndef _AUTOMATION_H
#define _AUTOMATION_H

// Driving the interface from inside the process, as tests and the
// unattended mode do: list the windows, find views by name or controls by
// label, read their state, click and type through the display backend's
// input path (the messages real input would make), wait until every
// looper is idle, and write images of the screen or a window.
//
// Views are looked up with their window locked (waiting kAutomationWait at
// most, then failing with the lock's status), and nothing here calls a
// view's hooks: a click is a B_MOUSE_DOWN and a B_MOUSE_UP at the view's
// centre, delivered as the display delivers them.

#include <DisplayBackend.h>
#include <InterfaceDefs.h>
#include <Rect.h>

#include <cairo.h>

#include <string>
#include <vector>

class BView;
class BWindow;

namespace BPrivate {

// Generous: only a stuck program waits this long.
const bigtime_t kAutomationWait = 10000000;

class Automation {
public:
	// Windows front to back, hidden ones included.
	static std::vector<DisplayWindowInfo> Windows();
	// The front-most shown window with the title (any title when nullptr).
	static bool FindWindow(const char* title, DisplayWindowInfo* info);
	// Waits until such a window is shown.
	static bool WaitForWindow(const char* title, DisplayWindowInfo* info,
		bigtime_t timeout = kAutomationWait);

	// The view named nameOrLabel, else the first control with that label.
	// Its frame in screen coordinates.
	static status_t GetViewFrame(int32 window, const char* nameOrLabel, BRect* frame);
	static status_t GetValue(int32 window, const char* nameOrLabel, int32* value);
	static status_t GetLabel(int32 window, const char* nameOrLabel, std::string* label);
	static status_t IsEnabled(int32 window, const char* nameOrLabel, bool* enabled);
	// The text a view shows (a string view, an alert's message).
	static status_t GetText(int32 window, const char* nameOrLabel, std::string* text);

	// A press and release of the primary button at the view's centre.
	static status_t Click(int32 window, const char* nameOrLabel, uint32 modifiers = 0);
	static status_t ClickAt(BPoint screenWhere, uint32 buttons = B_PRIMARY_MOUSE_BUTTON,
		uint32 modifiers = 0);
	static status_t MoveMouseTo(BPoint screenWhere);
	// The parts of a click, for presses that are held: press, move in
	// steps with the button down, release.
	static status_t PressMouse(BPoint screenWhere, uint32 buttons = B_PRIMARY_MOUSE_BUTTON,
		uint32 modifiers = 0);
	static status_t ReleaseMouse(BPoint screenWhere, uint32 modifiers = 0);
	static status_t DragMouse(BPoint from, BPoint to, int32 steps = 4,
		uint32 modifiers = 0);
	// Turns the wheel by notches (positive: down) with the pointer there.
	static status_t TurnWheel(BPoint screenWhere, float notches);
	// Clicks the item with the label in the open menu that has one (open
	// it first by clicking its menu field or bar), waiting for the menu to
	// open.
	static status_t ChooseMenuItem(const char* label, bigtime_t timeout = kAutomationWait);
	// Whether a menu is open.
	static bool IsMenuOpen();
	static status_t PressCloseBox(int32 window);
	// A key down and up in the active window: bytes as the key produces
	// them (B_ENTER, "a", ...).
	static status_t PressKey(const char* bytes, uint32 modifiers = 0);
	static status_t PressKey(char byte, uint32 modifiers = 0);
	static status_t TypeText(const char* text);

	// True once every looper's queue is empty or its thread is blocked
	// waiting, several times in a row; false after the timeout.
	static bool WaitUntilIdle(bigtime_t timeout = kAutomationWait);

	static status_t WriteScreenPNG(const char* path);
	static status_t WriteWindowPNG(int32 window, const char* path);
	// The screen as shown now, or a copy of the last frame a window
	// presented (nullptr before its first); the caller destroys it.
	static cairo_surface_t* CaptureScreen();
	static cairo_surface_t* CaptureWindow(int32 window);

private:
	template<typename Action>
	static status_t _WithView(int32 window, const char* nameOrLabel, Action action);
};

} // namespace BPrivate

#endif // _AUTOMATION_H
