#include <Box.h>

#include <cmath>

BBox::BBox(BRect frame, const char* name, uint32 resizingMode, uint32 flags,
	border_style border)
	:
	BView(frame, name, resizingMode, flags),
	fHasLabel(false),
	fBorder(border)
{
	SetFont(be_bold_font);
}

BBox::~BBox()
{
}

void
BBox::AttachedToWindow()
{
	if (Parent() != nullptr) {
		SetViewColor(Parent()->ViewColor());
		SetLowColor(Parent()->ViewColor());
	}
	BView::AttachedToWindow();
}

void
BBox::SetBorder(border_style border)
{
	fBorder = border;
	Invalidate();
}

void
BBox::SetLabel(const char* label)
{
	fHasLabel = label != nullptr;
	fLabel = label != nullptr ? label : "";
	Invalidate();
}

void
BBox::FrameResized(float, float)
{
	// The border runs along the edges: all of it moves.
	Invalidate();
}

float
BBox::_TopEdge() const
{
	if (!fHasLabel)
		return Bounds().top;
	font_height fh;
	GetFontHeight(&fh);
	return Bounds().top + floorf((fh.ascent + fh.descent) / 2);
}

void
BBox::Draw(BRect)
{
	BRect frame = Bounds();
	frame.top = _TopEdge();

	switch (fBorder) {
		case B_FANCY_BORDER:
			SetHighColor(make_color(152, 152, 152));
			StrokeRect(BRect(frame.left, frame.top, frame.right - 1, frame.bottom - 1));
			SetHighColor(make_color(255, 255, 255));
			StrokeLine(BPoint(frame.left + 1, frame.top + 1),
				BPoint(frame.right - 2, frame.top + 1));
			StrokeLine(BPoint(frame.left + 1, frame.top + 1),
				BPoint(frame.left + 1, frame.bottom - 2));
			StrokeLine(BPoint(frame.left, frame.bottom), frame.RightBottom());
			StrokeLine(BPoint(frame.right, frame.top), frame.RightBottom());
			break;
		case B_PLAIN_BORDER:
			SetHighColor(make_color(96, 96, 96));
			StrokeRect(frame);
			break;
		case B_NO_BORDER:
			break;
	}

	if (fHasLabel && !fLabel.empty()) {
		font_height fh;
		GetFontHeight(&fh);
		float width = StringWidth(fLabel.c_str());
		BRect gap(Bounds().left + 6, Bounds().top, Bounds().left + 6 + width + 6,
			Bounds().top + ceilf(fh.ascent + fh.descent));
		SetHighColor(LowColor());
		FillRect(gap);
		SetHighColor(make_color(0, 0, 0));
		DrawString(fLabel.c_str(), BPoint(gap.left + 3, Bounds().top + ceilf(fh.ascent)));
	}
}
