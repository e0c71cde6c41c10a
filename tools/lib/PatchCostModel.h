#ifndef _PATCH_COST_MODEL_H
#define _PATCH_COST_MODEL_H

// What the bytes of patch data cost once the package deflates them, in
// sixteenths of a bit. Deflate's Huffman codes give a byte value a length
// near -log2 of its share, and its matches make repeated strings cheaper
// still: literal data is priced by the new file's byte counts, scaled by
// what deflate's matches take off; op bytes and offset bytes by what
// deflate was measured to make of them in patches between programs (op
// bytes repeat a lot, offsets hardly).

#include <SupportDefs.h>

#include <cstddef>

class PatchCostModel {
public:
	// Costs measured in sixteenths of a bit.
	static constexpr int32 kUnit = 16;

	PatchCostModel(const uint8* newData, size_t newSize);

	int32 LiteralCost(uint8 byte) const { return fLiteralCost[byte]; }
	// The op byte and the length's extra bytes of one instruction of
	// `length` bytes; runs longer than one op holds count as several ops.
	int32 OpCost(size_t length) const;
	// The offset bytes of a copy from `offset`, as the encoder writes them.
	int32 OffsetCost(uint32 offset) const;

private:
	int32 fLiteralCost[256];
	int32 fOpByteCost;
	int32 fOffsetByteCost;
};

#endif // _PATCH_COST_MODEL_H
