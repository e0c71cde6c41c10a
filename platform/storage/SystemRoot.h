#ifndef _SYSTEM_ROOT_H
#define _SYSTEM_ROOT_H

// The system root: the host directory that stands for the platform's "/".
// Every directory (or link to a host directory) directly in it is a volume;
// "boot" is the boot volume.
//
// Without a call to set_system_root the root is, on first use,
// $KESTROVAN_ROOT, else $XDG_DATA_HOME/kestrovan/root, else
// ~/.local/share/kestrovan/root, created with boot/ when missing.

#include <SupportDefs.h>

// Device number of the root "/" itself (not a volume).
static const dev_t kSystemRootDevice = 1;
// Device number of references to host files outside the root (the running
// executable, a package named on the command line); they are read-only.
static const dev_t kHostReferenceDevice = 0x7fffffff;

// Chooses the system root (the program's --root; tests), creating it with
// boot/ when missing. Entries, nodes and refs made before stay as they are.
status_t set_system_root(const char* hostDir);

// The host directory of the current root (for the platform only).
const char* system_root_host_path();

#endif // _SYSTEM_ROOT_H
