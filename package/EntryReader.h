#ifndef _ENTRY_READER_H
#define _ENTRY_READER_H

// The one reader of node data entries: it pulls an entry from the package
// stream step by step (its main fork, the bytes each decoded write of the
// codec gives, where each stored chunk ends, each attribute with its name
// and type, and the entry's end) and leaves applying them to whoever asks.
// The install worker applies them to a node as it reads; the reader ahead
// runs the same reader on a thread of its own and queues the steps; the
// package tool's verifier checks what it reads.
//
// An entry is a group 'FiDa' (file), 'FoDa' (folder) or 'LnDa' (link) with
//   'FiMF' bin      the file's contents (files only)
//   'FBeA' group    the attributes, one 'BeAI' group each:
//       'BeAN' string name, 'BeAT' int32 type, 'BeAD' bin data
//       ('Ad32' int32 is accepted and ignored)
// and an end record; any other member is passed over.
//
// A bin is decoded one stored chunk at a time (the codec's reader's chunk
// size), and the codec's writes of a chunk are held until they have been
// taken, so memory stays within what one stored chunk decodes to. A bin
// whose stored data fit one chunk is inflated in one call instead, and
// given out exactly as the codec would have given it.

#include "EntrySteps.h"
#include "WholeBinInflater.h"

#include <DataIO.h>
#include <StorageDefs.h>
#include <SupportDefs.h>

#include <string>
#include <vector>

class PackData;

struct entry_step {
	enum kind {
		// The file's contents begin (a 'FiMF' bin). Whoever has no file
		// for them calls SkipMainFork.
		kMainFork,
		// One write of decoded bytes: `data`, `size` (the main fork's or an
		// attribute's), valid until the next call.
		kData,
		// A stored chunk of the main fork was decoded: `consumed` stored
		// bytes gave `produced` bytes (the data steps before this one).
		kChunkEnd,
		kMainForkEnd,
		// An attribute's data begin: `name`, `type`.
		kAttribute,
		kAttributeEnd,
		// The entry's end record.
		kEnd
	};

	kind what = kEnd;
	const uint8* data = NULL;
	size_t size = 0;
	uint32 consumed = 0;
	uint32 produced = 0;
	const char* name = NULL;
	type_code type = 0;
};

// What a finished bin held, for those who check packages.
struct bin_summary {
	int64 storedSize = 0;
	int64 originalSize = 0;
	int64 decodedSize = 0;
	// Stored bytes left after the end of the compressed stream.
	int64 trailingBytes = 0;
};

class EntryReader : public EntrySteps {
public:
	// Reads records through `records` and decodes with its current codec
	// (both stay the caller's).
	explicit EntryReader(PackData* records);

	// Starts on the entry at src's current position: B_OK, B_ERROR (-1)
	// when no entry group starts there, or the status of the read.
	status_t Begin(BPositionIO* src);
	// Starts right after the record header of an entry's main fork (at
	// `position` of src), as if Next had just given kMainFork.
	status_t BeginAtMainFork(BPositionIO* src, off_t position);

	// The next step: B_OK, or the status the entry fails with (a failure
	// of the codec has shown its alert through doError first). After kEnd
	// or a failure, Begin starts another entry.
	status_t Next(entry_step* step) override;
	// Right after kMainFork: passes over the contents, whatever they hold.
	status_t SkipMainFork() override;

	// Where the main fork's bin starts, when Next gave kMainFork.
	off_t MainForkPosition() const { return fBinStart; }
	// The last bin that ended (with its kMainForkEnd or kAttributeEnd).
	const bin_summary& LastBin() const { return fBin; }

private:
	enum state {
		kIdle,
		kMembers,
		kMainForkAhead,
		kAttributes,
		kAttributeMembers,
		kInBin
	};

	status_t _NextMember(entry_step* step, bool* done);
	status_t _NextAttributesMember();
	status_t _NextAttributeMember(entry_step* step, bool* done);
	status_t _BeginBin(entry_step::kind end, state after);
	bool _InflateWhole(int64 storedSize, int64 originalSize);
	status_t _NextOfBin(entry_step* step);
	status_t _DecodeChunk();
	status_t _Fail(status_t status);
	void _GiveData(entry_step* step);

	class ChunkSink;

	PackData* fRecords;
	BPositionIO* fSource;
	state fState;

	// The attribute being read.
	char fName[B_FILE_NAME_LENGTH];
	type_code fType;

	// The bin being read.
	off_t fBinStart;
	entry_step::kind fBinEnd;
	state fAfterBin;
	bool fReportChunks;
	bool fToEnd;
	int64 fStoredLeft;
	bool fLastChunk;
	bool fChunkEndDue;
	status_t fChunkError;
	uint32 fChunkConsumed;
	bin_summary fBin;

	// The decoded writes of the current chunk, and where each ends.
	std::vector<uint8> fOutput;
	std::vector<size_t> fWriteEnds;
	size_t fWritesGiven;
	std::vector<uint8> fStored;
	WholeBinInflater fInflater;
};

#endif // _ENTRY_READER_H
