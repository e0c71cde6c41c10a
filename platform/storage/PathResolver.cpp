#include "PathResolver.h"

#include <StorageDefs.h>
#include <SystemRoot.h>
#include <VolumeTable.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Frame {
	FileDescriptor fd;
	std::string name;
	dev_t device;
};

void
split_components(const std::string& path, std::deque<std::string>* components, bool atFront)
{
	std::vector<std::string> parts;
	size_t start = 0;
	while (start < path.size()) {
		size_t slash = path.find('/', start);
		if (slash == std::string::npos)
			slash = path.size();
		if (slash > start)
			parts.push_back(path.substr(start, slash - start));
		start = slash + 1;
	}
	if (atFront)
		components->insert(components->begin(), parts.begin(), parts.end());
	else
		components->insert(components->end(), parts.begin(), parts.end());
}

std::string
frames_path(const std::vector<Frame>& frames, size_t count)
{
	std::string path;
	for (size_t i = 1; i < count; i++)
		path += "/" + frames[i].name;
	return path.empty() ? "/" : path;
}

bool
read_link_at(int directory, const char* leaf, std::string* target)
{
	char buffer[PATH_MAX + 1];
	ssize_t length = readlinkat(directory, leaf, buffer, PATH_MAX);
	if (length < 0)
		return false;
	target->assign(buffer, length);
	return true;
}

bool
is_write_request(int flags)
{
	return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC)) != 0;
}

}	// namespace

std::string
ResolvedEntry::Path() const
{
	if (leaf == ".")
		return directoryPath;
	if (directoryPath == "/")
		return "/" + leaf;
	return directoryPath + "/" + leaf;
}

bool
PathResolver::IsValidLeaf(const char* leaf)
{
	return leaf != nullptr && leaf[0] != '\0' && strchr(leaf, '/') == nullptr
		&& strcmp(leaf, ".") != 0 && strcmp(leaf, "..") != 0
		&& strlen(leaf) < B_FILE_NAME_LENGTH;
}

status_t
PathResolver::Resolve(const char* path, bool followLast, ResolvedEntry* result)
{
	if (path == nullptr)
		return B_BAD_VALUE;
	if (path[0] == '\0')
		return B_ENTRY_NOT_FOUND;
	VolumeTable& table = VolumeTable::Default();
	std::string full = path[0] == '/' ? std::string(path)
		: table.WorkingDirectory() + "/" + path;

	std::vector<Frame> frames;
	frames.push_back({FileDescriptor(table.OpenRoot()), "", kSystemRootDevice});
	if (!frames[0].fd.IsValid())
		return B_ENTRY_NOT_FOUND;

	// A trailing slash names the directory a link there points to.
	if (full.size() > 1 && full.back() == '/')
		followLast = true;

	std::deque<std::string> pending;
	split_components(full, &pending, false);
	int hops = 0;
	std::string leaf;
	bool haveLeaf = false;

	while (!pending.empty()) {
		std::string component = pending.front();
		pending.pop_front();
		if (component == ".")
			continue;
		if (component == "..") {
			if (frames.size() > 1)
				frames.pop_back();
			continue;
		}
		if (component.size() >= B_FILE_NAME_LENGTH)
			return B_NAME_TOO_LONG;
		bool isLast = pending.empty();
		Frame& top = frames.back();

		if (frames.size() == 1) {
			// Directly in the root: the volume table.
			int fd;
			VolumeInfo info;
			if (VolumeTable::Default().OpenVolume(component, O_PATH, &fd, &info) != B_OK) {
				if (!isLast)
					return B_ENTRY_NOT_FOUND;
				leaf = component;
				haveLeaf = true;
				break;
			}
			if (isLast && !followLast) {
				close(fd);
				leaf = component;
				haveLeaf = true;
				break;
			}
			frames.push_back({FileDescriptor(fd), component, info.device});
			table.RememberDirectory(info.device, info.hostNode, frames_path(frames, frames.size()));
			continue;
		}

		if (isLast && !followLast) {
			leaf = component;
			haveLeaf = true;
			break;
		}
		FileDescriptor node(openat(top.fd.Get(), component.c_str(),
			O_PATH | O_NOFOLLOW | O_CLOEXEC));
		if (!node.IsValid()) {
			if (errno == ENOENT && isLast) {
				leaf = component;
				haveLeaf = true;
				break;
			}
			return errno_status();
		}
		struct stat st;
		if (fstat(node.Get(), &st) != 0)
			return errno_status();
		if (S_ISLNK(st.st_mode)) {
			if (++hops > B_MAX_SYMLINKS)
				return B_LINK_LIMIT;
			std::string target;
			if (!read_link_at(node.Get(), "", &target))
				return errno_status();
			if (target.empty())
				return B_ENTRY_NOT_FOUND;
			// An absolute target starts again at the root of the platform.
			if (target[0] == '/')
				frames.resize(1);
			split_components(target, &pending, true);
			continue;
		}
		if (S_ISDIR(st.st_mode)) {
			dev_t device = top.device;
			frames.push_back({std::move(node), component, device});
			table.RememberDirectory(device, st.st_ino, frames_path(frames, frames.size()));
			continue;
		}
		if (!isLast)
			return B_NOT_A_DIRECTORY;
		leaf = component;
		haveLeaf = true;
	}

	if (!haveLeaf) {
		// The path named a directory it went through: "/", a volume, "a/..".
		if (frames.size() == 1) {
			result->directory = std::move(frames[0].fd);
			result->device = kSystemRootDevice;
			result->leaf = ".";
			result->directoryPath = "/";
			return B_OK;
		}
		leaf = frames.back().name;
		frames.pop_back();
	}
	result->directoryPath = frames_path(frames, frames.size());
	result->device = frames.back().device;
	result->directory = std::move(frames.back().fd);
	result->leaf = leaf;
	return B_OK;
}

status_t
PathResolver::ResolveHost(const std::string& hostPath, bool followLast, ResolvedEntry* result)
{
	std::string path = hostPath;
	char real[PATH_MAX];
	if (followLast) {
		if (realpath(path.c_str(), real) != nullptr)
			path = real;
	}
	size_t slash = path.find_last_of('/');
	if (slash == std::string::npos)
		return B_BAD_VALUE;
	std::string directory = slash == 0 ? "/" : path.substr(0, slash);
	std::string leaf = path.substr(slash + 1);
	if (realpath(directory.c_str(), real) == nullptr)
		return errno_status();
	directory = real;
	if (leaf.empty() || leaf == ".")
		leaf = ".";
	else if (leaf == "..")
		return ResolveHost(directory, true, result);
	int fd = open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
	if (fd < 0)
		return errno_status();
	struct stat st;
	fstat(fd, &st);
	VolumeTable::Default().RememberHostDirectory(st.st_ino, directory);
	result->directory.Reset(fd);
	result->device = kHostReferenceDevice;
	result->leaf = leaf;
	result->directoryPath = directory;
	return B_OK;
}

status_t
PathResolver::DirectoryPath(int directory, dev_t device, std::string* path)
{
	if (device == kHostReferenceDevice)
		return host_path_of_descriptor(directory, path);
	return VolumeTable::Default().PlatformPathOfDescriptor(directory, path, nullptr);
}

status_t
PathResolver::ResolveAt(int baseFd, dev_t baseDevice, const char* path, bool followLast,
	ResolvedEntry* result)
{
	if (path == nullptr)
		return B_BAD_VALUE;
	if (path[0] == '/' || baseFd < 0)
		return Resolve(path, followLast, result);
	// Finding the directory's path also checks that it is still inside the
	// root: one moved out behind the kit's back leads nowhere.
	std::string base;
	status_t status = DirectoryPath(baseFd, baseDevice, &base);
	if (status != B_OK)
		return status;
	if (_ResolvePlainLeaf(baseFd, baseDevice, base, path, followLast, result))
		return B_OK;
	std::string joined = base == "/" ? "/" + std::string(path) : base + "/" + path;
	if (baseDevice == kHostReferenceDevice)
		return ResolveHost(joined, followLast, result);
	return Resolve(joined.c_str(), followLast, result);
}

// A plain name in a directory that was just found inside the root: the
// entry is that directory's, with no walk from the root (which costs a
// descriptor per component for every entry of a deep folder). A link to be
// followed, the root's own entries and host files take the full walk.
bool
PathResolver::_ResolvePlainLeaf(int baseFd, dev_t baseDevice, const std::string& base,
	const char* leaf, bool followLast, ResolvedEntry* result)
{
	if (baseDevice == kSystemRootDevice || baseDevice == kHostReferenceDevice
		|| !IsValidLeaf(leaf))
		return false;
	if (followLast) {
		struct stat st;
		if (fstatat(baseFd, leaf, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
			return false;
	}
	int directory = fcntl(baseFd, F_DUPFD_CLOEXEC, 0);
	if (directory < 0)
		return false;
	result->directory.Reset(directory);
	result->device = baseDevice;
	result->leaf = leaf;
	result->directoryPath = base;
	return true;
}

status_t
PathResolver::EntryOfDirectory(int directory, dev_t device, ResolvedEntry* result)
{
	std::string path;
	status_t status = DirectoryPath(directory, device, &path);
	if (status != B_OK)
		return status;
	if (device == kHostReferenceDevice)
		return ResolveHost(path, false, result);
	// Below a volume's top folder the parent is the host's "..", on the same
	// volume and inside the root; the volumes and the root itself take the
	// walk from the root.
	size_t slash = path.find_last_of('/');
	if (device != kSystemRootDevice && slash != std::string::npos && slash > 0
		&& slash + 1 < path.size()) {
		int parent = openat(directory, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
		if (parent >= 0) {
			result->directory.Reset(parent);
			result->device = device;
			result->leaf = path.substr(slash + 1);
			result->directoryPath = path.substr(0, slash);
			return B_OK;
		}
	}
	return Resolve(path.c_str(), false, result);
}

status_t
PathResolver::Traverse(int directory, dev_t device, const std::string& leaf,
	ResolvedEntry* result)
{
	return ResolveAt(directory, device, leaf.c_str(), true, result);
}

status_t
PathResolver::ResolveRef(const entry_ref& ref, bool followLast, ResolvedEntry* result)
{
	if (ref.name == nullptr || ref.name[0] == '\0' || strchr(ref.name, '/') != nullptr)
		return B_BAD_VALUE;
	if (strlen(ref.name) >= B_FILE_NAME_LENGTH)
		return B_NAME_TOO_LONG;
	VolumeTable& table = VolumeTable::Default();
	std::string name = ref.name;

	if (ref.device == kHostReferenceDevice) {
		std::string hostDirectory;
		struct stat st;
		if (!table.HostDirectory(ref.directory, &hostDirectory)
			|| stat(hostDirectory.c_str(), &st) != 0 || st.st_ino != ref.directory)
			return B_ENTRY_NOT_FOUND;
		return ResolveHost(hostDirectory + "/" + name, followLast, result);
	}
	if (ref.device == kSystemRootDevice) {
		if (ref.directory != table.RootNode())
			return B_ENTRY_NOT_FOUND;
		return Resolve(("/" + name).c_str(), followLast, result);
	}

	int fd;
	std::string directoryPath;
	status_t status = OpenDirectoryNode(ref.device, ref.directory, O_PATH, &fd, &directoryPath);
	if (status != B_OK)
		return status;
	if (followLast || name == "." || name == "..") {
		close(fd);
		return Resolve((directoryPath + "/" + name).c_str(), followLast, result);
	}
	result->directory.Reset(fd);
	result->device = ref.device;
	result->leaf = name;
	result->directoryPath = directoryPath;
	return B_OK;
}

namespace {

// Looks for the directory node below fd (a directory of the volume at path),
// never following a link and never entering another volume.
bool
walk_for_directory(int fd, const std::string& path, ino_t node,
	const std::vector<VolumeInfo>& volumes, std::string* found, int depth)
{
	if (depth > 256)
		return false;
	int listingFd = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (listingFd < 0)
		return false;
	DIR* dir = fdopendir(listingFd);
	if (dir == nullptr) {
		close(listingFd);
		return false;
	}
	std::vector<std::string> subdirectories;
	while (struct dirent* item = readdir(dir)) {
		if (strcmp(item->d_name, ".") == 0 || strcmp(item->d_name, "..") == 0)
			continue;
		if (item->d_type != DT_DIR && item->d_type != DT_UNKNOWN)
			continue;
		subdirectories.push_back(item->d_name);
	}
	closedir(dir);

	for (const std::string& name : subdirectories) {
		FileDescriptor child(openat(fd, name.c_str(),
			O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
		struct stat st;
		if (!child.IsValid() || fstat(child.Get(), &st) != 0)
			continue;
		std::string childPath = path + "/" + name;
		if (st.st_ino == node) {
			*found = childPath;
			return true;
		}
		bool otherVolume = false;
		for (const VolumeInfo& volume : volumes) {
			if (volume.hostDevice == st.st_dev && volume.hostNode == st.st_ino)
				otherVolume = true;
		}
		if (!otherVolume
			&& walk_for_directory(child.Get(), childPath, node, volumes, found, depth + 1))
			return true;
	}
	return false;
}

}	// namespace

status_t
PathResolver::OpenDirectoryNode(dev_t device, ino_t node, int flags, int* fd,
	std::string* path)
{
	VolumeTable& table = VolumeTable::Default();
	auto tryPath = [&](const std::string& candidate) -> bool {
		ResolvedEntry entry;
		if (Resolve(candidate.c_str(), true, &entry) != B_OK)
			return false;
		int opened;
		dev_t nodeDevice;
		if (OpenNode(entry.directory.Get(), entry.device, entry.leaf,
				flags | O_DIRECTORY, &opened, &nodeDevice) != B_OK)
			return false;
		struct stat st;
		if (fstat(opened, &st) != 0 || st.st_ino != node || nodeDevice != device) {
			close(opened);
			return false;
		}
		*fd = opened;
		if (path != nullptr)
			*path = entry.Path();
		return true;
	};

	if (device == kSystemRootDevice) {
		if (node != table.RootNode())
			return B_ENTRY_NOT_FOUND;
		return tryPath("/") ? (status_t)B_OK : (status_t)B_ENTRY_NOT_FOUND;
	}
	std::string cached;
	if (table.CachedDirectory(device, node, &cached)) {
		if (tryPath(cached))
			return B_OK;
		table.ForgetDirectory(device, node);
	}

	VolumeInfo volume;
	if (table.VolumeByDevice(device, &volume) != B_OK)
		return B_ENTRY_NOT_FOUND;
	std::string volumePath = "/" + volume.name;
	if (volume.hostNode == node)
		return tryPath(volumePath) ? (status_t)B_OK : (status_t)B_ENTRY_NOT_FOUND;
	int volumeFd;
	if (table.OpenVolume(volume.name, O_PATH, &volumeFd, nullptr) != B_OK)
		return B_ENTRY_NOT_FOUND;
	FileDescriptor root(volumeFd);
	std::string found;
	if (!walk_for_directory(root.Get(), volumePath, node, table.Volumes(), &found, 0))
		return B_ENTRY_NOT_FOUND;
	if (!tryPath(found))
		return B_ENTRY_NOT_FOUND;
	table.RememberDirectory(device, node, found);
	return B_OK;
}

status_t
PathResolver::OpenNode(int directory, dev_t device, const std::string& leaf, int flags,
	int* fd, dev_t* nodeDevice, mode_t mode)
{
	if (device == kSystemRootDevice) {
		if (leaf == ".") {
			if (is_write_request(flags))
				return B_NOT_ALLOWED;
			int opened = openat(directory, ".", flags | O_CLOEXEC);
			if (opened < 0)
				return errno_status();
			*fd = opened;
			*nodeDevice = kSystemRootDevice;
			return B_OK;
		}
		VolumeInfo info;
		status_t status = VolumeTable::Default().OpenVolume(leaf,
			flags & ~(O_CREAT | O_EXCL | O_TRUNC | O_NOFOLLOW), fd, &info);
		if (status != B_OK) {
			// Making something in "/" would be mounting a volume.
			return (flags & O_CREAT) != 0 ? B_NOT_ALLOWED : status;
		}
		*nodeDevice = info.device;
		return B_OK;
	}
	if (device == kHostReferenceDevice) {
		if (is_write_request(flags))
			return B_READ_ONLY_DEVICE;
		int opened = openat(directory, leaf.c_str(), flags | O_CLOEXEC);
		if (opened < 0)
			return errno_status();
		*fd = opened;
		*nodeDevice = kHostReferenceDevice;
		return B_OK;
	}
	if (leaf.size() >= B_FILE_NAME_LENGTH)
		return B_NAME_TOO_LONG;
	int opened = openat(directory, leaf.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
	if (opened < 0)
		return errno_status();
	*fd = opened;
	*nodeDevice = device;
	return B_OK;
}

status_t
PathResolver::StatEntry(int directory, dev_t device, const std::string& leaf,
	struct stat* st)
{
	if (device == kSystemRootDevice && leaf != ".") {
		int fd;
		VolumeInfo info;
		status_t status = VolumeTable::Default().OpenVolume(leaf, O_PATH, &fd, &info);
		if (status != B_OK)
			return status;
		int result = fstat(fd, st);
		close(fd);
		if (result != 0)
			return errno_status();
		st->st_dev = info.device;
		return B_OK;
	}
	if (fstatat(directory, leaf.c_str(), st, AT_SYMLINK_NOFOLLOW) != 0)
		return errno_status();
	st->st_dev = device;
	return B_OK;
}
