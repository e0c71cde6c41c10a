#ifndef _TEXT_COPY_H
#define _TEXT_COPY_H

// Internal to the storage kit: a bounded copy of a zero-terminated text.

#include <cstddef>
#include <cstring>

// Copies as much of source as fits in size bytes, always zero-terminated.
inline void
copy_text(char* destination, const char* source, size_t size)
{
	if (size == 0)
		return;
	size_t length = strnlen(source, size - 1);
	memcpy(destination, source, length);
	destination[length] = '\0';
}

#endif // _TEXT_COPY_H
