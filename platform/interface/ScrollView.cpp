#include <ScrollView.h>

#include <Message.h>
#include <Window.h>

float
BScrollView::_BorderSize(border_style border)
{
	switch (border) {
		case B_FANCY_BORDER:
			return 2;
		case B_PLAIN_BORDER:
			return 1;
		default:
			return 0;
	}
}

BRect
BScrollView::_Frame(BView* target, bool horizontal, bool vertical, border_style border)
{
	BRect frame = target != nullptr ? target->Frame() : BRect(0, 0, 15, 15);
	float inset = _BorderSize(border);
	frame.InsetBy(-inset, -inset);
	if (vertical)
		frame.right += B_V_SCROLL_BAR_WIDTH;
	if (horizontal)
		frame.bottom += B_H_SCROLL_BAR_HEIGHT;
	return frame;
}

BScrollView::BScrollView(const char* name, BView* target, uint32 resizingMode,
	uint32 flags, bool horizontal, bool vertical, border_style border)
	:
	BView(_Frame(target, horizontal, vertical, border), name, resizingMode,
		flags | B_WILL_DRAW | B_FRAME_EVENTS),
	fTarget(target),
	fHorizontal(nullptr),
	fVertical(nullptr),
	fBorder(border),
	fHighlighted(false)
{
	SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
	float inset = _BorderSize(border);
	BRect bounds = Bounds();
	if (target != nullptr) {
		target->MoveTo(inset, inset);
		AddChild(target);
	}
	// The bars lie inside the border, beside the target, and overlap the
	// border at their outer edges as frames do.
	if (vertical) {
		BRect frame(bounds.right - inset - B_V_SCROLL_BAR_WIDTH + 1, bounds.top + inset - 1,
			bounds.right - inset + 1, bounds.bottom - inset + 1
				- (horizontal ? B_H_SCROLL_BAR_HEIGHT : 0));
		fVertical = new BScrollBar(frame, "_VSB_", target, 0, 0, B_VERTICAL);
		AddChild(fVertical);
	}
	if (horizontal) {
		BRect frame(bounds.left + inset - 1, bounds.bottom - inset - B_H_SCROLL_BAR_HEIGHT + 1,
			bounds.right - inset + 1 - (vertical ? B_V_SCROLL_BAR_WIDTH : 0),
			bounds.bottom - inset + 1);
		fHorizontal = new BScrollBar(frame, "_HSB_", target, 0, 0, B_HORIZONTAL);
		AddChild(fHorizontal);
	}
	if (target != nullptr)
		target->TargetedByScrollView(this);
}

BScrollView::~BScrollView()
{
}

BScrollBar*
BScrollView::ScrollBar(orientation direction) const
{
	return direction == B_VERTICAL ? fVertical : fHorizontal;
}

void
BScrollView::KeyDown(const char* bytes, int32 numBytes)
{
	if (numBytes == 1 && fTarget != nullptr && fTarget->_ScrollForKey(bytes[0]))
		return;
	BView::KeyDown(bytes, numBytes);
}

void
BScrollView::MessageReceived(BMessage* message)
{
	if (message->what == B_MOUSE_WHEEL_CHANGED && fTarget != nullptr
		&& fTarget->_ScrollForWheel(message)) {
		return;
	}
	BView::MessageReceived(message);
}

void
BScrollView::MakeFocus(bool focused)
{
	BView::MakeFocus(focused);
	_UpdateFocusBorder();
}

void
BScrollView::WindowActivated(bool active)
{
	BView::WindowActivated(active);
	_UpdateFocusBorder();
}

void
BScrollView::_UpdateFocusBorder()
{
	bool focus = IsFocus() || (fTarget != nullptr && fTarget->IsFocus());
	bool shown = focus && Window() != nullptr && Window()->IsActive();
	if (shown != fHighlighted)
		SetBorderHighlighted(shown);
}

void
BScrollView::SetBorder(border_style border)
{
	fBorder = border;
	Invalidate();
}

status_t
BScrollView::SetBorderHighlighted(bool highlighted)
{
	if (fBorder != B_FANCY_BORDER)
		return B_ERROR;
	fHighlighted = highlighted;
	Invalidate();
	return B_OK;
}

void
BScrollView::Draw(BRect)
{
	BRect bounds = Bounds();
	switch (fBorder) {
		case B_FANCY_BORDER:
			// Sunken: shadow above and left, light below and right; the
			// inner line turns to the navigation colour when highlighted.
			SetHighColor(make_color(152, 152, 152));
			StrokeLine(bounds.LeftBottom(), bounds.LeftTop());
			StrokeLine(bounds.RightTop());
			SetHighColor(make_color(255, 255, 255));
			StrokeLine(BPoint(bounds.left + 1, bounds.bottom), bounds.RightBottom());
			StrokeLine(BPoint(bounds.right, bounds.top + 1));
			SetHighColor(fHighlighted ? ui_color(B_KEYBOARD_NAVIGATION_COLOR)
				: make_color(96, 96, 96));
			StrokeRect(bounds.InsetByCopy(1, 1));
			break;
		case B_PLAIN_BORDER:
			SetHighColor(make_color(96, 96, 96));
			StrokeRect(bounds);
			break;
		case B_NO_BORDER:
			break;
	}
}
