#include "IconMenuItem.h"

#include <Bitmap.h>
#include <Looper.h>
#include <Menu.h>
#include <Message.h>

#include <algorithm>
#include <cmath>

namespace {

// Room for the icon before the label, and the bar item's extra indent.
const float kIconRoom = 20;
const float kBarIndent = 6;
const float kBarExtraWidth = 18;
const float kMinimumHeight = 16;

} // namespace


IconMenuItem::IconMenuItem(const char* label, BBitmap* icon, BMessage* message,
	bool ownsIcon)
	:
	BMenuItem(label, message),
	fIcon(icon),
	fOwnsIcon(ownsIcon),
	fBarItem(false)
{
}


IconMenuItem::IconMenuItem(BBitmap* icon, BMenu* submenu)
	:
	BMenuItem(submenu),
	fIcon(icon),
	fOwnsIcon(false),
	fBarItem(true)
{
}


IconMenuItem::~IconMenuItem()
{
	if (fOwnsIcon)
		delete fIcon;
}


void
IconMenuItem::SetIcon(BBitmap* icon)
{
	if (fOwnsIcon)
		return;
	fIcon = icon;
}


void
IconMenuItem::MyInvoke()
{
	if (Message() == NULL)
		return;
	BMessage copy(*Message());
	copy.AddInt32("index", Menu() != NULL ? Menu()->IndexOf(this) : -1);
	BLooper* looper = NULL;
	BHandler* target = Target(&looper);
	if (looper != NULL)
		looper->PostMessage(&copy, target);
}


void
IconMenuItem::GetContentSize(float* width, float* height)
{
	BMenuItem::GetContentSize(width, height);
	if (height != NULL)
		*height = std::max(*height, kMinimumHeight);
	if (width != NULL) {
		BFont font(be_plain_font);
		if (Menu() != NULL)
			Menu()->GetFont(&font);
		*width = ceilf(font.StringWidth(Label())) + kIconRoom;
		if (fBarItem)
			*width += kBarExtraWidth;
	}
}


void
IconMenuItem::DrawContent()
{
	BMenu* menu = Menu();
	BPoint location = ContentLocation();
	menu->MovePenTo(location.x + kIconRoom + (fBarItem ? kBarIndent : 0), location.y);
	BMenuItem::DrawContent();
	_DrawIcon();
}


void
IconMenuItem::Highlight(bool on)
{
	BMenuItem::Highlight(on);
	// The highlight must not hide the icon.
	_DrawIcon();
}


void
IconMenuItem::_DrawIcon()
{
	BMenu* menu = Menu();
	if (fIcon == NULL || menu == NULL || menu->Window() == NULL)
		return;
	BPoint location = ContentLocation();
	menu->MovePenTo(location.x, Frame().bottom - 17);
	menu->SetDrawingMode(B_OP_OVER);
	menu->DrawBitmap(fIcon);
	menu->SetDrawingMode(B_OP_COPY);
}
