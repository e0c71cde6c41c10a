#ifndef _POSITION_IO_H
#define _POSITION_IO_H

// A stream with a position: reads and writes at any offset, and Read/Write at
// the current position, which they advance.

#include <DataIO.h>

#include <cstdio>

class BPositionIO : public BDataIO {
public:
	BPositionIO();
	~BPositionIO() override;

	ssize_t Read(void* buffer, size_t size) override;
	ssize_t Write(const void* buffer, size_t size) override;

	virtual ssize_t ReadAt(off_t position, void* buffer, size_t size) = 0;
	virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size) = 0;

	// seekMode is SEEK_SET, SEEK_CUR or SEEK_END; returns the new position or
	// a negative status.
	virtual off_t Seek(off_t position, uint32 seekMode) = 0;
	virtual off_t Position() const = 0;

	virtual status_t SetSize(off_t size);
	virtual status_t GetSize(off_t* size) const;

protected:
	// The position a Seek asks for, from the current position and the end;
	// B_BAD_VALUE for an unknown mode or a position before the start.
	static off_t _SeekTarget(off_t position, uint32 seekMode, off_t current, off_t end);
};

#endif // _POSITION_IO_H
