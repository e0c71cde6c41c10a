#include <Entry.h>

#include <Directory.h>
#include <Path.h>
#include <TextCopy.h>
#include <PathResolver.h>
#include <SystemRoot.h>
#include <VolumeTable.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

BEntry::BEntry()
	:
	fDirFd(-1),
	fDevice((dev_t)-1),
	fCStatus(B_NO_INIT)
{
}

BEntry::BEntry(const BDirectory* dir, const char* path, bool traverse)
	:
	BEntry()
{
	SetTo(dir, path, traverse);
}

BEntry::BEntry(const entry_ref* ref, bool traverse)
	:
	BEntry()
{
	SetTo(ref, traverse);
}

BEntry::BEntry(const char* path, bool traverse)
	:
	BEntry()
{
	SetTo(path, traverse);
}

BEntry::BEntry(const BEntry& entry)
	:
	BEntry()
{
	*this = entry;
}

BEntry::~BEntry()
{
	Unset();
}

status_t
BEntry::InitCheck() const
{
	return fCStatus;
}

bool
BEntry::Exists() const
{
	struct stat st;
	return fCStatus == B_OK && PathResolver::StatEntry(fDirFd, fDevice, fName, &st) == B_OK;
}

void
BEntry::Unset()
{
	if (fDirFd >= 0)
		close(fDirFd);
	fDirFd = -1;
	fDevice = (dev_t)-1;
	fName.clear();
	fCStatus = B_NO_INIT;
}

status_t
BEntry::_SetFromResolved(int dirFd, dev_t device, const char* leaf, bool traverse)
{
	Unset();
	fDirFd = dirFd;
	fDevice = device;
	fName = leaf;
	fCStatus = B_OK;
	if (traverse) {
		struct stat st;
		if (PathResolver::StatEntry(fDirFd, fDevice, fName, &st) == B_OK && S_ISLNK(st.st_mode)) {
			ResolvedEntry target;
			status_t status = PathResolver::Traverse(fDirFd, fDevice, fName, &target);
			if (status != B_OK) {
				Unset();
				return fCStatus = status;
			}
			return _SetFromResolved(target.directory.Release(), target.device,
				target.leaf.c_str(), false);
		}
	}
	return B_OK;
}

status_t
BEntry::SetTo(const char* path, bool traverse)
{
	Unset();
	ResolvedEntry entry;
	status_t status = PathResolver::Resolve(path, traverse, &entry);
	if (status != B_OK)
		return fCStatus = status;
	return _SetFromResolved(entry.directory.Release(), entry.device, entry.leaf.c_str(), false);
}

status_t
BEntry::SetTo(const entry_ref* ref, bool traverse)
{
	Unset();
	if (ref == nullptr)
		return fCStatus = B_BAD_VALUE;
	ResolvedEntry entry;
	status_t status = PathResolver::ResolveRef(*ref, traverse, &entry);
	if (status != B_OK)
		return fCStatus = status;
	return _SetFromResolved(entry.directory.Release(), entry.device, entry.leaf.c_str(),
		traverse);
}

status_t
BEntry::SetTo(const BDirectory* dir, const char* path, bool traverse)
{
	Unset();
	if (dir == nullptr)
		return fCStatus = B_BAD_VALUE;
	if (dir->InitCheck() != B_OK)
		return fCStatus = dir->InitCheck();
	if (path == nullptr) {
		status_t status = dir->GetEntry(this);
		if (status != B_OK)
			fCStatus = status;
		return status;
	}
	ResolvedEntry entry;
	status_t status = PathResolver::ResolveAt(dir->fFd, dir->fDevice, path, traverse, &entry);
	if (status != B_OK)
		return fCStatus = status;
	return _SetFromResolved(entry.directory.Release(), entry.device, entry.leaf.c_str(), false);
}

status_t
BEntry::_Path(std::string* path) const
{
	if (fCStatus != B_OK)
		return fCStatus;
	std::string directory;
	status_t status = PathResolver::DirectoryPath(fDirFd, fDevice, &directory);
	if (status != B_OK)
		return status;
	if (fName == ".")
		*path = directory;
	else
		*path = (directory == "/" ? "" : directory) + "/" + fName;
	return B_OK;
}

status_t
BEntry::GetRef(entry_ref* ref) const
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	struct stat st;
	if (fstat(fDirFd, &st) != 0)
		return errno_status();
	if (fDevice != kHostReferenceDevice && fDevice != kSystemRootDevice) {
		std::string directory;
		if (PathResolver::DirectoryPath(fDirFd, fDevice, &directory) == B_OK)
			VolumeTable::Default().RememberDirectory(fDevice, st.st_ino, directory);
	}
	ref->device = fDevice;
	ref->directory = st.st_ino;
	return ref->set_name(fName.c_str());
}

status_t
BEntry::GetPath(BPath* path) const
{
	if (path == nullptr)
		return B_BAD_VALUE;
	return path->SetTo(this);
}

status_t
BEntry::GetParent(BEntry* entry) const
{
	if (entry == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	if (fDevice == kSystemRootDevice && fName == ".")
		return B_ENTRY_NOT_FOUND;
	// The parent is the entry that names the directory this one is in.
	ResolvedEntry parent;
	status_t status = PathResolver::EntryOfDirectory(fDirFd, fDevice, &parent);
	if (status != B_OK)
		return status;
	return entry->_SetFromResolved(parent.directory.Release(), parent.device,
		parent.leaf.c_str(), false);
}

status_t
BEntry::GetParent(BDirectory* dir) const
{
	if (dir == nullptr)
		return B_BAD_VALUE;
	BEntry parent;
	status_t status = GetParent(&parent);
	if (status != B_OK)
		return status;
	return dir->SetTo(&parent);
}

status_t
BEntry::GetName(char* buffer) const
{
	if (buffer == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	const char* name = fDevice == kSystemRootDevice && fName == "." ? "/" : fName.c_str();
	copy_text(buffer, name, B_FILE_NAME_LENGTH);
	return B_OK;
}

status_t
BEntry::_CheckWritable(bool entryLevel) const
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (fDevice == kHostReferenceDevice)
		return B_READ_ONLY_DEVICE;
	if (fDevice == kSystemRootDevice && (entryLevel || fName == "."))
		return B_NOT_ALLOWED;
	return B_OK;
}

status_t
BEntry::_MoveTo(int dirFd, dev_t device, const char* leaf, bool clobber)
{
	FileDescriptor directory(dirFd);
	status_t status = _CheckWritable(true);
	if (status != B_OK)
		return status;
	if (device == kHostReferenceDevice)
		return B_READ_ONLY_DEVICE;
	if (device == kSystemRootDevice)
		return B_NOT_ALLOWED;
	if (device != fDevice)
		return B_CROSS_DEVICE_LINK;
	if (strlen(leaf) >= B_FILE_NAME_LENGTH)
		return B_NAME_TOO_LONG;
	if (!PathResolver::IsValidLeaf(leaf))
		return B_BAD_VALUE;

	int result = renameat2(fDirFd, fName.c_str(), directory.Get(), leaf,
		clobber ? 0 : RENAME_NOREPLACE);
	if (result != 0 && errno == EINVAL && !clobber) {
		// A file system without the no-replace flag: check, then rename.
		struct stat st;
		if (fstatat(directory.Get(), leaf, &st, AT_SYMLINK_NOFOLLOW) == 0)
			return B_FILE_EXISTS;
		result = renameat(fDirFd, fName.c_str(), directory.Get(), leaf);
	}
	if (result != 0)
		return errno_status();
	if (fDirFd >= 0)
		close(fDirFd);
	fDirFd = directory.Release();
	fName = leaf;
	return B_OK;
}

status_t
BEntry::Rename(const char* path, bool clobber)
{
	if (path == nullptr || path[0] == '\0')
		return B_BAD_VALUE;
	status_t status = _CheckWritable(true);
	if (status != B_OK)
		return status;
	ResolvedEntry target;
	status = PathResolver::ResolveAt(fDirFd, fDevice, path, false, &target);
	if (status != B_OK)
		return status;
	return _MoveTo(target.directory.Release(), target.device, target.leaf.c_str(), clobber);
}

status_t
BEntry::MoveTo(BDirectory* dir, const char* path, bool clobber)
{
	if (dir == nullptr)
		return B_BAD_VALUE;
	if (dir->InitCheck() != B_OK)
		return dir->InitCheck();
	status_t status = _CheckWritable(true);
	if (status != B_OK)
		return status;
	ResolvedEntry target;
	status = PathResolver::ResolveAt(dir->fFd, dir->fDevice,
		path != nullptr ? path : fName.c_str(), false, &target);
	if (status != B_OK)
		return status;
	return _MoveTo(target.directory.Release(), target.device, target.leaf.c_str(), clobber);
}

status_t
BEntry::Remove()
{
	status_t status = _CheckWritable(true);
	if (status != B_OK)
		return status;
	struct stat st;
	if (fstatat(fDirFd, fName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
		return errno_status();
	if (unlinkat(fDirFd, fName.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0)
		return errno_status();
	return B_OK;
}

bool
BEntry::operator==(const BEntry& item) const
{
	if (fCStatus != B_OK || item.fCStatus != B_OK)
		return fCStatus != B_OK && item.fCStatus != B_OK;
	struct stat mine, theirs;
	if (fstat(fDirFd, &mine) != 0 || fstat(item.fDirFd, &theirs) != 0)
		return false;
	return fDevice == item.fDevice && mine.st_ino == theirs.st_ino && fName == item.fName;
}

bool
BEntry::operator!=(const BEntry& item) const
{
	return !(*this == item);
}

BEntry&
BEntry::operator=(const BEntry& item)
{
	if (this == &item)
		return *this;
	Unset();
	if (item.fCStatus == B_OK) {
		fDirFd = fcntl(item.fDirFd, F_DUPFD_CLOEXEC, 0);
		if (fDirFd < 0) {
			fCStatus = errno_status();
			return *this;
		}
		fDevice = item.fDevice;
		fName = item.fName;
	}
	fCStatus = item.fCStatus;
	return *this;
}

status_t
BEntry::_OpenStatTarget(FileDescriptor* owned, int* fd, dev_t* device, bool writable) const
{
	if (writable) {
		status_t status = _CheckWritable(false);
		if (status != B_OK)
			return status;
	}
	if (fCStatus != B_OK)
		return fCStatus;
	int opened;
	status_t status = PathResolver::OpenNode(fDirFd, fDevice, fName, O_PATH, &opened, device);
	if (status != B_OK)
		return status;
	owned->Reset(opened);
	*fd = opened;
	return B_OK;
}

status_t
get_ref_for_path(const char* path, entry_ref* ref)
{
	if (path == nullptr || ref == nullptr)
		return B_BAD_VALUE;
	BEntry entry(path);
	status_t status = entry.InitCheck();
	if (status != B_OK)
		return status;
	return entry.GetRef(ref);
}
