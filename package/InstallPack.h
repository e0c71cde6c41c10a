#ifndef _INSTALL_PACK_H
#define _INSTALL_PACK_H

// The open package. A self-extracting installer carries its package behind
// its own image and resources, and its size resource ('INsz', id 0, a
// big-endian int32) says where the package stream starts (P); a stand-alone
// package file starts at 0. The constructor finds the stream, checks its
// magic, header, size and format version, reads the whole catalog once (a
// damaged or too deep catalog is refused before any window shows or any
// file is written), and keeps the offsets that the attribute reader, the
// catalog and the installation engine use. Every failure has shown its
// alert when the constructor returns; callers test fEntry (null: the
// package is unusable).

#include "PackageFormat.h"
#include "RList.h"

#include <CancelFlag.h>
#include <Messenger.h>
#include <SupportDefs.h>

#include <string>

struct entry_ref;
class BEntry;
class BFile;
class BNode;
class DestItem;
class Sha256Digest;
class GroupList;
class NodeDecoder;
class PackAttrib;
class SPackData;
struct record_header;

// The accepted format versions, ended by kEndOfVersions.
extern const uint16 SUPPORTED_VERSIONS[];
const uint16 kEndOfVersions = 0xFFFF;

// The header values the constructor checks and then discards.
struct arcHeader {
	int32 version;
	int64 archiveSize;
};

// Archive flag: script items carry no data to extract.
const int32 kScriptDataNotStored = 0x1;

class InstallPack {
public:
	InstallPack(entry_ref& ref, bool selfExtracting);
	~InstallPack();

	// Opens the package file read-only (and makes the node reader on the
	// first call); true when the file could not be opened.
	bool SetFile();
	void ClearFile();
	// Restores one node from the node data entry at `offset` (relative to
	// the package start). Needs SetFile(). The entries are read and decoded
	// ahead on a second thread (NodeDecoder), started by the first call
	// after SetFile() and stopped by ClearFile(), SetFile(), the destructor
	// and any call that fails or is cancelled; what the node gets is the
	// same either way. A `contentSize` of 0 or more is the size the catalog
	// declares for the file: contents of another length fail with
	// kContentSizeMismatch, and no byte past it is written. A `digest` is
	// fed with the contents as they are written.
	status_t ExtractFile(BNode* node, off_t offset, off_t contentSize = -1,
		Sha256Digest* digest = NULL);
	// Whether ExtractFile decodes ahead (the default) or reads each entry
	// itself when it is asked for.
	void SetDecodeAhead(bool decodeAhead);
	// The decoder of the current file, while one runs.
	NodeDecoder* Decoder() const { return fDecoder; }

	status_t BeginDecompression();
	status_t EndDecompression();
	void ResetDecompress();

	// Reads the package attributes into attrib; 0 or the negative status of
	// the first failing read. Leaves the package file open.
	status_t NewReadAttributes(PackAttrib* attrib);
	// The readers of the attribute section's lists, each from the current
	// position up to the end record of its list.
	status_t ReadMasterGroupList(GroupList* groups);
	status_t ReadViewGroupList(GroupList* groups);
	status_t ReadDefaultDestList(RList<DestItem*>* list);
	status_t ReadCustomDestList(RList<DestItem*>* list);

	// Used by the constructor.
	status_t VerifyMagic(BFile* file);
	status_t ReadArcHeader(BFile* file, arcHeader& header);

	// The alert for a catalog that cannot be walked to its end, by the
	// status of the walk (ArcCatalog::Status()). Every reader of the
	// catalog reports such a catalog through it.
	static void ShowCatalogError(status_t status);
	// That alert's text.
	static std::string CatalogErrorText(status_t status);

	// Low 32 bits of the archive flags.
	int32 fArchiveFlags;
	// P: where the package stream starts in the file.
	int64 fDataOffset;
	// Absolute file offsets of the attribute section and the catalog.
	int64 fAttribOffset;
	int64 fCatalogOffset;
	// Absolute file offset of the end of the package stream (P + 'FSiz').
	int64 fPackageEnd;
	bool fCancel;
	// Raised by the progress window's Cancel and by an interrupt during a
	// run: it ends a running install script at once, which no progress
	// report would reach.
	BPrivate::CancelFlag fCancelFlag;
	// Target of extraction progress.
	BMessenger fStatusMessenger;
	// The package file; null when opening failed.
	BEntry* fEntry;
	// The package file opened read-only, between SetFile() and ClearFile().
	BFile* fFile;
	// The node reader, made by the first SetFile().
	SPackData* fPackData;

private:
	InstallPack(const InstallPack&) = delete;
	InstallPack& operator=(const InstallPack&) = delete;

	status_t _ReadSizeResource(const entry_ref& ref, int64* offset);
	status_t _CheckSize(const arcHeader& header);
	status_t _CheckVersion(const arcHeader& header);
	status_t _CheckCatalog();
	void _GiveUp();
	void _StopDecoder();
	status_t _ExtractFile(BNode* node, off_t offset, off_t contentSize);

	// The attribute section's readers.
	status_t _ReadAttribute(PackAttrib* attrib, const record_header& header);
	status_t _ReadText(char** text);
	status_t _ReadDecodedBin(char** data, uint32* length);
	status_t _ReadGroup(GroupList* groups);
	status_t _ReadDestination(RList<DestItem*>* list, bool custom);
	status_t _ReadQuery(RList<DestItem*>* list);

	NodeDecoder* fDecoder;
	bool fDecodeAhead;
};

#endif // _INSTALL_PACK_H
