#ifndef _SIGNATURE_CHECK_H
#define _SIGNATURE_CHECK_H

// Checks the signature behind a package stream: whether there is one,
// whether it holds for every byte of the stream, and whether its key is
// trusted. Readers that install call it right after the package opens,
// before anything is asked, run or written.

#include "PackageSignature.h"
#include "TrustedComment.h"
#include "TrustedKeys.h"

#include <File.h>
#include <PositionIO.h>

#include <atomic>
#include <future>
#include <memory>
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
	// Stops a digest still being taken that nobody asked for.
	~SignatureCheck();

	// The package stream is [start, end) of `file`; its signature record,
	// if any, starts at `end`. The stream's digest is taken whether it is
	// signed or not: it names the package's contents (receipts, plans).
	signature_verdict Check(BPositionIO* file, off_t start, off_t end,
		const TrustedKeys& trusted);
	// The same, but an unsigned package's digest, which decides nothing,
	// is taken on a thread of its own through a handle of its own on
	// `file` while the caller goes on (the install), and waited for where
	// it is first needed (the receipt at the end of a run). A signed
	// package's digest decides the verdict and is taken at once.
	signature_verdict CheckWithDigestBeside(const BFile& file, off_t start, off_t end,
		const TrustedKeys& trusted);

	signature_verdict Verdict() const { return fVerdict; }
	const PublicKey& Signer() const { return fSigner; }
	const TrustedComment& Comment() const { return fComment; }
	// The stream's BLAKE2b-512 digest in lower-case hexadecimal; empty
	// when the stream could not be read, or before Check. Waits for a
	// digest still being taken.
	std::string DigestText() const;
	// The same, for a reader on another thread that asks for it later: a
	// handle of its own on the text to come.
	std::shared_future<std::string> DigestTextLater() const { return fDigestText; }

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
	// `reopenable`: where an unsigned package's digest may be taken beside
	// (null: at once, from `file`).
	signature_verdict _Check(BPositionIO* file, const BFile* reopenable, off_t start,
		off_t end, const TrustedKeys& trusted);
	void _StopDigest();

	signature_verdict fVerdict;
	PublicKey fSigner;
	TrustedComment fComment;
	std::shared_future<std::string> fDigestText;
	// Set when the digest being taken beside is no longer wanted.
	std::shared_ptr<std::atomic<bool>> fStopDigest;
};

#endif // _SIGNATURE_CHECK_H
