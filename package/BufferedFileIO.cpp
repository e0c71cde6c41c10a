#include "BufferedFileIO.h"

#include <Errors.h>
#include <File.h>

#include <algorithm>
#include <cstring>

BufferedFileIO::BufferedFileIO(BFile* file, size_t blockSize)
	:
	fFile(file),
	fBlock(blockSize),
	fBlockStart(0),
	fBlockLength(0),
	fPosition(0)
{
	if (fFile != NULL)
		fPosition = fFile->Position();
}


BufferedFileIO::~BufferedFileIO()
{
	delete fFile;
}


status_t
BufferedFileIO::InitCheck() const
{
	return fFile != NULL ? fFile->InitCheck() : B_NO_INIT;
}


ssize_t
BufferedFileIO::ReadAt(off_t position, void* buffer, size_t size)
{
	if (fFile == NULL)
		return B_NO_INIT;
	if (position < 0)
		return B_BAD_VALUE;
	// What the block cannot hold goes straight to the file.
	if (size >= fBlock.size())
		return fFile->ReadAt(position, buffer, size);

	char* out = static_cast<char*>(buffer);
	size_t done = 0;
	while (done < size) {
		off_t at = position + (off_t)done;
		if (at < fBlockStart || at >= fBlockStart + (off_t)fBlockLength) {
			ssize_t filled = _Fill(at);
			// A failure with nothing read yet is the file's own, as a read
			// of the file itself would report it.
			if (filled < 0 && done == 0)
				return filled;
			if (filled <= 0)
				break;
		}
		size_t offset = (size_t)(at - fBlockStart);
		size_t count = std::min(size - done, fBlockLength - offset);
		memcpy(out + done, fBlock.data() + offset, count);
		done += count;
	}
	return (ssize_t)done;
}


ssize_t
BufferedFileIO::_Fill(off_t position)
{
	ssize_t read = fFile->ReadAt(position, fBlock.data(), fBlock.size());
	if (read <= 0) {
		fBlockLength = 0;
		return read;
	}
	fBlockStart = position;
	fBlockLength = (size_t)read;
	return read;
}


ssize_t
BufferedFileIO::WriteAt(off_t, const void*, size_t)
{
	return B_NOT_ALLOWED;
}


off_t
BufferedFileIO::Seek(off_t position, uint32 seekMode)
{
	off_t target;
	switch (seekMode) {
		case SEEK_SET:
			target = position;
			break;
		case SEEK_CUR:
			target = fPosition + position;
			break;
		case SEEK_END:
		{
			off_t size = 0;
			status_t status = GetSize(&size);
			if (status != B_OK)
				return status;
			target = size + position;
			break;
		}
		default:
			return B_BAD_VALUE;
	}
	if (target < 0)
		return B_BAD_VALUE;
	fPosition = target;
	return fPosition;
}


off_t
BufferedFileIO::Position() const
{
	return fPosition;
}


status_t
BufferedFileIO::GetSize(off_t* size) const
{
	return fFile != NULL ? fFile->GetSize(size) : B_NO_INIT;
}
