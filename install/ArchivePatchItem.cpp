#include "ArchivePatchItem.h"

#include <cstdlib>

ArchivePatchItem::ArchivePatchItem()
	:
	fOldSize(0),
	fOriginalRef(-1, -1, NULL),
	fProgressFactor(0),
	fPack(NULL),
	fCopyBuffer(NULL),
	fReported(0)
{
}


ArchivePatchItem::ArchivePatchItem(const ArchivePatchItem& other)
	:
	ArchiveFileItem(other),
	fOldSize(other.fOldSize),
	fOriginalRef(other.fOriginalRef),
	fProgressFactor(0),
	fPack(NULL),
	fCopyBuffer(NULL),
	fReported(0)
{
}


ArchivePatchItem::~ArchivePatchItem()
{
	free(fCopyBuffer);
}


// Patching comes with the installation engine.
status_t
ArchivePatchItem::ExtractItem(InstallPack*, BDirectory*, DestManager*, uint32,
	bool)
{
	return B_UNSUPPORTED;
}
