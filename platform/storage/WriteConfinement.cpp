#include "WriteConfinement.h"

#include <Errors.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The kernel's interface, declared here: the system headers of older
// distributions know only its first versions.
#ifndef SYS_landlock_create_ruleset
#define SYS_landlock_create_ruleset 444
#define SYS_landlock_add_rule 445
#define SYS_landlock_restrict_self 446
#endif

const uint32 kCreateRuleSetVersion = 1 << 0;
const int kRulePathBeneath = 1;

const uint64 kWriteFile = 1ULL << 1;
const uint64 kRemoveDirectory = 1ULL << 4;
const uint64 kRemoveFile = 1ULL << 5;
// Making a character device, a folder, a file, a socket, a pipe, a block
// device and a link.
const uint64 kMakeAnything = 0x7fULL << 6;
const uint64 kRefer = 1ULL << 13;		// version 2: links and moves across folders
const uint64 kTruncate = 1ULL << 14;	// version 3

const uint64 kScopeAbstractSockets = 1ULL << 0;	// version 6
const uint64 kScopeSignals = 1ULL << 1;			// version 6

struct ruleset_attributes {
	uint64 handledFileSystem;
	uint64 handledNetwork;	// version 4
	uint64 scoped;			// version 6
};

struct __attribute__((packed)) path_beneath_attributes {
	uint64 allowed;
	int32 parent;
};


// What the rule set keeps to its folders: every way of changing the file
// system that this kernel's version knows.
uint64
handled_writes(int version)
{
	uint64 access = kWriteFile | kRemoveDirectory | kRemoveFile | kMakeAnything;
	if (version >= 2)
		access |= kRefer;
	if (version >= 3)
		access |= kTruncate;
	return access;
}

} // namespace


WriteConfinement::WriteConfinement()
	:
	fRuleSet(-1)
{
}


WriteConfinement::~WriteConfinement()
{
	if (fRuleSet >= 0)
		close(fRuleSet);
}


status_t
WriteConfinement::Prepare(const std::vector<std::string>& folders,
	const std::vector<std::string>& devices)
{
	if (fRuleSet >= 0)
		return B_OK;
	long version = syscall(SYS_landlock_create_ruleset, nullptr, 0, kCreateRuleSetVersion);
	if (version < 1)
		return B_UNSUPPORTED;

	ruleset_attributes attributes = {handled_writes((int)version), 0, 0};
	size_t size = sizeof(uint64);
	if (version >= 6) {
		attributes.scoped = kScopeAbstractSockets | kScopeSignals;
		size = sizeof(attributes);
	}
	int ruleSet = (int)syscall(SYS_landlock_create_ruleset, &attributes, size, 0);
	if (ruleSet < 0)
		return errno == ENOSYS || errno == EOPNOTSUPP ? B_UNSUPPORTED : errno_status();
	fRuleSet = ruleSet;

	status_t status = B_OK;
	for (const std::string& folder : folders) {
		if (status == B_OK)
			status = _Allow(folder, handled_writes((int)version));
	}
	// Only what applies to a file may be granted on one.
	uint64 fileWrites = kWriteFile | (version >= 3 ? kTruncate : 0);
	for (const std::string& device : devices) {
		// A device the host lacks is left out.
		if (status == B_OK && access(device.c_str(), F_OK) == 0)
			status = _Allow(device, fileWrites);
	}
	if (status != B_OK) {
		close(fRuleSet);
		fRuleSet = -1;
	}
	return status;
}


status_t
WriteConfinement::_Allow(const std::string& path, uint64 access)
{
	int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
	if (fd < 0)
		return errno_status();
	path_beneath_attributes rule = {access, fd};
	long result = syscall(SYS_landlock_add_rule, fRuleSet, kRulePathBeneath, &rule, 0);
	status_t status = result == 0 ? B_OK : errno_status();
	close(fd);
	return status;
}


bool
WriteConfinement::Enter() const
{
	return fRuleSet >= 0 && prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
		&& syscall(SYS_landlock_restrict_self, fRuleSet, 0) == 0;
}
