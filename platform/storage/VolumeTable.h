#ifndef _VOLUME_TABLE_H
#define _VOLUME_TABLE_H

// Internal to the storage kit: the system root and its volumes.
//
// The root is a host directory; every directory (or link to a host
// directory) directly in it is a volume with a small device number given
// while it is mounted, the boot volume first. The table also keeps the
// platform path of directories the kit has met, by (device, node), so an
// entry_ref's directory can be found again, and the host directories that
// references outside the root name.

#include <SupportDefs.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

struct VolumeInfo {
	dev_t device = (dev_t)-1;
	std::string name;
	// The real host path of the volume's root directory.
	std::string hostPath;
	dev_t hostDevice = 0;
	ino_t hostNode = 0;
};

class VolumeTable {
public:
	static VolumeTable& Default();

	status_t SetRoot(const char* hostDir);
	// The root chosen by the environment, on first use.
	status_t EnsureRoot();
	std::string RootHostPath();
	// A new O_PATH descriptor of the root directory.
	int OpenRoot();
	ino_t RootNode();

	// Rescans the root: the current volumes, boot first, then by device.
	std::vector<VolumeInfo> Volumes();
	status_t VolumeByName(const std::string& name, VolumeInfo* info);
	status_t VolumeByDevice(dev_t device, VolumeInfo* info);
	// A new descriptor of the volume's root directory (flags as openat()).
	status_t OpenVolume(const std::string& name, int flags, int* fd, VolumeInfo* info);

	// The platform path of a host path inside the root.
	status_t PlatformPathOfHost(const std::string& hostPath, std::string* path,
		dev_t* device);
	// The platform path of the directory (or node) a host descriptor names.
	status_t PlatformPathOfDescriptor(int fd, std::string* path, dev_t* device);

	void RememberDirectory(dev_t device, ino_t node, const std::string& path);
	bool CachedDirectory(dev_t device, ino_t node, std::string* path);
	void ForgetDirectory(dev_t device, ino_t node);

	void RememberHostDirectory(ino_t node, const std::string& hostPath);
	bool HostDirectory(ino_t node, std::string* hostPath);

	std::string WorkingDirectory();
	void SetWorkingDirectory(const std::string& path);

private:
	VolumeTable();
	status_t _SetRootLocked(const std::string& hostDir);
	status_t _EnsureRootLocked();
	void _RescanLocked();
	status_t _FindLocked(const std::string& name, VolumeInfo* info);

	std::recursive_mutex fLock;
	int fRootFd;
	std::string fRootHostPath;
	ino_t fRootNode;
	dev_t fNextDevice;
	std::vector<VolumeInfo> fVolumes;
	std::map<std::pair<dev_t, ino_t>, std::string> fDirectories;
	std::map<ino_t, std::string> fHostDirectories;
	std::string fWorkingDirectory;
};

// The host path that a descriptor names ("/proc/self/fd/N" read back).
status_t host_path_of_descriptor(int fd, std::string* path);
// "/proc/self/fd/N": a path that reaches the descriptor's node.
std::string descriptor_proc_path(int fd);

#endif // _VOLUME_TABLE_H
