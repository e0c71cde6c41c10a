#ifndef _PCODEC_H
#define _PCODEC_H

// A codec turns chunks of input into output written to a stream, keeping its
// state between chunks so that one logical stream can be fed in pieces.
// PCodec is the interface and, at the same time, the identity codec: data
// stored as it is.

#include <DataIO.h>
#include <SupportDefs.h>

// The codec IDs stored in bins.
enum {
	kIdentityCodecID = 1,
	kZlibCodecID = 2
};

class PCodec {
public:
	PCodec();
	virtual ~PCodec();

	virtual status_t BeginEncode();
	virtual status_t EndEncode();
	virtual status_t BeginDecode();
	virtual status_t EndDecode();
	// Right after BeginDecode: the stream's check value is neither computed
	// nor compared while decoding; the caller compares it with the decoded
	// bytes' own (on another thread, say). False when the codec has none
	// (nothing changes).
	virtual bool LeaveCheck();
	// Of a stream whose check was left: true once it has ended, with how
	// many of the bytes written last came out only because the check was
	// not compared (a codec comparing it would have stopped before writing
	// them, had the value differed).
	virtual bool LeftCheckEnded(size_t* unchecked);

	// Codec-specific state (null for the identity codec).
	virtual void* Info();
	virtual int32 ID();

	// Both take *length bytes of data and return the number of bytes
	// written to out during the call (or a negative status); on return
	// *length holds the number of input bytes consumed. last says that no
	// more input follows for this stream.
	virtual int32 EncodeBytes(BPositionIO* out, int32* length, uint8* data, bool last);
	virtual int32 DecodeBytes(BPositionIO* out, int32* length, uint8* data, bool last);

private:
	PCodec(const PCodec&) = delete;
	PCodec& operator=(const PCodec&) = delete;
};

#endif // _PCODEC_H
