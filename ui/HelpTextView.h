#ifndef _HELP_TEXT_VIEW_H
#define _HELP_TEXT_VIEW_H

// The read-only, word-wrapped text of a help window. The text is not
// copied until the view is attached.

#include <TextView.h>

class HelpTextView : public BTextView {
public:
	HelpTextView(BRect frame, const char* name, const char* text, BRect textRect,
		uint32 resizingMode, uint32 flags);

	void AttachedToWindow() override;
	void FrameResized(float width, float height) override;

private:
	const char* fHelpText;
};

#endif // _HELP_TEXT_VIEW_H
