#ifndef _RESOURCES_H
#define _RESOURCES_H

// The resources of a file: typed, numbered, optionally named blocks of data
// kept in a container right behind an executable's image (or alone in a
// resource file). ResourceFile.h describes the container.

#include <File.h>
#include <SupportDefs.h>

#include <memory>

class ResourceFile;
struct ResourceItem;

class BResources {
public:
	BResources();
	// Opens the resources of `file` (a second handle on it is kept); with
	// `clobber` the file's resources start out empty.
	BResources(const BFile* file, bool clobber = false);
	BResources(const char* path, bool clobber = false);
	BResources(const entry_ref* ref, bool clobber = false);
	virtual ~BResources();

	status_t SetTo(const BFile* file, bool clobber = false);
	status_t SetTo(const char* path, bool clobber = false);
	status_t SetTo(const entry_ref* ref, bool clobber = false);
	void Unset();
	status_t InitCheck() const;

	const BFile& File() const;

	// Data owned by this object, valid until the resource changes or the
	// object is reset; null when there is no such resource.
	const void* LoadResource(type_code type, int32 id, size_t* outSize);
	const void* LoadResource(type_code type, const char* name, size_t* outSize);
	// Loads every resource of `type` (0: every resource) into memory.
	status_t PreloadResourceType(type_code type = 0);

	// Writes the resources back into the file. What followed them (an
	// installer's package) is kept behind the new resources.
	status_t Sync();
	// Adds every resource of `fromFile` (replacing ones of the same type
	// and id).
	status_t MergeFrom(BFile* fromFile);
	// Makes `file` the target of this object: its resources are replaced by
	// these when synchronised.
	status_t WriteTo(BFile* file);

	// Adds a resource, replacing one of the same type and id. Changes to the
	// resources of a file opened read-only are kept in memory (for
	// write_executable_with_resources); Sync refuses them.
	status_t AddResource(type_code type, int32 id, const void* data,
		size_t length, const char* name = nullptr);

	bool HasResource(type_code type, int32 id);
	bool HasResource(type_code type, const char* name);

	bool GetResourceInfo(int32 byIndex, type_code* typeFound, int32* idFound,
		const char** nameFound, size_t* lengthFound);
	bool GetResourceInfo(type_code byType, int32 andIndex, int32* idFound,
		const char** nameFound, size_t* lengthFound);
	bool GetResourceInfo(type_code byType, int32 andID, const char** nameFound,
		size_t* lengthFound);
	bool GetResourceInfo(type_code byType, const char* andName, int32* idFound,
		size_t* lengthFound);
	bool GetResourceInfo(const void* byPointer, type_code* typeFound,
		int32* idFound, size_t* lengthFound, const char** nameFound);

	status_t RemoveResource(const void* resource);
	status_t RemoveResource(type_code type, int32 id);

	// Writes `length` bytes into an existing resource at `offset`, growing
	// it as needed.
	status_t WriteResource(type_code type, int32 id, const void* data,
		off_t offset, size_t length);
	// Reads up to `length` bytes of a resource from `offset` on. Returns the
	// number of bytes read (0 past its end), or B_NAME_NOT_FOUND when there
	// is no such resource.
	status_t ReadResource(type_code type, int32 id, void* data, off_t offset,
		size_t length);

	// A malloc'ed copy of a resource (the caller frees it); null when there
	// is no such resource.
	void* FindResource(type_code type, int32 id, size_t* lengthFound);
	void* FindResource(type_code type, const char* name, size_t* lengthFound);

	// For the package tool: the size of the resource container that Sync or
	// write_executable_with_resources would write now.
	size_t FlattenedSize() const;

private:
	friend status_t write_executable_with_resources(BPositionIO*, BResources*,
		BPositionIO*, BPositionIO*, type_code, int32, off_t*);

	BResources(const BResources&) = delete;
	BResources& operator=(const BResources&) = delete;

	status_t _Open(bool clobber);
	void* _Copy(ResourceItem* item, size_t* lengthFound);
	const void* _Load(ResourceItem* item, size_t* outSize);

	BFile fFile;
	std::unique_ptr<ResourceFile> fResources;
	status_t fCStatus;
};

// For the package tool: writes to `output` a new executable made of the ELF
// image of `stub` (without whatever followed the image there), the resources
// of `resources`, and then everything `payload` holds from its position 0
// on. When `offsetType` is not 0, the resource (offsetType, offsetID) is first
// set to the offset of the payload in the new file, as a 4-byte big-endian
// signed integer. `payloadOffset` (may be null) receives that offset.
// B_BAD_TYPE when the stub is no ELF executable.
status_t write_executable_with_resources(BPositionIO* stub,
	BResources* resources, BPositionIO* payload, BPositionIO* output,
	type_code offsetType, int32 offsetID, off_t* payloadOffset);

#endif // _RESOURCES_H
