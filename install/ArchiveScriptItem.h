#ifndef _ARCHIVE_SCRIPT_ITEM_H
#define _ARCHIVE_SCRIPT_ITEM_H

// An install script: run at its place in the catalog order, in the folder
// its destination names; its output goes to the install log.

#include "ArchiveFileItem.h"

class ArchiveScriptItem : public ArchiveFileItem {
public:
	ArchiveScriptItem();
	~ArchiveScriptItem() override;

	status_t ExtractItem(InstallPack* pack, BDirectory* parent,
		DestManager* manager, uint32 groups, bool skip) override;
};

#endif // _ARCHIVE_SCRIPT_ITEM_H
