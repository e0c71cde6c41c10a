#ifndef _CATALOG_ENTRY_H
#define _CATALOG_ENTRY_H

// One item of a catalog being written: the fields the installer's catalog
// reader fills, with the same defaults. A folder holds its children in
// catalog order.

#include <SupportDefs.h>

#include <memory>
#include <string>
#include <vector>

class CatalogEntry {
public:
	// kind: 1 file, 2 folder, 3 patch, 4 script, 5 link.
	explicit CatalogEntry(int32 kind, const std::string& name = "");
	~CatalogEntry();

	bool IsFolder() const;
	// A new child at the end of this folder; null when this is no folder
	// or the kind is unknown. The folder owns it.
	CatalogEntry* AddChild(int32 kind, const std::string& name = "");
	int32 CountChildren() const { return (int32)fChildren.size(); }
	CatalogEntry* ChildAt(int32 index) const;

	int32 fKind;
	std::string fName;
	// Offset of the node data entry relative to the package start; -1:
	// none.
	int64 fOffset;
	int64 fSize;
	int32 fDestIndex;
	bool fCustom;
	uint32 fGroups;
	int32 fReplaceOption;
	int32 fCreationTime;
	int32 fModificationTime;
	int32 fPlatform;
	int32 fMode;
	// Files: written only when not empty.
	std::string fMimeType;
	// Files: major, middle, minor, variety, internal.
	int32 fVersion[5];
	// Links.
	std::string fLinkTarget;
	// Patches: size of the original file.
	int64 fOldSize;

private:
	CatalogEntry(const CatalogEntry&) = delete;
	CatalogEntry& operator=(const CatalogEntry&) = delete;

	std::vector<std::unique_ptr<CatalogEntry>> fChildren;
};

#endif // _CATALOG_ENTRY_H
