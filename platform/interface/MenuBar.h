#ifndef _MENU_BAR_H
#define _MENU_BAR_H

// A row of items across the top of a window (or inside a menu field), each
// opening its menu below it.

#include <Menu.h>

class BMenuField;

class BMenuBar : public BMenu {
public:
	BMenuBar(BRect frame, const char* name,
		uint32 resizingMode = B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
		menu_layout layout = B_ITEMS_IN_ROW, bool resizeToFit = true);
	~BMenuBar() override;

	void Draw(BRect updateRect) override;
	void MouseDown(BPoint where) override;

private:
	friend class BMenuField;

	// Drawn as the button of a menu field: a raised box with a mark that
	// says it opens a menu.
	bool fFieldLook;
	// The field has the focus in the active window: the box is framed in
	// the navigation colour.
	bool fFocusShown;
};

#endif // _MENU_BAR_H
