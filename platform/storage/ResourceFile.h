#ifndef _RESOURCE_FILE_H
#define _RESOURCE_FILE_H

// The resource container of a file, behind BResources and used directly by
// the package tool. Internal to the platform.
//
// Where the container lies:
//  - in an ELF executable, right after the ELF image (see ElfImage.h); what
//    follows the container (an installer's package) is kept behind it;
//  - in an empty file, or one that starts with the container's magic, at
//    offset 0 (a plain resource file);
//  - any other file has no resources and cannot take any.
//
// Container format, big-endian, offsets relative to the container's start:
//
//   header, 32 bytes:
//     0  uint32  magic 'KRsc' (0x4B527363)
//     4  uint16  format version, 1
//     6  uint16  header size, 32
//     8  uint32  number of resources
//     12 uint32  index entry size, 32
//     16 uint64  total length of the container (header to end of data)
//     24 uint32  offset of the data area
//     28 uint32  reserved, 0
//   index, one 32-byte entry per resource, in the order they were added:
//     0  uint32  type code
//     4  int32   id
//     8  uint32  offset of the name (0 and length 0: no name)
//     12 uint32  length of the name in bytes (no terminating zero stored)
//     16 uint64  offset of the data
//     24 uint64  length of the data
//   names, then data, each packed without gaps.
//
// A container is refused (B_BAD_DATA) when its header is not version 1, its
// total length passes the end of the file, its index or a name or data block
// lies outside the container or inside the header and index, two data blocks
// overlap, two resources share a type and id, or it counts more resources
// than fit in it.

#include <SupportDefs.h>

#include <memory>
#include <string>
#include <vector>

class BPositionIO;

struct ResourceItem {
	type_code type = 0;
	int32 id = 0;
	std::string name;
	bool hasName = false;
	// Where the data lies in the file until it is loaded.
	off_t fileOffset = 0;
	size_t size = 0;
	bool loaded = false;
	std::vector<uint8> data;
};

class ResourceFile {
public:
	static constexpr uint32 kMagic = 'KRsc';
	static constexpr uint16 kVersion = 1;
	static constexpr size_t kHeaderSize = 32;
	static constexpr size_t kEntrySize = 32;
	static constexpr uint32 kMaxCount = 1 << 16;
	static constexpr size_t kMaxNameLength = 1024;

	ResourceFile();
	~ResourceFile();

	// Reads the container of `io` (not owned; it must outlive this object or
	// the next SetTo). With `clobber` the existing resources are dropped, but
	// what follows them is still kept.
	status_t SetTo(BPositionIO* io, bool clobber);
	// A container that lives only in memory (it cannot be synchronised).
	void SetToMemory();
	void Unset();
	status_t InitCheck() const { return fStatus; }

	// Whether resources can be added: false for files that are neither ELF
	// executables nor resource files.
	bool IsWritable() const { return fWritable; }
	bool IsModified() const { return fModified; }

	int32 CountItems() const { return (int32)fItems.size(); }
	ResourceItem* ItemAt(int32 index) const;
	ResourceItem* Find(type_code type, int32 id) const;
	ResourceItem* Find(type_code type, const char* name) const;
	ResourceItem* FindTypeIndex(type_code type, int32 index) const;
	ResourceItem* FindByData(const void* data) const;

	// Brings an item's data into memory.
	status_t Load(ResourceItem* item);
	status_t LoadAll();
	// Copies bytes of an item from `offset` on; returns the count or a status.
	ssize_t ReadItem(ResourceItem* item, void* buffer, off_t offset,
		size_t length);

	// Adds a resource, replacing one of the same type and id.
	status_t Add(type_code type, int32 id, const void* data, size_t length,
		const char* name);
	status_t Remove(ResourceItem* item);
	// Writes into a resource at `offset`, growing it as needed.
	status_t WriteItem(ResourceItem* item, const void* data, off_t offset,
		size_t length);

	// Adds copies of every resource of `other`, replacing ones of the same
	// type and id.
	status_t CopyFrom(ResourceFile& other);

	// Writes the container back in place, moving what followed it so that
	// it follows the new container.
	status_t Sync();

	// The container as bytes (every item is loaded first).
	status_t Flatten(std::vector<uint8>* out);
	size_t FlattenedSize() const;

	// Offsets in the file: where the container starts, and where what
	// follows it starts.
	off_t ContainerStart() const { return fStart; }
	off_t ContainerEnd() const { return fEnd; }

private:
	status_t Locate(bool clobber);
	status_t Parse(off_t fileSize);
	status_t ParseEntries(const std::vector<uint8>& block, uint32 count,
		uint64 total, uint32 dataOffset);
	status_t MoveTail(off_t from, off_t to, off_t length);

	BPositionIO* fIO;
	status_t fStatus;
	bool fWritable;
	bool fModified;
	off_t fStart;
	off_t fEnd;
	std::vector<std::unique_ptr<ResourceItem>> fItems;
};

#endif // _RESOURCE_FILE_H
