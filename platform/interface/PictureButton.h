#ifndef _PICTURE_BUTTON_H
#define _PICTURE_BUTTON_H

// A button drawn by pictures: one for off and one for on (pressed), and
// optionally two more for the disabled states. A one-state button shows
// its on picture only while held; a two-state button toggles.

#include <Control.h>
#include <Picture.h>

enum {
	B_ONE_STATE_BUTTON,
	B_TWO_STATE_BUTTON
};

class BPictureButton : public BControl {
public:
	BPictureButton(BRect frame, const char* name, BPicture* off, BPicture* on,
		BMessage* message, uint32 behavior = B_ONE_STATE_BUTTON,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
	~BPictureButton() override;

	void Draw(BRect updateRect) override;

	// The button keeps copies of the pictures.
	virtual void SetEnabledOn(BPicture* on);
	virtual void SetEnabledOff(BPicture* off);
	virtual void SetDisabledOn(BPicture* on);
	virtual void SetDisabledOff(BPicture* off);
	BPicture* EnabledOn() const { return fEnabledOn; }
	BPicture* EnabledOff() const { return fEnabledOff; }
	BPicture* DisabledOn() const { return fDisabledOn; }
	BPicture* DisabledOff() const { return fDisabledOff; }
	virtual void SetBehavior(uint32 behavior);
	uint32 Behavior() const { return fBehavior; }

protected:
	void Operate() override;

private:
	static void _Replace(BPicture** slot, BPicture* picture);

	BPicture* fEnabledOff;
	BPicture* fEnabledOn;
	BPicture* fDisabledOff;
	BPicture* fDisabledOn;
	uint32 fBehavior;
};

#endif // _PICTURE_BUTTON_H
