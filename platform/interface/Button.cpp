#include <Button.h>

#include <Window.h>

#include <cmath>

namespace {

const rgb_color kBorder = {96, 96, 96, 255};
const rgb_color kFace = {236, 236, 236, 255};
const rgb_color kPressedFace = {168, 168, 168, 255};
const rgb_color kBevelLight = {255, 255, 255, 255};
const rgb_color kBevelDark = {152, 152, 152, 255};
const rgb_color kDisabledText = {150, 150, 150, 255};

} // namespace

BButton::BButton(BRect frame, const char* name, const char* label, BMessage* message,
	uint32 resizingMode, uint32 flags)
	:
	BControl(frame, name, label, message, resizingMode, flags),
	fDefault(false)
{
}

BButton::~BButton()
{
}

void
BButton::AttachedToWindow()
{
	BControl::AttachedToWindow();
	// A button made default before it had a window becomes the window's
	// default now.
	if (fDefault)
		Window()->SetDefaultButton(this);
}

void
BButton::MakeDefault(bool flag)
{
	BWindow* window = Window();
	if (window == nullptr) {
		fDefault = flag;
		return;
	}
	if (flag)
		window->SetDefaultButton(this);
	else if (window->DefaultButton() == this)
		window->SetDefaultButton(nullptr);
}

void
BButton::_SetDefaultLook(bool flag)
{
	if (fDefault == flag)
		return;
	fDefault = flag;
	Invalidate();
}

bool
BButton::_TakesEnter() const
{
	// A button that has the focus presses on Enter, as on the space bar.
	return true;
}

void
BButton::Operate()
{
	Invoke();
}

void
BButton::SetPressed(bool pressed)
{
	SetValueNoUpdate(pressed ? B_CONTROL_ON : B_CONTROL_OFF);
	BControl::SetPressed(pressed);
}

void
BButton::GetPreferredSize(float* width, float* height)
{
	font_height fh;
	GetFontHeight(&fh);
	float labelWidth = Label() != nullptr ? StringWidth(Label()) : 0;
	if (width != nullptr)
		*width = std::max(75.0f, ceilf(labelWidth + 20));
	if (height != nullptr)
		*height = ceilf(fh.ascent + fh.descent) + 9 + (fDefault ? 2 : 0);
}

void
BButton::Draw(BRect)
{
	BRect frame = Bounds();
	bool pressed = IsPressed();

	if (fDefault) {
		// The heavier frame of the default button: a dark ring outside the
		// ordinary border.
		SetHighColor(make_color(0, 0, 0));
		StrokeLine(BPoint(frame.left + 1, frame.top), BPoint(frame.right - 1, frame.top));
		StrokeLine(BPoint(frame.left + 1, frame.bottom), BPoint(frame.right - 1, frame.bottom));
		StrokeLine(BPoint(frame.left, frame.top + 1), BPoint(frame.left, frame.bottom - 1));
		StrokeLine(BPoint(frame.right, frame.top + 1), BPoint(frame.right, frame.bottom - 1));
		frame.InsetBy(1, 1);
	}

	// Border with clipped corners for a softer outline.
	SetHighColor(IsEnabled() ? kBorder : kBevelDark);
	StrokeLine(BPoint(frame.left + 1, frame.top), BPoint(frame.right - 1, frame.top));
	StrokeLine(BPoint(frame.left + 1, frame.bottom), BPoint(frame.right - 1, frame.bottom));
	StrokeLine(BPoint(frame.left, frame.top + 1), BPoint(frame.left, frame.bottom - 1));
	StrokeLine(BPoint(frame.right, frame.top + 1), BPoint(frame.right, frame.bottom - 1));
	frame.InsetBy(1, 1);

	SetHighColor(pressed ? kPressedFace : kFace);
	FillRect(frame);
	// The bevel: light from the top left, turned round while pressed.
	SetHighColor(pressed ? kBevelDark : kBevelLight);
	StrokeLine(frame.LeftBottom(), frame.LeftTop());
	StrokeLine(frame.RightTop());
	SetHighColor(pressed ? kBevelLight : kBevelDark);
	StrokeLine(BPoint(frame.left + 1, frame.bottom), frame.RightBottom());
	StrokeLine(BPoint(frame.right, frame.top + 1));

	if (Label() != nullptr) {
		font_height fh;
		GetFontHeight(&fh);
		float width = StringWidth(Label());
		float x = floorf(frame.left + (frame.Width() + 1 - width) / 2);
		float y = floorf(frame.top + (frame.Height() + 1 + fh.ascent - fh.descent) / 2);
		SetLowColor(pressed ? kPressedFace : kFace);
		SetHighColor(IsEnabled() ? make_color(0, 0, 0) : kDisabledText);
		DrawString(Label(), BPoint(x, y));
		DrawFocusMark(BRect(x, y + 2, x + width, y + 2));
	}
}
