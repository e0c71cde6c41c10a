#ifndef _MALLOC_IO_H
#define _MALLOC_IO_H

// A stream over a heap buffer that grows as data is written past its end.

#include <PositionIO.h>

class BMallocIO : public BPositionIO {
public:
	BMallocIO();
	~BMallocIO() override;

	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override { return fPosition; }
	status_t SetSize(off_t size) override;

	void SetBlockSize(size_t blockSize);
	const void* Buffer() const { return fData; }
	size_t BufferLength() const { return fLength; }

private:
	status_t Reserve(size_t size);

	size_t fBlockSize;
	size_t fMallocSize;
	size_t fLength;
	char* fData;
	off_t fPosition;
};

#endif // _MALLOC_IO_H
