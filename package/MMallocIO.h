#ifndef _MMALLOC_IO_H
#define _MMALLOC_IO_H

// A memory stream that grows as data arrives, in whole blocks (4096 bytes
// unless set otherwise). Its buffer can be detached: SetDispose(false), take
// Buffer() and Size(), and free the buffer later with free().

#include <DataIO.h>

class MMallocIO : public BPositionIO {
public:
	// (NULL, 0): an empty stream with one block. (NULL, n): n bytes
	// allocated (zeroed), taken as data. (buffer, n): the caller's buffer
	// as data, not freed by the stream; a write past its end moves the data
	// into a buffer of the stream's own, which the stream then frees unless
	// told otherwise.
	explicit MMallocIO(char* buffer = NULL, uint32 size = 0);
	~MMallocIO() override;

	// Read and Write are BPositionIO's, at the current position.
	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	// Grows the buffer to the end of the write rounded up to whole blocks;
	// B_NO_MEMORY, with nothing written, when that fails.
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	// Only positions within 0 ... Size() are accepted; returns the new
	// position, or -1 with the position unchanged. SEEK_END counts from the
	// end of the data.
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override { return fPosition; }
	status_t GetSize(off_t* size) const override;

	// The length of the data.
	size_t Size() const { return fLength; }
	size_t Capacity() const { return fCapacity; }
	char* Buffer() const { return fBuffer; }
	// 0 is ignored.
	void SetBlockSize(uint32 blockSize);
	// Whether the destructor frees the buffer.
	void SetDispose(bool dispose) { fDispose = dispose; }

private:
	status_t _Grow(size_t needed);

	uint32 fBlockSize;
	off_t fPosition;
	char* fBuffer;
	size_t fCapacity;
	size_t fLength;
	bool fDispose;
	// A caller's buffer is never realloc'ed: growth copies it first.
	bool fOwnsBuffer;
};

#endif // _MMALLOC_IO_H
