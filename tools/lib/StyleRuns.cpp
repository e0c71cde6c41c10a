#include "StyleRuns.h"

#include <ByteOrder.h>
#include <Errors.h>

#include <cstring>

namespace {

const char kMagic[4] = {'A', 'l', 'i', '!'};


void
AppendInt32(std::string& out, uint32 value)
{
	uint32 big = B_HOST_TO_BENDIAN_INT32(value);
	out.append((const char*)&big, 4);
}


void
AppendInt16(std::string& out, uint16 value)
{
	uint16 big = B_HOST_TO_BENDIAN_INT16(value);
	out.append((const char*)&big, 2);
}


void
AppendFloat(std::string& out, float value)
{
	uint32 bits;
	memcpy(&bits, &value, 4);
	AppendInt32(out, bits);
}


void
AppendName(std::string& out, const std::string& name, size_t field)
{
	std::string padded = name.substr(0, field - 1);
	padded.resize(field, '\0');
	out += padded;
}


uint32
ReadInt32(const uint8* data)
{
	uint32 value;
	memcpy(&value, data, 4);
	return B_BENDIAN_TO_HOST_INT32(value);
}


float
ReadFloat(const uint8* data)
{
	uint32 bits = ReadInt32(data);
	float value;
	memcpy(&value, &bits, 4);
	return value;
}


std::string
ReadName(const uint8* data, size_t field)
{
	return std::string((const char*)data, strnlen((const char*)data, field));
}

} // namespace


std::string
StyleRuns::Flatten() const
{
	std::string out(kMagic, 4);
	AppendInt32(out, 0);
	AppendInt32(out, (uint32)fRuns.size());
	for (const style_run& run : fRuns) {
		AppendInt32(out, (uint32)run.offset);
		AppendName(out, run.family, kFamilyLength);
		AppendName(out, run.style, kStyleLength);
		AppendFloat(out, run.size);
		AppendFloat(out, run.shear);
		AppendInt16(out, run.face);
		out.append((const char*)run.color, 4);
		AppendInt16(out, 0);
	}
	return out;
}


status_t
StyleRuns::Unflatten(const void* data, size_t size)
{
	const uint8* bytes = (const uint8*)data;
	if (size < kHeaderSize || memcmp(bytes, kMagic, 4) != 0)
		return B_BAD_DATA;
	uint32 count = ReadInt32(bytes + 8);
	if ((size - kHeaderSize) / kRunSize < count || size != kHeaderSize + count * kRunSize)
		return B_BAD_DATA;
	fRuns.clear();
	for (uint32 i = 0; i < count; i++) {
		const uint8* at = bytes + kHeaderSize + i * kRunSize;
		style_run run;
		run.offset = (int32)ReadInt32(at);
		run.family = ReadName(at + 4, kFamilyLength);
		run.style = ReadName(at + 68, kStyleLength);
		run.size = ReadFloat(at + 132);
		run.shear = ReadFloat(at + 136);
		run.face = (uint16)(at[140] << 8 | at[141]);
		memcpy(run.color, at + 142, 4);
		fRuns.push_back(run);
	}
	return B_OK;
}
