#include <Statable.h>

#include <AttributeStore.h>
#include <FileDescriptor.h>
#include <Node.h>
#include <Volume.h>
#include <VolumeTable.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int kEmptyPathNoFollow = AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW;

}	// namespace

BStatable::~BStatable()
{
}

status_t
BStatable::GetStat(struct stat* st) const
{
	if (st == nullptr)
		return B_BAD_VALUE;
	FileDescriptor owned;
	int node;
	dev_t device;
	status_t status = _OpenStatTarget(&owned, &node, &device, false);
	if (status != B_OK)
		return status;
	if (fstatat(node, "", st, kEmptyPathNoFollow) != 0)
		return errno_status();
	st->st_dev = device;
	return B_OK;
}

bool
BStatable::IsFile() const
{
	struct stat st;
	return GetStat(&st) == B_OK && S_ISREG(st.st_mode);
}

bool
BStatable::IsDirectory() const
{
	struct stat st;
	return GetStat(&st) == B_OK && S_ISDIR(st.st_mode);
}

bool
BStatable::IsSymLink() const
{
	struct stat st;
	return GetStat(&st) == B_OK && S_ISLNK(st.st_mode);
}

status_t
BStatable::GetNodeRef(node_ref* ref) const
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	struct stat st;
	status_t status = GetStat(&st);
	if (status != B_OK)
		return status;
	ref->device = st.st_dev;
	ref->node = st.st_ino;
	return B_OK;
}

status_t
BStatable::GetOwner(uid_t* owner) const
{
	struct stat st;
	status_t status = owner != nullptr ? GetStat(&st) : B_BAD_VALUE;
	if (status == B_OK)
		*owner = st.st_uid;
	return status;
}

status_t
BStatable::SetOwner(uid_t owner)
{
	return _SetOwnership(owner, (gid_t)-1);
}

status_t
BStatable::GetGroup(gid_t* group) const
{
	struct stat st;
	status_t status = group != nullptr ? GetStat(&st) : B_BAD_VALUE;
	if (status == B_OK)
		*group = st.st_gid;
	return status;
}

status_t
BStatable::SetGroup(gid_t group)
{
	return _SetOwnership((uid_t)-1, group);
}

// -1 leaves the owner or the group as it is.
status_t
BStatable::_SetOwnership(uid_t owner, gid_t group)
{
	FileDescriptor owned;
	int node;
	dev_t device;
	status_t status = _OpenStatTarget(&owned, &node, &device, true);
	if (status != B_OK)
		return status;
	if (fchownat(node, "", owner, group, kEmptyPathNoFollow) != 0)
		return errno_status();
	return B_OK;
}

status_t
BStatable::GetPermissions(mode_t* permissions) const
{
	struct stat st;
	status_t status = permissions != nullptr ? GetStat(&st) : B_BAD_VALUE;
	if (status == B_OK)
		*permissions = st.st_mode & 07777;
	return status;
}

status_t
BStatable::SetPermissions(mode_t permissions)
{
	FileDescriptor owned;
	int node;
	dev_t device;
	status_t status = _OpenStatTarget(&owned, &node, &device, true);
	if (status != B_OK)
		return status;
	struct stat st;
	if (fstatat(node, "", &st, kEmptyPathNoFollow) != 0)
		return errno_status();
	// The host keeps no mode on a link: nothing to apply.
	if (S_ISLNK(st.st_mode))
		return B_OK;
	// A descriptor opened only as a path cannot change the mode itself.
	if (fchmod(node, permissions & 07777) != 0
		&& (errno != EBADF
			|| fchmodat(AT_FDCWD, descriptor_proc_path(node).c_str(), permissions & 07777, 0)
				!= 0))
		return errno_status();
	return B_OK;
}

status_t
BStatable::GetSize(off_t* size) const
{
	struct stat st;
	status_t status = size != nullptr ? GetStat(&st) : B_BAD_VALUE;
	if (status == B_OK)
		*size = st.st_size;
	return status;
}

status_t
BStatable::GetModificationTime(time_t* mtime) const
{
	struct stat st;
	status_t status = mtime != nullptr ? GetStat(&st) : B_BAD_VALUE;
	if (status == B_OK)
		*mtime = st.st_mtime;
	return status;
}

status_t
BStatable::SetModificationTime(time_t mtime)
{
	return _SetTimes(0, false, mtime, true);
}

status_t
BStatable::GetAccessTime(time_t* atime) const
{
	struct stat st;
	status_t status = atime != nullptr ? GetStat(&st) : B_BAD_VALUE;
	if (status == B_OK)
		*atime = st.st_atime;
	return status;
}

status_t
BStatable::SetAccessTime(time_t atime)
{
	return _SetTimes(atime, true, 0, false);
}

status_t
BStatable::_SetTimes(time_t atime, bool setAccess, time_t mtime, bool setModification)
{
	FileDescriptor owned;
	int node;
	dev_t device;
	status_t status = _OpenStatTarget(&owned, &node, &device, true);
	if (status != B_OK)
		return status;
	struct timespec times[2];
	times[0].tv_sec = atime;
	times[0].tv_nsec = setAccess ? 0 : UTIME_OMIT;
	times[1].tv_sec = mtime;
	times[1].tv_nsec = setModification ? 0 : UTIME_OMIT;
	// On a link this sets the link's own times.
	if (utimensat(node, "", times, kEmptyPathNoFollow) != 0)
		return errno_status();
	return B_OK;
}

status_t
BStatable::GetCreationTime(time_t* ctime) const
{
	if (ctime == nullptr)
		return B_BAD_VALUE;
	FileDescriptor owned;
	int node;
	dev_t device;
	status_t status = _OpenStatTarget(&owned, &node, &device, false);
	if (status != B_OK)
		return status;
	struct statx sx;
	if (statx(node, "", kEmptyPathNoFollow, STATX_BTIME | STATX_MTIME | STATX_TYPE, &sx)
			!= 0)
		return errno_status();
	// Linux cannot set a birth time: a creation time set through the kit is
	// kept in a reserved attribute, else the birth time, else the
	// modification time stands in.
	if (!S_ISLNK(sx.stx_mode) && AttributeStore::GetCreationTime(node, ctime) == B_OK)
		return B_OK;
	if ((sx.stx_mask & STATX_BTIME) != 0)
		*ctime = sx.stx_btime.tv_sec;
	else
		*ctime = sx.stx_mtime.tv_sec;
	return B_OK;
}

status_t
BStatable::SetCreationTime(time_t ctime)
{
	FileDescriptor owned;
	int node;
	dev_t device;
	status_t status = _OpenStatTarget(&owned, &node, &device, true);
	if (status != B_OK)
		return status;
	// A link keeps no attributes: its creation time cannot be recorded.
	if (_MayBeLink()) {
		struct stat st;
		if (fstatat(node, "", &st, kEmptyPathNoFollow) != 0)
			return errno_status();
		if (S_ISLNK(st.st_mode))
			return B_OK;
	}
	return AttributeStore::SetCreationTime(node, ctime);
}

status_t
BStatable::GetVolume(BVolume* volume) const
{
	if (volume == nullptr)
		return B_BAD_VALUE;
	struct stat st;
	status_t status = GetStat(&st);
	if (status != B_OK)
		return status;
	return volume->SetTo(st.st_dev);
}
