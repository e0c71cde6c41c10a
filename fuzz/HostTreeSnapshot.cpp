#include "HostTreeSnapshot.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

std::string
Join(const std::string& folder, const std::string& relative)
{
	return relative.empty() ? folder : folder + "/" + relative;
}


std::string
Describe(const std::string& path)
{
	struct stat st;
	if (lstat(path.c_str(), &st) != 0)
		return "gone";
	std::string text = "mode " + std::to_string(st.st_mode)
		+ " size " + std::to_string(st.st_size)
		+ " inode " + std::to_string(st.st_ino)
		+ " modified " + std::to_string(st.st_mtim.tv_sec) + "."
			+ std::to_string(st.st_mtim.tv_nsec)
		+ " changed " + std::to_string(st.st_ctim.tv_sec) + "."
			+ std::to_string(st.st_ctim.tv_nsec);
	if (S_ISLNK(st.st_mode)) {
		char target[4096];
		ssize_t length = readlink(path.c_str(), target, sizeof(target));
		if (length >= 0)
			text += " -> " + std::string(target, (size_t)length);
	}
	return text;
}


std::vector<std::string>
EntryNames(const std::string& path)
{
	std::vector<std::string> names;
	DIR* dir = opendir(path.c_str());
	if (dir == nullptr)
		return names;
	while (dirent* entry = readdir(dir)) {
		std::string name = entry->d_name;
		if (name != "." && name != "..")
			names.push_back(name);
	}
	closedir(dir);
	return names;
}

} // namespace


HostTreeSnapshot::HostTreeSnapshot(const std::string& folder, bool recursive,
	const std::set<std::string>& skipped)
	:
	fFolder(folder),
	fSkipped(skipped)
{
	if (recursive) {
		_RecordTree("");
		return;
	}
	_Record("");
	for (const std::string& name : EntryNames(fFolder))
		_Record(name);
}


std::string
HostTreeSnapshot::ChangeTo(const HostTreeSnapshot& later) const
{
	for (const auto& [relative, before] : fEntries) {
		auto found = later.fEntries.find(relative);
		std::string after = found == later.fEntries.end() ? "gone" : found->second;
		if (after != before)
			return Join(fFolder, relative) + ": " + before + ", now " + after;
	}
	for (const auto& [relative, after] : later.fEntries) {
		if (fEntries.count(relative) == 0)
			return Join(fFolder, relative) + ": new, " + after;
	}
	return std::string();
}


void
HostTreeSnapshot::_Record(const std::string& relative)
{
	fEntries[relative] = fSkipped.count(relative) != 0 ? "present"
		: Describe(Join(fFolder, relative));
}


// Depth first with a list of its own: a tree of any depth is walked.
void
HostTreeSnapshot::_RecordTree(const std::string& relative)
{
	std::vector<std::string> pending{relative};
	while (!pending.empty()) {
		std::string current = pending.back();
		pending.pop_back();
		_Record(current);
		std::string path = Join(fFolder, current);
		struct stat st;
		if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
			continue;
		for (const std::string& name : EntryNames(path))
			pending.push_back(current.empty() ? name : current + "/" + name);
	}
}
