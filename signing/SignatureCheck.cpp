#include "SignatureCheck.h"

#include "PackageSignature.h"

#include <Errors.h>

#include <pthread.h>

namespace {

std::string
HexText(const PackageSignature::digest& digest)
{
	static const char kDigits[] = "0123456789abcdef";
	std::string text;
	for (uint8 byte : digest) {
		text += kDigits[byte >> 4];
		text += kDigits[byte & 0xf];
	}
	return text;
}

} // namespace


const char* const SignatureCheck::kMismatchText
	= "This package's signature does not match its contents: the package was changed "
	"after it was signed, or damaged on its way to you. Nothing was installed.";


SignatureCheck::SignatureCheck()
	:
	fVerdict(kNotSigned)
{
}


SignatureCheck::~SignatureCheck()
{
	_StopDigest();
}


signature_verdict
SignatureCheck::Check(BPositionIO* file, off_t start, off_t end, const TrustedKeys& trusted)
{
	return _Check(file, nullptr, start, end, trusted);
}


signature_verdict
SignatureCheck::CheckWithDigestBeside(const BFile& file, off_t start, off_t end,
	const TrustedKeys& trusted)
{
	BFile reader(file);
	return _Check(&reader, &file, start, end, trusted);
}


// The signature record is read first: whether there is one decides whether
// the digest must be had before anything else.
signature_verdict
SignatureCheck::_Check(BPositionIO* file, const BFile* reopenable, off_t start, off_t end,
	const TrustedKeys& trusted)
{
	_StopDigest();
	fSigner = PublicKey();
	fComment = TrustedComment();
	PackageSignature signature;
	status_t status = signature.ReadAt(file, end);
	if (status == B_ENTRY_NOT_FOUND && reopenable != nullptr) {
		// The thread reads through a handle of its own: the caller's may
		// be closed, or read elsewhere, meanwhile.
		auto stop = std::make_shared<std::atomic<bool>>(false);
		fStopDigest = stop;
		fDigestText = std::async(std::launch::async, [own = BFile(*reopenable), start, end,
				stop]() mutable {
			pthread_setname_np(pthread_self(), "package digest");
			PackageSignature::digest digest;
			if (PackageSignature::DigestOf(&own, start, end, &digest, stop.get()) != B_OK)
				return std::string();
			return HexText(digest);
		}).share();
		return fVerdict = kNotSigned;
	}
	PackageSignature::digest digest;
	bool digested = PackageSignature::DigestOf(file, start, end, &digest) == B_OK;
	std::promise<std::string> taken;
	taken.set_value(digested ? HexText(digest) : std::string());
	fDigestText = taken.get_future().share();
	if (status == B_ENTRY_NOT_FOUND)
		return fVerdict = kNotSigned;
	if (status != B_OK || !digested || !signature.Matches(digest))
		return fVerdict = kSignatureMismatch;
	fSigner = signature.fSigner;
	fComment = TrustedComment::Parse(signature.fTrustedComment);
	return fVerdict = trusted.Trusts(fSigner) ? kSignedByTrustedKey : kSignedByUnknownKey;
}


std::string
SignatureCheck::DigestText() const
{
	return fDigestText.valid() ? fDigestText.get() : std::string();
}


// Whoever still holds the digest's handle keeps a finished text; a digest
// stopped part way leaves an empty one, which nobody reads any more.
void
SignatureCheck::_StopDigest()
{
	if (fStopDigest)
		fStopDigest->store(true, std::memory_order_relaxed);
	fStopDigest.reset();
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
