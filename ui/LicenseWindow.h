#ifndef _LICENSE_WINDOW_H
#define _LICENSE_WINDOW_H

// The package's agreement, shown before the install window: the user
// presses "Agree" or "Disagree". Anything but "Agree" that closes the
// window ("Disagree", the close box, the program ending) sets the caller's
// flag. The window shows itself at once; the caller waits for its thread
// to end (WaitForWindow) and then reads the flag.
//
// Views by name: "licensetext" (the text), "ok" ("Agree", the default
// button), "cancel" ("Disagree").

#include <Window.h>

#include <string>

// The title, after the package's name when there is one.
const char* const kLicenseWindowTitle = "License Agreement";

class LicenseWindow : public BWindow {
public:
	// Takes over text and styles (flattened style runs; may be null),
	// which are released once the text is shown. The title names the
	// package when packageName is given.
	LicenseWindow(char* text, bool* declined, uint32 length, char* styles,
		const char* packageName = NULL);
	~LicenseWindow() override;

	// Unless "Agree" asks, the agreement was declined.
	bool QuitRequested() override;
	// Escape means "Disagree".
	void DispatchMessage(BMessage* message, BHandler* handler) override;

	// "NAME: License Agreement", or "License Agreement" without a name.
	static std::string TitleFor(const char* packageName);

private:
	bool _AskedByAgree(BMessage* message) const;

	bool* fDeclined;
};

#endif // _LICENSE_WINDOW_H
