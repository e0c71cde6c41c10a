#ifndef _MENU_H
#define _MENU_H

// A list of items, shown in a column (a pop-up menu in its own window) or a
// row (a menu bar). Choosing an item sends its message; in radio mode it
// also becomes the one marked item, and a menu whose label comes from the
// marked item shows it in the item that opens it.

#include <List.h>
#include <View.h>

#include <mutex>

class BMenuItem;

namespace BPrivate {
class MenuWindow;
}

enum menu_layout {
	B_ITEMS_IN_ROW = 0,
	B_ITEMS_IN_COLUMN,
	B_ITEMS_IN_MATRIX
};

class BMenu : public BView {
public:
	BMenu(const char* name, menu_layout layout = B_ITEMS_IN_COLUMN);
	~BMenu() override;

	void AttachedToWindow() override;
	void MessageReceived(BMessage* message) override;
	void Draw(BRect updateRect) override;
	void MouseDown(BPoint where) override;
	void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
	void MouseUp(BPoint where) override;
	// In an open menu: Up and Down move the highlight, Enter or Space
	// chooses the highlighted item, Escape closes the menu unchanged.
	void KeyDown(const char* bytes, int32 numBytes) override;
	void GetPreferredSize(float* width, float* height) override;

	bool AddItem(BMenuItem* item);
	bool AddItem(BMenuItem* item, int32 index);
	bool AddItem(BMenu* submenu);
	bool AddSeparatorItem();
	bool RemoveItem(BMenuItem* item);
	BMenuItem* RemoveItem(int32 index);
	int32 CountItems() const;
	BMenuItem* ItemAt(int32 index) const;
	int32 IndexOf(BMenuItem* item) const;
	BMenuItem* FindItem(const char* label) const;
	BMenuItem* FindMarked() const;

	virtual status_t SetTargetForItems(BHandler* target);
	virtual void SetEnabled(bool enabled);
	bool IsEnabled() const;
	virtual void SetRadioMode(bool on);
	bool IsRadioMode() const { return fRadioMode; }
	virtual void SetLabelFromMarked(bool on);
	bool IsLabelFromMarked() const { return fLabelFromMarked; }

	BMenuItem* Superitem() const { return fSuperitem; }
	BMenu* Supermenu() const;
	menu_layout Layout() const { return fLayout; }

protected:
	BMenu(BRect frame, const char* name, uint32 resizingMode, uint32 flags,
		menu_layout layout, bool resizeToFit);

	// Lays the items out (their frames) and returns the size they need.
	virtual void LayoutItems();
	// Opens the item's submenu below it in a window of its own; from the
	// keyboard, with its marked (else first) item highlighted. A press on
	// an item whose menu is open closes it; a key leaves it open.
	void OpenSubmenu(BMenuItem* item, bool fromKeyboard = false);
	// The window whose handlers get the items' messages.
	BWindow* _TopWindow() const;

private:
	friend class BMenuItem;
	friend class BPrivate::MenuWindow;

	// Held while the menu or its items change: the lock of the window the
	// menu lies in, when the calling thread does not hold it already. An
	// open menu lies in a window of its own, whose thread draws it and may
	// be closing it while another window's thread (the one whose view
	// chose the item) marks its items.
	class ChangeGuard {
	public:
		explicit ChangeGuard(const BMenu* menu);
		~ChangeGuard();

	private:
		ChangeGuard(const ChangeGuard&) = delete;
		ChangeGuard& operator=(const ChangeGuard&) = delete;

		BLooper* fLocked;
	};

	// Guards which menus are open, and in which window: an open menu
	// belongs to its window until it closes, even when the item that owns
	// it goes away meanwhile.
	static std::recursive_mutex& _OpenMenusLock();

	BMenuItem* _ItemAt(BPoint where) const;
	// True while the menu shows in a menu window of its own.
	bool _IsOpen() const;
	void _Choose(BMenuItem* item);
	// The item a key would choose, if any.
	BMenuItem* _Highlighted() const;
	// Moves the highlight to the next item that can be chosen in the
	// direction (1 down, -1 up), staying at the end it reaches.
	void _HighlightNext(int32 direction);
	void _Highlight(BMenuItem* item);
	static bool _CanChoose(BMenuItem* item);
	void _ItemMarked(BMenuItem* item);
	void _UpdateSuperitemLabel();

	BList fItems;
	menu_layout fLayout;
	bool fEnabled;
	bool fRadioMode;
	bool fLabelFromMarked;
	bool fResizeToFit;
	BMenuItem* fSuperitem;
	BMenuItem* fPressed;
	BWindow* fOpenedFrom;
	BPrivate::MenuWindow* fOpenIn;
	bool fOrphaned;
};

#endif // _MENU_H
