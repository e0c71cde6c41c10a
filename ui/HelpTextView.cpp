#include "HelpTextView.h"

HelpTextView::HelpTextView(BRect frame, const char* name, const char* text,
	BRect textRect, uint32 resizingMode, uint32 flags)
	:
	BTextView(frame, name, textRect, resizingMode, flags),
	fHelpText(text)
{
}


void
HelpTextView::AttachedToWindow()
{
	BTextView::AttachedToWindow();
	SetFontAndColor(be_plain_font, B_FONT_ALL);
	if (fHelpText != NULL)
		SetText(fHelpText);
	SetWordWrap(true);
	MakeEditable(false);
	MakeSelectable(false);
}


void
HelpTextView::FrameResized(float width, float height)
{
	BTextView::FrameResized(width, height);
	SetTextRect(Bounds().InsetByCopy(4, 4));
}
