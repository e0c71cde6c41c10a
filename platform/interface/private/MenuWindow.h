#ifndef _MENU_WINDOW_H
#define _MENU_WINDOW_H

// The window an open menu lies in: borderless, in front, never active. A
// press anywhere else on the screen closes it; closing gives the menu back
// to the item that opened it.

#include <Window.h>

class BMenu;

namespace BPrivate {

// The window type of open menus, which the display treats apart.
const uint32 kMenuWindowType = 0x7f00;

class MenuWindow : public BWindow {
public:
	MenuWindow(BMenu* menu, BPoint where);
	~MenuWindow() override;

	bool QuitRequested() override;
	BMenu* Menu() const { return fMenu; }

private:
	void _GiveBackMenu();

	BMenu* fMenu;
};

} // namespace BPrivate

#endif // _MENU_WINDOW_H
