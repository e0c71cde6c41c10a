#ifndef _INSTALLER_WRITER_H
#define _INSTALLER_WRITER_H

// Makes a self-extracting installer: the stub program's image with its
// resources, the size resource that says where the package starts, then the
// package stream. The result is executable. The stub must carry the
// installer's resources: a program stripped after they were bound has lost
// them, and the installer would show black squares for its icons.

#include <SupportDefs.h>

#include <string>

class PackageSigner;

class InstallerWriter {
public:
	// The stub used when none is given: kestrovan-installer-stub (the
	// stripped installer program with its resources) beside the tool, in
	// ../lib/kestrovan/ of an installed tool, or in the build tree; else the
	// full installer program found the same way. `toolPath` is the running
	// tool's own path. Empty when there is none.
	static std::string DefaultStub(const char* toolPath);

	// B_OK when the program `stub` carries every resource the installer
	// loads at run time (ProgramResources.h); else the error names the
	// missing ones.
	static status_t CheckStub(const char* stub, std::string* error);

	// `package` may itself be a stand-alone package or an installer; only
	// its package stream is carried over, with the signature behind it
	// (which stays valid: it signs the stream, not where it lies). A
	// `signer` signs the installer anew. On success `packageOffset` (may be
	// null) receives where the stream starts in the new file.
	static status_t Write(const char* package, const char* output, const char* stub,
		off_t* packageOffset, std::string* error, PackageSigner* signer = nullptr);
};

#endif // _INSTALLER_WRITER_H
