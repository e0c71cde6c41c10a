#ifndef _BYTE_ORDER_H
#define _BYTE_ORDER_H

// Conversions between the host's byte order and big- or little-endian data.
// Package data is big-endian throughout.

#include <SupportDefs.h>

#include <bit>
#include <cstring>

inline uint16
__swap_int16(uint16 value)
{
	return __builtin_bswap16(value);
}

inline uint32
__swap_int32(uint32 value)
{
	return __builtin_bswap32(value);
}

inline uint64
__swap_int64(uint64 value)
{
	return __builtin_bswap64(value);
}

inline float
__swap_float(float value)
{
	uint32 bits;
	memcpy(&bits, &value, sizeof(bits));
	bits = __swap_int32(bits);
	memcpy(&value, &bits, sizeof(bits));
	return value;
}

inline double
__swap_double(double value)
{
	uint64 bits;
	memcpy(&bits, &value, sizeof(bits));
	bits = __swap_int64(bits);
	memcpy(&value, &bits, sizeof(bits));
	return value;
}

static_assert(std::endian::native == std::endian::little, "this host is little-endian");

#define B_HOST_IS_LENDIAN 1
#define B_HOST_IS_BENDIAN 0

#define B_HOST_TO_BENDIAN_INT16(v) __swap_int16(v)
#define B_HOST_TO_BENDIAN_INT32(v) __swap_int32(v)
#define B_HOST_TO_BENDIAN_INT64(v) __swap_int64(v)
#define B_HOST_TO_BENDIAN_FLOAT(v) __swap_float(v)
#define B_HOST_TO_BENDIAN_DOUBLE(v) __swap_double(v)
#define B_BENDIAN_TO_HOST_INT16(v) __swap_int16(v)
#define B_BENDIAN_TO_HOST_INT32(v) __swap_int32(v)
#define B_BENDIAN_TO_HOST_INT64(v) __swap_int64(v)
#define B_BENDIAN_TO_HOST_FLOAT(v) __swap_float(v)
#define B_BENDIAN_TO_HOST_DOUBLE(v) __swap_double(v)

#define B_HOST_TO_LENDIAN_INT16(v) (uint16)(v)
#define B_HOST_TO_LENDIAN_INT32(v) (uint32)(v)
#define B_HOST_TO_LENDIAN_INT64(v) (uint64)(v)
#define B_LENDIAN_TO_HOST_INT16(v) (uint16)(v)
#define B_LENDIAN_TO_HOST_INT32(v) (uint32)(v)
#define B_LENDIAN_TO_HOST_INT64(v) (uint64)(v)

#define B_SWAP_INT16(v) __swap_int16(v)
#define B_SWAP_INT32(v) __swap_int32(v)
#define B_SWAP_INT64(v) __swap_int64(v)

// Reading and writing big-endian values in unaligned byte buffers.
inline uint16
read_bendian_uint16(const void* buffer)
{
	uint16 value;
	memcpy(&value, buffer, sizeof(value));
	return B_BENDIAN_TO_HOST_INT16(value);
}

inline uint32
read_bendian_uint32(const void* buffer)
{
	uint32 value;
	memcpy(&value, buffer, sizeof(value));
	return B_BENDIAN_TO_HOST_INT32(value);
}

inline uint64
read_bendian_uint64(const void* buffer)
{
	uint64 value;
	memcpy(&value, buffer, sizeof(value));
	return B_BENDIAN_TO_HOST_INT64(value);
}

inline void
write_bendian_uint16(void* buffer, uint16 value)
{
	value = B_HOST_TO_BENDIAN_INT16(value);
	memcpy(buffer, &value, sizeof(value));
}

inline void
write_bendian_uint32(void* buffer, uint32 value)
{
	value = B_HOST_TO_BENDIAN_INT32(value);
	memcpy(buffer, &value, sizeof(value));
}

inline void
write_bendian_uint64(void* buffer, uint64 value)
{
	value = B_HOST_TO_BENDIAN_INT64(value);
	memcpy(buffer, &value, sizeof(value));
}

#endif // _BYTE_ORDER_H
