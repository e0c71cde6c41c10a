#include "PatchCostModel.h"

#include "ArchivePatchItem.h"
#include "PatchEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Measured on patches between programs: deflate takes literal data to
// about 0.68 of its order-0 entropy (it finds repeats), op bytes to about
// 4 bits and offset bytes to about 6.5 (kOffsetBits).
const double kLiteralScale = 0.68;
const double kOpBits = 4.0;
// Bytes that repeat recent bytes of the new file: a share of their price
// (fitted on patches between programs; a smaller share lures the parser
// into literal data that deflate does not match after all, as the earlier
// occurrence went into a copy).
const double kRepeatScale = 0.65;
// The shortest repeat deflate's matches pay off for, and how far back: its
// window (the patch data between two occurrences is hardly longer than the
// new bytes between them: copies take fewer bytes than they make).
const size_t kRepeatKey = 4;
const size_t kRepeatReach = 32768;
const int32 kRepeatHashBits = 16;
// No byte value is free, and none so rare that a single occurrence makes
// the parser avoid it at any price.
const double kCheapestBits = 0.25;
const double kDearestBits = 14.0;


int32
Units(double bits)
{
	return (int32)std::lround(bits * PatchCostModel::kUnit);
}

} // namespace


PatchCostModel::PatchCostModel(const uint8* newData, size_t newSize)
	:
	fNew(newData),
	fOpByteCost(Units(kOpBits)),
	fOffsetByteCost(Units(kOffsetBits))
{
	size_t counts[256] = {};
	for (size_t i = 0; i < newSize; i++)
		counts[newData[i]]++;
	for (int32 byte = 0; byte < 256; byte++) {
		// Half a count for values not seen, so that they stay possible.
		double bits = -std::log2((counts[byte] + 0.5) / (newSize + 128.0)) * kLiteralScale;
		fLiteralCost[byte] = Units(std::clamp(bits, kCheapestBits, kDearestBits));
		fRepeatedLiteralCost[byte] = Units(std::clamp(bits * kRepeatScale, kCheapestBits,
			kDearestBits));
	}
	_FindRepeats(newSize);
}


// Marks the bytes of every string of kRepeatKey bytes that occurred before
// within kRepeatReach bytes (the last occurrence of each key's hash is kept).
void
PatchCostModel::_FindRepeats(size_t size)
{
	fRepeats.assign(size, 0);
	if (size < kRepeatKey)
		return;
	std::vector<uint32> last((size_t)1 << kRepeatHashBits, UINT32_MAX);
	size_t covered = 0;
	for (size_t position = 0; position + kRepeatKey <= size; position++) {
		uint32 key = 0;
		memcpy(&key, fNew + position, sizeof(key));
		uint32 hash = (key * 2654435761u) >> (32 - kRepeatHashBits);
		uint32 earlier = last[hash];
		last[hash] = (uint32)position;
		if (earlier == UINT32_MAX || position - earlier > kRepeatReach
			|| memcmp(fNew + earlier, fNew + position, kRepeatKey) != 0)
			continue;
		for (size_t i = std::max(covered, position); i < position + kRepeatKey; i++)
			fRepeats[i] = 1;
		covered = position + kRepeatKey;
	}
}


int32
PatchCostModel::OpCost(size_t length) const
{
	int32 total = 0;
	do {
		size_t piece = std::min<size_t>(length, kPatchLongLength);
		total += PatchEncoder::LengthBytes(piece) * fOpByteCost;
		length -= piece;
	} while (length > 0);
	return total;
}


void
PatchCostModel::SetOffsetBits(double bits)
{
	fOffsetByteCost = Units(bits);
}


int32
PatchCostModel::OffsetCost(uint32 offset) const
{
	return PatchEncoder::OffsetBytes(offset) * fOffsetByteCost;
}
