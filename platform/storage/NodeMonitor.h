#ifndef _NODE_MONITOR_H
#define _NODE_MONITOR_H

// Node-monitor notices: messages of kind B_NODE_MONITOR whose "opcode" says
// what happened. Of these the system root reports mounts and unmounts: a
// directory appearing in the root or leaving it, or a file system mounted
// on or unmounted from one.

#include <SupportDefs.h>

enum {
	B_ENTRY_CREATED = 1,
	B_ENTRY_REMOVED = 2,
	B_ENTRY_MOVED = 3,
	B_STAT_CHANGED = 4,
	B_ATTR_CHANGED = 5,
	B_DEVICE_MOUNTED = 6,
	B_DEVICE_UNMOUNTED = 7
};

#endif // _NODE_MONITOR_H
