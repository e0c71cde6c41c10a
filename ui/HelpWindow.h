#ifndef _HELP_WINDOW_H
#define _HELP_WINDOW_H

// A small window showing a help text, opened by a help button with its
// top-left corner at a point, kept 4 pixels inside a screen edge it would
// cross. It is made wide enough for the lines of the text that the author
// broke, so that they are not wrapped a second time. It shows itself when
// made.

#include <Window.h>

class HelpWindow : public BWindow {
public:
	HelpWindow(const char* title, BPoint where, const char* text);

	void MessageReceived(BMessage* message) override;
	// Escape closes the window, as "Done" does.
	void DispatchMessage(BMessage* message, BHandler* handler) override;

private:
	void _FitWidth(const char* text);
};

#endif // _HELP_WINDOW_H
