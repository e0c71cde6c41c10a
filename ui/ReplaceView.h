#ifndef _REPLACE_VIEW_H
#define _REPLACE_VIEW_H

// The contents of the replace dialog: the warning icon, the caller's text,
// the three options (replace, rename, skip) in a box, the "Don't ask again"
// check box and the two buttons. Everything is laid out when the view is
// attached, in fixed rectangles.

#include <View.h>

// Message of the option radio buttons; "choice" (int32) is 2, 1 or 0.
const uint32 kReplaceChoiceMessage = 'RaSe';
const char* const kReplaceViewName = "replview";
// The box that holds the three options.
const char* const kReplaceChoicesName = "radiobox";
const char* const kContinueInstallName = "continue";
const char* const kCancelInstallName = "cancel";

// Message of the "Don't ask again" check box.
const uint32 kDontAskMessage = 'DoAs';

// The option wordings by the kind of the question: how the existing item
// was found to be newer (0 plain, 1 version, 2 creation time, 3
// modification time).
const char* ReplaceOptionLabel(uint8 kind);
const char* RenameOptionLabel(uint8 kind);
extern const char* const kSkipOptionLabel;
extern const char* const kDontAskLabel;

class ReplaceView : public BView {
public:
	// `text` is not copied: the caller keeps it alive while the view lives.
	ReplaceView(BRect frame, int16 choice, char* text, uint8 kind);

	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;

private:
	void _AddOptions(BRect boxFrame);
	void _AddButtons();

	int16 fChoice;
	char* fText;
	uint8 fKind;
};

#endif // _REPLACE_VIEW_H
