#ifndef _ARCHIVE_FILE_ITEM_H
#define _ARCHIVE_FILE_ITEM_H

#include "ArchiveItem.h"

class BNode;

class ArchiveFileItem : public ArchiveItem {
public:
	ArchiveFileItem();
	~ArchiveFileItem() override;

	status_t ExtractItem(InstallPack* pack, BDirectory* parent,
		DestManager* manager, uint32 groups, bool skip) override;
	bool IsFolder() const override { return false; }

	// Gives the installed entry the item's file type, permissions (only
	// when the item is executable) and times; through `node` when the
	// caller has the entry's node open (no lookup of the entry again).
	void ISetType(BEntry* entry, BNode* node = nullptr);

	// Takes a malloc'ed text as the MIME type (null: none).
	void AdoptMimeType(char* type);

	// The file type to set; null when the package gives none.
	char* fMimeType;

protected:
	ArchiveFileItem(const ArchiveFileItem& other);

private:
	// Creates the file (an existing one of the name is emptied) and fills
	// it from the package.
	status_t _WriteFile(InstallPack* pack, BDirectory* dir, DestManager* manager);
	status_t _ReportWriteError(BDirectory* dir, DestManager* manager, status_t failure);
};

#endif // _ARCHIVE_FILE_ITEM_H
