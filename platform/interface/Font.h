#ifndef _FONT_H
#define _FONT_H

// A font: family, style and size. Text is drawn with cairo, and the faces
// come from fontconfig: the plain and bold system fonts are a sans face at
// 10 points (a point is a pixel on this display), the fixed font a
// monospace face.

#include <SupportDefs.h>

#include <cairo.h>

#define B_FONT_FAMILY_LENGTH 63
#define B_FONT_STYLE_LENGTH 63
typedef char font_family[B_FONT_FAMILY_LENGTH + 1];
typedef char font_style[B_FONT_STYLE_LENGTH + 1];

enum {
	B_FONT_FAMILY_AND_STYLE = 0x00000001,
	B_FONT_SIZE = 0x00000002,
	B_FONT_SHEAR = 0x00000004,
	B_FONT_ROTATION = 0x00000008,
	B_FONT_SPACING = 0x00000010,
	B_FONT_ENCODING = 0x00000020,
	B_FONT_FACE = 0x00000040,
	B_FONT_FLAGS = 0x00000080,
	B_FONT_ALL = 0x000000FF
};

enum {
	B_ITALIC_FACE = 0x0001,
	B_UNDERSCORE_FACE = 0x0002,
	B_NEGATIVE_FACE = 0x0004,
	B_OUTLINED_FACE = 0x0008,
	B_STRIKEOUT_FACE = 0x0010,
	B_BOLD_FACE = 0x0020,
	B_REGULAR_FACE = 0x0040
};

enum {
	B_CHAR_SPACING = 0,
	B_STRING_SPACING = 1,
	B_BITMAP_SPACING = 2,
	B_FIXED_SPACING = 3
};

// Where GetTruncatedStrings takes characters out for the ellipsis.
enum {
	B_TRUNCATE_END = 0,
	B_TRUNCATE_BEGINNING = 1,
	B_TRUNCATE_MIDDLE = 2
};

struct font_height {
	float ascent;
	float descent;
	float leading;
};

class BFont {
public:
	BFont();
	BFont(const BFont& font);
	BFont(const BFont* font);
	BFont& operator=(const BFont& font);
	bool operator==(const BFont& font) const;
	bool operator!=(const BFont& font) const { return !(*this == font); }

	status_t SetFamilyAndStyle(const char* family, const char* style);
	void SetFamilyAndFace(const char* family, uint16 face);
	void GetFamilyAndStyle(font_family* family, font_style* style) const;
	void SetSize(float size);
	float Size() const { return fSize; }
	void SetShear(float shear) { fShear = shear; }
	float Shear() const { return fShear; }
	void SetRotation(float rotation) { fRotation = rotation; }
	float Rotation() const { return fRotation; }
	void SetSpacing(uint8 spacing) { fSpacing = spacing; }
	uint8 Spacing() const { return fSpacing; }
	void SetEncoding(uint8 encoding) { fEncoding = encoding; }
	uint8 Encoding() const { return fEncoding; }
	void SetFace(uint16 face);
	uint16 Face() const { return fFace; }
	void SetFlags(uint32 flags) { fFlags = flags; }
	uint32 Flags() const { return fFlags; }
	bool IsFixed() const;

	float StringWidth(const char* string) const;
	float StringWidth(const char* string, int32 length) const;
	void GetHeight(font_height* height) const;
	// Each string as it fits in width: whole, or with characters taken
	// out (whole characters, where mode says) for an ellipsis. Every
	// result buffer holds the string's length plus 3 bytes.
	void GetTruncatedStrings(const char* stringArray[], int32 numStrings, uint32 mode,
		float width, char* resultArray[]) const;

	// Copies the properties the mask names from another font.
	void CopyFrom(const BFont& font, uint32 mask);

	// The cairo font this font stands for (owned by a cache; valid for the
	// process's life).
	cairo_scaled_font_t* ScaledFont() const;

private:
	bool _IsBold() const;
	bool _IsItalic() const;

	font_family fFamily;
	font_style fStyle;
	float fSize;
	float fShear;
	float fRotation;
	uint8 fSpacing;
	uint8 fEncoding;
	uint16 fFace;
	uint32 fFlags;
};

extern const BFont* be_plain_font;
extern const BFont* be_bold_font;
extern const BFont* be_fixed_font;

#endif // _FONT_H
