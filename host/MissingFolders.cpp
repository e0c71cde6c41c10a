#include "MissingFolders.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <Node.h>
#include <StorageDefs.h>
#include <Volume.h>

#include <vector>

namespace {

std::string
Quoted(const std::string& text)
{
	return "\"" + text + "\"";
}


// Whether an existing entry on the way may be gone through: a folder, or a
// link that the storage kit follows to a folder (it never leaves the system
// root: a link whose target lies outside it leads nowhere).
status_t
CheckWayThrough(const std::string& path, std::string* why)
{
	BEntry entry(path.c_str(), false);
	if (entry.IsSymLink()) {
		BEntry target(path.c_str(), true);
		if (target.InitCheck() != B_OK || !target.Exists() || !target.IsDirectory()) {
			*why = Quoted(path) + " is a link that does not lead to a folder "
				"in the system root";
			return B_NOT_ALLOWED;
		}
		return B_OK;
	}
	if (!entry.IsDirectory()) {
		*why = Quoted(path) + " is not a folder";
		return B_NOT_A_DIRECTORY;
	}
	return B_OK;
}


// The read-only test of the volume that `existing` (a folder, or a link
// to one) lies on: the folders below it are made there.
status_t
CheckWritable(const std::string& existing, std::string* why)
{
	BDirectory folder(existing.c_str());
	node_ref node;
	status_t status = folder.InitCheck();
	if (status == B_OK)
		status = folder.GetNodeRef(&node);
	if (status != B_OK) {
		*why = Quoted(existing) + " cannot be opened: " + strerror_status(status);
		return status;
	}
	BVolume volume(node.device);
	char name[B_FILE_NAME_LENGTH] = "";
	volume.GetName(name);
	if (volume.IsReadOnly()) {
		*why = "the volume " + Quoted(name) + " is read-only";
		return B_READ_ONLY_DEVICE;
	}
	return B_OK;
}

} // namespace


status_t
check_missing_folders(const std::string& path, std::string* why, bool* missing)
{
	*missing = false;
	std::vector<std::string> parts = path_components(path);
	if (parts.empty()) {
		*why = "no folder is named";
		return B_BAD_VALUE;
	}
	std::string existing = "/" + parts[0];
	BDirectory volumeRoot(existing.c_str());
	if (volumeRoot.InitCheck() != B_OK || !volumeRoot.IsRootDirectory()) {
		*why = "there is no volume named " + Quoted(parts[0]);
		return B_ENTRY_NOT_FOUND;
	}

	size_t present = 1;
	for (; present < parts.size(); present++) {
		std::string next = existing + "/" + parts[present];
		if (!BEntry(next.c_str(), false).Exists())
			break;
		status_t status = CheckWayThrough(next, why);
		if (status != B_OK)
			return status;
		existing = next;
	}
	if (present == parts.size())
		return B_OK;
	*missing = true;
	return CheckWritable(existing, why);
}


status_t
make_missing_folders(const std::string& path, std::string* why)
{
	bool missing = false;
	status_t status = check_missing_folders(path, why, &missing);
	if (status != B_OK || !missing)
		return status;
	status = create_directory(path.c_str(), 0777);
	if (status != B_OK) {
		*why = "the folder " + Quoted(path) + " could not be made: "
			+ strerror_status(status);
	}
	return status;
}


std::vector<std::string>
path_components(const std::string& path)
{
	std::vector<std::string> parts;
	size_t start = 0;
	while (start < path.size()) {
		size_t slash = path.find('/', start);
		if (slash == std::string::npos)
			slash = path.size();
		if (slash > start)
			parts.push_back(path.substr(start, slash - start));
		start = slash + 1;
	}
	return parts;
}
