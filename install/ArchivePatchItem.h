#ifndef _ARCHIVE_PATCH_ITEM_H
#define _ARCHIVE_PATCH_ITEM_H

// A binary patch: the difference between an installed original file (found
// by its size) and the new file.

#include "ArchiveFileItem.h"

#include <EntryRef.h>

class ArchivePatchItem : public ArchiveFileItem {
public:
	ArchivePatchItem();
	// The patch scan keeps copies: every base field (the name copied),
	// the original's size and reference; no MIME type.
	ArchivePatchItem(const ArchivePatchItem& other);
	~ArchivePatchItem() override;

	status_t ExtractItem(InstallPack* pack, BDirectory* parent,
		DestManager* manager, uint32 groups, bool skip) override;

	// Size of the original file the patch applies to.
	int64 fOldSize;
	// The located original; device, directory -1 and no name until found.
	entry_ref fOriginalRef;
	float fProgressFactor;
	InstallPack* fPack;
	char* fCopyBuffer;
	int32 fReported;
};

#endif // _ARCHIVE_PATCH_ITEM_H
