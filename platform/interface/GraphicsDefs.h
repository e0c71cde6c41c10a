#ifndef _GRAPHICS_DEFS_H
#define _GRAPHICS_DEFS_H

// Colours, patterns, drawing modes and colour spaces.

#include <SupportDefs.h>

struct rgb_color {
	uint8 red;
	uint8 green;
	uint8 blue;
	uint8 alpha;

	bool operator==(const rgb_color& other) const
	{
		return red == other.red && green == other.green && blue == other.blue
			&& alpha == other.alpha;
	}
	bool operator!=(const rgb_color& other) const { return !(*this == other); }
};

inline rgb_color
make_color(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255)
{
	rgb_color color = {red, green, blue, alpha};
	return color;
}

// An 8 x 8 pattern: a set bit takes the high colour, a clear bit the low one.
struct pattern {
	uint8 data[8];
};

extern const pattern B_SOLID_HIGH;
extern const pattern B_MIXED_COLORS;
extern const pattern B_SOLID_LOW;

// The colour that stands for "no colour": a view of this colour is not
// filled before it draws, a high colour of it draws nothing in B_OP_OVER.
extern const rgb_color B_TRANSPARENT_COLOR;
extern const rgb_color B_TRANSPARENT_32_BIT;
extern const uint8 B_TRANSPARENT_8_BIT;
#define B_TRANSPARENT_MAGIC_CMAP8 0xff
#define B_TRANSPARENT_MAGIC_RGBA32 0x77747377

enum drawing_mode {
	B_OP_COPY,
	B_OP_OVER,
	B_OP_ERASE,
	B_OP_INVERT,
	B_OP_ADD,
	B_OP_SUBTRACT,
	B_OP_BLEND,
	B_OP_MIN,
	B_OP_MAX,
	B_OP_SELECT,
	B_OP_ALPHA
};

enum color_space {
	B_NO_COLOR_SPACE = 0x0000,
	B_RGB32 = 0x0008,
	B_RGBA32 = 0x2008,
	B_RGB24 = 0x0003,
	B_RGB16 = 0x0005,
	B_RGB15 = 0x0010,
	B_RGBA15 = 0x2010,
	B_CMAP8 = 0x0004,
	B_GRAY8 = 0x0002,
	B_GRAY1 = 0x0001,

	B_RGB_32_BIT = B_RGB32,
	B_COLOR_8_BIT = B_CMAP8,
	B_GRAYSCALE_8_BIT = B_GRAY8,
	B_MONOCHROME_1_BIT = B_GRAY1
};

// The system colour map: 256 colours, index 255 transparent. index_map
// gives the nearest index for each 15-bit colour (5 bits per component,
// red highest).
struct color_map {
	int32 id;
	rgb_color color_list[256];
	uint8 inversion_map[256];
	uint8 index_map[32768];
};

#endif // _GRAPHICS_DEFS_H
