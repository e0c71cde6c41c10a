#include <MemoryIO.h>

#include <cstring>

BMemoryIO::BMemoryIO(void* data, size_t length)
	:
	fReadOnly(false),
	fBuffer(static_cast<char*>(data)),
	fLength(length),
	fBufferSize(length),
	fPosition(0)
{
}

BMemoryIO::BMemoryIO(const void* data, size_t length)
	:
	BMemoryIO(const_cast<void*>(data), length)
{
	fReadOnly = true;
}

BMemoryIO::~BMemoryIO()
{
}

ssize_t
BMemoryIO::ReadAt(off_t position, void* buffer, size_t size)
{
	if (buffer == nullptr || position < 0)
		return B_BAD_VALUE;
	if (static_cast<size_t>(position) >= fLength)
		return 0;
	size_t available = fLength - position;
	if (size > available)
		size = available;
	memcpy(buffer, fBuffer + position, size);
	return size;
}

ssize_t
BMemoryIO::WriteAt(off_t position, const void* buffer, size_t size)
{
	if (fReadOnly)
		return B_NOT_ALLOWED;
	if (buffer == nullptr || position < 0)
		return B_BAD_VALUE;
	if (static_cast<size_t>(position) >= fBufferSize)
		return 0;
	size_t room = fBufferSize - position;
	if (size > room)
		size = room;
	memcpy(fBuffer + position, buffer, size);
	if (position + size > fLength)
		fLength = position + size;
	return size;
}

off_t
BMemoryIO::Seek(off_t position, uint32 seekMode)
{
	off_t target = _SeekTarget(position, seekMode, fPosition, fLength);
	if (target >= 0)
		fPosition = target;
	return target;
}

status_t
BMemoryIO::SetSize(off_t size)
{
	if (fReadOnly)
		return B_NOT_ALLOWED;
	if (size < 0 || static_cast<size_t>(size) > fBufferSize)
		return B_ERROR;
	fLength = size;
	return B_OK;
}
