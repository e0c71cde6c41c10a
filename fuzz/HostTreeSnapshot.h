#ifndef _HOST_TREE_SNAPSHOT_H
#define _HOST_TREE_SNAPSHOT_H

// What a host folder holds, as far as a write would change it: for the
// folder and every entry below it (or only its direct entries), the type,
// permissions, size, inode, modification and change times, and a link's
// target. Links are recorded, never followed. Two snapshots of the same
// folder differ exactly when something was created, removed, renamed,
// written, or had its attributes or permissions changed in between.
//
//   HostTreeSnapshot before(folder, true);
//   ... run ...
//   std::string change = before.ChangeTo(HostTreeSnapshot(folder, true));

#include <map>
#include <set>
#include <string>

class HostTreeSnapshot {
public:
	// `recursive`: the whole tree; otherwise the folder and its entries.
	// Entries named in `skipped` (direct entries only) are recorded by
	// name alone: what they are or hold may change.
	HostTreeSnapshot(const std::string& folder, bool recursive,
		const std::set<std::string>& skipped = {});

	// Empty when `later` records the same; otherwise the first entry that
	// differs, and how.
	std::string ChangeTo(const HostTreeSnapshot& later) const;

private:
	void _Record(const std::string& relative);
	void _RecordTree(const std::string& relative);

	std::string fFolder;
	std::set<std::string> fSkipped;
	// Relative path ("" the folder itself) to what was found there.
	std::map<std::string, std::string> fEntries;
};

#endif // _HOST_TREE_SNAPSHOT_H
