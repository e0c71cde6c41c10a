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

// The xattr calls on a descriptor. One opened only as a path (O_PATH)
// refuses them with EBADF: such a node is reached through its /proc path.
ssize_t
host_get(int fd, const char* name, void* value, size_t size)
{
	ssize_t result = fgetxattr(fd, name, value, size);
	if (result < 0 && errno == EBADF)
		result = getxattr(descriptor_proc_path(fd).c_str(), name, value, size);
	return result;
}

int
host_set(int fd, const char* name, const void* value, size_t size)
{
	int result = fsetxattr(fd, name, value, size, 0);
	if (result != 0 && errno == EBADF)
		result = setxattr(descriptor_proc_path(fd).c_str(), name, value, size, 0);
	return result;
}

int
host_remove(int fd, const char* name)
{
	int result = fremovexattr(fd, name);
	if (result != 0 && errno == EBADF)
		result = removexattr(descriptor_proc_path(fd).c_str(), name);
	return result;
}

ssize_t
host_list(int fd, char* list, size_t size)
{
	ssize_t result = flistxattr(fd, list, size);
	if (result < 0 && errno == EBADF)
		result = listxattr(descriptor_proc_path(fd).c_str(), list, size);
	return result;
}

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
	for (int attempt = 0; attempt < 4; attempt++) {
		ssize_t size = host_get(fd, hostName.c_str(), nullptr, 0);
		if (size < 0)
			return errno_status();
		value->resize(size);
		ssize_t read = host_get(fd, hostName.c_str(), value->data(), size);
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
	if (types.empty()) {
		if (host_remove(fd, kTypesName) != 0 && errno != ENODATA)
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
	if (host_set(fd, kTypesName, table.data(), table.size()) != 0)
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

	if (host_set(fd, hostName.c_str(), value.data(), value.size()) != 0)
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
				host_set(fd, hostName.c_str(), old.data(), old.size());
			else
				host_remove(fd, hostName.c_str());
			return status;
		}
	}
	if (strcmp(name, kMimeAttribute) == 0) {
		std::string mime(value.c_str());
		host_set(fd, kMimeMirror, mime.data(), mime.size());
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
	if (host_remove(fd, hostName.c_str()) != 0)
		return errno_status();
	std::vector<std::pair<std::string, type_code>> types;
	if (_ReadTypes(fd, &types) == B_OK) {
		size_t before = types.size();
		std::erase_if(types, [&](const auto& item) { return item.first == name; });
		if (types.size() != before)
			_WriteTypes(fd, types);
	}
	if (strcmp(name, kMimeAttribute) == 0)
		host_remove(fd, kMimeMirror);
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
	ssize_t size = host_get(fd, hostName.c_str(), nullptr, 0);
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
	std::string buffer;
	for (int attempt = 0;; attempt++) {
		ssize_t size = host_list(fd, nullptr, 0);
		if (size < 0)
			return errno == ENOTSUP ? B_OK : errno_status();
		buffer.resize(size);
		ssize_t read = host_list(fd, buffer.data(), size);
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
	if (host_set(fd, kCreationTimeName, &seconds, 8) != 0)
		return errno_status();
	return B_OK;
}

bool
AttributeStore::Supported(int fd)
{
	char probe;
	// A file system that keeps user xattrs answers "no such attribute".
	ssize_t result = host_get(fd, "user.kestrovan.probe",
		&probe, sizeof(probe));
	return result >= 0 || errno == ENODATA || errno == ERANGE;
}
