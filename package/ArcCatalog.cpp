#include "ArcCatalog.h"

#include "BufferedFileIO.h"

#include "ArchiveFileItem.h"
#include "ArchiveFolderItem.h"
#include "ArchiveLinkItem.h"
#include "ArchivePatchItem.h"
#include "ArchiveScriptItem.h"
#include "InstallPack.h"
#include "PackData.h"
#include "SPackData.h"

#include <ByteOrder.h>
#include <File.h>
#include <MemoryIO.h>

#include <algorithm>
#include <initializer_list>

namespace {

// Names, MIME types and link targets longer than the file system allows are
// kept as read (the engine refuses to create them); only lengths no entry
// could ever need are left out.
const uint32 kMaxFieldText = 64 * 1024;

int32
kind_for_tag(int32 tag)
{
	switch (tag) {
		case kFileItemTag: return kFileItemKind;
		case kFolderItemTag: return kFolderItemKind;
		case kPatchItemTag: return kPatchItemKind;
		case kScriptItemTag: return kScriptItemKind;
		case kLinkItemTag: return kLinkItemKind;
	}
	return 0;
}

bool
is_one_of(int32 tag, std::initializer_list<int32> tags)
{
	return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

} // namespace


ArcCatalog::ArcCatalog()
	:
	fFileItem(new ArchiveFileItem()),
	fFolderItem(new ArchiveFolderItem()),
	fPatchItem(new ArchivePatchItem()),
	fScriptItem(new ArchiveScriptItem()),
	fLinkItem(new ArchiveLinkItem()),
	fFile(NULL),
	fReader(NULL),
	fCatalogOffset(0),
	fDataOffset(0),
	fPackageEnd(0),
	fDepth(0),
	fStatus(B_OK)
{
}


ArcCatalog::~ArcCatalog()
{
	delete fFile;
	delete fFileItem;
	delete fFolderItem;
	delete fPatchItem;
	delete fScriptItem;
	delete fLinkItem;
}


status_t
ArcCatalog::Set(const InstallPack* pack)
{
	if (pack == NULL || pack->fFile == NULL || pack->fPackData == NULL)
		return B_NO_INIT;
	delete fFile;
	// A handle of its own: the engine moves the package's handle to an
	// item's data between two catalog reads.
	// Buffered: the catalog is read a few bytes at a time.
	BFile* file = new BFile();
	*file = *pack->fFile;
	fFile = new BufferedFileIO(file);
	fReader = pack->fPackData;
	fCatalogOffset = pack->fCatalogOffset;
	fDataOffset = pack->fDataOffset;
	fPackageEnd = pack->fPackageEnd;
	fDepth = 0;
	fStatus = B_OK;
	return fFile->InitCheck();
}


status_t
ArcCatalog::Unset()
{
	delete fFile;
	fFile = NULL;
	return B_OK;
}


status_t
ArcCatalog::Rewind()
{
	fDepth = 0;
	fStatus = kCatalogNoTopFolder;
	if (fFile == NULL || fReader == NULL)
		return B_ERROR;
	if (fFile->Seek(fCatalogOffset, SEEK_SET) < 0)
		return B_ERROR;
	record_header header;
	if (fReader->ReadRecordHeader(fFile, &header) != B_OK
		|| header.tag != kFolderItemTag || header.type != kGroupRecord)
		return B_ERROR;
	fDepth = 1;
	fStatus = B_OK;
	return B_OK;
}


status_t
ArcCatalog::Check(const InstallPack* pack)
{
	if (Set(pack) != B_OK || Rewind() != B_OK)
		return fStatus != B_OK ? fStatus : kCatalogDamaged;
	// The first item data at or after the catalog's start: no part of the
	// package lies inside another.
	int64 nextPart = pack->fAttribOffset >= fCatalogOffset ? pack->fAttribOffset : INT64_MAX;
	ArchiveItem* item = NULL;
	GetFolderData(&item);
	int32 kind = kFolderItemKind;
	while (fStatus == B_OK) {
		if (item != NULL) {
			// Read at their positions, which moves neither the package's
			// handle nor the catalog's own.
			if (!_IsWholeData(pack->fFile, item, kind))
				_Fail(kCatalogDamaged);
			else if (item->fOffset >= 0 && fDataOffset + item->fOffset >= fCatalogOffset)
				nextPart = std::min(nextPart, fDataOffset + item->fOffset);
		}
		if (fDepth <= 0)
			break;
		item = NULL;
		kind = GetFolderItemType();
		if (kind != 0)
			GetItemData(&item, kind);
	}
	off_t end = fFile->Position();
	if (fStatus == B_OK && (end > nextPart || !_EndsThePackage(end)))
		_Fail(kCatalogDamaged);
	return fStatus;
}


// An item's data: none, or a node data entry of the item's kind that starts
// inside the package.
bool
ArcCatalog::_IsWholeData(BPositionIO* package, const ArchiveItem* item, int32 kind)
{
	if (item->fOffset == -1)
		return true;
	if (item->fOffset < 0 || item->fOffset > fPackageEnd - fDataOffset - kRecordHeaderSize)
		return false;
	// One positioned read of the header, not a seek and a read: a catalog
	// of many items opens noticeably sooner.
	uint8 bytes[kRecordHeaderSize];
	if (package->ReadAt(fDataOffset + item->fOffset, bytes, sizeof(bytes))
			!= (ssize_t)sizeof(bytes))
		return false;
	BMemoryIO headerBytes(bytes, sizeof(bytes));
	record_header header;
	if (fReader->ReadRecordHeader(&headerBytes, &header) != B_OK)
		return false;
	int32 entryTag = kind == kFolderItemKind ? kFolderEntryTag
		: kind == kLinkItemKind ? kLinkEntryTag : kFileEntryTag;
	return header.type == kGroupRecord && header.tag == entryTag;
}


// After the top folder's end the package ends, or goes on with another of
// its parts (node data, the attributes), each a group of its own. Anything
// else there is the rest of a catalog whose top folder was cut short.
bool
ArcCatalog::_EndsThePackage(off_t position)
{
	if (position == fPackageEnd)
		return true;
	record_header header;
	if (fReader->ReadRecordHeader(fFile, &header) != B_OK)
		return false;
	fFile->Seek(position, SEEK_SET);
	return header.type == kGroupRecord && kind_for_tag(header.tag) == 0
		&& header.tag != kFolderDataTag;
}


// The walk ends here: every level gives 0 from now on.
void
ArcCatalog::_Fail(status_t status)
{
	if (fStatus == B_OK)
		fStatus = status;
}


void
ArcCatalog::GetFolderData(ArchiveItem** out)
{
	*out = NULL;
	if (fFile == NULL)
		return;
	off_t start = fFile->Position();
	record_header header;
	if (fReader->ReadRecordHeader(fFile, &header) != B_OK) {
		_Fail(kCatalogDamaged);
		return;
	}
	if (header.tag != kFolderDataTag || header.type != kGroupRecord) {
		// Not the folder's fields: leave the record to the item loop.
		fFile->Seek(start, SEEK_SET);
		return;
	}
	fFolderItem->Unset();
	fFolderItem->AdoptName(NULL);
	_ReadFields(fFolderItem, kFolderFields);
	*out = fFolderItem;
}


int32
ArcCatalog::GetFolderItemType()
{
	if (fFile == NULL || fStatus != B_OK || fDepth <= 0)
		return 0;
	record_header header;
	while (fReader->ReadRecordHeader(fFile, &header) == B_OK) {
		if (header.type == kEndRecord) {
			fDepth--;
			return 0;
		}
		if (header.type == kGroupRecord) {
			int32 kind = kind_for_tag(header.tag);
			if (kind == kFolderItemKind && fDepth >= kMaxFolderDepth) {
				_Fail(kCatalogTooDeep);
				return 0;
			}
			if (kind == kFolderItemKind)
				fDepth++;
			if (kind != 0)
				return kind;
		}
		// Anything else, unknown item groups included, is skipped whole.
		if (fReader->SkipData(fFile, &header) != B_OK)
			break;
	}
	// The data ended, or holds a record that cannot be passed over: the
	// catalog is damaged, and every open folder ends with it.
	_Fail(kCatalogDamaged);
	return 0;
}


void
ArcCatalog::GetItemData(ArchiveItem** out, int32 kind)
{
	switch (kind) {
		case kFileItemKind: GetFileData(out); break;
		case kFolderItemKind: GetFolderData(out); break;
		case kPatchItemKind: GetPatchData(out); break;
		case kScriptItemKind: GetScriptData(out); break;
		case kLinkItemKind: GetLinkData(out); break;
		default: *out = NULL; break;
	}
}


// The texts are the item's own and belong to the item read before: each
// record starts without them, so an item never inherits its predecessor's
// name, type or link target.
void
ArcCatalog::GetFileData(ArchiveItem** out)
{
	fFileItem->Unset();
	fFileItem->AdoptName(NULL);
	fFileItem->AdoptMimeType(NULL);
	_ReadFields(fFileItem, kFileFields);
	*out = fFileItem;
}


void
ArcCatalog::GetPatchData(ArchiveItem** out)
{
	fPatchItem->Unset();
	fPatchItem->AdoptName(NULL);
	fPatchItem->AdoptMimeType(NULL);
	fPatchItem->fOldSize = 0;
	_ReadFields(fPatchItem, kPatchFields);
	*out = fPatchItem;
}


void
ArcCatalog::GetScriptData(ArchiveItem** out)
{
	fScriptItem->Unset();
	fScriptItem->AdoptName(NULL);
	fScriptItem->AdoptMimeType(NULL);
	_ReadFields(fScriptItem, kScriptFields);
	*out = fScriptItem;
}


void
ArcCatalog::GetLinkData(ArchiveItem** out)
{
	fLinkItem->Unset();
	fLinkItem->AdoptName(NULL);
	fLinkItem->AdoptLinkTarget(NULL);
	_ReadFields(fLinkItem, kLinkFields);
	*out = fLinkItem;
}


// Member records up to the item's end record; a record that cannot be read
// or passed over ends the walk.
void
ArcCatalog::_ReadFields(ArchiveItem* item, FieldSet fields)
{
	if (fFile == NULL || fStatus != B_OK)
		return;
	record_header header;
	while (fReader->ReadRecordHeader(fFile, &header) == B_OK) {
		if (header.type == kEndRecord)
			return;
		if (!_ReadField(item, fields, header)
			&& fReader->SkipData(fFile, &header) != B_OK)
			break;
		if (fStatus != B_OK)
			return;
	}
	_Fail(kCatalogDamaged);
}


static bool
field_belongs_to(int32 tag, int32 fields)
{
	switch (fields) {
		case 0: // folder
			return is_one_of(tag, { kNameField, kOffsetField, kDestField,
				kCustomField, kGroupsField, kReplaceField, kCreationTimeField,
				kModificationTimeField, kPlatformField });
		case 1: // file
			return is_one_of(tag, { kNameField, kOffsetField, kSizeField,
				kDestField, kCustomField, kGroupsField, kReplaceField,
				kCreationTimeField, kModificationTimeField, kPlatformField,
				kModeField, kMimeField, kVersionField });
		case 2: // link
			return is_one_of(tag, { kNameField, kOffsetField, kSizeField,
				kDestField, kCustomField, kGroupsField, kReplaceField,
				kCreationTimeField, kModificationTimeField, kPlatformField,
				kModeField, kLinkField });
		case 3: // script
			return is_one_of(tag, { kNameField, kOffsetField, kSizeField,
				kDestField, kCustomField, kGroupsField, kPlatformField });
		case 4: // patch
			return is_one_of(tag, { kNameField, kOffsetField, kSizeField,
				kOldSizeField, kDestField, kCustomField, kGroupsField,
				kCreationTimeField, kModificationTimeField, kModeField,
				kPlatformField });
	}
	return false;
}


// Stores one field record; false when the record is not read here (not a
// field of this kind, or not of the field's record type) and is to be
// skipped.
bool
ArcCatalog::_ReadField(ArchiveItem* item, FieldSet fields,
	const record_header& header)
{
	static_assert(kFolderFields == 0 && kFileFields == 1 && kLinkFields == 2
		&& kScriptFields == 3 && kPatchFields == 4);
	if (!field_belongs_to(header.tag, fields))
		return false;

	char* text = NULL;
	switch (header.tag) {
		case kNameField:
			// A name too long to keep whole keeps its start: the engine
			// refuses it as no name a file system takes, and its alert can
			// still tell which item it was.
			if (!_ReadText(header, &text, true))
				return false;
			item->AdoptName(text);
			return true;
		case kMimeField:
			if (!_ReadText(header, &text))
				return false;
			static_cast<ArchiveFileItem*>(item)->AdoptMimeType(text);
			return true;
		case kLinkField:
			if (!_ReadText(header, &text))
				return false;
			static_cast<ArchiveLinkItem*>(item)->AdoptLinkTarget(text);
			return true;
		case kVersionField:
			return _ReadVersion(header, item->fVersion);
	}

	int64 value = 0;
	if (!_ReadNumber(header, &value))
		return false;
	switch (header.tag) {
		case kOffsetField: item->fOffset = value; break;
		case kSizeField: item->fSize = value; break;
		case kDestField: item->fDestIndex = (int32)value; break;
		case kCustomField: item->fCustom = value != 0; break;
		case kGroupsField: item->fGroups = (uint32)value; break;
		case kReplaceField: item->fReplaceOption = (int32)value; break;
		case kCreationTimeField: item->fCreationTime = (int32)value; break;
		case kModificationTimeField: item->fModificationTime = (int32)value; break;
		case kPlatformField: item->fPlatform = (int32)value; break;
		case kModeField: item->fMode = (int32)value; break;
		case kOldSizeField:
			static_cast<ArchivePatchItem*>(item)->fOldSize = value;
			break;
	}
	return true;
}


// A number record of either width. A failed read leaves the value at 0 and
// ends the walk.
bool
ArcCatalog::_ReadNumber(const record_header& header, int64* value)
{
	if (header.type != kNumberRecord)
		return false;
	status_t status = B_OK;
	if (header.count == 1) {
		int32 value32 = 0;
		status = fReader->ReadInt32(fFile, &value32);
		*value = value32;
	} else if (header.count == 2) {
		*value = 0;
		status = fReader->ReadInt64(fFile, value);
	} else
		return false;
	if (status != B_OK)
		_Fail(kCatalogDamaged);
	return true;
}


// A string record into a new text; a text too long to keep is skipped and
// leaves the field as it was (null), or with keepPrefix keeps its start.
bool
ArcCatalog::_ReadText(const record_header& header, char** text, bool keepPrefix)
{
	if (header.type != kStringRecord)
		return false;
	*text = NULL;
	if (fReader->ReadString(fFile, text, kMaxFieldText, keepPrefix) != B_OK)
		*text = NULL;
	return true;
}


// The five version numbers, big-endian in the package. A buffer of another
// length leaves the version at 0.0.0.
bool
ArcCatalog::_ReadVersion(const record_header& header, int32 version[5])
{
	if (header.type != kBufferRecord)
		return false;
	char buffer[kVersionInfoSize];
	uint32 length = 0;
	if (fReader->ReadBuf(fFile, buffer, sizeof(buffer), &length) != B_OK
		|| length != kVersionInfoSize)
		return true;
	for (int32 index = 0; index < 5; index++)
		version[index] = (int32)read_bendian_uint32(buffer + 4 * index);
	return true;
}
