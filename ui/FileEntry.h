#ifndef _FILE_ENTRY_H
#define _FILE_ENTRY_H

// One row of the install window's entry table: an installable catalog item
// (file, patch, script or link; folders have none) with what the install
// view needs to count and size a selection. Sizes are 64-bit: a single
// file may be larger than 4 GiB.

#include <SupportDefs.h>

struct FileEntry {
	int64 size;
	int32 groups;
	int32 platform;
};

#endif // _FILE_ENTRY_H
