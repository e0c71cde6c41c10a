#include <PositionIO.h>

BPositionIO::BPositionIO()
{
}

BPositionIO::~BPositionIO()
{
}

ssize_t
BPositionIO::Read(void* buffer, size_t size)
{
	off_t position = Position();
	ssize_t result = ReadAt(position, buffer, size);
	if (result > 0)
		Seek(position + result, SEEK_SET);
	return result;
}

ssize_t
BPositionIO::Write(const void* buffer, size_t size)
{
	off_t position = Position();
	ssize_t result = WriteAt(position, buffer, size);
	if (result > 0)
		Seek(position + result, SEEK_SET);
	return result;
}

status_t
BPositionIO::SetSize(off_t)
{
	return B_ERROR;
}

status_t
BPositionIO::GetSize(off_t* size) const
{
	if (size == nullptr)
		return B_BAD_VALUE;
	// Const by contract, but the only general way to learn the size is to
	// seek to the end and back.
	BPositionIO* self = const_cast<BPositionIO*>(this);
	off_t current = Position();
	if (current < 0)
		return static_cast<status_t>(current);
	off_t end = self->Seek(0, SEEK_END);
	self->Seek(current, SEEK_SET);
	if (end < 0)
		return static_cast<status_t>(end);
	*size = end;
	return B_OK;
}

off_t
BPositionIO::_SeekTarget(off_t position, uint32 seekMode, off_t current, off_t end)
{
	off_t base = 0;
	if (seekMode == SEEK_CUR)
		base = current;
	else if (seekMode == SEEK_END)
		base = end;
	else if (seekMode != SEEK_SET)
		return B_BAD_VALUE;
	if (base + position < 0)
		return B_BAD_VALUE;
	return base + position;
}
