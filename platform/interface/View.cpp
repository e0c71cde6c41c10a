#include <View.h>

#include <Bitmap.h>
#include <DisplayBackend.h>
#include <Message.h>
#include <Picture.h>
#include <ScrollBar.h>
#include <ScrollView.h>
#include <Window.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

cairo_t*
as_cairo(void* context)
{
	return static_cast<cairo_t*>(context);
}

void
set_color(cairo_t* cr, rgb_color color)
{
	cairo_set_source_rgb(cr, color.red / 255.0, color.green / 255.0, color.blue / 255.0);
}

bool
is_solid(const pattern& p, uint8 value)
{
	for (uint8 row : p.data) {
		if (row != value)
			return false;
	}
	return true;
}

// Pixel edges: coordinates name pixels, and fractional ones round down.
float
pixel(float coordinate)
{
	return floorf(coordinate);
}

} // namespace

const pattern B_SOLID_HIGH = {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}};
const pattern B_MIXED_COLORS = {{0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55}};
const pattern B_SOLID_LOW = {{0, 0, 0, 0, 0, 0, 0, 0}};
const rgb_color B_TRANSPARENT_COLOR = {0x77, 0x74, 0x77, 0x00};
const rgb_color B_TRANSPARENT_32_BIT = {0x77, 0x74, 0x77, 0x00};
const uint8 B_TRANSPARENT_8_BIT = B_TRANSPARENT_MAGIC_CMAP8;

BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
	:
	BHandler(name),
	fFrame(pixel(frame.left), pixel(frame.top), pixel(frame.right), pixel(frame.bottom)),
	fResizingMode(resizingMode),
	fFlags(flags),
	fHideLevel(0),
	fParent(nullptr),
	fWindow(nullptr),
	fAllAttachedCalled(false),
	fViewColor(make_color(255, 255, 255)),
	fPicture(nullptr),
	fVerticalScrollBar(nullptr),
	fHorizontalScrollBar(nullptr)
{
	fState.high = make_color(0, 0, 0);
	fState.low = make_color(255, 255, 255);
	fState.penSize = 1.0f;
	fState.mode = B_OP_COPY;
	fState.font = *be_plain_font;
}

BView::~BView()
{
	if (fVerticalScrollBar != nullptr)
		fVerticalScrollBar->SetTarget(static_cast<BView*>(nullptr));
	if (fHorizontalScrollBar != nullptr)
		fHorizontalScrollBar->SetTarget(static_cast<BView*>(nullptr));
	if (fParent != nullptr)
		fParent->RemoveChild(this);
	// Children go with their parent.
	while (!fChildren.empty()) {
		BView* child = fChildren.back();
		RemoveChild(child);
		delete child;
	}
}

// #pragma mark - hooks

void BView::AttachedToWindow() {}
void BView::AllAttached() {}
void BView::DetachedFromWindow() {}
void BView::AllDetached() {}
void BView::Draw(BRect) {}
void BView::DrawAfterChildren(BRect) {}
void BView::MouseDown(BPoint) {}
void BView::MouseUp(BPoint) {}
void BView::MouseMoved(BPoint, uint32, const BMessage*) {}
void BView::KeyUp(const char*, int32) {}
void BView::FrameMoved(BPoint) {}
void BView::FrameResized(float, float) {}
void BView::WindowActivated(bool) {}
void BView::TargetedByScrollView(BScrollView*) {}

void
BView::KeyDown(const char* bytes, int32 numBytes)
{
	// A view that scrolls moves with the page keys; other keys a view does
	// not use are the window's: nothing more happens.
	if (numBytes == 1)
		_ScrollForKey(bytes[0]);
}

void
BView::MessageReceived(BMessage* message)
{
	if (message->what == B_MOUSE_WHEEL_CHANGED) {
		// The wheel scrolls the nearest view that scrolls, from the one
		// under the pointer outwards.
		if (!_ScrollForWheel(message) && fParent != nullptr)
			fParent->MessageReceived(message);
		return;
	}
	BHandler::MessageReceived(message);
}

bool
BView::_TakesEnter() const
{
	return false;
}

bool
BView::_ScrollForKey(char key)
{
	return fVerticalScrollBar != nullptr && fVerticalScrollBar->_MoveForKey(key);
}

bool
BView::_ScrollForWheel(BMessage* message)
{
	if (fVerticalScrollBar == nullptr && fHorizontalScrollBar == nullptr)
		return false;
	float deltaX, deltaY;
	bool fast;
	BScrollBar::_ReadWheel(message, &deltaX, &deltaY, &fast);
	// A view that scrolls only sideways takes the wheel's turns too.
	if (fVerticalScrollBar == nullptr && deltaX == 0)
		deltaX = deltaY;
	if (fVerticalScrollBar != nullptr && deltaY != 0)
		fVerticalScrollBar->_MoveForWheel(deltaY, fast);
	if (fHorizontalScrollBar != nullptr && deltaX != 0)
		fHorizontalScrollBar->_MoveForWheel(deltaX, fast);
	return true;
}

void
BView::MakeFocus(bool focused)
{
	if (fWindow == nullptr)
		return;
	if (focused) {
		BView* previous = fWindow->fFocus;
		if (previous == this)
			return;
		// The view losing the focus still has it while its hook runs, so
		// that it sees the change and redraws without its focus mark.
		if (previous != nullptr)
			previous->MakeFocus(false);
		fWindow->fFocus = this;
	} else if (fWindow->fFocus == this) {
		fWindow->fFocus = nullptr;
	} else {
		return;
	}
	// A scroll view shows its target's focus with its border.
	if (BScrollView* scrollView = dynamic_cast<BScrollView*>(fParent))
		scrollView->_UpdateFocusBorder();
}

bool
BView::IsFocus() const
{
	return fWindow != nullptr && fWindow->fFocus == this;
}

void
BView::Show()
{
	if (fHideLevel == 0)
		return;
	fHideLevel--;
	if (fHideLevel == 0 && fParent != nullptr)
		fParent->Invalidate(fFrame);
}

void
BView::Hide()
{
	fHideLevel++;
	if (fHideLevel == 1 && fParent != nullptr)
		fParent->Invalidate(fFrame);
}

bool
BView::IsHidden() const
{
	if (_IsHiddenInWindow())
		return true;
	return fWindow != nullptr && fWindow->IsHidden();
}

bool
BView::_IsHiddenInWindow() const
{
	for (const BView* view = this; view != nullptr; view = view->fParent) {
		if (view->fHideLevel > 0)
			return true;
	}
	return false;
}

void
BView::GetPreferredSize(float* width, float* height)
{
	if (width != nullptr)
		*width = fFrame.Width();
	if (height != nullptr)
		*height = fFrame.Height();
}

void
BView::ResizeToPreferred()
{
	float width, height;
	GetPreferredSize(&width, &height);
	ResizeTo(width, height);
}

void
BView::SetFlags(uint32 flags)
{
	fFlags = flags;
}

// #pragma mark - the tree

void
BView::AddChild(BView* child, BView* before)
{
	if (child == nullptr || child->fParent != nullptr || child == this)
		return;
	auto position = std::find(fChildren.begin(), fChildren.end(), before);
	fChildren.insert(before != nullptr ? position : fChildren.end(), child);
	child->fParent = this;
	if (fWindow != nullptr) {
		child->_Attach(fWindow);
		child->_CallAllAttached();
		Invalidate(child->fFrame);
	}
}

bool
BView::RemoveChild(BView* child)
{
	if (child == nullptr || child->fParent != this)
		return false;
	if (fWindow != nullptr) {
		Invalidate(child->fFrame);
		child->_Detach();
	}
	fChildren.erase(std::find(fChildren.begin(), fChildren.end(), child));
	child->fParent = nullptr;
	return true;
}

bool
BView::RemoveSelf()
{
	return fParent != nullptr && fParent->RemoveChild(this);
}

int32
BView::CountChildren() const
{
	return static_cast<int32>(fChildren.size());
}

BView*
BView::ChildAt(int32 index) const
{
	if (index < 0 || index >= CountChildren())
		return nullptr;
	return fChildren[index];
}

BView*
BView::NextSibling() const
{
	if (fParent == nullptr)
		return nullptr;
	const auto& siblings = fParent->fChildren;
	auto found = std::find(siblings.begin(), siblings.end(), this);
	return found + 1 < siblings.end() ? *(found + 1) : nullptr;
}

BView*
BView::PreviousSibling() const
{
	if (fParent == nullptr)
		return nullptr;
	const auto& siblings = fParent->fChildren;
	auto found = std::find(siblings.begin(), siblings.end(), this);
	return found != siblings.begin() ? *(found - 1) : nullptr;
}

BView*
BView::FindView(const char* name) const
{
	if (name == nullptr)
		return nullptr;
	if (Name() != nullptr && strcmp(Name(), name) == 0)
		return const_cast<BView*>(this);
	for (BView* child : fChildren) {
		if (BView* found = child->FindView(name))
			return found;
	}
	return nullptr;
}

void
BView::_Attach(BWindow* window)
{
	if (fWindow == nullptr) {
		fWindow = window;
		window->AddHandler(this);
		AttachedToWindow();
	}
	// Children added by AttachedToWindow are attached already.
	std::vector<BView*> children = fChildren;
	for (BView* child : children) {
		if (child->fParent == this)
			child->_Attach(window);
	}
}

void
BView::_CallAllAttached()
{
	std::vector<BView*> children = fChildren;
	for (BView* child : children)
		child->_CallAllAttached();
	if (!fAllAttachedCalled) {
		fAllAttachedCalled = true;
		AllAttached();
	}
}

void
BView::_Detach()
{
	if (fWindow == nullptr)
		return;
	DetachedFromWindow();
	std::vector<BView*> children = fChildren;
	for (BView* child : children)
		child->_Detach();
	AllDetached();
	fWindow->_ViewDetached(this);
	fWindow->RemoveHandler(this);
	fWindow = nullptr;
	fAllAttachedCalled = false;
}

// #pragma mark - geometry

BRect
BView::Bounds() const
{
	return BRect(fScrollOffset.x, fScrollOffset.y, fScrollOffset.x + fFrame.Width(),
		fScrollOffset.y + fFrame.Height());
}

BPoint
BView::_WindowOffset() const
{
	BPoint offset = fFrame.LeftTop() - fScrollOffset;
	if (fParent != nullptr)
		offset += fParent->_WindowOffset();
	return offset;
}

BPoint
BView::_ConvertToWindow(BPoint point) const
{
	return point + _WindowOffset();
}

BRect
BView::_ConvertToWindow(BRect rect) const
{
	rect.OffsetBy(_WindowOffset());
	return rect;
}

BPoint
BView::_ConvertFromWindow(BPoint point) const
{
	return point - _WindowOffset();
}

BRect
BView::_VisibleWindowRect() const
{
	BRect visible = _ConvertToWindow(Bounds());
	if (fParent != nullptr)
		visible = visible & fParent->_VisibleWindowRect();
	return visible;
}

void
BView::ConvertToScreen(BPoint* point) const
{
	*point = _ConvertToWindow(*point);
	if (fWindow != nullptr)
		fWindow->ConvertToScreen(point);
}

BPoint
BView::ConvertToScreen(BPoint point) const
{
	ConvertToScreen(&point);
	return point;
}

void
BView::ConvertToScreen(BRect* rect) const
{
	BPoint leftTop = ConvertToScreen(rect->LeftTop());
	rect->OffsetTo(leftTop);
}

BRect
BView::ConvertToScreen(BRect rect) const
{
	ConvertToScreen(&rect);
	return rect;
}

void
BView::ConvertFromScreen(BPoint* point) const
{
	if (fWindow != nullptr)
		fWindow->ConvertFromScreen(point);
	*point = _ConvertFromWindow(*point);
}

BPoint
BView::ConvertFromScreen(BPoint point) const
{
	ConvertFromScreen(&point);
	return point;
}

void
BView::ConvertFromScreen(BRect* rect) const
{
	rect->OffsetTo(ConvertFromScreen(rect->LeftTop()));
}

BRect
BView::ConvertFromScreen(BRect rect) const
{
	ConvertFromScreen(&rect);
	return rect;
}

void
BView::ConvertToParent(BPoint* point) const
{
	*point += fFrame.LeftTop() - fScrollOffset;
}

BPoint
BView::ConvertToParent(BPoint point) const
{
	ConvertToParent(&point);
	return point;
}

void
BView::ConvertToParent(BRect* rect) const
{
	rect->OffsetBy(fFrame.LeftTop() - fScrollOffset);
}

BRect
BView::ConvertToParent(BRect rect) const
{
	ConvertToParent(&rect);
	return rect;
}

void
BView::ConvertFromParent(BPoint* point) const
{
	*point -= fFrame.LeftTop() - fScrollOffset;
}

BPoint
BView::ConvertFromParent(BPoint point) const
{
	ConvertFromParent(&point);
	return point;
}

void
BView::ConvertFromParent(BRect* rect) const
{
	rect->OffsetBy(fScrollOffset - fFrame.LeftTop());
}

BRect
BView::ConvertFromParent(BRect rect) const
{
	ConvertFromParent(&rect);
	return rect;
}

void
BView::MoveBy(float dx, float dy)
{
	_MoveResize(dx, dy, 0, 0);
}

void
BView::MoveTo(BPoint where)
{
	_MoveResize(pixel(where.x) - fFrame.left, pixel(where.y) - fFrame.top, 0, 0);
}

void
BView::ResizeBy(float dx, float dy)
{
	_MoveResize(0, 0, dx, dy);
}

void
BView::ResizeTo(float width, float height)
{
	_MoveResize(0, 0, pixel(width) - fFrame.Width(), pixel(height) - fFrame.Height());
}

void
BView::_MoveResize(float dx, float dy, float dWidth, float dHeight)
{
	dx = pixel(dx);
	dy = pixel(dy);
	dWidth = pixel(dWidth);
	dHeight = pixel(dHeight);
	if (dx == 0 && dy == 0 && dWidth == 0 && dHeight == 0)
		return;
	if (fParent != nullptr && fWindow != nullptr)
		fParent->Invalidate(fFrame);
	fFrame.OffsetBy(dx, dy);
	fFrame.right += dWidth;
	fFrame.bottom += dHeight;
	if (fParent != nullptr && fWindow != nullptr)
		fParent->Invalidate(fFrame);
	else if (fWindow != nullptr)
		Invalidate();

	if (dWidth != 0 || dHeight != 0) {
		std::vector<BView*> children = fChildren;
		for (BView* child : children)
			child->_ParentResized(dWidth, dHeight);
	}
	if ((fFlags & B_FRAME_EVENTS) != 0) {
		if (dx != 0 || dy != 0)
			FrameMoved(fFrame.LeftTop());
		if (dWidth != 0 || dHeight != 0)
			FrameResized(fFrame.Width(), fFrame.Height());
	}
}

void
BView::_ParentResized(float dx, float dy)
{
	// Each edge follows the parent's left or top (stays), its right or
	// bottom (moves by the whole change) or its centre (half).
	auto follow = [](uint32 rule, uint32 far, float delta) -> float {
		if (rule == far)
			return delta;
		if (rule == _VIEW_CENTER_)
			return floorf(delta / 2);
		return 0;
	};
	uint32 leftRule = (fResizingMode >> 12) & 0xf;
	uint32 topRule = (fResizingMode >> 8) & 0xf;
	uint32 rightRule = (fResizingMode >> 4) & 0xf;
	uint32 bottomRule = fResizingMode & 0xf;
	float left = follow(leftRule, _VIEW_RIGHT_, dx);
	float right = follow(rightRule, _VIEW_RIGHT_, dx);
	float top = follow(topRule, _VIEW_BOTTOM_, dy);
	float bottom = follow(bottomRule, _VIEW_BOTTOM_, dy);
	_MoveResize(left, top, right - left, bottom - top);
}

void
BView::ScrollBy(float dx, float dy)
{
	ScrollTo(BPoint(fScrollOffset.x + dx, fScrollOffset.y + dy));
}

void
BView::ScrollTo(BPoint where)
{
	where.x = pixel(where.x);
	where.y = pixel(where.y);
	if (where == fScrollOffset)
		return;
	fScrollOffset = where;
	// What was shown moves; redrawing the whole view gives the same pixels
	// as copying them would.
	Invalidate();
	// The scroll bars show where the view is now.
	if (fHorizontalScrollBar != nullptr)
		fHorizontalScrollBar->_TargetScrolled(where.x);
	if (fVerticalScrollBar != nullptr)
		fVerticalScrollBar->_TargetScrolled(where.y);
}

BScrollBar*
BView::ScrollBar(orientation direction) const
{
	return direction == B_VERTICAL ? fVerticalScrollBar : fHorizontalScrollBar;
}

// #pragma mark - input

void
BView::GetMouse(BPoint* location, uint32* buttons, bool checkQueue)
{
	BPoint where;
	uint32 down = 0;
	if (fWindow != nullptr) {
		fWindow->_GetMouse(&where, &down, checkQueue);
		where = _ConvertFromWindow(where);
	}
	if (location != nullptr)
		*location = where;
	if (buttons != nullptr)
		*buttons = down;
}

// #pragma mark - state

void
BView::_ApplyState(const State& state)
{
	SetHighColor(state.high);
	SetLowColor(state.low);
	SetPenSize(state.penSize);
	SetDrawingMode(state.mode);
	SetFont(&state.font);
	MovePenTo(state.pen);
}

void
BView::SetHighColor(rgb_color color)
{
	if (fPicture != nullptr)
		fPicture->_Add([color](BView* view) { view->SetHighColor(color); });
	fState.high = color;
}

void
BView::SetHighColor(uchar red, uchar green, uchar blue, uchar alpha)
{
	SetHighColor(make_color(red, green, blue, alpha));
}

void
BView::SetLowColor(rgb_color color)
{
	if (fPicture != nullptr)
		fPicture->_Add([color](BView* view) { view->SetLowColor(color); });
	fState.low = color;
}

void
BView::SetLowColor(uchar red, uchar green, uchar blue, uchar alpha)
{
	SetLowColor(make_color(red, green, blue, alpha));
}

void
BView::SetViewColor(rgb_color color)
{
	fViewColor = color;
}

void
BView::SetViewColor(uchar red, uchar green, uchar blue, uchar alpha)
{
	SetViewColor(make_color(red, green, blue, alpha));
}

void
BView::SetDrawingMode(drawing_mode mode)
{
	if (fPicture != nullptr)
		fPicture->_Add([mode](BView* view) { view->SetDrawingMode(mode); });
	fState.mode = mode;
}

void
BView::SetPenSize(float size)
{
	if (fPicture != nullptr)
		fPicture->_Add([size](BView* view) { view->SetPenSize(size); });
	fState.penSize = size;
}

void
BView::MovePenTo(BPoint where)
{
	if (fPicture != nullptr)
		fPicture->_Add([where](BView* view) { view->MovePenTo(where); });
	fState.pen = where;
}

void
BView::MovePenBy(float dx, float dy)
{
	MovePenTo(BPoint(fState.pen.x + dx, fState.pen.y + dy));
}

void
BView::SetFont(const BFont* font, uint32 mask)
{
	if (font == nullptr)
		return;
	if (fPicture != nullptr) {
		BFont copy(*font);
		fPicture->_Add([copy, mask](BView* view) { view->SetFont(&copy, mask); });
	}
	if (mask == B_FONT_ALL)
		fState.font = *font;
	else
		fState.font.CopyFrom(*font, mask);
}

void
BView::GetFont(BFont* font) const
{
	*font = fState.font;
}

void
BView::SetFontSize(float size)
{
	BFont font(fState.font);
	font.SetSize(size);
	SetFont(&font, B_FONT_SIZE);
}

float
BView::StringWidth(const char* string) const
{
	return fState.font.StringWidth(string);
}

float
BView::StringWidth(const char* string, int32 length) const
{
	return fState.font.StringWidth(string, length);
}

void
BView::GetFontHeight(font_height* height) const
{
	fState.font.GetHeight(height);
}

void
BView::PushState()
{
	fStateStack.push_back(fState);
}

void
BView::PopState()
{
	if (fStateStack.empty())
		return;
	fState = fStateStack.back();
	fStateStack.pop_back();
}

// #pragma mark - drawing

void*
BView::_BeginDrawing() const
{
	if (fWindow == nullptr || fPicture != nullptr || _IsHiddenInWindow())
		return nullptr;
	cairo_surface_t* surface = fWindow->fBackingStore;
	if (surface == nullptr)
		return nullptr;
	BRect clip = _VisibleWindowRect();
	if (fWindow->fInUpdate)
		clip = clip & fWindow->fUpdateRect;
	if (!clip.IsValid())
		return nullptr;
	cairo_t* cr = cairo_create(surface);
	cairo_rectangle(cr, clip.left, clip.top, clip.Width() + 1, clip.Height() + 1);
	cairo_clip(cr);
	BPoint offset = _WindowOffset() + fState.drawOffset;
	cairo_translate(cr, offset.x, offset.y);
	cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
	return cr;
}

void
BView::_EndDrawing(void* context) const
{
	cairo_destroy(as_cairo(context));
	fWindow->_DrawnDirectly();
}

bool
BView::_SetSource(void* context, const pattern& p) const
{
	cairo_t* cr = as_cairo(context);
	bool solidHigh = is_solid(p, 0xff);
	bool solidLow = is_solid(p, 0x00);
	rgb_color high = fState.high;
	rgb_color low = fState.low;
	bool transparentLow = false;

	switch (fState.mode) {
		case B_OP_INVERT:
			// Invert where the pattern is set: white in DIFFERENCE flips
			// every component.
			if (solidLow)
				return false;
			cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
			high = make_color(255, 255, 255);
			transparentLow = true;
			break;
		case B_OP_OVER:
			if (high == B_TRANSPARENT_COLOR || solidLow)
				return false;
			transparentLow = true;
			break;
		case B_OP_ERASE:
			if (solidLow)
				return false;
			high = low;
			transparentLow = true;
			break;
		default:
			break;
	}

	if (solidHigh) {
		set_color(cr, high);
		return true;
	}
	if (solidLow) {
		set_color(cr, low);
		return true;
	}

	// An 8 x 8 tile, anchored to the window so that neighbouring shapes
	// line up.
	cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
	cairo_surface_flush(tile);
	uint8* data = cairo_image_surface_get_data(tile);
	int32 stride = cairo_image_surface_get_stride(tile);
	uint32 highPixel = 0xff000000 | (high.red << 16) | (high.green << 8) | high.blue;
	uint32 lowPixel = transparentLow ? 0
		: 0xff000000 | (low.red << 16) | (low.green << 8) | low.blue;
	for (int32 y = 0; y < 8; y++) {
		uint32* row = reinterpret_cast<uint32*>(data + y * stride);
		for (int32 x = 0; x < 8; x++)
			row[x] = (p.data[y] & (0x80 >> x)) != 0 ? highPixel : lowPixel;
	}
	cairo_surface_mark_dirty(tile);
	cairo_pattern_t* source = cairo_pattern_create_for_surface(tile);
	cairo_pattern_set_extend(source, CAIRO_EXTEND_REPEAT);
	cairo_pattern_set_filter(source, CAIRO_FILTER_NEAREST);
	BPoint offset = _WindowOffset() + fState.drawOffset;
	cairo_matrix_t matrix;
	cairo_matrix_init_translate(&matrix, offset.x, offset.y);
	cairo_pattern_set_matrix(source, &matrix);
	cairo_set_source(cr, source);
	cairo_pattern_destroy(source);
	cairo_surface_destroy(tile);
	return true;
}

void
BView::_FillPixels(void* context, float left, float top, float right, float bottom) const
{
	left = pixel(left);
	top = pixel(top);
	right = pixel(right);
	bottom = pixel(bottom);
	if (right < left || bottom < top)
		return;
	cairo_rectangle(as_cairo(context), left, top, right - left + 1, bottom - top + 1);
}

void
BView::StrokeRect(BRect rect, pattern p)
{
	if (fPicture != nullptr) {
		fPicture->_Add([rect, p](BView* view) { view->StrokeRect(rect, p); });
		return;
	}
	void* cr = _BeginDrawing();
	if (cr == nullptr)
		return;
	if (rect.IsValid() && _SetSource(cr, p)) {
		// Four bands of the pen's width along the inside of the edges; the
		// corners are covered once so that inverting works.
		float pen = std::max(1.0f, pixel(fState.penSize));
		float left = pixel(rect.left), top = pixel(rect.top);
		float right = pixel(rect.right), bottom = pixel(rect.bottom);
		if (right - left + 1 <= 2 * pen || bottom - top + 1 <= 2 * pen) {
			_FillPixels(cr, left, top, right, bottom);
		} else {
			_FillPixels(cr, left, top, right, top + pen - 1);
			_FillPixels(cr, left, bottom - pen + 1, right, bottom);
			_FillPixels(cr, left, top + pen, left + pen - 1, bottom - pen);
			_FillPixels(cr, right - pen + 1, top + pen, right, bottom - pen);
		}
		cairo_fill(as_cairo(cr));
	}
	_EndDrawing(cr);
}

void
BView::FillRect(BRect rect, pattern p)
{
	if (fPicture != nullptr) {
		fPicture->_Add([rect, p](BView* view) { view->FillRect(rect, p); });
		return;
	}
	void* cr = _BeginDrawing();
	if (cr == nullptr)
		return;
	if (rect.IsValid() && _SetSource(cr, p)) {
		_FillPixels(cr, rect.left, rect.top, rect.right, rect.bottom);
		cairo_fill(as_cairo(cr));
	}
	_EndDrawing(cr);
}

void
BView::InvertRect(BRect rect)
{
	if (fPicture != nullptr) {
		fPicture->_Add([rect](BView* view) { view->InvertRect(rect); });
		return;
	}
	drawing_mode mode = fState.mode;
	fState.mode = B_OP_INVERT;
	FillRect(rect, B_SOLID_HIGH);
	fState.mode = mode;
}

void
BView::StrokeRoundRect(BRect rect, float xRadius, float yRadius, pattern p)
{
	if (fPicture != nullptr) {
		fPicture->_Add([=](BView* view) { view->StrokeRoundRect(rect, xRadius, yRadius, p); });
		return;
	}
	void* context = _BeginDrawing();
	if (context == nullptr)
		return;
	cairo_t* cr = as_cairo(context);
	if (rect.IsValid() && _SetSource(context, p)) {
		double pen = std::max(1.0f, fState.penSize);
		double left = pixel(rect.left) + pen / 2, top = pixel(rect.top) + pen / 2;
		double right = pixel(rect.right) + 1 - pen / 2;
		double bottom = pixel(rect.bottom) + 1 - pen / 2;
		double rx = std::min<double>(xRadius, (right - left) / 2);
		double ry = std::min<double>(yRadius, (bottom - top) / 2);
		cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
		cairo_new_path(cr);
		if (rx <= 0 || ry <= 0) {
			cairo_rectangle(cr, left, top, right - left, bottom - top);
		} else {
			cairo_save(cr);
			cairo_translate(cr, left, top);
			cairo_scale(cr, rx, ry);
			double w = (right - left) / rx, h = (bottom - top) / ry;
			cairo_arc(cr, w - 1, 1, 1, -M_PI / 2, 0);
			cairo_arc(cr, w - 1, h - 1, 1, 0, M_PI / 2);
			cairo_arc(cr, 1, h - 1, 1, M_PI / 2, M_PI);
			cairo_arc(cr, 1, 1, 1, M_PI, 3 * M_PI / 2);
			cairo_close_path(cr);
			cairo_restore(cr);
		}
		cairo_set_line_width(cr, pen);
		cairo_stroke(cr);
	}
	_EndDrawing(context);
}

void
BView::FillRoundRect(BRect rect, float xRadius, float yRadius, pattern p)
{
	if (fPicture != nullptr) {
		fPicture->_Add([=](BView* view) { view->FillRoundRect(rect, xRadius, yRadius, p); });
		return;
	}
	void* context = _BeginDrawing();
	if (context == nullptr)
		return;
	cairo_t* cr = as_cairo(context);
	if (rect.IsValid() && _SetSource(context, p)) {
		double left = pixel(rect.left), top = pixel(rect.top);
		double right = pixel(rect.right) + 1, bottom = pixel(rect.bottom) + 1;
		double rx = std::min<double>(xRadius, (right - left) / 2);
		double ry = std::min<double>(yRadius, (bottom - top) / 2);
		cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
		if (rx <= 0 || ry <= 0) {
			cairo_rectangle(cr, left, top, right - left, bottom - top);
		} else {
			cairo_save(cr);
			cairo_translate(cr, left, top);
			cairo_scale(cr, rx, ry);
			double w = (right - left) / rx, h = (bottom - top) / ry;
			cairo_arc(cr, w - 1, 1, 1, -M_PI / 2, 0);
			cairo_arc(cr, w - 1, h - 1, 1, 0, M_PI / 2);
			cairo_arc(cr, 1, h - 1, 1, M_PI / 2, M_PI);
			cairo_arc(cr, 1, 1, 1, M_PI, 3 * M_PI / 2);
			cairo_close_path(cr);
			cairo_restore(cr);
		}
		cairo_fill(cr);
	}
	_EndDrawing(context);
}

void
BView::StrokeEllipse(BRect rect, pattern p)
{
	if (fPicture != nullptr) {
		fPicture->_Add([rect, p](BView* view) { view->StrokeEllipse(rect, p); });
		return;
	}
	void* context = _BeginDrawing();
	if (context == nullptr)
		return;
	cairo_t* cr = as_cairo(context);
	if (rect.IsValid() && _SetSource(context, p)) {
		double pen = std::max(1.0f, fState.penSize);
		double cx = (pixel(rect.left) + pixel(rect.right) + 1) / 2.0;
		double cy = (pixel(rect.top) + pixel(rect.bottom) + 1) / 2.0;
		double rx = (pixel(rect.right) - pixel(rect.left) + 1 - pen) / 2.0;
		double ry = (pixel(rect.bottom) - pixel(rect.top) + 1 - pen) / 2.0;
		if (rx > 0 && ry > 0) {
			cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
			cairo_save(cr);
			cairo_translate(cr, cx, cy);
			cairo_scale(cr, rx, ry);
			cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
			cairo_restore(cr);
			cairo_set_line_width(cr, pen);
			cairo_stroke(cr);
		}
	}
	_EndDrawing(context);
}

void
BView::FillEllipse(BRect rect, pattern p)
{
	if (fPicture != nullptr) {
		fPicture->_Add([rect, p](BView* view) { view->FillEllipse(rect, p); });
		return;
	}
	void* context = _BeginDrawing();
	if (context == nullptr)
		return;
	cairo_t* cr = as_cairo(context);
	if (rect.IsValid() && _SetSource(context, p)) {
		double cx = (pixel(rect.left) + pixel(rect.right) + 1) / 2.0;
		double cy = (pixel(rect.top) + pixel(rect.bottom) + 1) / 2.0;
		double rx = (pixel(rect.right) - pixel(rect.left) + 1) / 2.0;
		double ry = (pixel(rect.bottom) - pixel(rect.top) + 1) / 2.0;
		cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
		cairo_save(cr);
		cairo_translate(cr, cx, cy);
		cairo_scale(cr, rx, ry);
		cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
		cairo_restore(cr);
		cairo_fill(cr);
	}
	_EndDrawing(context);
}

void
BView::StrokeTriangle(BPoint first, BPoint second, BPoint third, pattern p)
{
	if (fPicture != nullptr) {
		fPicture->_Add([=](BView* view) { view->StrokeTriangle(first, second, third, p); });
		return;
	}
	BPoint pen = fState.pen;
	StrokeLine(first, second, p);
	StrokeLine(second, third, p);
	StrokeLine(third, first, p);
	fState.pen = pen;
}

void
BView::FillTriangle(BPoint first, BPoint second, BPoint third, pattern p)
{
	if (fPicture != nullptr) {
		fPicture->_Add([=](BView* view) { view->FillTriangle(first, second, third, p); });
		return;
	}
	void* context = _BeginDrawing();
	if (context == nullptr)
		return;
	cairo_t* cr = as_cairo(context);
	if (_SetSource(context, p)) {
		cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
		cairo_move_to(cr, first.x + 0.5, first.y + 0.5);
		cairo_line_to(cr, second.x + 0.5, second.y + 0.5);
		cairo_line_to(cr, third.x + 0.5, third.y + 0.5);
		cairo_close_path(cr);
		cairo_set_line_width(cr, 1);
		cairo_fill_preserve(cr);
		cairo_stroke(cr);
	}
	_EndDrawing(context);
}

void
BView::StrokeLine(BPoint to, pattern p)
{
	StrokeLine(fState.pen, to, p);
}

void
BView::StrokeLine(BPoint from, BPoint to, pattern p)
{
	if (fPicture != nullptr) {
		fPicture->_Add([from, to, p](BView* view) { view->StrokeLine(from, to, p); });
		fState.pen = to;
		return;
	}
	fState.pen = to;
	void* context = _BeginDrawing();
	if (context == nullptr)
		return;
	cairo_t* cr = as_cairo(context);
	if (_SetSource(context, p)) {
		float pen = std::max(1.0f, pixel(fState.penSize));
		float before = floorf((pen - 1) / 2);
		from.Set(pixel(from.x), pixel(from.y));
		to.Set(pixel(to.x), pixel(to.y));
		if (from.y == to.y) {
			_FillPixels(context, std::min(from.x, to.x), from.y - before,
				std::max(from.x, to.x), from.y - before + pen - 1);
			cairo_fill(cr);
		} else if (from.x == to.x) {
			_FillPixels(context, from.x - before, std::min(from.y, to.y),
				from.x - before + pen - 1, std::max(from.y, to.y));
			cairo_fill(cr);
		} else {
			// Through the pixel centres, ends included.
			cairo_move_to(cr, from.x + 0.5, from.y + 0.5);
			cairo_line_to(cr, to.x + 0.5, to.y + 0.5);
			cairo_set_line_width(cr, pen);
			cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
			cairo_stroke(cr);
		}
	}
	_EndDrawing(context);
}

void
BView::DrawString(const char* string)
{
	DrawString(string, string != nullptr ? static_cast<int32>(strlen(string)) : 0);
}

void
BView::DrawString(const char* string, BPoint where)
{
	MovePenTo(where);
	DrawString(string);
}

void
BView::DrawString(const char* string, int32 length, BPoint where)
{
	MovePenTo(where);
	DrawString(string, length);
}

void
BView::DrawChar(char c)
{
	char string[2] = {c, '\0'};
	DrawString(string, 1);
}

void
BView::DrawChar(char c, BPoint where)
{
	MovePenTo(where);
	DrawChar(c);
}

void
BView::DrawString(const char* string, int32 length)
{
	if (string == nullptr || length <= 0)
		return;
	std::string text(string, strnlen(string, length));
	float width = fState.font.StringWidth(text.c_str());
	if (fPicture != nullptr) {
		fPicture->_Add([text](BView* view) { view->DrawString(text.c_str()); });
		fState.pen.x += width;
		return;
	}
	void* context = _BeginDrawing();
	if (context != nullptr) {
		cairo_t* cr = as_cairo(context);
		bool draw = true;
		if (fState.mode == B_OP_INVERT) {
			cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
			set_color(cr, make_color(255, 255, 255));
		} else if (fState.mode == B_OP_ERASE) {
			set_color(cr, fState.low);
		} else if (fState.mode == B_OP_OVER && fState.high == B_TRANSPARENT_COLOR) {
			draw = false;
		} else {
			set_color(cr, fState.high);
		}
		if (draw) {
			cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
			cairo_set_scaled_font(cr, fState.font.ScaledFont());
			cairo_move_to(cr, fState.pen.x, fState.pen.y);
			cairo_show_text(cr, text.c_str());
		}
		_EndDrawing(context);
	}
	fState.pen.x += width;
}

void
BView::DrawBitmap(const BBitmap* bitmap)
{
	DrawBitmap(bitmap, fState.pen);
}

void
BView::DrawBitmap(const BBitmap* bitmap, BPoint where)
{
	if (bitmap == nullptr)
		return;
	BRect bounds = bitmap->Bounds();
	_DrawBitmap(bitmap, bounds, bounds.OffsetToCopy(where.x, where.y));
}

void
BView::DrawBitmap(const BBitmap* bitmap, BRect destination)
{
	if (bitmap != nullptr)
		_DrawBitmap(bitmap, bitmap->Bounds(), destination);
}

void
BView::DrawBitmap(const BBitmap* bitmap, BRect source, BRect destination)
{
	_DrawBitmap(bitmap, source, destination);
}

void
BView::DrawBitmapAsync(const BBitmap* bitmap, BPoint where)
{
	DrawBitmap(bitmap, where);
}

void
BView::DrawBitmapAsync(const BBitmap* bitmap, BRect destination)
{
	DrawBitmap(bitmap, destination);
}

void
BView::DrawBitmapAsync(const BBitmap* bitmap, BRect source, BRect destination)
{
	DrawBitmap(bitmap, source, destination);
}

void
BView::_DrawBitmap(const BBitmap* bitmap, BRect source, BRect destination)
{
	if (bitmap == nullptr || !source.IsValid() || !destination.IsValid())
		return;
	if (fPicture != nullptr) {
		// The picture keeps its own copy: the bitmap may be gone before the
		// picture is drawn.
		std::shared_ptr<BBitmap> copy = std::make_shared<BBitmap>(bitmap);
		fPicture->_Add([copy, source, destination](BView* view) {
			view->DrawBitmap(copy.get(), source, destination);
		});
		return;
	}
	void* context = _BeginDrawing();
	if (context == nullptr)
		return;
	cairo_t* cr = as_cairo(context);
	bool keepTransparency = fState.mode != B_OP_COPY;
	cairo_surface_t* image = bitmap->CreateSurface(keepTransparency);
	BRect bounds = bitmap->Bounds();
	double sourceLeft = pixel(source.left) - pixel(bounds.left);
	double sourceTop = pixel(source.top) - pixel(bounds.top);
	double sourceWidth = pixel(source.right) - pixel(source.left) + 1;
	double sourceHeight = pixel(source.bottom) - pixel(source.top) + 1;
	double left = pixel(destination.left), top = pixel(destination.top);
	double width = pixel(destination.right) - left + 1;
	double height = pixel(destination.bottom) - top + 1;

	// Scaled at the origin first, so that which source pixel lands where
	// does not depend on where the view lies in the window; and at the
	// window's own resolution, so that the bitmap's pixels stay sharp
	// squares on a scaled display.
	double deviceScale, ignored;
	cairo_surface_get_device_scale(cairo_get_target(cr), &deviceScale, &ignored);
	cairo_surface_t* scaled = cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
		static_cast<int>(ceil(width * deviceScale)), static_cast<int>(ceil(height * deviceScale)));
	cairo_surface_set_device_scale(scaled, deviceScale, deviceScale);
	cairo_t* scaler = cairo_create(scaled);
	cairo_scale(scaler, width / sourceWidth, height / sourceHeight);
	cairo_set_source_surface(scaler, image, -sourceLeft, -sourceTop);
	cairo_pattern_set_filter(cairo_get_source(scaler), CAIRO_FILTER_NEAREST);
	cairo_set_operator(scaler, CAIRO_OPERATOR_SOURCE);
	cairo_paint(scaler);
	cairo_destroy(scaler);
	cairo_surface_destroy(image);
	image = scaled;

	cairo_rectangle(cr, left, top, width, height);
	cairo_clip(cr);
	cairo_set_source_surface(cr, image, left, top);
	cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
	if (fState.mode == B_OP_INVERT)
		cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
	cairo_paint(cr);
	cairo_surface_destroy(image);
	_EndDrawing(context);
}

void
BView::BeginPicture(BPicture* picture)
{
	if (picture == nullptr)
		return;
	picture->_Clear();
	// The picture starts from the state the view has now, so that it draws
	// the same wherever it is replayed.
	State start = fState;
	start.drawOffset = BPoint();
	picture->_Add([start](BView* view) { view->_ApplyState(start); });
	fPicture = picture;
}

BPicture*
BView::EndPicture()
{
	BPicture* picture = fPicture;
	fPicture = nullptr;
	return picture;
}

void
BView::DrawPicture(const BPicture* picture)
{
	DrawPicture(picture, fState.pen);
}

void
BView::DrawPicture(const BPicture* picture, BPoint where)
{
	if (picture == nullptr)
		return;
	if (fPicture != nullptr) {
		BPicture copy(*picture);
		fPicture->_Add([copy, where](BView* view) { view->DrawPicture(&copy, where); });
		return;
	}
	PushState();
	BPoint offset = fState.drawOffset + where;
	fState.drawOffset = offset;
	picture->_Play(this);
	PopState();
}

void
BView::Invalidate()
{
	Invalidate(Bounds());
}

void
BView::Invalidate(BRect rect)
{
	// Read once: a menu's view can leave its menu window (in that window's
	// thread) while the owner of the menu marks an item.
	BWindow* window = fWindow;
	if (window == nullptr || !rect.IsValid())
		return;
	BRect dirty = _ConvertToWindow(rect) & _VisibleWindowRect();
	if (dirty.IsValid())
		window->_Invalidate(dirty);
}

void
BView::Sync() const
{
	if (fWindow != nullptr)
		fWindow->Sync();
}

void
BView::Flush() const
{
	if (fWindow != nullptr)
		fWindow->Flush();
}

// #pragma mark - window side

void
BView::_Redraw(BRect windowRect)
{
	if (fHideLevel > 0)
		return;
	BRect visible = _VisibleWindowRect() & windowRect;
	if (!visible.IsValid())
		return;
	if (fViewColor != B_TRANSPARENT_COLOR) {
		cairo_t* cr = cairo_create(fWindow->fBackingStore);
		cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
		set_color(cr, fViewColor);
		cairo_rectangle(cr, visible.left, visible.top, visible.Width() + 1,
			visible.Height() + 1);
		cairo_fill(cr);
		cairo_destroy(cr);
	}
	BRect updateRect = visible.OffsetByCopy(-_WindowOffset().x, -_WindowOffset().y);
	if ((fFlags & B_WILL_DRAW) != 0)
		Draw(updateRect);
	std::vector<BView*> children = fChildren;
	for (BView* child : children) {
		if (child->fParent == this)
			child->_Redraw(windowRect);
	}
	if ((fFlags & (B_WILL_DRAW | B_DRAW_ON_CHILDREN)) == (B_WILL_DRAW | B_DRAW_ON_CHILDREN))
		DrawAfterChildren(updateRect);
}

void
BView::_ActivateTree(bool active)
{
	WindowActivated(active);
	std::vector<BView*> children = fChildren;
	for (BView* child : children)
		child->_ActivateTree(active);
}

BView*
BView::_ViewAt(BPoint windowPoint)
{
	if (fHideLevel > 0 || !_VisibleWindowRect().Contains(windowPoint))
		return nullptr;
	// Later children lie on top of earlier ones.
	for (auto it = fChildren.rbegin(); it != fChildren.rend(); ++it) {
		if (BView* found = (*it)->_ViewAt(windowPoint))
			return found;
	}
	return this;
}
