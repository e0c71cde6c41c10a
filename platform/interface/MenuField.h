#ifndef _MENU_FIELD_H
#define _MENU_FIELD_H

// A label and, right of the divider, a one-item menu bar that opens a menu
// (typically a pop-up menu whose marked item the bar shows).

#include <View.h>

#include <string>

class BMenu;
class BMenuBar;
class BMenuItem;

class BMenuField : public BView {
public:
	BMenuField(BRect frame, const char* name, const char* label, BMenu* menu,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
	~BMenuField() override;

	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;
	void MouseDown(BPoint where) override;
	// Space, Enter and Down open the menu.
	void KeyDown(const char* bytes, int32 numBytes) override;
	void MakeFocus(bool focused = true) override;
	void WindowActivated(bool active) override;

	BMenu* Menu() const { return fMenu; }
	BMenuBar* MenuBar() const { return fMenuBar; }
	BMenuItem* MenuItem() const;
	void SetLabel(const char* label);
	const char* Label() const { return fLabel.c_str(); }
	void SetDivider(float divider);
	float Divider() const { return fDivider; }
	virtual void SetEnabled(bool enabled);
	bool IsEnabled() const { return fEnabled; }

private:
	bool _TakesEnter() const override;
	// The bar shows the focus mark while keys go to the field.
	void _UpdateFocusMark();

	std::string fLabel;
	BMenu* fMenu;
	BMenuBar* fMenuBar;
	float fDivider;
	bool fEnabled;
};

#endif // _MENU_FIELD_H
