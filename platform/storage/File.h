#ifndef _FILE_H
#define _FILE_H

// A regular file opened for reading and/or writing. A link named as the file
// is followed (inside the system root); files outside the root, such as the
// running executable, open read-only.

#include <DataIO.h>
#include <Node.h>

class BFile : public BNode, public BPositionIO {
	friend class BDirectory;

public:
	BFile();
	BFile(const BFile& file);
	BFile(const entry_ref* ref, uint32 openMode);
	BFile(const BEntry* entry, uint32 openMode);
	BFile(const char* path, uint32 openMode);
	BFile(const BDirectory* dir, const char* path, uint32 openMode);
	~BFile() override;

	status_t SetTo(const entry_ref* ref, uint32 openMode);
	status_t SetTo(const BEntry* entry, uint32 openMode);
	status_t SetTo(const char* path, uint32 openMode);
	status_t SetTo(const BDirectory* dir, const char* path, uint32 openMode);
	void Unset();

	bool IsReadable() const;
	bool IsWritable() const;

	ssize_t Read(void* buffer, size_t size) override;
	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	ssize_t Write(const void* buffer, size_t size) override;
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override;
	status_t SetSize(off_t size) override;
	status_t GetSize(off_t* size) const override;

	// A second handle on the same file with a read position of its own.
	BFile& operator=(const BFile& file);

private:
	status_t _Open(int dirFd, dev_t device, const char* leaf, uint32 openMode);
	status_t _OpenPath(const BDirectory* dir, const char* path, uint32 openMode);
};

#endif // _FILE_H
