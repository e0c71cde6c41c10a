#ifndef _TRUSTED_COMMENT_H
#define _TRUSTED_COMMENT_H

// The signed comment of a package signature: who signed, which package and
// version, and when, as one line of tab-separated "field: value" pairs. It
// is covered by the signature, so what it says is as trustworthy as the key.

#include <ctime>
#include <string>

class TrustedComment {
public:
	TrustedComment();

	std::string Text() const;
	// The fields of a comment this tool wrote; a comment of another shape
	// becomes the signer's text whole.
	static TrustedComment Parse(const std::string& text);
	// A time as the comment writes it: ISO 8601, UTC ("2026-12-09T19:30:00Z").
	static std::string TimeText(time_t when);

	// The signer as the author named it ("--comment").
	std::string fSigner;
	std::string fPackage;
	// The package's version text; may be empty.
	std::string fVersion;
	// When it was signed (seconds since the epoch; 0 when not said).
	time_t fSignedAt;
};

#endif // _TRUSTED_COMMENT_H
