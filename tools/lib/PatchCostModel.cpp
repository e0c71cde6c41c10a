#include "PatchCostModel.h"

#include "ArchivePatchItem.h"
#include "PatchEncoder.h"

#include <algorithm>
#include <cmath>

namespace {

// Measured on patches between programs: deflate takes literal data to
// about 0.68 of its order-0 entropy (it finds repeats), op bytes to about
// 4 bits and offset bytes to about 6.5.
const double kLiteralScale = 0.68;
const double kOpBits = 4.0;
const double kOffsetBits = 6.5;
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


int32
PatchCostModel::OffsetCost(uint32 offset) const
{
	return PatchEncoder::OffsetBytes(offset) * fOffsetByteCost;
}
