#include "FileContentIO.h"

#include <Sha256.h>

#include <Errors.h>

namespace {

// Writes all `size` bytes through `writeSome`, which writes a part and says
// how much: a write that takes only a part is continued with the rest.
template<typename WriteSome>
ssize_t
WriteWhole(const void* buffer, size_t size, WriteSome writeSome)
{
	const uint8* bytes = static_cast<const uint8*>(buffer);
	size_t done = 0;
	while (done < size) {
		ssize_t result = writeSome(bytes + done, size - done);
		if (result < 0)
			return result;
		// A write that takes nothing and names no reason would be asked
		// again forever.
		if (result == 0)
			return B_IO_ERROR;
		done += (size_t)result;
	}
	return (ssize_t)size;
}

} // namespace

FileContentIO::FileContentIO(BPositionIO* target, off_t limit)
	:
	fTarget(target),
	fLimit(limit),
	fPosition(target->Position()),
	fDigest(NULL)
{
}


FileContentIO::~FileContentIO()
{
}


ssize_t
FileContentIO::Read(void* buffer, size_t size)
{
	ssize_t result = fTarget->Read(buffer, size);
	if (result > 0)
		fPosition += result;
	return result;
}


ssize_t
FileContentIO::Write(const void* buffer, size_t size)
{
	if (fPosition < 0)
		return (ssize_t)fPosition;
	status_t status = _CheckLimit(fPosition, size);
	if (status != B_OK)
		return status;
	return WriteWhole(buffer, size, [&](const uint8* bytes, size_t length) {
		ssize_t result = fTarget->Write(bytes, length);
		if (result > 0) {
			if (fDigest != NULL)
				fDigest->UpdateAt(fPosition, bytes, (size_t)result);
			fPosition += result;
		}
		return result;
	});
}


ssize_t
FileContentIO::ReadAt(off_t position, void* buffer, size_t size)
{
	return fTarget->ReadAt(position, buffer, size);
}


ssize_t
FileContentIO::WriteAt(off_t position, const void* buffer, size_t size)
{
	status_t status = _CheckLimit(position, size);
	if (status != B_OK)
		return status;
	off_t next = position;
	return WriteWhole(buffer, size, [&](const uint8* bytes, size_t length) {
		ssize_t result = fTarget->WriteAt(next, bytes, length);
		if (result > 0) {
			if (fDigest != NULL)
				fDigest->UpdateAt(next, bytes, (size_t)result);
			next += result;
		}
		return result;
	});
}


off_t
FileContentIO::Seek(off_t position, uint32 seekMode)
{
	off_t result = fTarget->Seek(position, seekMode);
	if (result >= 0)
		fPosition = result;
	return result;
}


off_t
FileContentIO::Position() const
{
	return fPosition;
}


status_t
FileContentIO::SetSize(off_t size)
{
	if (fLimit >= 0 && size > fLimit)
		return kContentSizeMismatch;
	return fTarget->SetSize(size);
}


status_t
FileContentIO::GetSize(off_t* size) const
{
	return fTarget->GetSize(size);
}


status_t
FileContentIO::_CheckLimit(off_t position, size_t size) const
{
	if (fLimit < 0)
		return B_OK;
	if (position > fLimit || (uint64)size > (uint64)(fLimit - position))
		return kContentSizeMismatch;
	return B_OK;
}
