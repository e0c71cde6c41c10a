#ifndef _BUTTON_H
#define _BUTTON_H

// A push button: pressing it (a click inside it, or Enter or space while it
// has the focus, or Enter anywhere in its window when it is the window's
// default button) sends its message. Its value is on while it is held.

#include <Control.h>

class BButton : public BControl {
public:
	BButton(BRect frame, const char* name, const char* label, BMessage* message,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
	~BButton() override;

	void Draw(BRect updateRect) override;
	void AttachedToWindow() override;
	void GetPreferredSize(float* width, float* height) override;

	// The default button is drawn with a heavier frame.
	virtual void MakeDefault(bool flag);
	bool IsDefault() const { return fDefault; }

protected:
	void Operate() override;
	void SetPressed(bool pressed) override;

private:
	friend class BWindow;

	void _SetDefaultLook(bool flag);
	bool _TakesEnter() const override;

	bool fDefault;
};

#endif // _BUTTON_H
