#include "ArchiveLinkItem.h"

#include <cstdlib>

ArchiveLinkItem::ArchiveLinkItem()
	:
	fLinkTarget(NULL)
{
}


ArchiveLinkItem::~ArchiveLinkItem()
{
	free(fLinkTarget);
}


// Installing comes with the installation engine.
status_t
ArchiveLinkItem::ExtractItem(InstallPack*, BDirectory*, DestManager*, uint32,
	bool)
{
	return B_UNSUPPORTED;
}


void
ArchiveLinkItem::AdoptLinkTarget(char* target)
{
	free(fLinkTarget);
	fLinkTarget = target;
}
