#include <MallocIO.h>

#include <cstdlib>
#include <cstring>

BMallocIO::BMallocIO()
	:
	fBlockSize(256),
	fMallocSize(0),
	fLength(0),
	fData(nullptr),
	fPosition(0)
{
}

BMallocIO::~BMallocIO()
{
	free(fData);
}

status_t
BMallocIO::Reserve(size_t size)
{
	if (size <= fMallocSize)
		return B_OK;
	size_t newSize = (size + fBlockSize - 1) / fBlockSize * fBlockSize;
	char* data = static_cast<char*>(realloc(fData, newSize));
	if (data == nullptr)
		return B_NO_MEMORY;
	fData = data;
	fMallocSize = newSize;
	return B_OK;
}

ssize_t
BMallocIO::ReadAt(off_t position, void* buffer, size_t size)
{
	if (buffer == nullptr || position < 0)
		return B_BAD_VALUE;
	if (static_cast<size_t>(position) >= fLength)
		return 0;
	size_t available = fLength - position;
	if (size > available)
		size = available;
	memcpy(buffer, fData + position, size);
	return size;
}

ssize_t
BMallocIO::WriteAt(off_t position, const void* buffer, size_t size)
{
	if (buffer == nullptr || position < 0)
		return B_BAD_VALUE;
	// Nothing to write: an empty buffer has no memory to write into yet.
	if (size == 0)
		return 0;
	size_t end = position + size;
	status_t status = Reserve(end);
	if (status != B_OK)
		return status;
	if (static_cast<size_t>(position) > fLength)
		memset(fData + fLength, 0, position - fLength);
	// An empty buffer that nothing extended has no storage yet.
	if (size > 0)
		memcpy(fData + position, buffer, size);
	if (end > fLength)
		fLength = end;
	return size;
}

off_t
BMallocIO::Seek(off_t position, uint32 seekMode)
{
	off_t target = _SeekTarget(position, seekMode, fPosition, fLength);
	if (target >= 0)
		fPosition = target;
	return target;
}

status_t
BMallocIO::SetSize(off_t size)
{
	if (size < 0)
		return B_BAD_VALUE;
	if (size == 0) {
		free(fData);
		fData = nullptr;
		fMallocSize = 0;
		fLength = 0;
		return B_OK;
	}
	status_t status = Reserve(size);
	if (status != B_OK)
		return status;
	if (static_cast<size_t>(size) > fLength)
		memset(fData + fLength, 0, size - fLength);
	fLength = size;
	return B_OK;
}

void
BMallocIO::SetBlockSize(size_t blockSize)
{
	fBlockSize = blockSize > 0 ? blockSize : 1;
}
