#include "PositionWindow.h"

#include <Screen.h>
#include <Window.h>

namespace {

const float kScreenMargin = 6;

// One axis: the free space scaled by the factor, then clamped so that the
// near edge is at least on the margin and the far edge at most on it; the
// far clamp comes last and wins for a window larger than the space.
float
PlaceAlong(float nearEdge, float farEdge, float size, float factor)
{
	float position = (farEdge - size) * factor;
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
	BRect inset = screen.Frame().InsetByCopy(kScreenMargin, kScreenMargin);
	BRect frame = window->Frame();
	float x = PlaceAlong(inset.left, inset.right, frame.right - frame.left, hFactor);
	float y = PlaceAlong(inset.top, inset.bottom, frame.bottom - frame.top, vFactor);
	window->MoveTo(x, y);
}
