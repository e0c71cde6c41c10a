#ifndef _ARCHIVE_FOLDER_ITEM_H
#define _ARCHIVE_FOLDER_ITEM_H

#include "ArchiveItem.h"

class ArchiveFolderItem : public ArchiveItem {
public:
	ArchiveFolderItem();
	~ArchiveFolderItem() override;

	status_t ExtractItem(InstallPack* pack, BDirectory* parent,
		DestManager* manager, uint32 groups, bool skip) override;
	existing_decision DecideExisting(const BEntry* existing) const override;
	bool IsFolder() const override { return true; }
	void Unset() override;

	// This folder is the package's top folder (set by the install worker).
	bool fIsTop;
	// The folder's directory on the target volume, set by ExtractItem;
	// owned by the caller.
	BDirectory* fDirOut;

private:
	bool _DecideOnExisting(BDirectory* dir, bool& skip, DestManager* manager,
		status_t* status);
};

#endif // _ARCHIVE_FOLDER_ITEM_H
