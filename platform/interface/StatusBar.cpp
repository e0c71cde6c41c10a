#include <StatusBar.h>

#include <Message.h>

#include <algorithm>
#include <cmath>

BStatusBar::BStatusBar(BRect frame, const char* name, const char* label,
	const char* trailingLabel)
	:
	BView(frame, name, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW),
	fLabel(label != nullptr ? label : ""),
	fTrailingLabel(trailingLabel != nullptr ? trailingLabel : ""),
	fMax(100),
	fCurrent(0),
	fBarHeight(16),
	fBarColor(make_color(50, 150, 255))
{
}

BStatusBar::~BStatusBar()
{
}

void
BStatusBar::AttachedToWindow()
{
	if (Parent() != nullptr) {
		SetViewColor(Parent()->ViewColor());
		SetLowColor(Parent()->ViewColor());
	}
	// As tall as its text line and its bar need, whatever height it was
	// given: a frame just as high as the bar still shows both.
	float height;
	GetPreferredSize(nullptr, &height);
	ResizeTo(Bounds().Width(), height);
	BView::AttachedToWindow();
}

void
BStatusBar::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case B_UPDATE_STATUS_BAR:
		{
			float delta = 0;
			const char* text = nullptr;
			const char* trailing = nullptr;
			message->FindFloat("delta", &delta);
			message->FindString("text", &text);
			message->FindString("trailing_text", &trailing);
			Update(delta, text, trailing);
			break;
		}
		case B_RESET_STATUS_BAR:
		{
			const char* label = nullptr;
			const char* trailing = nullptr;
			message->FindString("label", &label);
			message->FindString("trailing_label", &trailing);
			Reset(label, trailing);
			break;
		}
		default:
			BView::MessageReceived(message);
			break;
	}
}

void
BStatusBar::SetBarColor(rgb_color color)
{
	fBarColor = color;
	Invalidate();
}

void
BStatusBar::SetBarHeight(float height)
{
	fBarHeight = height;
	Invalidate();
}

void
BStatusBar::SetText(const char* text)
{
	fText = text != nullptr ? text : "";
	Invalidate();
}

void
BStatusBar::SetTrailingText(const char* text)
{
	fTrailingText = text != nullptr ? text : "";
	Invalidate();
}

void
BStatusBar::SetMaxValue(float max)
{
	fMax = max;
	fCurrent = std::min(fCurrent, std::max(0.0f, fMax));
	Invalidate();
}

void
BStatusBar::Update(float delta, const char* text, const char* trailingText)
{
	fCurrent = std::clamp(fCurrent + delta, 0.0f, std::max(0.0f, fMax));
	if (text != nullptr)
		fText = text;
	if (trailingText != nullptr)
		fTrailingText = trailingText;
	Invalidate();
}

void
BStatusBar::Reset(const char* label, const char* trailingLabel)
{
	fCurrent = 0;
	fText.clear();
	fTrailingText.clear();
	fLabel = label != nullptr ? label : "";
	fTrailingLabel = trailingLabel != nullptr ? trailingLabel : "";
	Invalidate();
}

float
BStatusBar::_TextHeight() const
{
	font_height fh;
	GetFontHeight(&fh);
	return ceilf(fh.ascent + fh.descent);
}

void
BStatusBar::GetPreferredSize(float* width, float* height)
{
	if (width != nullptr)
		*width = Bounds().Width();
	if (height != nullptr)
		*height = _TextHeight() + 3 + fBarHeight;
}

void
BStatusBar::Draw(BRect)
{
	BRect bounds = Bounds();
	font_height fh;
	GetFontHeight(&fh);
	float baseline = bounds.top + ceilf(fh.ascent);

	SetHighColor(make_color(0, 0, 0));
	std::string left = fLabel + fText;
	if (!left.empty())
		DrawString(left.c_str(), BPoint(bounds.left, baseline));
	std::string right = fTrailingText + fTrailingLabel;
	if (!right.empty())
		DrawString(right.c_str(), BPoint(bounds.right - StringWidth(right.c_str()), baseline));

	// The bar: a sunken frame, the filled part in the bar colour, the rest
	// white.
	BRect bar(bounds.left, bounds.top + _TextHeight() + 3, bounds.right,
		bounds.top + _TextHeight() + 2 + fBarHeight);
	SetHighColor(make_color(152, 152, 152));
	StrokeLine(bar.LeftBottom(), bar.LeftTop());
	StrokeLine(bar.RightTop());
	SetHighColor(make_color(255, 255, 255));
	StrokeLine(BPoint(bar.left + 1, bar.bottom), bar.RightBottom());
	StrokeLine(BPoint(bar.right, bar.top + 1));
	BRect inside = bar.InsetByCopy(1, 1);
	SetHighColor(make_color(96, 96, 96));
	StrokeRect(inside);
	inside.InsetBy(1, 1);
	float filled = fMax > 0 ? floorf((inside.Width() + 1) * fCurrent / fMax) : 0;
	if (filled > 0) {
		SetHighColor(fBarColor);
		FillRect(BRect(inside.left, inside.top, inside.left + filled - 1, inside.bottom));
	}
	if (inside.left + filled <= inside.right) {
		SetHighColor(make_color(255, 255, 255));
		FillRect(BRect(inside.left + filled, inside.top, inside.right, inside.bottom));
	}
}
