#include "FSIcons.h"

#include <File.h>
#include <Resources.h>
#include <Screen.h>
#include <Volume.h>
#include <VolumeRoster.h>
#include <fs_info.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

BBitmap* gYellowWarnIcon = NULL;
BBitmap* gGenericFileSIcon = NULL;
BBitmap* gGenericFolderSIcon = NULL;

namespace {

const int32 kSmallIconSize = 16;
const int32 kLargeIconSize = 32;

// The device icons, one character a pixel: '.' is transparent.
const char* const kBootArt[] = {
	"................",
	"................",
	"..dddddddddddd..",
	".dllllllllllllkd",
	".dwwwwwwwwwwwwkd",
	".dwllllllllllwkd",
	".dwlGGGllllllwkd",
	".dwlGGGllllllwkd",
	".dwllllllllllwkd",
	".dwlllllllrrlwkd",
	".dwwwwwwwwwwwwkd",
	".dkkkkkkkkkkkkkd",
	"..dddddddddddd..",
	"................",
	"................",
	"................",
};

const char* const kFixedArt[] = {
	"................",
	"................",
	"..dddddddddddd..",
	".dllllllllllllkd",
	".dwwwwwwwwwwwwkd",
	".dwllllllllllwkd",
	".dwllllllllllwkd",
	".dwllllllllllwkd",
	".dwllllllllllwkd",
	".dwlllllllGGlwkd",
	".dwwwwwwwwwwwwkd",
	".dkkkkkkkkkkkkkd",
	"..dddddddddddd..",
	"................",
	"................",
	"................",
};

const char* const kRemovableArt[] = {
	"................",
	"..kkkkkkkkkkkk..",
	"..kbbwwwwwwbbk..",
	"..kbbwwwwwwbbk..",
	"..kbbwwwwwwbbk..",
	"..kbbwwwwwwbbk..",
	"..kbbbbbbbbbbk..",
	"..kbbbbbbbbbbk..",
	"..kbbllllllbbk..",
	"..kbbllddllbbk..",
	"..kbbllddllbbk..",
	"..kbbllllllbbk..",
	"..kkkkkkkkkkkk..",
	"................",
	"................",
	"................",
};

const char* const kMemoryArt[] = {
	"................",
	"................",
	"................",
	"................",
	"kkkkkkkkkkkkkkkk",
	"kGGGGGGGGGGGGGGk",
	"kGkkkGkkkGkkkGGk",
	"kGkkkGkkkGkkkGGk",
	"kGkkkGkkkGkkkGGk",
	"kGGGGGGGGGGGGGGk",
	"kyGyGyGyGyGyGyGk",
	"kkkkkkkkkkkkkkkk",
	"................",
	"................",
	"................",
	"................",
};

uint8
IndexOfArtColour(char c)
{
	BScreen screen;
	switch (c) {
		case 'k': return screen.IndexForColor(0, 0, 0);
		case 'd': return screen.IndexForColor(96, 96, 96);
		case 'l': return screen.IndexForColor(184, 184, 184);
		case 'w': return screen.IndexForColor(240, 240, 240);
		case 'G': return screen.IndexForColor(0, 160, 0);
		case 'r': return screen.IndexForColor(224, 64, 0);
		case 'b': return screen.IndexForColor(48, 80, 200);
		case 'y': return screen.IndexForColor(240, 200, 0);
		default: return B_TRANSPARENT_8_BIT;
	}
}

// A heap copy of the named icon resource, or null.
void*
LoadIcon(BResources& resources, const char* name, size_t* length)
{
	*length = 0;
	if (resources.InitCheck() != B_OK)
		return NULL;
	return resources.FindResource(kIconResourceType, name, length);
}

void
LoadGlobalIcon(BResources& resources, const char* name, int32 size, bool mustExist,
	BBitmap** global)
{
	size_t length;
	void* pixels = LoadIcon(resources, name, &length);
	if (pixels == NULL && mustExist) {
		// The replacement shows nothing: every pixel transparent.
		length = size * size;
		pixels = malloc(length);
		if (pixels != NULL)
			memset(pixels, B_TRANSPARENT_8_BIT, length);
	}
	if (pixels != NULL)
		MakeTransparent(pixels, length, make_color(255, 255, 255, 0));
	// Loaded again (another program file): the old icon goes.
	delete *global;
	MakeIconBitmap(global, BRect(0, 0, size - 1, size - 1), pixels, B_COLOR_8_BIT);
}

device_icon_kind
KindOfVolume(const fs_info& info)
{
	if (strcmp(info.fsh_name, "tmpfs") == 0 || strcmp(info.fsh_name, "ramfs") == 0)
		return kMemoryDeviceIcon;
	if ((info.flags & B_FS_IS_REMOVABLE) != 0)
		return kRemovableDeviceIcon;
	BVolume boot;
	if (BVolumeRoster().GetBootVolume(&boot) == B_OK && boot.Device() == info.dev)
		return kBootDeviceIcon;
	return kFixedDeviceIcon;
}

} // namespace


void
MakeTransparent(void* pixels, long length, rgb_color colour)
{
	if (pixels == NULL)
		return;
	uint8 index = BScreen().IndexForColor(colour.red, colour.green, colour.blue);
	uint8* bytes = static_cast<uint8*>(pixels);
	for (long i = 0; i < length; i++) {
		if (bytes[i] == index)
			bytes[i] = B_TRANSPARENT_8_BIT;
	}
}


void
MakeIconBitmap(BBitmap** result, BRect rect, void* pixels, color_space space)
{
	if (pixels == NULL) {
		*result = NULL;
		return;
	}
	*result = new BBitmap(rect, space);
	int32 width = static_cast<int32>(fabsf(rect.right - rect.left)) + 1;
	int32 height = static_cast<int32>(fabsf(rect.bottom - rect.top)) + 1;
	if (space == B_COLOR_8_BIT) {
		// Packed rows, one byte a pixel, into the bitmap's padded rows.
		uint8* bits = static_cast<uint8*>((*result)->Bits());
		const uint8* source = static_cast<const uint8*>(pixels);
		int32 rows = std::min(height, (*result)->Bounds().IntegerHeight() + 1);
		int32 columns = std::min(width, (*result)->BytesPerRow());
		for (int32 y = 0; y < rows; y++)
			memcpy(bits + y * (*result)->BytesPerRow(), source + y * width, columns);
	} else {
		// Other spaces: four bytes a pixel, copied as the bitmap takes them.
		(*result)->SetBits(pixels, width * height * 4, 0, space);
	}
	free(pixels);
}


void
SetGlobalIcons(entry_ref ref)
{
	BFile file(&ref, B_READ_ONLY);
	BResources resources(&file);
	LoadGlobalIcon(resources, kWarningIconName, kLargeIconSize, true, &gYellowWarnIcon);
	LoadGlobalIcon(resources, kFileIconName, kSmallIconSize, false, &gGenericFileSIcon);
	LoadGlobalIcon(resources, kFolderIconName, kSmallIconSize, false, &gGenericFolderSIcon);
}


void
DrawDeviceIcon(device_icon_kind kind, uint8* bits, int32 bytesPerRow)
{
	const char* const* art = kFixedArt;
	switch (kind) {
		case kBootDeviceIcon: art = kBootArt; break;
		case kFixedDeviceIcon: art = kFixedArt; break;
		case kRemovableDeviceIcon: art = kRemovableArt; break;
		case kMemoryDeviceIcon: art = kMemoryArt; break;
	}
	for (int32 y = 0; y < kSmallIconSize; y++) {
		for (int32 x = 0; x < kSmallIconSize; x++)
			bits[y * bytesPerRow + x] = IndexOfArtColour(art[y][x]);
	}
}


BBitmap*
SIconOfVolume(BVolume* volume)
{
	BBitmap* icon = new BBitmap(BRect(0, 0, kSmallIconSize - 1, kSmallIconSize - 1),
		B_COLOR_8_BIT);
	fs_info info;
	if (volume != NULL && fs_stat_dev(volume->Device(), &info) == B_OK) {
		DrawDeviceIcon(KindOfVolume(info), static_cast<uint8*>(icon->Bits()),
			icon->BytesPerRow());
	}
	return icon;
}
