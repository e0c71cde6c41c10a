#ifndef _PATCH_ENCODER_H
#define _PATCH_ENCODER_H

// Writes patch data ("QVpt"): the header with the sizes and CRC-32s of the
// original and the new file, then literal runs and copies from the original,
// each in the shortest form that holds it, and the end op. The format is
// described with the installer's patch item (ArchivePatchItem.h).

#include <SupportDefs.h>

#include <vector>

class PatchEncoder {
public:
	PatchEncoder();

	// The header; called once, before or after the instructions.
	void SetHeader(uint32 oldSize, uint32 oldCrc, uint32 newSize, uint32 newCrc);
	// `length` bytes that follow in the patch data; runs longer than one op
	// holds are split.
	void AddLiteral(const uint8* data, size_t length);
	// `length` bytes of the original from `offset` (below 4 GiB).
	void AddCopy(uint32 offset, size_t length);
	// The whole patch data, with the end op.
	std::vector<uint8> Finish();

	// What the instructions so far amount to.
	size_t LiteralBytes() const { return fLiteralBytes; }
	size_t CopiedBytes() const { return fCopiedBytes; }
	int32 CountCopies() const { return fCopies; }

	// The bytes one instruction takes besides its literal data.
	static int32 LengthBytes(size_t length);
	static int32 OffsetBytes(uint32 offset);
	static int32 CopyCost(uint32 offset, size_t length);
	static int32 LiteralOverhead(size_t length);

private:
	void _AddOp(int32 tagBase, size_t length);
	void _AddNumber(uint32 value, int32 bytes);

	std::vector<uint8> fHeader;
	std::vector<uint8> fData;
	size_t fLiteralBytes;
	size_t fCopiedBytes;
	int32 fCopies;
};

#endif // _PATCH_ENCODER_H
