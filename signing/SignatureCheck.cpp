#include "SignatureCheck.h"

#include "PackageSignature.h"

#include <Errors.h>

const char* const SignatureCheck::kMismatchText
	= "This package's signature does not match its contents: the package was changed "
	"after it was signed, or damaged on its way to you. Nothing was installed.";


SignatureCheck::SignatureCheck()
	:
	fVerdict(kNotSigned)
{
}


signature_verdict
SignatureCheck::Check(BPositionIO* file, off_t start, off_t end, const TrustedKeys& trusted)
{
	fSigner = PublicKey();
	fComment = TrustedComment();
	fDigestText.clear();
	PackageSignature::digest digest;
	bool digested = PackageSignature::DigestOf(file, start, end, &digest) == B_OK;
	if (digested) {
		static const char kDigits[] = "0123456789abcdef";
		for (uint8 byte : digest) {
			fDigestText += kDigits[byte >> 4];
			fDigestText += kDigits[byte & 0xf];
		}
	}
	PackageSignature signature;
	status_t status = signature.ReadAt(file, end);
	if (status == B_ENTRY_NOT_FOUND)
		return fVerdict = kNotSigned;
	if (status != B_OK || !digested || !signature.Matches(digest))
		return fVerdict = kSignatureMismatch;
	fSigner = signature.fSigner;
	fComment = TrustedComment::Parse(signature.fTrustedComment);
	return fVerdict = trusted.Trusts(fSigner) ? kSignedByTrustedKey : kSignedByUnknownKey;
}


const char*
SignatureCheck::StateName() const
{
	static const char* const kStates[] = { "not signed", "does not match", "trusted",
		"unknown key" };
	return kStates[fVerdict];
}


std::string
SignatureCheck::KeyIdText() const
{
	return fSigner.IsSet() ? fSigner.KeyIdText() : std::string();
}


std::string
SignatureCheck::SignerName() const
{
	return fSigner.IsSet() ? fComment.fSigner : std::string();
}


std::string
SignatureCheck::Identity() const
{
	if (!fSigner.IsSet())
		return std::string();
	return (fComment.fSigner.empty() ? std::string("an unnamed signer") : fComment.fSigner)
		+ " (key ID " + fSigner.KeyIdText() + ")";
}


std::string
SignatureCheck::SignerLine() const
{
	switch (fVerdict) {
		case kNotSigned:
			return "Not signed";
		case kSignatureMismatch:
			return "The signature does not match the package";
		case kSignedByTrustedKey:
			return "Signed by " + (fComment.fSigner.empty() ? std::string("a trusted key")
				: fComment.fSigner) + " (key ID " + fSigner.KeyIdText() + ")";
		case kSignedByUnknownKey:
			return "Signed by an unknown key (ID " + fSigner.KeyIdText() + ")";
	}
	return std::string();
}
