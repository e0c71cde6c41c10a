#ifndef _DELETE_ITEM_H
#define _DELETE_ITEM_H

// An item moved out of the way during an install run, and what it takes to
// put it back: where it was, where it lies now (inside the run's temporary
// folder, or renamed beside its old place) and what the run then made at its
// old place. The run deletes only that, never an entry someone else put
// there.

#include <EntryRef.h>
#include <Node.h>

#include <string>

struct DeleteItem {
	// The folder the item was taken from, as a reference and as a node.
	entry_ref fDirRef;
	node_ref fDirNode;
	// The item's name in that folder.
	std::string fName;
	// The item where it lies now.
	entry_ref fMovedRef;
	// What the run made at the item's old place, once it has.
	node_ref fReplacement;
	bool fReplaced = false;
	// Renamed beside its place rather than moved into the run's folder.
	bool fRenamed = false;
};

#endif // _DELETE_ITEM_H
