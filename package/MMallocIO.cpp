#include "MMallocIO.h"

#include <cstdlib>
#include <cstring>

namespace {

const uint32 kDefaultBlockSize = 4096;

} // namespace

MMallocIO::MMallocIO(char* buffer, uint32 size)
	:
	fBlockSize(kDefaultBlockSize),
	fPosition(0),
	fBuffer(buffer),
	fCapacity(size),
	fLength(size),
	fDispose(false),
	fOwnsBuffer(false)
{
	if (buffer != NULL)
		return;
	fDispose = true;
	fOwnsBuffer = true;
	if (size == 0) {
		fBuffer = static_cast<char*>(malloc(fBlockSize));
		fCapacity = fBuffer != NULL ? fBlockSize : 0;
		fLength = 0;
	} else {
		fBuffer = static_cast<char*>(calloc(1, size));
		if (fBuffer == NULL)
			fCapacity = fLength = 0;
	}
}

MMallocIO::~MMallocIO()
{
	if (fDispose)
		free(fBuffer);
}

void
MMallocIO::SetBlockSize(uint32 blockSize)
{
	if (blockSize != 0)
		fBlockSize = blockSize;
}

status_t
MMallocIO::_Grow(size_t needed)
{
	if (needed <= fCapacity)
		return B_OK;
	size_t blocks = needed / fBlockSize + (needed % fBlockSize != 0 ? 1 : 0);
	if (blocks > SIZE_MAX / fBlockSize)
		return B_NO_MEMORY;
	size_t capacity = blocks * fBlockSize;

	char* grown;
	if (fOwnsBuffer) {
		grown = static_cast<char*>(realloc(fBuffer, capacity));
	} else {
		// The caller's buffer may not come from malloc: copied, never
		// resized. The copy is the stream's own from now on.
		grown = static_cast<char*>(malloc(capacity));
		if (grown != NULL && fLength > 0)
			memcpy(grown, fBuffer, fLength);
	}
	if (grown == NULL)
		return B_NO_MEMORY;
	if (!fOwnsBuffer) {
		fOwnsBuffer = true;
		fDispose = true;
	}
	fBuffer = grown;
	fCapacity = capacity;
	return B_OK;
}

ssize_t
MMallocIO::ReadAt(off_t position, void* buffer, size_t size)
{
	if (position < 0)
		return B_BAD_VALUE;
	if ((uint64)position >= fLength)
		return 0;
	size_t count = min_c(size, fLength - (size_t)position);
	memcpy(buffer, fBuffer + position, count);
	return count;
}

ssize_t
MMallocIO::WriteAt(off_t position, const void* buffer, size_t size)
{
	if (position < 0 || (buffer == NULL && size > 0))
		return B_BAD_VALUE;
	if (size > (size_t)SSIZE_MAX || (uint64)position > SIZE_MAX - size)
		return B_NO_MEMORY;
	size_t end = (size_t)position + size;
	if (_Grow(end) != B_OK)
		return B_NO_MEMORY;
	// A write beyond the data leaves no stale bytes in the gap.
	if ((size_t)position > fLength)
		memset(fBuffer + fLength, 0, (size_t)position - fLength);
	if (size > 0)
		memcpy(fBuffer + position, buffer, size);
	if (end > fLength)
		fLength = end;
	return size;
}

off_t
MMallocIO::Seek(off_t position, uint32 seekMode)
{
	off_t base;
	switch (seekMode) {
		case SEEK_SET:
			base = 0;
			break;
		case SEEK_CUR:
			base = fPosition;
			break;
		case SEEK_END:
			base = fLength;
			break;
		default:
			return B_ERROR;
	}
	if ((position > 0 && base > INT64_MAX - position))
		return B_ERROR;
	off_t target = base + position;
	if (target < 0 || (uint64)target > fLength)
		return B_ERROR;
	fPosition = target;
	return fPosition;
}

status_t
MMallocIO::GetSize(off_t* size) const
{
	if (size == NULL)
		return B_BAD_VALUE;
	*size = fLength;
	return B_OK;
}
