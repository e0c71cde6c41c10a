#include <DisplayScale.h>

#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace BPrivate {

namespace {

// Digits and a point, nothing else: no sign, exponent, unit or blank.
bool
parse_number(const char* text, float* number)
{
	if (text == nullptr || text[0] == '\0'
		|| strspn(text, "0123456789.") != strlen(text))
		return false;
	char* end = nullptr;
	errno = 0;
	float value = strtof(text, &end);
	if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value))
		return false;
	*number = value;
	return true;
}

} // namespace

bool
DisplayScale::Parse(const char* text, float* scale)
{
	float value;
	if (!parse_number(text, &value) || value < kMinimum || value > kMaximum)
		return false;
	*scale = value;
	return true;
}

float
DisplayScale::FromDesktop(const char* gdkScale, const char* xResources, float displayDpi)
{
	for (float scale : {FromGdkScale(gdkScale), FromXftDpi(xResources), FromDpi(displayDpi)}) {
		if (scale > 0)
			return scale;
	}
	return kMinimum;
}

float
DisplayScale::FromX11Desktop(float displayDpi)
{
	std::string resources;
	float screenDpi = 0;
	if (Display* display = XOpenDisplay(nullptr)) {
		if (const char* string = XResourceManagerString(display))
			resources = string;
		int screen = DefaultScreen(display);
		int millimetres = DisplayWidthMM(display, screen);
		if (millimetres > 0)
			screenDpi = DisplayWidth(display, screen) * 25.4f / millimetres;
		XCloseDisplay(display);
	}
	return FromDesktop(getenv("GDK_SCALE"), resources.c_str(),
		displayDpi > 0 ? displayDpi : screenDpi);
}

float
DisplayScale::FromWaylandDesktop(const char* gdkScale, int32 outputScale, float displayDpi)
{
	for (float scale : {FromGdkScale(gdkScale), FromOutputScale(outputScale),
			FromDpi(displayDpi)}) {
		if (scale > 0)
			return scale;
	}
	return kMinimum;
}

// Whole factors only, as the toolkits that read it take them.
float
DisplayScale::FromGdkScale(const char* value)
{
	float scale;
	if (!parse_number(value, &scale) || scale != floorf(scale) || scale < kMinimum)
		return 0;
	return std::min(scale, kMaximum);
}

// The dots per inch a person gave their desktop's text, in steps of a
// quarter, so that 120 and 144 give 1.25 and 1.5.
float
DisplayScale::FromXftDpi(const char* xResources)
{
	if (xResources == nullptr || xResources[0] == '\0')
		return 0;
	XrmInitialize();
	XrmDatabase database = XrmGetStringDatabase(xResources);
	if (database == nullptr)
		return 0;
	char* type = nullptr;
	XrmValue value = {};
	float dpi = 0;
	if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) == True
		&& value.addr != nullptr) {
		std::string text(value.addr, strnlen(value.addr, value.size));
		text.erase(text.find_last_not_of(" \t") + 1);
		if (!parse_number(text.c_str(), &dpi))
			dpi = 0;
	}
	XrmDestroyDatabase(database);
	if (dpi <= 0)
		return 0;
	return std::clamp(roundf(dpi / kBaseDpi * 4) / 4, kMinimum, kMaximum);
}

// A measured density is only a hint (screens report odd sizes): whole
// factors, and only from about twice the base density up.
float
DisplayScale::FromDpi(float dpi)
{
	if (!std::isfinite(dpi) || dpi <= 0)
		return 0;
	float scale = floorf(dpi / kBaseDpi + 0.1f);
	if (scale < kMinimum)
		return 0;
	return std::min(scale, kMaximum);
}

// Compositors give whole factors; 1 is a scale said too, and holds.
float
DisplayScale::FromOutputScale(int32 outputScale)
{
	if (outputScale < kMinimum)
		return 0;
	return std::min((float)outputScale, kMaximum);
}

int32
DisplayScale::Pixels(float units, float scale)
{
	return static_cast<int32>(ceilf(units * scale - 0.01f));
}

int32
DisplayScale::ToPixel(float coordinate, float scale)
{
	return static_cast<int32>(lroundf(coordinate * scale));
}

float
DisplayScale::FromPixel(int32 pixel, float scale)
{
	return floorf((pixel + 0.5f) / scale);
}

} // namespace BPrivate
