#include <MenuBar.h>

#include <MenuItem.h>

#include <cmath>

BMenuBar::BMenuBar(BRect frame, const char* name, uint32 resizingMode, menu_layout layout,
	bool resizeToFit)
	:
	BMenu(frame, name, resizingMode, B_WILL_DRAW | B_FRAME_EVENTS, layout, resizeToFit),
	fFieldLook(false),
	fFocusShown(false)
{
}

BMenuBar::~BMenuBar()
{
}

void
BMenuBar::MouseDown(BPoint where)
{
	for (int32 i = 0; i < CountItems(); i++) {
		BMenuItem* item = ItemAt(i);
		if (item->Frame().Contains(where) || (fFieldLook && i == 0)) {
			if (item->Submenu() != nullptr)
				OpenSubmenu(item);
			else
				BMenu::MouseDown(where);
			return;
		}
	}
}

void
BMenuBar::Draw(BRect updateRect)
{
	BRect bounds = Bounds();
	if (!fFieldLook) {
		SetHighColor(ViewColor());
		FillRect(bounds);
		BMenu::Draw(updateRect);
		SetHighColor(make_color(255, 255, 255));
		StrokeLine(bounds.LeftTop(), bounds.RightTop());
		SetHighColor(make_color(152, 152, 152));
		StrokeLine(bounds.LeftBottom(), bounds.RightBottom());
		return;
	}

	// A raised box holding the item, with a small triangle at the right.
	SetHighColor(make_color(236, 236, 236));
	FillRect(bounds);
	if (BMenuItem* item = ItemAt(0)) {
		PushState();
		item->Draw();
		PopState();
	}
	SetHighColor(fFocusShown ? ui_color(B_KEYBOARD_NAVIGATION_COLOR) : make_color(96, 96, 96));
	StrokeRect(bounds);
	SetHighColor(make_color(255, 255, 255));
	StrokeLine(BPoint(bounds.left + 1, bounds.bottom - 1), BPoint(bounds.left + 1, bounds.top + 1));
	StrokeLine(BPoint(bounds.right - 1, bounds.top + 1));
	SetHighColor(make_color(152, 152, 152));
	StrokeLine(BPoint(bounds.left + 2, bounds.bottom - 1),
		BPoint(bounds.right - 1, bounds.bottom - 1));
	StrokeLine(BPoint(bounds.right - 1, bounds.top + 2));
	float cx = bounds.right - 9;
	float cy = floorf((bounds.top + bounds.bottom) / 2);
	SetHighColor(IsEnabled() ? make_color(0, 0, 0) : make_color(150, 150, 150));
	FillTriangle(BPoint(cx - 3, cy - 1), BPoint(cx + 3, cy - 1), BPoint(cx, cy + 2));
}
