#include <Menu.h>

#include <MenuItem.h>
#include <MenuWindow.h>
#include <Message.h>
#include <Messenger.h>
#include <OS.h>
#include <Window.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

const float kItemPadding = 3;
// Asks the menu that holds an open menu's superitem to show the label of
// the item marked in the open menu ("item", pointer; "label", string).
const uint32 kSuperitemLabel = '_sil';
const float kColumnExtraWidth = 14 + 20;
const float kRowExtraWidth = 16;

} // namespace

BMenu::BMenu(const char* name, menu_layout layout)
	:
	BMenu(BRect(0, 0, 10, 10), name, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW, layout, true)
{
}

BMenu::BMenu(BRect frame, const char* name, uint32 resizingMode, uint32 flags,
	menu_layout layout, bool resizeToFit)
	:
	BView(frame, name, resizingMode, flags | B_WILL_DRAW),
	fLayout(layout),
	fEnabled(true),
	fRadioMode(false),
	fLabelFromMarked(false),
	fResizeToFit(resizeToFit),
	fSuperitem(nullptr),
	fPressed(nullptr),
	fOpenedFrom(nullptr),
	fOpenIn(nullptr),
	fOrphaned(false)
{
	SetViewColor(ui_color(B_MENU_BACKGROUND_COLOR));
	SetFont(be_plain_font);
}

BMenu::~BMenu()
{
	for (int32 i = 0; i < CountItems(); i++)
		delete ItemAt(i);
	fItems.MakeEmpty();
}

void
BMenu::AttachedToWindow()
{
	BView::AttachedToWindow();
	LayoutItems();
}

void
BMenu::MessageReceived(BMessage* message)
{
	if (message->what != kSuperitemLabel) {
		BView::MessageReceived(message);
		return;
	}
	void* item = nullptr;
	const char* label = nullptr;
	if (message->FindPointer("item", &item) != B_OK
		|| message->FindString("label", &label) != B_OK)
		return;
	// The item may have left the menu since.
	int32 index = IndexOf(static_cast<BMenuItem*>(item));
	if (index >= 0)
		ItemAt(index)->SetLabel(label);
}

// #pragma mark - changing from another thread

BMenu::ChangeGuard::ChangeGuard(const BMenu* menu)
	:
	fLocked(nullptr)
{
	if (menu == nullptr)
		return;
	for (;;) {
		BMessenger window;
		{
			std::lock_guard<std::recursive_mutex> guard(_OpenMenusLock());
			BLooper* looper = menu->Looper();
			// In no window, or in one whose lock this thread holds.
			if (looper == nullptr || looper->IsLocked())
				return;
			window = BMessenger(looper);
		}
		// Never while holding the list of open menus: a closing menu
		// window takes that list while it holds its own lock.
		if (!window.LockTarget()) {
			// The window is going, and gives the menu back on its way.
			snooze(1000);
			continue;
		}
		BLooper* locked = nullptr;
		window.Target(&locked);
		{
			std::lock_guard<std::recursive_mutex> guard(_OpenMenusLock());
			if (menu->Looper() == locked) {
				fLocked = locked;
				return;
			}
		}
		// The menu closed while this thread waited: look again.
		locked->Unlock();
	}
}

BMenu::ChangeGuard::~ChangeGuard()
{
	if (fLocked != nullptr)
		fLocked->Unlock();
}

// #pragma mark - items

bool
BMenu::AddItem(BMenuItem* item)
{
	return AddItem(item, CountItems());
}

bool
BMenu::AddItem(BMenuItem* item, int32 index)
{
	if (item == nullptr || item->Menu() != nullptr)
		return false;
	ChangeGuard guard(this);
	if (index < 0 || index > CountItems() || !fItems.AddItem(item, index))
		return false;
	item->_SetMenu(this);
	LayoutItems();
	Invalidate();
	if (item->IsMarked())
		_ItemMarked(item);
	return true;
}

bool
BMenu::AddItem(BMenu* submenu)
{
	return submenu != nullptr && AddItem(new BMenuItem(submenu));
}

bool
BMenu::AddSeparatorItem()
{
	return AddItem(new BSeparatorItem());
}

bool
BMenu::RemoveItem(BMenuItem* item)
{
	ChangeGuard guard(this);
	if (item == nullptr || !fItems.RemoveItem(item))
		return false;
	item->_SetMenu(nullptr);
	if (fPressed == item)
		fPressed = nullptr;
	LayoutItems();
	Invalidate();
	return true;
}

BMenuItem*
BMenu::RemoveItem(int32 index)
{
	BMenuItem* item = ItemAt(index);
	return item != nullptr && RemoveItem(item) ? item : nullptr;
}

int32
BMenu::CountItems() const
{
	return fItems.CountItems();
}

BMenuItem*
BMenu::ItemAt(int32 index) const
{
	return static_cast<BMenuItem*>(fItems.ItemAt(index));
}

int32
BMenu::IndexOf(BMenuItem* item) const
{
	return fItems.IndexOf(item);
}

BMenuItem*
BMenu::FindItem(const char* label) const
{
	if (label == nullptr)
		return nullptr;
	for (int32 i = 0; i < CountItems(); i++) {
		BMenuItem* item = ItemAt(i);
		if (strcmp(item->Label(), label) == 0)
			return item;
		if (item->Submenu() != nullptr) {
			if (BMenuItem* found = item->Submenu()->FindItem(label))
				return found;
		}
	}
	return nullptr;
}

BMenuItem*
BMenu::FindMarked() const
{
	for (int32 i = 0; i < CountItems(); i++) {
		if (ItemAt(i)->IsMarked())
			return ItemAt(i);
	}
	return nullptr;
}

status_t
BMenu::SetTargetForItems(BHandler* target)
{
	status_t status = B_OK;
	for (int32 i = 0; i < CountItems(); i++) {
		status_t itemStatus = ItemAt(i)->SetTarget(target);
		if (itemStatus != B_OK)
			status = itemStatus;
	}
	return status;
}

void
BMenu::SetEnabled(bool enabled)
{
	fEnabled = enabled;
	Invalidate();
}

bool
BMenu::IsEnabled() const
{
	if (!fEnabled)
		return false;
	BMenu* super = Supermenu();
	return super == nullptr || super->IsEnabled();
}

void
BMenu::SetRadioMode(bool on)
{
	fRadioMode = on;
}

void
BMenu::SetLabelFromMarked(bool on)
{
	fLabelFromMarked = on;
	_UpdateSuperitemLabel();
}

BMenu*
BMenu::Supermenu() const
{
	return fSuperitem != nullptr ? fSuperitem->Menu() : nullptr;
}

void
BMenu::_ItemMarked(BMenuItem*)
{
	_UpdateSuperitemLabel();
}

std::recursive_mutex&
BMenu::_OpenMenusLock()
{
	static std::recursive_mutex lock;
	return lock;
}

void
BMenu::_UpdateSuperitemLabel()
{
	BMenuItem* marked = FindMarked();
	if (!fLabelFromMarked || marked == nullptr)
		return;

	// The item that opens this menu lives in another window while the menu
	// is open. That window's thread sets the label: waiting here for its
	// lock, while this menu's window is locked, could wait for a thread
	// that waits for this menu.
	std::lock_guard<std::recursive_mutex> guard(_OpenMenusLock());
	if (fSuperitem == nullptr)
		return;
	BMenu* super = fSuperitem->Menu();
	BLooper* looper = super != nullptr ? super->Looper() : nullptr;
	if (looper == nullptr || looper->Thread() < 0 || looper->IsLocked()) {
		fSuperitem->SetLabel(marked->Label());
		return;
	}
	BMessage message(kSuperitemLabel);
	message.AddPointer("item", fSuperitem);
	message.AddString("label", marked->Label());
	BMessenger(super, looper).SendMessage(&message);
}

BWindow*
BMenu::_TopWindow() const
{
	if (fSuperitem != nullptr && fSuperitem->Menu() != nullptr)
		return fSuperitem->Menu()->_TopWindow();
	return Window();
}

// #pragma mark - layout and drawing

void
BMenu::LayoutItems()
{
	float width = 0;
	float height = 0;
	float barHeight = Bounds().Height();
	for (int32 i = 0; i < CountItems(); i++) {
		BMenuItem* item = ItemAt(i);
		float contentWidth, contentHeight;
		item->GetContentSize(&contentWidth, &contentHeight);
		if (fLayout == B_ITEMS_IN_ROW) {
			float itemWidth = contentWidth + kRowExtraWidth;
			float itemHeight = fResizeToFit ? contentHeight + 2 * kItemPadding : barHeight;
			item->fFrame.Set(width, 0, width + itemWidth - 1, itemHeight);
			width += itemWidth;
			height = std::max(height, itemHeight);
		} else {
			float itemHeight = contentHeight + 2 * kItemPadding;
			item->fFrame.Set(1, height + 1, 0, height + itemHeight);
			height += itemHeight;
			width = std::max(width, contentWidth + kColumnExtraWidth);
		}
	}
	if (fLayout != B_ITEMS_IN_ROW) {
		// Column items are as wide as the widest, inside a one-pixel frame.
		for (int32 i = 0; i < CountItems(); i++)
			ItemAt(i)->fFrame.right = width;
		width += 1;
		height += 1;
	}
	if (fResizeToFit && CountItems() > 0)
		ResizeTo(std::max(width, 10.0f), std::max(height, 10.0f));
}

void
BMenu::GetPreferredSize(float* width, float* height)
{
	LayoutItems();
	float right = 0, bottom = 0;
	for (int32 i = 0; i < CountItems(); i++) {
		right = std::max(right, ItemAt(i)->Frame().right);
		bottom = std::max(bottom, ItemAt(i)->Frame().bottom);
	}
	if (fLayout != B_ITEMS_IN_ROW) {
		right += 1;
		bottom += 1;
	}
	if (width != nullptr)
		*width = std::max(right, 10.0f);
	if (height != nullptr)
		*height = std::max(bottom, 10.0f);
}

void
BMenu::Draw(BRect updateRect)
{
	for (int32 i = 0; i < CountItems(); i++) {
		BMenuItem* item = ItemAt(i);
		if (item->Frame().Intersects(updateRect)) {
			PushState();
			item->Draw();
			PopState();
		}
	}
	if (fLayout != B_ITEMS_IN_ROW) {
		BRect bounds = Bounds();
		SetHighColor(make_color(255, 255, 255));
		StrokeLine(bounds.LeftBottom(), bounds.LeftTop());
		StrokeLine(bounds.RightTop());
		SetHighColor(make_color(96, 96, 96));
		StrokeLine(BPoint(bounds.left + 1, bounds.bottom), bounds.RightBottom());
		StrokeLine(BPoint(bounds.right, bounds.top + 1));
	}
}

// #pragma mark - choosing

BMenuItem*
BMenu::_ItemAt(BPoint where) const
{
	for (int32 i = 0; i < CountItems(); i++) {
		if (ItemAt(i)->Frame().Contains(where))
			return ItemAt(i);
	}
	return nullptr;
}

bool
BMenu::_CanChoose(BMenuItem* item)
{
	return item != nullptr && item->IsEnabled() && dynamic_cast<BSeparatorItem*>(item) == nullptr;
}

void
BMenu::MouseDown(BPoint where)
{
	BMenuItem* item = _ItemAt(where);
	if (!_CanChoose(item))
		return;
	if (item->Submenu() != nullptr) {
		_Highlight(nullptr);
		OpenSubmenu(item);
		return;
	}
	fPressed = item;
	_Highlight(item);
}

void
BMenu::MouseMoved(BPoint where, uint32 transit, const BMessage*)
{
	// An open menu follows the pointer, as desktop menus do; its one
	// highlight is the one the arrow keys move on from. A menu that is not
	// open (a menu bar) follows it only while one of its items is pressed.
	if (!_IsOpen() && fPressed == nullptr)
		return;
	BMenuItem* item = transit == B_EXITED_VIEW ? nullptr : _ItemAt(where);
	_Highlight(_CanChoose(item) ? item : nullptr);
}

void
BMenu::MouseUp(BPoint where)
{
	BMenuItem* pressed = fPressed;
	fPressed = nullptr;
	if (pressed == nullptr)
		return;
	if (_ItemAt(where) != pressed) {
		// Released away from the item pressed: nothing is chosen, and an
		// open menu keeps what the pointer shows.
		if (!_IsOpen())
			_Highlight(nullptr);
		return;
	}
	_Highlight(nullptr);
	_Choose(pressed);
}

void
BMenu::KeyDown(const char* bytes, int32 numBytes)
{
	if (numBytes != 1) {
		BView::KeyDown(bytes, numBytes);
		return;
	}
	switch (bytes[0]) {
		case B_UP_ARROW:
			_HighlightNext(-1);
			break;
		case B_DOWN_ARROW:
			_HighlightNext(1);
			break;
		case B_ENTER:
		case B_SPACE:
		{
			BMenuItem* item = _Highlighted();
			if (item == nullptr)
				break;
			if (item->Submenu() != nullptr) {
				OpenSubmenu(item, true);
				break;
			}
			_Highlight(nullptr);
			_Choose(item);
			break;
		}
		case B_ESCAPE:
			_Highlight(nullptr);
			if (_IsOpen())
				Window()->PostMessage(B_QUIT_REQUESTED);
			break;
		default:
			BView::KeyDown(bytes, numBytes);
			break;
	}
}

bool
BMenu::_IsOpen() const
{
	return dynamic_cast<BPrivate::MenuWindow*>(Window()) != nullptr;
}

BMenuItem*
BMenu::_Highlighted() const
{
	for (int32 i = 0; i < CountItems(); i++) {
		if (ItemAt(i)->IsSelected())
			return ItemAt(i);
	}
	return nullptr;
}

void
BMenu::_Highlight(BMenuItem* item)
{
	BMenuItem* current = _Highlighted();
	if (current == item)
		return;
	if (current != nullptr)
		current->Highlight(false);
	if (item != nullptr)
		item->Highlight(true);
}

void
BMenu::_HighlightNext(int32 direction)
{
	int32 index = IndexOf(_Highlighted());
	if (index < 0)
		index = direction > 0 ? -1 : CountItems();
	for (int32 i = index + direction; i >= 0 && i < CountItems(); i += direction) {
		if (_CanChoose(ItemAt(i))) {
			_Highlight(ItemAt(i));
			return;
		}
	}
}

void
BMenu::_Choose(BMenuItem* item)
{
	if (fRadioMode)
		item->SetMarked(true);
	item->Invoke();
	// An open menu closes once an item is chosen.
	if (_IsOpen())
		Window()->PostMessage(B_QUIT_REQUESTED);
}

void
BMenu::OpenSubmenu(BMenuItem* item, bool fromKeyboard)
{
	BMenu* submenu = item->Submenu();
	if (submenu == nullptr || !item->IsEnabled())
		return;
	{
		std::lock_guard<std::recursive_mutex> guard(_OpenMenusLock());
		if (submenu->fOpenIn != nullptr) {
			// Open already: a second press closes it.
			if (!fromKeyboard)
				submenu->fOpenIn->PostMessage(B_QUIT_REQUESTED);
			return;
		}
	}
	BRect frame = ConvertToScreen(item->Frame());
	BPoint where = fLayout == B_ITEMS_IN_ROW ? BPoint(frame.left, frame.bottom + 1)
		: BPoint(frame.right + 1, frame.top);
	BPrivate::MenuWindow* window = new BPrivate::MenuWindow(submenu, where);
	// Nothing else draws the menu before its window shows.
	submenu->_Highlight(nullptr);
	if (fromKeyboard) {
		BMenuItem* marked = submenu->FindMarked();
		if (_CanChoose(marked))
			submenu->_Highlight(marked);
		else
			submenu->_HighlightNext(1);
	}
	window->Show();
}
