#ifndef _STATUS_WINDOW_H
#define _STATUS_WINDOW_H

// The progress window of the install runs. The install worker makes it once
// (frame (0, 0, 260, 90), title "Install") and keeps it: it stays hidden
// between runs, shows itself when a run starts and hides itself when one
// ends. Its view is named "statview"; the worker talks to that view only.

#include <Window.h>

class StatusWindow : public BWindow {
public:
	StatusWindow(BRect frame, const char* title);

	// Show and Hide are not counted here: a repeated call does nothing.
	void Show() override;
	void Hide() override;

	// Escape presses "Cancel" while it is enabled.
	void DispatchMessage(BMessage* message, BHandler* handler) override;
};

#endif // _STATUS_WINDOW_H
