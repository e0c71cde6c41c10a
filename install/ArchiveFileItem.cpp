#include "ArchiveFileItem.h"

#include <Entry.h>
#include <Mime.h>
#include <Node.h>
#include <NodeInfo.h>
#include <Path.h>

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


void
ArchiveFileItem::ISetType(BEntry* entry)
{
	if (fMimeType != NULL) {
		BNode node(entry);
		if (node.InitCheck() == B_OK) {
			BNodeInfo info(&node);
			info.SetType(fMimeType);
		}
	}
	if ((fMode & 0111) != 0) {
		entry->SetPermissions(InstalledPermissions());
		// The system records the new executable's type and signature.
		BPath path;
		if (entry->GetPath(&path) == B_OK)
			update_mime_info(path.Path(), false, true, false);
	}
	SetTimes(entry);
}
