#include <ScrollBar.h>

#include <Message.h>
#include <Window.h>

#include <algorithm>
#include <cmath>

namespace {

const float kArrowLength = 14;
const float kMinKnobLength = 12;

} // namespace

BScrollBar::BScrollBar(BRect frame, const char* name, BView* target, float min, float max,
	orientation direction)
	:
	BView(frame, name, direction == B_VERTICAL
			? B_FOLLOW_TOP_BOTTOM | B_FOLLOW_RIGHT : B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM,
		B_WILL_DRAW | B_FRAME_EVENTS),
	fTarget(nullptr),
	fOrientation(direction),
	fMin(min),
	fMax(std::max(min, max)),
	fValue(min),
	fProportion(0),
	fSmallStep(1),
	fLargeStep(10),
	fDragging(false),
	fDragOffset(0)
{
	SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
	SetTarget(target);
}

BScrollBar::~BScrollBar()
{
	SetTarget(static_cast<BView*>(nullptr));
}

void
BScrollBar::DetachedFromWindow()
{
	fDragging = false;
	BView::DetachedFromWindow();
}

void
BScrollBar::SetTarget(BView* target)
{
	if (fTarget != nullptr) {
		if (fOrientation == B_VERTICAL && fTarget->fVerticalScrollBar == this)
			fTarget->fVerticalScrollBar = nullptr;
		if (fOrientation == B_HORIZONTAL && fTarget->fHorizontalScrollBar == this)
			fTarget->fHorizontalScrollBar = nullptr;
	}
	fTarget = target;
	if (target != nullptr) {
		if (fOrientation == B_VERTICAL)
			target->fVerticalScrollBar = this;
		else
			target->fHorizontalScrollBar = this;
	}
}

void
BScrollBar::SetTarget(const char* targetName)
{
	if (Window() != nullptr)
		SetTarget(Window()->FindView(targetName));
}

void
BScrollBar::SetValue(float value)
{
	value = roundf(std::clamp(value, fMin, fMax));
	if (value == fValue)
		return;
	fValue = value;
	Invalidate();
	ValueChanged(value);
}

void
BScrollBar::ValueChanged(float newValue)
{
	if (fTarget == nullptr)
		return;
	BPoint offset = fTarget->Bounds().LeftTop();
	if (fOrientation == B_VERTICAL)
		offset.y = newValue;
	else
		offset.x = newValue;
	fTarget->ScrollTo(offset);
}

void
BScrollBar::_TargetScrolled(float offset)
{
	// The bar shows where the target is, even outside the range.
	if (offset == fValue)
		return;
	fValue = offset;
	Invalidate();
}

bool
BScrollBar::_MoveForKey(char key)
{
	switch (key) {
		case B_PAGE_UP:
			SetValue(fValue - fLargeStep);
			return true;
		case B_PAGE_DOWN:
			SetValue(fValue + fLargeStep);
			return true;
		case B_HOME:
			SetValue(fMin);
			return true;
		case B_END:
			SetValue(fMax);
			return true;
		default:
			return false;
	}
}

void
BScrollBar::_MoveForWheel(float notches, bool fast)
{
	SetValue(fValue + notches * (fast ? fLargeStep : 3 * fSmallStep));
}

void
BScrollBar::MessageReceived(BMessage* message)
{
	if (message->what != B_MOUSE_WHEEL_CHANGED) {
		BView::MessageReceived(message);
		return;
	}
	float deltaX, deltaY;
	bool fast;
	_ReadWheel(message, &deltaX, &deltaY, &fast);
	_MoveForWheel(fOrientation == B_VERTICAL || deltaX == 0 ? deltaY : deltaX, fast);
}

void
BScrollBar::_ReadWheel(const BMessage* message, float* deltaX, float* deltaY, bool* fast)
{
	*deltaX = 0;
	*deltaY = 0;
	int32 modifiers = 0;
	message->FindFloat("be:wheel_delta_x", deltaX);
	message->FindFloat("be:wheel_delta_y", deltaY);
	message->FindInt32("modifiers", &modifiers);
	*fast = (modifiers & B_SHIFT_KEY) != 0;
}

void
BScrollBar::SetProportion(float proportion)
{
	fProportion = std::clamp(proportion, 0.0f, 1.0f);
	Invalidate();
}

void
BScrollBar::SetRange(float min, float max)
{
	fMin = min;
	fMax = std::max(min, max);
	Invalidate();
	if (fValue < fMin || fValue > fMax)
		SetValue(std::clamp(fValue, fMin, fMax));
}

void
BScrollBar::GetRange(float* min, float* max) const
{
	if (min != nullptr)
		*min = fMin;
	if (max != nullptr)
		*max = fMax;
}

void
BScrollBar::SetSteps(float smallStep, float largeStep)
{
	fSmallStep = smallStep;
	fLargeStep = largeStep;
}

void
BScrollBar::GetSteps(float* smallStep, float* largeStep) const
{
	if (smallStep != nullptr)
		*smallStep = fSmallStep;
	if (largeStep != nullptr)
		*largeStep = fLargeStep;
}

float
BScrollBar::_Along(BPoint point) const
{
	return fOrientation == B_VERTICAL ? point.y : point.x;
}

float
BScrollBar::_TroughLength() const
{
	BRect bounds = Bounds();
	float length = fOrientation == B_VERTICAL ? bounds.Height() + 1 : bounds.Width() + 1;
	return std::max(0.0f, length - 2 * kArrowLength);
}

BRect
BScrollBar::_KnobRect() const
{
	BRect bounds = Bounds();
	float trough = _TroughLength();
	float knob = fProportion > 0 ? trough * fProportion : trough / 4;
	knob = std::clamp(floorf(knob), std::min(kMinKnobLength, trough), trough);
	float range = fMax - fMin;
	float position = range > 0 ? (std::clamp(fValue, fMin, fMax) - fMin) / range : 0;
	float start = kArrowLength + floorf((trough - knob) * position);
	if (fOrientation == B_VERTICAL)
		return BRect(bounds.left, bounds.top + start, bounds.right, bounds.top + start + knob - 1);
	return BRect(bounds.left + start, bounds.top, bounds.left + start + knob - 1, bounds.bottom);
}

void
BScrollBar::MouseDown(BPoint where)
{
	if (fMax <= fMin)
		return;
	float along = _Along(where) - _Along(Bounds().LeftTop());
	float length = _TroughLength() + 2 * kArrowLength;
	BRect knob = _KnobRect();
	if (along < kArrowLength) {
		SetValue(fValue - fSmallStep);
	} else if (along >= length - kArrowLength) {
		SetValue(fValue + fSmallStep);
	} else if (knob.Contains(where)) {
		fDragging = true;
		fDragOffset = _Along(where) - _Along(knob.LeftTop());
	} else if (_Along(where) < _Along(knob.LeftTop())) {
		SetValue(fValue - fLargeStep);
	} else {
		SetValue(fValue + fLargeStep);
	}
}

void
BScrollBar::MouseMoved(BPoint where, uint32, const BMessage*)
{
	if (!fDragging)
		return;
	BRect knob = _KnobRect();
	float knobLength = _Along(knob.RightBottom()) - _Along(knob.LeftTop()) + 1;
	float free = _TroughLength() - knobLength;
	if (free <= 0)
		return;
	float start = _Along(where) - fDragOffset - _Along(Bounds().LeftTop()) - kArrowLength;
	SetValue(fMin + (fMax - fMin) * std::clamp(start / free, 0.0f, 1.0f));
}

void
BScrollBar::MouseUp(BPoint)
{
	fDragging = false;
}

void
BScrollBar::_DrawArrow(BRect box, bool towardsStart)
{
	SetHighColor(make_color(236, 236, 236));
	FillRect(box);
	SetHighColor(make_color(255, 255, 255));
	StrokeLine(box.LeftBottom(), box.LeftTop());
	StrokeLine(box.RightTop());
	SetHighColor(make_color(152, 152, 152));
	StrokeLine(BPoint(box.left + 1, box.bottom), box.RightBottom());
	StrokeLine(BPoint(box.right, box.top + 1));

	bool enabled = fMax > fMin;
	SetHighColor(enabled ? make_color(0, 0, 0) : make_color(160, 160, 160));
	float cx = floorf((box.left + box.right) / 2);
	float cy = floorf((box.top + box.bottom) / 2);
	if (fOrientation == B_VERTICAL) {
		float tip = towardsStart ? cy - 2 : cy + 2;
		float base = towardsStart ? cy + 2 : cy - 2;
		FillTriangle(BPoint(cx, tip), BPoint(cx - 3, base), BPoint(cx + 3, base));
	} else {
		float tip = towardsStart ? cx - 2 : cx + 2;
		float base = towardsStart ? cx + 2 : cx - 2;
		FillTriangle(BPoint(tip, cy), BPoint(base, cy - 3), BPoint(base, cy + 3));
	}
}

void
BScrollBar::Draw(BRect)
{
	BRect bounds = Bounds();
	// The trough, slightly darker than the panel.
	SetHighColor(make_color(200, 200, 200));
	FillRect(bounds);
	SetHighColor(make_color(128, 128, 128));
	StrokeRect(bounds);

	BRect first = bounds, last = bounds;
	if (fOrientation == B_VERTICAL) {
		first.bottom = first.top + kArrowLength - 1;
		last.top = last.bottom - kArrowLength + 1;
	} else {
		first.right = first.left + kArrowLength - 1;
		last.left = last.right - kArrowLength + 1;
	}
	_DrawArrow(first.InsetByCopy(1, 1), true);
	_DrawArrow(last.InsetByCopy(1, 1), false);
	if (fMax <= fMin)
		return;

	BRect knob = _KnobRect();
	if (fOrientation == B_VERTICAL)
		knob.InsetBy(1, 0);
	else
		knob.InsetBy(0, 1);
	SetHighColor(make_color(236, 236, 236));
	FillRect(knob);
	SetHighColor(make_color(255, 255, 255));
	StrokeLine(knob.LeftBottom(), knob.LeftTop());
	StrokeLine(knob.RightTop());
	SetHighColor(make_color(128, 128, 128));
	StrokeLine(BPoint(knob.left + 1, knob.bottom), knob.RightBottom());
	StrokeLine(BPoint(knob.right, knob.top + 1));
}
