#ifndef _RADIO_BUTTON_H
#define _RADIO_BUTTON_H

// One of a set of choices: the radio buttons that share a parent form the
// set, and turning one on turns the others off.

#include <Control.h>

class BRadioButton : public BControl {
public:
	BRadioButton(BRect frame, const char* name, const char* label, BMessage* message,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
	~BRadioButton() override;

	void Draw(BRect updateRect) override;
	void GetPreferredSize(float* width, float* height) override;
	// Turning a button on turns its siblings off.
	void SetValue(int32 value) override;

protected:
	void Operate() override;
};

#endif // _RADIO_BUTTON_H
