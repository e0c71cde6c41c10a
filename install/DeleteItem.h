#ifndef _DELETE_ITEM_H
#define _DELETE_ITEM_H

// An item moved out of the way during an install run: where it was taken
// from and where it lies now, inside the run's temporary folder.

#include <EntryRef.h>

struct DeleteItem {
	// The folder the item was taken from.
	entry_ref fDirRef;
	// The item at its place in the temporary folder.
	entry_ref fMovedRef;
};

#endif // _DELETE_ITEM_H
