#ifndef _FILE_RANGE_H
#define _FILE_RANGE_H

// A read-only window onto part of another stream: the package stream inside
// an installer, seen as if it started at offset 0.

#include <PositionIO.h>

class FileRange : public BPositionIO {
public:
	FileRange(BPositionIO* source, off_t start, off_t size);

	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override;
	status_t GetSize(off_t* size) const override;

private:
	BPositionIO* fSource;
	off_t fStart;
	off_t fSize;
	off_t fPosition;
};

#endif // _FILE_RANGE_H
