#ifndef _SUPPORT_DEFS_H
#define _SUPPORT_DEFS_H

// Fixed-size types, status codes and small helpers shared by every kit.

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

#include <Errors.h>

typedef int8_t int8;
typedef uint8_t uint8;
typedef int16_t int16;
typedef uint16_t uint16;
typedef int32_t int32;
typedef uint32_t uint32;
typedef int64_t int64;
typedef uint64_t uint64;

typedef volatile int8 vint8;
typedef volatile int32 vint32;
typedef volatile int64 vint64;

typedef int32 status_t;
typedef int64 bigtime_t;
typedef uint32 type_code;
typedef uint32 perform_code;

// Device and node numbers use the host's 64-bit types (sys/types.h); off_t is
// the host's 64-bit file offset.
static_assert(sizeof(off_t) == 8, "off_t must be 64 bits");

#ifndef _UCHAR_DEFINED
typedef unsigned char uchar;
#define _UCHAR_DEFINED
#endif

#define B_EMPTY_STRING ""

#define min_c(a, b) ((a) > (b) ? (b) : (a))
#define max_c(a, b) ((a) > (b) ? (a) : (b))

#ifndef NULL
#define NULL 0
#endif

#endif // _SUPPORT_DEFS_H
