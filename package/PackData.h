#ifndef _PACK_DATA_H
#define _PACK_DATA_H

// The package's record stream: tagged, typed records, big-endian, that nest
// (groups), carry numbers, strings, raw buffers or bins (data passed through
// a codec), and can be skipped without being understood. PackData reads and
// writes them on any BPositionIO at its current position.
//
// A record is a 7-byte header (int32 tag, int16 count, uint8 type) and its
// payload:
//   end     type 0: no payload; the header is 7 zero bytes. Closes the
//           innermost open group.
//   number  type 1: count x 4 bytes (count 1: int32, count 2: int64).
//   string  type 2: uint32 length, then that many bytes, no terminator.
//   bin     type 3: int64 stored size S, int64 original size U, int32 codec
//           ID, then S bytes of codec output. count holds the bin flags.
//   group   type 4: member records up to an end record; count 0.
//   buffer  type 5: uint32 length, then that many raw bytes.
//
// Every operation returns 0 (B_OK) or a negative status. Bins pass through a
// 16384-byte buffer: neither the stored nor the decoded data of a bin is
// ever held in memory whole.

#include <DataIO.h>
#include <SupportDefs.h>

class PCodec;

struct record_header {
	int32 tag;
	int16 count;
	uint8 type;
};

// Record types.
enum {
	kEndRecord = 0,
	kNumberRecord = 1,
	kStringRecord = 2,
	kBinRecord = 3,
	kGroupRecord = 4,
	kBufferRecord = 5
};

enum {
	kRecordHeaderSize = 7,
	// S, U and the codec ID in front of a bin's data.
	kBinPreambleSize = 20
};

// Bin flags. Reading: kBinKeepStream leaves the codec's stream open after
// the bin, kBinContinueStream starts no new stream for it. Writing, in the
// flags argument of WriteBin: kBinContinueStream in, and kBinStoppedAtLimit
// out when the stored data reached the caller's limit; the result is stored
// in the bin's count.
enum {
	kBinStoppedAtLimit = 0x1,
	kBinKeepStream = 0x1,
	kBinContinueStream = 0x2
};

// A tag of -1 makes the writers emit the payload alone, without a header.
const int32 kNoHeaderTag = -1;

// consumed: stored bytes the codec took in this step; produced: bytes it
// delivered to the destination in this step. A negative result stops the
// transfer and becomes its result.
typedef int32 (*progress_callback)(uint32 consumed, uint32 produced, void* data);

class PackData {
public:
	enum { kBufferSize = 16384 };

	PackData();
	// Deletes the default codec; a codec set with SetCurrentCodec belongs
	// to whoever set it.
	virtual ~PackData();

	// Reading. A short read fails with -1.
	status_t ReadRecordHeader(BPositionIO* io, record_header* header);
	status_t ReadInt32(BPositionIO* io, int32* value);
	status_t ReadInt64(BPositionIO* io, int64* value);
	// Keeps at most size - 1 bytes, terminated; the rest of a longer string
	// is skipped, so the stream stays in step.
	status_t ReadString(BPositionIO* io, char* buffer, uint32 size);
	// Allocates the string with malloc (the caller frees it). A string that
	// needs more than maxLength bytes with its terminator fails with -1 and
	// is skipped; with keepPrefix it keeps its first maxLength - 1 bytes
	// instead (the rest is skipped). Memory grows with the data actually
	// read, never to a stored length that the stream cannot back.
	status_t ReadString(BPositionIO* io, char** string, uint32 maxLength,
		bool keepPrefix = false);
	// Raw bytes, not terminated. A buffer longer than size fails with -1
	// and is skipped. *length, when given, receives the number of bytes.
	status_t ReadBuf(BPositionIO* io, char* buffer, uint32 size, uint32* length = NULL);
	// Decodes a bin's payload from src into dst with the current codec.
	// A bin written by another codec is skipped whole and fails with
	// B_BAD_DATA, leaving src after the bin. A callback's negative result
	// stops the bin after the current chunk and is returned; src is then
	// inside the bin and unusable until the caller seeks.
	status_t ReadBin(BPositionIO* dst, BPositionIO* src, int32 flags = 0,
		progress_callback callback = NULL);
	// Skips the payload of the record whose header was just read; groups
	// are skipped with everything nested in them. An unknown type fails
	// with -1.
	status_t SkipData(BPositionIO* io, const record_header* header);
	status_t SkipString(BPositionIO* io);
	status_t SkipBin(BPositionIO* io);

	// Writing.
	status_t WriteRecordHeader(BPositionIO* io, int32 tag, uint8 type, int16 count);
	status_t WriteEndHeader(BPositionIO* io);
	status_t WriteInt32(BPositionIO* io, int32 value, int32 tag);
	status_t WriteInt64(BPositionIO* io, int64 value, int32 tag);
	status_t WriteString(BPositionIO* io, const char* text, int32 tag);
	status_t WriteBuf(BPositionIO* io, const void* data, uint32 length, int32 tag);
	// Encodes src from its current position into a bin on dst with the
	// current codec. *sourceLimit: in, the most bytes to take from src (-1:
	// up to its end); out, the bytes taken (U). *storedLimit: in, the most
	// stored bytes after which to stop (-1 or 0: no limit); out, the bytes
	// stored (S). *flags: in, kBinContinueStream; out, kBinStoppedAtLimit
	// added when the limit stopped the bin (its codec stream is then left
	// open for the next bin). The header and sizes are written after the
	// data, by seeking back over the space reserved for them, so dst must be
	// seekable. The callback sees (source bytes taken, bytes stored).
	status_t WriteBin(BPositionIO* dst, BPositionIO* src, off_t* storedLimit,
		off_t* sourceLimit, int32* flags, progress_callback callback, int32 tag);

	// null selects the default identity codec again.
	status_t SetCurrentCodec(PCodec* codec);
	PCodec* CurrentCodec() const { return fCurrentCodec; }
	void SetCallbackData(void* data) { fCallbackData = data; }
	void* CallbackData() const { return fCallbackData; }

private:
	PackData(const PackData&) = delete;
	PackData& operator=(const PackData&) = delete;

	status_t _ReadExactly(BPositionIO* io, void* buffer, size_t size);
	status_t _WriteExactly(BPositionIO* io, const void* buffer, size_t size);
	status_t _SkipForward(BPositionIO* io, uint64 count);
	status_t _SkipToEnd(BPositionIO* io);
	status_t _SkipGroup(BPositionIO* io);
	status_t _SkipPayload(BPositionIO* io, const record_header* header);
	status_t _ReadLength(BPositionIO* io, uint32* length);

	PCodec* fCurrentCodec;
	PCodec* fDefaultCodec;
	void* fCallbackData;
	uint32 fBufferSize;
	uint8* fBuffer;
};

#endif // _PACK_DATA_H
