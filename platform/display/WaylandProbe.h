#ifndef _WAYLAND_PROBE_H
#define _WAYLAND_PROBE_H

// What a Wayland compositor offers, asked of it directly before SDL's
// Wayland driver starts there: that driver crashes on a compositor that
// offers no seat (no pointer and no keyboard, as a headless compositor
// may), and it does not tell the scale the compositor gives its outputs.
//
// Only the display thread uses it, before SDL opens the display.

#include <SupportDefs.h>

namespace BPrivate {

class WaylandProbe {
public:
	WaylandProbe();

	// Connects to the compositor that $WAYLAND_DISPLAY names (as SDL
	// would), reads what it offers, and disconnects. False when no
	// compositor answers; what it offers is then unknown.
	bool Probe();

	bool HasSeat() const { return fHasSeat; }
	// The scale the compositor gives its first output (1 on an ordinary
	// screen, 2 on one with twice the dots per inch); 0 when it says none.
	int32 OutputScale() const { return fOutputScale; }
	int32 CountOutputs() const { return fOutputs; }

private:
	bool fHasSeat;
	int32 fOutputs;
	int32 fOutputScale;
};

} // namespace BPrivate

#endif // _WAYLAND_PROBE_H
