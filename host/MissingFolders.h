#ifndef _MISSING_FOLDERS_H
#define _MISSING_FOLDERS_H

// The folder that --folder names as an absolute platform path ("/Data/a/b"),
// made where it is missing before the file panel picks it: its first
// component is the volume, which is never made, and the rest is made inside
// the system root on the volume where the folders that exist lead.

#include <SupportDefs.h>

#include <string>
#include <vector>

// B_OK when the folder exists, made now or before. Otherwise nothing is
// made (or, when making it failed half way, the folders made so far stay)
// and `why` says what kept it from being made: no such volume, an entry on
// the way that is no folder, a link on the way that leads to no folder of
// the system root, a read-only volume.
status_t make_missing_folders(const std::string& path, std::string* why);

// The same tests, making nothing: B_OK when the folder is there or could be
// made (`missing` then tells which), otherwise why not in `why`.
status_t check_missing_folders(const std::string& path, std::string* why, bool* missing);

// The components of a path, without empty ones ("//a/" gives "a").
std::vector<std::string> path_components(const std::string& path);

#endif // _MISSING_FOLDERS_H
