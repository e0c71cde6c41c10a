#include "PatchMaker.h"

#include "ArchivePatchItem.h"
#include "AtomicOutput.h"
#include "FileCompressor.h"
#include "HostFile.h"
#include "PatchCostModel.h"
#include "PatchEncoder.h"
#include "PatchMatchIndex.h"

#include <Errors.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// The offset byte's price of the second parse. Copies cost more than their
// bytes where the literal data between them repeats itself (code of one
// pattern, moved, with changed addresses): each copy breaks a stretch that
// deflate would have matched. Between small programs the dearer price made
// patches 3% smaller; between large ones 3% larger. Which is right differs
// from pair to pair, so the deflated sizes decide.
const double kDearOffsetBits = 14.0;


uint32
Crc(const uint8* data, size_t size)
{
	uLong crc = crc32(0L, Z_NULL, 0);
	while (size > 0) {
		uInt piece = (uInt)std::min<size_t>(size, 1 << 30);
		crc = crc32(crc, data, piece);
		data += piece;
		size -= piece;
	}
	return (uint32)crc;
}


// A host file mapped for reading (an empty file maps to nothing).
class MappedFile {
public:
	~MappedFile()
	{
		if (fData != nullptr)
			munmap(fData, fSize);
	}

	status_t Map(const char* path, std::string* error)
	{
		HostFile file(path, O_RDONLY);
		status_t status = file.InitCheck();
		struct stat st;
		if (status == B_OK && fstat(file.Descriptor(), &st) != 0)
			status = errno_status();
		if (status == B_OK && !S_ISREG(st.st_mode))
			status = B_BAD_TYPE;
		if (status != B_OK) {
			*error = std::string(path) + ": " + (status == B_BAD_TYPE ? "not a file"
				: strerror(status_to_errno(status)));
			return status;
		}
		if ((int64)st.st_size >= kPatchSizeLimit) {
			*error = std::string(path) + ": 4 GiB or larger; patch data describes only "
				"smaller files";
			return errno_to_status(EFBIG);
		}
		fSize = (size_t)st.st_size;
		if (fSize == 0)
			return B_OK;
		void* data = mmap(nullptr, fSize, PROT_READ, MAP_PRIVATE, file.Descriptor(), 0);
		if (data == MAP_FAILED) {
			status = errno_status();
			*error = std::string(path) + ": " + strerror(errno);
			return status;
		}
		fData = static_cast<uint8*>(data);
		return B_OK;
	}

	const uint8* Data() const { return fData; }
	size_t Size() const { return fSize; }

private:
	uint8* fData = nullptr;
	size_t fSize = 0;
};

size_t
DeflatedSize(const std::vector<uint8>& data)
{
	uLongf size = compressBound(data.size());
	std::vector<uint8> deflated(size);
	if (compress2(deflated.data(), &size, data.data(), data.size(), FileCompressor::kLevel)
			!= Z_OK)
		return data.size();
	return size;
}

} // namespace


PatchMaker::PatchMaker()
	:
	fSearchDepth(16),
	fLiteralBytes(0),
	fCopiedBytes(0),
	fCopies(0)
{
}


status_t
PatchMaker::_Fail(status_t status, const std::string& message)
{
	fError = message;
	return status < 0 ? status : B_ERROR;
}


std::vector<uint8>
PatchMaker::Make(const uint8* oldData, size_t oldSize, const uint8* newData, size_t newSize)
{
	PatchMatchIndex index(oldData, oldSize);
	PatchParser parser(oldData, oldSize, newData, newSize, index);
	parser.SetSearchDepth(fSearchDepth);
	PatchCostModel costs(newData, newSize);
	patch_header header = {(uint32)oldSize, Crc(oldData, oldSize), (uint32)newSize,
		Crc(newData, newSize)};

	std::vector<PatchParser::step> steps = parser.Parse(costs);
	std::vector<uint8> patch = _Encode(header, steps, newData);
	if (newSize > kSecondParseLimit)
		return patch;

	costs.SetOffsetBits(kDearOffsetBits);
	std::vector<uint8> dearer = _Encode(header, parser.Parse(costs), newData);
	if (DeflatedSize(dearer) < DeflatedSize(patch))
		return dearer;
	// Encoded again for the counts of the patch kept.
	return _Encode(header, steps, newData);
}


// The patch data of `steps`; the counts of the last patch are taken from it.
std::vector<uint8>
PatchMaker::_Encode(const patch_header& header, const std::vector<PatchParser::step>& steps,
	const uint8* newData)
{
	PatchEncoder encoder;
	encoder.SetHeader(header.oldSize, header.oldCrc, header.newSize, header.newCrc);
	size_t position = 0;
	for (const PatchParser::step& step : steps) {
		if (step.offset == PatchParser::kLiteral)
			encoder.AddLiteral(newData + position, step.length);
		else
			encoder.AddCopy(step.offset, step.length);
		position += step.length;
	}
	fLiteralBytes = encoder.LiteralBytes();
	fCopiedBytes = encoder.CopiedBytes();
	fCopies = encoder.CountCopies();
	return encoder.Finish();
}


status_t
PatchMaker::MakeFile(const char* oldPath, const char* newPath, const char* patchPath)
{
	fError.clear();
	MappedFile oldFile, newFile;
	status_t status = oldFile.Map(oldPath, &fError);
	if (status == B_OK)
		status = newFile.Map(newPath, &fError);
	if (status != B_OK)
		return status;

	std::vector<uint8> patch = Make(oldFile.Data(), oldFile.Size(), newFile.Data(),
		newFile.Size());

	AtomicOutput out;
	if ((status = out.SetTo(patchPath, &fError)) != B_OK)
		return status;
	if ((status = out.File()->WriteFully(patch.data(), patch.size())) != B_OK)
		return _Fail(status, std::string(patchPath) + ": " + strerror(status_to_errno(status)));
	return out.Commit(0644, &fError);
}
