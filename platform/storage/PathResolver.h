#ifndef _PATH_RESOLVER_H
#define _PATH_RESOLVER_H

// Internal to the storage kit: resolution of platform paths inside the
// system root, component by component. The first component goes through
// the volume table, ".." stops at the root, a link met on the way is read
// and followed (an absolute target starts again at the root), and the last
// component is followed only when asked.

#include <EntryRef.h>
#include <FileDescriptor.h>
#include <SupportDefs.h>

#include <string>

struct ResolvedEntry {
	// The directory that holds the entry (O_PATH); for "/" itself the root.
	FileDescriptor directory;
	// The device of that directory: a volume, kSystemRootDevice for the
	// root's own entries (the volumes), kHostReferenceDevice outside it.
	dev_t device = (dev_t)-1;
	// The entry's name in it; "." for the root "/" itself.
	std::string leaf;
	// The directory's platform path (its host path outside the root).
	std::string directoryPath;

	std::string Path() const;
};

class PathResolver {
public:
	// path is absolute, or relative to the working directory.
	static status_t Resolve(const char* path, bool followLast, ResolvedEntry* result);
	// path relative to the directory baseFd on baseDevice (an absolute path
	// ignores the base).
	static status_t ResolveAt(int baseFd, dev_t baseDevice, const char* path,
		bool followLast, ResolvedEntry* result);
	static status_t ResolveRef(const entry_ref& ref, bool followLast, ResolvedEntry* result);
	// The entry held by (directory, device, leaf) with its last link followed.
	static status_t Traverse(int directory, dev_t device, const std::string& leaf,
		ResolvedEntry* result);

	// The entry that names the directory held by directory (on device): its
	// parent directory and its name.
	static status_t EntryOfDirectory(int directory, dev_t device, ResolvedEntry* result);

	// A new descriptor of a directory found by its node number.
	static status_t OpenDirectoryNode(dev_t device, ino_t node, int flags, int* fd,
		std::string* path);

	// Opens the entry's node itself (flags as openat(); O_NOFOLLOW is
	// added), the root's entries being the volumes' root directories.
	static status_t OpenNode(int directory, dev_t device, const std::string& leaf,
		int flags, int* fd, dev_t* nodeDevice, mode_t mode = 0);
	// lstat of the entry, with st_dev the platform device of the node.
	static status_t StatEntry(int directory, dev_t device, const std::string& leaf,
		struct stat* st);
	// The platform path of the directory a descriptor names.
	static status_t DirectoryPath(int directory, dev_t device, std::string* path);

	static bool IsValidLeaf(const char* leaf);

	// A host path outside the root (references to host files).
	static status_t ResolveHost(const std::string& hostPath, bool followLast,
		ResolvedEntry* result);

private:
	static bool _ResolvePlainLeaf(int baseFd, dev_t baseDevice, const std::string& base,
		const char* leaf, bool followLast, ResolvedEntry* result);
};

#endif // _PATH_RESOLVER_H
