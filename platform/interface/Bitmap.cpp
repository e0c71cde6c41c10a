#include <Bitmap.h>

#include <Screen.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

int32
bytes_per_row(color_space space, int32 width)
{
	switch (space) {
		case B_CMAP8:
		case B_GRAY8:
			return (width + 3) & ~3;
		case B_RGB32:
		case B_RGBA32:
			return width * 4;
		case B_RGB24:
			return (width * 3 + 3) & ~3;
		case B_RGB16:
		case B_RGB15:
		case B_RGBA15:
			return (width * 2 + 3) & ~3;
		case B_GRAY1:
			return ((width + 31) / 32) * 4;
		default:
			return width * 4;
	}
}

bool
is_32_bit(color_space space)
{
	return space == B_RGB32 || space == B_RGBA32;
}

} // namespace

BBitmap::BBitmap(BRect bounds, color_space space, bool, bool)
	:
	fBounds(bounds),
	fSpace(space),
	fBits(nullptr)
{
	_Allocate();
}

BBitmap::BBitmap(const BBitmap* source)
	:
	fBounds(source->fBounds),
	fSpace(source->fSpace),
	fBits(nullptr)
{
	_Allocate();
	if (fBits != nullptr && source->fBits != nullptr)
		memcpy(fBits, source->fBits, fBitsLength);
}

BBitmap::~BBitmap()
{
	free(fBits);
}

void
BBitmap::_Allocate()
{
	fWidth = fBounds.IsValid() ? static_cast<int32>(floorf(fBounds.Width())) + 1 : 0;
	fHeight = fBounds.IsValid() ? static_cast<int32>(floorf(fBounds.Height())) + 1 : 0;
	fBytesPerRow = bytes_per_row(fSpace, fWidth);
	fBitsLength = fBytesPerRow * fHeight;
	if (fBitsLength > 0)
		fBits = static_cast<uint8*>(calloc(1, fBitsLength));
}

void
BBitmap::SetBits(const void* data, int32 length, int32 offset, color_space space)
{
	if (fBits == nullptr || data == nullptr || length <= 0 || offset < 0
		|| offset >= fBitsLength)
		return;
	const uint8* source = static_cast<const uint8*>(data);

	if (space == fSpace || (is_32_bit(space) && is_32_bit(fSpace))) {
		int32 count = length < fBitsLength - offset ? length : fBitsLength - offset;
		memcpy(fBits + offset, source, count);
		return;
	}

	BScreen screen;
	const color_map* map = screen.ColorMap();
	if (space == B_CMAP8 && is_32_bit(fSpace)) {
		// Source pixels fill the bitmap's pixels in order, from the pixel
		// that the byte offset names.
		int32 sourceRow = bytes_per_row(B_CMAP8, fWidth);
		int32 first = offset / 4;
		for (int32 i = 0; first + i < fWidth * fHeight; i++) {
			int32 x = (first + i) % fWidth;
			int32 y = (first + i) / fWidth;
			int32 sourceIndex = (i / fWidth) * sourceRow + (i % fWidth);
			if (first % fWidth != 0)
				sourceIndex = i;
			if (sourceIndex >= length)
				break;
			uint8 index = source[sourceIndex];
			uint8* pixel = fBits + y * fBytesPerRow + x * 4;
			if (index == B_TRANSPARENT_MAGIC_CMAP8) {
				uint32 magic = B_TRANSPARENT_MAGIC_RGBA32;
				memcpy(pixel, &magic, 4);
				continue;
			}
			rgb_color color = map->color_list[index];
			pixel[0] = color.blue;
			pixel[1] = color.green;
			pixel[2] = color.red;
			pixel[3] = 255;
		}
		return;
	}
	if (is_32_bit(space) && fSpace == B_CMAP8) {
		int32 firstPixel = offset;
		for (int32 i = 0; i * 4 + 3 < length; i++) {
			int32 pixelIndex = firstPixel + i;
			if (pixelIndex >= fWidth * fHeight)
				break;
			const uint8* pixel = source + i * 4;
			uint32 value;
			memcpy(&value, pixel, 4);
			uint8 index = value == B_TRANSPARENT_MAGIC_RGBA32
				|| (space == B_RGBA32 && pixel[3] < 127)
				? B_TRANSPARENT_MAGIC_CMAP8
				: screen.IndexForColor(pixel[2], pixel[1], pixel[0]);
			fBits[(pixelIndex / fWidth) * fBytesPerRow + pixelIndex % fWidth] = index;
		}
	}
}

cairo_surface_t*
BBitmap::CreateSurface(bool keepTransparency) const
{
	cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
		fWidth > 0 ? fWidth : 1, fHeight > 0 ? fHeight : 1);
	cairo_surface_flush(surface);
	uint8* target = cairo_image_surface_get_data(surface);
	int32 stride = cairo_image_surface_get_stride(surface);
	const color_map* map = system_colors();

	for (int32 y = 0; y < fHeight && fBits != nullptr; y++) {
		uint32* row = reinterpret_cast<uint32*>(target + y * stride);
		const uint8* sourceRow = fBits + y * fBytesPerRow;
		for (int32 x = 0; x < fWidth; x++) {
			uint8 red, green, blue, alpha = 255;
			if (fSpace == B_CMAP8) {
				uint8 index = sourceRow[x];
				rgb_color color = map->color_list[index];
				red = color.red;
				green = color.green;
				blue = color.blue;
				if (index == B_TRANSPARENT_MAGIC_CMAP8 && keepTransparency)
					alpha = 0;
			} else if (fSpace == B_GRAY8) {
				red = green = blue = sourceRow[x];
			} else {
				const uint8* pixel = sourceRow + x * 4;
				uint32 value;
				memcpy(&value, pixel, 4);
				blue = pixel[0];
				green = pixel[1];
				red = pixel[2];
				if (keepTransparency) {
					if (value == B_TRANSPARENT_MAGIC_RGBA32)
						alpha = 0;
					else if (fSpace == B_RGBA32)
						alpha = pixel[3];
				}
			}
			// Premultiplied, as cairo keeps ARGB.
			red = static_cast<uint8>(red * alpha / 255);
			green = static_cast<uint8>(green * alpha / 255);
			blue = static_cast<uint8>(blue * alpha / 255);
			row[x] = (static_cast<uint32>(alpha) << 24) | (red << 16) | (green << 8) | blue;
		}
	}
	cairo_surface_mark_dirty(surface);
	return surface;
}
