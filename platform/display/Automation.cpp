#include <Automation.h>

#include <Alert.h>
#include <AlertTextView.h>
#include <Control.h>
#include <Menu.h>
#include <MenuItem.h>
#include <MenuWindow.h>
#include <ObjectRegistry.h>
#include <StringView.h>
#include <TextView.h>
#include <Window.h>

#include <cctype>
#include <cmath>
#include <cstring>

namespace BPrivate {

namespace {

DisplayBackend*
backend()
{
	return DisplayBackend::Default();
}

BView*
find_control_by_label(BView* view, const char* label)
{
	if (BControl* control = dynamic_cast<BControl*>(view)) {
		if (control->Label() != nullptr && strcmp(control->Label(), label) == 0)
			return control;
	}
	for (int32 i = 0; i < view->CountChildren(); i++) {
		if (BView* found = find_control_by_label(view->ChildAt(i), label))
			return found;
	}
	return nullptr;
}

BView*
find_view(BWindow* window, const char* nameOrLabel)
{
	if (nameOrLabel == nullptr)
		return nullptr;
	if (BView* view = window->FindView(nameOrLabel))
		return view;
	for (int32 i = 0; i < window->CountChildren(); i++) {
		if (BView* found = find_control_by_label(window->ChildAt(i), nameOrLabel))
			return found;
	}
	return nullptr;
}

// The platform's key codes for the keys that make these characters.
int32
key_code_for(char byte)
{
	switch (byte) {
		case B_ENTER:
			return 0x47;
		case B_ESCAPE:
			return 0x01;
		case B_TAB:
			return 0x26;
		case B_SPACE:
			return 0x5e;
		case B_BACKSPACE:
			return 0x1e;
		case B_UP_ARROW:
			return 0x57;
		case B_DOWN_ARROW:
			return 0x62;
		case B_LEFT_ARROW:
			return 0x61;
		case B_RIGHT_ARROW:
			return 0x63;
		case B_HOME:
			return 0x20;
		case B_END:
			return 0x35;
		case B_PAGE_UP:
			return 0x21;
		case B_PAGE_DOWN:
			return 0x36;
		case B_DELETE:
			return 0x34;
		default:
			return 0;
	}
}

} // namespace

std::vector<DisplayWindowInfo>
Automation::Windows()
{
	return backend()->Windows();
}

bool
Automation::FindWindow(const char* title, DisplayWindowInfo* info)
{
	for (const DisplayWindowInfo& window : backend()->Windows()) {
		if (window.hidden)
			continue;
		if (title == nullptr || window.title == title) {
			*info = window;
			return true;
		}
	}
	return false;
}

bool
Automation::WaitForWindow(const char* title, DisplayWindowInfo* info, bigtime_t timeout)
{
	bigtime_t deadline = system_time() + timeout;
	do {
		if (FindWindow(title, info))
			return true;
		snooze(2000);
	} while (system_time() < deadline);
	return false;
}

template<typename Action>
status_t
Automation::_WithView(int32 windowID, const char* nameOrLabel, Action action)
{
	DisplayWindowInfo info;
	if (!backend()->GetWindow(windowID, &info))
		return B_BAD_VALUE;
	// Bounded: a window whose thread waits on an alert keeps its lock until
	// the alert is answered, possibly by the very caller waiting here.
	status_t locked = info.target.LockTargetWithTimeout(kAutomationWait);
	if (locked != B_OK)
		return locked;
	BLooper* looper = nullptr;
	info.target.Target(&looper);
	BWindow* window = dynamic_cast<BWindow*>(looper);
	status_t status = B_NAME_NOT_FOUND;
	if (window != nullptr) {
		if (BView* view = find_view(window, nameOrLabel))
			status = action(view);
	}
	looper->Unlock();
	return status;
}

status_t
Automation::GetViewFrame(int32 window, const char* nameOrLabel, BRect* frame)
{
	return _WithView(window, nameOrLabel, [frame](BView* view) {
		*frame = view->ConvertToScreen(view->Bounds());
		return B_OK;
	});
}

status_t
Automation::GetValue(int32 window, const char* nameOrLabel, int32* value)
{
	return _WithView(window, nameOrLabel, [value](BView* view) {
		BControl* control = dynamic_cast<BControl*>(view);
		if (control == nullptr)
			return B_BAD_TYPE;
		*value = control->Value();
		return B_OK;
	});
}

status_t
Automation::GetLabel(int32 window, const char* nameOrLabel, std::string* label)
{
	return _WithView(window, nameOrLabel, [label](BView* view) {
		BControl* control = dynamic_cast<BControl*>(view);
		if (control == nullptr)
			return B_BAD_TYPE;
		*label = control->Label() != nullptr ? control->Label() : "";
		return B_OK;
	});
}

status_t
Automation::IsEnabled(int32 window, const char* nameOrLabel, bool* enabled)
{
	return _WithView(window, nameOrLabel, [enabled](BView* view) {
		BControl* control = dynamic_cast<BControl*>(view);
		if (control == nullptr)
			return B_BAD_TYPE;
		*enabled = control->IsEnabled();
		return B_OK;
	});
}

status_t
Automation::GetText(int32 window, const char* nameOrLabel, std::string* text)
{
	return _WithView(window, nameOrLabel, [text](BView* view) {
		if (BStringView* stringView = dynamic_cast<BStringView*>(view)) {
			*text = stringView->Text() != nullptr ? stringView->Text() : "";
			return B_OK;
		}
		if (BTextView* textView = dynamic_cast<BTextView*>(view)) {
			*text = textView->Text();
			return B_OK;
		}
		if (AlertTextView* alertText = dynamic_cast<AlertTextView*>(view)) {
			*text = alertText->Text();
			return B_OK;
		}
		return B_BAD_TYPE;
	});
}

status_t
Automation::Click(int32 window, const char* nameOrLabel, uint32 modifiers)
{
	BRect frame;
	status_t status = GetViewFrame(window, nameOrLabel, &frame);
	if (status != B_OK)
		return status;
	BPoint centre(floorf((frame.left + frame.right) / 2), floorf((frame.top + frame.bottom) / 2));
	return ClickAt(centre, B_PRIMARY_MOUSE_BUTTON, modifiers);
}

status_t
Automation::ClickAt(BPoint where, uint32 buttons, uint32 modifiers)
{
	backend()->InjectMouseMoved(where);
	status_t status = backend()->InjectMouseDown(where, buttons, modifiers);
	if (status != B_OK)
		return status;
	// A release over the desktop (after a press that closed a menu) is no
	// failure.
	status = backend()->InjectMouseUp(where, modifiers);
	return status == B_ENTRY_NOT_FOUND ? B_OK : status;
}

bool
Automation::IsMenuOpen()
{
	for (const DisplayWindowInfo& window : backend()->Windows()) {
		if (window.type == kMenuWindowType && !window.hidden)
			return true;
	}
	return false;
}

status_t
Automation::ChooseMenuItem(const char* label, bigtime_t timeout)
{
	bigtime_t deadline = system_time() + timeout;
	do {
		for (const DisplayWindowInfo& info : backend()->Windows()) {
			if (info.type != kMenuWindowType || info.hidden)
				continue;
			if (info.target.LockTargetWithTimeout(kAutomationWait) != B_OK)
				continue;
			BLooper* looper = nullptr;
			info.target.Target(&looper);
			MenuWindow* window = dynamic_cast<MenuWindow*>(looper);
			BRect frame;
			bool found = false;
			if (window != nullptr && window->Menu() != nullptr) {
				BMenu* menu = window->Menu();
				for (int32 i = 0; i < menu->CountItems() && !found; i++) {
					BMenuItem* item = menu->ItemAt(i);
					if (strcmp(item->Label(), label) == 0) {
						frame = menu->ConvertToScreen(item->Frame());
						found = true;
					}
				}
			}
			looper->Unlock();
			if (found) {
				return ClickAt(BPoint(floorf((frame.left + frame.right) / 2),
					floorf((frame.top + frame.bottom) / 2)));
			}
		}
		snooze(2000);
	} while (system_time() < deadline);
	return B_NAME_NOT_FOUND;
}

status_t
Automation::MoveMouseTo(BPoint where)
{
	return backend()->InjectMouseMoved(where);
}

status_t
Automation::PressMouse(BPoint where, uint32 buttons, uint32 modifiers)
{
	backend()->InjectMouseMoved(where);
	return backend()->InjectMouseDown(where, buttons, modifiers);
}

status_t
Automation::ReleaseMouse(BPoint where, uint32 modifiers)
{
	status_t status = backend()->InjectMouseUp(where, modifiers);
	return status == B_ENTRY_NOT_FOUND ? B_OK : status;
}

status_t
Automation::DragMouse(BPoint from, BPoint to, int32 steps, uint32 modifiers)
{
	status_t status = PressMouse(from, B_PRIMARY_MOUSE_BUTTON, modifiers);
	if (status != B_OK)
		return status;
	steps = steps > 0 ? steps : 1;
	for (int32 i = 1; i <= steps; i++) {
		BPoint point(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
		backend()->InjectMouseMoved(BPoint(floorf(point.x), floorf(point.y)));
	}
	return ReleaseMouse(to, modifiers);
}

status_t
Automation::TurnWheel(BPoint where, float notches)
{
	backend()->InjectMouseMoved(where);
	return backend()->InjectMouseWheel(where, 0, notches);
}

status_t
Automation::PressCloseBox(int32 window)
{
	return backend()->PressCloseBox(window);
}

status_t
Automation::PressKey(const char* bytes, uint32 modifiers)
{
	if (bytes == nullptr || bytes[0] == '\0')
		return B_BAD_VALUE;
	int32 key = key_code_for(bytes[0]);
	status_t status = backend()->InjectKeyDown(bytes, key, modifiers);
	if (status != B_OK)
		return status;
	// The key down may have closed the window (Enter on an alert) before
	// the key comes up; a release with nowhere to go is no failure.
	status = backend()->InjectKeyUp(bytes, key, modifiers);
	return status == B_ENTRY_NOT_FOUND ? B_OK : status;
}

status_t
Automation::PressKey(char byte, uint32 modifiers)
{
	char bytes[2] = {byte, '\0'};
	return PressKey(bytes, modifiers);
}

status_t
Automation::TypeText(const char* text)
{
	if (text == nullptr)
		return B_BAD_VALUE;
	// One key per character; a UTF-8 sequence is one key.
	for (const char* c = text; *c != '\0';) {
		int32 length = 1;
		while ((c[length] & 0xc0) == 0x80)
			length++;
		std::string bytes(c, length);
		uint32 modifiers = (bytes.size() == 1 && isupper(static_cast<uint8>(bytes[0])))
			? B_SHIFT_KEY : 0;
		status_t status = PressKey(bytes.c_str(), modifiers);
		if (status != B_OK)
			return status;
		c += length;
	}
	return B_OK;
}

bool
Automation::WaitUntilIdle(bigtime_t timeout)
{
	// A message can be on its way between two loopers while each of them
	// looks idle; several idle looks in a row, a little apart, rule that out.
	const int32 kIdleLooks = 3;
	bigtime_t deadline = system_time() + timeout;
	int32 idleLooks = 0;
	while (system_time() < deadline) {
		if (ObjectRegistry::AreAllLoopersIdle()) {
			if (++idleLooks >= kIdleLooks)
				return true;
		} else {
			idleLooks = 0;
		}
		snooze(1000);
	}
	return false;
}

status_t
Automation::WriteScreenPNG(const char* path)
{
	return backend()->WriteScreenPNG(path);
}

status_t
Automation::WriteWindowPNG(int32 window, const char* path)
{
	return backend()->WriteWindowPNG(window, path);
}

cairo_surface_t*
Automation::CaptureScreen()
{
	return backend()->ComposeScreen();
}

cairo_surface_t*
Automation::CaptureWindow(int32 window)
{
	return backend()->CaptureWindow(window);
}

} // namespace BPrivate
