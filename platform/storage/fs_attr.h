#ifndef _FS_ATTR_H
#define _FS_ATTR_H

// Information about one attribute of a node.

#include <SupportDefs.h>

struct attr_info {
	uint32 type;
	off_t size;
};

#endif // _FS_ATTR_H
