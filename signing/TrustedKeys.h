#ifndef _TRUSTED_KEYS_H
#define _TRUSTED_KEYS_H

// The public keys whose signatures the installer trusts: those named on
// its command line, and every "*.pub" file in the trusted-keys folder of
// the system root's boot volume.

#include "PublicKey.h"

#include <string>
#include <vector>

class TrustedKeys {
public:
	// Where the boot volume keeps its trusted keys, below the user
	// settings folder.
	static const char* const kFolderInSettings;

	status_t AddFile(const char* hostPath, std::string* error);
	// Every "*.pub" of the folder, in name order; a missing folder adds
	// nothing. Each key that cannot be read is told in `problems`.
	void AddFolder(const std::string& hostPath, std::vector<std::string>* problems);

	bool Trusts(const PublicKey& key) const;
	int32 CountKeys() const { return (int32)fKeys.size(); }

private:
	std::vector<PublicKey> fKeys;
};

#endif // _TRUSTED_KEYS_H
