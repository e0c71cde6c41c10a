#ifndef _DEST_ITEM_H
#define _DEST_ITEM_H

// A destination of the package's destination lists: a path (absolute, or
// relative to the target volume's root), or a system folder named by a
// directory_which constant. Items of the catalog name a destination by its
// index in the list.

#include "ListItem.h"
#include "PackageFormat.h"

class BDirectory;

class DestItem : public ListItem {
public:
	// Copies the path; a negative `which` means "path".
	DestItem(const char* path, int32 which = kNoSystemDirectory);
	~DestItem() override;

	bool IsPath() const { return fWhich < 0; }

	// The path text; for a query destination, the name searched for.
	char* fPath;
	int32 fWhich;
	// The resolved directory, cached for the rest of an install run; null
	// until resolved.
	BDirectory* fDir;

private:
	DestItem(const DestItem&) = delete;
	DestItem& operator=(const DestItem&) = delete;
};

#endif // _DEST_ITEM_H
