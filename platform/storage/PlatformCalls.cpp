#include <PlatformCalls.h>

#include <PathResolver.h>
#include <SystemRoot.h>
#include <VolumeTable.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int
fail_with(status_t status)
{
	errno = status_to_errno(status);
	return -1;
}

int
fopen_flags(const char* mode)
{
	int flags;
	switch (mode[0]) {
		case 'r':
			flags = O_RDONLY;
			break;
		case 'w':
			flags = O_WRONLY | O_CREAT | O_TRUNC;
			break;
		case 'a':
			flags = O_WRONLY | O_CREAT | O_APPEND;
			break;
		default:
			return -1;
	}
	for (const char* c = mode + 1; *c != '\0'; c++) {
		if (*c == '+')
			flags = (flags & ~O_ACCMODE) | O_RDWR;
		else if (*c == 'x')
			flags |= O_EXCL;
	}
	return flags;
}

}	// namespace

int
platform_open(const char* path, int flags, mode_t mode)
{
	ResolvedEntry entry;
	bool follow = (flags & O_NOFOLLOW) == 0;
	status_t status = PathResolver::Resolve(path, follow, &entry);
	if (status != B_OK)
		return fail_with(status);
	int fd;
	dev_t device;
	status = PathResolver::OpenNode(entry.directory.Get(), entry.device, entry.leaf,
		flags | O_CLOEXEC, &fd, &device, mode);
	if (status != B_OK)
		return fail_with(status);
	return fd;
}

FILE*
platform_fopen(const char* path, const char* mode)
{
	if (path == nullptr || mode == nullptr) {
		errno = EINVAL;
		return nullptr;
	}
	int flags = fopen_flags(mode);
	if (flags < 0) {
		errno = EINVAL;
		return nullptr;
	}
	int fd = platform_open(path, flags, 0666);
	if (fd < 0)
		return nullptr;
	FILE* stream = fdopen(fd, mode);
	if (stream == nullptr) {
		int error = errno;
		close(fd);
		errno = error;
	}
	return stream;
}

int
platform_chdir(const char* path)
{
	ResolvedEntry entry;
	status_t status = PathResolver::Resolve(path, true, &entry);
	if (status != B_OK)
		return fail_with(status);
	int fd;
	dev_t device;
	status = PathResolver::OpenNode(entry.directory.Get(), entry.device, entry.leaf,
		O_PATH | O_DIRECTORY, &fd, &device);
	if (status != B_OK)
		return fail_with(status);
	int result = fchdir(fd);
	int error = errno;
	close(fd);
	if (result != 0) {
		errno = error;
		return -1;
	}
	VolumeTable::Default().SetWorkingDirectory(entry.Path());
	return 0;
}

int
platform_open_executable(const char* path)
{
	ResolvedEntry entry;
	status_t status = PathResolver::Resolve(path, true, &entry);
	if (status != B_OK)
		return fail_with(status);
	int fd;
	dev_t device;
	status = PathResolver::OpenNode(entry.directory.Get(), entry.device, entry.leaf, O_PATH,
		&fd, &device);
	if (status != B_OK)
		return fail_with(status);
	return fd;
}

int
platform_execve_fd(int fd, char* const argv[], char* const envp[])
{
	// A script's interpreter opens the script through /dev/fd/N, so the
	// descriptor must survive the exec (an O_PATH descriptor, harmless).
	int flags = fcntl(fd, F_GETFD);
	if (flags >= 0)
		fcntl(fd, F_SETFD, flags & ~FD_CLOEXEC);
	execveat(fd, "", argv, envp, AT_EMPTY_PATH);
	int error = errno;
	if (flags >= 0)
		fcntl(fd, F_SETFD, flags);
	errno = error;
	return -1;
}

int
platform_execve(const char* path, char* const argv[], char* const envp[])
{
	int fd = platform_open_executable(path);
	if (fd < 0)
		return -1;
	platform_execve_fd(fd, argv, envp);
	int error = errno;
	close(fd);
	errno = error;
	return -1;
}

status_t
platform_get_host_path(const char* path, char* buffer, size_t size)
{
	if (buffer == nullptr || size == 0)
		return B_BAD_VALUE;
	ResolvedEntry entry;
	status_t status = PathResolver::Resolve(path, false, &entry);
	if (status != B_OK)
		return status;
	std::string host;
	status = host_path_of_descriptor(entry.directory.Get(), &host);
	if (status != B_OK)
		return status;
	if (entry.device == kSystemRootDevice && entry.leaf != ".") {
		// A volume: its root directory (a mounted host folder for a link).
		VolumeInfo info;
		status = VolumeTable::Default().VolumeByName(entry.leaf, &info);
		if (status != B_OK)
			return status;
		host = info.hostPath;
	} else if (entry.leaf != ".")
		host += (host == "/" ? "" : "/") + entry.leaf;
	if (host.size() >= size)
		return B_NAME_TOO_LONG;
	memcpy(buffer, host.c_str(), host.size() + 1);
	return B_OK;
}
