#include "FileRange.h"

#include <Errors.h>

#include <algorithm>

FileRange::FileRange(BPositionIO* source, off_t start, off_t size)
	:
	fSource(source),
	fStart(start),
	fSize(size),
	fPosition(0)
{
}


ssize_t
FileRange::ReadAt(off_t position, void* buffer, size_t size)
{
	if (position < 0)
		return B_BAD_VALUE;
	if (position >= fSize)
		return 0;
	size = (size_t)std::min<off_t>((off_t)size, fSize - position);
	return fSource->ReadAt(fStart + position, buffer, size);
}


ssize_t
FileRange::WriteAt(off_t, const void*, size_t)
{
	return B_NOT_ALLOWED;
}


off_t
FileRange::Seek(off_t position, uint32 seekMode)
{
	off_t base = seekMode == SEEK_CUR ? fPosition : seekMode == SEEK_END ? fSize : 0;
	if (seekMode != SEEK_SET && seekMode != SEEK_CUR && seekMode != SEEK_END)
		return B_BAD_VALUE;
	if (base + position < 0)
		return B_BAD_VALUE;
	return fPosition = base + position;
}


off_t
FileRange::Position() const
{
	return fPosition;
}


status_t
FileRange::GetSize(off_t* size) const
{
	*size = fSize;
	return B_OK;
}
