#ifndef _FS_ICONS_H
#define _FS_ICONS_H

// The installer's shared icons: three loaded once at start-up from the
// program's own resources (8-bit colour-mapped pixels, white shown as
// transparent), and the small icons of volumes.

#include <Bitmap.h>
#include <EntryRef.h>
#include <GraphicsDefs.h>

#include "ProgramResources.h"

class BVolume;

// 32 x 32, always there once SetGlobalIcons has run.
extern BBitmap* gYellowWarnIcon;
// 16 x 16; null when the program carries no such resource.
extern BBitmap* gGenericFileSIcon;
extern BBitmap* gGenericFolderSIcon;

// Loads the three global icons from the resources of the file ref names.
void SetGlobalIcons(entry_ref ref);

// Every byte equal to the screen's index for colour becomes the transparent
// index.
void MakeTransparent(void* pixels, long length, rgb_color colour);

// With pixels, *result becomes a new bitmap of rect and space holding them,
// and the pixels are freed with free(); without, *result becomes null.
void MakeIconBitmap(BBitmap** result, BRect rect, void* pixels, color_space space);

// A new 16 x 16 colour-mapped bitmap (the caller owns it) showing the kind
// of device the volume lives on: the boot volume, a fixed disk, a removable
// one, or memory.
BBitmap* SIconOfVolume(BVolume* volume);

// The kinds SIconOfVolume tells apart, and the picture of each.
enum device_icon_kind {
	kBootDeviceIcon,
	kFixedDeviceIcon,
	kRemovableDeviceIcon,
	kMemoryDeviceIcon
};
void DrawDeviceIcon(device_icon_kind kind, uint8* bits, int32 bytesPerRow);

#endif // _FS_ICONS_H
