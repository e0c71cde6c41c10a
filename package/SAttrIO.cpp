#include "SAttrIO.h"

#include <cstdlib>
#include <cstring>

SAttrIO::SAttrIO(BNode* node, const char* name, type_code type)
	:
	fNode(node),
	fPosition(0),
	fSize(0),
	fName(strdup(name != NULL ? name : "")),
	fType(type)
{
}

SAttrIO::SAttrIO(BNode* node, const char* name, const attr_info* info)
	:
	fNode(node),
	fPosition(0),
	fSize(info != NULL ? info->size : 0),
	fName(strdup(name != NULL ? name : "")),
	fType(info != NULL ? info->type : 0)
{
}

SAttrIO::~SAttrIO()
{
	free(fName);
}

ssize_t
SAttrIO::Read(void* buffer, size_t size)
{
	ssize_t result = ReadAt(fPosition, buffer, size);
	if (result > 0)
		fPosition += result;
	return result;
}

ssize_t
SAttrIO::Write(const void* buffer, size_t size)
{
	ssize_t result = WriteAt(fPosition, buffer, size);
	if (result > 0)
		fPosition += result;
	return result;
}

ssize_t
SAttrIO::ReadAt(off_t position, void* buffer, size_t size)
{
	if (fNode == NULL || fName == NULL)
		return B_NO_INIT;
	if (position >= fSize)
		return 0;
	return fNode->ReadAttr(fName, fType, position, buffer, size);
}

ssize_t
SAttrIO::WriteAt(off_t position, const void* buffer, size_t size)
{
	if (fNode == NULL || fName == NULL)
		return B_NO_INIT;
	ssize_t result = fNode->WriteAttr(fName, fType, position, buffer, size);
	if (result > 0 && position + result > fSize)
		fSize = position + result;
	return result;
}

off_t
SAttrIO::Seek(off_t position, uint32 seekMode)
{
	off_t base;
	switch (seekMode) {
		case SEEK_SET:
			base = 0;
			break;
		case SEEK_CUR:
			base = fPosition;
			break;
		case SEEK_END:
			base = fSize;
			break;
		default:
			return B_BAD_VALUE;
	}
	off_t target;
	if (__builtin_add_overflow(base, position, &target))
		return B_BAD_VALUE;
	if (target < 0)
		target = 0;
	if (target > fSize)
		fSize = target;
	fPosition = target;
	return fPosition;
}

status_t
SAttrIO::GetSize(off_t* size) const
{
	if (size == NULL)
		return B_BAD_VALUE;
	*size = fSize;
	return B_OK;
}
