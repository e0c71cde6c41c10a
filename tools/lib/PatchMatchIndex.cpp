#include "PatchMatchIndex.h"

#include <cstring>

namespace {

// About one head per old position, up to 4 Mi heads.
const int32 kMinHashBits = 10;
const int32 kMaxHashBits = 22;

} // namespace


PatchMatchIndex::PatchMatchIndex(const uint8* data, size_t size)
	:
	fHashBits(kMinHashBits)
{
	if (size < kKeyBytes)
		return;
	while (fHashBits < kMaxHashBits && ((size_t)1 << fHashBits) < size)
		fHashBits++;
	fHeads.assign((size_t)1 << fHashBits, kNoPosition);
	fPrevious.assign(size - kKeyBytes + 1, kNoPosition);
	for (size_t position = 0; position < fPrevious.size(); position++) {
		uint32& head = fHeads[_Hash(data + position)];
		fPrevious[position] = head;
		head = (uint32)position;
	}
}


uint32
PatchMatchIndex::First(const uint8* key) const
{
	return fHeads.empty() ? kNoPosition : fHeads[_Hash(key)];
}


uint32
PatchMatchIndex::_Hash(const uint8* key) const
{
	uint64 value;
	memcpy(&value, key, sizeof(value));
	return (uint32)((value * 0x9E3779B97F4A7C15ull) >> (64 - fHashBits));
}
