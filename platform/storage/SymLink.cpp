#include <SymLink.h>

#include <Directory.h>
#include <Entry.h>
#include <Path.h>
#include <TextCopy.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

BSymLink::BSymLink()
{
}

BSymLink::BSymLink(const BSymLink& link)
	:
	BNode(link)
{
}

BSymLink::BSymLink(const entry_ref* ref)
	:
	BNode(ref)
{
}

BSymLink::BSymLink(const BEntry* entry)
	:
	BNode(entry)
{
}

BSymLink::BSymLink(const char* path)
	:
	BNode(path)
{
}

BSymLink::BSymLink(const BDirectory* dir, const char* path)
	:
	BNode(dir, path)
{
}

BSymLink::~BSymLink()
{
}

ssize_t
BSymLink::ReadLink(char* buffer, size_t size)
{
	if (buffer == nullptr || size == 0)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	if (!_IsSymLink())
		return B_BAD_VALUE;
	char target[PATH_MAX + 1];
	ssize_t length = readlinkat(fFd, "", target, PATH_MAX);
	if (length < 0)
		return errno_status();
	target[length] = '\0';
	copy_text(buffer, target, size);
	return length;
}

ssize_t
BSymLink::MakeLinkedPath(const char* dirPath, BPath* path)
{
	if (dirPath == nullptr || path == nullptr)
		return B_BAD_VALUE;
	char target[B_PATH_NAME_LENGTH];
	ssize_t length = ReadLink(target, sizeof(target));
	if (length < 0)
		return length;
	status_t status = target[0] == '/' ? path->SetTo(target) : path->SetTo(dirPath, target);
	if (status != B_OK)
		return status;
	return strlen(path->Path());
}

ssize_t
BSymLink::MakeLinkedPath(const BDirectory* dir, BPath* path)
{
	if (dir == nullptr || path == nullptr)
		return B_BAD_VALUE;
	BPath dirPath(dir, nullptr);
	if (dirPath.InitCheck() != B_OK)
		return dirPath.InitCheck();
	return MakeLinkedPath(dirPath.Path(), path);
}

bool
BSymLink::IsAbsolute()
{
	char target[B_PATH_NAME_LENGTH];
	return ReadLink(target, sizeof(target)) > 0 && target[0] == '/';
}

BSymLink&
BSymLink::operator=(const BSymLink& link)
{
	BNode::operator=(link);
	return *this;
}
