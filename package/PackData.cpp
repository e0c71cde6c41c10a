#include "PackData.h"

#include "PCodec.h"

#include <ByteOrder.h>

#include <cstdlib>
#include <cstring>

namespace {

// A string read into allocated memory grows in steps of this size as its
// bytes arrive, so a stored length that the stream cannot back never turns
// into a large allocation.
const uint32 kStringGrowStep = 65536;

inline int16
ReadBig16(const uint8* bytes)
{
	uint16 value;
	memcpy(&value, bytes, sizeof(value));
	return static_cast<int16>(B_BENDIAN_TO_HOST_INT16(value));
}

inline int32
ReadBig32(const uint8* bytes)
{
	uint32 value;
	memcpy(&value, bytes, sizeof(value));
	return static_cast<int32>(B_BENDIAN_TO_HOST_INT32(value));
}

inline int64
ReadBig64(const uint8* bytes)
{
	uint64 value;
	memcpy(&value, bytes, sizeof(value));
	return static_cast<int64>(B_BENDIAN_TO_HOST_INT64(value));
}

inline void
WriteBig16(uint8* bytes, int16 value)
{
	uint16 big = B_HOST_TO_BENDIAN_INT16(static_cast<uint16>(value));
	memcpy(bytes, &big, sizeof(big));
}

inline void
WriteBig32(uint8* bytes, int32 value)
{
	uint32 big = B_HOST_TO_BENDIAN_INT32(static_cast<uint32>(value));
	memcpy(bytes, &big, sizeof(big));
}

inline void
WriteBig64(uint8* bytes, int64 value)
{
	uint64 big = B_HOST_TO_BENDIAN_INT64(static_cast<uint64>(value));
	memcpy(bytes, &big, sizeof(big));
}

void
EncodeRecordHeader(uint8* bytes, int32 tag, uint8 type, int16 count)
{
	WriteBig32(bytes, tag);
	WriteBig16(bytes + 4, count);
	bytes[6] = type;
}

} // namespace

PackData::PackData()
	:
	fCurrentCodec(NULL),
	fDefaultCodec(new PCodec),
	fCallbackData(NULL),
	fBufferSize(kBufferSize),
	fBuffer(static_cast<uint8*>(malloc(kBufferSize)))
{
	fCurrentCodec = fDefaultCodec;
}

PackData::~PackData()
{
	delete fDefaultCodec;
	free(fBuffer);
}

status_t
PackData::SetCurrentCodec(PCodec* codec)
{
	fCurrentCodec = codec != NULL ? codec : fDefaultCodec;
	return B_OK;
}

// #pragma mark - primitives

// Every read of this stream either gets what it asked for or fails with -1.
status_t
PackData::_ReadExactly(BPositionIO* io, void* buffer, size_t size)
{
	if (size == 0)
		return B_OK;
	ssize_t result = io->Read(buffer, size);
	return result == (ssize_t)size ? B_OK : B_ERROR;
}

status_t
PackData::_WriteExactly(BPositionIO* io, const void* buffer, size_t size)
{
	if (size == 0)
		return B_OK;
	ssize_t result = io->Write(buffer, size);
	if (result == (ssize_t)size)
		return B_OK;
	return result < 0 ? static_cast<status_t>(result) : B_IO_ERROR;
}

// Moves forward over count bytes. A position the stream refuses, or one
// that does not exist, is a failure here rather than a surprise later.
status_t
PackData::_SkipForward(BPositionIO* io, uint64 count)
{
	if (count == 0)
		return B_OK;
	off_t position = io->Position();
	if (position < 0 || count > (uint64)(INT64_MAX - position))
		return B_ERROR;
	off_t target = position + (off_t)count;
	return io->Seek(target, SEEK_SET) == target ? B_OK : B_ERROR;
}

status_t
PackData::_SkipToEnd(BPositionIO* io)
{
	return io->Seek(0, SEEK_END) < 0 ? B_ERROR : B_OK;
}

status_t
PackData::_ReadLength(BPositionIO* io, uint32* length)
{
	uint8 bytes[4];
	if (_ReadExactly(io, bytes, sizeof(bytes)) != B_OK)
		return B_ERROR;
	*length = static_cast<uint32>(ReadBig32(bytes));
	return B_OK;
}

// #pragma mark - reading

status_t
PackData::ReadRecordHeader(BPositionIO* io, record_header* header)
{
	uint8 bytes[kRecordHeaderSize];
	if (_ReadExactly(io, bytes, sizeof(bytes)) != B_OK)
		return B_ERROR;
	header->tag = ReadBig32(bytes);
	header->count = ReadBig16(bytes + 4);
	header->type = bytes[6];
	return B_OK;
}

status_t
PackData::ReadInt32(BPositionIO* io, int32* value)
{
	uint8 bytes[4];
	if (_ReadExactly(io, bytes, sizeof(bytes)) != B_OK)
		return B_ERROR;
	*value = ReadBig32(bytes);
	return B_OK;
}

status_t
PackData::ReadInt64(BPositionIO* io, int64* value)
{
	uint8 bytes[8];
	if (_ReadExactly(io, bytes, sizeof(bytes)) != B_OK)
		return B_ERROR;
	*value = ReadBig64(bytes);
	return B_OK;
}

status_t
PackData::ReadString(BPositionIO* io, char* buffer, uint32 size)
{
	uint32 length;
	if (_ReadLength(io, &length) != B_OK)
		return B_ERROR;
	uint32 kept = size > 0 ? min_c(length, size - 1) : 0;
	if (_ReadExactly(io, buffer, kept) != B_OK)
		return B_ERROR;
	if (size > 0)
		buffer[kept] = '\0';
	// The rest of a string longer than the buffer is passed over, so the
	// next read meets the next record.
	return _SkipForward(io, length - kept);
}

status_t
PackData::ReadString(BPositionIO* io, char** string, uint32 maxLength, bool keepPrefix)
{
	uint32 stored;
	if (_ReadLength(io, &stored) != B_OK)
		return B_ERROR;
	uint32 length = stored;
	if ((uint64)stored + 1 > maxLength) {
		if (!keepPrefix || maxLength == 0) {
			_SkipForward(io, stored);
			return B_ERROR;
		}
		length = maxLength - 1;
	}

	uint32 capacity = min_c(length, kStringGrowStep) + 1;
	char* text = static_cast<char*>(malloc(capacity));
	if (text == NULL)
		return B_ERROR;
	uint32 done = 0;
	while (done < length) {
		if (done + 1 >= capacity) {
			uint32 grown = (uint32)min_c((uint64)length + 1, (uint64)capacity * 2);
			char* larger = static_cast<char*>(realloc(text, grown));
			if (larger == NULL) {
				free(text);
				return B_ERROR;
			}
			text = larger;
			capacity = grown;
		}
		uint32 piece = min_c(length - done, capacity - 1 - done);
		if (_ReadExactly(io, text + done, piece) != B_OK) {
			free(text);
			return B_ERROR;
		}
		done += piece;
	}
	text[length] = '\0';
	if (length < stored && _SkipForward(io, stored - length) != B_OK) {
		free(text);
		return B_ERROR;
	}
	*string = text;
	return B_OK;
}

status_t
PackData::ReadBuf(BPositionIO* io, char* buffer, uint32 size, uint32* lengthOut)
{
	uint32 length;
	if (_ReadLength(io, &length) != B_OK)
		return B_ERROR;
	if (length > size) {
		_SkipForward(io, length);
		return B_ERROR;
	}
	if (_ReadExactly(io, buffer, length) != B_OK)
		return B_ERROR;
	if (lengthOut != NULL)
		*lengthOut = length;
	return B_OK;
}

status_t
PackData::ReadBin(BPositionIO* dst, BPositionIO* src, int32 flags, progress_callback callback)
{
	uint8 preamble[kBinPreambleSize];
	if (_ReadExactly(src, preamble, sizeof(preamble)) != B_OK)
		return B_ERROR;
	int64 storedSize = ReadBig64(preamble);
	int32 codecID = ReadBig32(preamble + 16);

	// A stored size of -1 means the data runs to the end of the input.
	bool toEnd = storedSize == -1;
	if (storedSize < 0 && !toEnd)
		return B_BAD_DATA;
	if (codecID != fCurrentCodec->ID()) {
		// Not ours to decode: passed over whole, so the stream stays usable.
		if (toEnd)
			_SkipToEnd(src);
		else
			_SkipForward(src, storedSize);
		return B_BAD_DATA;
	}
	if (fBuffer == NULL)
		return B_NO_MEMORY;

	if ((flags & kBinContinueStream) == 0) {
		status_t status = fCurrentCodec->BeginDecode();
		if (status < 0)
			return status;
	}

	int64 remaining = toEnd ? INT64_MAX : storedSize;
	status_t result = B_OK;
	while (remaining > 0) {
		int32 chunk = (int32)min_c(remaining, (int64)fBufferSize);
		bool last = !toEnd && chunk == remaining;
		ssize_t got = src->Read(fBuffer, chunk);
		if (got < 0) {
			result = static_cast<status_t>(got);
			break;
		}
		if (got < chunk) {
			// Short of the stored size, the package ends inside the bin.
			if (!toEnd) {
				result = B_ERROR;
				break;
			}
			last = true;
		}
		remaining -= got;

		int32 consumed = static_cast<int32>(got);
		int32 produced = fCurrentCodec->DecodeBytes(dst, &consumed, fBuffer, last);
		if (produced < 0) {
			result = produced;
			break;
		}
		if (callback != NULL) {
			int32 answer = callback(consumed, produced, fCallbackData);
			if (answer < 0) {
				result = answer;
				break;
			}
		}
		if (last)
			break;
	}

	if ((flags & kBinKeepStream) == 0)
		fCurrentCodec->EndDecode();
	return result;
}

// Skips what follows a record header: a group with everything nested in
// it, counted by depth rather than by recursion, so that no nesting of a
// damaged package can exhaust the stack.
status_t
PackData::_SkipGroup(BPositionIO* io)
{
	int64 depth = 1;
	while (depth > 0) {
		record_header member;
		if (ReadRecordHeader(io, &member) != B_OK)
			return B_ERROR;
		if (member.type == kEndRecord) {
			depth--;
		} else if (member.type == kGroupRecord) {
			depth++;
		} else {
			status_t status = _SkipPayload(io, &member);
			if (status != B_OK)
				return status;
		}
	}
	return B_OK;
}

status_t
PackData::_SkipPayload(BPositionIO* io, const record_header* header)
{
	switch (header->type) {
		case kEndRecord:
			return B_OK;
		case kNumberRecord:
			if (header->count < 0)
				return B_ERROR;
			return _SkipForward(io, (uint64)header->count * 4);
		case kStringRecord:
		case kBufferRecord:
			return SkipString(io);
		case kBinRecord:
			return SkipBin(io);
		case kGroupRecord:
			return _SkipGroup(io);
		default:
			return B_ERROR;
	}
}

status_t
PackData::SkipData(BPositionIO* io, const record_header* header)
{
	return _SkipPayload(io, header);
}

status_t
PackData::SkipString(BPositionIO* io)
{
	uint32 length;
	if (_ReadLength(io, &length) != B_OK)
		return B_ERROR;
	return _SkipForward(io, length);
}

status_t
PackData::SkipBin(BPositionIO* io)
{
	uint8 preamble[kBinPreambleSize];
	if (_ReadExactly(io, preamble, sizeof(preamble)) != B_OK)
		return B_ERROR;
	int64 storedSize = ReadBig64(preamble);
	if (storedSize == -1)
		return _SkipToEnd(io);
	if (storedSize < 0)
		return B_ERROR;
	return _SkipForward(io, storedSize);
}

// #pragma mark - writing

status_t
PackData::WriteRecordHeader(BPositionIO* io, int32 tag, uint8 type, int16 count)
{
	uint8 bytes[kRecordHeaderSize];
	EncodeRecordHeader(bytes, tag, type, count);
	return _WriteExactly(io, bytes, sizeof(bytes));
}

status_t
PackData::WriteEndHeader(BPositionIO* io)
{
	return WriteRecordHeader(io, 0, kEndRecord, 0);
}

status_t
PackData::WriteInt32(BPositionIO* io, int32 value, int32 tag)
{
	uint8 bytes[kRecordHeaderSize + 4];
	size_t size = 0;
	if (tag != kNoHeaderTag) {
		EncodeRecordHeader(bytes, tag, kNumberRecord, 1);
		size = kRecordHeaderSize;
	}
	WriteBig32(bytes + size, value);
	return _WriteExactly(io, bytes, size + 4);
}

status_t
PackData::WriteInt64(BPositionIO* io, int64 value, int32 tag)
{
	uint8 bytes[kRecordHeaderSize + 8];
	size_t size = 0;
	if (tag != kNoHeaderTag) {
		EncodeRecordHeader(bytes, tag, kNumberRecord, 2);
		size = kRecordHeaderSize;
	}
	WriteBig64(bytes + size, value);
	return _WriteExactly(io, bytes, size + 8);
}

status_t
PackData::WriteString(BPositionIO* io, const char* text, int32 tag)
{
	if (text == NULL)
		text = "";
	size_t length = strlen(text);
	if (length > UINT32_MAX)
		return B_BAD_VALUE;
	uint8 bytes[kRecordHeaderSize + 4];
	size_t size = 0;
	if (tag != kNoHeaderTag) {
		EncodeRecordHeader(bytes, tag, kStringRecord, 0);
		size = kRecordHeaderSize;
	}
	WriteBig32(bytes + size, static_cast<int32>(length));
	status_t status = _WriteExactly(io, bytes, size + 4);
	if (status != B_OK)
		return status;
	return _WriteExactly(io, text, length);
}

status_t
PackData::WriteBuf(BPositionIO* io, const void* data, uint32 length, int32 tag)
{
	if (data == NULL && length > 0)
		return B_BAD_VALUE;
	uint8 bytes[kRecordHeaderSize + 4];
	size_t size = 0;
	if (tag != kNoHeaderTag) {
		EncodeRecordHeader(bytes, tag, kBufferRecord, 0);
		size = kRecordHeaderSize;
	}
	WriteBig32(bytes + size, static_cast<int32>(length));
	status_t status = _WriteExactly(io, bytes, size + 4);
	if (status != B_OK)
		return status;
	return _WriteExactly(io, data, length);
}

status_t
PackData::WriteBin(BPositionIO* dst, BPositionIO* src, off_t* storedLimit, off_t* sourceLimit,
	int32* flags, progress_callback callback, int32 tag)
{
	if (fBuffer == NULL)
		return B_NO_MEMORY;
	off_t sourceMax = sourceLimit != NULL ? *sourceLimit : -1;
	off_t storedMax = storedLimit != NULL ? *storedLimit : -1;
	int32 inFlags = flags != NULL ? *flags : 0;
	int32 outFlags = inFlags & kBinContinueStream;

	// Room for the header and the sizes, filled in once they are known.
	size_t reserved = kBinPreambleSize + (tag != kNoHeaderTag ? kRecordHeaderSize : 0);
	off_t headerPosition = dst->Position();
	if (headerPosition < 0)
		return static_cast<status_t>(headerPosition);
	uint8 head[kRecordHeaderSize + kBinPreambleSize] = {};
	status_t status = _WriteExactly(dst, head, reserved);
	if (status != B_OK)
		return status;

	if ((inFlags & kBinContinueStream) == 0) {
		status = fCurrentCodec->BeginEncode();
		if (status < 0)
			return status;
	}

	int64 taken = 0;
	int64 stored = 0;
	for (;;) {
		int64 wanted = fBufferSize;
		if (sourceMax >= 0)
			wanted = min_c(wanted, sourceMax - taken);
		if (storedMax > 0)
			wanted = min_c(wanted, max_c(storedMax - stored, (int64)1));
		ssize_t got = wanted > 0 ? src->Read(fBuffer, wanted) : 0;
		if (got < 0)
			return static_cast<status_t>(got);
		bool last = got < wanted || wanted == 0
			|| (sourceMax >= 0 && taken + got >= sourceMax);

		int32 consumed = static_cast<int32>(got);
		int32 written = fCurrentCodec->EncodeBytes(dst, &consumed, fBuffer, last);
		if (written < 0)
			return written;
		if (consumed != got)
			return B_IO_ERROR;
		taken += got;
		stored += written;
		if (callback != NULL) {
			int32 answer = callback(consumed, written, fCallbackData);
			if (answer < 0)
				return answer;
		}
		if (last)
			break;
		if (storedMax > 0 && stored >= storedMax) {
			outFlags |= kBinStoppedAtLimit;
			break;
		}
	}
	if ((outFlags & kBinStoppedAtLimit) == 0)
		fCurrentCodec->EndEncode();

	off_t endPosition = dst->Position();
	if (endPosition < 0)
		return static_cast<status_t>(endPosition);
	uint8* preamble = head;
	if (tag != kNoHeaderTag) {
		EncodeRecordHeader(head, tag, kBinRecord, static_cast<int16>(outFlags));
		preamble += kRecordHeaderSize;
	}
	WriteBig64(preamble, stored);
	WriteBig64(preamble + 8, taken);
	WriteBig32(preamble + 16, fCurrentCodec->ID());
	if (dst->Seek(headerPosition, SEEK_SET) != headerPosition)
		return B_IO_ERROR;
	status = _WriteExactly(dst, head, reserved);
	if (dst->Seek(endPosition, SEEK_SET) != endPosition && status == B_OK)
		status = B_IO_ERROR;
	if (status != B_OK)
		return status;

	if (storedLimit != NULL)
		*storedLimit = stored;
	if (sourceLimit != NULL)
		*sourceLimit = taken;
	if (flags != NULL)
		*flags = outFlags;
	return B_OK;
}
