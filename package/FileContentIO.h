#ifndef _FILE_CONTENT_IO_H
#define _FILE_CONTENT_IO_H

// The stream an extracted file's contents are written through. Each write
// goes out whole or fails with the file's own status: a write the file takes
// only in part (a volume that fills up takes what fits) is continued, so that
// a full volume fails with B_DEVICE_FULL rather than with a short count. And
// no write goes past the size the catalog declares for the file: the contents
// of a damaged package never take more room than the free-space check
// allowed for.

#include <DataIO.h>
#include <SupportDefs.h>

class Sha256Digest;

// The contents of a file are longer or shorter than the size its catalog
// item declares: the package is damaged.
const status_t kContentSizeMismatch = B_MISMATCHED_VALUES;

class FileContentIO : public BPositionIO {
public:
	// `limit`: the position in `target` no write may pass (-1: none).
	// The target stays the caller's; it is moved only through this stream
	// while the stream is in use.
	FileContentIO(BPositionIO* target, off_t limit);
	~FileContentIO() override;

	// Every byte written goes into `digest` too (null: none), with its
	// offset, so that the file's digest needs no second reading.
	void SetDigest(Sha256Digest* digest) { fDigest = digest; }

	ssize_t Read(void* buffer, size_t size) override;
	ssize_t Write(const void* buffer, size_t size) override;
	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override;
	status_t SetSize(off_t size) override;
	status_t GetSize(off_t* size) const override;

private:
	// kContentSizeMismatch when `size` bytes at `position` would pass the
	// limit.
	status_t _CheckLimit(off_t position, size_t size) const;

	BPositionIO* fTarget;
	off_t fLimit;
	// The target's position, kept here: no seek is asked of the file per
	// write.
	off_t fPosition;
	Sha256Digest* fDigest;
};

#endif // _FILE_CONTENT_IO_H
