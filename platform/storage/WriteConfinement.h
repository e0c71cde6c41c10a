#ifndef _WRITE_CONFINEMENT_H
#define _WRITE_CONFINEMENT_H

// Keeps a process from writing anywhere but below given folders (and into a
// few given device files), without privileges or namespaces: a Landlock rule
// set of the kernel. It is made before a fork; the child takes it on for
// itself and everything it starts, for good, also when it runs as root.
// Reading and executing stay as they were. Where the kernel allows it, the
// process also may not signal, nor reach the abstract sockets of, processes
// outside the confinement.
//
//   WriteConfinement confinement;
//   if (confinement.Prepare({"/srv/root"}, {"/dev/null"}) == B_OK) {
//       ... fork(); in the child: confinement.Enter(), then exec ...
//   }

#include <SupportDefs.h>

#include <string>
#include <vector>

class WriteConfinement {
public:
	WriteConfinement();
	~WriteConfinement();

	// Makes the rule set: writes below `folders` and into `devices` (host
	// paths; links followed) only. B_UNSUPPORTED when the kernel has no
	// such rule sets, or another error when one could not be made.
	status_t Prepare(const std::vector<std::string>& folders,
		const std::vector<std::string>& devices);
	bool IsReady() const { return fRuleSet >= 0; }

	// The child, after fork: takes the rule set on (async-signal-safe).
	// Sets no_new_privs first, which the kernel requires of a process
	// without privileges. False when the kernel refused.
	bool Enter() const;

private:
	WriteConfinement(const WriteConfinement&) = delete;
	WriteConfinement& operator=(const WriteConfinement&) = delete;

	status_t _Allow(const std::string& path, uint64 access);

	int fRuleSet;
};

#endif // _WRITE_CONFINEMENT_H
