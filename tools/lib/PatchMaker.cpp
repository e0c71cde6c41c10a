#include "PatchMaker.h"

#include "ArchivePatchItem.h"
#include "AtomicOutput.h"
#include "HostFile.h"
#include "PatchEncoder.h"

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

// Positions are hashed on this many bytes: shorter matches rarely pay for
// a copy, and in text short keys make long chains of useless candidates.
// Shorter matches are still found where they continue the last copy.
const size_t kHashBytes = 8;
const int32 kHashBits = 20;
const uint32 kNoPosition = UINT32_MAX;
// A candidate this long is good enough: the search stops there.
const size_t kGoodEnough = 65536;
// How many recent shifts between old and new positions are tried.
const int32 kRecentShifts = 8;


uint32
HashAt(const uint8* data)
{
	uint64 value;
	memcpy(&value, data, sizeof(value));
	return (uint32)((value * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits));
}


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


// Every position of the old file by the hash of its first bytes; each
// chain runs from the last position to the first.
class MatchIndex {
public:
	MatchIndex(const uint8* data, size_t size)
		:
		fHeads(size >= kHashBytes ? (size_t)1 << kHashBits : 0, kNoPosition),
		fPrevious(size >= kHashBytes ? size - kHashBytes + 1 : 0, kNoPosition)
	{
		for (size_t position = 0; position < fPrevious.size(); position++) {
			uint32& head = fHeads[HashAt(data + position)];
			fPrevious[position] = head;
			head = (uint32)position;
		}
	}

	uint32 First(const uint8* key) const
	{
		return fHeads.empty() ? kNoPosition : fHeads[HashAt(key)];
	}

	uint32 Next(uint32 position) const { return fPrevious[position]; }

private:
	std::vector<uint32> fHeads;
	std::vector<uint32> fPrevious;
};


struct match {
	uint32 offset = 0;
	size_t length = 0;
	// Bytes saved over sending the same bytes as literals.
	int64 gain = 0;
};


class Matcher {
public:
	Matcher(const uint8* oldData, size_t oldSize, const uint8* newData, size_t newSize,
		int32 depth)
		:
		fOld(oldData),
		fOldSize(oldSize),
		fNew(newData),
		fNewSize(newSize),
		fDepth(depth),
		fIndex(oldData, oldSize)
	{
	}

	// The best copy for the new file's position, trying `expected` (the
	// old position that continues the last copy) first.
	match BestAt(size_t position, uint64 expected) const
	{
		match best;
		if (expected < fOldSize)
			_Consider((uint32)expected, position, &best);
		// Where recent copies came from relative to where they went: code
		// and data each keep their own shift.
		for (int32 i = 0; i < fRecentCount; i++) {
			int64 candidate = (int64)position + fRecent[i];
			if (candidate >= 0 && (uint64)candidate < fOldSize
					&& (uint64)candidate != expected)
				_Consider((uint32)candidate, position, &best);
		}
		if (position + kHashBytes > fNewSize)
			return best;
		int32 tries = fDepth;
		for (uint32 candidate = fIndex.First(fNew + position);
				candidate != kNoPosition && tries-- > 0 && best.length < kGoodEnough;
				candidate = fIndex.Next(candidate)) {
			if (candidate != expected)
				_Consider(candidate, position, &best);
		}
		return best;
	}

	// A copy from `offset` went to `position`: the shift is tried first
	// from now on.
	void Remember(uint32 offset, size_t position)
	{
		int64 shift = (int64)offset - (int64)position;
		int32 at = 0;
		while (at < fRecentCount && fRecent[at] != shift)
			at++;
		if (at == fRecentCount && fRecentCount < kRecentShifts)
			fRecentCount++;
		for (int32 i = std::min(at, kRecentShifts - 1); i > 0; i--)
			fRecent[i] = fRecent[i - 1];
		fRecent[0] = shift;
	}

	// Grows a match backward over bytes not yet covered (down to `limit`).
	size_t ExtendBackward(match* found, size_t position, size_t limit) const
	{
		while (position > limit && found->offset > 0
				&& fOld[found->offset - 1] == fNew[position - 1]) {
			found->offset--;
			found->length++;
			position--;
		}
		return position;
	}

private:
	void _Consider(uint32 candidate, size_t position, match* best) const
	{
		size_t limit = std::min(fOldSize - candidate, fNewSize - position);
		const uint8* oldBytes = fOld + candidate;
		const uint8* newBytes = fNew + position;
		size_t length = 0;
		while (length < limit && oldBytes[length] == newBytes[length])
			length++;
		if (length == 0)
			return;
		int64 gain = (int64)length - PatchEncoder::CopyCost(candidate, length);
		if (gain > best->gain || (gain == best->gain && length > best->length)) {
			best->offset = candidate;
			best->length = length;
			best->gain = gain;
		}
	}

	const uint8* fOld;
	size_t fOldSize;
	const uint8* fNew;
	size_t fNewSize;
	int32 fDepth;
	MatchIndex fIndex;
	int64 fRecent[kRecentShifts];
	int32 fRecentCount = 0;
};


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

} // namespace


PatchMaker::PatchMaker()
	:
	fSearchDepth(256),
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
	PatchEncoder encoder;
	encoder.SetHeader((uint32)oldSize, Crc(oldData, oldSize), (uint32)newSize,
		Crc(newData, newSize));
	Matcher matcher(oldData, oldSize, newData, newSize, fSearchDepth);

	size_t literalStart = 0;
	size_t position = 0;
	// The old position that would continue the last copy.
	uint64 expected = 0;
	match next = matcher.BestAt(0, expected);
	while (position < newSize) {
		match here = next;
		if (here.gain <= 0) {
			position++;
			expected++;
			if (position < newSize)
				next = matcher.BestAt(position, expected);
			continue;
		}
		// Lazy: a clearly better copy one byte later wins.
		if (position + 1 < newSize) {
			next = matcher.BestAt(position + 1, expected + 1);
			if (next.gain > here.gain + 1) {
				position++;
				expected++;
				continue;
			}
		}
		size_t start = matcher.ExtendBackward(&here, position, literalStart);
		encoder.AddLiteral(newData + literalStart, start - literalStart);
		encoder.AddCopy(here.offset, here.length);
		position = start + here.length;
		literalStart = position;
		expected = (uint64)here.offset + here.length;
		matcher.Remember(here.offset, start);
		if (position < newSize)
			next = matcher.BestAt(position, expected);
	}
	encoder.AddLiteral(newData + literalStart, newSize - literalStart);

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
