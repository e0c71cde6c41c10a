#ifndef _PACKAGE_SIGNER_H
#define _PACKAGE_SIGNER_H

// Signs packages and self-extracting installers: the signature record
// (PackageSignature) goes right behind the package stream, replacing any
// signature that was there. Files are never changed where they lie: an
// output is signed before it is committed, and signing a finished file
// writes a signed copy that is renamed over it.

#include "SecretKey.h"
#include "TrustedComment.h"

#include <string>

class AtomicOutput;

class PackageSigner {
public:
	explicit PackageSigner(const SecretKey& key);

	// Who signs, as the installer shows it.
	void SetSigner(const std::string& signer) { fSigner = signer; }
	void SetVersion(const std::string& version) { fVersion = version; }

	// Signs an output that is written but not yet committed.
	status_t SignOutput(AtomicOutput* out, std::string* error);
	// Signs the package or installer at `hostPath` in place, keeping its
	// permissions.
	status_t SignInPlace(const char* hostPath, std::string* error);

	// The trusted comment of the last signature made.
	const TrustedComment& LastComment() const { return fLastComment; }

private:
	// The signing time: SOURCE_DATE_EPOCH when set (reproducible builds),
	// otherwise now.
	static time_t _SigningTime();

	const SecretKey& fKey;
	std::string fSigner;
	std::string fVersion;
	TrustedComment fLastComment;
};

#endif // _PACKAGE_SIGNER_H
