#ifndef _BIN_READER_H
#define _BIN_READER_H

// The one reader of a bin's data: it pulls a bin from the package stream
// one stored chunk at a time (the size the codec's reader reads), decodes
// the chunk with the current codec, and gives out what it decoded, then
// where the chunk ended, then the bin's end. What a chunk decodes to is held
// until it has been taken, so memory stays within what one stored chunk
// decodes to (deflate expands 16 KiB to 17 MB at the very most). A bin whose
// stored data fit one chunk is inflated in one call instead, and given out
// exactly as the codec would have given it.
//
// A bin is S (int64, stored bytes; -1: up to the end of the input), U
// (int64, the original size), the codec's ID (int32), then S bytes.

#include "WholeBinInflater.h"

#include <DataIO.h>
#include <SupportDefs.h>

#include <vector>

class PackData;

struct bin_step {
	enum kind {
		// Decoded bytes: `data`, `size` (up to 64 KiB at a time), valid
		// until the next call.
		kData,
		// A stored chunk was decoded: `consumed` stored bytes gave
		// `produced` bytes (the data steps before this one).
		kChunkEnd,
		kEnd
	};

	kind what = kEnd;
	const uint8* data = NULL;
	size_t size = 0;
	uint32 consumed = 0;
	uint32 produced = 0;
	// A bin whose check value is left to the caller (Begin): its kData
	// steps say so, and the step where the codec would have compared it
	// holds the value the stream stores, to compare with the Adler-32 of
	// the data given out, itself included (a kData step with the last bytes
	// the codec's buffer held, or the chunk's end when it held none). On a
	// mismatch that step is where the codec fails.
	bool checkLeft = false;
	bool checkDue = false;
	uint32 storedCheck = 0;
};

// What a bin held, for those who check packages.
struct bin_summary {
	int64 storedSize = 0;
	int64 originalSize = 0;
	int64 decodedSize = 0;
	// Stored bytes left after the end of the compressed stream.
	int64 trailingBytes = 0;
};

class BinReader {
public:
	// Decodes with the current codec of `records` (which stays the
	// caller's).
	explicit BinReader(PackData* records);

	// Bins whose check is never left to the caller.
	static constexpr int64 kCheckNothingLeft = INT64_MAX;

	// Reads the bin's preamble at src's position: B_OK, B_ERROR when the
	// package ends first, B_BAD_DATA for a negative stored size or a bin of
	// another codec (passed over whole, so the stream stays usable). A bin
	// of more than `leaveCheckAbove` original bytes that goes through the
	// codec is decoded without its check value, which the steps hand on.
	status_t Begin(BPositionIO* src, int64 leaveCheckAbove = kCheckNothingLeft);
	// The next step: B_OK, or the status the bin fails with (a failure of
	// the codec has shown its alert through doError first; what the chunk
	// decoded before it has been given out).
	status_t Next(bin_step* step);
	// The largest buffer TakeData hands over: one that grew larger for a
	// chunk that decoded to much more stays here for the next chunks, so
	// that the buffers that change hands stay of a size that can be reused.
	enum { kLargestHandedBuffer = 128 * 1024 };

	// Right after a kData step that gave all the chunk's bytes at once:
	// moves them into *data instead of leaving them to be copied (false,
	// nothing moved, otherwise). The buffer *data held is kept for the
	// next chunk.
	bool TakeData(std::vector<uint8>* data);
	// Ends the codec's stream of a bin left part way.
	void Abandon();

	// Of the bin being read (the decoded size counts the bytes given out so
	// far); complete after kEnd.
	const bin_summary& Summary() const { return fSummary; }

private:
	bool _InflateWhole();
	status_t _DecodeChunk();
	void _KeepTail(const uint8* consumed, size_t count);
	void _HandOnCheck(bin_step* step);
	status_t _Fail(status_t status);

	class ChunkSink;

	PackData* fRecords;
	BPositionIO* fSource;
	bool fDecoding;
	bool fToEnd;
	int64 fStoredLeft;
	bool fLastChunk;
	bool fChunkEndDue;
	bool fEnded;
	status_t fChunkError;
	uint32 fChunkConsumed;
	uint32 fChunkProduced;
	bin_summary fSummary;
	// The check value is the caller's and not handed on yet; the stream has
	// ended in the chunk held, with this many bytes at the end of its
	// output that the codec wrote only as it did not compare the check; and
	// the last four stored bytes the codec consumed (once the stream has
	// ended, they hold the value).
	bool fCheckLeft;
	bool fCheckDue;
	size_t fUnchecked;
	uint8 fTail[4];

	// The decoded bytes of the current chunk, how many were given out, and
	// where the last step given began.
	std::vector<uint8> fOutput;
	size_t fGiven;
	size_t fStepStart;
	std::vector<uint8> fStored;
	WholeBinInflater fInflater;
};

#endif // _BIN_READER_H
