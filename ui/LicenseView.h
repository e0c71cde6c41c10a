#ifndef _LICENSE_VIEW_H
#define _LICENSE_VIEW_H

// The agreement window's content: the agreement text in a scrolling,
// word-wrapped, read-only text view ("licensetext"), styled when the
// package gives style runs, otherwise in the fixed-width font; "Agree" and
// "Disagree" below it at the right.

#include <View.h>

const char* const kLicenseTextName = "licensetext";
const char* const kAgreeButtonName = "ok";
const char* const kDisagreeButtonName = "cancel";

class BTextView;

class LicenseView : public BView {
public:
	// Takes over text and styles.
	LicenseView(BRect frame, char* text, uint32 length, char* styles);
	~LicenseView() override;

	void AttachedToWindow() override;
	void FrameResized(float width, float height) override;

private:
	void _AddText();
	void _AddButtons();

	BTextView* fTextView;
	char* fText;
	int32 fTextLength;
	char* fStyles;
};

#endif // _LICENSE_VIEW_H
