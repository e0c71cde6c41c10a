#ifndef _ITEM_HELPERS_H
#define _ITEM_HELPERS_H

// What the items of a run tell the progress window, and the one check every
// item makes on its name before anything is created under it.
//
// 'CFln' names the item now being installed; 'Uprg' adds bytes to the bar.
// Both go to the package's progress target without waiting for a reply,
// unhurried: the window takes them when it next wakes to draw or to answer
// the extraction's own progress, within about a frame, instead of being
// woken for each item.
// Byte counts are 64-bit: a count that fits 32 bits is sent as int32, the
// form every reader knows; a larger one as int64.

#include <SupportDefs.h>

#include <string>

class BDirectory;
class BEntry;
class BMessage;
class DestManager;
class InstallPack;

enum {
	kCurrentFileMessage = 'CFln',
	kItemProgressMessage = 'Uprg'
};

void send_current_file(InstallPack* pack, const char* name);
void send_item_progress(InstallPack* pack, int64 bytes);

// Adds "bytes" (or another field) as int32 when it fits, else as int64.
void add_byte_count(BMessage* message, const char* field, int64 bytes);
// Reads a byte count written either way; 0 when the field is missing.
int64 find_byte_count(const BMessage* message, const char* field);

// The item's block of the install log, when logging is on: the absolute
// path of its folder, then `text`.
void write_log_block(DestManager* manager, BDirectory* folder, const std::string& text);

// A name that can only ever make an entry directly in its folder: not
// empty, not "." or "..", no "/" and no longer than a file name may be.
bool is_plain_entry_name(const char* name);

// Whether an entry is already under `name` in `folder`; if so, *existing is
// set to it. Most items are new: the folder's own look tells so, and only
// an entry that is there is set up (which costs a walk to the root).
bool find_existing_entry(BDirectory* folder, const char* name, BEntry* existing);

// The item's name as an alert shows it: a name longer than any entry name may
// be (only a damaged catalog has one) is cut to its first 200 bytes, never
// inside a character, and "…" follows; a missing name shows as "".
std::string alert_item_name(const char* name);

#endif // _ITEM_HELPERS_H
