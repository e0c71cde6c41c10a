#include <Node.h>

#include <AttributeStore.h>
#include <TextCopy.h>
#include <Directory.h>
#include <Entry.h>
#include <PathResolver.h>
#include <SystemRoot.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

node_ref::node_ref()
	:
	device((dev_t)-1),
	node((ino_t)-1)
{
}

node_ref::node_ref(dev_t device, ino_t node)
	:
	device(device),
	node(node)
{
}

node_ref::node_ref(const node_ref& other)
	:
	device(other.device),
	node(other.node)
{
}

bool
node_ref::operator==(const node_ref& other) const
{
	return device == other.device && node == other.node;
}

bool
node_ref::operator!=(const node_ref& other) const
{
	return !(*this == other);
}

bool
node_ref::operator<(const node_ref& other) const
{
	if (device != other.device)
		return device < other.device;
	return node < other.node;
}

node_ref&
node_ref::operator=(const node_ref& other)
{
	device = other.device;
	node = other.node;
	return *this;
}

BNode::BNode()
	:
	fFd(-1),
	fOpenFlags(0),
	fDevice((dev_t)-1),
	fCStatus(B_NO_INIT),
	fNodeRefKnown(false),
	fAttrCursor(0),
	fAttrsListed(false)
{
}

BNode::BNode(const entry_ref* ref)
	:
	BNode()
{
	SetTo(ref);
}

BNode::BNode(const BEntry* entry)
	:
	BNode()
{
	SetTo(entry);
}

BNode::BNode(const char* path)
	:
	BNode()
{
	SetTo(path);
}

BNode::BNode(const BDirectory* dir, const char* path)
	:
	BNode()
{
	SetTo(dir, path);
}

BNode::BNode(const BNode& node)
	:
	BNode()
{
	*this = node;
}

BNode::~BNode()
{
	Unset();
}

status_t
BNode::InitCheck() const
{
	return fCStatus;
}

void
BNode::Unset()
{
	if (fFd >= 0)
		close(fFd);
	fFd = -1;
	fOpenFlags = 0;
	fDevice = (dev_t)-1;
	fCStatus = B_NO_INIT;
	fNodeRefKnown = false;
	fAttrNames.clear();
	fAttrCursor = 0;
	fAttrsListed = false;
}

status_t
BNode::_SetToDescriptor(int fd, dev_t device, int openFlags)
{
	Unset();
	fFd = fd;
	fDevice = device;
	fOpenFlags = openFlags;
	return fCStatus = B_OK;
}

status_t
BNode::_SetToEntry(const BEntry& entry)
{
	Unset();
	if (entry.InitCheck() != B_OK)
		return fCStatus = entry.InitCheck();
	int fd;
	dev_t device;
	status_t status = PathResolver::OpenNode(entry.fDirFd, entry.fDevice, entry.fName, O_PATH,
		&fd, &device);
	if (status != B_OK)
		return fCStatus = status;
	return _SetToDescriptor(fd, device, O_PATH);
}

status_t
BNode::SetTo(const entry_ref* ref)
{
	if (ref == nullptr) {
		Unset();
		return fCStatus = B_BAD_VALUE;
	}
	BEntry entry(ref);
	return _SetToEntry(entry);
}

status_t
BNode::SetTo(const BEntry* entry)
{
	if (entry == nullptr) {
		Unset();
		return fCStatus = B_BAD_VALUE;
	}
	return _SetToEntry(*entry);
}

status_t
BNode::SetTo(const char* path)
{
	BEntry entry(path);
	return _SetToEntry(entry);
}

status_t
BNode::SetTo(const BDirectory* dir, const char* path)
{
	BEntry entry(dir, path);
	return _SetToEntry(entry);
}

status_t
BNode::Lock()
{
	return fCStatus != B_OK ? fCStatus : B_UNSUPPORTED;
}

status_t
BNode::Unlock()
{
	return fCStatus != B_OK ? fCStatus : B_UNSUPPORTED;
}

status_t
BNode::Sync()
{
	if (fCStatus != B_OK)
		return fCStatus;
	if ((fOpenFlags & O_PATH) != 0)
		return B_OK;
	return fsync(fFd) == 0 ? B_OK : errno_status();
}

status_t
BNode::_CheckWritable() const
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (fDevice == kHostReferenceDevice)
		return B_READ_ONLY_DEVICE;
	if (fDevice == kSystemRootDevice)
		return B_NOT_ALLOWED;
	return B_OK;
}

bool
BNode::_IsSymLink() const
{
	struct stat st;
	return _MayBeLink() && fFd >= 0 && fstat(fFd, &st) == 0 && S_ISLNK(st.st_mode);
}

// Only a descriptor opened for the node alone (O_PATH) can be one of a link:
// opening a link for reading or writing opens what it points to, or fails.
bool
BNode::_MayBeLink() const
{
	return (fOpenFlags & O_PATH) != 0;
}

ssize_t
BNode::WriteAttr(const char* name, type_code type, off_t offset, const void* buffer,
	size_t length)
{
	status_t status = _CheckWritable();
	if (status != B_OK)
		return status;
	// The host keeps no user attributes on a link: not applied, no error.
	if (_IsSymLink())
		return length;
	return AttributeStore::Write(fFd, name, type, offset, buffer, length);
}

ssize_t
BNode::ReadAttr(const char* name, type_code, off_t offset, void* buffer, size_t length) const
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (_IsSymLink())
		return B_ENTRY_NOT_FOUND;
	return AttributeStore::Read(fFd, name, offset, buffer, length);
}

status_t
BNode::RemoveAttr(const char* name)
{
	status_t status = _CheckWritable();
	if (status != B_OK)
		return status;
	if (_IsSymLink())
		return B_OK;
	return AttributeStore::Remove(fFd, name);
}

status_t
BNode::RenameAttr(const char* oldName, const char* newName)
{
	status_t status = _CheckWritable();
	if (status != B_OK)
		return status;
	if (_IsSymLink())
		return B_ENTRY_NOT_FOUND;
	return AttributeStore::Rename(fFd, oldName, newName);
}

status_t
BNode::GetAttrInfo(const char* name, attr_info* info) const
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (_IsSymLink())
		return B_ENTRY_NOT_FOUND;
	return AttributeStore::GetInfo(fFd, name, info);
}

status_t
BNode::GetNextAttrName(char* buffer)
{
	if (buffer == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	if (!fAttrsListed) {
		fAttrNames.clear();
		if (!_IsSymLink()) {
			status_t status = AttributeStore::List(fFd, &fAttrNames);
			if (status != B_OK)
				return status;
		}
		fAttrsListed = true;
		fAttrCursor = 0;
	}
	if (fAttrCursor >= fAttrNames.size())
		return B_ENTRY_NOT_FOUND;
	copy_text(buffer, fAttrNames[fAttrCursor++].c_str(), B_ATTR_NAME_LENGTH);
	return B_OK;
}

status_t
BNode::RewindAttrs()
{
	if (fCStatus != B_OK)
		return fCStatus;
	fAttrsListed = false;
	fAttrNames.clear();
	fAttrCursor = 0;
	return B_OK;
}

int
BNode::Dup()
{
	if (fCStatus != B_OK)
		return fCStatus;
	int fd = fcntl(fFd, F_DUPFD_CLOEXEC, 0);
	return fd >= 0 ? fd : errno_status();
}

status_t
BNode::GetNodeRef(node_ref* ref) const
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	if (!fNodeRefKnown) {
		status_t status = BStatable::GetNodeRef(&fNodeRef);
		if (status != B_OK)
			return status;
		fNodeRefKnown = true;
	}
	*ref = fNodeRef;
	return B_OK;
}

bool
BNode::operator==(const BNode& node) const
{
	if (fCStatus != B_OK || node.fCStatus != B_OK)
		return fCStatus != B_OK && node.fCStatus != B_OK;
	struct stat mine, theirs;
	if (fstat(fFd, &mine) != 0 || fstat(node.fFd, &theirs) != 0)
		return false;
	return fDevice == node.fDevice && mine.st_ino == theirs.st_ino;
}

bool
BNode::operator!=(const BNode& node) const
{
	return !(*this == node);
}

BNode&
BNode::operator=(const BNode& node)
{
	if (this == &node)
		return *this;
	Unset();
	if (node.fCStatus == B_OK) {
		int fd = fcntl(node.fFd, F_DUPFD_CLOEXEC, 0);
		if (fd < 0) {
			fCStatus = errno_status();
			return *this;
		}
		_SetToDescriptor(fd, node.fDevice, node.fOpenFlags);
	}
	fCStatus = node.fCStatus;
	return *this;
}

status_t
BNode::_OpenStatTarget(FileDescriptor*, int* fd, dev_t* device, bool writable) const
{
	status_t status = writable ? _CheckWritable() : fCStatus;
	if (status != B_OK)
		return status;
	*fd = fFd;
	*device = fDevice;
	return B_OK;
}
