#ifndef _BUFFERED_FILE_IO_H
#define _BUFFERED_FILE_IO_H

// A read-only stream over a file that reads ahead in large blocks: the
// catalog is read a few bytes at a time (record headers, small fields), and
// one system call per field made walking a large catalog slow.

#include <DataIO.h>

#include <vector>

class BFile;

class BufferedFileIO : public BPositionIO {
public:
	// Takes over `file`.
	explicit BufferedFileIO(BFile* file, size_t blockSize = 64 * 1024);
	~BufferedFileIO() override;

	status_t InitCheck() const;

	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	// Read-only: B_NOT_ALLOWED.
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override;
	status_t GetSize(off_t* size) const override;

private:
	BufferedFileIO(const BufferedFileIO&) = delete;
	BufferedFileIO& operator=(const BufferedFileIO&) = delete;

	// The bytes now in the block, 0 at the end of the file, or the file's
	// failure.
	ssize_t _Fill(off_t position);

	BFile* fFile;
	std::vector<char> fBlock;
	// The file's bytes from fBlockStart, fBlockLength of them.
	off_t fBlockStart;
	size_t fBlockLength;
	off_t fPosition;
};

#endif // _BUFFERED_FILE_IO_H
