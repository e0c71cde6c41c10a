#ifndef _ICON_MENU_ITEM_H
#define _ICON_MENU_ITEM_H

// A menu item with a small icon in front of its label: the volume and
// folder menus' items, and the item that sits in a menu field's bar with
// the menu as its submenu (its label further right, its width larger).

#include <MenuItem.h>

class BBitmap;

class IconMenuItem : public BMenuItem {
public:
	// An ordinary item; with ownsIcon it deletes the icon.
	IconMenuItem(const char* label, BBitmap* icon, BMessage* message, bool ownsIcon);
	// The bar item that opens submenu; it never owns its icon.
	IconMenuItem(BBitmap* icon, BMenu* submenu);
	~IconMenuItem() override;

	BBitmap* GetIcon() const { return fIcon; }
	// Ignored for an item that owns its icon.
	void SetIcon(BBitmap* icon);
	// Posts a copy of the item's message, with "index" its place in its
	// menu, to the item's target, as if the user had chosen it.
	void MyInvoke();

protected:
	void GetContentSize(float* width, float* height) override;
	void DrawContent() override;
	void Highlight(bool on) override;

private:
	void _DrawIcon();

	BBitmap* fIcon;
	bool fOwnsIcon;
	bool fBarItem;
};

#endif // _ICON_MENU_ITEM_H
