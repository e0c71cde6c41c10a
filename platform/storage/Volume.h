#ifndef _VOLUME_H
#define _VOLUME_H

// A mounted volume of the system root: a directory (or a link to a host
// directory) directly in the root, named after it. Its properties come from
// the host file system behind it.

#include <StorageDefs.h>

class BDirectory;

class BVolume {
public:
	BVolume();
	BVolume(dev_t device);
	BVolume(const BVolume& volume);
	~BVolume();

	status_t InitCheck() const;
	status_t SetTo(dev_t device);
	void Unset();

	dev_t Device() const;
	status_t GetRootDirectory(BDirectory* directory) const;

	off_t Capacity() const;
	off_t FreeBytes() const;

	// buffer holds at least B_FILE_NAME_LENGTH bytes.
	status_t GetName(char* name) const;
	// Renaming a volume is not offered: B_UNSUPPORTED.
	status_t SetName(const char* name);

	bool IsRemovable() const;
	bool IsReadOnly() const;
	bool IsPersistent() const;
	bool IsShared() const;
	bool KnowsMime() const;
	bool KnowsAttr() const;
	bool KnowsQuery() const;

	// Writes everything the host holds in memory for the volume's file
	// system to its disk, and waits until it is there: what a run
	// installed survives a power cut once this returns B_OK.
	status_t Sync() const;

	bool operator==(const BVolume& volume) const;
	bool operator!=(const BVolume& volume) const;
	BVolume& operator=(const BVolume& volume);

private:
	dev_t fDevice;
	status_t fCStatus;
};

#endif // _VOLUME_H
