#ifndef _FILE_DESCRIPTOR_H
#define _FILE_DESCRIPTOR_H

// Internal to the storage kit: an owned host file descriptor.

#include <unistd.h>

#include <utility>

class FileDescriptor {
public:
	FileDescriptor() : fFd(-1) {}
	explicit FileDescriptor(int fd) : fFd(fd) {}
	FileDescriptor(FileDescriptor&& other) : fFd(other.Release()) {}
	~FileDescriptor() { Reset(); }

	FileDescriptor& operator=(FileDescriptor&& other)
	{
		if (this != &other)
			Reset(other.Release());
		return *this;
	}

	int Get() const { return fFd; }
	bool IsValid() const { return fFd >= 0; }
	int Release() { return std::exchange(fFd, -1); }
	void Reset(int fd = -1)
	{
		if (fFd >= 0)
			close(fFd);
		fFd = fd;
	}

private:
	FileDescriptor(const FileDescriptor&) = delete;
	FileDescriptor& operator=(const FileDescriptor&) = delete;

	int fFd;
};

#endif // _FILE_DESCRIPTOR_H
