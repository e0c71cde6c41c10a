#ifndef _ZL_CODEC_H
#define _ZL_CODEC_H

// The zlib codec: every bin is one standard zlib stream (header and Adler-32
// trailer). Output is staged in a fixed 8192-byte buffer and written out in
// whole-buffer pieces; the zlib state is made once and reset between bins.
// One object decodes or encodes, one stream after the other; a begin of the
// other kind replaces the stream state.

#include "PCodec.h"

#include <zlib.h>

class ZlCodec : public PCodec {
public:
	// Decoded data go out in writes of this size (the last one shorter).
	enum { kOutputBufferSize = 8192 };

	ZlCodec();
	~ZlCodec() override;

	status_t BeginEncode() override;
	status_t EndEncode() override;
	status_t BeginDecode() override;
	status_t EndDecode() override;
	// The stream's Adler-32 is left to the caller: the last four bytes the
	// stream consumed hold it (big-endian), and a mismatch is to be shown
	// with CheckMismatch.
	bool LeaveCheck() override;
	bool LeftCheckEnded(size_t* unchecked) override;

	// The z_stream.
	void* Info() override;
	int32 ID() override;

	int32 EncodeBytes(BPositionIO* out, int32* length, uint8* data, bool last) override;
	int32 DecodeBytes(BPositionIO* out, int32* length, uint8* data, bool last) override;

	// quiet: the status comes back unchanged, nothing shown. Otherwise 0
	// stays 0, and any other status is shown in an alert (doError: the
	// calling thread's alert sink decides where it goes) and becomes -1.
	virtual int32 CodecError(int32 zlibStatus, bool quiet);

	// The text shown for a zlib status.
	static const char* MessageFor(int32 zlibStatus);
	// The failure of a stream whose check was left to the caller and does
	// not match: shown as the codec shows damaged data, -1.
	static int32 CheckMismatch();

private:
	enum {
		kIdle = 0,
		kEncoding = 1,
		kDecoding = 2
	};
	enum stream_kind {
		kNoStream,
		kInflateStream,
		kDeflateStream
	};

	status_t _Begin(stream_kind kind);
	void _EndStream();
	void _ResetOutput();
	int32 _FlushBuffer(BPositionIO* out);

	int32 fBufferSize;
	uint8* fBuffer;
	z_stream fStream;
	int32 fMode;
	stream_kind fStreamKind;
	// The stream's check is left to the caller; it has ended, and the
	// bytes the staging buffer still held then.
	bool fCheckLeft;
	bool fLeftCheckEnded;
	size_t fUnchecked;
};

#endif // _ZL_CODEC_H
