#include "PositionWindow.h"

#include <Screen.h>
#include <Window.h>

namespace {

const float kScreenMargin = 6;

// One axis: the free space from the screen's origin scaled by the factor,
// then clamped so that the near edge is at least on the margin and the far
// edge at most on it; the far clamp comes last and wins for a window larger
// than the space.
float
PlaceAlong(float origin, float nearEdge, float farEdge, float size, float factor)
{
	float position = origin + (farEdge - origin - size) * factor;
	if (position < nearEdge)
		position = nearEdge;
	if (position + size > farEdge)
		position = farEdge - size;
	return position;
}

} // namespace

void
PositionWindow(BWindow* window, float hFactor, float vFactor)
{
	if (window == NULL)
		return;
	BScreen screen(window);
	// A screen that does not start at the origin is a monitor beside
	// another.
	BRect whole = screen.Frame();
	BRect inset = whole.InsetByCopy(kScreenMargin, kScreenMargin);
	BRect frame = window->Frame();
	float x = PlaceAlong(whole.left, inset.left, inset.right, frame.right - frame.left,
		hFactor);
	float y = PlaceAlong(whole.top, inset.top, inset.bottom, frame.bottom - frame.top,
		vFactor);
	window->MoveTo(x, y);
}
