#include "HelpView.h"

#include "HSeparator.h"
#include "HelpTextView.h"

#include <Button.h>
#include <ScrollBar.h>
#include <ScrollView.h>
#include <Window.h>

HelpView::HelpView(BRect frame, const char* text)
	:
	BView(frame, "helpview", B_FOLLOW_ALL_SIDES, B_WILL_DRAW | B_FULL_UPDATE_ON_RESIZE),
	fHelpText(text)
{
	SetViewColor(230, 230, 230, 0);
}


void
HelpView::AttachedToWindow()
{
	Window()->SetSizeLimits(180, 8192, 88, 8192);

	// Room on the right for the scroll bar and below for the button.
	BRect textFrame = Bounds();
	textFrame.right -= B_V_SCROLL_BAR_WIDTH;
	textFrame.bottom -= 44;
	BRect textRect = textFrame.OffsetToCopy(0, 0).InsetByCopy(4, 4);
	HelpTextView* textView = new HelpTextView(textFrame, "helptext", fHelpText, textRect,
		B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
	BScrollView* scroller = new BScrollView("helpscroller", textView, B_FOLLOW_ALL_SIDES,
		B_NAVIGABLE, false, true, B_NO_BORDER);
	AddChild(scroller);
	scroller->MakeFocus(true);

	BRect inset = Bounds().InsetByCopy(14, 10);
	BButton* done = new BButton(BRect(inset.right - 90, inset.bottom - 22, inset.right,
		inset.bottom), "done", "Done", new BMessage(B_QUIT_REQUESTED),
		B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW | B_NAVIGABLE);
	AddChild(done);
	Window()->SetDefaultButton(done);
}


void
HelpView::Draw(BRect updateRect)
{
	BView::Draw(updateRect);
	BRect bounds = Bounds();
	DrawHSeparator(0, bounds.right, bounds.bottom - 42, this);
}
