#ifndef _SHA256_H
#define _SHA256_H

// SHA-256 digests as lower-case hex text, over the host's cryptographic
// library (which uses the processor's SHA instructions where it has them).

#include <SupportDefs.h>

#include <memory>
#include <string>

class BPositionIO;
struct sha256_ctx;

// The digest of a file's contents as they are written, in order, from its
// first byte: each piece is given with its offset, and a piece that does
// not follow the last one (a write elsewhere) leaves the digest unusable.
// Whether it covers a file is told with its final size.
class Sha256Digest {
public:
	Sha256Digest();
	~Sha256Digest();

	void UpdateAt(off_t offset, const void* data, size_t size);
	// Whether the pieces given were the whole of a file of `size` bytes.
	bool Covers(off_t size) const { return !fBroken && fLength == size; }
	// How many bytes were given.
	off_t Length() const { return fLength; }
	// The digest of what was given, as lower-case hex; once only.
	std::string HexDigest();
	// Exchanges what this digest and `other` were given: a digest taken on
	// another thread is handed over whole.
	void Swap(Sha256Digest& other);

private:
	Sha256Digest(const Sha256Digest&) = delete;
	Sha256Digest& operator=(const Sha256Digest&) = delete;

	std::unique_ptr<sha256_ctx> fContext;
	off_t fLength;
	bool fBroken;
};

// The digest of `size` bytes at `data`.
std::string sha256_of_data(const void* data, size_t size);

// The digest of the whole file (any positioned stream: a BFile), read from
// offset 0 to its end in pieces of 1 MiB; the file's position is left
// alone. B_OK, or the status of the read that failed (nothing in `hex`).
status_t sha256_of_file(BPositionIO* file, std::string* hex);

#endif // _SHA256_H
