#ifndef _ENTRY_READER_H
#define _ENTRY_READER_H

// The one reader of node data entries: it pulls an entry from the package
// stream step by step (its main fork, the bytes decoded, where each stored
// chunk ends, each attribute with its name and type, and the entry's end) and leaves applying them to whoever asks.
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
// Bins are read with BinReader.

#include "BinReader.h"
#include "EntrySteps.h"
#include "PackData.h"
#include "PackageFormat.h"

#include <DataIO.h>
#include <StorageDefs.h>
#include <SupportDefs.h>

#include <vector>

class Sha256Digest;

// The record that opens a node data entry: one of the three entry groups.
inline bool
is_entry_tag(int32 tag)
{
	return tag == kFileEntryTag || tag == kFolderEntryTag || tag == kLinkEntryTag;
}

// A record holding one 32-bit number (an attribute's type and the like).
inline bool
is_number32(const record_header& header)
{
	return header.type == kNumberRecord && header.count == 1;
}

struct entry_step {
	enum kind {
		// The file's contents begin (a 'FiMF' bin). Whoever has no file
		// for them calls SkipMainFork.
		kMainFork,
		// Decoded bytes: `data`, `size` (the main fork's or an attribute's,
		// up to 64 KiB at a time), valid until the next call.
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
	// Steps decoded ahead (the entry reader never sets these): a main
	// fork's kData whose bytes go into a digest of the contents taken on
	// the decoding thread; at kMainForkEnd that digest (of the contents
	// from their first byte) when all of them went into it, or at the first
	// kData not digested there the digest of the bytes before it. Valid
	// until the next step.
	bool contentsDigested = false;
	Sha256Digest* digest = NULL;
	// Contents whose check value the reader left to whoever applies the
	// steps (LeaveContentsCheckAbove): their kData steps say so, and the
	// step where the codec would have compared it holds the Adler-32 the
	// stream stores (bin_step tells which).
	bool checkLeft = false;
	bool checkDue = false;
	uint32 storedCheck = 0;
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
	// Contents of more than `size` bytes are decoded without comparing
	// their check value, which the steps hand on instead (entry_step's
	// checkLeft): for a reader whose steps are applied on another thread.
	void LeaveContentsCheckAbove(int64 size) { fContentsCheckLimit = size; }

	// Right after kMainFork: passes over the contents, whatever they hold.
	status_t SkipMainFork() override;
	// Right after a kData step: its bytes moved into *data where the bin
	// reader can (BinReader::TakeData); false when they are to be copied.
	bool TakeData(std::vector<uint8>* data);

	// Where the bin of the main fork or attribute last begun starts
	// (right after its record header): when Next gave kMainFork, where the
	// main fork's does.
	off_t BinPosition() const { return fBinStart; }
	// The bin being read, or the last one read.
	const bin_summary& Bin() const { return fBin.Summary(); }

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
	status_t _NextOfBin(entry_step* step);
	status_t _Fail(status_t status);

	PackData* fRecords;
	BPositionIO* fSource;
	state fState;

	// The attribute being read.
	char fName[B_FILE_NAME_LENGTH];
	type_code fType;

	// The bin being read.
	BinReader fBin;
	int64 fContentsCheckLimit;
	off_t fBinStart;
	entry_step::kind fBinEnd;
	state fAfterBin;
};

#endif // _ENTRY_READER_H
