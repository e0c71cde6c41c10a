#ifndef _BUFFERED_OUTPUT_H
#define _BUFFERED_OUTPUT_H

// Gathers the many small records of a package (record headers, numbers,
// names) into large writes to a host file, and asks the kernel to start
// writing back each stretch the file has received, so that the fsync that
// makes the output durable finds little left to do.
//
// Writes at the end of what is buffered are gathered; any other write, a
// read, or Flush writes the buffer out first. Call Flush before the file is
// synced or closed: the destructor drops what was not flushed, since an
// output given up on is removed anyway.

#include "HostFile.h"

#include <memory>

class BufferedOutput : public BPositionIO {
public:
	static constexpr size_t kBufferSize = 1024 * 1024;
	// Bytes written to the file between two requests to write them back.
	static constexpr off_t kWritebackStep = 8 * 1024 * 1024;

	// Starts at the file's position; `file` is not owned.
	explicit BufferedOutput(HostFile* file);

	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override { return fPosition; }
	status_t SetSize(off_t size) override;
	status_t GetSize(off_t* size) const override;

	// Writes out what is buffered; B_OK or the first error.
	status_t Flush();

private:
	BufferedOutput(const BufferedOutput&) = delete;
	BufferedOutput& operator=(const BufferedOutput&) = delete;

	ssize_t _WriteThrough(off_t position, const void* buffer, size_t size);
	void _StartWriteback(off_t end);

	HostFile* fFile;
	std::unique_ptr<uint8[]> fBuffer;
	// The buffer holds the bytes at [fBufferStart, fBufferStart + fBuffered).
	off_t fBufferStart;
	size_t fBuffered;
	off_t fPosition;
	// Written back up to here, or asked to be.
	off_t fWrittenBack;
};

#endif // _BUFFERED_OUTPUT_H
