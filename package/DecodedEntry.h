#ifndef _DECODED_ENTRY_H
#define _DECODED_ENTRY_H

// The steps of one node data entry as the reader ahead (NodeDecoder)
// decoded them, for SPackData to apply on the install worker's thread: the
// writes, progress, alerts and result are those of reading the entry there
// and then. The check value of a large file's contents, which the decoder
// leaves, is compared here, where the codec would have failed on it. Where
// the decoder cannot tell (no entry at the position) the caller reads the
// entry itself; a node that has no place for the contents passes over them,
// and the rest of the entry is then read here from the package, with the
// decoder reset.

#include "EntryReader.h"
#include "EntrySteps.h"
#include "NodeDecoder.h"

class BPositionIO;
class PackData;

class DecodedEntry : public EntrySteps {
public:
	// `source` is the package as the worker reads it, `records` its
	// reader of records (with the codec).
	DecodedEntry(NodeDecoder* decoder, BPositionIO* source, PackData* records);

	// Asks for the entry at `position` (absolute): true when its steps
	// follow; false (the decoder reset) when the caller reads it itself.
	bool Begin(off_t position);

	status_t Next(entry_step* step) override;
	status_t SkipMainFork() override;

private:
	status_t _Check(const entry_step& step);

	NodeDecoder* fDecoder;
	BPositionIO* fSource;
	// Reads the rest of the entry once it is no longer the decoder's.
	EntryReader fReader;
	bool fReadHere;
	decoded_event fEvent;
	// The Adler-32 of the contents whose check the decoder left to us.
	uint32 fContentsCheck;
};

#endif // _DECODED_ENTRY_H
