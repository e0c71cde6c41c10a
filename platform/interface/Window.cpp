#include <Window.h>

#include <Application.h>
#include <Button.h>
#include <DisplayBackend.h>
#include <DisplayScale.h>
#include <Message.h>
#include <Messenger.h>
#include <TextView.h>
#include <View.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

using BPrivate::DisplayBackend;
using BPrivate::DisplayScale;

namespace {

// Asks the window to redraw what is invalid and hand its frame on.
const uint32 kUpdateMessage = '_UPD';
// A window shows at most one frame in this time: a view changed by every
// message of a busy stream (a progress bar) is drawn as often as a person
// can see, not once per message.
const bigtime_t kFrameInterval = 1000000 / 60;

// Never destroyed: a window's thread may still be deleting its window
// while the exit handlers run.
std::mutex& sWindowsLock = *new std::mutex;
std::vector<BWindow*>& sWindows = *new std::vector<BWindow*>;

// The application's side of quitting: every window is asked (unless
// forced) and quits; one that refuses stops the round.
bool
quit_all_windows(bool force)
{
	std::vector<BMessenger> windows;
	{
		std::lock_guard<std::mutex> guard(sWindowsLock);
		for (BWindow* window : sWindows)
			windows.push_back(BMessenger(window));
	}
	for (const BMessenger& messenger : windows) {
		if (!messenger.LockTarget())
			continue;
		BLooper* looper = nullptr;
		messenger.Target(&looper);
		BWindow* window = dynamic_cast<BWindow*>(looper);
		if (window == nullptr) {
			looper->Unlock();
			continue;
		}
		if (!force && !window->QuitRequested()) {
			window->Unlock();
			return false;
		}
		window->Quit();
	}
	return true;
}

void
register_window(BWindow* window)
{
	static std::once_flag hookInstalled;
	std::call_once(hookInstalled, [] { BPrivate::set_quit_windows_hook(quit_all_windows); });
	std::lock_guard<std::mutex> guard(sWindowsLock);
	sWindows.push_back(window);
}

void
unregister_window(BWindow* window)
{
	std::lock_guard<std::mutex> guard(sWindowsLock);
	sWindows.erase(std::remove(sWindows.begin(), sWindows.end(), window), sWindows.end());
}

bool
is_tracked_mouse_message(const BMessage* message)
{
	return message->what == B_MOUSE_MOVED || message->what == B_MOUSE_UP;
}

void
collect_navigable(BView* view, std::vector<BView*>* views)
{
	if (view->IsHidden())
		return;
	if ((view->Flags() & B_NAVIGABLE) != 0)
		views->push_back(view);
	for (int32 i = 0; i < view->CountChildren(); i++)
		collect_navigable(view->ChildAt(i), views);
}

} // namespace

// #pragma mark - the application's windows

int32
BApplication::CountWindows() const
{
	std::lock_guard<std::mutex> guard(sWindowsLock);
	return static_cast<int32>(sWindows.size());
}

BWindow*
BApplication::WindowAt(int32 index) const
{
	std::lock_guard<std::mutex> guard(sWindowsLock);
	if (index < 0 || index >= static_cast<int32>(sWindows.size()))
		return nullptr;
	return sWindows[index];
}

// #pragma mark - life

BWindow::BWindow(BRect frame, const char* title, window_type type, uint32 flags, uint32)
	:
	BLooper(title),
	fTitle(title != nullptr ? title : ""),
	fType(type),
	fFlags(flags),
	fFrame(floorf(frame.left), floorf(frame.top), floorf(frame.right), floorf(frame.bottom)),
	fMinWidth(0),
	fMaxWidth(32768),
	fMinHeight(0),
	fMaxHeight(32768),
	fShowLevel(1),
	fThreadStarted(false),
	fActive(false),
	fDisplayID(-1),
	fTopView(nullptr),
	fFocus(nullptr),
	fMouseView(nullptr),
	fLastMovedView(nullptr),
	fDefaultButton(nullptr),
	fLastButtons(0),
	fBackingStore(nullptr),
	fInUpdate(false),
	fUpdatesDisabled(0),
	fFrameDirty(false),
	fLastFrameTime(0),
	fUpdatePending(false)
{
	_CreateBackingStore();
	fTopView = new BView(Bounds(), "top view", B_FOLLOW_ALL, 0);
	fTopView->_Attach(this);
	fDisplayID = DisplayBackend::Default()->WindowCreated(BMessenger(this), fFrame,
		fTitle.c_str(), type, flags);
	register_window(this);
}

BWindow::~BWindow()
{
	unregister_window(this);
	fTopView->_Detach();
	delete fTopView;
	fTopView = nullptr;
	DisplayBackend::Default()->WindowDeleted(fDisplayID);
	if (fBackingStore != nullptr)
		cairo_surface_destroy(fBackingStore);
}

thread_id
BWindow::Run()
{
	fThreadStarted = true;
	return BLooper::Run();
}

void
BWindow::Quit()
{
	// Off the screen at once, so that nothing more reaches the window.
	DisplayBackend::Default()->WindowShown(fDisplayID, false);
	if ((fFlags & B_QUIT_ON_WINDOW_CLOSE) != 0 && be_app != nullptr)
		be_app->PostMessage(B_QUIT_REQUESTED);
	BLooper::Quit();
}

void
BWindow::_CreateBackingStore()
{
	if (fBackingStore != nullptr)
		cairo_surface_destroy(fBackingStore);
	// Views draw in layout units; the store holds the pixels the display
	// shows them with, so that text and lines are drawn at its resolution.
	float scale = DisplayBackend::Default()->Scale();
	fBackingStore = cairo_image_surface_create(CAIRO_FORMAT_RGB24,
		DisplayScale::Pixels(static_cast<int>(fFrame.Width()) + 1, scale),
		DisplayScale::Pixels(static_cast<int>(fFrame.Height()) + 1, scale));
	cairo_surface_set_device_scale(fBackingStore, scale, scale);
}

// #pragma mark - messages

void
BWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (handler != this) {
		BLooper::DispatchMessage(message, handler);
		return;
	}
	switch (message->what) {
		case kUpdateMessage:
			_UpdateAtFrameRate();
			break;
		case B_MOUSE_DOWN:
		case B_MOUSE_UP:
		case B_MOUSE_MOVED:
			_HandleMouse(message);
			break;
		case B_KEY_DOWN:
		case B_KEY_UP:
			_HandleKey(message);
			break;
		case B_MOUSE_WHEEL_CHANGED:
		{
			// The view under the pointer scrolls, or passes the wheel to
			// the views around it.
			BPoint where;
			BView* view = message->FindPoint("where", &where) == B_OK
				? fTopView->_ViewAt(where) : nullptr;
			if (view != nullptr)
				view->MessageReceived(message);
			break;
		}
		case B_WINDOW_MOVED:
		{
			// The display moved the window (a person dragged it).
			BPoint where;
			if (message->FindPoint("where", &where) == B_OK)
				MoveTo(where);
			break;
		}
		case B_WINDOW_RESIZED:
		{
			// The display resized the window; its views follow.
			int32 width, height;
			if (message->FindInt32("width", &width) == B_OK
				&& message->FindInt32("height", &height) == B_OK) {
				ResizeTo(width, height);
			}
			break;
		}
		case B_WINDOW_ACTIVATED:
		{
			bool active;
			if (message->FindBool("active", &active) != B_OK || active == fActive)
				break;
			fActive = active;
			WindowActivated(active);
			fTopView->_ActivateTree(active);
			break;
		}
		default:
			BLooper::DispatchMessage(message, handler);
			break;
	}
}

void
BWindow::MessageReceived(BMessage* message)
{
	BLooper::MessageReceived(message);
}

void
BWindow::_HandleMouse(BMessage* message)
{
	BPoint where;
	if (message->FindPoint("where", &where) != B_OK)
		return;
	int32 buttons = 0;
	message->FindInt32("buttons", &buttons);
	fLastMouse = where;

	BView* view = nullptr;
	switch (message->what) {
		case B_MOUSE_DOWN:
			fLastButtons = buttons;
			view = fTopView->_ViewAt(where);
			fMouseView = view;
			break;
		case B_MOUSE_UP:
			fLastButtons = 0;
			view = fMouseView != nullptr ? fMouseView : fTopView->_ViewAt(where);
			fMouseView = nullptr;
			break;
		default:
			fLastButtons = buttons;
			view = fMouseView != nullptr ? fMouseView : fTopView->_ViewAt(where);
			break;
	}
	if (view == nullptr)
		return;

	// The views see "where" in their own coordinates.
	BPoint viewWhere = view->_ConvertFromWindow(where);
	message->ReplacePoint("where", viewWhere);
	switch (message->what) {
		case B_MOUSE_DOWN:
			view->MouseDown(viewWhere);
			break;
		case B_MOUSE_UP:
			view->MouseUp(viewWhere);
			break;
		default:
		{
			uint32 transit = B_INSIDE_VIEW;
			if (view != fLastMovedView) {
				if (fLastMovedView != nullptr) {
					fLastMovedView->MouseMoved(fLastMovedView->_ConvertFromWindow(where),
						B_EXITED_VIEW, nullptr);
				}
				fLastMovedView = view;
				transit = B_ENTERED_VIEW;
			}
			view->MouseMoved(viewWhere, transit, nullptr);
			break;
		}
	}
}

void
BWindow::_HandleKey(BMessage* message)
{
	const char* bytes;
	if (message->FindString("bytes", &bytes) != B_OK || bytes[0] == '\0')
		return;
	int32 length = static_cast<int32>(strlen(bytes));
	int32 modifiers = 0;
	message->FindInt32("modifiers", &modifiers);

	if (message->what == B_KEY_UP) {
		if (fFocus != nullptr)
			fFocus->KeyUp(bytes, length);
		return;
	}
	// An editable text view takes Enter and Tab as text.
	BTextView* text = dynamic_cast<BTextView*>(fFocus);
	if (text != nullptr && text->IsEditable() && length == 1
		&& (bytes[0] == B_ENTER || bytes[0] == B_TAB)
		&& (modifiers & (B_COMMAND_KEY | B_CONTROL_KEY | B_OPTION_KEY)) == 0) {
		text->KeyDown(bytes, length);
		return;
	}
	if (length == 1 && bytes[0] == B_ENTER && fFocus != nullptr && fFocus->_TakesEnter()) {
		fFocus->KeyDown(bytes, length);
		return;
	}
	if (length == 1 && bytes[0] == B_ENTER && fDefaultButton != nullptr
		&& fDefaultButton->IsEnabled() && !fDefaultButton->IsHidden()) {
		fDefaultButton->KeyDown(bytes, length);
		return;
	}
	if (length == 1 && bytes[0] == B_TAB
		&& (modifiers & (B_COMMAND_KEY | B_CONTROL_KEY | B_OPTION_KEY)) == 0) {
		_NavigateFocus((modifiers & B_SHIFT_KEY) != 0);
		return;
	}
	if (fFocus != nullptr)
		fFocus->KeyDown(bytes, length);
}

void
BWindow::_NavigateFocus(bool backwards)
{
	std::vector<BView*> views;
	collect_navigable(fTopView, &views);
	if (views.empty())
		return;
	auto current = std::find(views.begin(), views.end(), fFocus);
	int32 count = static_cast<int32>(views.size());
	int32 index = current == views.end() ? (backwards ? count - 1 : 0)
		: static_cast<int32>(current - views.begin()) + (backwards ? -1 : 1);
	index = (index + count) % count;
	views[index]->MakeFocus(true);
}

// #pragma mark - showing

void
BWindow::Show()
{
	Lock();
	fShowLevel--;
	// The thread first: a window the display shows has a thread that is
	// about to draw it, so nobody sees it idle and undrawn.
	if (!fThreadStarted)
		Run();
	if (fShowLevel == 0) {
		_Invalidate(Bounds());
		DisplayBackend::Default()->WindowShown(fDisplayID, true);
	}
	Unlock();
}

void
BWindow::Hide()
{
	Lock();
	fShowLevel++;
	if (fShowLevel == 1)
		DisplayBackend::Default()->WindowShown(fDisplayID, false);
	Unlock();
}

bool
BWindow::IsHidden() const
{
	return fShowLevel > 0;
}

void BWindow::FrameMoved(BPoint) {}
void BWindow::FrameResized(float, float) {}
void BWindow::WindowActivated(bool) {}
void BWindow::Minimize(bool minimize) { minimize ? Hide() : Show(); }
void BWindow::Zoom() {}

void
BWindow::Activate(bool active)
{
	DisplayBackend::Default()->ActivateWindow(fDisplayID, active);
}

// #pragma mark - views

void
BWindow::AddChild(BView* child, BView* before)
{
	fTopView->AddChild(child, before);
}

bool
BWindow::RemoveChild(BView* child)
{
	return fTopView->RemoveChild(child);
}

int32
BWindow::CountChildren() const
{
	return fTopView->CountChildren();
}

BView*
BWindow::ChildAt(int32 index) const
{
	return fTopView->ChildAt(index);
}

BView*
BWindow::FindView(const char* name) const
{
	for (int32 i = 0; i < fTopView->CountChildren(); i++) {
		if (BView* found = fTopView->ChildAt(i)->FindView(name))
			return found;
	}
	return nullptr;
}

BView*
BWindow::FindView(BPoint point) const
{
	BView* view = fTopView->_ViewAt(point);
	return view != fTopView ? view : nullptr;
}

void
BWindow::_ViewDetached(BView* view)
{
	if (fFocus == view)
		fFocus = nullptr;
	if (fMouseView == view)
		fMouseView = nullptr;
	if (fLastMovedView == view)
		fLastMovedView = nullptr;
	if (fDefaultButton != nullptr && static_cast<BView*>(fDefaultButton) == view)
		fDefaultButton = nullptr;
}

void
BWindow::SetDefaultButton(BButton* button)
{
	if (fDefaultButton == button)
		return;
	BButton* previous = fDefaultButton;
	fDefaultButton = button;
	if (previous != nullptr)
		previous->_SetDefaultLook(false);
	if (button != nullptr)
		button->_SetDefaultLook(true);
}

// #pragma mark - geometry

BRect
BWindow::Bounds() const
{
	return BRect(0, 0, fFrame.Width(), fFrame.Height());
}

void
BWindow::MoveBy(float dx, float dy)
{
	MoveTo(BPoint(fFrame.left + dx, fFrame.top + dy));
}

void
BWindow::MoveTo(BPoint where)
{
	where.Set(floorf(where.x), floorf(where.y));
	if (where == fFrame.LeftTop())
		return;
	fFrame.OffsetTo(where);
	DisplayBackend::Default()->WindowMoved(fDisplayID, where);
	FrameMoved(where);
}

void
BWindow::ResizeBy(float dx, float dy)
{
	ResizeTo(fFrame.Width() + dx, fFrame.Height() + dy);
}

void
BWindow::ResizeTo(float width, float height)
{
	width = floorf(std::clamp(width, fMinWidth, fMaxWidth));
	height = floorf(std::clamp(height, fMinHeight, fMaxHeight));
	_SetFrameSize(width, height);
}

void
BWindow::_SetFrameSize(float width, float height)
{
	float dx = width - fFrame.Width();
	float dy = height - fFrame.Height();
	if (dx == 0 && dy == 0)
		return;
	fFrame.right = fFrame.left + width;
	fFrame.bottom = fFrame.top + height;
	_CreateBackingStore();
	fTopView->_MoveResize(0, 0, dx, dy);
	_Invalidate(Bounds());
	DisplayBackend::Default()->WindowResized(fDisplayID, width, height);
	FrameResized(width, height);
}

void
BWindow::SetSizeLimits(float minWidth, float maxWidth, float minHeight, float maxHeight)
{
	fMinWidth = std::max(0.0f, minWidth);
	fMaxWidth = std::max(fMinWidth, maxWidth);
	fMinHeight = std::max(0.0f, minHeight);
	fMaxHeight = std::max(fMinHeight, maxHeight);
	ResizeTo(fFrame.Width(), fFrame.Height());
}

void
BWindow::GetSizeLimits(float* minWidth, float* maxWidth, float* minHeight,
	float* maxHeight) const
{
	if (minWidth != nullptr)
		*minWidth = fMinWidth;
	if (maxWidth != nullptr)
		*maxWidth = fMaxWidth;
	if (minHeight != nullptr)
		*minHeight = fMinHeight;
	if (maxHeight != nullptr)
		*maxHeight = fMaxHeight;
}

void
BWindow::SetTitle(const char* title)
{
	fTitle = title != nullptr ? title : "";
	SetName(fTitle.c_str());
	DisplayBackend::Default()->WindowTitled(fDisplayID, fTitle.c_str());
}

void
BWindow::SetUntitledTitle(const char* title)
{
	DisplayBackend::SetUntitledTitle(title);
}

status_t
BWindow::SetFlags(uint32 flags)
{
	fFlags = flags;
	DisplayBackend::Default()->WindowFlagsChanged(fDisplayID, flags);
	return B_OK;
}

void
BWindow::ConvertToScreen(BPoint* point) const
{
	*point += fFrame.LeftTop();
}

BPoint
BWindow::ConvertToScreen(BPoint point) const
{
	return point + fFrame.LeftTop();
}

void
BWindow::ConvertToScreen(BRect* rect) const
{
	rect->OffsetBy(fFrame.LeftTop());
}

BRect
BWindow::ConvertToScreen(BRect rect) const
{
	return rect.OffsetByCopy(fFrame.left, fFrame.top);
}

void
BWindow::ConvertFromScreen(BPoint* point) const
{
	*point -= fFrame.LeftTop();
}

BPoint
BWindow::ConvertFromScreen(BPoint point) const
{
	return point - fFrame.LeftTop();
}

void
BWindow::ConvertFromScreen(BRect* rect) const
{
	rect->OffsetBy(BPoint() - fFrame.LeftTop());
}

BRect
BWindow::ConvertFromScreen(BRect rect) const
{
	return rect.OffsetByCopy(-fFrame.left, -fFrame.top);
}

// #pragma mark - updates

void
BWindow::_Invalidate(BRect windowRect)
{
	fInvalid = fInvalid.IsValid() ? (fInvalid | windowRect) : windowRect;
	_RequestUpdate();
}

void
BWindow::_DrawnDirectly()
{
	if (fInUpdate)
		return;
	fFrameDirty = true;
	_RequestUpdate();
}

void
BWindow::_RequestUpdate()
{
	if (!fUpdatePending.exchange(true))
		PostMessage(kUpdateMessage);
}

void
BWindow::_Update()
{
	fUpdatePending = false;
	if (fShowLevel > 0 || fUpdatesDisabled > 0)
		return;
	if (fInvalid.IsValid()) {
		fUpdateRect = fInvalid & Bounds();
		fInvalid = BRect();
		if (fUpdateRect.IsValid()) {
			fInUpdate = true;
			fTopView->_Redraw(fUpdateRect);
			fInUpdate = false;
			fFrameDirty = true;
		}
	}
	if (fFrameDirty)
		_FlushFrame();
}

// An update asked for within a frame of the last one waits for that frame to
// end; the window counts as busy until then, and changes made meanwhile join
// the same update.
void
BWindow::_UpdateAtFrameRate()
{
	bigtime_t due = fLastFrameTime + kFrameInterval;
	if (system_time() < due) {
		BMessage* later = new BMessage(kUpdateMessage);
		if (_PostAt(later, due) == B_OK)
			return;
		delete later;
	}
	_Update();
}

void
BWindow::_FlushFrame() const
{
	fFrameDirty = false;
	fLastFrameTime = system_time();
	cairo_surface_flush(fBackingStore);
	DisplayBackend::Default()->FrameReady(fDisplayID,
		cairo_image_surface_get_data(fBackingStore),
		cairo_image_surface_get_width(fBackingStore),
		cairo_image_surface_get_height(fBackingStore),
		cairo_image_surface_get_stride(fBackingStore));
}

void
BWindow::UpdateIfNeeded()
{
	if (find_thread(nullptr) != Thread())
		return;
	_Update();
}

void
BWindow::Flush() const
{
	if (fFrameDirty && fShowLevel <= 0)
		_FlushFrame();
}

void
BWindow::Sync() const
{
	Flush();
}

void
BWindow::DisableUpdates()
{
	fUpdatesDisabled++;
}

void
BWindow::EnableUpdates()
{
	if (fUpdatesDisabled > 0 && --fUpdatesDisabled == 0)
		_RequestUpdate();
}

void
BWindow::_GetMouse(BPoint* where, uint32* buttons, bool checkQueue)
{
	// A tracking loop shows what it draws as it goes.
	Flush();
	if (checkQueue) {
		if (BMessage* message = _TakeQueuedMessage(is_tracked_mouse_message)) {
			message->FindPoint("where", &fLastMouse);
			int32 down = 0;
			message->FindInt32("buttons", &down);
			fLastButtons = message->what == B_MOUSE_UP ? 0 : down;
			if (message->what == B_MOUSE_UP)
				fMouseView = nullptr;
			delete message;
			*where = fLastMouse;
			*buttons = fLastButtons;
			return;
		}
	}
	BPoint screen;
	uint32 down = 0;
	DisplayBackend::Default()->GetPointer(&screen, &down);
	*where = ConvertFromScreen(screen);
	*buttons = down;
}
