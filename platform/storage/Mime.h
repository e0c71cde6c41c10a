#ifndef _MIME_H
#define _MIME_H

// MIME types of files: how the system recognises them.

#include <StorageDefs.h>
#include <SupportDefs.h>

enum app_verb {
	B_OPEN
};

// The types the system gives to directories, links and executables.
#define B_DIRECTORY_MIME_TYPE "application/x-vnd.Be-directory"
#define B_SYMLINK_MIME_TYPE "application/x-vnd.Be-symlink"
#define B_APP_MIME_TYPE "application/x-vnd.Be-elfexecutable"
#define B_FILE_MIME_TYPE "application/octet-stream"

// Gives the node at `path` (a platform path; null means the whole system,
// which is not offered here: B_BAD_VALUE) its MIME type by its content when it
// has none, or always when `force` is not 0: directories and links get the
// system's types for them, other files the type their content shows. An
// executable (an ELF file, or a file with resources) gets the executable type
// and, from its resources, its application signature ("BEOS:APP_SIG").
// `recursive` walks a directory's contents too, without following links.
// The work is always done before the call returns, whatever `synchronous`
// says. A link named by `path` is typed itself, not what it points to.
status_t update_mime_info(const char* path, int recursive, int synchronous,
	int force);

#endif // _MIME_H
