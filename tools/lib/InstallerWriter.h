#ifndef _INSTALLER_WRITER_H
#define _INSTALLER_WRITER_H

// Makes a self-extracting installer: the stub program's image with its
// resources, the size resource that says where the package starts, then the
// package stream. The result is executable.

#include <SupportDefs.h>

#include <string>

class PackageSigner;

class InstallerWriter {
public:
	// The stub used when none is given: the installer program built beside
	// the tool (`toolPath` is the running tool's own path).
	static std::string DefaultStub(const char* toolPath);

	// `package` may itself be a stand-alone package or an installer; only
	// its package stream is carried over, with the signature behind it
	// (which stays valid: it signs the stream, not where it lies). A
	// `signer` signs the installer anew. On success `packageOffset` (may be
	// null) receives where the stream starts in the new file.
	static status_t Write(const char* package, const char* output, const char* stub,
		off_t* packageOffset, std::string* error, PackageSigner* signer = nullptr);
};

#endif // _INSTALLER_WRITER_H
