#ifndef _LICENSE_WINDOW_H
#define _LICENSE_WINDOW_H

// The package's agreement, shown before the install window: the user
// presses "Agree" or "Disagree". "Disagree" sets the caller's flag. The
// window shows itself at once; the caller waits for its thread to end
// (WaitForWindow) and then reads the flag.
//
// Views by name: "licensetext" (the text), "ok" ("Agree", the default
// button), "cancel" ("Disagree").

#include <Window.h>

class LicenseWindow : public BWindow {
public:
	// Takes over text and styles (flattened style runs; may be null),
	// which are released once the text is shown.
	LicenseWindow(char* text, bool* declined, uint32 length, char* styles);
	virtual ~LicenseWindow();

	// With bool "cancelled" in the message that asks, the agreement was
	// declined.
	virtual bool QuitRequested();
	// Escape means "Disagree".
	virtual void DispatchMessage(BMessage* message, BHandler* handler);

private:
	bool* fDeclined;
};

#endif // _LICENSE_WINDOW_H
