#ifndef _SHA256_H
#define _SHA256_H

// SHA-256 digests as lower-case hex text, over the host's cryptographic
// library (which uses the processor's SHA instructions where it has them).

#include <SupportDefs.h>

#include <string>

class BPositionIO;

// The digest of `size` bytes at `data`.
std::string sha256_of_data(const void* data, size_t size);

// The digest of the whole file (any positioned stream: a BFile), read from
// offset 0 to its end in pieces of 1 MiB; the file's position is left
// alone. B_OK, or the status of the read that failed (nothing in `hex`).
status_t sha256_of_file(BPositionIO* file, std::string* hex);

#endif // _SHA256_H
