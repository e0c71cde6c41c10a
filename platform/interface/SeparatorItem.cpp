#include <SeparatorItem.h>

#include <Menu.h>

#include <cmath>

BSeparatorItem::BSeparatorItem()
	:
	BMenuItem("", nullptr)
{
	BMenuItem::SetEnabled(false);
}

BSeparatorItem::~BSeparatorItem()
{
}

void
BSeparatorItem::SetEnabled(bool)
{
	// A separator is never chosen.
}

void
BSeparatorItem::GetContentSize(float* width, float* height)
{
	if (width != nullptr)
		*width = 0;
	if (height != nullptr)
		*height = 2;
}

void
BSeparatorItem::Draw()
{
	BMenu* menu = Menu();
	BRect frame = Frame();
	float y = floorf((frame.top + frame.bottom) / 2);
	menu->SetHighColor(menu->ViewColor());
	menu->FillRect(frame);
	menu->SetHighColor(make_color(152, 152, 152));
	menu->StrokeLine(BPoint(frame.left + 1, y), BPoint(frame.right - 1, y));
	menu->SetHighColor(make_color(255, 255, 255));
	menu->StrokeLine(BPoint(frame.left + 1, y + 1), BPoint(frame.right - 1, y + 1));
}
