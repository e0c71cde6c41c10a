#ifndef _HELP_BUTTON_H
#define _HELP_BUTTON_H

// A small square button with a question mark. A click opens a help window
// with the button's text beside it; a click while that window is open
// brings it to the front. The window closes when the button is hidden or
// destroyed. The two pictures (normal and pressed) are drawn once for the
// program and shared by every help button.

#include <Messenger.h>
#include <PictureButton.h>

// The button's click, to itself; to its help window: activate, and replace
// the text ("helptext": the address of the new text).
const uint32 kHelpClicked = 'Help';
const uint32 kHelpActivate = 'DoAc';
const uint32 kHelpSetText = 'SHTx';

class HelpButton : public BPictureButton {
public:
	HelpButton(BRect frame, uint32 resizingMode, const char* title, const char* text);
	~HelpButton() override;

	void MessageReceived(BMessage* message) override;
	void AttachedToWindow() override;
	void Show() override;
	void Hide() override;

	// The text is not copied: it must outlive the help window.
	void SetHelpText(const char* text);

	// Draws the shared pictures with view (attached to a window); once.
	static void InitPicture(BView* view);
	static void Free();

	static BPicture* HelpButtonPicture;
	static BPicture* HelpButtonOnPicture;
	static bool picsInited;

private:
	const char* fHelpText;
	const char* fWindowTitle;
	BMessenger fHelpWindow;
};

#endif // _HELP_BUTTON_H
