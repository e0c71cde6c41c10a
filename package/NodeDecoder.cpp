#include "NodeDecoder.h"

#include "AlertSink.h"
#include "AlertSinkScope.h"
#include "BufferedFileIO.h"
#include "PackData.h"
#include "SPackData.h"
#include "ZlCodec.h"

#include <ByteOrder.h>
#include <OS.h>
#include <StorageDefs.h>
#include <TypeConstants.h>

#include <algorithm>
#include <cstring>
#include <utility>

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

// The decoder reads the package in large blocks: the small record headers
// between the bins cost no system call each.
const size_t kReadBlockSize = 256 * 1024;

// What an event costs besides its data: the queue's bookkeeping, so that
// many small events count too.
const size_t kEventOverhead = sizeof(decoded_event) + 32;

// Passed to _Push for an event that leaves the walk where it is.
const off_t kKeepWalkEntry = -2;

decoded_event
Event(decoded_event::kind what, off_t entry)
{
	decoded_event event;
	event.what = what;
	event.entry = entry;
	return event;
}

} // namespace

size_t
decoded_event::Footprint() const
{
	return kEventOverhead + data.size() + name.size() + alert.size();
}

// The decoder thread's alerts (the codec's, for damaged data), noted instead
// of shown: the failure goes into the queue with the text, and the worker
// shows it when it gets there. Used by the decoder thread alone.
class NodeDecoder::NotedAlert : public AlertSink {
public:
	int32 Alert(const char* text, const char*, const char*, const char*) override
	{
		fText = text;
		return 0;
	}

	// The text noted since the last call, and a fresh start.
	std::string Take()
	{
		std::string text = std::move(fText);
		fText.clear();
		return text;
	}

private:
	std::string fText;
};

// The codec's output stream while the decoder inflates a bin: every write
// the codec makes becomes one data event, so the worker repeats the very
// same writes on the node.
class NodeDecoder::Sink : public BPositionIO {
public:
	Sink(NodeDecoder* decoder, off_t entry, uint64 generation)
		:
		fDecoder(decoder),
		fEntry(entry),
		fGeneration(generation),
		fPosition(0)
	{
	}

	ssize_t Write(const void* buffer, size_t size) override
	{
		if (size == 0)
			return 0;
		decoded_event event = Event(decoded_event::kData, fEntry);
		const uint8* bytes = static_cast<const uint8*>(buffer);
		event.data.assign(bytes, bytes + size);
		// A stale walk stops the codec here; nobody waits for its result.
		if (!fDecoder->_Push(std::move(event), fGeneration))
			return B_INTERRUPTED;
		fPosition += size;
		return (ssize_t)size;
	}

	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override
	{
		if (position != fPosition)
			return B_NOT_ALLOWED;
		return Write(buffer, size);
	}

	ssize_t ReadAt(off_t, void*, size_t) override { return B_NOT_ALLOWED; }
	off_t Seek(off_t, uint32) override { return B_NOT_ALLOWED; }
	off_t Position() const override { return fPosition; }

private:
	NodeDecoder* fDecoder;
	off_t fEntry;
	uint64 fGeneration;
	off_t fPosition;
};

NodeDecoder::NodeDecoder(const BFile& package, size_t memoryLimit)
	:
	fMemoryLimit(memoryLimit),
	fSource(new BufferedFileIO(new BFile(package), kReadBlockSize)),
	fReader(new PackData),
	fCodec(new ZlCodec),
	fNotedAlert(new NotedAlert),
	fBinEntry(0),
	fBinGeneration(0),
	fStale(false),
	fQueuedBytes(0),
	fPeakQueuedBytes(0),
	fGeneration(0),
	fStart(-1),
	fWalkEntry(-1),
	fWorkerWaiting(false),
	fDecoderWaiting(false),
	fQuit(false)
{
	fReader->SetCurrentCodec(fCodec);
	fReader->SetCallbackData(this);
	fThread = std::thread(&NodeDecoder::_Run, this);
}

NodeDecoder::~NodeDecoder()
{
	{
		std::lock_guard<std::mutex> guard(fLock);
		fQuit = true;
	}
	fDecoderWait.notify_one();
	fWorkerWait.notify_one();
	fThread.join();
	delete fReader;
	delete fCodec;
	delete fSource;
	delete fNotedAlert;
}

status_t
NodeDecoder::InitCheck() const
{
	return fSource->InitCheck();
}

// #pragma mark - worker side

void
NodeDecoder::Request(off_t position)
{
	std::unique_lock<std::mutex> lock(fLock);
	// Entries decoded for items that were passed over.
	while (!fQueue.empty() && fQueue.front().entry < position)
		_PopFront();
	bool ahead = fQueue.empty() ? fWalkEntry == position : fQueue.front().entry == position;
	if (!ahead)
		_Restart(position);
	if (fDecoderWaiting)
		fDecoderWait.notify_one();
}

void
NodeDecoder::Next(decoded_event* event)
{
	std::unique_lock<std::mutex> lock(fLock);
	while (fQueue.empty() && !fQuit) {
		fWorkerWaiting = true;
		fWorkerWait.wait(lock);
		fWorkerWaiting = false;
	}
	if (fQueue.empty()) {
		*event = Event(decoded_event::kError, fWalkEntry);
		event->status = B_CANCELED;
		return;
	}
	// Counted before the move empties it.
	size_t size = fQueue.front().Footprint();
	*event = std::move(fQueue.front());
	fQueue.pop_front();
	fQueuedEvents.store(fQueue.size(), std::memory_order_relaxed);
	fQueuedBytes -= size;
	// Room again: wake the decoder once half the queue is free rather than
	// at every event, so the two threads do not take turns event by event.
	if (fDecoderWaiting && fQueuedBytes <= fMemoryLimit / 2)
		fDecoderWait.notify_one();
}

void
NodeDecoder::Reset()
{
	std::lock_guard<std::mutex> guard(fLock);
	fGeneration++;
	fStart = -1;
	fWalkEntry = -1;
	_DropQueue();
	fDecoderWait.notify_one();
}

size_t
NodeDecoder::PeakQueuedBytes() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fPeakQueuedBytes;
}

// Called with the lock held.
void
NodeDecoder::_PopFront()
{
	fQueuedBytes -= fQueue.front().Footprint();
	fQueue.pop_front();
	fQueuedEvents.store(fQueue.size(), std::memory_order_relaxed);
}

// Called with the lock held.
void
NodeDecoder::_DropQueue()
{
	fQueue.clear();
	fQueuedEvents.store(0, std::memory_order_relaxed);
	fQueuedBytes = 0;
}

// Called with the lock held: the walk in progress becomes stale and a new
// one begins at position.
void
NodeDecoder::_Restart(off_t position)
{
	fGeneration++;
	fStart = position;
	fWalkEntry = position;
	_DropQueue();
	fDecoderWait.notify_one();
}

// #pragma mark - decoder side

void
NodeDecoder::_Run()
{
	AlertSinkScope noted(fNotedAlert);
	uint64 handled = 0;
	for (;;) {
		off_t start;
		uint64 generation;
		{
			std::unique_lock<std::mutex> lock(fLock);
			while (!fQuit && (fGeneration == handled || fStart < 0))
				fDecoderWait.wait(lock);
			if (fQuit)
				return;
			handled = generation = fGeneration;
			start = fStart;
		}
		_Walk(start, generation);
	}
}

// Decodes entry after entry from position until one fails, the position
// holds no entry, or the walk goes stale.
void
NodeDecoder::_Walk(off_t position, uint64 generation)
{
	fStale = false;
	while (_DecodeEntry(position, generation) == B_OK)
		position = fSource->Position();
}

bool
NodeDecoder::_Push(decoded_event&& event, uint64 generation, off_t walkEntry)
{
	size_t size = event.Footprint();
	std::unique_lock<std::mutex> lock(fLock);
	while (!fQuit && generation == fGeneration && !fQueue.empty()
		&& fQueuedBytes + size > fMemoryLimit) {
		// A full queue is for the worker to empty, asleep or not.
		if (fWorkerWaiting)
			fWorkerWait.notify_one();
		fDecoderWaiting = true;
		fDecoderWait.wait(lock);
		fDecoderWaiting = false;
	}
	if (fQuit || generation != fGeneration) {
		fStale = true;
		return false;
	}
	bool completes = event.what == decoded_event::kEntryEnd
		|| event.what == decoded_event::kError || event.what == decoded_event::kNotEntry;
	fQueue.push_back(std::move(event));
	fQueuedEvents.store(fQueue.size(), std::memory_order_relaxed);
	fQueuedBytes += size;
	if (fQueuedBytes > fPeakQueuedBytes)
		fPeakQueuedBytes = fQueuedBytes;
	// Set with the event, so that a worker that has just taken it and asks
	// for what follows finds the walk already there.
	if (walkEntry != kKeepWalkEntry)
		fWalkEntry = walkEntry;
	// A sleeping worker is woken for a whole entry or a good share of one,
	// not for every write: each wake-up costs as much as a small file.
	if (fWorkerWaiting && (completes || fQueuedBytes >= kWakeBytes))
		fWorkerWait.notify_one();
	return true;
}

// The entry fails here; the walk stops, as the position of the next entry
// is unknown. The alert the codec noted for this failure goes with it.
bool
NodeDecoder::_PushError(off_t entry, status_t status, uint64 generation)
{
	decoded_event event = Event(decoded_event::kError, entry);
	event.status = status;
	event.alert = fNotedAlert->Take();
	return _Push(std::move(event), generation, -1);
}

// Mirrors SPackData::ExtractNode step by step, queueing what it would
// apply. B_OK when the entry was complete and the walk goes on.
status_t
NodeDecoder::_DecodeEntry(off_t position, uint64 generation)
{
	fNotedAlert->Take();
	record_header header;
	if (fSource->Seek(position, SEEK_SET) != position
		|| fReader->ReadRecordHeader(fSource, &header) != B_OK
		|| header.type != kGroupRecord || !is_entry_tag(header.tag)) {
		_Push(Event(decoded_event::kNotEntry, position), generation, -1);
		return B_ERROR;
	}
	if (!_Push(Event(decoded_event::kEntryBegin, position), generation))
		return B_INTERRUPTED;

	status_t status = _DecodeEntryMembers(position, generation);
	if (status != B_OK) {
		if (!fStale)
			_PushError(position, status, generation);
		return status;
	}
	off_t next = fSource->Position();
	if (!_Push(Event(decoded_event::kEntryEnd, position), generation, next))
		return B_INTERRUPTED;
	return B_OK;
}

status_t
NodeDecoder::_DecodeEntryMembers(off_t entry, uint64 generation)
{
	for (;;) {
		record_header header;
		status_t status = fReader->ReadRecordHeader(fSource, &header);
		if (status != B_OK)
			return status;
		if (header.type == kEndRecord)
			return B_OK;
		if (header.tag == kMainForkTag && header.type == kBinRecord) {
			// Decoded whatever the node turns out to be: the worker skips
			// it for a node that is no file, from `resume` on.
			decoded_event begin = Event(decoded_event::kMainForkBegin, entry);
			begin.resume = fSource->Position();
			if (!_Push(std::move(begin), generation))
				return B_INTERRUPTED;
			status = _DecodeBin(decoded_event::kMainForkEnd, entry, generation, true);
		} else if (header.tag == kAttributesTag && header.type == kGroupRecord) {
			status = _DecodeAttributes(entry, generation);
		} else {
			status = fReader->SkipData(fSource, &header);
		}
		if (status != B_OK)
			return status;
	}
}

status_t
NodeDecoder::_DecodeAttributes(off_t entry, uint64 generation)
{
	for (;;) {
		record_header header;
		status_t status = fReader->ReadRecordHeader(fSource, &header);
		if (status != B_OK)
			return status;
		if (header.type == kEndRecord)
			return B_OK;
		if (header.tag == kAttributeTag && header.type == kGroupRecord)
			status = _DecodeAttribute(entry, generation);
		else
			status = fReader->SkipData(fSource, &header);
		if (status != B_OK)
			return status;
	}
}

status_t
NodeDecoder::_DecodeAttribute(off_t entry, uint64 generation)
{
	char name[B_FILE_NAME_LENGTH] = "";
	type_code type = B_RAW_TYPE;
	for (;;) {
		record_header header;
		status_t status = fReader->ReadRecordHeader(fSource, &header);
		if (status != B_OK)
			return status;
		if (header.type == kEndRecord)
			return B_OK;
		if (header.tag == kAttrNameTag && header.type == kStringRecord) {
			status = fReader->ReadString(fSource, name, sizeof(name));
		} else if (header.tag == kAttrTypeTag && is_number32(header)) {
			int32 value;
			status = fReader->ReadInt32(fSource, &value);
			type = static_cast<type_code>(value);
		} else if (header.tag == kAttrValue32Tag && is_number32(header)) {
			int32 ignored;
			status = fReader->ReadInt32(fSource, &ignored);
		} else if (header.tag == kAttrDataTag && header.type == kBinRecord) {
			// Data without a name has nowhere to go.
			if (name[0] == '\0')
				return B_BAD_DATA;
			decoded_event begin = Event(decoded_event::kAttributeBegin, entry);
			begin.name = name;
			begin.type = type;
			if (!_Push(std::move(begin), generation))
				return B_INTERRUPTED;
			status = _DecodeBin(decoded_event::kAttributeEnd, entry, generation, false);
		} else {
			status = fReader->SkipData(fSource, &header);
		}
		if (status != B_OK)
			return status;
	}
}

// Inflates the bin at the current position into data events; the main
// fork's also marks where each stored chunk ends.
status_t
NodeDecoder::_DecodeBin(decoded_event::kind end, off_t entry, uint64 generation,
	bool reportChunks)
{
	switch (_InflateWholeBin(entry, generation, reportChunks)) {
		case kWholeBinDone:
			return _Push(Event(end, entry), generation) ? B_OK : B_INTERRUPTED;
		case kWholeBinStale:
			return B_INTERRUPTED;
		case kWholeBinLeftToCodec:
			break;
	}
	Sink sink(this, entry, generation);
	fBinEntry = entry;
	fBinGeneration = generation;
	status_t status = fReader->ReadBin(&sink, fSource, 0, reportChunks ? _ChunkDone : NULL);
	if (status != B_OK)
		return fStale ? B_INTERRUPTED : status;
	if (!_Push(Event(end, entry), generation))
		return B_INTERRUPTED;
	return B_OK;
}

// A bin whose stored data fit one chunk of the codec's reader is read and
// inflated in one call, and queued as the codec would have made it: writes
// of its buffer's size, then the one chunk's progress. Anything the fast way
// cannot take (damaged data included) goes back to the start of the bin for
// the codec, which fails, or not, exactly as it always does.
NodeDecoder::whole_bin_result
NodeDecoder::_InflateWholeBin(off_t entry, uint64 generation, bool reportChunks)
{
	off_t start = fSource->Position();
	uint8 preamble[kBinPreambleSize];
	if (start < 0 || fSource->Read(preamble, sizeof(preamble)) != (ssize_t)sizeof(preamble))
		return _LeaveToCodec(start);
	int64 storedSize = read_big64(preamble);
	int64 originalSize = read_big64(preamble + 8);
	int32 codecID = read_big32(preamble + 16);
	if (codecID != fCodec->ID() || storedSize <= 0 || storedSize > PackData::kBufferSize
		|| originalSize < 0 || originalSize > kMaxWholeBinSize)
		return _LeaveToCodec(start);
	fStored.resize((size_t)storedSize);
	if (fSource->Read(fStored.data(), fStored.size()) != (ssize_t)fStored.size()
		|| !fInflater.Inflate(fStored.data(), fStored.size(), (size_t)originalSize,
			&fInflated))
		return _LeaveToCodec(start);

	for (size_t done = 0; done < fInflated.size(); done += ZlCodec::kOutputBufferSize) {
		size_t size = std::min(fInflated.size() - done, (size_t)ZlCodec::kOutputBufferSize);
		decoded_event event = Event(decoded_event::kData, entry);
		event.data.assign(fInflated.begin() + done, fInflated.begin() + done + size);
		if (!_Push(std::move(event), generation))
			return kWholeBinStale;
	}
	if (reportChunks) {
		decoded_event event = Event(decoded_event::kChunkEnd, entry);
		event.consumed = (uint32)storedSize;
		event.produced = (uint32)fInflated.size();
		if (!_Push(std::move(event), generation))
			return kWholeBinStale;
	}
	return kWholeBinDone;
}

NodeDecoder::whole_bin_result
NodeDecoder::_LeaveToCodec(off_t binStart)
{
	if (binStart >= 0)
		fSource->Seek(binStart, SEEK_SET);
	return kWholeBinLeftToCodec;
}

int32
NodeDecoder::_ChunkDone(uint32 consumed, uint32 produced, void* data)
{
	NodeDecoder* decoder = static_cast<NodeDecoder*>(data);
	decoded_event event = Event(decoded_event::kChunkEnd, decoder->fBinEntry);
	event.consumed = consumed;
	event.produced = produced;
	if (!decoder->_Push(std::move(event), decoder->fBinGeneration))
		return B_INTERRUPTED;
	return 0;
}
