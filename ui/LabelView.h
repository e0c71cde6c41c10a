#ifndef _LABEL_VIEW_H
#define _LABEL_VIEW_H

// A read-only, word-wrapped text in the colours of its parent: the
// installer's multi-line labels. The text keeps 2 points inside the view's
// bounds, also after the view is resized.

#include <TextView.h>

class LabelView : public BTextView {
public:
	LabelView(BRect frame, const char* text);
	virtual ~LabelView();

	virtual void AttachedToWindow();
	virtual void FrameResized(float width, float height);
};

#endif // _LABEL_VIEW_H
