#ifndef _DATA_IO_H
#define _DATA_IO_H

// A stream of bytes that can be read and written.

#include <SupportDefs.h>

class BDataIO {
public:
	BDataIO();
	virtual ~BDataIO();

	// Both return the number of bytes moved, or a negative status.
	virtual ssize_t Read(void* buffer, size_t size) = 0;
	virtual ssize_t Write(const void* buffer, size_t size) = 0;

private:
	BDataIO(const BDataIO&) = delete;
	BDataIO& operator=(const BDataIO&) = delete;
};

// Code written for the platform includes this header for every stream class.
// When a stream class's own header brought us here, it includes what it needs.
#ifndef _POSITION_IO_H
#include <PositionIO.h>
#include <MemoryIO.h>
#include <MallocIO.h>
#endif

#endif // _DATA_IO_H
