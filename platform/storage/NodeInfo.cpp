#include <NodeInfo.h>

#include <Entry.h>
#include <Path.h>
#include <TypeConstants.h>

#include <cstring>

namespace {

const char* const kTypeAttribute = "BEOS:TYPE";
const char* const kPreferredAppAttribute = "BEOS:PREF_APP";
const char* const kAppHintAttribute = "BEOS:PPATH";

} // namespace

BNodeInfo::BNodeInfo()
	:
	fNode(nullptr),
	fCStatus(B_NO_INIT)
{
}

BNodeInfo::BNodeInfo(BNode* node)
	:
	BNodeInfo()
{
	SetTo(node);
}

BNodeInfo::~BNodeInfo()
{
}

status_t
BNodeInfo::SetTo(BNode* node)
{
	fNode = nullptr;
	if (node == nullptr)
		return fCStatus = B_BAD_VALUE;
	if (node->InitCheck() != B_OK)
		return fCStatus = node->InitCheck();
	fNode = node;
	return fCStatus = B_OK;
}

status_t
BNodeInfo::InitCheck() const
{
	return fCStatus;
}

// Reads a MIME string attribute into a B_MIME_TYPE_LENGTH buffer.
status_t
BNodeInfo::_ReadMimeString(const char* attribute, char* buffer) const
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (buffer == nullptr)
		return B_BAD_VALUE;
	attr_info info;
	status_t status = fNode->GetAttrInfo(attribute, &info);
	if (status != B_OK)
		return status;
	if (info.type != B_MIME_STRING_TYPE && info.type != B_STRING_TYPE)
		return B_BAD_TYPE;
	if (info.size > B_MIME_TYPE_LENGTH)
		return B_BAD_DATA;
	ssize_t read = fNode->ReadAttr(attribute, info.type, 0, buffer,
		(size_t)info.size);
	if (read < 0)
		return (status_t)read;
	// Stored with its zero byte; a type written without one still reads.
	if (read == B_MIME_TYPE_LENGTH && buffer[read - 1] != '\0')
		return B_BAD_DATA;
	buffer[read < B_MIME_TYPE_LENGTH ? read : read - 1] = '\0';
	return B_OK;
}

status_t
BNodeInfo::_WriteMimeString(const char* attribute, const char* value)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (value == nullptr || value[0] == '\0') {
		status_t status = fNode->RemoveAttr(attribute);
		return status == B_ENTRY_NOT_FOUND ? B_OK : status;
	}
	size_t length = strlen(value) + 1;
	if (length > B_MIME_TYPE_LENGTH)
		return B_BAD_VALUE;
	ssize_t written = fNode->WriteAttr(attribute, B_MIME_STRING_TYPE, 0, value,
		length);
	if (written < 0)
		return (status_t)written;
	return written == (ssize_t)length ? B_OK : B_IO_ERROR;
}

status_t
BNodeInfo::GetType(char* type) const
{
	return _ReadMimeString(kTypeAttribute, type);
}

status_t
BNodeInfo::SetType(const char* type)
{
	return _WriteMimeString(kTypeAttribute, type);
}

status_t
BNodeInfo::GetPreferredApp(char* signature, app_verb) const
{
	return _ReadMimeString(kPreferredAppAttribute, signature);
}

status_t
BNodeInfo::SetPreferredApp(const char* signature, app_verb)
{
	return _WriteMimeString(kPreferredAppAttribute, signature);
}

status_t
BNodeInfo::GetAppHint(entry_ref* ref) const
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (ref == nullptr)
		return B_BAD_VALUE;
	char path[B_PATH_NAME_LENGTH];
	ssize_t read = fNode->ReadAttr(kAppHintAttribute, B_MIME_STRING_TYPE, 0,
		path, sizeof(path) - 1);
	if (read < 0)
		return (status_t)read;
	path[read] = '\0';
	return get_ref_for_path(path, ref);
}

status_t
BNodeInfo::SetAppHint(const entry_ref* ref)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (ref == nullptr) {
		status_t status = fNode->RemoveAttr(kAppHintAttribute);
		return status == B_ENTRY_NOT_FOUND ? B_OK : status;
	}
	BPath path(ref);
	if (path.InitCheck() != B_OK)
		return path.InitCheck();
	size_t length = strlen(path.Path()) + 1;
	ssize_t written = fNode->WriteAttr(kAppHintAttribute, B_MIME_STRING_TYPE, 0,
		path.Path(), length);
	if (written < 0)
		return (status_t)written;
	return B_OK;
}
