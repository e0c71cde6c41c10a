#ifndef _DISPLAY_SCALE_H
#define _DISPLAY_SCALE_H

// How many pixels a unit of the windows' layout takes on the screen: 1 on
// an ordinary screen, 2 on one with twice the dots per inch. Windows keep
// their frames, views and hit-testing in layout units; their backing
// stores, native windows and pictures are drawn at the factor, so that
// text and lines are rendered sharp at the screen's own resolution.
//
// A person's choice (--scale) wins over the desktop's; the desktop says it
// through GDK_SCALE, the X resource Xft.dpi (on X) or the scale of its
// output (on Wayland), or the dots per inch of its display, in that order.

#include <SupportDefs.h>

namespace BPrivate {

class DisplayScale {
public:
	static constexpr float kMinimum = 1.0f;
	static constexpr float kMaximum = 4.0f;
	// Screens are described against this many dots per inch at factor 1.
	static constexpr float kBaseDpi = 96.0f;

	// A factor a person gave ("2", "1.5"): false for anything but a plain
	// number from kMinimum to kMaximum.
	static bool Parse(const char* text, float* scale);

	// The desktop's factor from what it says: the value of $GDK_SCALE, the
	// X resources (as the X server keeps them), the display's dots per
	// inch (0 when unknown). Each may be nullptr or absent; 1 when none says
	// anything usable.
	static float FromDesktop(const char* gdkScale, const char* xResources,
		float displayDpi);
	// Asks the X server named by $DISPLAY for its resources and the dots
	// per inch of its screen, and the environment for GDK_SCALE; the
	// display's own dots per inch stand in for the screen's when known.
	static float FromX11Desktop(float displayDpi);
	// A Wayland desktop's factor: $GDK_SCALE, else the scale the
	// compositor gives its output (0 when it says none), else the
	// display's dots per inch.
	static float FromWaylandDesktop(const char* gdkScale, int32 outputScale,
		float displayDpi);

	// The part each source gives, 0 when it says nothing usable.
	static float FromGdkScale(const char* value);
	static float FromXftDpi(const char* xResources);
	static float FromDpi(float dpi);
	static float FromOutputScale(int32 outputScale);

	// The pixels that `units` of layout take at the factor: whole pixels,
	// enough to hold them.
	static int32 Pixels(float units, float scale);
	// Where a layout coordinate lies in pixels, and back: a pixel belongs
	// to the layout unit that covers it.
	static int32 ToPixel(float coordinate, float scale);
	static float FromPixel(int32 pixel, float scale);
};

} // namespace BPrivate

#endif // _DISPLAY_SCALE_H
