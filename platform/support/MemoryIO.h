#ifndef _MEMORY_IO_H
#define _MEMORY_IO_H

// A stream over a fixed buffer that the caller owns.

#include <PositionIO.h>

class BMemoryIO : public BPositionIO {
public:
	BMemoryIO(void* data, size_t length);
	BMemoryIO(const void* data, size_t length);
	~BMemoryIO() override;

	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override { return fPosition; }
	status_t SetSize(off_t size) override;

private:
	bool fReadOnly;
	char* fBuffer;
	size_t fLength;
	size_t fBufferSize;
	off_t fPosition;
};

#endif // _MEMORY_IO_H
