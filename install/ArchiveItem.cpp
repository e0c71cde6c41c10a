#include "ArchiveItem.h"

#include "CreatePath.h"
#include "DestManager.h"

#include <Entry.h>

#include <cstdlib>
#include <cstring>

const char* const kNoDestinationText
	= "Destination directory for \"%s\" could not be found.";
const char* const kFileNotCreatedText = "Error creating new file \"%s\".";
const char* const kDecompressFailedText
	= "Encountered an error when decompressing the file \"%s\".";
const char* const kLinkNotCreatedText = "Error creating symbolic link \"%s\".";


ArchiveItem::ArchiveItem()
	:
	fName(NULL)
{
	Unset();
}


ArchiveItem::ArchiveItem(const ArchiveItem& other)
	:
	ListItem(),
	fGroups(other.fGroups),
	fDestIndex(other.fDestIndex),
	fCustom(other.fCustom),
	fReplaceOption(other.fReplaceOption),
	fSize(other.fSize),
	fCreationTime(other.fCreationTime),
	fModificationTime(other.fModificationTime),
	fPlatform(other.fPlatform),
	fOffset(other.fOffset),
	fMode(other.fMode),
	fName(other.fName != NULL ? strdup(other.fName) : NULL)
{
	memcpy(fVersion, other.fVersion, sizeof(fVersion));
}


ArchiveItem::~ArchiveItem()
{
	free(fName);
}


// What to do with an existing entry is decided by the installation engine;
// until it is there, nothing is written over an existing entry.
bool
ArchiveItem::HandleExisting(BDirectory*, BEntry*, bool& skip, DestManager*,
	status_t*)
{
	skip = true;
	return false;
}


void
ArchiveItem::Unset()
{
	fGroups = 1;
	fDestIndex = kParentFolderDestination;
	fCustom = false;
	fReplaceOption = 0;
	fSize = 0;
	fCreationTime = 0;
	fModificationTime = 0;
	fPlatform = -1;
	fOffset = -1;
	fMode = 0777;
	memset(fVersion, 0, sizeof(fVersion));
}


void
ArchiveItem::AdoptName(char* name)
{
	free(fName);
	fName = name;
}


bool
ArchiveItem::IsSelected(uint32 groups, DestManager* manager) const
{
	return (fGroups & groups) != 0 && manager->InstallPlatform(fPlatform);
}


void
ArchiveItem::SetTimes(BEntry* entry)
{
	entry->SetModificationTime(fModificationTime);
	entry->SetCreationTime(fCreationTime);
}


mode_t
ArchiveItem::InstalledPermissions() const
{
	mode_t packaged = (mode_t)fMode & 0777;
	return (packaged & ~file_creation_mask()) | (packaged & 0111);
}
