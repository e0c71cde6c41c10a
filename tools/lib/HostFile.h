#ifndef _HOST_FILE_H
#define _HOST_FILE_H

// A BPositionIO over a file of the host, outside any system root: the tool
// reads an author's folder and writes packages wherever it is told, so it
// works on host paths directly.

#include <PositionIO.h>

#include <string>

class HostFile : public BPositionIO {
public:
	HostFile();
	// flags as for open(2); O_CLOEXEC is always added.
	HostFile(const char* path, int flags, mode_t mode = 0644);
	~HostFile() override;

	status_t SetTo(const char* path, int flags, mode_t mode = 0644);
	void Unset();
	status_t InitCheck() const;
	int Descriptor() const { return fFD; }

	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override;
	status_t SetSize(off_t size) override;
	status_t GetSize(off_t* size) const override;

	// Writes all of `size` bytes at the current position; B_OK or an error.
	status_t WriteFully(const void* buffer, size_t size);

private:
	HostFile(const HostFile&) = delete;
	HostFile& operator=(const HostFile&) = delete;

	int fFD;
	off_t fPosition;
	status_t fStatus;
};

#endif // _HOST_FILE_H
