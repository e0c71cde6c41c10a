#include "AttributeStore.h"

#include <ByteOrder.h>
#include <StorageDefs.h>
#include <TypeConstants.h>
#include <VolumeTable.h>

#include <cerrno>
#include <cstring>
#include <sys/xattr.h>

namespace {

const char* kUserPrefix = "user.";
const char* kTypesName = "user.kestrovan.types";
const char* kCreationTimeName = "user.kestrovan.crtime";
const char* kReservedPrefix = "kestrovan.";
const char* kMimeAttribute = "BEOS:TYPE";
const char* kMimeMirror = "user.mime_type";
const size_t kMaxHostNameLength = 255;

}	// namespace

status_t
AttributeStore::_CheckName(const char* name, std::string* hostName)
{
	if (name == nullptr || name[0] == '\0')
		return B_BAD_VALUE;
	if (strncmp(name, kReservedPrefix, strlen(kReservedPrefix)) == 0)
		return B_NOT_ALLOWED;
	*hostName = std::string(kUserPrefix) + name;
	if (hostName->size() > kMaxHostNameLength)
		return B_NAME_TOO_LONG;
	return B_OK;
}

status_t
AttributeStore::_ReadValue(int fd, const std::string& hostName, std::string* value)
{
	std::string path = descriptor_proc_path(fd);
	for (int attempt = 0; attempt < 4; attempt++) {
		ssize_t size = getxattr(path.c_str(), hostName.c_str(), nullptr, 0);
		if (size < 0)
			return errno_status();
		value->resize(size);
		ssize_t read = getxattr(path.c_str(), hostName.c_str(), value->data(), size);
		if (read >= 0) {
			value->resize(read);
			return B_OK;
		}
		if (errno != ERANGE)
			return errno_status();
	}
	return B_BUSY;
}

status_t
AttributeStore::_ReadTypes(int fd, std::vector<std::pair<std::string, type_code>>* types)
{
	types->clear();
	std::string table;
	status_t status = _ReadValue(fd, kTypesName, &table);
	if (status == B_ENTRY_NOT_FOUND)
		return B_OK;
	if (status != B_OK)
		return status;
	size_t position = 0;
	while (position + 5 <= table.size()) {
		uint32 type;
		memcpy(&type, table.data() + position, 4);
		size_t end = table.find('\0', position + 4);
		if (end == std::string::npos)
			break;
		types->emplace_back(table.substr(position + 4, end - position - 4),
			B_BENDIAN_TO_HOST_INT32(type));
		position = end + 1;
	}
	return B_OK;
}

status_t
AttributeStore::_WriteTypes(int fd, const std::vector<std::pair<std::string, type_code>>& types)
{
	std::string path = descriptor_proc_path(fd);
	if (types.empty()) {
		if (removexattr(path.c_str(), kTypesName) != 0 && errno != ENODATA)
			return errno_status();
		return B_OK;
	}
	std::string table;
	for (const auto& [name, type] : types) {
		uint32 bigType = B_HOST_TO_BENDIAN_INT32(type);
		table.append(reinterpret_cast<const char*>(&bigType), 4);
		table.append(name);
		table.push_back('\0');
	}
	if (setxattr(path.c_str(), kTypesName, table.data(), table.size(), 0) != 0)
		return errno_status();
	return B_OK;
}

ssize_t
AttributeStore::Read(int fd, const char* name, off_t offset, void* buffer, size_t length)
{
	std::string hostName;
	status_t status = _CheckName(name, &hostName);
	if (status != B_OK)
		return status;
	if (offset < 0 || (buffer == nullptr && length > 0))
		return B_BAD_VALUE;
	std::string value;
	status = _ReadValue(fd, hostName, &value);
	if (status != B_OK)
		return status;
	if ((size_t)offset >= value.size())
		return 0;
	size_t count = std::min(length, value.size() - (size_t)offset);
	memcpy(buffer, value.data() + offset, count);
	return count;
}

ssize_t
AttributeStore::Write(int fd, const char* name, type_code type, off_t offset,
	const void* buffer, size_t length)
{
	std::string hostName;
	status_t status = _CheckName(name, &hostName);
	if (status != B_OK)
		return status;
	if (offset < 0 || (buffer == nullptr && length > 0))
		return B_BAD_VALUE;
	if ((uint64)offset + length > kMaxValueSize)
		return errno_to_status(E2BIG);

	std::string old;
	status_t oldStatus = _ReadValue(fd, hostName, &old);
	if (oldStatus != B_OK && oldStatus != B_ENTRY_NOT_FOUND)
		return oldStatus;
	bool existed = oldStatus == B_OK;

	// Writing at offset 0 replaces the data; further on it keeps what lies
	// before (and after) the written range.
	std::string value = offset == 0 ? std::string() : old;
	if (value.size() < (size_t)offset + length)
		value.resize(offset + length, '\0');
	if (length > 0)
		memcpy(value.data() + offset, buffer, length);

	std::vector<std::pair<std::string, type_code>> types;
	status = _ReadTypes(fd, &types);
	if (status != B_OK)
		return status;

	std::string path = descriptor_proc_path(fd);
	if (setxattr(path.c_str(), hostName.c_str(), value.data(), value.size(), 0) != 0)
		return errno_status();

	bool changed = false;
	bool listed = false;
	for (auto& [typeName, typeCode] : types) {
		if (typeName == name) {
			listed = true;
			changed = typeCode != type;
			typeCode = type;
		}
	}
	if (!listed) {
		types.emplace_back(name, type);
		changed = true;
	}
	if (changed) {
		status = _WriteTypes(fd, types);
		if (status != B_OK) {
			// Leave the node as it was: nothing written.
			if (existed)
				setxattr(path.c_str(), hostName.c_str(), old.data(), old.size(), 0);
			else
				removexattr(path.c_str(), hostName.c_str());
			return status;
		}
	}
	if (strcmp(name, kMimeAttribute) == 0) {
		std::string mime(value.c_str());
		setxattr(path.c_str(), kMimeMirror, mime.data(), mime.size(), 0);
	}
	return length;
}

status_t
AttributeStore::Remove(int fd, const char* name)
{
	std::string hostName;
	status_t status = _CheckName(name, &hostName);
	if (status != B_OK)
		return status;
	std::string path = descriptor_proc_path(fd);
	if (removexattr(path.c_str(), hostName.c_str()) != 0)
		return errno_status();
	std::vector<std::pair<std::string, type_code>> types;
	if (_ReadTypes(fd, &types) == B_OK) {
		size_t before = types.size();
		std::erase_if(types, [&](const auto& item) { return item.first == name; });
		if (types.size() != before)
			_WriteTypes(fd, types);
	}
	if (strcmp(name, kMimeAttribute) == 0)
		removexattr(path.c_str(), kMimeMirror);
	return B_OK;
}

status_t
AttributeStore::Rename(int fd, const char* oldName, const char* newName)
{
	attr_info info;
	status_t status = GetInfo(fd, oldName, &info);
	if (status != B_OK)
		return status;
	std::string hostName;
	status = _CheckName(newName, &hostName);
	if (status != B_OK)
		return status;
	std::string value;
	status = _ReadValue(fd, std::string(kUserPrefix) + oldName, &value);
	if (status != B_OK)
		return status;
	ssize_t written = Write(fd, newName, info.type, 0, value.data(), value.size());
	if (written < 0)
		return written;
	return Remove(fd, oldName);
}

status_t
AttributeStore::GetInfo(int fd, const char* name, attr_info* info)
{
	std::string hostName;
	status_t status = _CheckName(name, &hostName);
	if (status != B_OK)
		return status;
	if (info == nullptr)
		return B_BAD_VALUE;
	ssize_t size = getxattr(descriptor_proc_path(fd).c_str(), hostName.c_str(), nullptr, 0);
	if (size < 0)
		return errno_status();
	info->size = size;
	info->type = B_RAW_TYPE;
	std::vector<std::pair<std::string, type_code>> types;
	if (_ReadTypes(fd, &types) == B_OK) {
		for (const auto& [typeName, type] : types) {
			if (typeName == name)
				info->type = type;
		}
	}
	return B_OK;
}

status_t
AttributeStore::List(int fd, std::vector<std::string>* names)
{
	names->clear();
	std::string path = descriptor_proc_path(fd);
	std::string buffer;
	for (int attempt = 0;; attempt++) {
		ssize_t size = listxattr(path.c_str(), nullptr, 0);
		if (size < 0)
			return errno == ENOTSUP ? B_OK : errno_status();
		buffer.resize(size);
		ssize_t read = listxattr(path.c_str(), buffer.data(), size);
		if (read >= 0) {
			buffer.resize(read);
			break;
		}
		if (errno != ERANGE || attempt > 4)
			return errno_status();
	}
	bool hasMime = false;
	std::vector<std::string> found;
	for (size_t position = 0; position < buffer.size();) {
		std::string item(buffer.c_str() + position);
		position += item.size() + 1;
		if (item.compare(0, strlen(kUserPrefix), kUserPrefix) != 0)
			continue;
		std::string name = item.substr(strlen(kUserPrefix));
		if (name.compare(0, strlen(kReservedPrefix), kReservedPrefix) == 0)
			continue;
		if (name == kMimeAttribute)
			hasMime = true;
		found.push_back(name);
	}
	for (const std::string& name : found) {
		if (hasMime && std::string(kUserPrefix) + name == kMimeMirror)
			continue;
		names->push_back(name);
	}
	return B_OK;
}

status_t
AttributeStore::GetCreationTime(int fd, time_t* time)
{
	std::string value;
	status_t status = _ReadValue(fd, kCreationTimeName, &value);
	if (status != B_OK)
		return status;
	if (value.size() != 8)
		return B_BAD_DATA;
	int64 seconds;
	memcpy(&seconds, value.data(), 8);
	*time = (time_t)B_BENDIAN_TO_HOST_INT64(seconds);
	return B_OK;
}

status_t
AttributeStore::SetCreationTime(int fd, time_t time)
{
	int64 seconds = B_HOST_TO_BENDIAN_INT64((int64)time);
	if (setxattr(descriptor_proc_path(fd).c_str(), kCreationTimeName, &seconds, 8, 0) != 0)
		return errno_status();
	return B_OK;
}

bool
AttributeStore::Supported(int fd)
{
	char probe;
	// A file system that keeps user xattrs answers "no such attribute".
	ssize_t result = getxattr(descriptor_proc_path(fd).c_str(), "user.kestrovan.probe",
		&probe, sizeof(probe));
	return result >= 0 || errno == ENODATA || errno == ERANGE;
}
