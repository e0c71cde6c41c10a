#include <Screen.h>

#include <DisplayBackend.h>

#include <cstdlib>
#include <vector>

const screen_id B_MAIN_SCREEN_ID = {0};

namespace {

// The system palette: a grey ramp, a 6 x 6 x 6 colour cube, a few extra
// greys that panels use, and the transparent entry at 255.
color_map*
build_color_map()
{
	color_map* map = new color_map();
	map->id = 0;
	int32 index = 0;
	for (int32 i = 0; i < 32; i++) {
		uint8 level = static_cast<uint8>(i * 255 / 31);
		map->color_list[index++] = make_color(level, level, level);
	}
	for (int32 r = 0; r < 6; r++) {
		for (int32 g = 0; g < 6; g++) {
			for (int32 b = 0; b < 6; b++)
				map->color_list[index++] = make_color(r * 51, g * 51, b * 51);
		}
	}
	const uint8 extraGreys[] = {216, 230, 240, 128, 96, 184, 152};
	for (uint8 level : extraGreys)
		map->color_list[index++] = make_color(level, level, level);
	// index is 255 now: the transparent entry, drawn white where it is not
	// treated as transparent.
	map->color_list[B_TRANSPARENT_MAGIC_CMAP8] = make_color(255, 255, 255, 0);

	for (int32 i = 0; i < 256; i++) {
		rgb_color color = map->color_list[i];
		map->inversion_map[i] = 0;
		int32 best = 0x7fffffff;
		for (int32 j = 0; j < 255; j++) {
			rgb_color other = map->color_list[j];
			int32 dr = other.red - (255 - color.red);
			int32 dg = other.green - (255 - color.green);
			int32 db = other.blue - (255 - color.blue);
			int32 distance = dr * dr + dg * dg + db * db;
			if (distance < best) {
				best = distance;
				map->inversion_map[i] = static_cast<uint8>(j);
			}
		}
	}
	// The nearest entry to each 15-bit colour: on a product grid the
	// nearest point is the nearest level in each channel, so only that
	// point of the cube competes with the greys (the others lie farther).
	// Ties go to the lower index, as a scan of the whole list would give.
	std::vector<uint8> candidates;
	for (int32 j = 0; j < 255; j++) {
		if (j < 32 || j >= 32 + 216)
			candidates.push_back(static_cast<uint8>(j));
	}
	for (int32 rgb = 0; rgb < 32768; rgb++) {
		int32 red = ((rgb >> 10) & 31) * 255 / 31;
		int32 green = ((rgb >> 5) & 31) * 255 / 31;
		int32 blue = (rgb & 31) * 255 / 31;
		int32 cube = 32 + ((red + 25) / 51) * 36 + ((green + 25) / 51) * 6 + (blue + 25) / 51;
		int32 best = 0x7fffffff;
		uint8 bestIndex = 0;
		auto consider = [&](int32 j) {
			rgb_color other = map->color_list[j];
			int32 dr = other.red - red;
			int32 dg = other.green - green;
			int32 db = other.blue - blue;
			int32 distance = dr * dr + dg * dg + db * db;
			if (distance < best || (distance == best && j < bestIndex)) {
				best = distance;
				bestIndex = static_cast<uint8>(j);
			}
		};
		for (uint8 j : candidates)
			consider(j);
		consider(cube);
		map->index_map[rgb] = bestIndex;
	}
	return map;
}

} // namespace

const color_map*
system_colors()
{
	static const color_map* map = build_color_map();
	return map;
}

BScreen::BScreen(screen_id)
{
}

BScreen::BScreen(BWindow*)
{
}

BScreen::~BScreen()
{
}

BRect
BScreen::Frame() const
{
	return BPrivate::DisplayBackend::Default()->MonitorFrame();
}

const color_map*
BScreen::ColorMap() const
{
	return system_colors();
}

uint8
BScreen::IndexForColor(rgb_color color) const
{
	return IndexForColor(color.red, color.green, color.blue, color.alpha);
}

uint8
BScreen::IndexForColor(uint8 red, uint8 green, uint8 blue, uint8 alpha) const
{
	// Only the transparent colour itself maps to the transparent index;
	// otherwise alpha plays no part (white with alpha 0 is white).
	if (red == B_TRANSPARENT_COLOR.red && green == B_TRANSPARENT_COLOR.green
		&& blue == B_TRANSPARENT_COLOR.blue && alpha == B_TRANSPARENT_COLOR.alpha)
		return B_TRANSPARENT_MAGIC_CMAP8;
	// An exact entry wins over the 15-bit table's rounding.
	const color_map* map = system_colors();
	for (int32 i = 0; i < 255; i++) {
		const rgb_color& entry = map->color_list[i];
		if (entry.red == red && entry.green == green && entry.blue == blue)
			return static_cast<uint8>(i);
	}
	return map->index_map[((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3)];
}

rgb_color
BScreen::ColorForIndex(uint8 index) const
{
	return system_colors()->color_list[index];
}

uint8
BScreen::InvertIndex(uint8 index) const
{
	return system_colors()->inversion_map[index];
}
