#ifndef _FS_INFO_H
#define _FS_INFO_H

// What the file system behind a mounted volume says about itself.

#include <OS.h>
#include <StorageDefs.h>

// fs_info.flags
enum {
	B_FS_IS_READONLY = 0x00000001,
	B_FS_IS_REMOVABLE = 0x00000002,
	B_FS_IS_PERSISTENT = 0x00000004,
	B_FS_IS_SHARED = 0x00000008,
	B_FS_HAS_MIME = 0x00010000,
	B_FS_HAS_ATTR = 0x00020000,
	B_FS_HAS_QUERY = 0x00040000
};

struct fs_info {
	dev_t dev;
	ino_t root;
	uint32 flags;
	off_t block_size;
	off_t io_size;
	off_t total_blocks;
	off_t free_blocks;
	off_t total_nodes;
	off_t free_nodes;
	// The device the volume lives on ("/dev/sdb1"), or the name of the file
	// system for one that has no device ("tmpfs").
	char device_name[B_DEV_NAME_LENGTH];
	char volume_name[B_FILE_NAME_LENGTH];
	// The kind of file system ("ext4", "tmpfs", "ramfs" ...).
	char fsh_name[B_OS_NAME_LENGTH];
};

// B_BAD_VALUE for a device that is no mounted volume.
status_t fs_stat_dev(dev_t device, fs_info* info);

#endif // _FS_INFO_H
