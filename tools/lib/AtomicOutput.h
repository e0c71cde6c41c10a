#ifndef _ATOMIC_OUTPUT_H
#define _ATOMIC_OUTPUT_H

// An output file that appears only when it is complete: written under a
// temporary name beside the final one and renamed over it by Commit. An
// output that is not committed is removed, so a failed command leaves no
// partial file behind.

#include "HostFile.h"

#include <string>

class AtomicOutput {
public:
	AtomicOutput();
	~AtomicOutput();

	status_t SetTo(const char* path, std::string* error);
	HostFile* File() { return &fFile; }
	const std::string& TemporaryPath() const { return fTemporaryPath; }
	// A folder beside the output for the command's own temporary files
	// (created on first call, removed with the output).
	const std::string& ScratchFolder();

	// Sets the final permissions, syncs and renames into place.
	status_t Commit(mode_t mode, std::string* error);
	void Abandon();

private:
	std::string fPath;
	std::string fTemporaryPath;
	std::string fScratchFolder;
	HostFile fFile;
	bool fCommitted;
};

#endif // _ATOMIC_OUTPUT_H
