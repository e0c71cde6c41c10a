#include <CheckBox.h>

#include <cmath>

namespace {

const float kBoxSize = 12;
const float kLabelGap = 6;

} // namespace

BCheckBox::BCheckBox(BRect frame, const char* name, const char* label, BMessage* message,
	uint32 resizingMode, uint32 flags)
	:
	BControl(frame, name, label, message, resizingMode, flags)
{
}

BCheckBox::~BCheckBox()
{
}

void
BCheckBox::GetPreferredSize(float* width, float* height)
{
	font_height fh;
	GetFontHeight(&fh);
	float labelWidth = Label() != nullptr ? StringWidth(Label()) : 0;
	if (width != nullptr)
		*width = ceilf(kBoxSize + kLabelGap + labelWidth + 2);
	if (height != nullptr)
		*height = std::max(kBoxSize, ceilf(fh.ascent + fh.descent)) + 2;
}

void
BCheckBox::Draw(BRect)
{
	BRect bounds = Bounds();
	float top = floorf(bounds.top + (bounds.Height() + 1 - kBoxSize) / 2);
	BRect box(bounds.left + 1, top, bounds.left + kBoxSize, top + kBoxSize - 1);

	// A sunken box: shadow on the top and left, light on the bottom and
	// right, a dark inner frame and a white well.
	SetHighColor(make_color(152, 152, 152));
	StrokeLine(box.LeftBottom(), box.LeftTop());
	StrokeLine(box.RightTop());
	SetHighColor(make_color(255, 255, 255));
	StrokeLine(BPoint(box.left + 1, box.bottom), box.RightBottom());
	StrokeLine(BPoint(box.right, box.top + 1));
	BRect well = box.InsetByCopy(1, 1);
	SetHighColor(IsEnabled() ? make_color(80, 80, 80) : make_color(160, 160, 160));
	StrokeRect(well);
	well.InsetBy(1, 1);
	SetHighColor(IsPressed() ? make_color(200, 200, 200) : make_color(255, 255, 255));
	FillRect(well);

	if (Value() == B_CONTROL_ON) {
		// A cross of two-pixel strokes.
		SetHighColor(IsEnabled() ? make_color(0, 0, 0) : make_color(150, 150, 150));
		BRect mark = well.InsetByCopy(1, 1);
		SetPenSize(1);
		StrokeLine(mark.LeftTop(), mark.RightBottom());
		StrokeLine(BPoint(mark.left + 1, mark.top), BPoint(mark.right, mark.bottom - 1));
		StrokeLine(mark.LeftBottom(), mark.RightTop());
		StrokeLine(BPoint(mark.left + 1, mark.bottom), BPoint(mark.right, mark.top + 1));
	}

	if (Label() != nullptr) {
		font_height fh;
		GetFontHeight(&fh);
		float x = box.right + kLabelGap;
		float y = floorf(bounds.top + (bounds.Height() + 1 + fh.ascent - fh.descent) / 2);
		SetHighColor(IsEnabled() ? make_color(0, 0, 0) : make_color(150, 150, 150));
		DrawString(Label(), BPoint(x, y));
		DrawFocusMark(BRect(x, y + 2, x + StringWidth(Label()), y + 2));
	}
}
