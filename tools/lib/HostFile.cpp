#include "HostFile.h"

#include <Errors.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

HostFile::HostFile()
	:
	fFD(-1),
	fPosition(0),
	fStatus(B_NO_INIT)
{
}


HostFile::HostFile(const char* path, int flags, mode_t mode)
	:
	HostFile()
{
	SetTo(path, flags, mode);
}


HostFile::~HostFile()
{
	Unset();
}


status_t
HostFile::SetTo(const char* path, int flags, mode_t mode)
{
	Unset();
	if (path == nullptr)
		return fStatus = B_BAD_VALUE;
	fFD = open(path, flags | O_CLOEXEC, mode);
	fStatus = fFD < 0 ? errno_status() : B_OK;
	return fStatus;
}


void
HostFile::Unset()
{
	if (fFD >= 0)
		close(fFD);
	fFD = -1;
	fPosition = 0;
	fStatus = B_NO_INIT;
}


status_t
HostFile::InitCheck() const
{
	return fStatus;
}


ssize_t
HostFile::ReadAt(off_t position, void* buffer, size_t size)
{
	if (fFD < 0)
		return B_NO_INIT;
	if (position < 0)
		return B_BAD_VALUE;
	size_t done = 0;
	while (done < size) {
		ssize_t result = pread(fFD, (char*)buffer + done, size - done, position + done);
		if (result < 0) {
			if (errno == EINTR)
				continue;
			return done > 0 ? (ssize_t)done : errno_status();
		}
		if (result == 0)
			break;
		done += result;
	}
	return done;
}


ssize_t
HostFile::WriteAt(off_t position, const void* buffer, size_t size)
{
	if (fFD < 0)
		return B_NO_INIT;
	if (position < 0)
		return B_BAD_VALUE;
	size_t done = 0;
	while (done < size) {
		ssize_t result = pwrite(fFD, (const char*)buffer + done, size - done,
			position + done);
		if (result < 0) {
			if (errno == EINTR)
				continue;
			return done > 0 ? (ssize_t)done : errno_status();
		}
		done += result;
	}
	return done;
}


off_t
HostFile::Seek(off_t position, uint32 seekMode)
{
	if (fFD < 0)
		return B_NO_INIT;
	off_t base = 0;
	if (seekMode == SEEK_CUR)
		base = fPosition;
	else if (seekMode == SEEK_END) {
		off_t size;
		status_t status = GetSize(&size);
		if (status != B_OK)
			return status;
		base = size;
	} else if (seekMode != SEEK_SET)
		return B_BAD_VALUE;
	if (base + position < 0)
		return B_BAD_VALUE;
	return fPosition = base + position;
}


off_t
HostFile::Position() const
{
	return fPosition;
}


status_t
HostFile::SetSize(off_t size)
{
	if (fFD < 0)
		return B_NO_INIT;
	return ftruncate(fFD, size) == 0 ? B_OK : errno_status();
}


status_t
HostFile::GetSize(off_t* size) const
{
	if (fFD < 0)
		return B_NO_INIT;
	struct stat st;
	if (fstat(fFD, &st) != 0)
		return errno_status();
	*size = st.st_size;
	return B_OK;
}


status_t
HostFile::WriteFully(const void* buffer, size_t size)
{
	ssize_t written = Write(buffer, size);
	if (written < 0)
		return written;
	return (size_t)written == size ? B_OK : B_IO_ERROR;
}
