#include "NodeDecoder.h"

#include "AlertSinkScope.h"
#include "BufferedFileIO.h"
#include "NotedAlertSink.h"
#include "PackData.h"
#include "SPackData.h"
#include "ZlCodec.h"

#include <Sha256.h>

#include <ByteOrder.h>
#include <OS.h>
#include <StorageDefs.h>
#include <TypeConstants.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include <pthread.h>

namespace {

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

NodeDecoder::NodeDecoder(const BFile& package, size_t memoryLimit)
	:
	fMemoryLimit(memoryLimit),
	fSource(new BufferedFileIO(new BFile(package), kReadBlockSize)),
	fRecords(new PackData),
	fCodec(new ZlCodec),
	fReader(fRecords),
	fNotedAlert(new NotedAlertSink),
	fQueuedBytes(0),
	fPeakQueuedBytes(0),
	fGeneration(0),
	fStart(-1),
	fWalkEntry(-1),
	fWorkerWaiting(false),
	fDecoderWaiting(false),
	fQuit(false)
{
	fRecords->SetCurrentCodec(fCodec);
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
	delete fRecords;
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
}

// Called with the lock held.
void
NodeDecoder::_DropQueue()
{
	fQueue.clear();
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
	pthread_setname_np(pthread_self(), "node decoder");
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
	if (fQuit || generation != fGeneration)
		return false;
	bool completes = event.what != decoded_event::kStep || event.step == entry_step::kEnd;
	fQueue.push_back(std::move(event));
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

// Reads the entry with the entry reader and queues its steps. B_OK when
// the entry was complete and the walk goes on.
status_t
NodeDecoder::_DecodeEntry(off_t position, uint64 generation)
{
	fNotedAlert->Take();
	if (fSource->Seek(position, SEEK_SET) != position || fReader.Begin(fSource) != B_OK) {
		_Push(Event(decoded_event::kNotEntry, position), generation, -1);
		return B_ERROR;
	}
	if (!_Push(Event(decoded_event::kEntryBegin, position), generation))
		return B_INTERRUPTED;
	// The main fork's digest is made here, off the worker's thread.
	std::shared_ptr<Sha256Digest> digest;
	off_t digested = 0;
	for (;;) {
		entry_step step;
		status_t status = fReader.Next(&step);
		if (status != B_OK) {
			_PushError(position, status, generation);
			return status;
		}
		decoded_event event = _EventFor(step, position);
		// Decoded whatever the node turns out to be: the worker passes
		// over it for a node that is no file, from `resume` on.
		if (step.what == entry_step::kMainFork) {
			event.resume = fReader.BinPosition();
			digest = std::make_shared<Sha256Digest>();
			digested = 0;
		} else if (step.what == entry_step::kData && digest != NULL) {
			digest->UpdateAt(digested, step.data, step.size);
			digested += step.size;
		} else if (step.what == entry_step::kMainForkEnd) {
			event.digest = std::move(digest);
		} else if (step.what == entry_step::kAttribute) {
			digest.reset();
		}
		if (step.what == entry_step::kEnd)
			return _Push(std::move(event), generation, fSource->Position()) ? B_OK : B_INTERRUPTED;
		if (!_Push(std::move(event), generation))
			return B_INTERRUPTED;
	}
}

decoded_event
NodeDecoder::_EventFor(const entry_step& step, off_t entry)
{
	decoded_event event = Event(decoded_event::kStep, entry);
	event.step = step.what;
	switch (step.what) {
		case entry_step::kData:
			event.data.assign(step.data, step.data + step.size);
			break;
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
