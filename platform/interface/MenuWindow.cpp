#include <MenuWindow.h>

#include <Menu.h>
#include <Screen.h>

#include <algorithm>

namespace BPrivate {

MenuWindow::MenuWindow(BMenu* menu, BPoint where)
	:
	BWindow(BRect(where.x, where.y, where.x + 10, where.y + 10), "menu",
		static_cast<window_type>(kMenuWindowType),
		B_NOT_CLOSABLE | B_NOT_MOVABLE | B_NOT_RESIZABLE | B_AVOID_FOCUS),
	fMenu(menu)
{
	{
		std::lock_guard<std::recursive_mutex> guard(BMenu::_OpenMenusLock());
		menu->fOpenIn = this;
	}
	menu->MoveTo(0, 0);
	AddChild(menu);
	// Keys go to the open menu (the display sends them here).
	menu->MakeFocus(true);
	float width, height;
	menu->GetPreferredSize(&width, &height);
	menu->ResizeTo(width, height);
	ResizeTo(width, height);
	// Kept on the screen.
	BRect screen = BScreen(this).Frame();
	float x = std::min(where.x, screen.right - width);
	float y = std::min(where.y, screen.bottom - height);
	MoveTo(std::max(screen.left, x), std::max(screen.top, y));
}

MenuWindow::~MenuWindow()
{
	_GiveBackMenu();
}

void
MenuWindow::_GiveBackMenu()
{
	std::lock_guard<std::recursive_mutex> guard(BMenu::_OpenMenusLock());
	BMenu* menu = fMenu;
	if (menu == nullptr)
		return;
	fMenu = nullptr;
	if (menu->Window() == this)
		RemoveChild(menu);
	menu->fOpenIn = nullptr;
	// Its owner went while it was open.
	if (menu->fOrphaned)
		delete menu;
}

bool
MenuWindow::QuitRequested()
{
	_GiveBackMenu();
	return true;
}

} // namespace BPrivate
