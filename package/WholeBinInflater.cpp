#include "WholeBinInflater.h"

#include <libdeflate.h>

WholeBinInflater::WholeBinInflater()
	:
	fDecompressor(libdeflate_alloc_decompressor())
{
}


WholeBinInflater::~WholeBinInflater()
{
	libdeflate_free_decompressor(fDecompressor);
}


bool
WholeBinInflater::Inflate(const uint8* stored, size_t storedSize, size_t maxSize,
	std::vector<uint8>* out)
{
	if (fDecompressor == NULL)
		return false;
	out->resize(maxSize);
	size_t used = 0;
	size_t produced = 0;
	libdeflate_result result = libdeflate_zlib_decompress_ex(fDecompressor, stored,
		storedSize, out->data(), maxSize, &used, &produced);
	if (result != LIBDEFLATE_SUCCESS || used != storedSize)
		return false;
	out->resize(produced);
	return true;
}
