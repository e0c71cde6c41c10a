#ifndef _ATTRIBUTE_STORE_H
#define _ATTRIBUTE_STORE_H

// Internal to the storage kit: a node's attributes as host extended
// attributes.
//
// An attribute NAME is the xattr "user.NAME" holding exactly its data. The
// type codes live in one reserved xattr per node, "user.kestrovan.types": a
// sequence of records, each a 4-byte big-endian type code followed by the
// attribute's name and a zero byte. An attribute missing from the table has
// B_RAW_TYPE. The creation time set through the kit lives in
// "user.kestrovan.crtime" (8-byte big-endian seconds). "BEOS:TYPE" is also
// mirrored as "user.mime_type" (the plain text, no zero byte). Iteration
// hides the reserved xattrs, and "user.mime_type" when "BEOS:TYPE" exists.
//
// Every call takes a host descriptor of a node that is not a link (Linux
// keeps no user xattrs on links).

#include <SupportDefs.h>
#include <fs_attr.h>

#include <string>
#include <vector>

class AttributeStore {
public:
	static ssize_t Read(int fd, const char* name, off_t offset, void* buffer, size_t length);
	static ssize_t Write(int fd, const char* name, type_code type, off_t offset,
		const void* buffer, size_t length);
	static status_t Remove(int fd, const char* name);
	static status_t Rename(int fd, const char* oldName, const char* newName);
	static status_t GetInfo(int fd, const char* name, attr_info* info);
	static status_t List(int fd, std::vector<std::string>* names);

	static status_t GetCreationTime(int fd, time_t* time);
	static status_t SetCreationTime(int fd, time_t time);

	// Whether the host file system behind the descriptor keeps user xattrs.
	static bool Supported(int fd);

	static const size_t kMaxValueSize = 65536;

private:
	static status_t _CheckName(const char* name, std::string* hostName);
	static status_t _ReadValue(int fd, const std::string& hostName, std::string* value);
	static status_t _ReadTypes(int fd, std::vector<std::pair<std::string, type_code>>* types);
	static status_t _WriteTypes(int fd,
		const std::vector<std::pair<std::string, type_code>>& types);
};

#endif // _ATTRIBUTE_STORE_H
