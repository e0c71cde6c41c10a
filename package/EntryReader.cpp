#include "EntryReader.h"

#include "PackData.h"
#include "PCodec.h"
#include "SPackData.h"
#include "ZlCodec.h"

#include <ByteOrder.h>
#include <TypeConstants.h>

#include <algorithm>
#include <cstring>

namespace {

int64
read_big64(const uint8* bytes)
{
	uint64 value;
	memcpy(&value, bytes, sizeof(value));
	return static_cast<int64>(B_BENDIAN_TO_HOST_INT64(value));
}

int32
read_big32(const uint8* bytes)
{
	uint32 value;
	memcpy(&value, bytes, sizeof(value));
	return static_cast<int32>(B_BENDIAN_TO_HOST_INT32(value));
}

// The most a bin inflated in one call may decode to.
const int64 kMaxWholeBinSize = 1024 * 1024;

// Reads exactly `size` bytes: B_OK, the read's error, or B_ERROR when the
// stream ends first.
status_t
read_exactly(BPositionIO* source, void* buffer, size_t size)
{
	ssize_t got = source->Read(buffer, size);
	if (got < 0)
		return static_cast<status_t>(got);
	return got == (ssize_t)size ? B_OK : B_ERROR;
}

} // namespace

// Where the codec's writes of one chunk go: kept whole, with the end of each
// write, until the reader has given them out.
class EntryReader::ChunkSink : public BPositionIO {
public:
	explicit ChunkSink(EntryReader* reader) : fReader(reader) {}

	ssize_t Write(const void* buffer, size_t size) override
	{
		if (size == 0)
			return 0;
		const uint8* bytes = static_cast<const uint8*>(buffer);
		fReader->fOutput.insert(fReader->fOutput.end(), bytes, bytes + size);
		fReader->fWriteEnds.push_back(fReader->fOutput.size());
		return (ssize_t)size;
	}

	ssize_t WriteAt(off_t, const void* buffer, size_t size) override
	{
		return Write(buffer, size);
	}

	ssize_t ReadAt(off_t, void*, size_t) override { return B_NOT_ALLOWED; }
	off_t Seek(off_t, uint32) override { return B_NOT_ALLOWED; }
	off_t Position() const override { return (off_t)fReader->fOutput.size(); }

private:
	EntryReader* fReader;
};

EntryReader::EntryReader(PackData* records)
	:
	fRecords(records),
	fSource(NULL),
	fState(kIdle),
	fType(B_RAW_TYPE),
	fBinStart(-1),
	fBinEnd(entry_step::kMainForkEnd),
	fAfterBin(kIdle),
	fReportChunks(false),
	fToEnd(false),
	fStoredLeft(0),
	fLastChunk(false),
	fChunkEndDue(false),
	fChunkError(B_OK),
	fChunkConsumed(0),
	fWritesGiven(0)
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

// Reads the bin's preamble. A stored size of -1 means the data run to the
// end of the input; a bin of another codec is passed over whole (the stream
// stays usable) and fails with B_BAD_DATA.
status_t
EntryReader::_BeginBin(entry_step::kind end, state after)
{
	uint8 preamble[kBinPreambleSize];
	status_t status = read_exactly(fSource, preamble, sizeof(preamble));
	if (status != B_OK)
		return B_ERROR;
	int64 storedSize = read_big64(preamble);
	int64 originalSize = read_big64(preamble + 8);
	int32 codecID = read_big32(preamble + 16);
	PCodec* codec = fRecords->CurrentCodec();

	fBinEnd = end;
	fAfterBin = after;
	fReportChunks = end == entry_step::kMainForkEnd;
	fToEnd = storedSize == -1;
	fBin = bin_summary();
	fBin.storedSize = storedSize;
	fBin.originalSize = originalSize;
	fOutput.clear();
	fWriteEnds.clear();
	fWritesGiven = 0;
	fChunkError = B_OK;
	fChunkEndDue = false;
	fLastChunk = false;

	if (storedSize < 0 && !fToEnd)
		return B_BAD_DATA;
	if (codecID != codec->ID()) {
		if (!fToEnd)
			fSource->Seek(storedSize, SEEK_CUR);
		else
			fSource->Seek(0, SEEK_END);
		return B_BAD_DATA;
	}
	fState = kInBin;
	if (_InflateWhole(storedSize, originalSize))
		return B_OK;
	fStoredLeft = fToEnd ? INT64_MAX : storedSize;
	status = codec->BeginDecode();
	return status < 0 ? status : B_OK;
}

// A bin whose stored data fit one chunk is read and inflated in one call,
// and given out as the codec would have made it: writes of its buffer's
// size, then the one chunk's end. Anything the fast way cannot take
// (damaged data included) goes back to the start of the data for the
// codec, which fails, or not, exactly as it always does.
bool
EntryReader::_InflateWhole(int64 storedSize, int64 originalSize)
{
	if (fRecords->CurrentCodec()->ID() != kZlibCodecID || storedSize <= 0
		|| storedSize > PackData::kBufferSize || originalSize < 0
		|| originalSize > kMaxWholeBinSize)
		return false;
	off_t start = fSource->Position();
	fStored.resize((size_t)storedSize);
	if (start < 0 || read_exactly(fSource, fStored.data(), fStored.size()) != B_OK
		|| !fInflater.Inflate(fStored.data(), fStored.size(), (size_t)originalSize,
			&fOutput)) {
		fOutput.clear();
		fSource->Seek(start, SEEK_SET);
		return false;
	}
	for (size_t end = 0; end < fOutput.size();) {
		end = std::min(fOutput.size(), end + (size_t)ZlCodec::kOutputBufferSize);
		fWriteEnds.push_back(end);
	}
	fChunkConsumed = (uint32)storedSize;
	fChunkEndDue = true;
	fLastChunk = true;
	fStoredLeft = 0;
	return true;
}

status_t
EntryReader::_NextOfBin(entry_step* step)
{
	for (;;) {
		if (fWritesGiven < fWriteEnds.size()) {
			_GiveData(step);
			return B_OK;
		}
		if (fChunkError != B_OK)
			return _Fail(fChunkError);
		if (fChunkEndDue) {
			fChunkEndDue = false;
			fBin.decodedSize += fOutput.size();
			if (fReportChunks) {
				step->what = entry_step::kChunkEnd;
				step->consumed = fChunkConsumed;
				step->produced = (uint32)fOutput.size();
				return B_OK;
			}
			continue;
		}
		if (fLastChunk) {
			fRecords->CurrentCodec()->EndDecode();
			fState = fAfterBin;
			step->what = fBinEnd;
			return B_OK;
		}
		status_t status = _DecodeChunk();
		if (status != B_OK)
			return _Fail(status);
	}
}

// Decodes the next stored chunk of the bin into the held writes.
status_t
EntryReader::_DecodeChunk()
{
	fOutput.clear();
	fWriteEnds.clear();
	fWritesGiven = 0;
	int32 chunk = (int32)std::min<int64>(fStoredLeft, PackData::kBufferSize);
	fStored.resize(chunk);
	ssize_t got = fSource->Read(fStored.data(), chunk);
	if (got < 0)
		return static_cast<status_t>(got);
	bool last = !fToEnd && chunk == fStoredLeft;
	if (got < chunk) {
		// Short of the stored size, the package ends inside the bin.
		if (!fToEnd)
			return B_ERROR;
		last = true;
	}
	fStoredLeft -= got;

	int32 consumed = static_cast<int32>(got);
	ChunkSink sink(this);
	int32 produced = fRecords->CurrentCodec()->DecodeBytes(&sink, &consumed,
		fStored.data(), last);
	fBin.trailingBytes += got - consumed;
	// What was written before a failure is given out first, as a codec
	// writing straight to the node would have written it.
	if (produced < 0)
		fChunkError = produced;
	else
		fChunkEndDue = true;
	fChunkConsumed = (uint32)consumed;
	fLastChunk = last;
	return B_OK;
}

void
EntryReader::_GiveData(entry_step* step)
{
	size_t start = fWritesGiven == 0 ? 0 : fWriteEnds[fWritesGiven - 1];
	size_t end = fWriteEnds[fWritesGiven++];
	step->what = entry_step::kData;
	step->data = fOutput.data() + start;
	step->size = end - start;
}

// A failing bin still ends the codec's stream, so the next bin starts
// clean.
status_t
EntryReader::_Fail(status_t status)
{
	if (fState == kInBin)
		fRecords->CurrentCodec()->EndDecode();
	fState = kIdle;
	return status;
}
