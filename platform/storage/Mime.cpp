#include <Mime.h>

#include <Directory.h>
#include <ElfImage.h>
#include <Entry.h>
#include <File.h>
#include <MimeSniffer.h>
#include <Node.h>
#include <NodeInfo.h>
#include <Path.h>
#include <Resources.h>
#include <TypeConstants.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kSignatureAttribute = "BEOS:APP_SIG";

// Whether a regular file is an executable: an ELF image, or a file with
// resources.
bool
is_executable(BFile* file)
{
	if (is_elf_image(file))
		return true;
	BResources resources(file, false);
	return resources.InitCheck() == B_OK
		&& resources.GetResourceInfo((int32)0, nullptr, nullptr, nullptr,
			nullptr);
}

status_t
sniff_file(BFile* file, std::string* type)
{
	std::vector<uint8> head(kMimeSniffLength);
	ssize_t read = file->ReadAt(0, head.data(), head.size());
	if (read < 0)
		return (status_t)read;
	return sniff_mime_type(head.data(), (size_t)read, type);
}

// Copies the signature resource of an executable into its attribute.
status_t
record_signature(BFile* file, BNode* node, bool force)
{
	attr_info info;
	if (!force && node->GetAttrInfo(kSignatureAttribute, &info) == B_OK)
		return B_OK;
	BResources resources(file, false);
	size_t size;
	const void* signature = resources.InitCheck() == B_OK
		? resources.LoadResource(B_MIME_STRING_TYPE, kSignatureAttribute, &size)
		: nullptr;
	if (signature == nullptr || size == 0 || size > B_MIME_TYPE_LENGTH)
		return B_OK;
	// Kept with its terminating zero, whether or not the resource has one.
	std::string text(static_cast<const char*>(signature),
		strnlen(static_cast<const char*>(signature), size));
	ssize_t written = node->WriteAttr(kSignatureAttribute, B_MIME_STRING_TYPE,
		0, text.c_str(), text.size() + 1);
	return written < 0 ? (status_t)written : B_OK;
}

status_t
update_entry(const BEntry& entry, bool force)
{
	struct stat st;
	status_t status = entry.GetStat(&st);
	if (status != B_OK)
		return status;
	BNode node(&entry);
	BNodeInfo info(&node);
	if (info.InitCheck() != B_OK)
		return info.InitCheck();
	char current[B_MIME_TYPE_LENGTH];
	bool typed = info.GetType(current) == B_OK;

	if (S_ISDIR(st.st_mode))
		return typed && !force ? B_OK : info.SetType(B_DIRECTORY_MIME_TYPE);
	if (S_ISLNK(st.st_mode)) {
		// The host keeps no attributes on a link: the kit accepts this and
		// does nothing.
		return typed && !force ? B_OK : info.SetType(B_SYMLINK_MIME_TYPE);
	}
	if (!S_ISREG(st.st_mode))
		return B_OK;

	BFile file(&entry, B_READ_ONLY);
	status = file.InitCheck();
	if (status != B_OK)
		return status;
	bool executable = is_executable(&file);
	if (!typed || force) {
		std::string type = B_APP_MIME_TYPE;
		if (!executable) {
			status = sniff_file(&file, &type);
			if (status != B_OK)
				return status;
		}
		status = info.SetType(type.c_str());
		if (status != B_OK)
			return status;
	}
	return executable ? record_signature(&file, &node, force) : B_OK;
}

status_t
update_tree(const BEntry& entry, bool recursive, bool force)
{
	status_t result = update_entry(entry, force);
	if (!recursive || !entry.IsDirectory())
		return result;
	BDirectory directory(&entry);
	if (directory.InitCheck() != B_OK)
		return result == B_OK ? directory.InitCheck() : result;
	BEntry child;
	while (directory.GetNextEntry(&child, false) == B_OK) {
		// One file that cannot be typed does not stop the others.
		status_t status = update_tree(child, true, force);
		if (result == B_OK)
			result = status;
	}
	return result;
}

} // namespace

status_t
update_mime_info(const char* path, int recursive, int /*synchronous*/,
	int force)
{
	if (path == nullptr)
		return B_BAD_VALUE;
	BEntry entry(path, false);
	status_t status = entry.InitCheck();
	if (status != B_OK)
		return status;
	if (!entry.Exists())
		return B_ENTRY_NOT_FOUND;
	return update_tree(entry, recursive != 0, force != 0);
}
