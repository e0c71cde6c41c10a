#include <Directory.h>

#include <Entry.h>
#include <File.h>
#include <PathResolver.h>
#include <SymLink.h>
#include <SystemRoot.h>
#include <VolumeTable.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int kDirectoryFlags = O_RDONLY | O_DIRECTORY;

// Where a new entry may be made: never in "/" itself (that would be
// mounting a volume), never outside the root.
status_t
check_creatable(const ResolvedEntry& target)
{
	if (target.device == kSystemRootDevice)
		return B_NOT_ALLOWED;
	if (target.device == kHostReferenceDevice)
		return B_READ_ONLY_DEVICE;
	if (target.leaf.size() >= B_FILE_NAME_LENGTH)
		return B_NAME_TOO_LONG;
	if (!PathResolver::IsValidLeaf(target.leaf.c_str()))
		return B_BAD_VALUE;
	return B_OK;
}

bool
matches_flavor(mode_t mode, int32 nodeFlags)
{
	if (S_ISLNK(mode))
		return (nodeFlags & B_SYMLINK_NODE) != 0;
	if (S_ISDIR(mode))
		return (nodeFlags & B_DIRECTORY_NODE) != 0;
	return (nodeFlags & B_FILE_NODE) != 0;
}

}	// namespace

BDirectory::BDirectory()
	:
	fEntryCursor(0),
	fListed(false)
{
}

BDirectory::BDirectory(const BDirectory& dir)
	:
	BDirectory()
{
	*this = dir;
}

BDirectory::BDirectory(const entry_ref* ref)
	:
	BDirectory()
{
	SetTo(ref);
}

BDirectory::BDirectory(const node_ref* ref)
	:
	BDirectory()
{
	SetTo(ref);
}

BDirectory::BDirectory(const BEntry* entry)
	:
	BDirectory()
{
	SetTo(entry);
}

BDirectory::BDirectory(const char* path)
	:
	BDirectory()
{
	SetTo(path);
}

BDirectory::BDirectory(const BDirectory* dir, const char* path)
	:
	BDirectory()
{
	SetTo(dir, path);
}

BDirectory::~BDirectory()
{
}

void
BDirectory::Unset()
{
	BNode::Unset();
	fEntryNames.clear();
	fEntryCursor = 0;
	fListed = false;
}

status_t
BDirectory::_SetToResolved(int dirFd, dev_t device, const char* leaf)
{
	Unset();
	int fd;
	dev_t nodeDevice;
	status_t status = PathResolver::OpenNode(dirFd, device, leaf, kDirectoryFlags, &fd,
		&nodeDevice);
	if (status != B_OK)
		return fCStatus = status;
	return _SetToDescriptor(fd, nodeDevice, kDirectoryFlags);
}

status_t
BDirectory::SetTo(const entry_ref* ref)
{
	Unset();
	if (ref == nullptr)
		return fCStatus = B_BAD_VALUE;
	BEntry entry(ref, true);
	return SetTo(&entry);
}

status_t
BDirectory::SetTo(const node_ref* ref)
{
	Unset();
	if (ref == nullptr)
		return fCStatus = B_BAD_VALUE;
	int fd;
	status_t status = PathResolver::OpenDirectoryNode(ref->device, ref->node, kDirectoryFlags,
		&fd, nullptr);
	if (status != B_OK)
		return fCStatus = status;
	return _SetToDescriptor(fd, ref->device, kDirectoryFlags);
}

status_t
BDirectory::SetTo(const BEntry* entry)
{
	Unset();
	if (entry == nullptr)
		return fCStatus = B_BAD_VALUE;
	if (entry->InitCheck() != B_OK)
		return fCStatus = entry->InitCheck();
	if (entry->IsSymLink()) {
		ResolvedEntry target;
		status_t status = PathResolver::Traverse(entry->fDirFd, entry->fDevice, entry->fName,
			&target);
		if (status != B_OK)
			return fCStatus = status;
		return _SetToResolved(target.directory.Get(), target.device, target.leaf.c_str());
	}
	return _SetToResolved(entry->fDirFd, entry->fDevice, entry->fName.c_str());
}

status_t
BDirectory::SetTo(const char* path)
{
	Unset();
	ResolvedEntry entry;
	status_t status = PathResolver::Resolve(path, true, &entry);
	if (status != B_OK)
		return fCStatus = status;
	return _SetToResolved(entry.directory.Get(), entry.device, entry.leaf.c_str());
}

status_t
BDirectory::SetTo(const BDirectory* dir, const char* path)
{
	if (dir == nullptr || path == nullptr) {
		Unset();
		return fCStatus = B_BAD_VALUE;
	}
	if (dir->InitCheck() != B_OK) {
		status_t status = dir->InitCheck();
		Unset();
		return fCStatus = status;
	}
	ResolvedEntry entry;
	status_t status = PathResolver::ResolveAt(dir->fFd, dir->fDevice, path, true, &entry);
	Unset();
	if (status != B_OK)
		return fCStatus = status;
	return _SetToResolved(entry.directory.Get(), entry.device, entry.leaf.c_str());
}

bool
BDirectory::_IsSystemRoot() const
{
	return fCStatus == B_OK && fDevice == kSystemRootDevice;
}

status_t
BDirectory::GetEntry(BEntry* entry) const
{
	if (entry == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	ResolvedEntry resolved;
	status_t status = PathResolver::EntryOfDirectory(fFd, fDevice, &resolved);
	if (status != B_OK)
		return status;
	return entry->_SetFromResolved(resolved.directory.Release(), resolved.device,
		resolved.leaf.c_str(), false);
}

bool
BDirectory::IsRootDirectory() const
{
	if (fCStatus != B_OK)
		return false;
	if (_IsSystemRoot())
		return true;
	VolumeInfo volume;
	struct stat st;
	if (VolumeTable::Default().VolumeByDevice(fDevice, &volume) != B_OK
		|| fstat(fFd, &st) != 0)
		return false;
	return st.st_dev == volume.hostDevice && st.st_ino == volume.hostNode;
}

status_t
BDirectory::FindEntry(const char* path, BEntry* entry, bool traverse) const
{
	if (path == nullptr || entry == nullptr)
		return B_BAD_VALUE;
	status_t status = entry->SetTo(this, path, traverse);
	if (status != B_OK)
		return status;
	if (!entry->Exists()) {
		entry->Unset();
		return B_ENTRY_NOT_FOUND;
	}
	return B_OK;
}

bool
BDirectory::Contains(const char* path, int32 nodeFlags) const
{
	if (path == nullptr || fCStatus != B_OK)
		return false;
	struct stat st;
	// A plain name is looked up in this directory itself: an entry's walk
	// costs more than the look, and only reading is done here (whatever is
	// made or opened in the directory takes the checks that keep it inside
	// the root).
	if (fDevice != kSystemRootDevice && fDevice != kHostReferenceDevice
		&& PathResolver::IsValidLeaf(path))
		return fstatat(fFd, path, &st, AT_SYMLINK_NOFOLLOW) == 0
			&& matches_flavor(st.st_mode, nodeFlags);
	BEntry entry(this, path);
	return entry.InitCheck() == B_OK && entry.GetStat(&st) == B_OK
		&& matches_flavor(st.st_mode, nodeFlags);
}

bool
BDirectory::Contains(const BEntry* entry, int32 nodeFlags) const
{
	if (entry == nullptr || entry->InitCheck() != B_OK || fCStatus != B_OK)
		return false;
	std::string directoryPath;
	std::string entryPath;
	if (PathResolver::DirectoryPath(fFd, fDevice, &directoryPath) != B_OK
		|| entry->_Path(&entryPath) != B_OK)
		return false;
	std::string prefix = directoryPath == "/" ? "/" : directoryPath + "/";
	if (entryPath.size() <= prefix.size() || entryPath.compare(0, prefix.size(), prefix) != 0)
		return false;
	struct stat st;
	return entry->GetStat(&st) == B_OK && matches_flavor(st.st_mode, nodeFlags);
}

status_t
BDirectory::GetStatFor(const char* path, struct stat* st) const
{
	if (path == nullptr || st == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	BEntry entry(this, path);
	if (entry.InitCheck() != B_OK)
		return entry.InitCheck();
	return entry.GetStat(st);
}

status_t
BDirectory::_ListEntries()
{
	fEntryNames.clear();
	fEntryCursor = 0;
	if (_IsSystemRoot()) {
		// The root lists its volumes.
		for (const VolumeInfo& volume : VolumeTable::Default().Volumes())
			fEntryNames.push_back(volume.name);
		fListed = true;
		return B_OK;
	}
	int listingFd = openat(fFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (listingFd < 0)
		return errno_status();
	DIR* dir = fdopendir(listingFd);
	if (dir == nullptr) {
		status_t status = errno_status();
		close(listingFd);
		return status;
	}
	while (struct dirent* item = readdir(dir)) {
		if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
			fEntryNames.push_back(item->d_name);
	}
	closedir(dir);
	fListed = true;
	return B_OK;
}

status_t
BDirectory::_NextName(std::string* name)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (!fListed) {
		status_t status = _ListEntries();
		if (status != B_OK)
			return status;
	}
	if (fEntryCursor >= fEntryNames.size())
		return B_ENTRY_NOT_FOUND;
	*name = fEntryNames[fEntryCursor++];
	return B_OK;
}

status_t
BDirectory::GetNextEntry(BEntry* entry, bool traverse)
{
	if (entry == nullptr)
		return B_BAD_VALUE;
	std::string name;
	status_t status = _NextName(&name);
	if (status != B_OK)
		return status;
	int fd = fcntl(fFd, F_DUPFD_CLOEXEC, 0);
	if (fd < 0)
		return errno_status();
	return entry->_SetFromResolved(fd, fDevice, name.c_str(), traverse);
}

status_t
BDirectory::GetNextRef(entry_ref* ref)
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	std::string name;
	status_t status = _NextName(&name);
	if (status != B_OK)
		return status;
	struct stat st;
	if (fstat(fFd, &st) != 0)
		return errno_status();
	if (fEntryCursor == 1 && fDevice != kSystemRootDevice && fDevice != kHostReferenceDevice) {
		std::string path;
		if (PathResolver::DirectoryPath(fFd, fDevice, &path) == B_OK)
			VolumeTable::Default().RememberDirectory(fDevice, st.st_ino, path);
	}
	ref->device = fDevice;
	ref->directory = st.st_ino;
	return ref->set_name(name.c_str());
}

int32
BDirectory::GetNextDirents(struct dirent* buffer, size_t length, int32 count)
{
	if (buffer == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	char* out = reinterpret_cast<char*>(buffer);
	size_t used = 0;
	int32 filled = 0;
	while (filled < count) {
		if (!fListed) {
			status_t status = _ListEntries();
			if (status != B_OK)
				return status;
		}
		if (fEntryCursor >= fEntryNames.size())
			break;
		const std::string& name = fEntryNames[fEntryCursor];
		size_t recordLength = offsetof(struct dirent, d_name) + name.size() + 1;
		recordLength = (recordLength + alignof(struct dirent) - 1)
			& ~(alignof(struct dirent) - 1);
		if (used + recordLength > length) {
			if (filled == 0)
				return B_BAD_VALUE;
			break;
		}
		struct dirent* record = reinterpret_cast<struct dirent*>(out + used);
		struct stat st;
		bool known = PathResolver::StatEntry(fFd, fDevice, name, &st) == B_OK;
		record->d_ino = known ? st.st_ino : 0;
		record->d_off = fEntryCursor + 1;
		record->d_reclen = recordLength;
		record->d_type = !known ? DT_UNKNOWN : S_ISDIR(st.st_mode) ? DT_DIR
			: S_ISLNK(st.st_mode) ? DT_LNK : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
		memcpy(record->d_name, name.c_str(), name.size() + 1);
		used += recordLength;
		fEntryCursor++;
		filled++;
	}
	return filled;
}

status_t
BDirectory::Rewind()
{
	if (fCStatus != B_OK)
		return fCStatus;
	fListed = false;
	fEntryNames.clear();
	fEntryCursor = 0;
	return B_OK;
}

int32
BDirectory::CountEntries()
{
	if (fCStatus != B_OK)
		return fCStatus;
	status_t status = _ListEntries();
	if (status != B_OK)
		return status;
	int32 count = fEntryNames.size();
	Rewind();
	return count;
}

status_t
BDirectory::CreateDirectory(const char* path, BDirectory* dir)
{
	if (path == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	ResolvedEntry target;
	status_t status = PathResolver::ResolveAt(fFd, fDevice, path, false, &target);
	if (status == B_OK)
		status = check_creatable(target);
	if (status != B_OK)
		return status;
	if (mkdirat(target.directory.Get(), target.leaf.c_str(), 0777) != 0)
		return errno_status();
	if (dir != nullptr)
		return dir->_SetToResolved(target.directory.Get(), target.device, target.leaf.c_str());
	return B_OK;
}

status_t
BDirectory::CreateFile(const char* path, BFile* file, bool failIfExists)
{
	if (path == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	uint32 mode = B_READ_WRITE | B_CREATE_FILE | B_ERASE_FILE
		| (failIfExists ? B_FAIL_IF_EXISTS : 0);
	BFile scratch;
	BFile* opened = file != nullptr ? file : &scratch;
	// A plain name is made right in this directory (once it is known to be
	// inside the root); only a link found there takes the resolver, which
	// follows it inside the root.
	if (fDevice != kSystemRootDevice && fDevice != kHostReferenceDevice
		&& PathResolver::IsValidLeaf(path)) {
		std::string inside;
		status_t status = PathResolver::DirectoryPath(fFd, fDevice, &inside);
		if (status != B_OK)
			return status;
		status = opened->_Open(fFd, fDevice, path, mode);
		if (status != B_LINK_LIMIT)
			return status;
	}
	ResolvedEntry target;
	status_t status = PathResolver::ResolveAt(fFd, fDevice, path, true, &target);
	if (status == B_OK)
		status = check_creatable(target);
	if (status != B_OK)
		return status;
	return opened->_Open(target.directory.Get(), target.device, target.leaf.c_str(), mode);
}

status_t
BDirectory::CreateSymLink(const char* path, const char* linkToPath, BSymLink* link)
{
	if (path == nullptr || linkToPath == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	ResolvedEntry target;
	status_t status = PathResolver::ResolveAt(fFd, fDevice, path, false, &target);
	if (status == B_OK)
		status = check_creatable(target);
	if (status != B_OK)
		return status;
	if (symlinkat(linkToPath, target.directory.Get(), target.leaf.c_str()) != 0)
		return errno_status();
	if (link != nullptr) {
		BEntry entry;
		entry._SetFromResolved(target.directory.Release(), target.device, target.leaf.c_str(),
			false);
		return link->SetTo(&entry);
	}
	return B_OK;
}

BDirectory&
BDirectory::operator=(const BDirectory& dir)
{
	if (this != &dir) {
		Unset();
		BNode::operator=(dir);
	}
	return *this;
}

status_t
create_directory(const char* path, mode_t mode)
{
	if (path == nullptr || path[0] == '\0')
		return B_BAD_VALUE;
	std::string full = path[0] == '/' ? std::string(path)
		: VolumeTable::Default().WorkingDirectory() + "/" + path;
	size_t position = 0;
	while (position < full.size()) {
		size_t slash = full.find('/', position + 1);
		if (slash == std::string::npos)
			slash = full.size();
		std::string prefix = full.substr(0, slash);
		position = slash;
		if (prefix == "/" || prefix.back() == '/')
			continue;
		ResolvedEntry entry;
		status_t status = PathResolver::Resolve(prefix.c_str(), true, &entry);
		if (status != B_OK)
			return status;
		struct stat st;
		if (PathResolver::StatEntry(entry.directory.Get(), entry.device, entry.leaf, &st)
				== B_OK) {
			if (!S_ISDIR(st.st_mode))
				return B_NOT_A_DIRECTORY;
			continue;
		}
		status = check_creatable(entry);
		if (status != B_OK)
			return status;
		if (mkdirat(entry.directory.Get(), entry.leaf.c_str(), mode) != 0 && errno != EEXIST)
			return errno_status();
	}
	return B_OK;
}
