#ifndef _ENTRY_LIST_H
#define _ENTRY_LIST_H

// A list of entries that can be walked: directories and queries.

#include <EntryRef.h>
#include <SupportDefs.h>

#include <climits>
#include <dirent.h>

class BEntry;

class BEntryList {
public:
	BEntryList();
	virtual ~BEntryList();

	// Each returns B_ENTRY_NOT_FOUND past the last entry.
	virtual status_t GetNextEntry(BEntry* entry, bool traverse = false) = 0;
	virtual status_t GetNextRef(entry_ref* ref) = 0;
	// Fills buffer with up to count records; returns how many (0 at the end)
	// or a negative status.
	virtual int32 GetNextDirents(struct dirent* buffer, size_t length, int32 count = INT_MAX) = 0;
	virtual status_t Rewind() = 0;
	virtual int32 CountEntries() = 0;
};

#endif // _ENTRY_LIST_H
