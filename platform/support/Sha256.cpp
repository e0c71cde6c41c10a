#include "Sha256.h"

#include <Errors.h>
#include <PositionIO.h>

#include <nettle/sha2.h>

#include <memory>
#include <utility>

namespace {

// Big enough that a large file costs few reads, small enough to sit beside
// the install worker's own buffers.
const size_t kReadSize = 1024 * 1024;


std::string
HexDigest(sha256_ctx* context)
{
	uint8_t digest[SHA256_DIGEST_SIZE];
	sha256_digest(context, sizeof(digest), digest);
	static const char kDigits[] = "0123456789abcdef";
	std::string hex;
	hex.reserve(2 * sizeof(digest));
	for (uint8_t byte : digest) {
		hex += kDigits[byte >> 4];
		hex += kDigits[byte & 0x0f];
	}
	return hex;
}

} // namespace


Sha256Digest::Sha256Digest()
	:
	fContext(new sha256_ctx),
	fLength(0),
	fBroken(false)
{
	sha256_init(fContext.get());
}


Sha256Digest::~Sha256Digest()
{
}


void
Sha256Digest::UpdateAt(off_t offset, const void* data, size_t size)
{
	if (fBroken || offset != fLength) {
		fBroken = true;
		return;
	}
	sha256_update(fContext.get(), size, (const uint8_t*)data);
	fLength += (off_t)size;
}


std::string
Sha256Digest::HexDigest()
{
	return ::HexDigest(fContext.get());
}


void
Sha256Digest::Swap(Sha256Digest& other)
{
	std::swap(fContext, other.fContext);
	std::swap(fLength, other.fLength);
	std::swap(fBroken, other.fBroken);
}


std::string
sha256_of_data(const void* data, size_t size)
{
	Sha256Digest digest;
	digest.UpdateAt(0, data, size);
	return digest.HexDigest();
}


status_t
sha256_of_file(BPositionIO* file, std::string* hex)
{
	if (file == nullptr || hex == nullptr)
		return B_BAD_VALUE;
	std::unique_ptr<uint8_t[]> buffer(new(std::nothrow) uint8_t[kReadSize]);
	if (buffer == nullptr)
		return B_NO_MEMORY;
	Sha256Digest digest;
	off_t position = 0;
	while (true) {
		ssize_t read = file->ReadAt(position, buffer.get(), kReadSize);
		if (read < 0)
			return (status_t)read;
		if (read == 0)
			break;
		digest.UpdateAt(position, buffer.get(), (size_t)read);
		position += read;
	}
	*hex = digest.HexDigest();
	return B_OK;
}
