#include <Path.h>

#include <Directory.h>
#include <Entry.h>
#include <PathResolver.h>
#include <VolumeTable.h>

#include <cstring>

namespace {

// Whether the text has parts that only resolution can take out.
bool
needs_normalizing(const std::string& path)
{
	if (path.empty() || path[0] != '/')
		return true;
	if (path.find("//") != std::string::npos)
		return true;
	size_t start = 1;
	while (start <= path.size()) {
		size_t slash = path.find('/', start);
		if (slash == std::string::npos)
			slash = path.size();
		std::string component = path.substr(start, slash - start);
		if (component == "." || component == "..")
			return true;
		start = slash + 1;
	}
	return false;
}

}	// namespace

BPath::BPath()
	:
	fCStatus(B_NO_INIT)
{
}

BPath::BPath(const BPath& path)
	:
	fPath(path.fPath),
	fCStatus(path.fCStatus)
{
}

BPath::BPath(const entry_ref* ref)
	:
	BPath()
{
	SetTo(ref);
}

BPath::BPath(const BEntry* entry)
	:
	BPath()
{
	SetTo(entry);
}

BPath::BPath(const char* dir, const char* leaf, bool normalize)
	:
	BPath()
{
	SetTo(dir, leaf, normalize);
}

BPath::BPath(const BDirectory* dir, const char* leaf, bool normalize)
	:
	BPath()
{
	SetTo(dir, leaf, normalize);
}

BPath::~BPath()
{
}

status_t
BPath::InitCheck() const
{
	return fCStatus;
}

status_t
BPath::_Set(const std::string& path, status_t status)
{
	if (status != B_OK) {
		fPath.clear();
		return fCStatus = status;
	}
	fPath = path;
	return fCStatus = B_OK;
}

void
BPath::Unset()
{
	fPath.clear();
	fCStatus = B_NO_INIT;
}

status_t
BPath::SetTo(const entry_ref* ref)
{
	if (ref == nullptr)
		return _Set("", B_BAD_VALUE);
	BEntry entry(ref);
	return SetTo(&entry);
}

status_t
BPath::SetTo(const BEntry* entry)
{
	if (entry == nullptr)
		return _Set("", B_BAD_VALUE);
	std::string path;
	status_t status = entry->_Path(&path);
	return _Set(path, status);
}

status_t
BPath::SetTo(const char* path, const char* leaf, bool normalize)
{
	if (path == nullptr || path[0] == '\0')
		return _Set("", B_BAD_VALUE);
	if (leaf != nullptr && leaf[0] == '/')
		return _Set("", B_BAD_VALUE);
	std::string full = path;
	if (leaf != nullptr && leaf[0] != '\0')
		full += "/" + std::string(leaf);
	if (full.size() >= B_PATH_NAME_LENGTH)
		return _Set("", B_NAME_TOO_LONG);

	if (normalize || needs_normalizing(full)) {
		ResolvedEntry entry;
		status_t status = PathResolver::Resolve(full.c_str(), false, &entry);
		if (status != B_OK)
			return _Set("", status);
		return _Set(entry.Path(), B_OK);
	}
	while (full.size() > 1 && full.back() == '/')
		full.pop_back();
	return _Set(full, B_OK);
}

status_t
BPath::SetTo(const BDirectory* dir, const char* leaf, bool normalize)
{
	if (dir == nullptr || dir->InitCheck() != B_OK)
		return _Set("", dir == nullptr ? B_BAD_VALUE : dir->InitCheck());
	if (leaf != nullptr && leaf[0] == '/')
		return _Set("", B_BAD_VALUE);
	std::string directory;
	status_t status = PathResolver::DirectoryPath(dir->fFd, dir->fDevice, &directory);
	if (status != B_OK)
		return _Set("", status);
	return SetTo(directory.c_str(), leaf, normalize);
}

status_t
BPath::Append(const char* path, bool normalize)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (path == nullptr || path[0] == '/')
		return B_BAD_VALUE;
	std::string current = fPath;
	return SetTo(current.c_str(), path, normalize);
}

const char*
BPath::Path() const
{
	return fCStatus == B_OK ? fPath.c_str() : nullptr;
}

const char*
BPath::Leaf() const
{
	if (fCStatus != B_OK)
		return nullptr;
	size_t slash = fPath.find_last_of('/');
	return fPath.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

status_t
BPath::GetParent(BPath* path) const
{
	if (path == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	if (fPath == "/")
		return B_ENTRY_NOT_FOUND;
	size_t slash = fPath.find_last_of('/');
	if (slash == std::string::npos)
		return B_BAD_VALUE;
	return path->_Set(slash == 0 ? "/" : fPath.substr(0, slash), B_OK);
}

bool
BPath::operator==(const BPath& item) const
{
	if (fCStatus != B_OK || item.fCStatus != B_OK)
		return fCStatus != B_OK && item.fCStatus != B_OK;
	return fPath == item.fPath;
}

bool
BPath::operator==(const char* path) const
{
	if (fCStatus != B_OK || path == nullptr)
		return fCStatus != B_OK && path == nullptr;
	return fPath == path;
}

bool
BPath::operator!=(const BPath& item) const
{
	return !(*this == item);
}

bool
BPath::operator!=(const char* path) const
{
	return !(*this == path);
}

BPath&
BPath::operator=(const BPath& item)
{
	fPath = item.fPath;
	fCStatus = item.fCStatus;
	return *this;
}

BPath&
BPath::operator=(const char* path)
{
	if (path == nullptr)
		Unset();
	else
		SetTo(path);
	return *this;
}
