#ifndef _TESTS_HOST_FILE_IO_H
#define _TESTS_HOST_FILE_IO_H

// A BPositionIO over a host file descriptor, for tests that exercise stream
// code on real files without going through the system root.

#include <Errors.h>
#include <PositionIO.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

class HostFileIO : public BPositionIO {
public:
	explicit HostFileIO(const std::string& path, int flags = O_RDWR)
		:
		fFD(open(path.c_str(), flags | O_CLOEXEC, 0644)),
		fPosition(0)
	{
	}

	~HostFileIO() override
	{
		if (fFD >= 0)
			close(fFD);
	}

	bool IsOpen() const { return fFD >= 0; }

	ssize_t ReadAt(off_t position, void* buffer, size_t size) override
	{
		ssize_t result = pread(fFD, buffer, size, position);
		return result < 0 ? errno_status() : result;
	}

	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override
	{
		ssize_t result = pwrite(fFD, buffer, size, position);
		return result < 0 ? errno_status() : result;
	}

	off_t Seek(off_t position, uint32 mode) override
	{
		off_t base = 0;
		if (mode == SEEK_CUR)
			base = fPosition;
		else if (mode == SEEK_END) {
			off_t size;
			GetSize(&size);
			base = size;
		}
		if (base + position < 0)
			return B_BAD_VALUE;
		return fPosition = base + position;
	}

	off_t Position() const override { return fPosition; }

	status_t SetSize(off_t size) override
	{
		return ftruncate(fFD, size) == 0 ? B_OK : errno_status();
	}

	status_t GetSize(off_t* size) const override
	{
		off_t end = lseek(fFD, 0, SEEK_END);
		if (end < 0)
			return errno_status();
		*size = end;
		return B_OK;
	}

private:
	int fFD;
	off_t fPosition;
};

inline std::vector<uint8>
read_host_file(const std::string& path)
{
	std::vector<uint8> bytes;
	int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
	if (fd < 0)
		return bytes;
	uint8 buffer[65536];
	ssize_t count;
	while ((count = read(fd, buffer, sizeof(buffer))) > 0)
		bytes.insert(bytes.end(), buffer, buffer + count);
	close(fd);
	return bytes;
}

inline bool
write_host_file(const std::string& path, const void* data, size_t size)
{
	int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
	if (fd < 0)
		return false;
	bool ok = write(fd, data, size) == (ssize_t)size;
	close(fd);
	return ok;
}

inline bool
write_host_file(const std::string& path, const std::vector<uint8>& bytes)
{
	return write_host_file(path, bytes.data(), bytes.size());
}

#endif // _TESTS_HOST_FILE_IO_H
