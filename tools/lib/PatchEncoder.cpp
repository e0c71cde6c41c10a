#include "PatchEncoder.h"

#include "ArchivePatchItem.h"

#include <algorithm>

namespace {

// Where the length forms start.
const size_t kMediumBase = 17;
const size_t kLongBase = 4113;

} // namespace


PatchEncoder::PatchEncoder()
	:
	fHeader(kPatchHeaderSize, 0),
	fLiteralBytes(0),
	fCopiedBytes(0),
	fCopies(0)
{
	SetHeader(0, 0, 0, 0);
}


void
PatchEncoder::SetHeader(uint32 oldSize, uint32 oldCrc, uint32 newSize, uint32 newCrc)
{
	uint32 fields[5] = {kPatchDataMagic, oldSize, oldCrc, newSize, newCrc};
	for (int field = 0; field < 5; field++) {
		for (int byte = 0; byte < 4; byte++)
			fHeader[field * 4 + byte] = (uint8)(fields[field] >> (24 - 8 * byte));
	}
}


void
PatchEncoder::AddLiteral(const uint8* data, size_t length)
{
	while (length > 0) {
		size_t piece = std::min<size_t>(length, kPatchLongLength);
		_AddOp(kPatchLiteralTag, piece);
		fData.insert(fData.end(), data, data + piece);
		fLiteralBytes += piece;
		data += piece;
		length -= piece;
	}
}


void
PatchEncoder::AddCopy(uint32 offset, size_t length)
{
	while (length > 0) {
		size_t piece = std::min<size_t>(length, kPatchLongLength);
		int32 offsetBytes = OffsetBytes(offset);
		int32 tagBase = offsetBytes == 2 ? kPatchCopy2Tag
			: offsetBytes == 3 ? kPatchCopy3Tag : kPatchCopy4Tag;
		_AddOp(tagBase, piece);
		_AddNumber(offset, offsetBytes);
		fCopiedBytes += piece;
		fCopies++;
		offset += (uint32)piece;
		length -= piece;
	}
}


std::vector<uint8>
PatchEncoder::Finish()
{
	std::vector<uint8> patch(fHeader);
	patch.insert(patch.end(), fData.begin(), fData.end());
	patch.push_back(kPatchEndTag);
	return patch;
}


int32
PatchEncoder::LengthBytes(size_t length)
{
	return length <= (size_t)kPatchShortLength ? 1
		: length <= (size_t)kPatchMediumLength ? 2 : 3;
}


int32
PatchEncoder::OffsetBytes(uint32 offset)
{
	return offset < 0x10000 ? 2 : offset < 0x1000000 ? 3 : 4;
}


int32
PatchEncoder::CopyCost(uint32 offset, size_t length)
{
	int32 cost = 0;
	while (length > 0) {
		size_t piece = std::min<size_t>(length, kPatchLongLength);
		cost += LengthBytes(piece) + OffsetBytes(offset);
		offset += (uint32)piece;
		length -= piece;
	}
	return cost;
}


int32
PatchEncoder::LiteralOverhead(size_t length)
{
	int32 cost = 0;
	while (length > 0) {
		size_t piece = std::min<size_t>(length, kPatchLongLength);
		cost += LengthBytes(piece);
		length -= piece;
	}
	return cost;
}


// The op byte (tag + 0, 1 or 2 for the length's form), then the length's
// extra bytes.
void
PatchEncoder::_AddOp(int32 tagBase, size_t length)
{
	if (length <= (size_t)kPatchShortLength) {
		fData.push_back((uint8)(((length - 1) << 4) | tagBase));
	} else if (length <= (size_t)kPatchMediumLength) {
		size_t value = length - kMediumBase;
		fData.push_back((uint8)(((value >> 8) << 4) | (tagBase + 1)));
		fData.push_back((uint8)value);
	} else {
		size_t value = length - kLongBase;
		fData.push_back((uint8)(((value >> 16) << 4) | (tagBase + 2)));
		_AddNumber((uint32)value, 2);
	}
}


void
PatchEncoder::_AddNumber(uint32 value, int32 bytes)
{
	for (int32 i = bytes - 1; i >= 0; i--)
		fData.push_back((uint8)(value >> (8 * i)));
}
