#include <Errors.h>

#include <cerrno>
#include <cstring>

namespace {

struct ErrnoPair {
	int error;
	int32_t status;
};

// The host errno values with a platform meaning. Everything else is carried as
// B_POSIX_UNMAPPED_BASE + errno.
const ErrnoPair kErrnoTable[] = {
	{ENOMEM, B_NO_MEMORY},
	{EIO, B_IO_ERROR},
	{EACCES, B_PERMISSION_DENIED},
	{EPERM, B_NOT_ALLOWED},
	{EINVAL, B_BAD_VALUE},
	{ETIMEDOUT, B_TIMED_OUT},
	{EINTR, B_INTERRUPTED},
	{EAGAIN, B_WOULD_BLOCK},
	{ECANCELED, B_CANCELED},
	{EBUSY, B_BUSY},
	{EBADMSG, B_BAD_DATA},
	{EFAULT, B_BAD_ADDRESS},
	{ENOEXEC, B_NOT_AN_EXECUTABLE},
	{ESRCH, B_BAD_THREAD_ID},
	{EEXIST, B_FILE_EXISTS},
	{ENOENT, B_ENTRY_NOT_FOUND},
	{ENAMETOOLONG, B_NAME_TOO_LONG},
	{ENOTDIR, B_NOT_A_DIRECTORY},
	{ENOTEMPTY, B_DIRECTORY_NOT_EMPTY},
	{ENOSPC, B_DEVICE_FULL},
	{EROFS, B_READ_ONLY_DEVICE},
	{EISDIR, B_IS_A_DIRECTORY},
	{EMFILE, B_NO_MORE_FDS},
	{EXDEV, B_CROSS_DEVICE_LINK},
	{ELOOP, B_LINK_LIMIT},
	{EPIPE, B_BUSTED_PIPE},
	{EOPNOTSUPP, B_UNSUPPORTED},
	{EBADF, B_FILE_ERROR},
	{ENODATA, B_ENTRY_NOT_FOUND},
	{E2BIG, B_POSIX_ERROR_BASE + 1},
	{ECHILD, B_POSIX_ERROR_BASE + 2},
	{EDEADLK, B_POSIX_ERROR_BASE + 3},
	{EFBIG, B_POSIX_ERROR_BASE + 4},
	{EMLINK, B_POSIX_ERROR_BASE + 5},
	{ENFILE, B_POSIX_ERROR_BASE + 6},
	{ENODEV, B_POSIX_ERROR_BASE + 7},
	{ENOLCK, B_POSIX_ERROR_BASE + 8},
	{ENOSYS, B_POSIX_ERROR_BASE + 9},
	{ENOTTY, B_POSIX_ERROR_BASE + 10},
	{ENXIO, B_POSIX_ERROR_BASE + 11},
	{ESPIPE, B_POSIX_ERROR_BASE + 12},
	{EDOM, B_POSIX_ERROR_BASE + 16},
	{ERANGE, B_POSIX_ERROR_BASE + 17},
};

struct StatusText {
	int32_t status;
	const char* text;
};

const StatusText kStatusTexts[] = {
	{B_OK, "No error"},
	{B_ERROR, "General error"},
	{B_NO_MEMORY, "Out of memory"},
	{B_IO_ERROR, "I/O error"},
	{B_PERMISSION_DENIED, "Permission denied"},
	{B_BAD_INDEX, "Index not in range for the data set"},
	{B_BAD_TYPE, "Bad argument type passed to function"},
	{B_BAD_VALUE, "Bad value passed to function"},
	{B_MISMATCHED_VALUES, "Mismatched values passed to function"},
	{B_NAME_NOT_FOUND, "Name not found"},
	{B_NAME_IN_USE, "Name in use"},
	{B_TIMED_OUT, "Operation timed out"},
	{B_INTERRUPTED, "Interrupted system call"},
	{B_WOULD_BLOCK, "Operation would block"},
	{B_CANCELED, "Operation canceled"},
	{B_NO_INIT, "Initialization failed"},
	{B_BUSY, "Device/File/Resource busy"},
	{B_NOT_ALLOWED, "Operation not allowed"},
	{B_BAD_DATA, "Bad data"},
	{B_BAD_THREAD_ID, "No such thread"},
	{B_NO_MORE_THREADS, "No more threads"},
	{B_BAD_ADDRESS, "Bad address"},
	{B_NOT_AN_EXECUTABLE, "Not an executable"},
	{B_BAD_REPLY, "Bad reply"},
	{B_DUPLICATE_REPLY, "Duplicate reply"},
	{B_MESSAGE_TO_SELF, "Can't send message to self"},
	{B_BAD_HANDLER, "Bad handler"},
	{B_FILE_ERROR, "Bad file descriptor"},
	{B_FILE_EXISTS, "File or directory already exists"},
	{B_ENTRY_NOT_FOUND, "No such file or directory"},
	{B_NAME_TOO_LONG, "File or directory name too long"},
	{B_NOT_A_DIRECTORY, "Not a directory"},
	{B_DIRECTORY_NOT_EMPTY, "Directory not empty"},
	{B_DEVICE_FULL, "No space left on device"},
	{B_READ_ONLY_DEVICE, "Read-only file system"},
	{B_IS_A_DIRECTORY, "Is a directory"},
	{B_NO_MORE_FDS, "Too many open files"},
	{B_CROSS_DEVICE_LINK, "Cross-device link"},
	{B_LINK_LIMIT, "Too many symbolic links"},
	{B_BUSTED_PIPE, "Broken pipe"},
	{B_UNSUPPORTED, "Operation not supported"},
};

} // namespace

int32_t
errno_to_status(int error)
{
	if (error == 0)
		return B_OK;
	if (error == EWOULDBLOCK)
		error = EAGAIN;
	for (const ErrnoPair& pair : kErrnoTable) {
		if (pair.error == error)
			return pair.status;
	}
	return B_POSIX_UNMAPPED_BASE + error;
}

int
status_to_errno(int32_t status)
{
	if (status >= 0)
		return 0;
	if (status == B_ERROR)
		return EIO;
	if (status >= B_POSIX_UNMAPPED_BASE && status < B_POSIX_UNMAPPED_BASE + 0x1000)
		return status - B_POSIX_UNMAPPED_BASE;
	for (const ErrnoPair& pair : kErrnoTable) {
		if (pair.status == status)
			return pair.error;
	}
	return EIO;
}

int32_t
errno_status()
{
	return errno_to_status(errno);
}

const char*
strerror_status(int32_t status)
{
	for (const StatusText& entry : kStatusTexts) {
		if (entry.status == status)
			return entry.text;
	}
	int error = status_to_errno(status);
	if (error != 0 && error != EIO)
		return strerror(error);
	return "Unknown error";
}
