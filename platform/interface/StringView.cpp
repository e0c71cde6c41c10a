#include <StringView.h>

#include <cmath>

BStringView::BStringView(BRect frame, const char* name, const char* text,
	uint32 resizingMode, uint32 flags)
	:
	BView(frame, name, resizingMode, flags),
	fText(text != nullptr ? text : ""),
	fHasText(text != nullptr),
	fAlignment(B_ALIGN_LEFT)
{
}

BStringView::~BStringView()
{
}

void
BStringView::AttachedToWindow()
{
	// The text sits on its parent's colour.
	if (Parent() != nullptr) {
		SetViewColor(Parent()->ViewColor());
		SetLowColor(Parent()->ViewColor());
	}
	BView::AttachedToWindow();
}

void
BStringView::SetText(const char* text)
{
	std::string newText = text != nullptr ? text : "";
	if (newText == fText && fHasText == (text != nullptr))
		return;
	fText = newText;
	fHasText = text != nullptr;
	Invalidate();
}

void
BStringView::SetAlignment(alignment flag)
{
	fAlignment = flag;
	Invalidate();
}

void
BStringView::GetPreferredSize(float* width, float* height)
{
	font_height fh;
	GetFontHeight(&fh);
	if (width != nullptr)
		*width = ceilf(StringWidth(fText.c_str()));
	if (height != nullptr)
		*height = ceilf(fh.ascent + fh.descent + fh.leading);
}

void
BStringView::Draw(BRect)
{
	if (fText.empty())
		return;
	BRect bounds = Bounds();
	font_height fh;
	GetFontHeight(&fh);
	float width = StringWidth(fText.c_str());
	float x = bounds.left;
	if (fAlignment == B_ALIGN_RIGHT)
		x = bounds.right - width;
	else if (fAlignment == B_ALIGN_CENTER)
		x = bounds.left + floorf((bounds.Width() + 1 - width) / 2);
	float y = floorf(bounds.top + (bounds.Height() + 1 + fh.ascent - fh.descent) / 2);
	DrawString(fText.c_str(), BPoint(x, y));
}
