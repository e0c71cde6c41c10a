#include "REntryList.h"

#include <Entry.h>
#include <Errors.h>
#include <Query.h>

REntryList::REntryList()
	:
	fCursor(-1),
	fRefs(new RList<entry_ref*>)
{
}


REntryList::~REntryList()
{
	MakeEmpty();
	delete fRefs;
}


status_t
REntryList::GetNextEntry(BEntry* entry, bool)
{
	entry_ref ref;
	if (GetNextRef(&ref) != B_OK)
		return B_ERROR;
	// Links are never followed: the match is the entry itself.
	return entry->SetTo(&ref, false);
}


status_t
REntryList::GetNextRef(entry_ref* ref)
{
	fCursor++;
	if (fCursor >= fRefs->CountItems()) {
		fCursor--;
		return B_ERROR;
	}
	*ref = *fRefs->ItemAt(fCursor);
	return B_OK;
}


int32
REntryList::GetNextDirents(struct dirent*, size_t, int32)
{
	return 0;
}


status_t
REntryList::Rewind()
{
	fCursor = -1;
	return B_OK;
}


int32
REntryList::CountEntries()
{
	return fRefs->CountItems();
}


void
REntryList::SetTo(BQuery* query)
{
	MakeEmpty();
	query->Rewind();
	BEntry entry;
	while (query->GetNextEntry(&entry, false) == B_OK) {
		entry_ref ref;
		if (entry.GetRef(&ref) == B_OK)
			AddRef(&ref);
	}
}


void
REntryList::QueryAnd(REntryList* other)
{
	Rewind();
	entry_ref ref;
	while (GetNextRef(&ref) == B_OK) {
		bool found = false;
		other->Rewind();
		entry_ref candidate;
		while (!found && other->GetNextRef(&candidate) == B_OK)
			found = candidate == ref;
		if (!found)
			RemoveCurrent();
	}
}


void
REntryList::RemoveCurrent()
{
	if (fCursor < 0 || fCursor >= fRefs->CountItems())
		return;
	delete fRefs->RemoveItem(fCursor);
	fCursor--;
}


void
REntryList::AddRef(const entry_ref* ref)
{
	fRefs->AddItem(new entry_ref(*ref));
}


void
REntryList::MakeEmpty()
{
	fRefs->MakeEmptyAndDelete();
	fCursor = -1;
}
