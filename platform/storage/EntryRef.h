#ifndef _ENTRY_REF_H
#define _ENTRY_REF_H

// entry_ref: an entry named by its device, its parent directory's node number
// and its leaf name. Messages carry these ('RREF'); the storage kit resolves
// them inside the system root (or, for the few read-only host files such as
// the running executable, through its table of host references).

#include <SupportDefs.h>

struct entry_ref {
	entry_ref();
	entry_ref(dev_t dev, ino_t dir, const char* name);
	entry_ref(const entry_ref& other);
	~entry_ref();

	status_t set_name(const char* name);

	bool operator==(const entry_ref& other) const;
	bool operator!=(const entry_ref& other) const;
	bool operator<(const entry_ref& other) const;
	entry_ref& operator=(const entry_ref& other);

	dev_t device;
	ino_t directory;
	char* name;
};

// A reference to a file of the host outside the system root (the running
// executable, a package named on the command line). Such references resolve
// on the host and are read-only.
status_t get_ref_for_host_path(const char* hostPath, entry_ref* ref);

#endif // _ENTRY_REF_H
