#include <Font.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace {

// The system faces are named by family; cairo asks fontconfig for them
// when text is first measured or drawn (never during static
// initialisation), and fontconfig substitutes its nearest face when a
// family is missing.
BFont
make_system_font(const char* family, uint16 face, float size)
{
	BFont font;
	font.SetFamilyAndFace(family, face);
	font.SetSize(size);
	return font;
}

const BFont&
plain_font()
{
	static const BFont font = make_system_font("DejaVu Sans", B_REGULAR_FACE, 10.0f);
	return font;
}

const BFont&
bold_font()
{
	static const BFont font = make_system_font("DejaVu Sans", B_BOLD_FACE, 10.0f);
	return font;
}

const BFont&
fixed_font()
{
	static const BFont font = make_system_font("DejaVu Sans Mono", B_REGULAR_FACE, 12.0f);
	return font;
}

typedef std::tuple<std::string, bool, bool, float, float> FontKey;

std::mutex sCacheLock;
std::map<FontKey, cairo_scaled_font_t*>* sCache;

cairo_font_options_t*
font_options()
{
	static cairo_font_options_t* options = [] {
		cairo_font_options_t* created = cairo_font_options_create();
		// Unhinted metrics give the fractional widths that layouts expect
		// and make widths independent of where text lands.
		cairo_font_options_set_hint_metrics(created, CAIRO_HINT_METRICS_OFF);
		cairo_font_options_set_antialias(created, CAIRO_ANTIALIAS_GRAY);
		return created;
	}();
	return options;
}

const char* const kEllipsis = "\xe2\x80\xa6";

// Where each character of a UTF-8 string starts, and its end.
std::vector<size_t>
character_starts(const std::string& text)
{
	std::vector<size_t> starts;
	for (size_t i = 0; i < text.size(); i++) {
		if ((static_cast<unsigned char>(text[i]) & 0xc0) != 0x80)
			starts.push_back(i);
	}
	starts.push_back(text.size());
	return starts;
}

// The most characters of text that fit in width with the ellipsis where
// mode puts it; down to the ellipsis alone.
std::string
truncated(const BFont& font, const std::string& text, uint32 mode, float width)
{
	if (font.StringWidth(text.c_str()) <= width)
		return text;
	std::vector<size_t> starts = character_starts(text);
	int32 count = static_cast<int32>(starts.size()) - 1;
	for (int32 kept = count - 1; kept > 0; kept--) {
		int32 front = mode == B_TRUNCATE_END ? kept
			: mode == B_TRUNCATE_BEGINNING ? 0 : (kept + 1) / 2;
		int32 back = kept - front;
		std::string candidate = text.substr(0, starts[front]) + kEllipsis
			+ text.substr(starts[count - back]);
		if (font.StringWidth(candidate.c_str()) <= width)
			return candidate;
	}
	return kEllipsis;
}

} // namespace

const BFont* be_plain_font = &plain_font();
const BFont* be_bold_font = &bold_font();
const BFont* be_fixed_font = &fixed_font();

BFont::BFont()
	:
	fSize(10.0f),
	fShear(90.0f),
	fRotation(0.0f),
	fSpacing(B_CHAR_SPACING),
	fEncoding(0),
	fFace(B_REGULAR_FACE),
	fFlags(0)
{
	// Default-constructed fonts are the plain font, once it exists.
	if (be_plain_font != nullptr && be_plain_font != this) {
		*this = *be_plain_font;
		return;
	}
	strcpy(fFamily, "DejaVu Sans");
	strcpy(fStyle, "Book");
}

BFont::BFont(const BFont& font)
{
	*this = font;
}

BFont::BFont(const BFont* font)
	:
	BFont()
{
	if (font != nullptr)
		*this = *font;
}

BFont&
BFont::operator=(const BFont& font)
{
	memcpy(fFamily, font.fFamily, sizeof(fFamily));
	memcpy(fStyle, font.fStyle, sizeof(fStyle));
	fSize = font.fSize;
	fShear = font.fShear;
	fRotation = font.fRotation;
	fSpacing = font.fSpacing;
	fEncoding = font.fEncoding;
	fFace = font.fFace;
	fFlags = font.fFlags;
	return *this;
}

bool
BFont::operator==(const BFont& font) const
{
	return strcmp(fFamily, font.fFamily) == 0 && strcmp(fStyle, font.fStyle) == 0
		&& fSize == font.fSize && fShear == font.fShear && fRotation == font.fRotation
		&& fSpacing == font.fSpacing && fFace == font.fFace;
}

status_t
BFont::SetFamilyAndStyle(const char* family, const char* style)
{
	if (family != nullptr) {
		strncpy(fFamily, family, B_FONT_FAMILY_LENGTH);
		fFamily[B_FONT_FAMILY_LENGTH] = '\0';
	}
	if (style != nullptr) {
		strncpy(fStyle, style, B_FONT_STYLE_LENGTH);
		fStyle[B_FONT_STYLE_LENGTH] = '\0';
		fFace = 0;
		if (strstr(fStyle, "Bold") != nullptr)
			fFace |= B_BOLD_FACE;
		if (strstr(fStyle, "Italic") != nullptr || strstr(fStyle, "Oblique") != nullptr)
			fFace |= B_ITALIC_FACE;
		if (fFace == 0)
			fFace = B_REGULAR_FACE;
	}
	return B_OK;
}

void
BFont::SetFamilyAndFace(const char* family, uint16 face)
{
	SetFamilyAndStyle(family, nullptr);
	SetFace(face);
}

void
BFont::SetFace(uint16 face)
{
	fFace = face;
	bool bold = (face & B_BOLD_FACE) != 0;
	bool italic = (face & B_ITALIC_FACE) != 0;
	const char* style = bold ? (italic ? "Bold Oblique" : "Bold")
		: (italic ? "Oblique" : "Book");
	strcpy(fStyle, style);
}

void
BFont::GetFamilyAndStyle(font_family* family, font_style* style) const
{
	if (family != nullptr)
		memcpy(*family, fFamily, sizeof(fFamily));
	if (style != nullptr)
		memcpy(*style, fStyle, sizeof(fStyle));
}

void
BFont::SetSize(float size)
{
	fSize = size > 0 ? size : 0.1f;
}

bool
BFont::IsFixed() const
{
	return strstr(fFamily, "Mono") != nullptr || fSpacing == B_FIXED_SPACING;
}

bool
BFont::_IsBold() const
{
	return (fFace & B_BOLD_FACE) != 0;
}

bool
BFont::_IsItalic() const
{
	return (fFace & B_ITALIC_FACE) != 0;
}

cairo_scaled_font_t*
BFont::ScaledFont() const
{
	FontKey key(fFamily, _IsBold(), _IsItalic(), fSize, fShear);
	std::lock_guard<std::mutex> guard(sCacheLock);
	if (sCache == nullptr)
		sCache = new std::map<FontKey, cairo_scaled_font_t*>();
	auto found = sCache->find(key);
	if (found != sCache->end())
		return found->second;

	cairo_font_face_t* face = cairo_toy_font_face_create(fFamily,
		_IsItalic() ? CAIRO_FONT_SLANT_OBLIQUE : CAIRO_FONT_SLANT_NORMAL,
		_IsBold() ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
	cairo_matrix_t fontMatrix;
	cairo_matrix_init_scale(&fontMatrix, fSize, fSize);
	cairo_matrix_t identity;
	cairo_matrix_init_identity(&identity);
	cairo_scaled_font_t* scaled = cairo_scaled_font_create(face, &fontMatrix,
		&identity, font_options());
	cairo_font_face_destroy(face);
	(*sCache)[key] = scaled;
	return scaled;
}

float
BFont::StringWidth(const char* string) const
{
	if (string == nullptr)
		return 0.0f;
	cairo_text_extents_t extents;
	cairo_scaled_font_text_extents(ScaledFont(), string, &extents);
	return static_cast<float>(extents.x_advance);
}

float
BFont::StringWidth(const char* string, int32 length) const
{
	if (string == nullptr || length <= 0)
		return 0.0f;
	std::string part(string, strnlen(string, length));
	return StringWidth(part.c_str());
}

void
BFont::GetTruncatedStrings(const char* stringArray[], int32 numStrings, uint32 mode,
	float width, char* resultArray[]) const
{
	for (int32 i = 0; i < numStrings; i++) {
		std::string text = truncated(*this, stringArray[i] != nullptr ? stringArray[i] : "",
			mode, width);
		memcpy(resultArray[i], text.c_str(), text.size() + 1);
	}
}

void
BFont::GetHeight(font_height* height) const
{
	cairo_font_extents_t extents;
	cairo_scaled_font_extents(ScaledFont(), &extents);
	height->ascent = static_cast<float>(extents.ascent);
	height->descent = static_cast<float>(extents.descent);
	double leading = extents.height - extents.ascent - extents.descent;
	height->leading = leading > 0 ? static_cast<float>(leading) : 0.0f;
}

void
BFont::CopyFrom(const BFont& font, uint32 mask)
{
	if (mask & B_FONT_FAMILY_AND_STYLE) {
		memcpy(fFamily, font.fFamily, sizeof(fFamily));
		memcpy(fStyle, font.fStyle, sizeof(fStyle));
		fFace = font.fFace;
	}
	if (mask & B_FONT_SIZE)
		fSize = font.fSize;
	if (mask & B_FONT_SHEAR)
		fShear = font.fShear;
	if (mask & B_FONT_ROTATION)
		fRotation = font.fRotation;
	if (mask & B_FONT_SPACING)
		fSpacing = font.fSpacing;
	if (mask & B_FONT_ENCODING)
		fEncoding = font.fEncoding;
	if ((mask & B_FONT_FACE) && !(mask & B_FONT_FAMILY_AND_STYLE))
		SetFace(font.fFace);
	if (mask & B_FONT_FLAGS)
		fFlags = font.fFlags;
}
