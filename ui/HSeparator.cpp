#include "HSeparator.h"

#include <View.h>

void
DrawHSeparator(float left, float right, float y, BView* view)
{
	rgb_color saved = view->HighColor();
	view->SetHighColor(128, 128, 128);
	view->StrokeLine(BPoint(left, y), BPoint(right, y), B_SOLID_HIGH);
	view->SetHighColor(255, 255, 255);
	view->StrokeLine(BPoint(left, y + 1), BPoint(right, y + 1), B_SOLID_HIGH);
	view->SetHighColor(saved);
}
