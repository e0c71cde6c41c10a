#include "BufferedOutput.h"

#include <Errors.h>

#include <fcntl.h>

#include <algorithm>
#include <cstring>

BufferedOutput::BufferedOutput(HostFile* file)
	:
	fFile(file),
	fBuffer(new uint8[kBufferSize]),
	fBufferStart(file->Position()),
	fBuffered(0),
	fPosition(file->Position()),
	fWrittenBack(file->Position())
{
}


ssize_t
BufferedOutput::ReadAt(off_t position, void* buffer, size_t size)
{
	status_t status = Flush();
	if (status != B_OK)
		return status;
	return fFile->ReadAt(position, buffer, size);
}


ssize_t
BufferedOutput::WriteAt(off_t position, const void* buffer, size_t size)
{
	if (position < 0)
		return B_BAD_VALUE;
	bool follows = position == fBufferStart + (off_t)fBuffered;
	if (!follows || fBuffered + size > kBufferSize) {
		status_t status = Flush();
		if (status != B_OK)
			return status;
		fBufferStart = position;
	}
	// What would fill the buffer on its own goes straight to the file.
	if (size >= kBufferSize) {
		ssize_t written = _WriteThrough(position, buffer, size);
		if (written > 0)
			fBufferStart = position + written;
		return written;
	}
	memcpy(fBuffer.get() + fBuffered, buffer, size);
	fBuffered += size;
	return (ssize_t)size;
}


off_t
BufferedOutput::Seek(off_t position, uint32 seekMode)
{
	off_t end = 0;
	if (seekMode == SEEK_END) {
		status_t status = GetSize(&end);
		if (status != B_OK)
			return status;
	}
	off_t target = _SeekTarget(position, seekMode, fPosition, end);
	if (target >= 0)
		fPosition = target;
	return target;
}


status_t
BufferedOutput::SetSize(off_t size)
{
	status_t status = Flush();
	if (status != B_OK)
		return status;
	return fFile->SetSize(size);
}


status_t
BufferedOutput::GetSize(off_t* size) const
{
	status_t status = fFile->GetSize(size);
	if (status == B_OK)
		*size = std::max(*size, fBufferStart + (off_t)fBuffered);
	return status;
}


status_t
BufferedOutput::Flush()
{
	if (fBuffered == 0)
		return B_OK;
	ssize_t written = _WriteThrough(fBufferStart, fBuffer.get(), fBuffered);
	if (written < 0)
		return (status_t)written;
	fBufferStart += (off_t)fBuffered;
	fBuffered = 0;
	return B_OK;
}


ssize_t
BufferedOutput::_WriteThrough(off_t position, const void* buffer, size_t size)
{
	ssize_t written = fFile->WriteAt(position, buffer, size);
	if (written >= 0 && (size_t)written != size)
		return B_IO_ERROR;
	if (written > 0)
		_StartWriteback(position + written);
	return written;
}


// Only for an output that grows at its end: a stretch rewritten in place
// (the header) is left to the final sync.
void
BufferedOutput::_StartWriteback(off_t end)
{
	if (end - fWrittenBack < kWritebackStep)
		return;
	// Advice only: a failure shows at the final sync.
	sync_file_range(fFile->Descriptor(), fWrittenBack, end - fWrittenBack,
		SYNC_FILE_RANGE_WRITE);
	fWrittenBack = end;
}
