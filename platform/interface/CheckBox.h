#ifndef _CHECK_BOX_H
#define _CHECK_BOX_H

// A box with a label that a click turns on or off; each change sends the
// message.

#include <Control.h>

class BCheckBox : public BControl {
public:
	BCheckBox(BRect frame, const char* name, const char* label, BMessage* message,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
	~BCheckBox() override;

	void Draw(BRect updateRect) override;
	void GetPreferredSize(float* width, float* height) override;
};

#endif // _CHECK_BOX_H
