#ifndef _PACKAGE_SIGNATURE_H
#define _PACKAGE_SIGNATURE_H

// The signature record of a signed package. It follows the package stream,
// at P + 'FSiz', where every reader of the format ignores what it finds, so
// a signed package reads and installs byte for byte as the unsigned one.
// It signs every byte of the stream (header with its sizes, node data,
// catalog, attributes): an Ed25519 signature of the stream's BLAKE2b-512
// digest, and a second one over that signature and the trusted comment,
// as the common command-line signer signs files ("ED" algorithm). The
// signer's public key travels along, so that a changed package is found
// out even when the key is not trusted; trust is the reader's decision.
//
// The record: a group 'PSig' holding 'SgAl' (buffer "ED"), 'SgKI' (key ID,
// 8 bytes), 'SgPK' (public key, 32), 'SgSi' (signature, 64), 'SgTC'
// (trusted comment, string) and 'SgGS' (signature of the signature and the
// comment, 64), then its end record. Members of other tags are skipped.

#include "PublicKey.h"

#include <PositionIO.h>
#include <SupportDefs.h>

#include <array>
#include <atomic>
#include <string>

class PackageSignature {
public:
	static const size_t kDigestSize = 64;
	typedef std::array<uint8, kDigestSize> digest;
	typedef std::array<uint8, PublicKey::kSignatureSize> signature;

	enum {
		kRecordTag = 'PSig',
		kAlgorithmTag = 'SgAl',
		kKeyIdTag = 'SgKI',
		kPublicKeyTag = 'SgPK',
		kSignatureTag = 'SgSi',
		kTrustedCommentTag = 'SgTC',
		kCommentSignatureTag = 'SgGS'
	};
	// The longest trusted comment a reader takes.
	static const uint32 kMostCommentBytes = 1024;

	PackageSignature();

	// B_OK: a signature record was read at `position`. B_ENTRY_NOT_FOUND:
	// none starts there (the package is not signed). B_BAD_DATA: a record
	// starts there but is damaged.
	status_t ReadAt(BPositionIO* file, off_t position);
	status_t Write(BPositionIO* file) const;

	// The BLAKE2b-512 digest of the bytes [start, end) of `file`; B_CANCELED
	// when `stop` was set meanwhile (a digest taken beside other work that
	// nobody waits for any more).
	static status_t DigestOf(BPositionIO* file, off_t start, off_t end, digest* out,
		const std::atomic<bool>* stop = NULL);
	// The bytes the comment signature signs: the signature, then the comment.
	std::string CommentMessage() const;
	// Whether both signatures hold, for a stream of this digest, by the
	// public key the record carries.
	bool Matches(const digest& streamDigest) const;

	PublicKey fSigner;
	signature fSignature;
	std::string fTrustedComment;
	signature fCommentSignature;
};

#endif // _PACKAGE_SIGNATURE_H
