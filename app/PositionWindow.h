#ifndef _POSITION_WINDOW_H
#define _POSITION_WINDOW_H

// Places a window on its screen: the factors are fractions of the free
// space (screen width less window width, measured from the screen's
// origin), and the window is kept 6 points inside every edge it can be.
// A window taller (wider) than the inset screen ends with its bottom
// (right) edge on the margin.

class BWindow;

void PositionWindow(BWindow* window, float hFactor, float vFactor);

#endif // _POSITION_WINDOW_H
