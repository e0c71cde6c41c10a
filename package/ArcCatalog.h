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
// item of that kind: an item is valid until the next read of its kind.
//
// A record that cannot be read (the data ends, a record of unknown type) or
// a folder nested deeper than kMaxFolderDepth ends the walk: from then on
// GetFolderItemType gives 0 at every level, so every walk unwinds at once,
// and Status() says why. A walker tests Status() when its walk is over: a
// catalog that ended early is damaged, never a shorter catalog. Since the
// cursor never enters a folder past the limit, a walk that recurses per
// folder recurses at most kMaxFolderDepth deep.

#include "PackageFormat.h"

#include <Errors.h>
#include <SupportDefs.h>

class ArchiveFileItem;
class ArchiveFolderItem;
class ArchiveItem;
class ArchiveLinkItem;
class ArchivePatchItem;
class ArchiveScriptItem;
class BFile;
class BPositionIO;
class BufferedFileIO;
class InstallPack;
class PackData;
struct record_header;

// A 'VrsI' buffer: five big-endian int32.
const uint32 kVersionInfoSize = 20;

// How deep folders may nest in a package, the top folder being the first
// level. The package tool builds nothing deeper and every reader of a
// catalog, the installer's and the tool's, refuses anything deeper.
const int32 kMaxFolderDepth = 256;

// Why a catalog cannot be walked to its end (ArcCatalog::Status()).
// It does not start with the top folder.
const status_t kCatalogNoTopFolder = B_ENTRY_NOT_FOUND;
// A record could not be read, or the top folder ends where no other part of
// the package starts.
const status_t kCatalogDamaged = B_BAD_DATA;
// Folders nest deeper than kMaxFolderDepth.
const status_t kCatalogTooDeep = B_NOT_ALLOWED;

class ArcCatalog {
public:
	ArcCatalog();
	~ArcCatalog();

	// Needs the package open (SetFile()): takes a second handle on its file,
	// its reader and the catalog offset. B_NO_INIT when it is not open.
	status_t Set(const InstallPack* pack);
	status_t Unset();
	// To the catalog's start; 0 when it starts with the top folder, else -1.
	// Starts a new walk: Status() is B_OK again unless it failed.
	status_t Rewind();
	// B_OK while the walk since Rewind() has read every record whole and
	// stayed within kMaxFolderDepth; else kCatalogNoTopFolder,
	// kCatalogDamaged or kCatalogTooDeep.
	status_t Status() const { return fStatus; }
	// Binds the catalog to the open package as Set() does and walks it
	// whole, every field of every item read, without recursion. Checks
	// too that every item's data is none (offset -1) or a node data entry
	// of the item's kind inside the package, and that the package goes on
	// after the top folder's end with another part of it (or ends there).
	// B_OK, or the walk's Status(). Leaves the cursor at the catalog's end.
	status_t Check(const InstallPack* pack);

	// The fields of the folder just entered; null when the folder carries
	// no 'FDat' group (the record that came instead is left to be read).
	void GetFolderData(ArchiveItem** out);
	// The kind (1 to 5) of the next item of the current folder, its group
	// header read; 0 at the folder's end record (consumed), after the top
	// folder's end, and once the walk has failed (see Status()). Groups of
	// other tags are skipped whole.
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

	void _Fail(status_t status);
	bool _IsWholeData(BPositionIO* package, const ArchiveItem* item, int32 kind);
	bool _EndsThePackage(off_t position);
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
	// Where the package stream starts (P) and ends in the file.
	int64 fDataOffset;
	int64 fPackageEnd;
	// Folders open in the walk: 1 in the top folder, 0 after its end.
	int32 fDepth;
	status_t fStatus;
};

#endif // _ARC_CATALOG_H
