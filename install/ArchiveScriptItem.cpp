#include "ArchiveScriptItem.h"

ArchiveScriptItem::ArchiveScriptItem()
{
}


ArchiveScriptItem::~ArchiveScriptItem()
{
}


// Running scripts comes with the installation engine.
status_t
ArchiveScriptItem::ExtractItem(InstallPack*, BDirectory*, DestManager*, uint32,
	bool)
{
	return B_UNSUPPORTED;
}
