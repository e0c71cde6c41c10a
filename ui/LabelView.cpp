#include "LabelView.h"

#include <ScrollBar.h>

namespace {

const float kTextInset = 2;

} // namespace


LabelView::LabelView(BRect frame, const char* text)
	:
	BTextView(frame, B_EMPTY_STRING, BRect(0, 0, 100, 10), B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
		B_WILL_DRAW | B_FRAME_EVENTS),
	fScrollBar(NULL),
	fFitting(false)
{
	BTextView::SetText(text);
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
	SetTextRect(Bounds().InsetByCopy(kTextInset, kTextInset));
	SetWordWrap(true);
	MakeSelectable(false);
	MakeEditable(false);
	BFont font(be_plain_font);
	font.SetSize(10);
	SetFontAndColor(&font, B_FONT_ALL);
	SetFontSize(10);
	_FitScrollBar();
}


void
LabelView::FrameResized(float width, float height)
{
	BTextView::FrameResized(width, height);
	SetTextRect(Bounds().InsetByCopy(kTextInset, kTextInset));
	_FitScrollBar();
}


void
LabelView::SetText(const char* text)
{
	BTextView::SetText(text);
	ScrollTo(BPoint(0, 0));
	_FitScrollBar();
}


BScrollBar*
LabelView::ShownScrollBar() const
{
	return fScrollBar != NULL && !fScrollBar->IsHidden() ? fScrollBar : NULL;
}


// The text is laid out at the full width first: a text that fits there
// needs no bar, and one that does not is laid out again beside the bar.
void
LabelView::_FitScrollBar()
{
	if (Parent() == NULL || fFitting)
		return;
	fFitting = true;
	BRect fullFrame = Frame();
	if (ShownScrollBar() != NULL)
		fullFrame.right += B_V_SCROLL_BAR_WIDTH;
	_SetScrollBarShown(fullFrame, false);
	float textHeight = TextHeight(0, CountLines() - 1) + 2 * kTextInset;
	if (textHeight > fullFrame.Height() + 1)
		_SetScrollBarShown(fullFrame, true);
	fFitting = false;
}


void
LabelView::_SetScrollBarShown(BRect fullFrame, bool shown)
{
	if (shown) {
		BRect barFrame(fullFrame.right - B_V_SCROLL_BAR_WIDTH + 1, fullFrame.top,
			fullFrame.right, fullFrame.bottom);
		if (fScrollBar == NULL) {
			fScrollBar = new BScrollBar(barFrame, "labelscroller", this, 0, 0, B_VERTICAL);
			fScrollBar->SetResizingMode(B_FOLLOW_RIGHT | B_FOLLOW_TOP);
			Parent()->AddChild(fScrollBar);
		} else {
			fScrollBar->MoveTo(barFrame.LeftTop());
			fScrollBar->ResizeTo(barFrame.Width(), barFrame.Height());
			if (fScrollBar->IsHidden())
				fScrollBar->Show();
		}
	} else {
		ScrollTo(BPoint(0, 0));
		if (ShownScrollBar() != NULL)
			fScrollBar->Hide();
	}
	ResizeTo(fullFrame.Width() - (shown ? B_V_SCROLL_BAR_WIDTH : 0), fullFrame.Height());
	// Lays the text out again, and gives the bar its range.
	SetTextRect(Bounds().InsetByCopy(kTextInset, kTextInset));
}
