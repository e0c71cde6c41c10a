#ifndef _ARCHIVE_PATCH_ITEM_H
#define _ARCHIVE_PATCH_ITEM_H

// A binary patch: the difference between an installed original file (found
// by its size) and the new file. Installing it rebuilds the new file beside
// the original from the original and the patch data, checks sizes and
// CRC-32 checksums, and puts the new file in the original's place.
//
// Patch data ("QVpt"), all numbers big-endian: the magic, the original's
// size and CRC-32, the new file's size and CRC-32 (4 bytes each), then
// instructions. An op byte holds a tag in its low four bits and the top bits
// H of a length L in its high four: L = H + 1 (short form), H * 256 + B1 + 17
// (medium, one more byte) or H * 65536 + B1 * 256 + B2 + 4113 (long, two).
// Tags 0-2 copy L literal bytes that follow; 3-5, 6-8 and 9-11 copy L bytes
// of the original from an absolute 2-, 3- or 4-byte offset (short, medium,
// long forms in that order); 15 ends the stream; 12-14 are invalid.

#include "ArchiveFileItem.h"

#include <EntryRef.h>

#include <cstdio>
#include <string>

// The patch data's magic, "QVpt".
const uint32 kPatchDataMagic = 'QVpt';
// Size of the patch data's header.
const int32 kPatchHeaderSize = 20;
// The instruction tags.
enum {
	kPatchLiteralTag = 0,		// 0, 1, 2: short, medium, long
	kPatchCopy2Tag = 3,			// 3, 4, 5: 2-byte offset
	kPatchCopy3Tag = 6,			// 6, 7, 8: 3-byte offset
	kPatchCopy4Tag = 9,			// 9, 10, 11: 4-byte offset
	kPatchEndTag = 15
};
// The longest length of each form.
const int32 kPatchShortLength = 16;
const int32 kPatchMediumLength = 4112;
const int32 kPatchLongLength = 1052688;
// Files of this size or more cannot be described by the patch data's
// 32-bit fields.
const int64 kPatchSizeLimit = 0x100000000LL;

class ArchivePatchItem : public ArchiveFileItem {
public:
	ArchivePatchItem();
	// The patch scan keeps copies: every base field (the name copied),
	// the original's size and reference; no MIME type.
	ArchivePatchItem(const ArchivePatchItem& other);
	~ArchivePatchItem() override;

	status_t ExtractItem(InstallPack* pack, BDirectory* parent,
		DestManager* manager, uint32 groups, bool skip) override;

	// Rebuilds `newPath` from `originalPath` and the patch data; 0, or -1
	// after an alert (the new file may be left for the caller to remove).
	// `budget` is the progress, in bytes, that the whole patch reports.
	int32 ApplyPatch(const char* originalPath, const char* newPath,
		const char* patchPath, int32 budget);

	// The file's size; its position is left as it was.
	int64 FileSize(FILE* file);
	// n bytes, big-endian; at the end of the file what was read so far.
	int32 ReadLongNBytes(FILE* file, int n);
	// Copies count bytes in pieces through the copy buffer, adding them to
	// *crc; stops at the end of the source or when a piece cannot be
	// written whole. The bytes written.
	int32 CopyFileChars(int32 count, FILE* source, FILE* destination, uint32* crc);
	// Reports the progress of `consumed` bytes of patch data.
	void AdjustProgressBar(int32 consumed);

	// Whether the patch scan found the original.
	bool HasOriginal() const;

	// The number the next patch's temporary files take; it counts for the
	// whole process.
	static int32 TemporaryCounter();
	static void SetTemporaryCounter(int32 counter);

	// Size of the original file the patch applies to.
	int64 fOldSize;
	// The located original; device, directory -1 and no name until found.
	entry_ref fOriginalRef;
	float fProgressFactor;
	InstallPack* fPack;
	char* fCopyBuffer;
	int32 fReported;

private:
	int32 _CheckResult(int64 originalSize, uint32 originalCrc, int64 written,
		uint32 newCrc, const uint32 header[5]);
	status_t _PutInPlace(BEntry* original, BDirectory* directory, BEntry* newFile,
		DestManager* manager, const char* originalPath);
	void _DeleteOriginal(BEntry* original, BDirectory* directory,
		DestManager* manager);
	int32 _Refuse(const char* text);

	// Why the patch was last refused.
	std::string fRefusal;
};

#endif // _ARCHIVE_PATCH_ITEM_H
