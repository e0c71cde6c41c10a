#include <AppFileInfo.h>

#include <ElfImage.h>
#include <File.h>
#include <Resources.h>
#include <TypeConstants.h>

#include <cstring>

namespace {

const char* const kSignatureName = "BEOS:APP_SIG";
const char* const kFlagsName = "BEOS:APP_FLAGS";
const char* const kVersionName = "BEOS:APP_VERSION";
// Resources carrying these records have this id.
const int32 kInfoResourceID = 1;

} // namespace

BAppFileInfo::BAppFileInfo()
	:
	fFile(nullptr),
	fWhere(B_USE_BOTH_LOCATIONS)
{
}

BAppFileInfo::BAppFileInfo(BFile* file)
	:
	BAppFileInfo()
{
	SetTo(file);
}

BAppFileInfo::~BAppFileInfo()
{
}

status_t
BAppFileInfo::SetTo(BFile* file)
{
	fFile = nullptr;
	status_t status = BNodeInfo::SetTo(file);
	if (status == B_OK)
		fFile = file;
	return status;
}

void
BAppFileInfo::SetInfoLocation(info_location location)
{
	fWhere = location;
}

bool
BAppFileInfo::IsUsingAttributes() const
{
	return (fWhere & B_USE_ATTRIBUTES) != 0;
}

bool
BAppFileInfo::IsUsingResources() const
{
	return (fWhere & B_USE_RESOURCES) != 0;
}

status_t
BAppFileInfo::_ReadAttribute(const char* name, type_code type, void* buffer,
	size_t offset, size_t length) const
{
	attr_info info;
	status_t status = fFile->GetAttrInfo(name, &info);
	if (status != B_OK)
		return status;
	if (info.type != type)
		return B_BAD_TYPE;
	if ((uint64)info.size < offset + length)
		return B_BAD_DATA;
	ssize_t read = fFile->ReadAttr(name, type, offset, buffer, length);
	if (read < 0)
		return (status_t)read;
	return read == (ssize_t)length ? B_OK : B_BAD_DATA;
}

status_t
BAppFileInfo::_ReadResource(const char* name, type_code type, void* buffer,
	size_t offset, size_t length) const
{
	BResources resources(fFile, false);
	status_t status = resources.InitCheck();
	if (status != B_OK)
		return status;
	int32 id;
	size_t size;
	if (!resources.GetResourceInfo(type, name, &id, &size))
		return B_ENTRY_NOT_FOUND;
	if (size < offset + length)
		return B_BAD_DATA;
	status = resources.ReadResource(type, id, buffer, offset, length);
	if (status < 0)
		return status;
	return status == (status_t)length ? B_OK : B_BAD_DATA;
}

// Reads `length` bytes at `offset` of a record: from the attribute when the
// file has it, else from its resources.
status_t
BAppFileInfo::_Read(const char* name, type_code type, void* buffer,
	size_t offset, size_t length) const
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (buffer == nullptr)
		return B_BAD_VALUE;
	status_t status = _ReadAttribute(name, type, buffer, offset, length);
	if (status == B_ENTRY_NOT_FOUND)
		status = _ReadResource(name, type, buffer, offset, length);
	return status;
}

status_t
BAppFileInfo::_Write(const char* name, type_code type, const void* buffer,
	size_t length)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (IsUsingAttributes()) {
		ssize_t written = fFile->WriteAttr(name, type, 0, buffer, length);
		if (written < 0)
			return (status_t)written;
	}
	if (IsUsingResources() && _KeepsResources()) {
		BResources resources(fFile, false);
		status_t status = resources.InitCheck();
		if (status == B_OK)
			status = resources.AddResource(type, kInfoResourceID, buffer, length,
				name);
		if (status == B_OK)
			status = resources.Sync();
		if (status != B_OK && !IsUsingAttributes())
			return status;
	} else if (!IsUsingAttributes())
		return B_NOT_ALLOWED;
	return B_OK;
}

// Whether records may go into the file's resources: an executable, or a file
// that has resources already. Other files keep their records in attributes
// alone, so that writing a record never turns a data file's contents into a
// resource container.
bool
BAppFileInfo::_KeepsResources() const
{
	if (is_elf_image(fFile))
		return true;
	BResources resources(fFile, false);
	return resources.InitCheck() == B_OK
		&& resources.GetResourceInfo((int32)0, nullptr, nullptr, nullptr,
			nullptr);
}

status_t
BAppFileInfo::_Remove(const char* name, type_code type)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (IsUsingAttributes()) {
		status_t status = fFile->RemoveAttr(name);
		if (status != B_OK && status != B_ENTRY_NOT_FOUND)
			return status;
	}
	if (IsUsingResources()) {
		BResources resources(fFile, false);
		int32 id;
		if (resources.InitCheck() == B_OK
			&& resources.GetResourceInfo(type, name, &id, nullptr)) {
			status_t status = resources.RemoveResource(type, id);
			if (status == B_OK)
				status = resources.Sync();
			if (status != B_OK)
				return status;
		}
	}
	return B_OK;
}

status_t
BAppFileInfo::GetSignature(char* signature) const
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (signature == nullptr)
		return B_BAD_VALUE;
	// The record's length is not known in advance: read the longest a
	// signature may be, then what is there.
	char buffer[B_MIME_TYPE_LENGTH + 1] = {};
	size_t size = 0;
	attr_info info;
	status_t status = fFile->GetAttrInfo(kSignatureName, &info);
	if (status == B_OK) {
		if (info.type != B_MIME_STRING_TYPE)
			return B_BAD_TYPE;
		size = (size_t)info.size;
	} else if (status == B_ENTRY_NOT_FOUND) {
		BResources resources(fFile, false);
		int32 id;
		if (resources.InitCheck() != B_OK
			|| !resources.GetResourceInfo(B_MIME_STRING_TYPE, kSignatureName,
				&id, &size))
			return B_ENTRY_NOT_FOUND;
	} else
		return status;
	if (size > B_MIME_TYPE_LENGTH)
		return B_BAD_DATA;
	status = _Read(kSignatureName, B_MIME_STRING_TYPE, buffer, 0, size);
	if (status != B_OK)
		return status;
	buffer[size] = '\0';
	strcpy(signature, buffer);
	return B_OK;
}

status_t
BAppFileInfo::SetSignature(const char* signature)
{
	if (signature == nullptr || signature[0] == '\0')
		return _Remove(kSignatureName, B_MIME_STRING_TYPE);
	size_t length = strlen(signature) + 1;
	if (length > B_MIME_TYPE_LENGTH)
		return B_BAD_VALUE;
	return _Write(kSignatureName, B_MIME_STRING_TYPE, signature, length);
}

status_t
BAppFileInfo::GetAppFlags(uint32* flags) const
{
	if (flags == nullptr)
		return B_BAD_VALUE;
	return _Read(kFlagsName, B_APP_FLAGS_TYPE, flags, 0, sizeof(*flags));
}

status_t
BAppFileInfo::SetAppFlags(uint32 flags)
{
	return _Write(kFlagsName, B_APP_FLAGS_TYPE, &flags, sizeof(flags));
}

status_t
BAppFileInfo::RemoveAppFlags()
{
	return _Remove(kFlagsName, B_APP_FLAGS_TYPE);
}

status_t
BAppFileInfo::GetVersionInfo(version_info* info, version_kind kind) const
{
	if (info == nullptr
		|| (kind != B_APP_VERSION_KIND && kind != B_SYSTEM_VERSION_KIND))
		return B_BAD_VALUE;
	return _Read(kVersionName, B_APP_VERSION_TYPE, info,
		kind * sizeof(version_info), sizeof(version_info));
}

status_t
BAppFileInfo::SetVersionInfo(const version_info* info, version_kind kind)
{
	if (info == nullptr
		|| (kind != B_APP_VERSION_KIND && kind != B_SYSTEM_VERSION_KIND))
		return B_BAD_VALUE;
	// Both records are written together; the other one is kept as it was
	// (or zero when there was none).
	version_info both[2] = {};
	status_t status = _Read(kVersionName, B_APP_VERSION_TYPE, both, 0,
		sizeof(both));
	if (status != B_OK) {
		memset(both, 0, sizeof(both));
		_Read(kVersionName, B_APP_VERSION_TYPE, both, 0, sizeof(version_info));
	}
	both[kind] = *info;
	return _Write(kVersionName, B_APP_VERSION_TYPE, both, sizeof(both));
}
