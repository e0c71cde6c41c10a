#ifndef _ENTRY_H
#define _ENTRY_H

// A named entry in a directory of the system root: it may name a node that
// does not exist yet ("abstract" entry) as long as its directory exists.

#include <EntryRef.h>
#include <Statable.h>
#include <StorageDefs.h>

#include <string>

class BDirectory;
class BPath;

class BEntry : public BStatable {
public:
	BEntry();
	BEntry(const BDirectory* dir, const char* path, bool traverse = false);
	BEntry(const entry_ref* ref, bool traverse = false);
	BEntry(const char* path, bool traverse = false);
	BEntry(const BEntry& entry);
	~BEntry() override;

	status_t InitCheck() const;
	bool Exists() const;

	status_t SetTo(const BDirectory* dir, const char* path, bool traverse = false);
	status_t SetTo(const entry_ref* ref, bool traverse = false);
	status_t SetTo(const char* path, bool traverse = false);
	void Unset();

	status_t GetRef(entry_ref* ref) const;
	status_t GetPath(BPath* path) const;
	status_t GetParent(BEntry* entry) const;
	status_t GetParent(BDirectory* dir) const;
	status_t GetName(char* buffer) const;

	// path is a new name in the same directory, or a path relative to it,
	// or an absolute platform path.
	status_t Rename(const char* path, bool clobber = false);
	status_t MoveTo(BDirectory* dir, const char* path = nullptr, bool clobber = false);
	status_t Remove();

	bool operator==(const BEntry& item) const;
	bool operator!=(const BEntry& item) const;
	BEntry& operator=(const BEntry& item);

	// For the kit: the host directory descriptor and leaf the entry names.
	int DirectoryDescriptor() const { return fDirFd; }
	const char* Leaf() const { return fName.c_str(); }
	dev_t Device() const { return fDevice; }

protected:
	status_t _OpenStatTarget(FileDescriptor* owned, int* fd, dev_t* device,
		bool writable) const override;

private:
	friend class BDirectory;
	friend class BFile;
	friend class BNode;
	friend class BPath;

	status_t _SetFromResolved(int dirFd, dev_t device, const char* leaf, bool traverse);
	status_t _MoveTo(int dirFd, dev_t device, const char* leaf, bool clobber);
	// Entry-level changes (rename, remove) are refused for the root's own
	// entries, the volumes; every change is refused outside the root.
	status_t _CheckWritable(bool entryLevel) const;
	status_t _Path(std::string* path) const;

	int fDirFd;
	dev_t fDevice;
	std::string fName;
	status_t fCStatus;
};

// The entry_ref of a platform path (the last component is not followed).
status_t get_ref_for_path(const char* path, entry_ref* ref);

#endif // _ENTRY_H
