#include "BinReader.h"

#include "PackData.h"
#include "PCodec.h"

#include <ByteOrder.h>

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

// Decoded bytes are given out in pieces of at most this size: the codec's
// small writes of a chunk go to the node as one, which spares system calls.
const size_t kMaxDataStep = 64 * 1024;

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

// Where the codec's writes of one chunk go: kept whole until the reader has
// given them out.
class BinReader::ChunkSink : public BPositionIO {
public:
	explicit ChunkSink(std::vector<uint8>* output) : fOutput(output) {}

	ssize_t Write(const void* buffer, size_t size) override
	{
		const uint8* bytes = static_cast<const uint8*>(buffer);
		fOutput->insert(fOutput->end(), bytes, bytes + size);
		return (ssize_t)size;
	}

	ssize_t WriteAt(off_t, const void* buffer, size_t size) override
	{
		return Write(buffer, size);
	}

	ssize_t ReadAt(off_t, void*, size_t) override { return B_NOT_ALLOWED; }
	off_t Seek(off_t, uint32) override { return B_NOT_ALLOWED; }
	off_t Position() const override { return (off_t)fOutput->size(); }

private:
	std::vector<uint8>* fOutput;
};

BinReader::BinReader(PackData* records)
	:
	fRecords(records),
	fSource(NULL),
	fDecoding(false),
	fToEnd(false),
	fStoredLeft(0),
	fLastChunk(false),
	fChunkEndDue(false),
	fEnded(true),
	fChunkError(B_OK),
	fChunkConsumed(0),
	fChunkProduced(0),
	fCheckLeft(false),
	fCheckDue(false),
	fUnchecked(0),
	fTail(),
	fGiven(0),
	fStepStart(0)
{
}

// A stored size of -1 means the data run to the end of the input.
status_t
BinReader::Begin(BPositionIO* src, int64 leaveCheckAbove)
{
	Abandon();
	fSource = src;
	fSummary = bin_summary();
	fOutput.clear();
	fGiven = 0;
	fStepStart = 0;
	fChunkError = B_OK;
	fChunkEndDue = false;
	fLastChunk = false;
	fEnded = true;
	fCheckLeft = false;
	fCheckDue = false;
	fUnchecked = 0;
	memset(fTail, 0, sizeof(fTail));

	uint8 preamble[kBinPreambleSize];
	if (read_exactly(src, preamble, sizeof(preamble)) != B_OK)
		return B_ERROR;
	fSummary.storedSize = read_big64(preamble);
	fSummary.originalSize = read_big64(preamble + 8);
	int32 codecID = read_big32(preamble + 16);
	fToEnd = fSummary.storedSize == -1;
	if (fSummary.storedSize < 0 && !fToEnd)
		return B_BAD_DATA;
	PCodec* codec = fRecords->CurrentCodec();
	if (codecID != codec->ID()) {
		// Not ours to decode: passed over whole.
		if (fToEnd)
			src->Seek(0, SEEK_END);
		else
			src->Seek(fSummary.storedSize, SEEK_CUR);
		return B_BAD_DATA;
	}
	fEnded = false;
	if (_InflateWhole())
		return B_OK;
	fStoredLeft = fToEnd ? INT64_MAX : fSummary.storedSize;
	status_t status = codec->BeginDecode();
	if (status < 0)
		return _Fail(status);
	fDecoding = true;
	fCheckLeft = fSummary.originalSize > leaveCheckAbove && codec->LeaveCheck();
	return B_OK;
}

// A bin whose stored data fit one chunk is read and inflated in one call,
// and given out as the codec would have made it: its bytes, then the one
// chunk's end. Anything the fast way cannot take (damaged data included)
// goes back to the start of the data for the codec, which fails, or not,
// exactly as it always does.
bool
BinReader::_InflateWhole()
{
	int64 storedSize = fSummary.storedSize;
	int64 originalSize = fSummary.originalSize;
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
	fChunkConsumed = (uint32)storedSize;
	fChunkProduced = (uint32)fOutput.size();
	fChunkEndDue = true;
	fLastChunk = true;
	fStoredLeft = 0;
	return true;
}

status_t
BinReader::Next(bin_step* step)
{
	*step = bin_step();
	if (fEnded)
		return B_ERROR;
	for (;;) {
		if (fGiven < fOutput.size()) {
			// The unchecked bytes go out as a step of their own.
			size_t checkedEnd = fOutput.size() - fUnchecked;
			size_t end = fGiven < checkedEnd ? checkedEnd : fOutput.size();
			step->what = bin_step::kData;
			step->data = fOutput.data() + fGiven;
			step->size = std::min(end - fGiven, kMaxDataStep);
			step->checkLeft = fCheckLeft;
			fStepStart = fGiven;
			fGiven += step->size;
			fSummary.decodedSize += step->size;
			if (fCheckDue && fUnchecked > 0 && fGiven == fOutput.size())
				_HandOnCheck(step);
			return B_OK;
		}
		if (fChunkError != B_OK)
			return _Fail(fChunkError);
		if (fChunkEndDue) {
			fChunkEndDue = false;
			step->what = bin_step::kChunkEnd;
			step->consumed = fChunkConsumed;
			step->produced = fChunkProduced;
			if (fCheckDue)
				_HandOnCheck(step);
			return B_OK;
		}
		if (fLastChunk) {
			Abandon();
			fEnded = true;
			step->what = bin_step::kEnd;
			return B_OK;
		}
		status_t status = _DecodeChunk();
		if (status != B_OK)
			return _Fail(status);
	}
}

// Decodes the next stored chunk into the held bytes.
status_t
BinReader::_DecodeChunk()
{
	fOutput.clear();
	fGiven = 0;
	fStepStart = 0;
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
	ChunkSink sink(&fOutput);
	int32 produced = fRecords->CurrentCodec()->DecodeBytes(&sink, &consumed,
		fStored.data(), last);
	fSummary.trailingBytes += got - consumed;
	if (fCheckLeft) {
		_KeepTail(fStored.data(), (size_t)std::max<int32>(consumed, 0));
		fCheckDue = produced >= 0
			&& fRecords->CurrentCodec()->LeftCheckEnded(&fUnchecked);
		fUnchecked = fCheckDue ? std::min(fUnchecked, fOutput.size()) : 0;
	}
	// What was decoded before a failure is given out first, as a codec
	// writing straight to the node would have written it.
	if (produced < 0)
		fChunkError = produced;
	else
		fChunkEndDue = true;
	fChunkConsumed = (uint32)consumed;
	fChunkProduced = (uint32)fOutput.size();
	fLastChunk = last;
	return B_OK;
}

// Once the stream has ended the codec consumes nothing more, so the last
// four bytes it consumed are its stored check value.
void
BinReader::_KeepTail(const uint8* consumed, size_t count)
{
	// An empty chunk may come with no buffer at all.
	if (count == 0)
		return;
	if (count >= sizeof(fTail)) {
		memcpy(fTail, consumed + count - sizeof(fTail), sizeof(fTail));
		return;
	}
	memmove(fTail, fTail + count, sizeof(fTail) - count);
	memcpy(fTail + sizeof(fTail) - count, consumed, count);
}

void
BinReader::_HandOnCheck(bin_step* step)
{
	step->checkDue = true;
	step->storedCheck = (uint32)read_big32(fTail);
	fCheckLeft = false;
	fCheckDue = false;
	fUnchecked = 0;
}

bool
BinReader::TakeData(std::vector<uint8>* data)
{
	if (fOutput.empty() || fStepStart != 0 || fGiven != fOutput.size() || fGiven > kMaxDataStep
		|| fOutput.capacity() > kLargestHandedBuffer)
		return false;
	data->swap(fOutput);
	// The next chunk's bytes go into the buffer *data held, or one as
	// large as this chunk's, made at once.
	fOutput.clear();
	fOutput.reserve(data->capacity());
	fGiven = 0;
	fStepStart = 0;
	return true;
}

void
BinReader::Abandon()
{
	if (fDecoding)
		fRecords->CurrentCodec()->EndDecode();
	fDecoding = false;
}

status_t
BinReader::_Fail(status_t status)
{
	Abandon();
	fEnded = true;
	return status;
}
