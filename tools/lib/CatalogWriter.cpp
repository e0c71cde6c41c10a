#include "CatalogWriter.h"

#include "ArcCatalog.h"
#include "ArchiveItem.h"
#include "PackData.h"

#include <ByteOrder.h>

namespace {

int32
tag_for_kind(int32 kind)
{
	switch (kind) {
		case kFileItemKind: return kFileItemTag;
		case kFolderItemKind: return kFolderItemTag;
		case kPatchItemKind: return kPatchItemTag;
		case kScriptItemKind: return kScriptItemTag;
		case kLinkItemKind: return kLinkItemTag;
	}
	return 0;
}

// Writes records one after another and keeps the first failure.
class RecordSink {
public:
	RecordSink(BPositionIO* output, PackData* writer)
		:
		fOutput(output),
		fWriter(writer),
		fStatus(B_OK)
	{
	}

	void Int32(int32 tag, int32 value)
	{
		if (fStatus == B_OK)
			fStatus = fWriter->WriteInt32(fOutput, value, tag);
	}

	void Int64(int32 tag, int64 value)
	{
		if (fStatus == B_OK)
			fStatus = fWriter->WriteInt64(fOutput, value, tag);
	}

	void String(int32 tag, const std::string& text)
	{
		if (fStatus == B_OK)
			fStatus = fWriter->WriteString(fOutput, text.c_str(), tag);
	}

	void Buffer(int32 tag, const void* data, uint32 length)
	{
		if (fStatus == B_OK)
			fStatus = fWriter->WriteBuf(fOutput, data, length, tag);
	}

	status_t Status() const { return fStatus; }

private:
	BPositionIO* fOutput;
	PackData* fWriter;
	status_t fStatus;
};

} // namespace


CatalogWriter::CatalogWriter()
	:
	fTop(kFolderItemKind)
{
}


CatalogWriter::~CatalogWriter()
{
}


status_t
CatalogWriter::WriteTo(BPositionIO* output, PackData* writer) const
{
	return _WriteEntry(output, writer, fTop);
}


status_t
CatalogWriter::_WriteEntry(BPositionIO* output, PackData* writer,
	const CatalogEntry& entry) const
{
	int32 tag = tag_for_kind(entry.fKind);
	if (tag == 0)
		return B_BAD_VALUE;
	status_t status = writer->WriteRecordHeader(output, tag, kGroupRecord, 0);
	if (status != B_OK)
		return status;

	if (entry.IsFolder()) {
		status = writer->WriteRecordHeader(output, kFolderDataTag,
			kGroupRecord, 0);
		if (status == B_OK)
			status = _WriteFields(output, writer, entry);
		if (status == B_OK)
			status = writer->WriteEndHeader(output);
		for (int32 index = 0; status == B_OK && index < entry.CountChildren();
				index++)
			status = _WriteEntry(output, writer, *entry.ChildAt(index));
	} else
		status = _WriteFields(output, writer, entry);

	if (status == B_OK)
		status = writer->WriteEndHeader(output);
	return status;
}


// The field records of an item, in the order its kind reads them.
status_t
CatalogWriter::_WriteFields(BPositionIO* output, PackData* writer,
	const CatalogEntry& entry) const
{
	RecordSink sink(output, writer);
	int32 kind = entry.fKind;
	bool isFolder = kind == kFolderItemKind;
	bool isScript = kind == kScriptItemKind;
	bool isPatch = kind == kPatchItemKind;

	sink.String(kNameField, entry.fName);
	sink.Int64(kOffsetField, entry.fOffset);
	if (!isFolder)
		sink.Int64(kSizeField, entry.fSize);
	if (isPatch)
		sink.Int64(kOldSizeField, entry.fOldSize);
	sink.Int32(kDestField, entry.fDestIndex);
	sink.Int32(kCustomField, entry.fCustom ? 1 : 0);
	sink.Int32(kGroupsField, (int32)entry.fGroups);
	if (isScript) {
		sink.Int32(kPlatformField, entry.fPlatform);
		return sink.Status();
	}
	if (!isPatch)
		sink.Int32(kReplaceField, entry.fReplaceOption);
	sink.Int32(kCreationTimeField, entry.fCreationTime);
	sink.Int32(kModificationTimeField, entry.fModificationTime);
	if (isPatch) {
		sink.Int32(kModeField, entry.fMode);
		sink.Int32(kPlatformField, entry.fPlatform);
		return sink.Status();
	}
	sink.Int32(kPlatformField, entry.fPlatform);
	if (isFolder)
		return sink.Status();

	sink.Int32(kModeField, entry.fMode);
	if (kind == kLinkItemKind) {
		sink.String(kLinkField, entry.fLinkTarget);
		return sink.Status();
	}
	if (!entry.fMimeType.empty())
		sink.String(kMimeField, entry.fMimeType);
	uint8 version[kVersionInfoSize];
	for (int32 index = 0; index < 5; index++)
		write_bendian_uint32(version + 4 * index, (uint32)entry.fVersion[index]);
	sink.Buffer(kVersionField, version, sizeof(version));
	return sink.Status();
}
