#ifndef _SIGNATURE_CHECK_H
#define _SIGNATURE_CHECK_H

// Checks the signature behind a package stream: whether there is one,
// whether it holds for every byte of the stream, and whether its key is
// trusted. Readers that install call it right after the package opens,
// before anything is asked, run or written.

#include "PackageSignature.h"
#include "TrustedComment.h"
#include "TrustedKeys.h"

#include <PositionIO.h>

#include <string>

enum signature_verdict {
	kNotSigned,
	// A signature record is there but damaged, or does not hold for the
	// package's bytes or its comment: the package was changed after it was
	// signed.
	kSignatureMismatch,
	kSignedByTrustedKey,
	kSignedByUnknownKey
};

class SignatureCheck {
public:
	SignatureCheck();

	// The package stream is [start, end) of `file`; its signature record,
	// if any, starts at `end`. The stream's digest is taken whether it is
	// signed or not: it names the package's contents (receipts, plans).
	signature_verdict Check(BPositionIO* file, off_t start, off_t end,
		const TrustedKeys& trusted);

	signature_verdict Verdict() const { return fVerdict; }
	const PublicKey& Signer() const { return fSigner; }
	const TrustedComment& Comment() const { return fComment; }
	// The stream's BLAKE2b-512 digest in lower-case hexadecimal; empty
	// when the stream could not be read.
	const std::string& DigestText() const { return fDigestText; }

	// What the install window and an unattended run say about the signer:
	// "Signed by NAME (key ID …)", "Signed by an unknown key (ID …)", "Not
	// signed", or that the signature does not match.
	std::string SignerLine() const;
	// The same for machines (reports, plans): "trusted", "unknown key",
	// "not signed" or "does not match".
	const char* StateName() const;
	// The key's ID and the signer's name from the trusted comment; empty
	// unless a signature holds.
	std::string KeyIdText() const;
	std::string SignerName() const;
	// The signer as receipts keep it, "NAME (key ID …)"; empty unless a
	// signature holds.
	std::string Identity() const;
	// The alert of a package whose signature does not match.
	static const char* const kMismatchText;

private:
	signature_verdict fVerdict;
	PublicKey fSigner;
	TrustedComment fComment;
	std::string fDigestText;
};

#endif // _SIGNATURE_CHECK_H
