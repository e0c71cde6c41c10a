#include "ArchiveFileItem.h"

#include <cstdlib>

ArchiveFileItem::ArchiveFileItem()
	:
	fMimeType(NULL)
{
}


ArchiveFileItem::ArchiveFileItem(const ArchiveFileItem& other)
	:
	ArchiveItem(other),
	fMimeType(NULL)
{
}


ArchiveFileItem::~ArchiveFileItem()
{
	free(fMimeType);
}


// Installing comes with the installation engine.
status_t
ArchiveFileItem::ExtractItem(InstallPack*, BDirectory*, DestManager*, uint32,
	bool)
{
	return B_UNSUPPORTED;
}


void
ArchiveFileItem::AdoptMimeType(char* type)
{
	free(fMimeType);
	fMimeType = type;
}
