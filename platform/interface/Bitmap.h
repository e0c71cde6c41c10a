#ifndef _BITMAP_H
#define _BITMAP_H

// An off-screen image: B_RGB32 (B, G, R, A bytes per pixel), B_RGBA32, or
// B_CMAP8 (one byte per pixel indexing the system colour map, rows padded
// to four bytes; index B_TRANSPARENT_MAGIC_CMAP8 is transparent).

#include <GraphicsDefs.h>
#include <Rect.h>

#include <cairo.h>

class BBitmap {
public:
	BBitmap(BRect bounds, color_space space, bool acceptsViews = false,
		bool needsContiguous = false);
	BBitmap(const BBitmap* source);
	~BBitmap();

	status_t InitCheck() const { return fBits != nullptr ? B_OK : B_NO_MEMORY; }
	bool IsValid() const { return fBits != nullptr; }

	BRect Bounds() const { return fBounds; }
	color_space ColorSpace() const { return fSpace; }
	void* Bits() const { return fBits; }
	int32 BitsLength() const { return fBitsLength; }
	int32 BytesPerRow() const { return fBytesPerRow; }

	// Copies length bytes of data in colour space space into the bits,
	// starting at byte offset. Data in the bitmap's own space is copied as
	// it is; B_CMAP8 data into a 32-bit bitmap and 32-bit data into a
	// B_CMAP8 bitmap are converted pixel by pixel through the colour map.
	void SetBits(const void* data, int32 length, int32 offset, color_space space);

	// The pixels as a premultiplied ARGB image for drawing: transparent
	// pixels (the transparent index or colour, or alpha) stay transparent
	// when keepTransparency, and take their colour otherwise. The caller
	// destroys it.
	cairo_surface_t* CreateSurface(bool keepTransparency) const;

private:
	BBitmap(const BBitmap&) = delete;
	BBitmap& operator=(const BBitmap&) = delete;

	void _Allocate();

	BRect fBounds;
	color_space fSpace;
	int32 fWidth;
	int32 fHeight;
	int32 fBytesPerRow;
	int32 fBitsLength;
	uint8* fBits;
};

#endif // _BITMAP_H
