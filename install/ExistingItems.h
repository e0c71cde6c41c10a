#ifndef _EXISTING_ITEMS_H
#define _EXISTING_ITEMS_H

// Helpers for items that meet an entry of their own name at their
// destination: renaming the existing entry out of the way, comparing
// versions, and the continue-or-cancel question of a failed item.

#include <SupportDefs.h>

#include <string>

class BDirectory;
class BEntry;
class DestManager;
struct version_info;

// How the replace dialog puts its question: the existing entry is simply
// there, or was found to be newer by its version, creation time or
// modification time.
enum {
	kPlainReplaceKind = 0,
	kNewerVersionReplaceKind = 1,
	kNewerCreationReplaceKind = 2,
	kNewerModificationReplaceKind = 3
};

// What the user chose for an existing entry (or B_CANCELED).
enum {
	kSkipItemChoice = 0,
	kRenameExistingChoice = 1,
	kReplaceExistingChoice = 2
};

// Renames `entry` in `dir` to its name plus `postfix` (".old"), or when that
// name is taken to name.old.old1, name.old.old2, ... The name is cut so that
// it fits a file name. B_OK with no entry. When no free name can be found
// the alert "Could not create a unique file name!" is shown and
// B_NAME_IN_USE returned: nothing is renamed. The rename is recorded with
// `manager` (when given), so that a run that ends early undoes it.
status_t RenameExisting(BDirectory* dir, BEntry* entry, const char* postfix,
	DestManager* manager);

// Places `postfix` at `length` in `buffer` (at the end of the text when
// `length` is negative), or earlier when it would not fit in `size` bytes:
// the text before it is cut.
void AppendPostfix(char* buffer, int32 size, const char* postfix,
	int32 length);

// 1 when `a` is newer than `b`, -1 when older, 0 when equal: major, middle,
// minor, variety, internal in that order.
int CompareVersions(const version_info* a, const version_info* b);

// The second answer of the question about an item that could not be
// installed; the first is errCONTINUE.
const char* const kItemErrorCancelLabel = "Cancel";

// Asks "Continue" or "Cancel" with `format` and its argument, an item's
// name (shown as alert_item_name gives it): 0 to go on with the next item,
// B_CANCELED to end the install. The manager keeps the item and the alert's
// text as why it failed.
status_t handleInstallError(const char* format, const char* argument,
	status_t failure, DestManager* manager);

// The same question for the item `name` whose data could not be written in
// `dir`, telling why: the volume is full (and which), the package's data for
// it are damaged (not of the size the catalog gives), or they could not be
// decoded or written. The manager keeps write_error_reason as why.
status_t handleWriteError(BDirectory* dir, const char* name, status_t failure,
	DestManager* manager);

// Tells (with "OK") that the folder `name` could not be made in `dir`, and
// why: the run ends there, and the manager keeps the alert's text as why.
void reportFolderNotCreated(BDirectory* dir, const char* name, status_t failure,
	DestManager* manager);

// Why an item's data could not be written, in a few words for the install
// log.
const char* write_error_reason(status_t failure);

// The replace dialog's question about the item `name` in `dir`, for the
// kind of question.
std::string ExistingItemText(uint8 kind, const char* name, BDirectory* dir);

// The application version of the file `entry` names; an error when it is
// no readable file or has no version.
status_t GetExistingVersion(const BEntry* entry, version_info* version);

// The item's five version numbers as a version record.
version_info ItemVersion(const int32 numbers[5]);

// The remembered replace choice, or, unless "Don't ask again" is in force,
// the one the user picks in the replace dialog, which is then remembered.
// B_CANCELED when the user cancelled the install.
int32 AskReplaceChoice(DestManager* manager, BDirectory* dir, const char* name,
	uint8 kind);

#endif // _EXISTING_ITEMS_H
