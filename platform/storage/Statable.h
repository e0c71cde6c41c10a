#ifndef _STATABLE_H
#define _STATABLE_H

// What entries and nodes share: the stat record of the node and its owner,
// permissions and times. st_dev in the stat record is the platform's device
// number of the volume, st_ino the host's node number.

#include <SupportDefs.h>

#include <sys/stat.h>
#include <ctime>

struct node_ref;
class BVolume;
class FileDescriptor;

class BStatable {
public:
	virtual ~BStatable();

	virtual status_t GetStat(struct stat* st) const;

	bool IsFile() const;
	bool IsDirectory() const;
	bool IsSymLink() const;

	virtual status_t GetNodeRef(node_ref* ref) const;

	status_t GetOwner(uid_t* owner) const;
	status_t SetOwner(uid_t owner);
	status_t GetGroup(gid_t* group) const;
	status_t SetGroup(gid_t group);
	status_t GetPermissions(mode_t* permissions) const;
	status_t SetPermissions(mode_t permissions);
	status_t GetSize(off_t* size) const;

	status_t GetModificationTime(time_t* mtime) const;
	status_t SetModificationTime(time_t mtime);
	status_t GetCreationTime(time_t* ctime) const;
	status_t SetCreationTime(time_t ctime);
	status_t GetAccessTime(time_t* atime) const;
	status_t SetAccessTime(time_t atime);

	status_t GetVolume(BVolume* volume) const;

protected:
	// A host descriptor of the node the calls act on (never what a link
	// there points to), with the platform device of its volume: either one
	// the object already holds (*fd only), or a new one, then also kept in
	// *owned so that it closes with it. writable asks for a node that may be
	// changed: refused outside the volumes of the root.
	virtual status_t _OpenStatTarget(FileDescriptor* owned, int* fd, dev_t* device,
		bool writable) const = 0;
	// False when the node is known to be no link, which spares asking.
	virtual bool _MayBeLink() const { return true; }

private:
	status_t _SetTimes(time_t atime, bool setAccess, time_t mtime, bool setModification);
	status_t _SetOwnership(uid_t owner, gid_t group);
};

#endif // _STATABLE_H
