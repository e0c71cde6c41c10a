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
		if (_RepeatsEarlierKey(data, position))
			continue;
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


// Inside a run of one byte or of a short pattern, every key repeats the key
// a period before: only the first period is indexed. Otherwise the chain of
// such a key holds nothing but the run's last positions, whose matches are
// the shortest, and the search never reaches the run's start.
bool
PatchMatchIndex::_RepeatsEarlierKey(const uint8* data, size_t position)
{
	uint64 key;
	memcpy(&key, data + position, sizeof(key));
	for (size_t period = 1; period <= kKeyBytes && period <= position; period++) {
		uint64 earlier;
		memcpy(&earlier, data + position - period, sizeof(earlier));
		if (earlier == key)
			return true;
	}
	return false;
}
