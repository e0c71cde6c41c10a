#ifndef _DIRECTORY_H
#define _DIRECTORY_H

// A directory: its entries, and the creation of new ones in it. The root
// directory "/" lists the volumes; nothing can be created there (that would
// be mounting a volume).

#include <EntryList.h>
#include <Node.h>

#include <string>
#include <vector>

class BFile;
class BSymLink;

class BDirectory : public BNode, public BEntryList {
public:
	BDirectory();
	BDirectory(const BDirectory& dir);
	BDirectory(const entry_ref* ref);
	BDirectory(const node_ref* ref);
	BDirectory(const BEntry* entry);
	BDirectory(const char* path);
	BDirectory(const BDirectory* dir, const char* path);
	~BDirectory() override;

	// A link named as the directory is followed (inside the system root).
	status_t SetTo(const entry_ref* ref);
	status_t SetTo(const node_ref* ref);
	status_t SetTo(const BEntry* entry);
	status_t SetTo(const char* path);
	status_t SetTo(const BDirectory* dir, const char* path);
	void Unset();

	status_t GetEntry(BEntry* entry) const;
	// True for the root of a volume and for "/".
	bool IsRootDirectory() const;

	status_t FindEntry(const char* path, BEntry* entry, bool traverse = false) const;
	bool Contains(const char* path, int32 nodeFlags = B_ANY_NODE) const;
	bool Contains(const BEntry* entry, int32 nodeFlags = B_ANY_NODE) const;
	status_t GetStatFor(const char* path, struct stat* st) const;

	// Entries in host order without "." and ".."; links are not followed
	// unless traverse asks for it.
	status_t GetNextEntry(BEntry* entry, bool traverse = false) override;
	status_t GetNextRef(entry_ref* ref) override;
	int32 GetNextDirents(struct dirent* buffer, size_t length, int32 count = INT_MAX) override;
	status_t Rewind() override;
	int32 CountEntries() override;

	status_t CreateDirectory(const char* path, BDirectory* dir);
	status_t CreateFile(const char* path, BFile* file, bool failIfExists = false);
	status_t CreateSymLink(const char* path, const char* linkToPath, BSymLink* link);

	BDirectory& operator=(const BDirectory& dir);

private:
	status_t _SetToResolved(int dirFd, dev_t device, const char* leaf);
	status_t _ListEntries();
	status_t _NextName(std::string* name);
	bool _IsSystemRoot() const;

	std::vector<std::string> fEntryNames;
	size_t fEntryCursor;
	bool fListed;
};

// Creates every missing directory of path with the given mode.
status_t create_directory(const char* path, mode_t mode);

#endif // _DIRECTORY_H
