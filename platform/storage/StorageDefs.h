#ifndef _STORAGE_DEFS_H
#define _STORAGE_DEFS_H

// Limits, open modes and node flavors shared by the storage kit's classes.

#include <SupportDefs.h>

#include <fcntl.h>
#include <climits>

#define B_DEV_NAME_LENGTH 128
#define B_FILE_NAME_LENGTH 256
#define B_PATH_NAME_LENGTH 1024
#define B_ATTR_NAME_LENGTH (B_FILE_NAME_LENGTH - 1)
#define B_MIME_TYPE_LENGTH (B_ATTR_NAME_LENGTH - 15)
#define B_MAX_SYMLINKS 16

// Open modes of BFile: the access mode and the host's flags, so a mode can be
// handed to the host unchanged.
#define B_READ_ONLY O_RDONLY
#define B_WRITE_ONLY O_WRONLY
#define B_READ_WRITE O_RDWR
#define B_FAIL_IF_EXISTS O_EXCL
#define B_CREATE_FILE O_CREAT
#define B_ERASE_FILE O_TRUNC
#define B_OPEN_AT_END O_APPEND

enum node_flavor {
	B_FILE_NODE = 0x01,
	B_SYMLINK_NODE = 0x02,
	B_DIRECTORY_NODE = 0x04,
	B_ANY_NODE = 0x07
};

#endif // _STORAGE_DEFS_H
