#ifndef _EXISTING_ITEMS_H
#define _EXISTING_ITEMS_H

// Helpers for items that meet an entry of their own name at their
// destination: renaming the existing entry out of the way, comparing
// versions, and the continue-or-cancel question of a failed item.

#include <SupportDefs.h>

class BDirectory;
class BEntry;
class DestManager;
struct version_info;

// Renames `entry` in `dir` to its name plus `postfix` (".old"), or when that
// name is taken to name.old.old1, name.old.old2, ... The name is cut so that
// it fits a file name. B_OK with no entry. When no free name can be found
// the alert "Could not create a unique file name!" is shown and
// B_NAME_IN_USE returned: nothing is renamed.
status_t RenameExisting(BDirectory* dir, BEntry* entry, const char* postfix);

// Places `postfix` at `length` in `buffer` (at the end of the text when
// `length` is negative), or earlier when it would not fit in `size` bytes:
// the text before it is cut.
void AppendPostfix(char* buffer, int32 size, const char* postfix,
	int32 length);

// 1 when `a` is newer than `b`, -1 when older, 0 when equal: major, middle,
// minor, variety, internal in that order.
int CompareVersions(const version_info* a, const version_info* b);

// Asks "Continue" or "Cancel" with `format` and its argument: 0 to go on
// with the next item, B_CANCELED to end the install.
status_t handleInstallError(const char* format, const char* argument,
	status_t failure, DestManager* manager);

#endif // _EXISTING_ITEMS_H
