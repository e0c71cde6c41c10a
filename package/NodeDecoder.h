#ifndef _NODE_DECODER_H
#define _NODE_DECODER_H

// Decodes node data entries ahead of the install worker, on threads of its
// own (one per processor, up to four: the worker keeps a processor busy
// only while it writes small files, when the threads mostly wait for room,
// and waits for them while they inflate large ones). The package tool writes the entries
// back to back, in catalog order, which is the order the worker installs
// them in: from the requested entry on, each thread in turn claims the next
// entry, finds where it ends (its records' sizes, without decoding), hands
// the position after it to the next thread, and reads and decodes its entry
// with the entry reader through a handle of its own, queueing the steps for
// that entry (the bytes decoded, where each stored chunk ends, each
// attribute, and failures with the alert text they would show). Entries are independent streams, so several
// decode at once; the worker takes them in order. SPackData applies the
// steps (DecodedEntry) on the worker thread, so every write, progress
// message, alert and result happens there exactly as when the worker reads
// the entry itself; these threads never touch a node and never show or send
// anything.
//
// Memory stays bounded: decoded data wait up to a fixed number of bytes
// across all entries (the entries after the one the worker takes share half
// of it; a single event, at most 64 KiB of decoded data, always fits into an
// empty queue), and a thread waits for room, so a file or an attribute of
// any size streams through. The bound is large enough to carry the threads
// through a long run of small files, decoded ahead, and the worker through a
// run of large ones. The buffers of data the worker has written go back to
// the threads for the next chunks (up to a quarter of the bound, none over
// 128 KiB), so that a large file is not decoded into fresh memory chunk
// after chunk.

#include "EntryReader.h"

#include <File.h>
#include <Sha256.h>
#include <SupportDefs.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>


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
		// over it. The contents are digested here, on the decoding thread,
		// until the worker has had to wait for the entry: each data step
		// digested here says so in `contentsDigested`; then either the
		// main fork's end holds the whole `digest`, or the first data step
		// left to the worker holds the `digest` of the bytes before it, for
		// the worker to go on with.
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
	bool contentsDigested = false;
	std::unique_ptr<Sha256Digest> digest;
	// As the entry reader gave them: a large file's contents are decoded
	// without their check value, which the worker compares.
	bool checkLeft = false;
	bool checkDue = false;
	uint32 storedCheck = 0;
	// A data step of those contents digested here also holds their
	// Adler-32 up to its end, taken here.
	bool checkTaken = false;
	uint32 takenCheck = 0;

	// The last event of its entry.
	bool EndsEntry() const;
	// What the event holds in the queue, for the memory bound.
	size_t Footprint() const;
};

class NodeDecoder {
public:
	enum {
		kDefaultMemoryLimit = 32 * 1024 * 1024,
		// Decoded bytes that wake a worker waiting in the middle of an entry.
		kWakeBytes = 256 * 1024
	};

	// Reads through its own copies of `package` (descriptors and positions
	// of its own). The threads (0: one per processor, up to four) start at
	// once and wait for a request.
	explicit NodeDecoder(const BFile& package, size_t memoryLimit = kDefaultMemoryLimit,
		int32 threads = 0);
	// Stops and joins the threads; whatever is queued is dropped.
	~NodeDecoder();

	// B_OK, or why the package could not be opened a second time.
	status_t InitCheck() const;

	// Worker side. Makes the entry at `position` (absolute) the next one
	// delivered: entries decoded before it are dropped; a position that is
	// not ahead in the walk (behind it, or not where an entry of the walk
	// begins) restarts the walk there.
	void Request(off_t position);
	// The next event of the requested entry, waiting for it. Each entry's
	// events start with kEntryBegin or kNotEntry and end with kEntryEnd,
	// kError or kNotEntry.
	void Next(decoded_event* event);
	// Drops what was decoded and idles the threads until the next request:
	// the worker left an entry part way.
	void Reset();

	// The most the queue has held, in bytes (for tests and measurements).
	size_t PeakQueuedBytes() const;
	size_t MemoryLimit() const { return fMemoryLimit; }

private:
	NodeDecoder(const NodeDecoder&) = delete;
	NodeDecoder& operator=(const NodeDecoder&) = delete;

	struct Lane;
	struct Slot;

	// Decoder side.
	void _Run(int32 index);
	bool _Claim(std::shared_ptr<Slot>* slot, uint64* generation);
	void _Handover(off_t next, uint64 generation);
	static off_t _EntryEnd(Lane& lane, off_t position);
	void _DecodeEntry(Lane& lane, const std::shared_ptr<Slot>& slot, uint64 generation);
	static decoded_event _EventFor(const entry_step& step, off_t entry);
	// Takes the digest of the contents as they are decoded, until the
	// worker has waited for the slot's entry.
	static void _DigestContents(Lane& lane, const Slot& slot, decoded_event* event);
	// Queues the event for its entry, waiting for room; false when the walk
	// is stale (a restart, a reset or a stop came in the meantime).
	// A spare buffer for the thread's next data goes into *spare when one
	// is kept and *spare has none.
	bool _Push(const std::shared_ptr<Slot>& slot, decoded_event&& event, uint64 generation,
		std::vector<uint8>* spare = NULL);

	// With the lock held.
	bool _HasRoom(const Slot* slot, size_t size) const;
	void _DropFront();
	void _Restart(off_t position);
	void _KeepSpare(std::vector<uint8>&& buffer);

	const size_t fMemoryLimit;
	BFile* fPackage;

	mutable std::mutex fLock;
	std::condition_variable fWorkerWait;
	// Decoders waiting for an entry to claim, and for room for an event.
	std::condition_variable fClaimWait;
	std::condition_variable fRoomWait;
	// The entries claimed, in the walk's order; the worker takes the first.
	std::deque<std::shared_ptr<Slot>> fSlots;
	size_t fQueuedBytes;
	size_t fPeakQueuedBytes;
	// Counts restarts; a walk that started under another number is stale.
	uint64 fGeneration;
	// Where the next entry to claim starts; -1: none (the walk stopped, or
	// a thread is still finding it).
	off_t fNextEntry;
	bool fWorkerWaiting;
	int32 fClaimWaiters;
	int32 fRoomWaiters;
	bool fQuit;
	// Buffers of data the worker is done with, for the threads to reuse,
	// and their capacity in all (at most the memory bound).
	std::vector<std::vector<uint8>> fSpareBuffers;
	size_t fSpareBytes;
	std::vector<std::thread> fThreads;
};

#endif // _NODE_DECODER_H
