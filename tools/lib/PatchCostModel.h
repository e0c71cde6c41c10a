#ifndef _PATCH_COST_MODEL_H
#define _PATCH_COST_MODEL_H

// What the bytes of patch data cost once the package deflates them, in
// sixteenths of a bit. Deflate's Huffman codes give a byte value a length
// near -log2 of its share, and its matches make repeated strings cheaper
// still: literal data is priced by the new file's byte counts, scaled by
// what deflate's matches take off; op bytes and offset bytes by what
// deflate was measured to make of them in patches between programs (op
// bytes repeat a lot, offsets hardly). Literal bytes that repeat bytes of
// the new file within deflate's window cost less: written as literal data
// both times, deflate matches them.
//
// Memory: one byte per new byte, and a table of 256 KiB while it is made.

#include <SupportDefs.h>

#include <cstddef>
#include <vector>

class PatchCostModel {
public:
	// Costs measured in sixteenths of a bit.
	static constexpr int32 kUnit = 16;

	PatchCostModel(const uint8* newData, size_t newSize);

	// The new file's byte at `position` written as literal data: cheaper
	// where the bytes there repeat bytes of the new file just before, which
	// deflate finds in its window when they were written as literal data too.
	int32 LiteralCost(size_t position) const
	{
		return fRepeats[position] ? fRepeatedLiteralCost[fNew[position]]
			: fLiteralCost[fNew[position]];
	}
	// The op byte and the length's extra bytes of one instruction of
	// `length` bytes; runs longer than one op holds count as several ops.
	int32 OpCost(size_t length) const;
	// The offset bytes of a copy from `offset`, as the encoder writes them.
	int32 OffsetCost(uint32 offset) const;

	// What one offset byte is taken to cost, in bits, instead of what
	// deflate was measured to make of offsets (kOffsetBits).
	void SetOffsetBits(double bits);

	static constexpr double kOffsetBits = 6.5;

private:
	void _FindRepeats(size_t size);

	const uint8* fNew;
	// Per new byte: whether it lies in a repeat of recent new bytes.
	std::vector<uint8> fRepeats;
	int32 fLiteralCost[256];
	int32 fRepeatedLiteralCost[256];
	int32 fOpByteCost;
	int32 fOffsetByteCost;
};

#endif // _PATCH_COST_MODEL_H
