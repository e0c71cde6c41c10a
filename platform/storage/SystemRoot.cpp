#include <SystemRoot.h>

#include <Entry.h>
#include <EntryRef.h>
#include <PathResolver.h>
#include <VolumeTable.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

status_t
set_system_root(const char* hostDir)
{
	return VolumeTable::Default().SetRoot(hostDir);
}

const char*
system_root_host_path()
{
	static thread_local std::string path;
	path = VolumeTable::Default().RootHostPath();
	return path.c_str();
}

status_t
get_ref_for_host_path(const char* hostPath, entry_ref* ref)
{
	if (hostPath == nullptr || hostPath[0] == '\0' || ref == nullptr)
		return B_BAD_VALUE;
	std::string path = hostPath;
	if (path[0] != '/') {
		char cwd[PATH_MAX];
		if (getcwd(cwd, sizeof(cwd)) == nullptr)
			return errno_status();
		path = std::string(cwd) + "/" + path;
	}
	ResolvedEntry host;
	status_t status = PathResolver::ResolveHost(path, false, &host);
	if (status != B_OK)
		return status;
	struct stat st;
	if (fstatat(host.directory.Get(), host.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
		return errno_status();

	// A file that lies inside the root is an ordinary entry of its volume.
	std::string platformDirectory;
	dev_t device;
	if (VolumeTable::Default().PlatformPathOfHost(host.directoryPath, &platformDirectory,
			&device) == B_OK && device != kSystemRootDevice) {
		std::string platformPath = platformDirectory + "/" + host.leaf;
		BEntry entry(platformPath.c_str());
		if (entry.InitCheck() == B_OK && entry.Exists())
			return entry.GetRef(ref);
	}

	if (fstat(host.directory.Get(), &st) != 0)
		return errno_status();
	ref->device = kHostReferenceDevice;
	ref->directory = st.st_ino;
	return ref->set_name(host.leaf.c_str());
}
