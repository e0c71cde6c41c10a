#include "VolumeTable.h"

#include <FileDescriptor.h>
#include <SystemRoot.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const dev_t kFirstVolumeDevice = 2;

status_t
make_directories(const std::string& path)
{
	std::string partial;
	size_t start = 0;
	while (start <= path.size()) {
		size_t slash = path.find('/', start);
		if (slash == std::string::npos)
			slash = path.size();
		partial = path.substr(0, slash);
		if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
			return errno_status();
		start = slash + 1;
	}
	return B_OK;
}

std::string
default_root_path()
{
	const char* explicitRoot = getenv("KESTROVAN_ROOT");
	if (explicitRoot != nullptr && explicitRoot[0] != '\0')
		return explicitRoot;
	const char* dataHome = getenv("XDG_DATA_HOME");
	if (dataHome != nullptr && dataHome[0] == '/')
		return std::string(dataHome) + "/kestrovan/root";
	const char* home = getenv("HOME");
	return std::string(home != nullptr ? home : "/tmp") + "/.local/share/kestrovan/root";
}

}	// namespace

std::string
descriptor_proc_path(int fd)
{
	return "/proc/self/fd/" + std::to_string(fd);
}

status_t
host_path_of_descriptor(int fd, std::string* path)
{
	char buffer[PATH_MAX + 1];
	ssize_t length = readlink(descriptor_proc_path(fd).c_str(), buffer, PATH_MAX);
	if (length < 0)
		return errno_status();
	// A path past the host's limit reads back as ENAMETOOLONG; one that
	// fills the buffer may have been cut, and one that is not absolute
	// ("(unreachable)/...", outside this process's root) names no place.
	// Each is an error: a cut or foreign path would be another place.
	if (length >= PATH_MAX)
		return B_NAME_TOO_LONG;
	if (length == 0 || buffer[0] != '/')
		return B_ENTRY_NOT_FOUND;
	buffer[length] = '\0';
	path->assign(buffer, length);
	// A node that was removed reads back with this mark: it has no path.
	const char* deleted = " (deleted)";
	if (path->size() > strlen(deleted)
		&& path->compare(path->size() - strlen(deleted), std::string::npos, deleted) == 0) {
		struct stat st;
		if (fstat(fd, &st) == 0 && st.st_nlink == 0)
			return B_ENTRY_NOT_FOUND;
	}
	return B_OK;
}

VolumeTable::VolumeTable()
	:
	fRootFd(-1),
	fRootNode(0),
	fNextDevice(kFirstVolumeDevice),
	fWorkingDirectory("/boot")
{
}

VolumeTable&
VolumeTable::Default()
{
	static VolumeTable* table = new VolumeTable;
	return *table;
}

status_t
VolumeTable::SetRoot(const char* hostDir)
{
	if (hostDir == nullptr || hostDir[0] == '\0')
		return B_BAD_VALUE;
	std::lock_guard<std::recursive_mutex> lock(fLock);
	return _SetRootLocked(hostDir);
}

status_t
VolumeTable::_SetRootLocked(const std::string& hostDir)
{
	status_t status = make_directories(hostDir);
	if (status != B_OK)
		return status;
	char real[PATH_MAX];
	if (realpath(hostDir.c_str(), real) == nullptr)
		return errno_status();
	int fd = open(real, O_PATH | O_DIRECTORY | O_CLOEXEC);
	if (fd < 0)
		return errno_status();
	// The boot volume is made with the root; a link named boot is a volume
	// too, so only a missing entry is created.
	struct stat st;
	if (fstatat(fd, "boot", &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT
		&& mkdirat(fd, "boot", 0755) != 0 && errno != EEXIST) {
		status = errno_status();
		close(fd);
		return status;
	}
	fstat(fd, &st);
	if (fRootFd >= 0)
		close(fRootFd);
	fRootFd = fd;
	fRootHostPath = real;
	fRootNode = st.st_ino;
	fNextDevice = kFirstVolumeDevice;
	fVolumes.clear();
	fDirectories.clear();
	fWorkingDirectory = "/boot";
	_RescanLocked();
	return B_OK;
}

status_t
VolumeTable::EnsureRoot()
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	return _EnsureRootLocked();
}

status_t
VolumeTable::_EnsureRootLocked()
{
	if (fRootFd >= 0)
		return B_OK;
	return _SetRootLocked(default_root_path());
}

std::string
VolumeTable::RootHostPath()
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	_EnsureRootLocked();
	return fRootHostPath;
}

int
VolumeTable::OpenRoot()
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	if (_EnsureRootLocked() != B_OK)
		return -1;
	return fcntl(fRootFd, F_DUPFD_CLOEXEC, 0);
}

ino_t
VolumeTable::RootNode()
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	_EnsureRootLocked();
	return fRootNode;
}

void
VolumeTable::_RescanLocked()
{
	if (fRootFd < 0)
		return;
	FileDescriptor listing(openat(fRootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
	if (!listing.IsValid())
		return;
	DIR* dir = fdopendir(listing.Release());
	if (dir == nullptr)
		return;

	std::vector<VolumeInfo> found;
	while (struct dirent* item = readdir(dir)) {
		if (strcmp(item->d_name, ".") == 0 || strcmp(item->d_name, "..") == 0)
			continue;
		struct stat st;
		// A link directly in the root is followed: it mounts a host folder.
		if (fstatat(fRootFd, item->d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode))
			continue;
		VolumeInfo info;
		info.name = item->d_name;
		info.hostDevice = st.st_dev;
		info.hostNode = st.st_ino;
		std::string joined = fRootHostPath + "/" + info.name;
		char real[PATH_MAX];
		info.hostPath = realpath(joined.c_str(), real) != nullptr ? real : joined;
		found.push_back(info);
	}
	closedir(dir);

	// A volume keeps its number while it stays mounted as the same folder.
	for (VolumeInfo& info : found) {
		for (const VolumeInfo& known : fVolumes) {
			if (known.name == info.name && known.hostDevice == info.hostDevice
				&& known.hostNode == info.hostNode) {
				info.device = known.device;
			}
		}
	}
	std::sort(found.begin(), found.end(), [](const VolumeInfo& a, const VolumeInfo& b) {
		if ((a.name == "boot") != (b.name == "boot"))
			return a.name == "boot";
		return a.name < b.name;
	});
	for (VolumeInfo& info : found) {
		if (info.device == (dev_t)-1)
			info.device = fNextDevice++;
	}
	std::sort(found.begin(), found.end(), [](const VolumeInfo& a, const VolumeInfo& b) {
		if ((a.name == "boot") != (b.name == "boot"))
			return a.name == "boot";
		return a.device < b.device;
	});
	fVolumes = found;
}

std::vector<VolumeInfo>
VolumeTable::Volumes()
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	if (_EnsureRootLocked() != B_OK)
		return {};
	_RescanLocked();
	return fVolumes;
}

status_t
VolumeTable::_FindLocked(const std::string& name, VolumeInfo* info)
{
	for (const VolumeInfo& known : fVolumes) {
		if (known.name == name) {
			*info = known;
			return B_OK;
		}
	}
	return B_ENTRY_NOT_FOUND;
}

status_t
VolumeTable::VolumeByName(const std::string& name, VolumeInfo* info)
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	status_t status = _EnsureRootLocked();
	if (status != B_OK)
		return status;
	_RescanLocked();
	return _FindLocked(name, info);
}

status_t
VolumeTable::VolumeByDevice(dev_t device, VolumeInfo* info)
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	status_t status = _EnsureRootLocked();
	if (status != B_OK)
		return status;
	_RescanLocked();
	for (const VolumeInfo& known : fVolumes) {
		if (known.device == device) {
			*info = known;
			return B_OK;
		}
	}
	return B_BAD_VALUE;
}

status_t
VolumeTable::OpenVolume(const std::string& name, int flags, int* fd, VolumeInfo* info)
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	status_t status = _EnsureRootLocked();
	if (status != B_OK)
		return status;
	if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
		return B_BAD_VALUE;
	for (int attempt = 0; attempt < 2; attempt++) {
		VolumeInfo known;
		if (_FindLocked(name, &known) == B_OK) {
			int opened = openat(fRootFd, name.c_str(), flags | O_DIRECTORY | O_CLOEXEC);
			struct stat st;
			if (opened >= 0 && fstat(opened, &st) == 0 && st.st_dev == known.hostDevice
				&& st.st_ino == known.hostNode) {
				*fd = opened;
				if (info != nullptr)
					*info = known;
				return B_OK;
			}
			if (opened >= 0)
				close(opened);
		}
		_RescanLocked();
	}
	return B_ENTRY_NOT_FOUND;
}

status_t
VolumeTable::PlatformPathOfHost(const std::string& hostPath, std::string* path, dev_t* device)
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	status_t status = _EnsureRootLocked();
	if (status != B_OK)
		return status;
	if (hostPath == fRootHostPath) {
		*path = "/";
		if (device != nullptr)
			*device = kSystemRootDevice;
		return B_OK;
	}
	for (int attempt = 0; attempt < 2; attempt++) {
		const VolumeInfo* best = nullptr;
		for (const VolumeInfo& info : fVolumes) {
			const std::string& prefix = info.hostPath;
			bool inside = hostPath == prefix
				|| (hostPath.size() > prefix.size()
					&& hostPath.compare(0, prefix.size(), prefix) == 0
					&& (prefix == "/" || hostPath[prefix.size()] == '/'));
			if (inside && (best == nullptr || prefix.size() > best->hostPath.size()))
				best = &info;
		}
		if (best != nullptr) {
			std::string rest = hostPath.substr(best->hostPath.size());
			if (best->hostPath == "/" && !rest.empty())
				rest = "/" + rest;
			*path = "/" + best->name + (rest == "/" ? "" : rest);
			if (device != nullptr)
				*device = best->device;
			return B_OK;
		}
		_RescanLocked();
	}
	return B_ENTRY_NOT_FOUND;
}

status_t
VolumeTable::PlatformPathOfDescriptor(int fd, std::string* path, dev_t* device)
{
	std::string hostPath;
	status_t status = host_path_of_descriptor(fd, &hostPath);
	if (status != B_OK)
		return status;
	return PlatformPathOfHost(hostPath, path, device);
}

void
VolumeTable::RememberDirectory(dev_t device, ino_t node, const std::string& path)
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	fDirectories[{device, node}] = path;
}

bool
VolumeTable::CachedDirectory(dev_t device, ino_t node, std::string* path)
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	auto found = fDirectories.find({device, node});
	if (found == fDirectories.end())
		return false;
	*path = found->second;
	return true;
}

void
VolumeTable::ForgetDirectory(dev_t device, ino_t node)
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	fDirectories.erase({device, node});
}

void
VolumeTable::RememberHostDirectory(ino_t node, const std::string& hostPath)
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	fHostDirectories[node] = hostPath;
}

bool
VolumeTable::HostDirectory(ino_t node, std::string* hostPath)
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	auto found = fHostDirectories.find(node);
	if (found == fHostDirectories.end())
		return false;
	*hostPath = found->second;
	return true;
}

std::string
VolumeTable::WorkingDirectory()
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	return fWorkingDirectory;
}

void
VolumeTable::SetWorkingDirectory(const std::string& path)
{
	std::lock_guard<std::recursive_mutex> lock(fLock);
	fWorkingDirectory = path;
}
