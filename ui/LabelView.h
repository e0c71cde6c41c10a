#ifndef _LABEL_VIEW_H
#define _LABEL_VIEW_H

// A read-only, word-wrapped text in the colours of its parent: the
// installer's multi-line labels. The text keeps 2 points inside the view's
// bounds, also after the view is resized. A text taller than the view gets
// a vertical scroll bar at the view's right edge (the view narrows for it),
// so that nothing of it is out of reach.

#include <TextView.h>

class BScrollBar;

class LabelView : public BTextView {
public:
	LabelView(BRect frame, const char* text);
	~LabelView() override;

	void AttachedToWindow() override;
	void FrameResized(float width, float height) override;

	// Sets the text and shows or hides the scroll bar for it.
	void SetText(const char* text);

	// The scroll bar while the text needs one, else NULL.
	BScrollBar* ShownScrollBar() const;

private:
	void _FitScrollBar();
	void _SetScrollBarShown(BRect fullFrame, bool shown);

	BScrollBar* fScrollBar;
	bool fFitting;
};

#endif // _LABEL_VIEW_H
