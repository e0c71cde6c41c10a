#include "EntryReader.h"

#include "PackData.h"

#include <TypeConstants.h>

EntryReader::EntryReader(PackData* records)
	:
	fRecords(records),
	fSource(NULL),
	fState(kIdle),
	fType(B_RAW_TYPE),
	fBin(records),
	fContentsCheckLimit(BinReader::kCheckNothingLeft),
	fBinStart(-1),
	fBinEnd(entry_step::kMainForkEnd),
	fAfterBin(kIdle)
{
	fName[0] = '\0';
}

status_t
EntryReader::Begin(BPositionIO* src)
{
	fSource = src;
	fState = kIdle;
	record_header header;
	status_t status = fRecords->ReadRecordHeader(src, &header);
	if (status != B_OK)
		return status;
	if (header.type != kGroupRecord || !is_entry_tag(header.tag))
		return B_ERROR;
	fState = kMembers;
	return B_OK;
}

status_t
EntryReader::BeginAtMainFork(BPositionIO* src, off_t position)
{
	fSource = src;
	fState = kIdle;
	if (src->Seek(position, SEEK_SET) != position)
		return B_ERROR;
	fBinStart = position;
	fState = kMainForkAhead;
	return B_OK;
}

status_t
EntryReader::Next(entry_step* step)
{
	*step = entry_step();
	for (;;) {
		bool done = false;
		status_t status = B_OK;
		switch (fState) {
			case kIdle:
				return B_ERROR;
			case kMembers:
				status = _NextMember(step, &done);
				break;
			case kMainForkAhead:
				status = _BeginBin(entry_step::kMainForkEnd, kMembers);
				break;
			case kAttributes:
				status = _NextAttributesMember();
				break;
			case kAttributeMembers:
				status = _NextAttributeMember(step, &done);
				break;
			case kInBin:
				return _NextOfBin(step);
		}
		if (status != B_OK)
			return _Fail(status);
		if (done)
			return B_OK;
	}
}

status_t
EntryReader::SkipMainFork()
{
	if (fState != kMainForkAhead)
		return B_ERROR;
	fState = kMembers;
	status_t status = fRecords->SkipBin(fSource);
	return status == B_OK ? B_OK : _Fail(status);
}

// The members serve files, folders and links alike: what is applied depends
// on the records present and on the node.
status_t
EntryReader::_NextMember(entry_step* step, bool* done)
{
	record_header header;
	status_t status = fRecords->ReadRecordHeader(fSource, &header);
	if (status != B_OK)
		return status;
	if (header.type == kEndRecord) {
		fState = kIdle;
		step->what = entry_step::kEnd;
		*done = true;
		return B_OK;
	}
	if (header.tag == kMainForkTag && header.type == kBinRecord) {
		fBinStart = fSource->Position();
		fState = kMainForkAhead;
		step->what = entry_step::kMainFork;
		*done = true;
		return B_OK;
	}
	if (header.tag == kAttributesTag && header.type == kGroupRecord) {
		fState = kAttributes;
		return B_OK;
	}
	return fRecords->SkipData(fSource, &header);
}

status_t
EntryReader::_NextAttributesMember()
{
	record_header header;
	status_t status = fRecords->ReadRecordHeader(fSource, &header);
	if (status != B_OK)
		return status;
	if (header.type == kEndRecord) {
		fState = kMembers;
		return B_OK;
	}
	if (header.tag == kAttributeTag && header.type == kGroupRecord) {
		fName[0] = '\0';
		fType = B_RAW_TYPE;
		fState = kAttributeMembers;
		return B_OK;
	}
	return fRecords->SkipData(fSource, &header);
}

status_t
EntryReader::_NextAttributeMember(entry_step* step, bool* done)
{
	record_header header;
	status_t status = fRecords->ReadRecordHeader(fSource, &header);
	if (status != B_OK)
		return status;
	if (header.type == kEndRecord) {
		fState = kAttributes;
		return B_OK;
	}
	if (header.tag == kAttrNameTag && header.type == kStringRecord)
		return fRecords->ReadString(fSource, fName, sizeof(fName));
	if (header.tag == kAttrTypeTag && is_number32(header)) {
		int32 value;
		status = fRecords->ReadInt32(fSource, &value);
		fType = static_cast<type_code>(value);
		return status;
	}
	if (header.tag == kAttrValue32Tag && is_number32(header)) {
		int32 ignored;
		return fRecords->ReadInt32(fSource, &ignored);
	}
	if (header.tag == kAttrDataTag && header.type == kBinRecord) {
		// Name and type precede the data; data without a name has nowhere
		// to go.
		if (fName[0] == '\0')
			return B_BAD_DATA;
		fBinStart = fSource->Position();
		status = _BeginBin(entry_step::kAttributeEnd, kAttributeMembers);
		if (status != B_OK)
			return status;
		step->what = entry_step::kAttribute;
		step->name = fName;
		step->type = fType;
		*done = true;
		return B_OK;
	}
	return fRecords->SkipData(fSource, &header);
}

status_t
EntryReader::_BeginBin(entry_step::kind end, state after)
{
	status_t status = fBin.Begin(fSource, end == entry_step::kMainForkEnd
		? fContentsCheckLimit : BinReader::kCheckNothingLeft);
	if (status != B_OK)
		return status;
	fBinEnd = end;
	fAfterBin = after;
	fState = kInBin;
	return B_OK;
}

bool
EntryReader::TakeData(std::vector<uint8>* data)
{
	return fState == kInBin && fBin.TakeData(data);
}

// Only the main fork's chunks are told: they carry the progress of a
// file's contents.
status_t
EntryReader::_NextOfBin(entry_step* step)
{
	for (;;) {
		bin_step part;
		status_t status = fBin.Next(&part);
		if (status != B_OK)
			return _Fail(status);
		switch (part.what) {
			case bin_step::kData:
				step->what = entry_step::kData;
				step->data = part.data;
				step->size = part.size;
				step->checkLeft = part.checkLeft;
				step->checkDue = part.checkDue;
				step->storedCheck = part.storedCheck;
				return B_OK;
			case bin_step::kChunkEnd:
				if (fBinEnd != entry_step::kMainForkEnd)
					continue;
				step->what = entry_step::kChunkEnd;
				step->consumed = part.consumed;
				step->produced = part.produced;
				step->checkDue = part.checkDue;
				step->storedCheck = part.storedCheck;
				return B_OK;
			case bin_step::kEnd:
				fState = fAfterBin;
				step->what = fBinEnd;
				return B_OK;
		}
	}
}

// A failing bin still ends the codec's stream, so the next bin starts
// clean.
status_t
EntryReader::_Fail(status_t status)
{
	fBin.Abandon();
	fState = kIdle;
	return status;
}
