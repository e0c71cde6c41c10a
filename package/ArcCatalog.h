#ifndef _ARC_CATALOG_H
#define _ARC_CATALOG_H

// A forward-only cursor over the package catalog: a tree of item groups, one
// per folder, file, symbolic link, install script and binary patch, nested
// as the folders nest. A folder's group holds its 'FDat' fields, then its
// children, then its end record.
//
// Walk:  Set(pack); Rewind(); GetFolderData(&folder); then loop on
// GetFolderItemType(): 0 ends the current folder, 2 enters a sub-folder
// (GetFolderData again), any other kind GetItemData(&item, kind).
//
// The catalog keeps one item object of each kind and refills it for every
// item of that kind: an item is valid until the next read of its kind. The
// walk ends cleanly at the end of the data (GetFolderItemType gives 0), so a
// damaged catalog never hangs a walk.

#include <SupportDefs.h>

class ArchiveFileItem;
class ArchiveFolderItem;
class ArchiveItem;
class ArchiveLinkItem;
class ArchivePatchItem;
class ArchiveScriptItem;
class BFile;
class BufferedFileIO;
class InstallPack;
class PackData;
struct record_header;

// Item group tags, by kind.
enum {
	kFileItemTag = 'FilI',
	kFolderItemTag = 'FldI',
	kPatchItemTag = 'PtcI',
	kScriptItemTag = 'ScrI',
	kLinkItemTag = 'LnkI',
	kFolderDataTag = 'FDat'
};

// Field record tags.
enum {
	kNameField = 'Name',
	kOffsetField = 'OffT',
	kSizeField = 'OrgS',
	kDestField = 'Dest',
	kCustomField = 'Cust',
	kGroupsField = 'Grps',
	kReplaceField = 'Repl',
	kCreationTimeField = 'CTim',
	kModificationTimeField = 'MTim',
	kPlatformField = 'Plat',
	kModeField = 'Mode',
	kMimeField = 'Mime',
	kVersionField = 'VrsI',
	kLinkField = 'Link',
	kOldSizeField = 'OldS'
};

// A 'VrsI' buffer: five big-endian int32.
const uint32 kVersionInfoSize = 20;

class ArcCatalog {
public:
	ArcCatalog();
	~ArcCatalog();

	// Needs the package open (SetFile()): takes a second handle on its file,
	// its reader and the catalog offset. B_NO_INIT when it is not open.
	status_t Set(const InstallPack* pack);
	status_t Unset();
	// To the catalog's start; 0 when it starts with the top folder, else -1.
	status_t Rewind();

	// The fields of the folder just entered; null when the folder carries
	// no 'FDat' group (the record that came instead is left to be read).
	void GetFolderData(ArchiveItem** out);
	// The kind (1 to 5) of the next item of the current folder, its group
	// header read; 0 at the folder's end record (consumed) or at the end of
	// the data. Groups of other tags are skipped whole.
	int32 GetFolderItemType();
	// The fields of the item whose header GetFolderItemType just read.
	void GetItemData(ArchiveItem** out, int32 kind);
	void GetFileData(ArchiveItem** out);
	void GetPatchData(ArchiveItem** out);
	void GetScriptData(ArchiveItem** out);
	void GetLinkData(ArchiveItem** out);

	status_t StartFolderGet() { return B_OK; }
	status_t EndFolderGet() { return B_OK; }

private:
	ArcCatalog(const ArcCatalog&) = delete;
	ArcCatalog& operator=(const ArcCatalog&) = delete;

	enum FieldSet {
		kFolderFields,
		kFileFields,
		kLinkFields,
		kScriptFields,
		kPatchFields
	};

	void _ReadFields(ArchiveItem* item, FieldSet fields);
	bool _ReadField(ArchiveItem* item, FieldSet fields,
		const record_header& header);
	bool _ReadNumber(const record_header& header, int64* value);
	bool _ReadText(const record_header& header, char** text, bool keepPrefix = false);
	bool _ReadVersion(const record_header& header, int32 version[5]);

	ArchiveFileItem* fFileItem;
	ArchiveFolderItem* fFolderItem;
	ArchivePatchItem* fPatchItem;
	ArchiveScriptItem* fScriptItem;
	ArchiveLinkItem* fLinkItem;
	BufferedFileIO* fFile;
	PackData* fReader;
	int64 fCatalogOffset;
};

#endif // _ARC_CATALOG_H
