#include "LicenseView.h"

#include <AppDefs.h>
#include <Button.h>
#include <Font.h>
#include <Message.h>
#include <ScrollView.h>
#include <TextView.h>
#include <Window.h>

#include <cstdlib>

namespace {

const rgb_color kLightGray = {230, 230, 230, 255};
const float kMargin = 16;
const float kScrollBarRoom = 14;
const float kButtonRoom = 40;
const float kTextInset = 3;
const float kButtonWidth = 80;
const float kButtonHeight = 24;
const float kButtonGap = 16;
const float kFixedFontSize = 11;

} // namespace


LicenseView::LicenseView(BRect frame, char* text, uint32 length, char* styles)
	:
	BView(frame, "top", B_FOLLOW_ALL, B_WILL_DRAW | B_FRAME_EVENTS),
	fTextView(NULL),
	fText(text),
	fTextLength((int32)length),
	fStyles(styles)
{
	SetViewColor(kLightGray);
}


LicenseView::~LicenseView()
{
	// Only left when the view never reached a window.
	free(fText);
	free(fStyles);
}


void
LicenseView::AttachedToWindow()
{
	BView::AttachedToWindow();
	_AddText();
	_AddButtons();
}


void
LicenseView::_AddText()
{
	BRect frame = Bounds().InsetByCopy(kMargin, kMargin);
	frame.right -= kScrollBarRoom;
	frame.bottom -= kButtonRoom;
	BRect textRect = frame.OffsetToCopy(0, 0).InsetByCopy(kTextInset, kTextInset);

	// The text takes the keys that scroll it and is the first stop of Tab.
	fTextView = new BTextView(frame, kLicenseTextName, textRect, B_FOLLOW_ALL,
		B_WILL_DRAW | B_NAVIGABLE);
	BScrollView* scroller = new BScrollView("scroller", fTextView, B_FOLLOW_ALL,
		0, false, true, B_FANCY_BORDER);
	AddChild(scroller);
	fTextView->MakeFocus(true);

	fTextView->SetText(fText != NULL ? fText : "", fText != NULL ? fTextLength : 0);
	fTextView->SetWordWrap(true);
	fTextView->MakeEditable(false);
	fTextView->MakeSelectable(false);

	text_run_array* runs = fStyles != NULL
		? BTextView::UnflattenRunArray(fStyles) : NULL;
	if (runs != NULL) {
		fTextView->SetStylable(true);
		fTextView->SetRunArray(0, fTextLength, runs);
		BTextView::FreeRunArray(runs);
	} else {
		BFont font(be_fixed_font);
		font.SetSize(kFixedFontSize);
		font.SetSpacing(B_BITMAP_SPACING);
		fTextView->SetFontAndColor(0, fTextLength, &font, B_FONT_ALL);
	}
	free(fStyles);
	fStyles = NULL;
	free(fText);
	fText = NULL;
}


void
LicenseView::_AddButtons()
{
	BRect inset = Bounds().InsetByCopy(kMargin, kMargin);
	BRect agreeFrame(inset.right - kButtonWidth, inset.bottom - kButtonHeight,
		inset.right, inset.bottom);
	BButton* agree = new BButton(agreeFrame, kAgreeButtonName, "Agree",
		new BMessage(B_QUIT_REQUESTED), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
		B_WILL_DRAW | B_NAVIGABLE);

	BRect disagreeFrame = agreeFrame.OffsetByCopy(-(kButtonWidth + kButtonGap), 0);
	BMessage* refusal = new BMessage(B_QUIT_REQUESTED);
	refusal->AddBool("cancelled", true);
	BButton* disagree = new BButton(disagreeFrame, kDisagreeButtonName, "Disagree", refusal,
		B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW | B_NAVIGABLE);
	// Tab goes left to right, as the buttons stand.
	AddChild(disagree);
	AddChild(agree);

	Window()->SetDefaultButton(agree);
}


void
LicenseView::FrameResized(float width, float height)
{
	BView::FrameResized(width, height);
	if (fTextView != NULL)
		fTextView->SetTextRect(fTextView->Bounds().InsetByCopy(kTextInset, kTextInset));
}
