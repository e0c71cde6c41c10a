#ifndef _R_ENTRY_LIST_H
#define _R_ENTRY_LIST_H

// An in-memory list of entry references with a cursor: the matches of a
// query, kept so that they can be intersected with another query's.

#include "RList.h"

#include <EntryList.h>
#include <EntryRef.h>

class BQuery;

class REntryList : public BEntryList {
public:
	REntryList();
	~REntryList() override;

	status_t GetNextEntry(BEntry* entry, bool traverse = false) override;
	status_t GetNextRef(entry_ref* ref) override;
	// Not supported: always 0 entries.
	int32 GetNextDirents(struct dirent* buffer, size_t length,
		int32 count = INT_MAX) override;
	status_t Rewind() override;
	int32 CountEntries() override;

	// Replaces the list with every match of the (fetched) query.
	void SetTo(BQuery* query);
	// Keeps only the references that `other` holds too.
	void QueryAnd(REntryList* other);
	// Removes the reference under the cursor; the next step lands on the one
	// that followed it.
	void RemoveCurrent();
	// Appends a copy.
	void AddRef(const entry_ref* ref);

private:
	REntryList(const REntryList&) = delete;
	REntryList& operator=(const REntryList&) = delete;

	void MakeEmpty();

	int32 fCursor;
	RList<entry_ref*>* fRefs;
};

#endif // _R_ENTRY_LIST_H
