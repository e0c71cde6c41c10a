#include <DisplayBackend.h>

#include <DisplayScale.h>
#include <HeadlessBackend.h>
#include <SdlBackend.h>
#include <InterfaceDefs.h>
#include <MenuWindow.h>
#include <Message.h>
#include <Window.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace BPrivate {

namespace {

// Two presses closer than this in time and space make a double click.
const bigtime_t kDoubleClickTime = 500000;
const float kDoubleClickDistance = 4.0f;

// Height of the title bar drawn above titled windows in screen images.
const float kTabHeight = 18.0f;

std::mutex sSelectLock;
// Made once and never destroyed: window threads may still be deleting their
// windows (and telling the backend) while the process runs its exit
// handlers. Choosing another backend still replaces the one in use.
std::unique_ptr<DisplayBackend>& sBackend = *new std::unique_ptr<DisplayBackend>;

std::mutex sUntitledLock;
// Empty: the program's name.
std::string& sUntitledTitle = *new std::string;

bool
is_menu(uint32 type)
{
	return type == kMenuWindowType;
}

bool
is_modal(uint32 type)
{
	return type == B_MODAL_WINDOW;
}

bool
has_title_bar(uint32 type)
{
	return type == B_TITLED_WINDOW || type == B_DOCUMENT_WINDOW
		|| type == B_FLOATING_WINDOW;
}

// A desktop frames modal windows too, and gives them a close box.
bool
has_close_box(uint32 type)
{
	return has_title_bar(type) || is_modal(type);
}

} // namespace

// #pragma mark - choosing a backend

DisplayBackend::DisplayBackend()
	:
	fNextId(1),
	fActive(-1),
	fScreen(0, 0, 1023, 767),
	fScale(DisplayScale::kMinimum),
	fButtons(0),
	fModifiers(0),
	fGrab(-1),
	fLastClickWindow(-1),
	fLastClickTime(0),
	fClicks(0)
{
}

DisplayBackend::~DisplayBackend()
{
	for (auto& window : fWindows) {
		if (window->content != nullptr)
			cairo_surface_destroy(window->content);
	}
}

status_t
DisplayBackend::Select(const char* name)
{
	if (name == nullptr)
		name = getenv("KESTROVAN_DISPLAY");
	// Unasked, a display where one opens and no screen otherwise.
	bool fallBack = name == nullptr || name[0] == '\0';
	if (fallBack)
		name = SdlBackend::DisplayNamed() ? "sdl" : "headless";

	std::lock_guard<std::mutex> guard(sSelectLock);
	if (sBackend != nullptr && strcmp(sBackend->Name(), name) == 0)
		return B_OK;
	if (strcmp(name, "sdl") == 0) {
		std::string error;
		std::unique_ptr<DisplayBackend> backend = SdlBackend::Open(&error);
		if (backend != nullptr) {
			sBackend = std::move(backend);
			static bool sCloseAtExit = atexit(CloseDesktopInUse) == 0;
			(void)sCloseAtExit;
			return B_OK;
		}
		if (!fallBack) {
			fprintf(stderr, "display: the sdl display backend is not available: %s\n",
				error.c_str());
			return B_UNSUPPORTED;
		}
		name = "headless";
	}
	if (strcmp(name, "headless") == 0) {
		if (sBackend == nullptr || strcmp(sBackend->Name(), "headless") != 0)
			sBackend = std::make_unique<HeadlessBackend>();
		return B_OK;
	}
	fprintf(stderr, "display: unknown display backend \"%s\" "
		"(choose sdl or headless)\n", name);
	return B_BAD_VALUE;
}

status_t
DisplayBackend::SelectFromArguments(int* argc, char** argv)
{
	const char* chosen = nullptr;
	int kept = 0;
	for (int i = 0; i < *argc; i++) {
		if (strcmp(argv[i], "--display") == 0 && i + 1 < *argc) {
			chosen = argv[++i];
			continue;
		}
		if (strncmp(argv[i], "--display=", 10) == 0) {
			chosen = argv[i] + 10;
			continue;
		}
		argv[kept++] = argv[i];
	}
	if (kept < *argc)
		argv[kept] = nullptr;
	*argc = kept;
	return Select(chosen);
}

void
DisplayBackend::CloseDesktopInUse()
{
	// Not under the choosing lock: the display thread may ask for the
	// backend in use while it ends.
	DisplayBackend* backend;
	{
		std::lock_guard<std::mutex> guard(sSelectLock);
		backend = sBackend.get();
	}
	if (backend != nullptr)
		backend->CloseDesktop();
}

DisplayBackend*
DisplayBackend::Default()
{
	{
		std::lock_guard<std::mutex> guard(sSelectLock);
		if (sBackend != nullptr)
			return sBackend.get();
	}
	if (Select(nullptr) != B_OK)
		Select("headless");
	std::lock_guard<std::mutex> guard(sSelectLock);
	return sBackend.get();
}

// #pragma mark - titles

void
DisplayBackend::SetUntitledTitle(const char* title)
{
	std::lock_guard<std::mutex> guard(sUntitledLock);
	sUntitledTitle = title != nullptr ? title : "";
}

std::string
DisplayBackend::ShownTitle(const DisplayWindowInfo& info)
{
	if (!info.title.empty())
		return info.title;
	std::lock_guard<std::mutex> guard(sUntitledLock);
	if (!sUntitledTitle.empty())
		return sUntitledTitle;
	return program_invocation_short_name;
}

// #pragma mark - the window side

int32
DisplayBackend::WindowCreated(BMessenger target, BRect frame, const char* title,
	uint32 type, uint32 flags)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	auto window = std::make_unique<Window>();
	window->info.id = fNextId++;
	window->info.target = target;
	window->info.title = title != nullptr ? title : "";
	window->info.frame = frame;
	window->info.type = type;
	window->info.flags = flags;
	window->info.hidden = true;
	window->info.active = false;
	window->info.modal = is_modal(type);
	int32 id = window->info.id;
	fWindows.insert(fWindows.begin(), std::move(window));
	WindowChanged(id);
	return id;
}

void
DisplayBackend::WindowDeleted(int32 id)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	auto found = std::find_if(fWindows.begin(), fWindows.end(),
		[id](const auto& window) { return window->info.id == id; });
	if (found == fWindows.end())
		return;
	bool wasActive = fActive == id;
	if ((*found)->content != nullptr)
		cairo_surface_destroy((*found)->content);
	fWindows.erase(found);
	if (fGrab == id)
		fGrab = -1;
	WindowChanged(id);
	if (wasActive) {
		fActive = -1;
		for (const auto& window : fWindows) {
			if (!window->info.hidden) {
				_SetActive(window->info.id);
				break;
			}
		}
	}
}

void
DisplayBackend::WindowMoved(int32 id, BPoint leftTop)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	if (Window* window = _Find(id)) {
		window->info.frame.OffsetTo(leftTop);
		WindowChanged(id);
	}
}

void
DisplayBackend::WindowResized(int32 id, float width, float height)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	if (Window* window = _Find(id)) {
		window->info.frame.right = window->info.frame.left + width;
		window->info.frame.bottom = window->info.frame.top + height;
		WindowChanged(id);
	}
}

void
DisplayBackend::WindowShown(int32 id, bool shown)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	Window* window = _Find(id);
	if (window == nullptr || window->info.hidden == !shown)
		return;
	window->info.hidden = !shown;
	if (shown) {
		_Raise(id);
		if ((window->info.flags & B_AVOID_FOCUS) == 0)
			_SetActive(id);
	} else if (fActive == id) {
		_SetActive(-1);
		for (const auto& other : fWindows) {
			if (!other->info.hidden) {
				_SetActive(other->info.id);
				break;
			}
		}
	}
	WindowChanged(id);
}

void
DisplayBackend::WindowTitled(int32 id, const char* title)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	if (Window* window = _Find(id)) {
		window->info.title = title != nullptr ? title : "";
		WindowChanged(id);
	}
}

void
DisplayBackend::WindowFlagsChanged(int32 id, uint32 flags)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	if (Window* window = _Find(id))
		window->info.flags = flags;
}

void
DisplayBackend::ActivateWindow(int32 id, bool active)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	Window* window = _Find(id);
	if (window == nullptr || window->info.hidden)
		return;
	if (active) {
		_Raise(id);
		_SetActive(id);
	} else if (fActive == id) {
		_SetActive(-1);
	}
}

void
DisplayBackend::FrameReady(int32 id, const uint8* pixels, int32 width, int32 height,
	int32 bytesPerRow)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	Window* window = _Find(id);
	if (window == nullptr || width <= 0 || height <= 0)
		return;
	if (window->content == nullptr
		|| cairo_image_surface_get_width(window->content) != width
		|| cairo_image_surface_get_height(window->content) != height) {
		if (window->content != nullptr)
			cairo_surface_destroy(window->content);
		window->content = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
	}
	cairo_surface_flush(window->content);
	uint8* target = cairo_image_surface_get_data(window->content);
	int32 targetStride = cairo_image_surface_get_stride(window->content);
	for (int32 y = 0; y < height; y++)
		memcpy(target + y * targetStride, pixels + y * bytesPerRow, width * 4);
	cairo_surface_mark_dirty(window->content);
	WindowFramePresented(id);
}

void
DisplayBackend::WindowChanged(int32)
{
}

void
DisplayBackend::WindowFramePresented(int32)
{
}

void
DisplayBackend::ScaleChanged()
{
}

// #pragma mark - screen and windows

BRect
DisplayBackend::ScreenFrame() const
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	return fScreen;
}

void
DisplayBackend::SetScreenSize(int32 width, int32 height)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	fScreen.Set(0, 0, width - 1, height - 1);
}

void
DisplayBackend::SetMonitors(const std::vector<BRect>& frames)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	fMonitors = frames;
}

void
DisplayBackend::PlacePointer(BPoint screenWhere)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	fPointer = screenWhere;
}

BRect
DisplayBackend::MonitorFrame() const
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	if (fMonitors.empty())
		return fScreen;
	for (const BRect& monitor : fMonitors) {
		if (monitor.Contains(fPointer))
			return monitor;
	}
	return fMonitors.front();
}

float
DisplayBackend::Scale() const
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	return fScale;
}

status_t
DisplayBackend::SetScale(float scale)
{
	if (!(scale >= DisplayScale::kMinimum && scale <= DisplayScale::kMaximum))
		return B_BAD_VALUE;
	std::lock_guard<std::recursive_mutex> guard(fLock);
	// A window's backing store was made at the scale of its day.
	if (!fWindows.empty() && scale != fScale)
		return B_NOT_ALLOWED;
	fScale = scale;
	ScaleChanged();
	return B_OK;
}

void
DisplayBackend::GetPointer(BPoint* screenWhere, uint32* buttons) const
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	if (screenWhere != nullptr)
		*screenWhere = fPointer;
	if (buttons != nullptr)
		*buttons = fButtons;
}

uint32
DisplayBackend::Modifiers() const
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	return fModifiers;
}

std::vector<DisplayWindowInfo>
DisplayBackend::Windows() const
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	std::vector<DisplayWindowInfo> windows;
	for (const auto& window : fWindows)
		windows.push_back(window->info);
	return windows;
}

bool
DisplayBackend::GetWindow(int32 id, DisplayWindowInfo* info) const
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	const Window* window = _Find(id);
	if (window == nullptr)
		return false;
	*info = window->info;
	return true;
}

DisplayBackend::Window*
DisplayBackend::_Find(int32 id)
{
	for (auto& window : fWindows) {
		if (window->info.id == id)
			return window.get();
	}
	return nullptr;
}

const DisplayBackend::Window*
DisplayBackend::_Find(int32 id) const
{
	for (const auto& window : fWindows) {
		if (window->info.id == id)
			return window.get();
	}
	return nullptr;
}

const DisplayBackend::Window*
DisplayBackend::_ModalWindow() const
{
	for (const auto& window : fWindows) {
		if (window->info.modal && !window->info.hidden)
			return window.get();
	}
	return nullptr;
}

const DisplayBackend::Window*
DisplayBackend::_WindowAt(BPoint where) const
{
	for (const auto& window : fWindows) {
		if (!window->info.hidden && window->info.frame.Contains(where))
			return window.get();
	}
	return nullptr;
}

void
DisplayBackend::_Raise(int32 id)
{
	auto found = std::find_if(fWindows.begin(), fWindows.end(),
		[id](const auto& window) { return window->info.id == id; });
	if (found == fWindows.end() || found == fWindows.begin())
		return;
	std::unique_ptr<Window> window = std::move(*found);
	fWindows.erase(found);
	fWindows.insert(fWindows.begin(), std::move(window));
}

void
DisplayBackend::_SetActive(int32 id)
{
	if (fActive == id)
		return;
	if (Window* previous = _Find(fActive)) {
		previous->info.active = false;
		BMessage message(B_WINDOW_ACTIVATED);
		message.AddInt64("when", system_time());
		message.AddBool("active", false);
		_Post(*previous, &message);
	}
	fActive = -1;
	if (Window* next = _Find(id)) {
		fActive = id;
		next->info.active = true;
		BMessage message(B_WINDOW_ACTIVATED);
		message.AddInt64("when", system_time());
		message.AddBool("active", true);
		_Post(*next, &message);
	}
}

void
DisplayBackend::_Post(const Window& window, BMessage* message) const
{
	// Posting never waits: a window whose queue is full loses the event,
	// as a busy window loses events on a real display.
	window.info.target.SendMessage(message, static_cast<BHandler*>(nullptr), 0);
}

bool
DisplayBackend::_InputAllowed(const Window& window) const
{
	// Open menus take input whatever else is shown.
	if (is_menu(window.info.type))
		return true;
	const Window* modal = _ModalWindow();
	return modal == nullptr || modal == &window;
}

// #pragma mark - input

status_t
DisplayBackend::InjectMouseDown(BPoint where, uint32 buttons, uint32 modifiers,
	int32 clicks)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	fPointer = where;
	fButtons = buttons;
	fModifiers = modifiers;
	// A press outside the open menus closes them, and does nothing else.
	bool closedMenu = false;
	for (const auto& menu : fWindows) {
		if (is_menu(menu->info.type) && !menu->info.hidden
			&& !menu->info.frame.Contains(where)) {
			BMessage quit(B_QUIT_REQUESTED);
			_Post(*menu, &quit);
			closedMenu = true;
		}
	}
	const Window* window = _WindowAt(where);
	if (closedMenu && (window == nullptr || !is_menu(window->info.type))) {
		fGrab = -1;
		return B_OK;
	}
	if (window == nullptr)
		return B_ENTRY_NOT_FOUND;
	if (!_InputAllowed(*window)) {
		// A click beside the modal window brings the modal window forward.
		const Window* modal = _ModalWindow();
		_Raise(modal->info.id);
		_SetActive(modal->info.id);
		return B_NOT_ALLOWED;
	}
	int32 id = window->info.id;
	if (fActive != id && (window->info.flags & B_AVOID_FOCUS) == 0) {
		_Raise(id);
		_SetActive(id);
	}
	window = _Find(id);

	bigtime_t now = system_time();
	bool repeated = fLastClickWindow == id && now - fLastClickTime < kDoubleClickTime
		&& fabsf(where.x - fLastClickWhere.x) <= kDoubleClickDistance
		&& fabsf(where.y - fLastClickWhere.y) <= kDoubleClickDistance;
	fClicks = clicks > 0 ? clicks : repeated ? fClicks + 1 : 1;
	fLastClickWindow = id;
	fLastClickTime = now;
	fLastClickWhere = where;
	fGrab = id;

	BMessage message(B_MOUSE_DOWN);
	message.AddInt64("when", now);
	message.AddPoint("where", where - window->info.frame.LeftTop());
	message.AddPoint("screen_where", where);
	message.AddInt32("buttons", buttons);
	message.AddInt32("modifiers", modifiers);
	message.AddInt32("clicks", fClicks);
	_Post(*window, &message);
	return B_OK;
}

status_t
DisplayBackend::InjectMouseUp(BPoint where, uint32 modifiers)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	fPointer = where;
	fButtons = 0;
	fModifiers = modifiers;
	const Window* window = fGrab >= 0 ? _Find(fGrab) : _WindowAt(where);
	fGrab = -1;
	if (window == nullptr)
		return B_ENTRY_NOT_FOUND;
	if (!_InputAllowed(*window))
		return B_NOT_ALLOWED;
	BMessage message(B_MOUSE_UP);
	message.AddInt64("when", system_time());
	message.AddPoint("where", where - window->info.frame.LeftTop());
	message.AddPoint("screen_where", where);
	message.AddInt32("buttons", 0);
	message.AddInt32("modifiers", modifiers);
	_Post(*window, &message);
	return B_OK;
}

status_t
DisplayBackend::InjectMouseMoved(BPoint where)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	fPointer = where;
	const Window* window = fGrab >= 0 ? _Find(fGrab) : _WindowAt(where);
	if (window == nullptr)
		return B_ENTRY_NOT_FOUND;
	if (!_InputAllowed(*window))
		return B_NOT_ALLOWED;
	BMessage message(B_MOUSE_MOVED);
	message.AddInt64("when", system_time());
	message.AddPoint("where", where - window->info.frame.LeftTop());
	message.AddPoint("screen_where", where);
	message.AddInt32("buttons", fButtons);
	message.AddInt32("modifiers", fModifiers);
	_Post(*window, &message);
	return B_OK;
}


status_t
DisplayBackend::InjectKeyDown(const char* bytes, int32 key, uint32 modifiers)
{
	return _InjectKey(B_KEY_DOWN, bytes, key, modifiers);
}


status_t
DisplayBackend::InjectKeyUp(const char* bytes, int32 key, uint32 modifiers)
{
	return _InjectKey(B_KEY_UP, bytes, key, modifiers);
}


status_t
DisplayBackend::InjectMouseWheel(BPoint where, float deltaX, float deltaY)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	fPointer = where;
	const Window* window = _WindowAt(where);
	if (window == nullptr)
		return B_ENTRY_NOT_FOUND;
	if (!_InputAllowed(*window))
		return B_NOT_ALLOWED;
	BMessage message(B_MOUSE_WHEEL_CHANGED);
	message.AddInt64("when", system_time());
	message.AddPoint("where", where - window->info.frame.LeftTop());
	message.AddPoint("screen_where", where);
	message.AddFloat("be:wheel_delta_x", deltaX);
	message.AddFloat("be:wheel_delta_y", deltaY);
	message.AddInt32("modifiers", fModifiers);
	_Post(*window, &message);
	return B_OK;
}

// A key goes to the front-most open menu or modal window, else to the
// active one: a menu opened from the keyboard is worked from it.
const DisplayBackend::Window*
DisplayBackend::_KeyWindow() const
{
	for (const auto& window : fWindows) {
		if (!window->info.hidden && (window->info.modal || is_menu(window->info.type)))
			return window.get();
	}
	return _Find(fActive);
}

status_t
DisplayBackend::_InjectKey(uint32 what, const char* bytes, int32 key,
	uint32 modifiers)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	fModifiers = modifiers;
	const Window* window = _KeyWindow();
	if (window == nullptr || bytes == nullptr)
		return B_ENTRY_NOT_FOUND;
	BMessage message(what);
	message.AddInt64("when", system_time());
	message.AddString("bytes", bytes);
	message.AddInt8("byte", static_cast<int8>(bytes[0]));
	message.AddInt32("key", key);
	message.AddInt32("raw_char", static_cast<uint8>(bytes[0]));
	message.AddInt32("modifiers", modifiers);
	_Post(*window, &message);
	return B_OK;
}

status_t
DisplayBackend::PressCloseBox(int32 id)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	const Window* window = _Find(id);
	if (window == nullptr || window->info.hidden)
		return B_ENTRY_NOT_FOUND;
	if (!has_close_box(window->info.type) || (window->info.flags & B_NOT_CLOSABLE) != 0)
		return B_NOT_ALLOWED;
	if (!_InputAllowed(*window))
		return B_NOT_ALLOWED;
	BMessage message(B_QUIT_REQUESTED);
	_Post(*window, &message);
	return B_OK;
}

status_t
DisplayBackend::DragWindow(int32 id, BPoint leftTop)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	const Window* window = _Find(id);
	if (window == nullptr || window->info.hidden)
		return B_ENTRY_NOT_FOUND;
	if ((window->info.flags & B_NOT_MOVABLE) != 0 || !_InputAllowed(*window))
		return B_NOT_ALLOWED;
	BMessage message(B_WINDOW_MOVED);
	message.AddInt64("when", system_time());
	message.AddPoint("where", leftTop);
	_Post(*window, &message);
	return B_OK;
}

status_t
DisplayBackend::DragWindowSize(int32 id, float width, float height)
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	const Window* window = _Find(id);
	if (window == nullptr || window->info.hidden)
		return B_ENTRY_NOT_FOUND;
	if ((window->info.flags & B_NOT_RESIZABLE) != 0 || !_InputAllowed(*window))
		return B_NOT_ALLOWED;
	BMessage message(B_WINDOW_RESIZED);
	message.AddInt64("when", system_time());
	message.AddInt32("width", static_cast<int32>(width));
	message.AddInt32("height", static_cast<int32>(height));
	_Post(*window, &message);
	return B_OK;
}

// #pragma mark - images

void
DisplayBackend::_DrawDecoration(cairo_t* cr, const Window& window) const
{
	const BRect& frame = window.info.frame;
	cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
	// A one-pixel dark border around the content.
	cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
	cairo_rectangle(cr, frame.left - 0.5, frame.top - 0.5, frame.Width() + 2,
		frame.Height() + 2);
	cairo_set_line_width(cr, 1);
	cairo_stroke(cr);
	if (!has_title_bar(window.info.type))
		return;

	double tabTop = frame.top - 1 - kTabHeight;
	if (window.info.active)
		cairo_set_source_rgb(cr, 0.55, 0.62, 0.74);
	else
		cairo_set_source_rgb(cr, 0.78, 0.78, 0.78);
	cairo_rectangle(cr, frame.left - 1, tabTop, frame.Width() + 3, kTabHeight);
	cairo_fill(cr);
	cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
	cairo_rectangle(cr, frame.left - 0.5, tabTop + 0.5, frame.Width() + 2, kTabHeight);
	cairo_stroke(cr);

	double textLeft = frame.left + 6;
	if ((window.info.flags & B_NOT_CLOSABLE) == 0) {
		cairo_set_source_rgb(cr, 0.95, 0.95, 0.95);
		cairo_rectangle(cr, frame.left + 4.5, tabTop + 4.5, 9, 9);
		cairo_fill_preserve(cr);
		cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
		cairo_stroke(cr);
		textLeft += 14;
	}
	cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
	cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
		CAIRO_FONT_WEIGHT_BOLD);
	cairo_set_font_size(cr, 11);
	cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
	cairo_move_to(cr, textLeft, tabTop + kTabHeight - 5);
	cairo_show_text(cr, ShownTitle(window.info).c_str());
}

// The content pixel for pixel where the frame lies on the screen.
void
DisplayBackend::_PaintContent(cairo_t* cr, const Window& window) const
{
	cairo_save(cr);
	cairo_identity_matrix(cr);
	cairo_scale(cr, 1 / fScale, 1 / fScale);
	cairo_set_source_surface(cr, window.content,
		DisplayScale::ToPixel(window.info.frame.left, fScale),
		DisplayScale::ToPixel(window.info.frame.top, fScale));
	cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
	cairo_paint(cr);
	cairo_restore(cr);
}

cairo_surface_t*
DisplayBackend::ComposeScreen() const
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	cairo_surface_t* screen = cairo_image_surface_create(CAIRO_FORMAT_RGB24,
		DisplayScale::Pixels(fScreen.IntegerWidth() + 1, fScale),
		DisplayScale::Pixels(fScreen.IntegerHeight() + 1, fScale));
	// Laid out in layout units; the windows' contents are in pixels already.
	cairo_surface_set_device_scale(screen, fScale, fScale);
	cairo_t* cr = cairo_create(screen);
	rgb_color desktop = ui_color(B_DESKTOP_COLOR);
	cairo_set_source_rgb(cr, desktop.red / 255.0, desktop.green / 255.0,
		desktop.blue / 255.0);
	cairo_paint(cr);
	// Back to front, so that the front window ends on top.
	for (auto it = fWindows.rbegin(); it != fWindows.rend(); ++it) {
		const Window& window = **it;
		if (window.info.hidden)
			continue;
		_DrawDecoration(cr, window);
		if (window.content != nullptr)
			_PaintContent(cr, window);
	}
	cairo_destroy(cr);
	cairo_surface_flush(screen);
	return screen;
}

cairo_surface_t*
DisplayBackend::CaptureWindow(int32 id) const
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	const Window* window = _Find(id);
	if (window == nullptr || window->content == nullptr)
		return nullptr;
	int32 width = cairo_image_surface_get_width(window->content);
	int32 height = cairo_image_surface_get_height(window->content);
	cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
	cairo_t* cr = cairo_create(copy);
	cairo_set_source_surface(cr, window->content, 0, 0);
	cairo_paint(cr);
	cairo_destroy(cr);
	cairo_surface_flush(copy);
	return copy;
}

status_t
DisplayBackend::WriteScreenPNG(const char* path) const
{
	cairo_surface_t* screen = ComposeScreen();
	cairo_status_t status = cairo_surface_write_to_png(screen, path);
	cairo_surface_destroy(screen);
	return status == CAIRO_STATUS_SUCCESS ? B_OK : B_IO_ERROR;
}

status_t
DisplayBackend::WriteWindowPNG(int32 id, const char* path) const
{
	std::lock_guard<std::recursive_mutex> guard(fLock);
	const Window* window = _Find(id);
	if (window == nullptr)
		return B_ENTRY_NOT_FOUND;
	if (window->content == nullptr)
		return B_NO_INIT;
	return cairo_surface_write_to_png(window->content, path) == CAIRO_STATUS_SUCCESS
		? B_OK : B_IO_ERROR;
}

} // namespace BPrivate
