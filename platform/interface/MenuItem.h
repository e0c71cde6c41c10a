#ifndef _MENU_ITEM_H
#define _MENU_ITEM_H

// One entry of a menu: a label that sends its message when chosen, or
// opens its submenu. Subclasses draw their own content (DrawContent) in
// the menu, at ContentLocation.

#include <Invoker.h>
#include <Rect.h>

#include <string>

class BMenu;
class BMessage;

class BMenuItem : public BInvoker {
public:
	BMenuItem(const char* label, BMessage* message, char shortcut = 0,
		uint32 modifiers = 0);
	BMenuItem(BMenu* submenu, BMessage* message = nullptr);
	~BMenuItem() override;

	virtual void SetLabel(const char* label);
	const char* Label() const { return fLabel.c_str(); }
	virtual void SetEnabled(bool enabled);
	bool IsEnabled() const;
	virtual void SetMarked(bool marked);
	bool IsMarked() const { return fMarked; }
	virtual void SetShortcut(char shortcut, uint32 modifiers);
	char Shortcut(uint32* modifiers = nullptr) const;

	BMenu* Submenu() const { return fSubmenu; }
	BMenu* Menu() const { return fMenu; }
	BRect Frame() const { return fFrame; }
	bool IsSelected() const { return fSelected; }

	// Sends the message with "index" (the item's place in its menu) and
	// "source" (the item) added; without a target of its own the item
	// sends to the window its menu belongs to.
	status_t Invoke(BMessage* message = nullptr) override;

protected:
	virtual void GetContentSize(float* width, float* height);
	virtual void DrawContent();
	virtual void Draw();
	virtual void Highlight(bool on);
	BPoint ContentLocation() const;

private:
	friend class BMenu;
	friend class BMenuBar;

	void _SetMenu(BMenu* menu) { fMenu = menu; }

	std::string fLabel;
	BMenu* fSubmenu;
	BMenu* fMenu;
	BRect fFrame;
	bool fEnabled;
	bool fMarked;
	bool fSelected;
	char fShortcut;
	uint32 fModifiers;
};

#endif // _MENU_ITEM_H

// The separator item, declared beside the item as programs expect.
#include <SeparatorItem.h>
