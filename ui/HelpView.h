#ifndef _HELP_VIEW_H
#define _HELP_VIEW_H

// The content of a help window: the text in a scrolling, read-only text
// view, a separator, and a "Done" button that closes the window.

#include <View.h>

class HelpView : public BView {
public:
	HelpView(BRect frame, const char* text);

	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;

private:
	const char* fHelpText;
};

#endif // _HELP_VIEW_H
