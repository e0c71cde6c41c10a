#ifndef _ALERT_H
#define _ALERT_H

// A modal window with an icon, a message and up to three buttons; the last
// button is the default. Go() shows it and blocks the calling thread until
// a button is pressed, answering the button's index; the alert deletes
// itself. Its close box presses the cancel-like button: "Cancel" where
// there is one, else the last button.

#include <Window.h>

#include <atomic>
#include <memory>

class BButton;
class BInvoker;

namespace BPrivate {
class AlertTextView;
}

enum alert_type {
	B_EMPTY_ALERT = 0,
	B_INFO_ALERT,
	B_IDEA_ALERT,
	B_WARNING_ALERT,
	B_STOP_ALERT
};

class BAlert : public BWindow {
public:
	BAlert(const char* title, const char* text, const char* button0,
		const char* button1 = nullptr, const char* button2 = nullptr,
		button_width width = B_WIDTH_AS_USUAL, alert_type type = B_INFO_ALERT);
	~BAlert() override;

	// Blocks until a button is pressed and answers its index (-1 when the
	// alert went away otherwise). The calling thread counts as blocked;
	// called from a window's thread, that window goes on redrawing.
	int32 Go();
	// Returns at once; the invoker's message goes out with "which" set to
	// the index of the pressed button.
	status_t Go(BInvoker* invoker);

	BButton* ButtonAt(int32 index) const;
	// A key that presses the button (B_ESCAPE for a "Cancel" button).
	// Without one for it, Escape presses the cancel-like button: the one
	// labelled "Cancel", else the last.
	void SetShortcut(int32 index, char key);
	char Shortcut(int32 index) const;
	alert_type Type() const { return fType; }
	const char* Text() const;

	void MessageReceived(BMessage* message) override;
	void DispatchMessage(BMessage* message, BHandler* handler) override;

private:
	void _Layout(const char* text, const char* labels[3], button_width width);
	void _Pressed(int32 index);
	int32 _CancelIndex() const;

	alert_type fType;
	BButton* fButtons[3];
	char fShortcuts[3];
	int32 fButtonCount;
	BPrivate::AlertTextView* fTextView;
	int32* fResult;
	BInvoker* fInvoker;
	std::shared_ptr<std::atomic<bool>> fAlive;
};

#endif // _ALERT_H
