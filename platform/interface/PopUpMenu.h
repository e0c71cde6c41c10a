#ifndef _POP_UP_MENU_H
#define _POP_UP_MENU_H

// A menu that pops up from a menu field: in radio mode by default, showing
// the marked item as the field's label.

#include <Menu.h>

class BPopUpMenu : public BMenu {
public:
	BPopUpMenu(const char* name, bool radioMode = true, bool labelFromMarked = true,
		menu_layout layout = B_ITEMS_IN_COLUMN);
	~BPopUpMenu() override;
};

#endif // _POP_UP_MENU_H
