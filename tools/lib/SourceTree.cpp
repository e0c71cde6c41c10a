#include "SourceTree.h"

#include "ArcCatalog.h"

#include <ByteOrder.h>
#include <Errors.h>
#include <TypeConstants.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

namespace {

const char* kUserPrefix = "user.";
const char* kReservedPrefix = "user.kestrovan.";
const char* kTypesName = "user.kestrovan.types";
const char* kCreationTimeName = "user.kestrovan.crtime";
const char* kMimeMirror = "user.mime_type";
const char* kMimeAttribute = "BEOS:TYPE";


std::string
SystemError(const std::string& what, int error)
{
	return what + ": " + strerror(error);
}


// Reads one extended attribute of a host node, without following a link.
status_t
ReadXattr(const char* path, const char* name, std::string* value)
{
	for (int attempt = 0; attempt < 4; attempt++) {
		ssize_t size = lgetxattr(path, name, nullptr, 0);
		if (size < 0)
			return errno_status();
		value->resize(size);
		ssize_t read = lgetxattr(path, name, value->data(), size);
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
ListXattrs(const char* path, std::vector<std::string>* names)
{
	names->clear();
	// Most nodes carry few attributes or none: one call with a buffer of
	// that size, and only a longer list asks for its size first.
	char shortList[1024];
	std::string list;
	ssize_t length = llistxattr(path, shortList, sizeof(shortList));
	if (length >= 0)
		list.assign(shortList, (size_t)length);
	for (int attempt = 0; length < 0 && attempt < 4; attempt++) {
		// File systems without extended attributes simply have none.
		if (errno == ENOTSUP)
			return B_OK;
		if (errno != ERANGE)
			return errno_status();
		ssize_t size = llistxattr(path, nullptr, 0);
		if (size < 0)
			continue;
		list.resize(size);
		length = llistxattr(path, list.data(), size);
		if (length >= 0)
			list.resize(length);
	}
	if (length < 0)
		return B_BUSY;
	size_t position = 0;
	while (position < list.size()) {
		size_t end = list.find('\0', position);
		if (end == std::string::npos)
			end = list.size();
		names->push_back(list.substr(position, end - position));
		position = end + 1;
	}
	return B_OK;
}


std::map<std::string, type_code>
ParseTypeTable(const std::string& table)
{
	std::map<std::string, type_code> types;
	size_t position = 0;
	while (position + 5 <= table.size()) {
		uint32 type;
		memcpy(&type, table.data() + position, 4);
		size_t end = table.find('\0', position + 4);
		if (end == std::string::npos)
			break;
		types[table.substr(position + 4, end - position - 4)] = B_BENDIAN_TO_HOST_INT32(type);
		position = end + 1;
	}
	return types;
}


bool
StartsWith(const std::string& text, const char* prefix)
{
	return text.compare(0, strlen(prefix), prefix) == 0;
}


bool
Contains(const std::vector<std::string>& names, const std::string& name)
{
	return std::find(names.begin(), names.end(), name) != names.end();
}


// The kit's own record of the creation time when the node has one (`names`
// are its attributes), else the host's birth time, else the modification
// time.
time_t
CreationTime(const char* path, const std::vector<std::string>& names, const struct statx& st)
{
	std::string value;
	if (Contains(names, kCreationTimeName) && ReadXattr(path, kCreationTimeName, &value) == B_OK
		&& value.size() == 8) {
		uint64 seconds;
		memcpy(&seconds, value.data(), 8);
		return (time_t)B_BENDIAN_TO_HOST_INT64(seconds);
	}
	if ((st.stx_mask & STATX_BTIME) != 0)
		return (time_t)st.stx_btime.tv_sec;
	return (time_t)st.stx_mtime.tv_sec;
}

} // namespace


const source_attribute*
source_node::FindAttribute(const std::string& attributeName) const
{
	for (const source_attribute& attribute : attributes) {
		if (attribute.name == attributeName)
			return &attribute;
	}
	return nullptr;
}


SourceTree::SourceTree()
{
}


SourceTree::~SourceTree()
{
}


status_t
SourceTree::ReadAttributes(const char* hostPath, bool isLink,
	std::vector<source_attribute>* attributes, std::string* error)
{
	attributes->clear();
	// The host keeps no user attributes on symbolic links.
	if (isLink)
		return B_OK;
	std::vector<std::string> names;
	status_t status = ListXattrs(hostPath, &names);
	if (status != B_OK) {
		*error = SystemError(std::string(hostPath) + ": listing attributes",
			status_to_errno(status));
		return status;
	}
	return _ReadListedAttributes(hostPath, names, attributes, error);
}


status_t
SourceTree::_ReadListedAttributes(const char* hostPath, const std::vector<std::string>& names,
	std::vector<source_attribute>* attributes, std::string* error)
{
	attributes->clear();
	std::string table;
	if (Contains(names, kTypesName))
		ReadXattr(hostPath, kTypesName, &table);
	std::map<std::string, type_code> types = ParseTypeTable(table);
	bool hasMimeType = Contains(names, std::string(kUserPrefix) + kMimeAttribute);

	for (const std::string& hostName : names) {
		if (!StartsWith(hostName, kUserPrefix) || StartsWith(hostName, kReservedPrefix))
			continue;
		if (hostName == kMimeMirror && hasMimeType)
			continue;
		source_attribute attribute;
		status_t status = ReadXattr(hostPath, hostName.c_str(), &attribute.data);
		if (status != B_OK) {
			*error = SystemError(std::string(hostPath) + ": attribute " + hostName,
				status_to_errno(status));
			return status;
		}
		if (attribute.data.size() > kMaxAttributeSize) {
			*error = std::string(hostPath) + ": attribute " + hostName + ": larger than 64 KiB";
			return B_BAD_DATA;
		}
		if (hostName == kMimeMirror) {
			attribute.name = kMimeAttribute;
			attribute.type = B_MIME_STRING_TYPE;
			attribute.data.push_back('\0');
		} else {
			attribute.name = hostName.substr(strlen(kUserPrefix));
			auto found = types.find(attribute.name);
			attribute.type = found != types.end() ? found->second : (type_code)B_RAW_TYPE;
		}
		attributes->push_back(std::move(attribute));
	}
	std::sort(attributes->begin(), attributes->end(),
		[](const source_attribute& a, const source_attribute& b) { return a.name < b.name; });
	return B_OK;
}


status_t
SourceTree::Scan(const char* hostPath)
{
	fRoot.reset();
	fError.clear();
	std::string path = hostPath != nullptr ? hostPath : "";
	while (path.size() > 1 && path.back() == '/')
		path.pop_back();
	auto root = std::make_unique<source_node>();
	root->hostPath = path;
	root->name = path.substr(path.find_last_of('/') + 1);
	if (root->name.empty() || root->name == "." || root->name == "..") {
		// "." or "..": the folder's own name.
		if (char* real = realpath(path.c_str(), nullptr)) {
			std::string resolved = real;
			free(real);
			root->name = resolved.substr(resolved.find_last_of('/') + 1);
		}
	}
	status_t status = _ScanNode(root.get(), 1);
	if (status != B_OK)
		return status;
	if (root->kind != kSourceFolder) {
		fError = path + ": not a folder";
		return B_NOT_A_DIRECTORY;
	}
	fRoot = std::move(root);
	return B_OK;
}


// `depth`: the node's level, the top folder being the first.
status_t
SourceTree::_ScanNode(source_node* node, int32 depth)
{
	const char* path = node->hostPath.c_str();
	struct statx st;
	if (statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) {
		fError = SystemError(node->hostPath, errno);
		return errno_status();
	}
	// The host keeps no user attributes on symbolic links.
	std::vector<std::string> names;
	if (!S_ISLNK(st.stx_mode)) {
		status_t status = ListXattrs(path, &names);
		if (status != B_OK) {
			fError = SystemError(node->hostPath + ": listing attributes",
				status_to_errno(status));
			return status;
		}
	}
	node->mode = st.stx_mode & 07777;
	node->size = (int64)st.stx_size;
	node->modificationTime = (time_t)st.stx_mtime.tv_sec;
	node->creationTime = CreationTime(path, names, st);
	if (S_ISLNK(st.stx_mode)) {
		node->kind = kSourceLink;
		size_t capacity = st.stx_size > 0 ? (size_t)st.stx_size + 1 : 4096;
		std::string target(capacity, '\0');
		ssize_t length = readlink(path, target.data(), target.size());
		if (length < 0) {
			fError = SystemError(node->hostPath, errno);
			return errno_status();
		}
		target.resize(length);
		if (target.size() > 1023) {
			fError = node->hostPath + ": link target longer than 1023 bytes";
			return B_NAME_TOO_LONG;
		}
		node->linkTarget = target;
		node->size = (int64)target.size();
	} else if (S_ISDIR(st.stx_mode)) {
		// No installer would open the package: fail now, naming the folder.
		if (depth > kMaxFolderDepth) {
			fError = node->hostPath + ": folders nested more than "
				+ std::to_string(kMaxFolderDepth) + " levels deep (the most a package holds)";
			return B_NOT_ALLOWED;
		}
		node->kind = kSourceFolder;
		node->size = 0;
	} else if (S_ISREG(st.stx_mode)) {
		node->kind = kSourceFile;
		// Fail now, not halfway through the package.
		if (access(path, R_OK) != 0) {
			fError = SystemError(node->hostPath, errno);
			return errno_status();
		}
	} else {
		fError = node->hostPath + ": not a file, folder or symbolic link";
		return B_BAD_TYPE;
	}
	status_t status = _ReadListedAttributes(path, names, &node->attributes, &fError);
	if (status != B_OK)
		return status;
	if (node->kind == kSourceFolder)
		return _ScanFolder(node, depth);
	return B_OK;
}


status_t
SourceTree::_ScanFolder(source_node* folder, int32 depth)
{
	DIR* dir = opendir(folder->hostPath.c_str());
	if (dir == nullptr) {
		fError = SystemError(folder->hostPath, errno);
		return errno_status();
	}
	std::vector<std::string> names;
	while (struct dirent* entry = readdir(dir)) {
		if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
			names.push_back(entry->d_name);
	}
	closedir(dir);
	std::sort(names.begin(), names.end());
	for (const std::string& name : names) {
		auto child = std::make_unique<source_node>();
		child->name = name;
		child->path = folder->path.empty() ? name : folder->path + "/" + name;
		child->hostPath = folder->hostPath + "/" + name;
		if (name.size() > 255) {
			fError = child->hostPath + ": name longer than 255 bytes";
			return B_NAME_TOO_LONG;
		}
		status_t status = _ScanNode(child.get(), depth + 1);
		if (status != B_OK)
			return status;
		folder->children.push_back(std::move(child));
	}
	return B_OK;
}


source_node*
SourceTree::FindNode(const std::string& path)
{
	source_node* node = fRoot.get();
	size_t start = 0;
	while (node != nullptr && start < path.size()) {
		size_t slash = path.find('/', start);
		std::string name = path.substr(start, slash == std::string::npos
			? std::string::npos : slash - start);
		start = slash == std::string::npos ? path.size() : slash + 1;
		if (name.empty() || name == ".")
			continue;
		source_node* found = nullptr;
		for (auto& child : node->children) {
			if (child->name == name)
				found = child.get();
		}
		node = found;
	}
	return node;
}


int32
SourceTree::CountFiles() const
{
	std::function<int32(const source_node*)> count = [&](const source_node* node) {
		int32 total = node->kind == kSourceFile ? 1 : 0;
		for (const auto& child : node->children)
			total += count(child.get());
		return total;
	};
	return fRoot ? count(fRoot.get()) : 0;
}
