#include <File.h>

#include <Directory.h>
#include <Entry.h>
#include <PathResolver.h>
#include <SystemRoot.h>
#include <VolumeTable.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int kOpenModeMask = O_ACCMODE | O_CREAT | O_EXCL | O_TRUNC | O_APPEND;

}	// namespace

BFile::BFile()
{
}

BFile::BFile(const BFile& file)
	:
	BNode(),
	BPositionIO()
{
	*this = file;
}

BFile::BFile(const entry_ref* ref, uint32 openMode)
{
	SetTo(ref, openMode);
}

BFile::BFile(const BEntry* entry, uint32 openMode)
{
	SetTo(entry, openMode);
}

BFile::BFile(const char* path, uint32 openMode)
{
	SetTo(path, openMode);
}

BFile::BFile(const BDirectory* dir, const char* path, uint32 openMode)
{
	SetTo(dir, path, openMode);
}

BFile::~BFile()
{
}

void
BFile::Unset()
{
	BNode::Unset();
}

status_t
BFile::_Open(int dirFd, dev_t device, const char* leaf, uint32 openMode)
{
	Unset();
	int flags = openMode & kOpenModeMask;
	int fd;
	dev_t nodeDevice;
	status_t status = PathResolver::OpenNode(dirFd, device, leaf, flags, &fd, &nodeDevice,
		0666);
	if (status != B_OK)
		return fCStatus = status;
	// A directory opens only for reading (the host refuses to write one).
	if ((flags & O_ACCMODE) == O_RDONLY) {
		struct stat st;
		if (fstat(fd, &st) != 0)
			status = errno_status();
		else if (S_ISDIR(st.st_mode))
			status = B_IS_A_DIRECTORY;
		if (status != B_OK) {
			close(fd);
			return fCStatus = status;
		}
	}
	return _SetToDescriptor(fd, nodeDevice, flags & ~(O_CREAT | O_EXCL | O_TRUNC));
}

status_t
BFile::_OpenPath(const BDirectory* dir, const char* path, uint32 openMode)
{
	Unset();
	ResolvedEntry entry;
	status_t status;
	if (dir != nullptr) {
		if (dir->InitCheck() != B_OK)
			return fCStatus = dir->InitCheck();
		status = PathResolver::ResolveAt(dir->fFd, dir->fDevice, path, true, &entry);
	} else
		status = PathResolver::Resolve(path, true, &entry);
	if (status != B_OK)
		return fCStatus = status;
	return _Open(entry.directory.Get(), entry.device, entry.leaf.c_str(), openMode);
}

status_t
BFile::SetTo(const entry_ref* ref, uint32 openMode)
{
	Unset();
	if (ref == nullptr)
		return fCStatus = B_BAD_VALUE;
	BEntry entry(ref, true);
	return SetTo(&entry, openMode);
}

status_t
BFile::SetTo(const BEntry* entry, uint32 openMode)
{
	Unset();
	if (entry == nullptr)
		return fCStatus = B_BAD_VALUE;
	if (entry->InitCheck() != B_OK)
		return fCStatus = entry->InitCheck();
	if (entry->IsSymLink()) {
		// A link named as the file is followed, inside the root.
		ResolvedEntry target;
		status_t status = PathResolver::Traverse(entry->fDirFd, entry->fDevice, entry->fName,
			&target);
		if (status != B_OK)
			return fCStatus = status;
		return _Open(target.directory.Get(), target.device, target.leaf.c_str(), openMode);
	}
	return _Open(entry->fDirFd, entry->fDevice, entry->fName.c_str(), openMode);
}

status_t
BFile::SetTo(const char* path, uint32 openMode)
{
	return _OpenPath(nullptr, path, openMode);
}

status_t
BFile::SetTo(const BDirectory* dir, const char* path, uint32 openMode)
{
	if (dir == nullptr) {
		Unset();
		return fCStatus = B_BAD_VALUE;
	}
	return _OpenPath(dir, path, openMode);
}

bool
BFile::IsReadable() const
{
	return fCStatus == B_OK && (fOpenFlags & O_ACCMODE) != O_WRONLY;
}

bool
BFile::IsWritable() const
{
	return fCStatus == B_OK && (fOpenFlags & O_ACCMODE) != O_RDONLY;
}

ssize_t
BFile::Read(void* buffer, size_t size)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (!IsReadable())
		return B_NOT_ALLOWED;
	ssize_t result = read(fFd, buffer, size);
	return result >= 0 ? result : errno_status();
}

ssize_t
BFile::ReadAt(off_t position, void* buffer, size_t size)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (!IsReadable())
		return B_NOT_ALLOWED;
	if (position < 0)
		return B_BAD_VALUE;
	ssize_t result = pread(fFd, buffer, size, position);
	return result >= 0 ? result : errno_status();
}

ssize_t
BFile::Write(const void* buffer, size_t size)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (!IsWritable())
		return B_NOT_ALLOWED;
	ssize_t result = write(fFd, buffer, size);
	return result >= 0 ? result : errno_status();
}

ssize_t
BFile::WriteAt(off_t position, const void* buffer, size_t size)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (!IsWritable())
		return B_NOT_ALLOWED;
	if (position < 0)
		return B_BAD_VALUE;
	ssize_t result = pwrite(fFd, buffer, size, position);
	return result >= 0 ? result : errno_status();
}

off_t
BFile::Seek(off_t position, uint32 seekMode)
{
	if (fCStatus != B_OK)
		return fCStatus;
	off_t result = lseek(fFd, position, seekMode);
	return result >= 0 ? result : errno_status();
}

off_t
BFile::Position() const
{
	if (fCStatus != B_OK)
		return fCStatus;
	off_t result = lseek(fFd, 0, SEEK_CUR);
	return result >= 0 ? result : errno_status();
}

status_t
BFile::SetSize(off_t size)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (!IsWritable())
		return B_NOT_ALLOWED;
	if (size < 0)
		return B_BAD_VALUE;
	// A file already that long is left alone: on a journalling file system
	// cutting it to its own size is still an inode update.
	struct stat st;
	if (fstat(fFd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == size)
		return B_OK;
	return ftruncate(fFd, size) == 0 ? B_OK : errno_status();
}

status_t
BFile::GetSize(off_t* size) const
{
	return BStatable::GetSize(size);
}

BFile&
BFile::operator=(const BFile& file)
{
	if (this == &file)
		return *this;
	Unset();
	if (file.fCStatus != B_OK) {
		fCStatus = file.fCStatus;
		return *this;
	}
	// Reopening (not dup) gives the copy a file position of its own.
	int flags = file.fOpenFlags & (O_ACCMODE | O_APPEND);
	int fd = open(descriptor_proc_path(file.fFd).c_str(), flags | O_CLOEXEC | O_NOCTTY);
	if (fd < 0) {
		fCStatus = errno_status();
		return *this;
	}
	lseek(fd, lseek(file.fFd, 0, SEEK_CUR), SEEK_SET);
	_SetToDescriptor(fd, file.fDevice, flags);
	return *this;
}
