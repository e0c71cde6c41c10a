#ifndef _SCREEN_H
#define _SCREEN_H

// The screen a window is on: its frame and the system colour map that
// 8-bit colour-mapped bitmaps index into. On a desktop of several monitors
// the screen is the monitor that shows windows opening now (the one under
// the pointer, else the first), never the space spanning them all.

#include <GraphicsDefs.h>
#include <Rect.h>

class BWindow;

struct screen_id {
	int32 id;
};

extern const screen_id B_MAIN_SCREEN_ID;

class BScreen {
public:
	BScreen(screen_id id = B_MAIN_SCREEN_ID);
	BScreen(BWindow* window);
	~BScreen();

	bool IsValid() const { return true; }
	status_t SetToNext() { return B_ERROR; }
	BRect Frame() const;
	color_space ColorSpace() const { return B_RGB32; }
	screen_id ID() const { return B_MAIN_SCREEN_ID; }

	const color_map* ColorMap() const;
	uint8 IndexForColor(rgb_color color) const;
	uint8 IndexForColor(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255) const;
	rgb_color ColorForIndex(uint8 index) const;
	uint8 InvertIndex(uint8 index) const;
};

// The system colour map, shared by every screen.
const color_map* system_colors();

#endif // _SCREEN_H
