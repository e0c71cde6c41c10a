#include <RadioButton.h>

#include <cmath>

namespace {

const float kDotSize = 12;
const float kLabelGap = 6;

} // namespace

BRadioButton::BRadioButton(BRect frame, const char* name, const char* label,
	BMessage* message, uint32 resizingMode, uint32 flags)
	:
	BControl(frame, name, label, message, resizingMode, flags)
{
}

BRadioButton::~BRadioButton()
{
}

void
BRadioButton::SetValue(int32 value)
{
	value = value != B_CONTROL_OFF ? B_CONTROL_ON : B_CONTROL_OFF;
	if (value == Value())
		return;
	BControl::SetValue(value);
	if (value != B_CONTROL_ON || Parent() == nullptr)
		return;
	for (int32 i = 0; i < Parent()->CountChildren(); i++) {
		BRadioButton* sibling = dynamic_cast<BRadioButton*>(Parent()->ChildAt(i));
		if (sibling != nullptr && sibling != this)
			sibling->BControl::SetValue(B_CONTROL_OFF);
	}
}

void
BRadioButton::Operate()
{
	// A press on the button that is on already sends the message again.
	SetValue(B_CONTROL_ON);
	Invoke();
}

void
BRadioButton::GetPreferredSize(float* width, float* height)
{
	font_height fh;
	GetFontHeight(&fh);
	float labelWidth = Label() != nullptr ? StringWidth(Label()) : 0;
	if (width != nullptr)
		*width = ceilf(kDotSize + kLabelGap + labelWidth + 2);
	if (height != nullptr)
		*height = std::max(kDotSize, ceilf(fh.ascent + fh.descent)) + 2;
}

void
BRadioButton::Draw(BRect)
{
	BRect bounds = Bounds();
	float top = floorf(bounds.top + (bounds.Height() + 1 - kDotSize) / 2);
	BRect circle(bounds.left + 1, top, bounds.left + kDotSize, top + kDotSize - 1);

	SetHighColor(IsPressed() ? make_color(200, 200, 200) : make_color(255, 255, 255));
	FillEllipse(circle);
	SetHighColor(IsEnabled() ? make_color(80, 80, 80) : make_color(160, 160, 160));
	StrokeEllipse(circle);
	if (Value() == B_CONTROL_ON) {
		SetHighColor(IsEnabled() ? make_color(0, 0, 0) : make_color(150, 150, 150));
		FillEllipse(circle.InsetByCopy(3, 3));
	}

	if (Label() != nullptr) {
		font_height fh;
		GetFontHeight(&fh);
		float x = circle.right + kLabelGap;
		float y = floorf(bounds.top + (bounds.Height() + 1 + fh.ascent - fh.descent) / 2);
		SetHighColor(IsEnabled() ? make_color(0, 0, 0) : make_color(150, 150, 150));
		DrawString(Label(), BPoint(x, y));
		DrawFocusMark(BRect(x, y + 2, x + StringWidth(Label()), y + 2));
	}
}
