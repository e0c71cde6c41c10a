#include "ArchiveFolderItem.h"

#include <Entry.h>

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


// A folder with option 6 adopts an existing folder of its name: nothing is
// made, and its contents go into the existing one.
bool
ArchiveFolderItem::HandleExisting(BDirectory* dir, BEntry* existing, bool& skip,
	DestManager* manager, status_t* result)
{
	skip = false;
	const int32 kMergeFolder = 6;
	if (fReplaceOption == kMergeFolder && existing != NULL && existing->IsDirectory())
		return false;
	return ArchiveItem::HandleExisting(dir, existing, skip, manager, result);
}


void
ArchiveFolderItem::Unset()
{
	ArchiveItem::Unset();
	fIsTop = false;
}
