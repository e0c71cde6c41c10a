#ifndef _CREATE_PATH_H
#define _CREATE_PATH_H

// Small file-system helpers of the installation engine. Every path is a
// platform path, resolved inside the system root by the storage kit.

#include <FindDirectory.h>
#include <SupportDefs.h>

#include <sys/types.h>

class BDirectory;
class BEntry;
class BFile;
class BPath;
class DestManager;

// Makes every missing folder of `path` below `base` ("a/b/c", slashes in any
// number). On success `result` is the entry of the last component; an empty
// path returns B_OK and leaves `result` alone. A run's `manager` journals
// each folder made.
status_t CreatePathAt(const BDirectory* base, const char* path, BEntry* result,
	DestManager* manager = nullptr);

// The system folder's path relative to its volume ("home/config" for
// /boot/home/config, "" for /boot), pointing into `path`; null on error.
const char* root_find_directory(directory_which which, BPath* path);

// Writes the absolute path of `dir` to `log`, every component followed by
// "/" ("/boot/apps/"). `nameBuffer` holds at least B_FILE_NAME_LENGTH bytes.
void WritePath(BDirectory* dir, BFile* log, char* nameBuffer);

// Removes the entry, and a folder with everything in it. The result is that
// of removing the entry itself.
status_t RecursiveDelete(BEntry* entry);

// The process's file-creation mask, read without changing it: other threads
// may be creating files meanwhile.
mode_t file_creation_mask();

#endif // _CREATE_PATH_H
