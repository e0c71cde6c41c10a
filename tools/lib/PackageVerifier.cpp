#include "PackageVerifier.h"

#include "HostFile.h"
#include "PackageLocator.h"

#include "ArcCatalog.h"
#include "AlertSinkScope.h"
#include "BinReader.h"
#include "EntryReader.h"
#include "NotedAlertSink.h"
#include "PackageFormat.h"
#include "PackData.h"
#include "ZlCodec.h"

#include <ByteOrder.h>
#include <Errors.h>

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace {

const int32 kItemTags[] = {kFileItemTag, kFolderItemTag, kPatchItemTag, kScriptItemTag,
	kLinkItemTag};


bool
IsItemTag(int32 tag)
{
	return std::find(std::begin(kItemTags), std::end(kItemTags), tag) != std::end(kItemTags);
}


// The entry tag an item's data must have.
int32
EntryTagFor(int32 itemTag)
{
	switch (itemTag) {
		case kFolderItemTag:
			return kFolderEntryTag;
		case kLinkItemTag:
			return kLinkEntryTag;
		default:
			return kFileEntryTag;
	}
}


std::string
TagText(int32 tag)
{
	char text[5];
	for (int i = 0; i < 4; i++) {
		char c = (char)((uint32)tag >> (24 - 8 * i));
		text[i] = c >= 0x20 && c < 0x7f ? c : '?';
	}
	text[4] = '\0';
	if ((uint32)tag < 256)
		return std::to_string(tag);
	return std::string("'") + text + "'";
}


int64
BigInt64(const uint8* bytes)
{
	uint64 value;
	memcpy(&value, bytes, 8);
	return (int64)B_BENDIAN_TO_HOST_INT64(value);
}


int32
BigInt32(const uint8* bytes)
{
	uint32 value;
	memcpy(&value, bytes, 4);
	return (int32)B_BENDIAN_TO_HOST_INT32(value);
}


} // namespace


const int32 PackageVerifier::kMaxDepth = kMaxFolderDepth + 16;


PackageVerifier::PackageVerifier()
	:
	fCodec(new ZlCodec),
	fRecords(new PackData),
	fFile(nullptr),
	fBase(0),
	fEnd(0),
	fCatalogOffset(0),
	fAttributeOffset(0),
	fCurrent(),
	fCurrentEntryTag(0),
	fCurrentEntryStart(-1),
	fFolderDepth(0)
{
	fRecords->SetCurrentCodec(fCodec.get());
}


status_t
PackageVerifier::_Fail(off_t at, const std::string& reason)
{
	fReason = "at offset " + std::to_string((long long)at) + ": " + reason;
	return B_BAD_DATA;
}


PackageVerifier::~PackageVerifier()
{
	fRecords->SetCurrentCodec(nullptr);
}


status_t
PackageVerifier::_Read(off_t position, void* buffer, size_t size)
{
	if (position < 0 || position + (off_t)size > fEnd)
		return _Fail(position, "the data runs past the end of the package");
	ssize_t read = fFile->ReadAt(fBase + position, buffer, size);
	if (read != (ssize_t)size) {
		return _Fail(position, read < 0 ? strerror(status_to_errno((status_t)read))
			: "the file ends early");
	}
	return B_OK;
}


status_t
PackageVerifier::VerifyPath(const char* hostPath)
{
	std::string error;
	PackageLocator locator;
	status_t status = locator.SetTo(hostPath, &error);
	if (status != B_OK) {
		fReason = error;
		return status;
	}
	HostFile file(hostPath, O_RDONLY);
	return Verify(&file, locator.Offset());
}


status_t
PackageVerifier::Verify(BPositionIO* file, off_t offset)
{
	fFile = file;
	fBase = offset;
	fReason.clear();
	fSummary = verify_summary();
	fTopLevelStarts.clear();
	fEntryTags.clear();
	fEntrySizes.clear();
	fReferences.clear();
	fFolderDepth = 0;
	off_t fileSize;
	status_t status = file->GetSize(&fileSize);
	if (status != B_OK) {
		fReason = strerror(status_to_errno(status));
		return status;
	}
	fEnd = fileSize - offset;

	if ((status = _CheckMagic()) != B_OK)
		return status;
	off_t position;
	if ((status = _ReadHeader(&position)) != B_OK)
		return status;
	while (position < fEnd) {
		fTopLevelStarts.insert(position);
		if ((status = _WalkRecord(&position, 0, 0, 0, true)) != B_OK)
			return status;
	}
	if (position != fEnd)
		return _Fail(position, "the last record runs past the end of the package");
	return _CheckReferences();
}


status_t
PackageVerifier::_CheckMagic()
{
	uint8 magic[8];
	if (_Read(0, magic, 8) != B_OK)
		return _Fail(0, "shorter than the 8-byte magic");
	for (int i = 0; i < 8; i++) {
		if (magic[i] != kPHeader[i]) {
			char text[80];
			snprintf(text, sizeof(text), "magic byte %d is 0x%02X, not 0x%02X", i, magic[i],
				kPHeader[i]);
			return _Fail(i, text);
		}
	}
	return B_OK;
}


status_t
PackageVerifier::_ReadHeader(off_t* end)
{
	uint8 header[7];
	status_t status = _Read(8, header, 7);
	if (status != B_OK)
		return status;
	if (BigInt32(header) != kPackageHeaderTag || header[6] != kGroupRecord)
		return _Fail(8, "the header group 'PhIn' is missing");
	std::map<int32, int64> fields;
	off_t position = 15;
	while (true) {
		if ((status = _Read(position, header, 7)) != B_OK)
			return status;
		int32 tag = BigInt32(header);
		int16 count = (int16)(header[4] << 8 | header[5]);
		uint8 type = header[6];
		off_t recordStart = position;
		if (type == kEndRecord) {
			position += 7;
			break;
		}
		if (type == kNumberRecord && (count == 1 || count == 2)) {
			uint8 value[8];
			if ((status = _Read(position + 7, value, count * 4)) != B_OK)
				return status;
			fields[tag] = count == 1 ? BigInt32(value) : BigInt64(value);
			if (tag == kFormatVersionTag && count != 1)
				return _Fail(recordStart, "'FVer' is not a 32-bit number");
		}
		fSummary.records++;
		position = recordStart;
		if ((status = _WalkRecord(&position, 1, kPackageHeaderTag, 0, false)) != B_OK)
			return status;
	}
	for (int32 tag : {kFormatVersionTag, kArchiveFlagsTag, kArchiveSizeTag, kCatalogOffsetTag,
			kAttributeOffsetTag}) {
		if (fields.find(tag) == fields.end())
			return _Fail(8, "the header has no " + TagText(tag) + " record");
	}
	fSummary.version = (int32)fields[kFormatVersionTag];
	if (fSummary.version != 1 && fSummary.version != 2)
		return _Fail(8, "unknown format version " + std::to_string(fSummary.version));
	int64 archiveSize = fields[kArchiveSizeTag];
	fSummary.archiveSize = archiveSize;
	if (archiveSize > fEnd) {
		return _Fail(8, "the package needs " + std::to_string(archiveSize)
			+ " bytes, the file holds " + std::to_string((long long)fEnd));
	}
	if (archiveSize < position)
		return _Fail(8, "the package size " + std::to_string(archiveSize) + " is too small");
	// Bytes after the package (an installer may be followed by others)
	// are not part of it.
	fEnd = archiveSize;
	fCatalogOffset = fields[kCatalogOffsetTag];
	fAttributeOffset = fields[kAttributeOffsetTag];
	if (fCatalogOffset < position || fCatalogOffset >= fEnd)
		return _Fail(8, "the catalog offset lies outside the package");
	if (fAttributeOffset < position || fAttributeOffset >= fEnd)
		return _Fail(8, "the attribute offset lies outside the package");
	*end = position;
	return B_OK;
}


status_t
PackageVerifier::_WalkRecord(off_t* position, int32 depth, int32 parentTag, int32 itemTag,
	bool topLevel)
{
	if (depth > kMaxDepth)
		return _Fail(*position, "records nested too deeply");
	off_t start = *position;
	uint8 header[7];
	status_t status = _Read(start, header, 7);
	if (status != B_OK)
		return status;
	int32 tag = BigInt32(header);
	int16 count = (int16)(header[4] << 8 | header[5]);
	uint8 type = header[6];
	*position += 7;
	fSummary.records++;
	switch (type) {
		case kEndRecord:
			if (topLevel)
				return _Fail(start, "an end record outside any group");
			return B_OK;
		case kNumberRecord: {
			if (count < 0)
				return _Fail(start, "a number record with a negative count");
			if ((IsItemTag(itemTag) && parentTag == itemTag) || parentTag == kFolderDataTag) {
				if ((tag == kOffsetField || tag == kSizeField) && count == 2) {
					uint8 value[8];
					if ((status = _Read(*position, value, 8)) != B_OK)
						return status;
					if (tag == kOffsetField)
						fCurrent.offset = BigInt64(value);
					else
						fCurrent.size = BigInt64(value);
				}
			}
			if (*position + (off_t)count * 4 > fEnd)
				return _Fail(start, "a number record runs past the end of the package");
			*position += (off_t)count * 4;
			return B_OK;
		}
		case kStringRecord:
		case kBufferRecord: {
			uint8 length[4];
			if ((status = _Read(*position, length, 4)) != B_OK)
				return status;
			off_t size = (uint32)BigInt32(length);
			*position += 4;
			if (*position + size > fEnd) {
				return _Fail(start, "a " + std::string(type == kStringRecord ? "string"
					: "buffer") + " of " + std::to_string((long long)size)
					+ " bytes runs past the end of the package");
			}
			*position += size;
			return B_OK;
		}
		case kBinRecord: {
			int64 original = 0;
			if ((status = _WalkBin(position, count, &original)) != B_OK)
				return status;
			return B_OK;
		}
		case kGroupRecord:
			break;
		default:
			return _Fail(start, "unknown record type " + std::to_string(type));
	}

	// A group: its members up to its end record.
	if (topLevel && is_entry_tag(tag)) {
		fEntryTags.emplace_back(start, tag);
		fCurrentEntryStart = start;
		fSummary.entries++;
	}
	bool isItem = IsItemTag(tag) && (topLevel ? tag == kFolderItemTag
		: IsItemTag(itemTag) || parentTag == 0);
	catalog_reference saved = fCurrent;
	if (isItem) {
		fCurrent = catalog_reference{tag, -1, -1, start};
		fSummary.items++;
	}
	bool isFolder = isItem && tag == kFolderItemTag;
	if (isFolder && ++fFolderDepth > kMaxFolderDepth) {
		return _Fail(start, "folders nested more than " + std::to_string(kMaxFolderDepth)
			+ " levels deep");
	}
	int32 memberItemTag = isItem ? tag : itemTag;
	while (true) {
		if (*position >= fEnd)
			return _Fail(start, "the group " + TagText(tag) + " has no end record");
		uint8 member[7];
		if ((status = _Read(*position, member, 7)) != B_OK)
			return status;
		bool end = member[6] == kEndRecord;
		if ((status = _WalkRecord(position, depth + 1, tag, memberItemTag, false)) != B_OK)
			return status;
		// A folder's own fields sit in its 'FDat' group; its data offset is
		// recorded once that group ends.
		if (isItem && tag == kFolderItemTag && BigInt32(member) == kFolderDataTag && !end) {
			fReferences.push_back(fCurrent);
			fCurrent.offset = -1;
		}
		if (end)
			break;
	}
	if (isItem) {
		if (tag != kFolderItemTag)
			fReferences.push_back(fCurrent);
		fCurrent = saved;
	}
	if (isFolder)
		fFolderDepth--;
	if (topLevel && is_entry_tag(tag)) {
		fCurrentEntryStart = -1;
		return _ReadEntry(start);
	}
	return B_OK;
}


status_t
PackageVerifier::_WalkBin(off_t* position, int16 flags, int64* original)
{
	off_t start = *position - 7;
	uint8 preamble[20];
	status_t status = _Read(*position, preamble, 20);
	if (status != B_OK)
		return status;
	*position += 20;
	int64 stored = BigInt64(preamble);
	*original = BigInt64(preamble + 8);
	int32 codec = BigInt32(preamble + 16);
	fSummary.bins++;
	if (stored < 0 || stored > fEnd - *position)
		return _Fail(start, "a bin of " + std::to_string(stored) + " stored bytes runs past "
			"the end of the package");
	if (*original < 0)
		return _Fail(start, "a bin with a negative original size");
	if (flags != 0)
		return _Fail(start, "a bin with flags " + std::to_string(flags)
			+ " (bins are complete streams)");
	if (codec == 1) {
		if (stored != *original)
			return _Fail(start, "a stored bin whose sizes differ");
		*position += stored;
		fSummary.decodedBytes += stored;
		return B_OK;
	}
	if (codec != 2)
		return _Fail(start, "a bin of unknown codec " + std::to_string(codec));

	// A node data entry's bins are decoded when the entry is read whole,
	// once its records have been walked.
	if (fCurrentEntryStart < 0) {
		status = _DecodeBin(start);
		if (status != B_OK)
			return status;
	}
	*position += stored;
	return B_OK;
}


// Decodes the bin whose record starts at `start` with the package's reader
// of bins, checking what it decodes to against its original size.
status_t
PackageVerifier::_DecodeBin(off_t start)
{
	off_t preamble = fBase + start + kRecordHeaderSize;
	if (fFile->Seek(preamble, SEEK_SET) != preamble)
		return _Fail(start, "the bin cannot be read");
	NotedAlertSink noted;
	AlertSinkScope scope(&noted);
	BinReader reader(fRecords.get());
	status_t status = reader.Begin(fFile);
	const bin_summary& bin = reader.Summary();
	for (bin_step step; status == B_OK;) {
		status = reader.Next(&step);
		if (status != B_OK || step.what == bin_step::kEnd)
			break;
		if (bin.decodedSize > bin.originalSize)
			return _FailOversized(start, bin);
	}
	if (status != B_OK)
		return _FailUndecodable(start, noted.Take());
	return _CheckDecodedBin(start, reader.Summary());
}


// Reads the node data entry at `start` with the package's reader of
// entries, as the installer reads it: every bin decoded and checked.
status_t
PackageVerifier::_ReadEntry(off_t start)
{
	if (fFile->Seek(fBase + start, SEEK_SET) != fBase + start)
		return _Fail(start, "the node data entry cannot be read");
	NotedAlertSink noted;
	AlertSinkScope scope(&noted);
	EntryReader reader(fRecords.get());
	status_t status = reader.Begin(fFile);
	const bin_summary& bin = reader.Bin();
	for (entry_step step; status == B_OK;) {
		status = reader.Next(&step);
		if (status != B_OK || step.what == entry_step::kEnd)
			break;
		off_t binStart = reader.BinPosition() - fBase - kRecordHeaderSize;
		if (step.what == entry_step::kData && bin.decodedSize > bin.originalSize)
			return _FailOversized(binStart, bin);
		if (step.what != entry_step::kMainForkEnd && step.what != entry_step::kAttributeEnd)
			continue;
		if ((status = _CheckDecodedBin(binStart, bin)) != B_OK)
			return status;
		if (step.what == entry_step::kMainForkEnd)
			fEntrySizes.emplace_back(start, bin.originalSize);
	}
	if (status != B_OK) {
		off_t at = reader.BinPosition() >= fBase + start
			? reader.BinPosition() - fBase - kRecordHeaderSize : start;
		return _FailUndecodable(at, noted.Take());
	}
	return B_OK;
}


status_t
PackageVerifier::_CheckDecodedBin(off_t start, const bin_summary& bin)
{
	if (bin.trailingBytes != 0)
		return _Fail(start, "a compressed bin has bytes after the end of its stream");
	if (bin.decodedSize != bin.originalSize)
		return _Fail(start, "a bin decodes to " + std::to_string(bin.decodedSize)
			+ " bytes, not " + std::to_string(bin.originalSize));
	fSummary.decodedBytes += bin.decodedSize;
	return B_OK;
}


status_t
PackageVerifier::_FailOversized(off_t start, const bin_summary& bin)
{
	return _Fail(start, "a bin decodes to more than its " + std::to_string(bin.originalSize)
		+ " bytes");
}


status_t
PackageVerifier::_FailUndecodable(off_t start, const std::string& why)
{
	return _Fail(start, "a compressed bin does not decode"
		+ (why.empty() ? std::string() : " (" + why + ")"));
}


status_t
PackageVerifier::_CheckReferences()
{
	if (fTopLevelStarts.count(fCatalogOffset) == 0)
		return _Fail(fCatalogOffset, "the catalog offset is not the start of a record");
	if (fTopLevelStarts.count(fAttributeOffset) == 0)
		return _Fail(fAttributeOffset, "the attribute offset is not the start of a record");
	uint8 header[7];
	status_t status = _Read(fCatalogOffset, header, 7);
	if (status != B_OK)
		return status;
	if (BigInt32(header) != kFolderItemTag || header[6] != kGroupRecord)
		return _Fail(fCatalogOffset, "the catalog does not start with its top folder");
	if ((status = _Read(fAttributeOffset, header, 7)) != B_OK)
		return status;
	if (BigInt32(header) != kAttributeSectionTag || header[6] != kGroupRecord)
		return _Fail(fAttributeOffset, "the attribute section does not start with 'PkgA'");

	std::map<int64, int32> entryTags(fEntryTags.begin(), fEntryTags.end());
	std::map<int64, int64> entrySizes(fEntrySizes.begin(), fEntrySizes.end());
	for (const catalog_reference& reference : fReferences) {
		if (reference.offset == -1)
			continue;
		auto found = entryTags.find(reference.offset);
		if (found == entryTags.end()) {
			return _Fail(reference.at, "the item's data offset "
				+ std::to_string(reference.offset) + " is not a node data entry");
		}
		if (found->second != EntryTagFor(reference.itemTag)) {
			return _Fail(reference.at, "the " + TagText(reference.itemTag)
				+ " item's data is a " + TagText(found->second) + " entry");
		}
		auto size = entrySizes.find(reference.offset);
		if (reference.itemTag == kFileItemTag && reference.size >= 0 && size != entrySizes.end()
			&& size->second != reference.size) {
			return _Fail(reference.at, "the item's size " + std::to_string(reference.size)
				+ " differs from its contents' " + std::to_string(size->second));
		}
	}
	return B_OK;
}
