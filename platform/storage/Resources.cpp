#include <Resources.h>

#include <ByteOrder.h>
#include <ElfImage.h>
#include <ResourceFile.h>

#include <cstdlib>
#include <cstring>
#include <vector>

BResources::BResources()
	:
	fResources(std::make_unique<ResourceFile>()),
	fCStatus(B_NO_INIT)
{
}

BResources::BResources(const BFile* file, bool clobber)
	:
	BResources()
{
	SetTo(file, clobber);
}

BResources::BResources(const char* path, bool clobber)
	:
	BResources()
{
	SetTo(path, clobber);
}

BResources::BResources(const entry_ref* ref, bool clobber)
	:
	BResources()
{
	SetTo(ref, clobber);
}

BResources::~BResources()
{
	// Like the platform's, unsynchronised changes are written when the
	// object goes away.
	if (fCStatus == B_OK && fResources->IsModified())
		Sync();
}

void
BResources::Unset()
{
	if (fCStatus == B_OK && fResources->IsModified())
		Sync();
	fResources->Unset();
	fFile.Unset();
	fCStatus = B_NO_INIT;
}

status_t
BResources::_Open(bool clobber)
{
	fCStatus = fFile.InitCheck();
	if (fCStatus == B_OK)
		fCStatus = fResources->SetTo(&fFile, clobber);
	if (fCStatus != B_OK)
		fFile.Unset();
	return fCStatus;
}

status_t
BResources::SetTo(const BFile* file, bool clobber)
{
	Unset();
	if (file == nullptr)
		return fCStatus = B_BAD_VALUE;
	fFile = *file;
	return _Open(clobber);
}

status_t
BResources::SetTo(const char* path, bool clobber)
{
	Unset();
	if (path == nullptr)
		return fCStatus = B_BAD_VALUE;
	// Opened for writing when possible, so the resources can be changed;
	// read-only files (the running executable) still yield theirs.
	if (fFile.SetTo(path, B_READ_WRITE) != B_OK)
		fFile.SetTo(path, B_READ_ONLY);
	return _Open(clobber);
}

status_t
BResources::SetTo(const entry_ref* ref, bool clobber)
{
	Unset();
	if (ref == nullptr)
		return fCStatus = B_BAD_VALUE;
	if (fFile.SetTo(ref, B_READ_WRITE) != B_OK)
		fFile.SetTo(ref, B_READ_ONLY);
	return _Open(clobber);
}

status_t
BResources::InitCheck() const
{
	return fCStatus;
}

const BFile&
BResources::File() const
{
	return fFile;
}

const void*
BResources::_Load(ResourceItem* item, size_t* outSize)
{
	if (fCStatus != B_OK || item == nullptr || fResources->Load(item) != B_OK)
		return nullptr;
	if (outSize != nullptr)
		*outSize = item->size;
	// An empty resource still gets a pointer of its own.
	if (item->data.empty())
		item->data.reserve(1);
	return item->data.data();
}

const void*
BResources::LoadResource(type_code type, int32 id, size_t* outSize)
{
	return _Load(fResources->Find(type, id), outSize);
}

const void*
BResources::LoadResource(type_code type, const char* name, size_t* outSize)
{
	return _Load(fResources->Find(type, name), outSize);
}

status_t
BResources::PreloadResourceType(type_code type)
{
	if (fCStatus != B_OK)
		return fCStatus;
	for (int32 i = 0; ResourceItem* item = fResources->ItemAt(i); i++) {
		if (type != 0 && item->type != type)
			continue;
		status_t status = fResources->Load(item);
		if (status != B_OK)
			return status;
	}
	return B_OK;
}

status_t
BResources::Sync()
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (fResources->IsModified() && !fFile.IsWritable())
		return B_NOT_ALLOWED;
	return fResources->Sync();
}

status_t
BResources::MergeFrom(BFile* fromFile)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (fromFile == nullptr)
		return B_BAD_VALUE;
	BFile source(*fromFile);
	ResourceFile other;
	status_t status = other.SetTo(&source, false);
	if (status != B_OK)
		return status;
	return fResources->CopyFrom(other);
}

status_t
BResources::WriteTo(BFile* file)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (file == nullptr)
		return B_BAD_VALUE;
	status_t status = fResources->LoadAll();
	if (status != B_OK)
		return status;

	BFile target(*file);
	auto resources = std::make_unique<ResourceFile>();
	status = resources->SetTo(&target, true);
	if (status != B_OK)
		return status;
	status = resources->CopyFrom(*fResources);
	if (status != B_OK)
		return status;
	status = resources->Sync();
	if (status != B_OK)
		return status;

	// The new file is the target from now on.
	fResources->Unset();
	fFile = target;
	return _Open(false);
}

status_t
BResources::AddResource(type_code type, int32 id, const void* data,
	size_t length, const char* name)
{
	if (fCStatus != B_OK)
		return fCStatus;
	return fResources->Add(type, id, data, length, name);
}

bool
BResources::HasResource(type_code type, int32 id)
{
	return fCStatus == B_OK && fResources->Find(type, id) != nullptr;
}

bool
BResources::HasResource(type_code type, const char* name)
{
	return fCStatus == B_OK && fResources->Find(type, name) != nullptr;
}

namespace {

bool
report_item(ResourceItem* item, type_code* type, int32* id, const char** name,
	size_t* length)
{
	if (item == nullptr)
		return false;
	if (type != nullptr)
		*type = item->type;
	if (id != nullptr)
		*id = item->id;
	if (name != nullptr)
		*name = item->hasName ? item->name.c_str() : nullptr;
	if (length != nullptr)
		*length = item->size;
	return true;
}

} // namespace

bool
BResources::GetResourceInfo(int32 byIndex, type_code* typeFound,
	int32* idFound, const char** nameFound, size_t* lengthFound)
{
	return fCStatus == B_OK && report_item(fResources->ItemAt(byIndex),
		typeFound, idFound, nameFound, lengthFound);
}

bool
BResources::GetResourceInfo(type_code byType, int32 andIndex, int32* idFound,
	const char** nameFound, size_t* lengthFound)
{
	return fCStatus == B_OK && report_item(
		fResources->FindTypeIndex(byType, andIndex), nullptr, idFound,
		nameFound, lengthFound);
}

bool
BResources::GetResourceInfo(type_code byType, int32 andID,
	const char** nameFound, size_t* lengthFound)
{
	return fCStatus == B_OK && report_item(fResources->Find(byType, andID),
		nullptr, nullptr, nameFound, lengthFound);
}

bool
BResources::GetResourceInfo(type_code byType, const char* andName,
	int32* idFound, size_t* lengthFound)
{
	return fCStatus == B_OK && report_item(fResources->Find(byType, andName),
		nullptr, idFound, nullptr, lengthFound);
}

bool
BResources::GetResourceInfo(const void* byPointer, type_code* typeFound,
	int32* idFound, size_t* lengthFound, const char** nameFound)
{
	return fCStatus == B_OK && report_item(fResources->FindByData(byPointer),
		typeFound, idFound, nameFound, lengthFound);
}

status_t
BResources::RemoveResource(const void* resource)
{
	if (fCStatus != B_OK)
		return fCStatus;
	ResourceItem* item = fResources->FindByData(resource);
	if (item == nullptr)
		return B_BAD_VALUE;
	return fResources->Remove(item);
}

status_t
BResources::RemoveResource(type_code type, int32 id)
{
	if (fCStatus != B_OK)
		return fCStatus;
	ResourceItem* item = fResources->Find(type, id);
	if (item == nullptr)
		return B_BAD_VALUE;
	return fResources->Remove(item);
}

status_t
BResources::WriteResource(type_code type, int32 id, const void* data,
	off_t offset, size_t length)
{
	if (fCStatus != B_OK)
		return fCStatus;
	ResourceItem* item = fResources->Find(type, id);
	if (item == nullptr)
		return B_BAD_VALUE;
	return fResources->WriteItem(item, data, offset, length);
}

status_t
BResources::ReadResource(type_code type, int32 id, void* data, off_t offset,
	size_t length)
{
	if (fCStatus != B_OK)
		return fCStatus;
	ResourceItem* item = fResources->Find(type, id);
	if (item == nullptr)
		return B_NAME_NOT_FOUND;
	ssize_t result = fResources->ReadItem(item, data, offset, length);
	return (status_t)result;
}

void*
BResources::_Copy(ResourceItem* item, size_t* lengthFound)
{
	if (fCStatus != B_OK || item == nullptr)
		return nullptr;
	// At least one byte, so that an empty resource is told from a missing one.
	void* copy = malloc(item->size > 0 ? item->size : 1);
	if (copy == nullptr)
		return nullptr;
	ssize_t read = fResources->ReadItem(item, copy, 0, item->size);
	if (read != (ssize_t)item->size) {
		free(copy);
		return nullptr;
	}
	if (lengthFound != nullptr)
		*lengthFound = item->size;
	return copy;
}

void*
BResources::FindResource(type_code type, int32 id, size_t* lengthFound)
{
	return _Copy(fResources->Find(type, id), lengthFound);
}

void*
BResources::FindResource(type_code type, const char* name, size_t* lengthFound)
{
	return _Copy(fResources->Find(type, name), lengthFound);
}

size_t
BResources::FlattenedSize() const
{
	return fCStatus == B_OK ? fResources->FlattenedSize() : 0;
}

namespace {

status_t
copy_range(BPositionIO* from, off_t fromOffset, off_t length, BPositionIO* to,
	off_t toOffset)
{
	std::vector<uint8> buffer(256 * 1024);
	off_t done = 0;
	// length < 0: copy to the end of `from`.
	while (length < 0 || done < length) {
		size_t piece = buffer.size();
		if (length >= 0 && (off_t)piece > length - done)
			piece = (size_t)(length - done);
		ssize_t read = from->ReadAt(fromOffset + done, buffer.data(), piece);
		if (read < 0)
			return (status_t)read;
		if (read == 0)
			return length < 0 ? B_OK : B_IO_ERROR;
		ssize_t written = to->WriteAt(toOffset + done, buffer.data(), read);
		if (written < 0)
			return (status_t)written;
		if (written != read)
			return B_IO_ERROR;
		done += read;
	}
	return B_OK;
}

} // namespace

status_t
write_executable_with_resources(BPositionIO* stub, BResources* resources,
	BPositionIO* payload, BPositionIO* output, type_code offsetType,
	int32 offsetID, off_t* payloadOffset)
{
	if (stub == nullptr || resources == nullptr || output == nullptr)
		return B_BAD_VALUE;
	if (resources->InitCheck() != B_OK)
		return resources->InitCheck();
	off_t imageSize;
	status_t status = get_elf_image_size(stub, &imageSize);
	if (status != B_OK)
		return status;

	// A copy, so that the caller's resources (perhaps the stub's own) are
	// left as they were.
	ResourceFile container;
	container.SetToMemory();
	status = container.CopyFrom(*resources->fResources);
	if (status != B_OK)
		return status;
	if (offsetType != 0) {
		// The offset resource has a fixed size, so the container's size, and
		// with it the payload's offset, is known before its value.
		uint8 placeholder[4] = {};
		status = container.Add(offsetType, offsetID, placeholder, 4, nullptr);
		if (status != B_OK)
			return status;
	}
	off_t start = imageSize + (off_t)container.FlattenedSize();
	if (offsetType != 0) {
		if (start > INT32_MAX)
			return B_BAD_VALUE;
		uint8 value[4];
		write_bendian_uint32(value, (uint32)start);
		status = container.Add(offsetType, offsetID, value, 4, nullptr);
		if (status != B_OK)
			return status;
	}

	std::vector<uint8> bytes;
	status = container.Flatten(&bytes);
	if (status != B_OK)
		return status;
	status = output->SetSize(0);
	if (status != B_OK)
		return status;
	status = copy_range(stub, 0, imageSize, output, 0);
	if (status == B_OK && !bytes.empty()) {
		ssize_t written = output->WriteAt(imageSize, bytes.data(), bytes.size());
		if (written != (ssize_t)bytes.size())
			status = written < 0 ? (status_t)written : B_IO_ERROR;
	}
	if (status == B_OK && payload != nullptr)
		status = copy_range(payload, 0, -1, output, start);
	if (status != B_OK)
		return status;
	if (payloadOffset != nullptr)
		*payloadOffset = start;
	return B_OK;
}
