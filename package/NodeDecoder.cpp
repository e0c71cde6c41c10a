#include "NodeDecoder.h"

#include "AlertSinkScope.h"
#include "BufferedFileIO.h"
#include "NotedAlertSink.h"
#include "PackData.h"
#include "ProcessorPair.h"
#include "SPackData.h"
#include "ZlCodec.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <utility>

#include <pthread.h>
#include <zlib.h>

namespace {

// The decoder reads the package in large blocks: the small record headers
// between the bins cost no system call each.
const size_t kReadBlockSize = 256 * 1024;

// What an event costs besides its data: the queue's bookkeeping, so that
// many small events count too.
const size_t kEventOverhead = sizeof(decoded_event) + 32;

// The buffers kept for reuse: a quarter of what the queue may hold, which
// the threads refill while the worker writes, so that the buffers the
// worker is done with go round instead of being freed (memory
// freed and allocated again is faulted in again and zeroed by the kernel:
// a tenth of a decoding thread's time on a large file, more on a virtual
// machine). A chunk decodes to some 50 KiB in most files; its bytes change
// hands whole only up to 64 KiB, in buffers no larger than these.
const size_t kLargestSpareBuffer = BinReader::kLargestHandedBuffer;
const size_t kSpareShare = 4;

// Contents above this size are inflated without their check value, which
// whoever digests them compares (a tenth of inflating): on a large file the
// inflating thread is the slower side once the worker has caught up with it.
const int64 kCheckAheadLimit = 1024 * 1024;

decoded_event
Event(decoded_event::kind what, off_t entry)
{
	decoded_event event;
	event.what = what;
	event.entry = entry;
	return event;
}

} // namespace

bool
decoded_event::EndsEntry() const
{
	return what == kNotEntry || what == kError || (what == kStep && step == entry_step::kEnd);
}

size_t
decoded_event::Footprint() const
{
	return kEventOverhead + data.size() + name.size() + alert.size();
}

// What a decoding thread reads with: handles of its own on the package, one
// to find where entries end and one to read them, and its own reader.
struct NodeDecoder::Lane {
	explicit Lane(const BFile& package)
		:
		scanSource(new BFile(package), kReadBlockSize),
		source(new BFile(package), kReadBlockSize),
		reader(&records)
	{
		records.SetCurrentCodec(&codec);
		reader.LeaveContentsCheckAbove(kCheckAheadLimit);
	}

	~Lane() { records.SetCurrentCodec(NULL); }

	BufferedFileIO scanSource;
	BufferedFileIO source;
	ZlCodec codec;
	PackData records;
	EntryReader reader;
	// The codec's alerts, noted and queued with the failure.
	NotedAlertSink alerts;
	// Where the next data step's bytes go.
	std::vector<uint8> spare;
	// The digest of the main fork being decoded, and the Adler-32 of its
	// contents when their check is left, while they are digested here;
	// none outside a main fork, or once the worker has taken them over.
	std::unique_ptr<Sha256Digest> contents;
	uint32 contentsCheck = 0;
};

// One claimed entry and the events decoded for it, waiting for the worker.
struct NodeDecoder::Slot {
	explicit Slot(off_t position) : entry(position) {}

	off_t entry;
	std::deque<decoded_event> events;
	// Its thread waits for room.
	bool decoderWaits = false;
	// The worker has waited for this entry's events: its thread is the
	// slower side, and leaves the rest of the contents' digest to the
	// worker. Set with the lock held, read by the thread without it.
	std::atomic<bool> workerWaited{false};
};

NodeDecoder::NodeDecoder(const BFile& package, size_t memoryLimit, int32 threads)
	:
	fMemoryLimit(memoryLimit),
	fPackage(new BFile(package)),
	fQueuedBytes(0),
	fPeakQueuedBytes(0),
	fGeneration(0),
	fNextEntry(-1),
	fWorkerWaiting(false),
	fClaimWaiters(0),
	fRoomWaiters(0),
	fQuit(false),
	fSpareBytes(0)
{
	if (threads <= 0)
		threads = std::clamp<int32>((int32)std::thread::hardware_concurrency(), 1, 4);
	for (int32 index = 0; index < threads; index++)
		fThreads.emplace_back(&NodeDecoder::_Run, this, index);
}

NodeDecoder::~NodeDecoder()
{
	{
		std::lock_guard<std::mutex> guard(fLock);
		fQuit = true;
		fSlots.clear();
	}
	fClaimWait.notify_all();
	fRoomWait.notify_all();
	fWorkerWait.notify_all();
	for (std::thread& thread : fThreads)
		thread.join();
	delete fPackage;
}

status_t
NodeDecoder::InitCheck() const
{
	return fPackage->InitCheck();
}

// #pragma mark - worker side

void
NodeDecoder::Request(off_t position)
{
	std::unique_lock<std::mutex> lock(fLock);
	// Entries decoded for items that were passed over.
	while (!fSlots.empty() && fSlots.front()->entry < position)
		_DropFront();
	bool ahead = fSlots.empty() ? fNextEntry == position
		: fSlots.front()->entry == position;
	if (!ahead)
		_Restart(position);
}

void
NodeDecoder::Next(decoded_event* event)
{
	std::unique_lock<std::mutex> lock(fLock);
	while (!fQuit && (fSlots.empty() || fSlots.front()->events.empty())) {
		if (!fSlots.empty())
			fSlots.front()->workerWaited.store(true, std::memory_order_relaxed);
		fWorkerWaiting = true;
		fWorkerWait.wait(lock);
		fWorkerWaiting = false;
	}
	if (fQuit) {
		*event = Event(decoded_event::kError, -1);
		event->status = B_CANCELED;
		return;
	}
	// The data of the event before are written by now.
	_KeepSpare(std::move(event->data));
	Slot* slot = fSlots.front().get();
	// Counted before the move empties it.
	size_t size = slot->events.front().Footprint();
	*event = std::move(slot->events.front());
	slot->events.pop_front();
	size_t before = fQueuedBytes;
	fQueuedBytes -= size;
	bool ended = event->EndsEntry();
	if (ended)
		fSlots.pop_front();
	// Room again: the waiting decoders are woken when three quarters of the
	// room have become free, or when the thread of the entry that comes
	// first waits and its event now fits (it comes first now, or all of its
	// events were taken), rather than at every event, so that the threads do
	// not take turns event by event.
	bool freed = before > fMemoryLimit / 4 && fQueuedBytes <= fMemoryLimit / 4;
	bool firstWaits = !fSlots.empty() && fSlots.front()->decoderWaits
		&& (ended || fSlots.front()->events.empty());
	if (fRoomWaiters > 0 && (freed || firstWaits))
		fRoomWait.notify_all();
	if (fClaimWaiters > 0 && freed && fNextEntry >= 0)
		fClaimWait.notify_one();
}

void
NodeDecoder::Reset()
{
	std::lock_guard<std::mutex> guard(fLock);
	_Restart(-1);
}

size_t
NodeDecoder::PeakQueuedBytes() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fPeakQueuedBytes;
}

// Called with the lock held.
void
NodeDecoder::_DropFront()
{
	for (const decoded_event& event : fSlots.front()->events)
		fQueuedBytes -= event.Footprint();
	fSlots.pop_front();
}

// Called with the lock held.
void
NodeDecoder::_KeepSpare(std::vector<uint8>&& buffer)
{
	if (buffer.capacity() == 0 || buffer.capacity() > kLargestSpareBuffer
		|| fSpareBytes + buffer.capacity() > fMemoryLimit / kSpareShare)
		return;
	fSpareBytes += buffer.capacity();
	buffer.clear();
	fSpareBuffers.push_back(std::move(buffer));
}

// Called with the lock held: the walk in progress becomes stale and a new
// one begins at position (-1: none, until the next request).
void
NodeDecoder::_Restart(off_t position)
{
	fGeneration++;
	fNextEntry = position;
	fSlots.clear();
	fQueuedBytes = 0;
	fRoomWait.notify_all();
	fClaimWait.notify_all();
}

// Called with the lock held. The entry the worker takes next may use the
// whole room, and its event always fits when none of its own wait; those
// after it share half of the room, so that they never keep the first from
// going on. An event always fits into an empty room.
bool
NodeDecoder::_HasRoom(const Slot* slot, size_t size) const
{
	if (fQueuedBytes == 0)
		return true;
	if (slot != NULL && !fSlots.empty() && fSlots.front().get() == slot)
		return slot->events.empty() || fQueuedBytes + size <= fMemoryLimit;
	return fQueuedBytes + size <= fMemoryLimit / 2;
}

// #pragma mark - decoder side

void
NodeDecoder::_Run(int32 index)
{
	std::string name = "node decoder " + std::to_string(index + 1);
	pthread_setname_np(pthread_self(), name.c_str());
	// The worker that starts the decoder may be kept on one processor with
	// the progress window; decoding goes wherever a processor is free.
	ProcessorPair::SpreadCallingThread();
	Lane lane(*fPackage);
	AlertSinkScope noted(&lane.alerts);
	for (;;) {
		std::shared_ptr<Slot> slot;
		uint64 generation;
		if (!_Claim(&slot, &generation))
			return;
		_Handover(_EntryEnd(lane, slot->entry), generation);
		_DecodeEntry(lane, slot, generation);
	}
}

// Waits for an entry to claim; false when the decoder stops.
bool
NodeDecoder::_Claim(std::shared_ptr<Slot>* slot, uint64* generation)
{
	std::unique_lock<std::mutex> lock(fLock);
	for (;;) {
		if (fQuit)
			return false;
		// Entries ahead wait while the room for them is taken.
		if (fNextEntry >= 0 && (fSlots.empty() || _HasRoom(NULL, kEventOverhead)))
			break;
		fClaimWaiters++;
		fClaimWait.wait(lock);
		fClaimWaiters--;
	}
	*slot = std::make_shared<Slot>(fNextEntry);
	*generation = fGeneration;
	fSlots.push_back(*slot);
	// The worker already waits for the entry it takes next.
	if (fWorkerWaiting && fSlots.size() == 1)
		(*slot)->workerWaited.store(true, std::memory_order_relaxed);
	// Until the claiming thread has found where its entry ends, no other
	// entry can be claimed.
	fNextEntry = -1;
	return true;
}

// The next entry starts at `next` (-1: none is known, the walk stops).
void
NodeDecoder::_Handover(off_t next, uint64 generation)
{
	std::lock_guard<std::mutex> guard(fLock);
	if (generation != fGeneration)
		return;
	fNextEntry = next;
	if (next >= 0 && fClaimWaiters > 0)
		fClaimWait.notify_one();
}

// Where the entry at `position` ends, from its records' sizes alone; -1
// when no entry starts there or its records cannot be walked.
off_t
NodeDecoder::_EntryEnd(Lane& lane, off_t position)
{
	record_header header;
	if (lane.scanSource.Seek(position, SEEK_SET) != position
		|| lane.records.ReadRecordHeader(&lane.scanSource, &header) != B_OK
		|| header.type != kGroupRecord || !is_entry_tag(header.tag)
		|| lane.records.SkipData(&lane.scanSource, &header) != B_OK)
		return -1;
	return lane.scanSource.Position();
}

bool
NodeDecoder::_Push(const std::shared_ptr<Slot>& slot, decoded_event&& event, uint64 generation,
	std::vector<uint8>* spare)
{
	size_t size = event.Footprint();
	std::unique_lock<std::mutex> lock(fLock);
	while (!fQuit && generation == fGeneration && !_HasRoom(slot.get(), size)) {
		// A full room is for the worker to empty, asleep or not.
		if (fWorkerWaiting)
			fWorkerWait.notify_one();
		fRoomWaiters++;
		slot->decoderWaits = true;
		fRoomWait.wait(lock);
		slot->decoderWaits = false;
		fRoomWaiters--;
	}
	if (fQuit || generation != fGeneration)
		return false;
	bool completes = event.EndsEntry();
	slot->events.push_back(std::move(event));
	fQueuedBytes += size;
	fPeakQueuedBytes = std::max(fPeakQueuedBytes, fQueuedBytes);
	if (spare != NULL && spare->capacity() == 0 && !fSpareBuffers.empty()) {
		spare->swap(fSpareBuffers.back());
		fSpareBuffers.pop_back();
		fSpareBytes -= spare->capacity();
	}
	// A sleeping worker is woken for a whole entry or a good share of one,
	// not for every write: each wake-up costs as much as a small file.
	bool first = fSlots.front() == slot;
	if (fWorkerWaiting && first && (completes || fQueuedBytes >= kWakeBytes))
		fWorkerWait.notify_one();
	return true;
}

// Reads the entry with the entry reader and queues its steps, then how it
// ended.
void
NodeDecoder::_DecodeEntry(Lane& lane, const std::shared_ptr<Slot>& slot, uint64 generation)
{
	off_t position = slot->entry;
	lane.alerts.Take();
	lane.contents.reset();
	if (lane.source.Seek(position, SEEK_SET) != position
		|| lane.reader.Begin(&lane.source) != B_OK) {
		_Push(slot, Event(decoded_event::kNotEntry, position), generation);
		return;
	}
	if (!_Push(slot, Event(decoded_event::kEntryBegin, position), generation))
		return;
	for (;;) {
		entry_step step;
		status_t status = lane.reader.Next(&step);
		if (status != B_OK) {
			decoded_event event = Event(decoded_event::kError, position);
			event.status = status;
			event.alert = lane.alerts.Take();
			_Push(slot, std::move(event), generation);
			return;
		}
		decoded_event event = _EventFor(step, position);
		// The chunk's bytes change hands rather than being copied, and the
		// spare buffer takes the next chunk's; bytes that are copied (a
		// piece of a chunk that decoded to more than one step) go into the
		// spare buffer too, so that memory the worker is done with is used
		// again instead of fresh pages being faulted in for every piece.
		if (step.what == entry_step::kData) {
			if (!lane.reader.TakeData(&lane.spare))
				lane.spare.assign(step.data, step.data + step.size);
			event.data.swap(lane.spare);
		}
		// Decoded whatever the node turns out to be: the worker passes
		// over it for a node that is no file, from `resume` on.
		if (step.what == entry_step::kMainFork)
			event.resume = lane.reader.BinPosition();
		_DigestContents(lane, *slot, &event);
		if (!_Push(slot, std::move(event), generation, &lane.spare)
			|| step.what == entry_step::kEnd)
			return;
	}
}

void
NodeDecoder::_DigestContents(Lane& lane, const Slot& slot, decoded_event* event)
{
	switch (event->step) {
		case entry_step::kMainFork:
			lane.contents.reset(new Sha256Digest);
			lane.contentsCheck = (uint32)adler32_z(0L, Z_NULL, 0);
			return;
		case entry_step::kMainForkEnd:
			// The whole digest, when it was all taken here; the attributes'
			// data that follow are not digested.
			event->digest = std::move(lane.contents);
			return;
		case entry_step::kData:
			break;
		default:
			return;
	}
	if (lane.contents == NULL)
		return;
	if (slot.workerWaited.load(std::memory_order_relaxed)) {
		// The worker goes on from here with what was digested so far.
		event->digest = std::move(lane.contents);
		return;
	}
	lane.contents->UpdateAt(lane.contents->Length(), event->data.data(), event->data.size());
	event->contentsDigested = true;
	if (event->checkLeft) {
		lane.contentsCheck = (uint32)adler32_z(lane.contentsCheck, event->data.data(),
			event->data.size());
		event->checkTaken = true;
		event->takenCheck = lane.contentsCheck;
	}
}

decoded_event
NodeDecoder::_EventFor(const entry_step& step, off_t entry)
{
	decoded_event event = Event(decoded_event::kStep, entry);
	event.step = step.what;
	event.checkLeft = step.checkLeft;
	event.checkDue = step.checkDue;
	event.storedCheck = step.storedCheck;
	switch (step.what) {
		case entry_step::kChunkEnd:
			event.consumed = step.consumed;
			event.produced = step.produced;
			break;
		case entry_step::kAttribute:
			event.name = step.name;
			event.type = step.type;
			break;
		default:
			break;
	}
	return event;
}
