#include "FileLock.h"

#include "Directory.h"
#include "FileDescriptor.h"

#include <Errors.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BPrivate {

namespace {

// Whether the open file `fd` is still the one called `name` in the folder.
bool
IsNamedFile(int folderFd, const char* name, int fd)
{
	struct stat named, open;
	return fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0
		&& fstat(fd, &open) == 0 && named.st_dev == open.st_dev
		&& named.st_ino == open.st_ino;
}

} // namespace


FileLock::FileLock()
	:
	fFolderFd(-1),
	fFd(-1)
{
}


FileLock::~FileLock()
{
	Unlock();
}


status_t
FileLock::TryLock(BDirectory* folder, const char* name)
{
	if (IsLocked())
		return B_OK;
	if (folder == nullptr || name == nullptr)
		return B_BAD_VALUE;
	int folderFd = folder->Dup();
	if (folderFd < 0)
		return folderFd;
	FileDescriptor directory(folderFd);
	for (;;) {
		// Close-on-exec: a child (an install script, a daemon it starts)
		// must not keep the lock after the holder is gone.
		FileDescriptor file(openat(directory.Get(), name,
			O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
		if (!file.IsValid())
			return errno_status();
		if (flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
			if (errno == EINTR)
				continue;
			return errno == EWOULDBLOCK ? B_BUSY : errno_status();
		}
		// The holder before removed the file after this one opened it: the
		// lock is on a file nobody else will find.
		if (!IsNamedFile(directory.Get(), name, file.Get()))
			continue;
		fFolderFd = directory.Release();
		fFd = file.Release();
		fName = name;
		return B_OK;
	}
}


void
FileLock::Unlock()
{
	if (fFd < 0)
		return;
	// Removed while still held, so that no one locks the file being left.
	if (IsNamedFile(fFolderFd, fName.c_str(), fFd))
		unlinkat(fFolderFd, fName.c_str(), 0);
	Release();
}


void
FileLock::Release()
{
	if (fFd < 0)
		return;
	close(fFd);
	close(fFolderFd);
	fFd = -1;
	fFolderFd = -1;
}

} // namespace BPrivate
