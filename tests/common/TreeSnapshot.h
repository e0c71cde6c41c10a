#ifndef _TESTS_TREE_SNAPSHOT_H
#define _TESTS_TREE_SNAPSHOT_H

// Everything a person would notice of a host folder tree: each entry's
// kind, mode, contents or link target, extended attributes, and a file's
// modification time (a folder's changes whenever an entry in it does). Two snapshots are equal when the trees are byte for byte the
// same. CopyTree makes a copy that snapshots equal (attributes and times
// kept).

#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tree_snapshot {

inline std::map<std::string, std::string>
Attributes(const std::string& path)
{
	std::map<std::string, std::string> attributes;
	std::vector<char> names(65536);
	ssize_t length = llistxattr(path.c_str(), names.data(), names.size());
	for (ssize_t at = 0; length > 0 && at < length; at += strlen(&names[at]) + 1) {
		std::string name = &names[at];
		std::vector<char> value(65536);
		ssize_t size = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
		attributes[name] = std::string(value.data(), size > 0 ? size : 0);
	}
	return attributes;
}


inline std::string
Describe(const std::string& path)
{
	struct stat st;
	if (lstat(path.c_str(), &st) != 0)
		return "missing";
	std::ostringstream text;
	if (S_ISLNK(st.st_mode)) {
		text << "link -> " << std::filesystem::read_symlink(path).string();
	} else {
		text << (S_ISDIR(st.st_mode) ? "folder" : "file") << " mode " << std::oct
			<< (st.st_mode & 07777) << std::dec;
		if (S_ISREG(st.st_mode)) {
			text << " mtime " << st.st_mtim.tv_sec << "." << st.st_mtim.tv_nsec;
			std::ifstream stream(path, std::ios::binary);
			text << " contents " << std::string(std::istreambuf_iterator<char>(stream), {});
		}
	}
	for (const auto& [name, value] : Attributes(path))
		text << " " << name << "=" << value;
	return text.str();
}

} // namespace tree_snapshot


// Every entry below `root`, by its path from there, but those `skip`
// refuses (given the path from the root).
inline std::map<std::string, std::string>
SnapshotTree(const std::string& root,
	const std::function<bool(const std::string&)>& skip = nullptr)
{
	std::map<std::string, std::string> snapshot;
	std::error_code error;
	for (auto it = std::filesystem::recursive_directory_iterator(root, error);
			it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
		std::string relative = std::filesystem::relative(it->path(), root).string();
		if (skip && skip(relative)) {
			if (it->is_directory() && !it->is_symlink())
				it.disable_recursion_pending();
			continue;
		}
		snapshot[relative] = tree_snapshot::Describe(it->path().string());
	}
	return snapshot;
}


// A copy of the tree `from` at `to` (which must not exist) with modes,
// times and attributes.
inline void
CopyTree(const std::string& from, const std::string& to)
{
	std::filesystem::copy(from, to, std::filesystem::copy_options::recursive
		| std::filesystem::copy_options::copy_symlinks);
	std::vector<std::string> folders;
	for (auto it = std::filesystem::recursive_directory_iterator(from);
			it != std::filesystem::recursive_directory_iterator(); it++) {
		std::string source = it->path().string();
		std::string target = to + "/" + std::filesystem::relative(it->path(), from).string();
		for (const auto& [name, value] : tree_snapshot::Attributes(source))
			lsetxattr(target.c_str(), name.c_str(), value.data(), value.size(), 0);
		struct stat st;
		lstat(source.c_str(), &st);
		struct timespec times[2] = { st.st_atim, st.st_mtim };
		utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW);
	}
	// Folders last touched by what was copied into them get their times
	// again, the deepest first.
	std::vector<std::string> paths;
	for (auto it = std::filesystem::recursive_directory_iterator(from);
			it != std::filesystem::recursive_directory_iterator(); it++) {
		if (it->is_directory() && !it->is_symlink())
			paths.push_back(std::filesystem::relative(it->path(), from).string());
	}
	for (auto path = paths.rbegin(); path != paths.rend(); path++) {
		struct stat st;
		lstat((from + "/" + *path).c_str(), &st);
		struct timespec times[2] = { st.st_atim, st.st_mtim };
		utimensat(AT_FDCWD, (to + "/" + *path).c_str(), times, AT_SYMLINK_NOFOLLOW);
	}
}

#endif // _TESTS_TREE_SNAPSHOT_H
