#include <fs_info.h>

#include <Volume.h>
#include <VolumeTable.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace {

const long kTmpfsMagic = 0x01021994;
const long kRamfsMagic = 0x858458f6;

struct HostMount {
	std::string mountPoint;
	std::string type;
	std::string source;
};

// mountinfo escapes spaces and the like as octal "\040".
std::string
Unescape(const std::string& field)
{
	std::string result;
	for (size_t i = 0; i < field.size(); i++) {
		if (field[i] == '\\' && i + 3 < field.size()) {
			result += static_cast<char>(strtol(field.substr(i + 1, 3).c_str(), nullptr, 8));
			i += 3;
		} else
			result += field[i];
	}
	return result;
}

// The host mount that holds path: the one with the longest mount point
// that is a prefix of it (the last such line wins, as later mounts cover
// earlier ones).
bool
FindHostMount(const std::string& path, HostMount* mount)
{
	std::ifstream mountinfo("/proc/self/mountinfo");
	std::string line;
	size_t best = 0;
	bool found = false;
	while (std::getline(mountinfo, line)) {
		std::istringstream fields(line);
		std::string id, parent, numbers, root, point, field;
		fields >> id >> parent >> numbers >> root >> point;
		// Optional fields end at "-".
		while (fields >> field && field != "-")
			;
		HostMount candidate;
		candidate.mountPoint = Unescape(point);
		fields >> candidate.type >> candidate.source;
		const std::string& p = candidate.mountPoint;
		bool contains = p == "/" || path == p
			|| (path.compare(0, p.size(), p) == 0 && path[p.size()] == '/');
		if (contains && p.size() >= best) {
			best = p.size();
			*mount = candidate;
			found = true;
		}
	}
	return found;
}

// A block device (or a partition of one) that the host calls removable.
bool
IsRemovableDevice(const std::string& source)
{
	struct stat st;
	if (source.compare(0, 5, "/dev/") != 0 || stat(source.c_str(), &st) != 0
		|| !S_ISBLK(st.st_mode))
		return false;
	std::string link = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":"
		+ std::to_string(minor(st.st_rdev));
	char real[PATH_MAX];
	if (realpath(link.c_str(), real) == nullptr)
		return false;
	std::string device = real;
	// A partition has no flag of its own: its disk is the folder above.
	for (int level = 0; level < 2; level++) {
		std::ifstream flag(device + "/removable");
		int value = 0;
		if (flag >> value)
			return value != 0;
		device = device.substr(0, device.rfind('/'));
	}
	return false;
}

void
CopyText(char* target, size_t size, const std::string& text)
{
	strncpy(target, text.c_str(), size - 1);
	target[size - 1] = '\0';
}

} // namespace

status_t
fs_stat_dev(dev_t device, fs_info* info)
{
	if (info == nullptr)
		return B_BAD_VALUE;
	VolumeInfo volume;
	if (VolumeTable::Default().VolumeByDevice(device, &volume) != B_OK)
		return B_BAD_VALUE;
	struct statfs st;
	if (statfs(volume.hostPath.c_str(), &st) != 0)
		return errno_status();

	memset(info, 0, sizeof(*info));
	info->dev = device;
	info->root = volume.hostNode;
	info->block_size = st.f_bsize;
	info->io_size = st.f_bsize;
	info->total_blocks = st.f_blocks;
	info->free_blocks = st.f_bavail;
	info->total_nodes = st.f_files;
	info->free_nodes = st.f_ffree;
	CopyText(info->volume_name, sizeof(info->volume_name), volume.name);

	HostMount mount;
	bool known = FindHostMount(volume.hostPath, &mount);
	std::string type = known ? mount.type : "unknown";
	if (st.f_type == kTmpfsMagic)
		type = "tmpfs";
	else if (st.f_type == kRamfsMagic)
		type = "ramfs";
	CopyText(info->fsh_name, sizeof(info->fsh_name), type);
	std::string source = known && mount.source.compare(0, 5, "/dev/") == 0 ? mount.source : type;
	CopyText(info->device_name, sizeof(info->device_name), source);

	BVolume platformVolume(device);
	info->flags = B_FS_IS_PERSISTENT;
	if (platformVolume.IsReadOnly())
		info->flags |= B_FS_IS_READONLY;
	if (IsRemovableDevice(source))
		info->flags |= B_FS_IS_REMOVABLE;
	if (platformVolume.KnowsAttr())
		info->flags |= B_FS_HAS_ATTR;
	if (platformVolume.KnowsMime())
		info->flags |= B_FS_HAS_MIME;
	if (platformVolume.KnowsQuery())
		info->flags |= B_FS_HAS_QUERY;
	return B_OK;
}
