#include <MenuField.h>

#include <Menu.h>
#include <MenuBar.h>
#include <MenuItem.h>
#include <Window.h>

#include <cmath>

BMenuField::BMenuField(BRect frame, const char* name, const char* label, BMenu* menu,
	uint32 resizingMode, uint32 flags)
	:
	BView(frame, name, resizingMode, flags | B_WILL_DRAW),
	fLabel(label != nullptr ? label : ""),
	fMenu(menu),
	fDivider(label != nullptr ? floorf(frame.Width() / 2) : 0),
	fEnabled(true)
{
	BRect bounds = Bounds();
	fMenuBar = new BMenuBar(BRect(fDivider + 1, bounds.top, bounds.right - 1, bounds.bottom),
		"_mc_mb_", B_FOLLOW_ALL, B_ITEMS_IN_ROW, false);
	fMenuBar->fFieldLook = true;
	fMenuBar->SetViewColor(236, 236, 236);
	fMenuBar->AddItem(new BMenuItem(menu));
	AddChild(fMenuBar);
}

BMenuField::~BMenuField()
{
}

void
BMenuField::AttachedToWindow()
{
	if (Parent() != nullptr) {
		SetViewColor(Parent()->ViewColor());
		SetLowColor(Parent()->ViewColor());
	}
	BView::AttachedToWindow();
}

BMenuItem*
BMenuField::MenuItem() const
{
	return fMenuBar->ItemAt(0);
}

void
BMenuField::SetLabel(const char* label)
{
	fLabel = label != nullptr ? label : "";
	Invalidate();
}

void
BMenuField::SetDivider(float divider)
{
	fDivider = floorf(divider);
	BRect bounds = Bounds();
	fMenuBar->MoveTo(fDivider + 1, bounds.top);
	fMenuBar->ResizeTo(bounds.right - 1 - (fDivider + 1), bounds.Height());
	Invalidate();
}

void
BMenuField::SetEnabled(bool enabled)
{
	fEnabled = enabled;
	fMenuBar->SetEnabled(enabled);
	Invalidate();
}

void
BMenuField::MouseDown(BPoint)
{
	// A press on the label opens the menu too.
	if (fEnabled && MenuItem() != nullptr)
		fMenuBar->MouseDown(MenuItem()->Frame().LeftTop());
}

void
BMenuField::KeyDown(const char* bytes, int32 numBytes)
{
	bool opens = numBytes == 1
		&& (bytes[0] == B_SPACE || bytes[0] == B_ENTER || bytes[0] == B_DOWN_ARROW);
	if (!opens) {
		BView::KeyDown(bytes, numBytes);
		return;
	}
	if (fEnabled && MenuItem() != nullptr)
		fMenuBar->OpenSubmenu(MenuItem(), true);
}

bool
BMenuField::_TakesEnter() const
{
	return true;
}

void
BMenuField::MakeFocus(bool focused)
{
	BView::MakeFocus(focused);
	_UpdateFocusMark();
}

void
BMenuField::WindowActivated(bool active)
{
	BView::WindowActivated(active);
	_UpdateFocusMark();
}

void
BMenuField::_UpdateFocusMark()
{
	bool shown = IsFocus() && Window() != nullptr && Window()->IsActive();
	if (shown == fMenuBar->fFocusShown)
		return;
	fMenuBar->fFocusShown = shown;
	fMenuBar->Invalidate();
}

void
BMenuField::Draw(BRect)
{
	if (fLabel.empty())
		return;
	font_height fh;
	GetFontHeight(&fh);
	BRect bounds = Bounds();
	float y = floorf(bounds.top + (bounds.Height() + 1 + fh.ascent - fh.descent) / 2);
	SetHighColor(fEnabled ? make_color(0, 0, 0) : make_color(150, 150, 150));
	DrawString(fLabel.c_str(), BPoint(bounds.left + 1, y));
}
