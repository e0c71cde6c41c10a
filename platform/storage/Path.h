#ifndef _PATH_H
#define _PATH_H

// An absolute platform path text. Normalising resolves ".", "..", repeated
// slashes and links of the directories on the way (not the leaf); it needs
// the leaf's directory to exist.

#include <EntryRef.h>
#include <StorageDefs.h>

#include <string>

class BDirectory;
class BEntry;

class BPath {
public:
	BPath();
	BPath(const BPath& path);
	BPath(const entry_ref* ref);
	BPath(const BEntry* entry);
	BPath(const char* dir, const char* leaf = nullptr, bool normalize = false);
	BPath(const BDirectory* dir, const char* leaf, bool normalize = false);
	~BPath();

	status_t InitCheck() const;

	status_t SetTo(const entry_ref* ref);
	status_t SetTo(const BEntry* entry);
	status_t SetTo(const char* path, const char* leaf = nullptr, bool normalize = false);
	status_t SetTo(const BDirectory* dir, const char* leaf = nullptr, bool normalize = false);
	void Unset();

	status_t Append(const char* path, bool normalize = false);

	const char* Path() const;
	const char* Leaf() const;
	status_t GetParent(BPath* path) const;

	bool operator==(const BPath& item) const;
	bool operator==(const char* path) const;
	bool operator!=(const BPath& item) const;
	bool operator!=(const char* path) const;
	BPath& operator=(const BPath& item);
	BPath& operator=(const char* path);

private:
	status_t _Set(const std::string& path, status_t status);

	std::string fPath;
	status_t fCStatus;
};

#endif // _PATH_H
