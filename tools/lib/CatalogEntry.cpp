#include "CatalogEntry.h"

#include "ArchiveItem.h"

#include <cstring>

CatalogEntry::CatalogEntry(int32 kind, const std::string& name)
	:
	fKind(kind),
	fName(name),
	fOffset(-1),
	fSize(0),
	fDestIndex(kParentFolderDestination),
	fCustom(false),
	fGroups(1),
	fReplaceOption(0),
	fCreationTime(0),
	fModificationTime(0),
	fPlatform(-1),
	fMode(0777),
	fOldSize(0)
{
	memset(fVersion, 0, sizeof(fVersion));
}


CatalogEntry::~CatalogEntry()
{
}


bool
CatalogEntry::IsFolder() const
{
	return fKind == kFolderItemKind;
}


CatalogEntry*
CatalogEntry::AddChild(int32 kind, const std::string& name)
{
	if (!IsFolder() || kind < kFileItemKind || kind > kLinkItemKind)
		return nullptr;
	fChildren.push_back(std::make_unique<CatalogEntry>(kind, name));
	return fChildren.back().get();
}


CatalogEntry*
CatalogEntry::ChildAt(int32 index) const
{
	if (index < 0 || index >= CountChildren())
		return nullptr;
	return fChildren[index].get();
}
