#include "ZlCodec.h"

#include "DoError.h"

#include <cstdlib>
#include <cstring>

namespace {

// A write that moved fewer bytes than asked: the destination's own status
// when it gave one, an I/O error otherwise.
int32
ShortWriteStatus(ssize_t result)
{
	return result < 0 ? static_cast<int32>(result) : B_IO_ERROR;
}

} // namespace

ZlCodec::ZlCodec()
	:
	fBufferSize(kOutputBufferSize),
	fBuffer(static_cast<uint8*>(malloc(kOutputBufferSize))),
	fMode(kIdle),
	fStreamKind(kNoStream),
	fCheckLeft(false),
	fLeftCheckEnded(false),
	fUnchecked(0)
{
	memset(&fStream, 0, sizeof(fStream));
}

ZlCodec::~ZlCodec()
{
	_EndStream();
	free(fBuffer);
}

void
ZlCodec::_EndStream()
{
	if (fStreamKind == kInflateStream)
		inflateEnd(&fStream);
	else if (fStreamKind == kDeflateStream)
		deflateEnd(&fStream);
	fStreamKind = kNoStream;
	fMode = kIdle;
}

void
ZlCodec::_ResetOutput()
{
	fStream.next_out = fBuffer;
	fStream.avail_out = fBufferSize;
}

status_t
ZlCodec::_Begin(stream_kind kind)
{
	if (fBuffer == NULL)
		return CodecError(Z_MEM_ERROR, false);

	// A stream of the other kind cannot be reset into this one: it is
	// ended, and this kind made afresh.
	if (fStreamKind != kind)
		_EndStream();

	int status;
	if (fStreamKind == kind) {
		status = kind == kInflateStream ? inflateReset(&fStream) : deflateReset(&fStream);
		// A reset keeps a check left by the stream before.
		if (status == Z_OK && kind == kInflateStream)
			status = inflateValidate(&fStream, 1);
	} else {
		memset(&fStream, 0, sizeof(fStream));
		status = kind == kInflateStream ? inflateInit(&fStream)
			: deflateInit(&fStream, Z_DEFAULT_COMPRESSION);
		if (status == Z_OK)
			fStreamKind = kind;
	}
	if (status != Z_OK) {
		fMode = kIdle;
		return CodecError(status, false);
	}
	_ResetOutput();
	fMode = kind == kInflateStream ? kDecoding : kEncoding;
	fCheckLeft = false;
	fLeftCheckEnded = false;
	fUnchecked = 0;
	return B_OK;
}

status_t
ZlCodec::BeginEncode()
{
	return _Begin(kDeflateStream);
}

status_t
ZlCodec::EndEncode()
{
	// The deflate state stays for the next stream; only a begin starts one.
	fMode = kIdle;
	return B_OK;
}

status_t
ZlCodec::BeginDecode()
{
	return _Begin(kInflateStream);
}

status_t
ZlCodec::EndDecode()
{
	fMode = kIdle;
	return B_OK;
}

bool
ZlCodec::LeaveCheck()
{
	fCheckLeft = fMode == kDecoding && inflateValidate(&fStream, 0) == Z_OK;
	return fCheckLeft;
}

bool
ZlCodec::LeftCheckEnded(size_t* unchecked)
{
	*unchecked = fUnchecked;
	return fLeftCheckEnded;
}

void*
ZlCodec::Info()
{
	return &fStream;
}

int32
ZlCodec::ID()
{
	return kZlibCodecID;
}

// Writes what the staging buffer holds and frees it again: the number of
// bytes written, or a negative status when not all of them went out.
int32
ZlCodec::_FlushBuffer(BPositionIO* out)
{
	size_t pending = fBufferSize - fStream.avail_out;
	if (pending == 0)
		return 0;
	ssize_t result = out->Write(fBuffer, pending);
	if (result != (ssize_t)pending)
		return ShortWriteStatus(result);
	_ResetOutput();
	return static_cast<int32>(pending);
}

int32
ZlCodec::DecodeBytes(BPositionIO* out, int32* length, uint8* data, bool last)
{
	if (fMode != kDecoding)
		return CodecError(-1, true);

	uint32 given = *length > 0 ? *length : 0;
	fStream.next_in = data;
	fStream.avail_in = given;
	int32 written = 0;
	bool finished = false;

	// Feeding: decoded bytes collect in the buffer and go out whenever it
	// is full and there is more input.
	while (fStream.avail_in > 0) {
		if (fStream.avail_out == 0) {
			int32 result = _FlushBuffer(out);
			if (result < 0) {
				*length = given - fStream.avail_in;
				return result;
			}
			written += result;
		}
		int status = inflate(&fStream, Z_NO_FLUSH);
		if (status == Z_STREAM_END) {
			finished = true;
			break;
		}
		if (status != Z_OK) {
			CodecError(status, false);
			*length = given - fStream.avail_in;
			return -1;
		}
	}

	if (!last && !finished) {
		*length = given - fStream.avail_in;
		return written;
	}

	// Finishing: everything still in zlib or in the buffer goes out. An
	// exact multiple of the buffer size leaves a full buffer here.
	for (;;) {
		int32 result = _FlushBuffer(out);
		if (result < 0) {
			*length = given - fStream.avail_in;
			return result;
		}
		written += result;
		if (finished) {
			// Where zlib would have compared the check value: what the
			// buffer held then would not have been written on a mismatch.
			if (fCheckLeft && !fLeftCheckEnded) {
				fLeftCheckEnded = true;
				fUnchecked = (size_t)result;
			}
			break;
		}
		int status = inflate(&fStream, Z_FINISH);
		if (status != Z_OK && status != Z_STREAM_END) {
			// Truncated or damaged data: shown, and not taken as complete.
			CodecError(status, false);
			*length = given - fStream.avail_in;
			return -1;
		}
		finished = status == Z_STREAM_END || fStream.avail_out > 0;
	}
	*length = given - fStream.avail_in;
	return written;
}

int32
ZlCodec::EncodeBytes(BPositionIO* out, int32* length, uint8* data, bool last)
{
	if (fMode != kEncoding)
		return CodecError(-1, true);

	uint32 given = *length > 0 ? *length : 0;
	fStream.next_in = data;
	fStream.avail_in = given;
	int flush = last ? Z_FINISH : Z_NO_FLUSH;
	int32 written = 0;

	for (;;) {
		if (fStream.avail_out == 0) {
			int32 result = _FlushBuffer(out);
			if (result < 0) {
				*length = given - fStream.avail_in;
				return result;
			}
			written += result;
		}
		int status = deflate(&fStream, flush);
		if (status == Z_STREAM_END)
			break;
		// No progress was possible: fine while feeding with all input
		// taken; when finishing (there is always output room here) the
		// stream cannot go on, and calling again would loop forever.
		if (status == Z_BUF_ERROR && !last && fStream.avail_in == 0)
			break;
		if (status != Z_OK) {
			CodecError(status, false);
			*length = given - fStream.avail_in;
			return -1;
		}
		// While feeding, deflate is done for now once it took all input and
		// still had room to spare: nothing is pending inside it.
		if (!last && fStream.avail_in == 0 && fStream.avail_out > 0)
			break;
	}

	if (last) {
		int32 result = _FlushBuffer(out);
		if (result < 0) {
			*length = given - fStream.avail_in;
			return result;
		}
		written += result;
	}
	*length = given - fStream.avail_in;
	return written;
}

int32
ZlCodec::CodecError(int32 zlibStatus, bool quiet)
{
	if (quiet)
		return zlibStatus;
	if (zlibStatus == 0)
		return 0;
	doError(MessageFor(zlibStatus));
	return -1;
}

int32
ZlCodec::CheckMismatch()
{
	doError(MessageFor(Z_DATA_ERROR));
	return -1;
}

const char*
ZlCodec::MessageFor(int32 zlibStatus)
{
	switch (zlibStatus) {
		case Z_STREAM_END:
			return "Stream end.";
		case Z_ERRNO:
			return "The compression library encountered a file-system error";
		case Z_STREAM_ERROR:
			return "Compression stream error.";
		case Z_DATA_ERROR:
			return "Compression data error.";
		case Z_MEM_ERROR:
			return "Memory error in compression library";
		case Z_BUF_ERROR:
			return "Compression buffer error";
		case Z_VERSION_ERROR:
			return "The compressed stream is not the correct version";
		default:
			return "An error occured in data compression.";
	}
}
