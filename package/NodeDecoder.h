#ifndef _NODE_DECODER_H
#define _NODE_DECODER_H

// Decodes node data entries ahead of the install worker, on a thread of its
// own. It walks the entries of the package stream one after the other (the
// package tool writes them back to back, in catalog order, which is the
// order the worker installs them in), reads them through a handle of its
// own, inflates their bins, and queues what applying them takes: the bytes
// of each write the codec makes, where each stored chunk ends, the name and
// type of each attribute, and failures with the alert text they would show.
// SPackData::ExtractDecodedNode replays the queue onto the node on the
// worker thread, so every write, progress message, alert and result happens
// there exactly as when the worker decodes by itself; this thread never
// touches a node and never shows or sends anything.
//
// Memory stays bounded: decoded data wait in the queue up to a fixed number
// of bytes across entries (a single event, at most 64 KiB of decoded data,
// always fits into an empty queue), and the decoder waits for
// room, so a file or an attribute of any size streams through.

#include "EntryReader.h"

#include <File.h>
#include <SupportDefs.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class BufferedFileIO;
class NotedAlertSink;
class Sha256Digest;
class PackData;
class ZlCodec;

// What the decoder queues: the start of an entry, the entry reader's steps
// with the data they hold, and how the entry ends. `entry` is the absolute
// file position of the entry's group header.
struct decoded_event {
	enum kind {
		// The entry group's header was read; its steps follow.
		kEntryBegin,
		// The position `entry` holds no node data entry, or its header could
		// not be read: the synchronous reader decides (and fails with -1).
		kNotEntry,
		// One step of the entry reader: `step`, with `data`, `consumed`,
		// `produced`, `name` and `type` as it gave them. A main fork's step
		// holds in `resume` where its bin starts, for a reader that passes
		// over it.
		kStep,
		// The entry fails here with `status`, after showing `alert` when it
		// is not empty (the codec's message for damaged data).
		kError
	};

	kind what = kEntryBegin;
	off_t entry = 0;
	entry_step::kind step = entry_step::kEnd;
	off_t resume = 0;
	std::vector<uint8> data;
	uint32 consumed = 0;
	uint32 produced = 0;
	std::string name;
	type_code type = 0;
	status_t status = B_OK;
	std::string alert;
	// With the main fork's end: the digest of its bytes.
	std::shared_ptr<Sha256Digest> digest;

	// What the event holds in the queue, for the memory bound.
	size_t Footprint() const;
};

class NodeDecoder {
public:
	enum {
		kDefaultMemoryLimit = 4 * 1024 * 1024,
		// Decoded bytes that wake a worker waiting in the middle of an entry.
		kWakeBytes = 256 * 1024
	};

	// Reads through its own copy of `package` (a descriptor and a position
	// of its own). The thread starts at once and waits for a request.
	explicit NodeDecoder(const BFile& package, size_t memoryLimit = kDefaultMemoryLimit);
	// Stops and joins the thread; whatever is queued is dropped.
	~NodeDecoder();

	// B_OK, or why the package could not be opened a second time.
	status_t InitCheck() const;

	// Worker side. Makes the entry at `position` (absolute) the next one
	// delivered: entries queued before it are dropped; a position that is
	// not ahead in the walk (behind it, or not where an entry of the walk
	// begins) restarts the walk there.
	void Request(off_t position);
	// The next event of the requested entry, waiting for it. Each entry's
	// events start with kEntryBegin or kNotEntry and end with kEntryEnd,
	// kError or kNotEntry.
	void Next(decoded_event* event);
	// Drops the queue and idles the thread until the next request: the
	// worker left an entry part way.
	void Reset();

	// The most the queue has held, in bytes (for tests and measurements).
	size_t PeakQueuedBytes() const;
	size_t MemoryLimit() const { return fMemoryLimit; }

private:
	NodeDecoder(const NodeDecoder&) = delete;
	NodeDecoder& operator=(const NodeDecoder&) = delete;

	void _Run();
	void _Walk(off_t position, uint64 generation);
	status_t _DecodeEntry(off_t position, uint64 generation);
	static decoded_event _EventFor(const entry_step& step, off_t entry);

	// Decoder side: queues the event, waiting for room; false when the walk
	// is stale (a restart, a reset or a stop came in the meantime). A
	// walkEntry other than -2 becomes fWalkEntry along with the event.
	bool _Push(decoded_event&& event, uint64 generation, off_t walkEntry = -2);
	bool _PushError(off_t entry, status_t status, uint64 generation);

	// With the lock held.
	void _PopFront();
	void _DropQueue();
	void _Restart(off_t position);

	const size_t fMemoryLimit;
	BufferedFileIO* fSource;
	PackData* fRecords;
	ZlCodec* fCodec;
	EntryReader fReader;
	// Where the decoder thread's alerts go: noted, and queued with the
	// failure, for the worker to show when it gets there.
	NotedAlertSink* fNotedAlert;

	mutable std::mutex fLock;
	std::condition_variable fWorkerWait;
	std::condition_variable fDecoderWait;
	std::deque<decoded_event> fQueue;
	size_t fQueuedBytes;
	size_t fPeakQueuedBytes;
	// Counts restarts; a walk that started under another number is stale.
	uint64 fGeneration;
	// Where the current generation's walk begins (-1: it has none).
	off_t fStart;
	// The entry the walk reads or is about to read; -1 when it stopped.
	off_t fWalkEntry;
	bool fWorkerWaiting;
	bool fDecoderWaiting;
	bool fQuit;
	std::thread fThread;
};

#endif // _NODE_DECODER_H
