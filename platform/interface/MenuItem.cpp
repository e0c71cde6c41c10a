#include <MenuItem.h>

#include <Menu.h>
#include <MenuWindow.h>
#include <Message.h>
#include <Messenger.h>
#include <Window.h>

#include <cmath>

namespace {

const float kColumnContentLeft = 14;
const float kRowContentLeft = 8;

} // namespace

BMenuItem::BMenuItem(const char* label, BMessage* message, char shortcut, uint32 modifiers)
	:
	BInvoker(message, nullptr, nullptr),
	fLabel(label != nullptr ? label : ""),
	fSubmenu(nullptr),
	fMenu(nullptr),
	fEnabled(true),
	fMarked(false),
	fSelected(false),
	fShortcut(shortcut),
	fModifiers(modifiers)
{
}

BMenuItem::BMenuItem(BMenu* submenu, BMessage* message)
	:
	BInvoker(message, nullptr, nullptr),
	fLabel(submenu != nullptr && submenu->Name() != nullptr ? submenu->Name() : ""),
	fSubmenu(submenu),
	fMenu(nullptr),
	fEnabled(true),
	fMarked(false),
	fSelected(false),
	fShortcut(0),
	fModifiers(0)
{
	if (submenu != nullptr) {
		submenu->fSuperitem = this;
		submenu->_UpdateSuperitemLabel();
	}
}

BMenuItem::~BMenuItem()
{
	if (fSubmenu == nullptr)
		return;
	std::lock_guard<std::recursive_mutex> guard(BMenu::_OpenMenusLock());
	if (fSubmenu->fSuperitem != this)
		return;
	fSubmenu->fSuperitem = nullptr;
	if (fSubmenu->fOpenIn != nullptr) {
		// Open in its own window: that window deletes it as it closes.
		fSubmenu->fOrphaned = true;
		fSubmenu->fOpenIn->PostMessage(B_QUIT_REQUESTED);
	} else {
		delete fSubmenu;
	}
}

void
BMenuItem::SetLabel(const char* label)
{
	BMenu::ChangeGuard guard(fMenu);
	fLabel = label != nullptr ? label : "";
	if (fMenu != nullptr) {
		fMenu->LayoutItems();
		fMenu->Invalidate();
	}
}

void
BMenuItem::SetEnabled(bool enabled)
{
	BMenu::ChangeGuard guard(fMenu);
	fEnabled = enabled;
	if (fMenu != nullptr)
		fMenu->Invalidate(fFrame);
}

bool
BMenuItem::IsEnabled() const
{
	return fEnabled && (fMenu == nullptr || fMenu->IsEnabled());
}

void
BMenuItem::SetMarked(bool marked)
{
	BMenu::ChangeGuard guard(fMenu);
	if (marked && fMenu != nullptr && fMenu->IsRadioMode()) {
		for (int32 i = 0; i < fMenu->CountItems(); i++) {
			BMenuItem* other = fMenu->ItemAt(i);
			if (other != this && other->fMarked) {
				other->fMarked = false;
				fMenu->Invalidate(other->fFrame);
			}
		}
	}
	fMarked = marked;
	if (fMenu != nullptr) {
		fMenu->Invalidate(fFrame);
		if (marked)
			fMenu->_ItemMarked(this);
	}
}

void
BMenuItem::SetShortcut(char shortcut, uint32 modifiers)
{
	fShortcut = shortcut;
	fModifiers = modifiers;
}

char
BMenuItem::Shortcut(uint32* modifiers) const
{
	if (modifiers != nullptr)
		*modifiers = fModifiers;
	return fShortcut;
}

status_t
BMenuItem::Invoke(BMessage* message)
{
	if (message == nullptr)
		message = Message();
	if (message == nullptr)
		return B_BAD_VALUE;
	BMessage copy(*message);
	copy.SetInt32("index", fMenu != nullptr ? fMenu->IndexOf(this) : -1);
	if (Messenger().IsValid())
		return BInvoker::Invoke(&copy);
	// Without a target the message goes to the window the menu belongs to.
	BWindow* window = fMenu != nullptr ? fMenu->_TopWindow() : nullptr;
	if (window == nullptr)
		return B_BAD_VALUE;
	copy.SetInt64("when", system_time());
	copy.SetPointer("source", this);
	return BMessenger(window).SendMessage(&copy);
}

BPoint
BMenuItem::ContentLocation() const
{
	bool column = fMenu == nullptr || fMenu->Layout() != B_ITEMS_IN_ROW;
	float width, height;
	const_cast<BMenuItem*>(this)->GetContentSize(&width, &height);
	float top = fFrame.top + floorf((fFrame.Height() + 1 - height) / 2);
	return BPoint(fFrame.left + (column ? kColumnContentLeft : kRowContentLeft), top);
}

void
BMenuItem::GetContentSize(float* width, float* height)
{
	font_height fh;
	be_plain_font->GetHeight(&fh);
	BFont font(be_plain_font);
	if (fMenu != nullptr) {
		fMenu->GetFont(&font);
		font.GetHeight(&fh);
	}
	if (width != nullptr)
		*width = ceilf(font.StringWidth(fLabel.c_str()));
	if (height != nullptr)
		*height = ceilf(fh.ascent + fh.descent);
}

void
BMenuItem::DrawContent()
{
	// The label at the pen, which Draw put at the content location.
	font_height fh;
	fMenu->GetFontHeight(&fh);
	BPoint pen = fMenu->PenLocation();
	fMenu->MovePenTo(pen.x, pen.y + ceilf(fh.ascent));
	fMenu->DrawString(fLabel.c_str());
}

void
BMenuItem::Highlight(bool on)
{
	fSelected = on;
	if (fMenu != nullptr)
		fMenu->Invalidate(fFrame);
}

void
BMenuItem::Draw()
{
	bool column = fMenu->Layout() != B_ITEMS_IN_ROW;
	rgb_color background = fSelected ? ui_color(B_MENU_SELECTION_BACKGROUND_COLOR)
		: fMenu->ViewColor();
	fMenu->SetHighColor(background);
	fMenu->FillRect(fFrame);
	fMenu->SetLowColor(background);
	rgb_color text = IsEnabled() ? make_color(0, 0, 0) : make_color(150, 150, 150);
	if (fMarked && column) {
		// A check mark in the margin.
		fMenu->SetHighColor(text);
		float x = fFrame.left + 4;
		float y = floorf((fFrame.top + fFrame.bottom) / 2);
		fMenu->StrokeLine(BPoint(x, y), BPoint(x + 2, y + 2));
		fMenu->StrokeLine(BPoint(x + 2, y + 2), BPoint(x + 7, y - 3));
		fMenu->StrokeLine(BPoint(x, y + 1), BPoint(x + 2, y + 3));
		fMenu->StrokeLine(BPoint(x + 2, y + 3), BPoint(x + 7, y - 2));
	}
	fMenu->SetHighColor(text);
	fMenu->MovePenTo(ContentLocation());
	DrawContent();
}
