#include <ResourceFile.h>

#include <ByteOrder.h>
#include <ElfImage.h>
#include <PositionIO.h>

#include <algorithm>
#include <cstring>

namespace {

// Moving what follows a container is done in pieces of this size, so that an
// installer's package of any size is never held in memory.
const size_t kCopyChunk = 256 * 1024;

status_t
read_exactly(BPositionIO* io, off_t offset, void* buffer, size_t size)
{
	ssize_t result = io->ReadAt(offset, buffer, size);
	if (result < 0)
		return (status_t)result;
	return (size_t)result == size ? B_OK : B_BAD_DATA;
}

status_t
write_exactly(BPositionIO* io, off_t offset, const void* buffer, size_t size)
{
	ssize_t result = io->WriteAt(offset, buffer, size);
	if (result < 0)
		return (status_t)result;
	return (size_t)result == size ? B_OK : B_IO_ERROR;
}

bool
has_magic_at(BPositionIO* io, off_t offset)
{
	uint8 magic[4];
	if (io->ReadAt(offset, magic, sizeof(magic)) != (ssize_t)sizeof(magic))
		return false;
	return read_bendian_uint32(magic) == ResourceFile::kMagic;
}

// Whether [offset, offset + size) lies inside [low, high).
bool
range_inside(uint64 offset, uint64 size, uint64 low, uint64 high)
{
	return offset >= low && offset <= high && size <= high - offset;
}

} // namespace

ResourceFile::ResourceFile()
	:
	fIO(nullptr),
	fStatus(B_NO_INIT),
	fWritable(false),
	fModified(false),
	fStart(0),
	fEnd(0)
{
}

ResourceFile::~ResourceFile()
{
}

void
ResourceFile::Unset()
{
	fIO = nullptr;
	fStatus = B_NO_INIT;
	fWritable = false;
	fModified = false;
	fStart = fEnd = 0;
	fItems.clear();
}

void
ResourceFile::SetToMemory()
{
	Unset();
	fStatus = B_OK;
	fWritable = true;
}

status_t
ResourceFile::CopyFrom(ResourceFile& other)
{
	if (&other == this)
		return B_OK;
	for (const auto& item : other.fItems) {
		status_t status = other.Load(item.get());
		if (status == B_OK) {
			status = Add(item->type, item->id, item->data.data(), item->size,
				item->hasName ? item->name.c_str() : nullptr);
		}
		if (status != B_OK)
			return status;
	}
	return B_OK;
}

status_t
ResourceFile::SetTo(BPositionIO* io, bool clobber)
{
	Unset();
	if (io == nullptr)
		return fStatus = B_BAD_VALUE;
	fIO = io;
	fStatus = Locate(clobber);
	if (fStatus != B_OK) {
		fItems.clear();
		fWritable = false;
	}
	return fStatus;
}

status_t
ResourceFile::Locate(bool clobber)
{
	off_t fileSize;
	status_t status = fIO->GetSize(&fileSize);
	if (status != B_OK)
		return status;

	if (is_elf_image(fIO)) {
		off_t imageSize;
		status = get_elf_image_size(fIO, &imageSize);
		if (status != B_OK) {
			// A damaged executable: nothing can be found in it and nothing
			// may be written to it.
			return B_OK;
		}
		fStart = fEnd = imageSize;
	} else if (fileSize == 0 || has_magic_at(fIO, 0)) {
		fStart = fEnd = 0;
	} else {
		// Neither an executable nor a resource file: no resources.
		return B_OK;
	}

	if (has_magic_at(fIO, fStart)) {
		status = Parse(fileSize);
		if (status != B_OK)
			return status;
	}
	if (clobber) {
		fModified = !fItems.empty();
		fItems.clear();
	}
	fWritable = true;
	return B_OK;
}

status_t
ResourceFile::Parse(off_t fileSize)
{
	uint8 header[kHeaderSize];
	status_t status = read_exactly(fIO, fStart, header, sizeof(header));
	if (status != B_OK)
		return B_BAD_DATA;
	uint16 version = read_bendian_uint16(header + 4);
	uint16 headerSize = read_bendian_uint16(header + 6);
	uint32 count = read_bendian_uint32(header + 8);
	uint32 entrySize = read_bendian_uint32(header + 12);
	uint64 total = read_bendian_uint64(header + 16);
	uint32 dataOffset = read_bendian_uint32(header + 24);

	if (version != kVersion || headerSize != kHeaderSize
		|| entrySize != kEntrySize)
		return B_BAD_DATA;
	if (!range_inside(fStart, total, 0, fileSize) || total < kHeaderSize)
		return B_BAD_DATA;
	if (count > kMaxCount || count > (total - kHeaderSize) / kEntrySize)
		return B_BAD_DATA;
	uint64 indexEnd = kHeaderSize + (uint64)count * kEntrySize;
	if (dataOffset < indexEnd || dataOffset > total)
		return B_BAD_DATA;
	// The names lie between the index and the data: no more than the longest
	// name for every resource.
	if (dataOffset - indexEnd > (uint64)count * kMaxNameLength)
		return B_BAD_DATA;

	std::vector<uint8> index(dataOffset - kHeaderSize);
	status = read_exactly(fIO, fStart + kHeaderSize, index.data(), index.size());
	if (status != B_OK)
		return B_BAD_DATA;
	status = ParseEntries(index, count, total, dataOffset);
	if (status != B_OK) {
		fItems.clear();
		return status;
	}
	fEnd = fStart + (off_t)total;
	return B_OK;
}

// `block` holds the index and the names: everything between the header and
// the data area.
status_t
ResourceFile::ParseEntries(const std::vector<uint8>& block, uint32 count,
	uint64 total, uint32 dataOffset)
{
	const uint64 namesStart = kHeaderSize + (uint64)count * kEntrySize;
	std::vector<std::pair<uint64, uint64>> ranges;
	for (uint32 i = 0; i < count; i++) {
		const uint8* entry = block.data() + (size_t)i * kEntrySize;
		auto item = std::make_unique<ResourceItem>();
		item->type = read_bendian_uint32(entry);
		item->id = (int32)read_bendian_uint32(entry + 4);
		uint32 nameOffset = read_bendian_uint32(entry + 8);
		uint32 nameLength = read_bendian_uint32(entry + 12);
		uint64 offset = read_bendian_uint64(entry + 16);
		uint64 size = read_bendian_uint64(entry + 24);

		if (nameOffset != 0 || nameLength != 0) {
			if (nameLength > kMaxNameLength
				|| !range_inside(nameOffset, nameLength, namesStart, dataOffset))
				return B_BAD_DATA;
			const char* name = reinterpret_cast<const char*>(block.data())
				+ (nameOffset - kHeaderSize);
			if (memchr(name, '\0', nameLength) != nullptr)
				return B_BAD_DATA;
			item->name.assign(name, nameLength);
			item->hasName = true;
		}
		if (!range_inside(offset, size, dataOffset, total))
			return B_BAD_DATA;
		if (Find(item->type, item->id) != nullptr)
			return B_BAD_DATA;
		if (size > 0)
			ranges.emplace_back(offset, size);
		item->fileOffset = fStart + (off_t)offset;
		item->size = (size_t)size;
		item->loaded = size == 0;
		fItems.push_back(std::move(item));
	}

	std::sort(ranges.begin(), ranges.end());
	for (size_t i = 1; i < ranges.size(); i++) {
		if (ranges[i - 1].first + ranges[i - 1].second > ranges[i].first)
			return B_BAD_DATA;
	}
	return B_OK;
}

ResourceItem*
ResourceFile::ItemAt(int32 index) const
{
	if (index < 0 || index >= CountItems())
		return nullptr;
	return fItems[index].get();
}

ResourceItem*
ResourceFile::Find(type_code type, int32 id) const
{
	for (const auto& item : fItems) {
		if (item->type == type && item->id == id)
			return item.get();
	}
	return nullptr;
}

ResourceItem*
ResourceFile::Find(type_code type, const char* name) const
{
	if (name == nullptr)
		return nullptr;
	for (const auto& item : fItems) {
		if (item->type == type && item->hasName && item->name == name)
			return item.get();
	}
	return nullptr;
}

ResourceItem*
ResourceFile::FindTypeIndex(type_code type, int32 index) const
{
	if (index < 0)
		return nullptr;
	for (const auto& item : fItems) {
		if (item->type == type && index-- == 0)
			return item.get();
	}
	return nullptr;
}

ResourceItem*
ResourceFile::FindByData(const void* data) const
{
	if (data == nullptr)
		return nullptr;
	for (const auto& item : fItems) {
		if (item->loaded && !item->data.empty() && item->data.data() == data)
			return item.get();
	}
	return nullptr;
}

status_t
ResourceFile::Load(ResourceItem* item)
{
	if (item == nullptr)
		return B_BAD_VALUE;
	if (item->loaded)
		return B_OK;
	std::vector<uint8> data;
	try {
		data.resize(item->size);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	status_t status = read_exactly(fIO, item->fileOffset, data.data(),
		data.size());
	if (status != B_OK)
		return status;
	item->data = std::move(data);
	item->loaded = true;
	return B_OK;
}

status_t
ResourceFile::LoadAll()
{
	for (const auto& item : fItems) {
		status_t status = Load(item.get());
		if (status != B_OK)
			return status;
	}
	return B_OK;
}

ssize_t
ResourceFile::ReadItem(ResourceItem* item, void* buffer, off_t offset,
	size_t length)
{
	if (item == nullptr || offset < 0 || (buffer == nullptr && length > 0))
		return B_BAD_VALUE;
	if ((uint64)offset >= item->size)
		return 0;
	size_t count = std::min(length, item->size - (size_t)offset);
	if (item->loaded) {
		memcpy(buffer, item->data.data() + offset, count);
		return (ssize_t)count;
	}
	status_t status = read_exactly(fIO, item->fileOffset + offset, buffer,
		count);
	return status == B_OK ? (ssize_t)count : status;
}

status_t
ResourceFile::Add(type_code type, int32 id, const void* data, size_t length,
	const char* name)
{
	if (fStatus != B_OK)
		return fStatus;
	if (!fWritable)
		return B_NOT_ALLOWED;
	if (data == nullptr && length > 0)
		return B_BAD_VALUE;
	if (name != nullptr && strlen(name) > kMaxNameLength)
		return B_NAME_TOO_LONG;
	if (fItems.size() >= kMaxCount && Find(type, id) == nullptr)
		return B_NO_MEMORY;

	auto item = std::make_unique<ResourceItem>();
	item->type = type;
	item->id = id;
	if (name != nullptr) {
		item->name = name;
		item->hasName = true;
	}
	try {
		item->data.assign(static_cast<const uint8*>(data),
			static_cast<const uint8*>(data) + length);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	item->size = length;
	item->loaded = true;

	for (auto& existing : fItems) {
		if (existing->type == type && existing->id == id) {
			existing = std::move(item);
			fModified = true;
			return B_OK;
		}
	}
	fItems.push_back(std::move(item));
	fModified = true;
	return B_OK;
}

status_t
ResourceFile::Remove(ResourceItem* item)
{
	if (fStatus != B_OK)
		return fStatus;
	if (!fWritable)
		return B_NOT_ALLOWED;
	for (auto it = fItems.begin(); it != fItems.end(); ++it) {
		if (it->get() == item) {
			fItems.erase(it);
			fModified = true;
			return B_OK;
		}
	}
	return B_BAD_VALUE;
}

status_t
ResourceFile::WriteItem(ResourceItem* item, const void* data, off_t offset,
	size_t length)
{
	if (fStatus != B_OK)
		return fStatus;
	if (!fWritable)
		return B_NOT_ALLOWED;
	if (item == nullptr || offset < 0 || (data == nullptr && length > 0))
		return B_BAD_VALUE;
	status_t status = Load(item);
	if (status != B_OK)
		return status;
	size_t end = (size_t)offset + length;
	try {
		if (end > item->data.size())
			item->data.resize(end);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	if (length > 0)
		memcpy(item->data.data() + offset, data, length);
	item->size = item->data.size();
	fModified = true;
	return B_OK;
}

size_t
ResourceFile::FlattenedSize() const
{
	if (fItems.empty())
		return 0;
	size_t size = kHeaderSize + fItems.size() * kEntrySize;
	for (const auto& item : fItems)
		size += item->name.size() + item->size;
	return size;
}

status_t
ResourceFile::Flatten(std::vector<uint8>* out)
{
	if (out == nullptr)
		return B_BAD_VALUE;
	status_t status = LoadAll();
	if (status != B_OK)
		return status;
	out->clear();
	if (fItems.empty())
		return B_OK;

	size_t total = FlattenedSize();
	size_t namesOffset = kHeaderSize + fItems.size() * kEntrySize;
	size_t dataOffset = namesOffset;
	for (const auto& item : fItems)
		dataOffset += item->name.size();
	if (dataOffset > UINT32_MAX)
		return B_BAD_VALUE;
	try {
		out->assign(total, 0);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}

	uint8* bytes = out->data();
	write_bendian_uint32(bytes, kMagic);
	write_bendian_uint16(bytes + 4, kVersion);
	write_bendian_uint16(bytes + 6, kHeaderSize);
	write_bendian_uint32(bytes + 8, (uint32)fItems.size());
	write_bendian_uint32(bytes + 12, kEntrySize);
	write_bendian_uint64(bytes + 16, total);
	write_bendian_uint32(bytes + 24, (uint32)dataOffset);

	size_t nameAt = namesOffset;
	size_t dataAt = dataOffset;
	uint8* entry = bytes + kHeaderSize;
	for (const auto& item : fItems) {
		write_bendian_uint32(entry, item->type);
		write_bendian_uint32(entry + 4, (uint32)item->id);
		if (item->hasName && !item->name.empty()) {
			write_bendian_uint32(entry + 8, (uint32)nameAt);
			write_bendian_uint32(entry + 12, (uint32)item->name.size());
			memcpy(bytes + nameAt, item->name.data(), item->name.size());
			nameAt += item->name.size();
		}
		write_bendian_uint64(entry + 16, dataAt);
		write_bendian_uint64(entry + 24, item->size);
		if (item->size > 0)
			memcpy(bytes + dataAt, item->data.data(), item->size);
		dataAt += item->size;
		entry += kEntrySize;
	}
	return B_OK;
}

// Copies `length` bytes at `from` to `to` in the same file, in pieces, in the
// direction that never overwrites bytes not yet copied.
status_t
ResourceFile::MoveTail(off_t from, off_t to, off_t length)
{
	if (from == to || length == 0)
		return B_OK;
	std::vector<uint8> buffer(std::min<off_t>(length, kCopyChunk));
	off_t done = 0;
	while (done < length) {
		size_t piece = (size_t)std::min<off_t>(length - done, buffer.size());
		// Moving towards the end copies the last piece first.
		off_t at = to > from ? length - done - piece : done;
		status_t status = read_exactly(fIO, from + at, buffer.data(), piece);
		if (status != B_OK)
			return status == B_BAD_DATA ? B_IO_ERROR : status;
		status = write_exactly(fIO, to + at, buffer.data(), piece);
		if (status != B_OK)
			return status;
		done += piece;
	}
	return B_OK;
}

status_t
ResourceFile::Sync()
{
	if (fStatus != B_OK)
		return fStatus;
	if (!fModified)
		return B_OK;
	if (!fWritable || fIO == nullptr)
		return B_NOT_ALLOWED;

	std::vector<uint8> bytes;
	status_t status = Flatten(&bytes);
	if (status != B_OK)
		return status;
	off_t fileSize;
	status = fIO->GetSize(&fileSize);
	if (status != B_OK)
		return status;

	off_t tailLength = fileSize > fEnd ? fileSize - fEnd : 0;
	off_t newEnd = fStart + (off_t)bytes.size();
	status = MoveTail(fEnd, newEnd, tailLength);
	if (status != B_OK)
		return status;
	if (!bytes.empty()) {
		status = write_exactly(fIO, fStart, bytes.data(), bytes.size());
		if (status != B_OK)
			return status;
	}
	if (newEnd + tailLength < fileSize) {
		status = fIO->SetSize(newEnd + tailLength);
		if (status != B_OK)
			return status;
	}

	// Every item is in memory now; its old place in the file is gone.
	fEnd = newEnd;
	fModified = false;
	return B_OK;
}
