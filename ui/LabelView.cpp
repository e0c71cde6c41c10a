#include "LabelView.h"

LabelView::LabelView(BRect frame, const char* text)
	:
	BTextView(frame, B_EMPTY_STRING, BRect(0, 0, 100, 10), B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
		B_WILL_DRAW | B_FRAME_EVENTS)
{
	SetText(text);
}


LabelView::~LabelView()
{
}


void
LabelView::AttachedToWindow()
{
	BTextView::AttachedToWindow();
	if (Parent() != NULL)
		SetViewColor(Parent()->ViewColor());
	SetLowColor(ViewColor());
	SetTextRect(Bounds().InsetByCopy(2, 2));
	SetWordWrap(true);
	MakeSelectable(false);
	MakeEditable(false);
	BFont font(be_plain_font);
	font.SetSize(10);
	SetFontAndColor(&font, B_FONT_ALL);
	SetFontSize(10);
}


void
LabelView::FrameResized(float width, float height)
{
	BTextView::FrameResized(width, height);
	SetTextRect(Bounds().InsetByCopy(2, 2));
}
