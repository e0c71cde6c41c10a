#ifndef _TESTS_PATCH_DATA_H
#define _TESTS_PATCH_DATA_H

// Patch data for tests: a patch that keeps the start of an original and
// appends new bytes, in the format the patch items apply.

#include <SupportDefs.h>

#include <zlib.h>

#include <string>

inline std::string
BigEndian(uint32 value)
{
	std::string out;
	for (int i = 3; i >= 0; i--)
		out += (char)(value >> (8 * i));
	return out;
}


inline uint32
Crc(const std::string& data)
{
	return (uint32)crc32(0, reinterpret_cast<const Bytef*>(data.data()), (uInt)data.size());
}


// Patch data that keeps the original's first `kept` bytes and appends
// `added` in one long literal run (so that it reports progress on the way).
inline std::string
AppendingPatch(const std::string& original, size_t kept, const std::string& added,
	uint32 newCrcDelta = 0)
{
	std::string result = original.substr(0, kept) + added;
	std::string data = "QVpt" + BigEndian((uint32)original.size()) + BigEndian(Crc(original))
		+ BigEndian((uint32)result.size()) + BigEndian(Crc(result) + newCrcDelta);
	// A copy from offset 0 (long form, 2-byte offset), then the literals.
	uint32 copy = (uint32)kept - 4113;
	data += std::string(1, (char)(0x05 | ((copy >> 16) << 4))) + (char)(copy >> 8)
		+ (char)copy + std::string(2, '\0');
	uint32 literal = (uint32)added.size() - 4113;
	data += std::string(1, (char)(0x02 | ((literal >> 16) << 4))) + (char)(literal >> 8)
		+ (char)literal + added + std::string(1, '\x0f');
	return data;
}


inline std::string
Filler(size_t size, char seed)
{
	std::string data(size, '\0');
	for (size_t i = 0; i < size; i++)
		data[i] = (char)(seed + i * 13 + i / 7);
	return data;
}

#endif // _TESTS_PATCH_DATA_H
