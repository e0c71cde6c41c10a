#ifndef _ARCHIVE_LINK_ITEM_H
#define _ARCHIVE_LINK_ITEM_H

#include "ArchiveItem.h"

class ArchiveLinkItem : public ArchiveItem {
public:
	ArchiveLinkItem();
	~ArchiveLinkItem() override;

	status_t ExtractItem(InstallPack* pack, BDirectory* parent,
		DestManager* manager, uint32 groups, bool skip) override;
	bool IsFolder() const override { return false; }

	// Takes a malloc'ed text as the link's target (null: none).
	void AdoptLinkTarget(char* target);

	// What the symbolic link points to.
	char* fLinkTarget;
};

#endif // _ARCHIVE_LINK_ITEM_H
