#ifndef _WHOLE_BIN_INFLATER_H
#define _WHOLE_BIN_INFLATER_H

// Inflates a small zlib bin in one call, held whole in memory: the package
// reader's fast way for the many small files of a package. It succeeds only
// when the stored bytes are exactly one complete, intact zlib stream whose
// result fits the given bound; anything else (damaged data, trailing bytes,
// a wrong original size) is left to the streaming codec, which reports it
// as it always does.

#include <SupportDefs.h>

#include <vector>

struct libdeflate_decompressor;

class WholeBinInflater {
public:
	WholeBinInflater();
	~WholeBinInflater();

	// The decoded bytes in *out; false when the codec must decode the bin.
	bool Inflate(const uint8* stored, size_t storedSize, size_t maxSize,
		std::vector<uint8>* out);

private:
	WholeBinInflater(const WholeBinInflater&) = delete;
	WholeBinInflater& operator=(const WholeBinInflater&) = delete;

	libdeflate_decompressor* fDecompressor;
};

#endif // _WHOLE_BIN_INFLATER_H
