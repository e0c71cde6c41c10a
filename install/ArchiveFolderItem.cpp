#include "ArchiveFolderItem.h"

ArchiveFolderItem::ArchiveFolderItem()
	:
	fIsTop(false),
	fDirOut(NULL)
{
}


ArchiveFolderItem::~ArchiveFolderItem()
{
}


// Installing comes with the installation engine.
status_t
ArchiveFolderItem::ExtractItem(InstallPack*, BDirectory*, DestManager*, uint32,
	bool)
{
	return B_UNSUPPORTED;
}


bool
ArchiveFolderItem::HandleExisting(BDirectory* dir, BEntry* existing, bool& skip,
	DestManager* manager, status_t* result)
{
	return ArchiveItem::HandleExisting(dir, existing, skip, manager, result);
}


void
ArchiveFolderItem::Unset()
{
	ArchiveItem::Unset();
	fIsTop = false;
}
