#include <ElfImage.h>

#include <PositionIO.h>

#include <elf.h>

#include <cstring>
#include <vector>

namespace {

// Reads ELF fields of either class and byte order through one interface.
class ElfReader {
public:
	ElfReader(BPositionIO* io, off_t fileSize)
		:
		fIO(io),
		fFileSize(fileSize),
		fIs64(false),
		fBigEndian(false)
	{
	}

	status_t ReadIdent()
	{
		unsigned char ident[EI_NIDENT];
		if (fIO->ReadAt(0, ident, sizeof(ident)) != (ssize_t)sizeof(ident))
			return B_BAD_TYPE;
		if (memcmp(ident, ELFMAG, SELFMAG) != 0)
			return B_BAD_TYPE;
		if (ident[EI_CLASS] != ELFCLASS32 && ident[EI_CLASS] != ELFCLASS64)
			return B_BAD_DATA;
		if (ident[EI_DATA] != ELFDATA2LSB && ident[EI_DATA] != ELFDATA2MSB)
			return B_BAD_DATA;
		fIs64 = ident[EI_CLASS] == ELFCLASS64;
		fBigEndian = ident[EI_DATA] == ELFDATA2MSB;
		return B_OK;
	}

	bool Is64() const { return fIs64; }

	// Reads `size` bytes at `offset`; they must lie inside the file.
	status_t ReadBlock(uint64 offset, void* buffer, size_t size)
	{
		if (!Inside(offset, size))
			return B_BAD_DATA;
		if (fIO->ReadAt((off_t)offset, buffer, size) != (ssize_t)size)
			return B_BAD_DATA;
		return B_OK;
	}

	bool Inside(uint64 offset, uint64 size) const
	{
		return offset <= (uint64)fFileSize && size <= (uint64)fFileSize - offset;
	}

	uint64 Field(const uint8* data, size_t offset, size_t width) const
	{
		uint64 value = 0;
		for (size_t i = 0; i < width; i++) {
			size_t index = fBigEndian ? i : width - 1 - i;
			value = (value << 8) | data[offset + index];
		}
		return value;
	}

private:
	BPositionIO* fIO;
	off_t fFileSize;
	bool fIs64;
	bool fBigEndian;
};

// Field positions of the two ELF classes, so one walk serves both.
struct ElfLayout {
	size_t headerSize;
	size_t phoff, shoff, phentsize, phnum, shentsize, shnum;
	size_t offsetWidth;
	size_t phOffset, phFilesz;
	size_t shType, shOffset, shSize;
	size_t minPhEntry, minShEntry;
};

const ElfLayout kLayout32 = {sizeof(Elf32_Ehdr), 28, 32, 42, 44, 46, 48, 4,
	4, 16, 4, 16, 20, sizeof(Elf32_Phdr), sizeof(Elf32_Shdr)};
const ElfLayout kLayout64 = {sizeof(Elf64_Ehdr), 32, 40, 54, 56, 58, 60, 8,
	8, 32, 4, 24, 32, sizeof(Elf64_Phdr), sizeof(Elf64_Shdr)};

void
extend(uint64* end, uint64 offset, uint64 size)
{
	if (offset + size > *end)
		*end = offset + size;
}

// Walks one header table, calling visit(entry bytes) for each of `count`
// entries; also extends *end by the table itself.
template<typename Visit>
status_t
walk_table(ElfReader& reader, uint64 offset, uint64 entrySize, uint64 count,
	size_t minEntrySize, uint64* end, Visit visit)
{
	if (count == 0)
		return B_OK;
	if (entrySize < minEntrySize || count > 0x100000)
		return B_BAD_DATA;
	if (!reader.Inside(offset, entrySize * count))
		return B_BAD_DATA;
	extend(end, offset, entrySize * count);
	std::vector<uint8> entry(entrySize);
	for (uint64 i = 0; i < count; i++) {
		status_t status = reader.ReadBlock(offset + i * entrySize, entry.data(),
			entrySize);
		if (status != B_OK)
			return status;
		status = visit(entry.data());
		if (status != B_OK)
			return status;
	}
	return B_OK;
}

} // namespace

bool
is_elf_image(BPositionIO* io)
{
	unsigned char magic[SELFMAG];
	return io != nullptr && io->ReadAt(0, magic, SELFMAG) == SELFMAG
		&& memcmp(magic, ELFMAG, SELFMAG) == 0;
}

status_t
get_elf_image_size(BPositionIO* io, off_t* size)
{
	if (io == nullptr || size == nullptr)
		return B_BAD_VALUE;
	off_t fileSize;
	status_t status = io->GetSize(&fileSize);
	if (status != B_OK)
		return status;

	ElfReader reader(io, fileSize);
	status = reader.ReadIdent();
	if (status != B_OK)
		return status;
	const ElfLayout& layout = reader.Is64() ? kLayout64 : kLayout32;

	uint8 header[sizeof(Elf64_Ehdr)];
	status = reader.ReadBlock(0, header, layout.headerSize);
	if (status != B_OK)
		return status;
	uint64 width = layout.offsetWidth;
	uint64 phoff = reader.Field(header, layout.phoff, width);
	uint64 shoff = reader.Field(header, layout.shoff, width);
	uint64 phentsize = reader.Field(header, layout.phentsize, 2);
	uint64 phnum = reader.Field(header, layout.phnum, 2);
	uint64 shentsize = reader.Field(header, layout.shentsize, 2);
	uint64 shnum = reader.Field(header, layout.shnum, 2);

	uint64 end = layout.headerSize;
	status = walk_table(reader, phoff, phentsize, phnum, layout.minPhEntry, &end,
		[&](const uint8* entry) {
			uint64 offset = reader.Field(entry, layout.phOffset, width);
			uint64 fileSize = reader.Field(entry, layout.phFilesz, width);
			if (!reader.Inside(offset, fileSize))
				return (status_t)B_BAD_DATA;
			extend(&end, offset, fileSize);
			return (status_t)B_OK;
		});
	if (status != B_OK)
		return status;

	if (shoff != 0 && shnum == 0) {
		// More sections than the header can count: the real number is the
		// size field of section 0.
		uint8 first[sizeof(Elf64_Shdr)];
		if (shentsize < layout.minShEntry)
			return B_BAD_DATA;
		status = reader.ReadBlock(shoff, first, layout.minShEntry);
		if (status != B_OK)
			return status;
		shnum = reader.Field(first, layout.shSize, width);
	}
	status = walk_table(reader, shoff, shentsize, shnum, layout.minShEntry, &end,
		[&](const uint8* entry) {
			uint64 type = reader.Field(entry, layout.shType, 4);
			if (type == SHT_NOBITS || type == SHT_NULL)
				return (status_t)B_OK;
			uint64 offset = reader.Field(entry, layout.shOffset, width);
			uint64 sectionSize = reader.Field(entry, layout.shSize, width);
			if (!reader.Inside(offset, sectionSize))
				return (status_t)B_BAD_DATA;
			extend(&end, offset, sectionSize);
			return (status_t)B_OK;
		});
	if (status != B_OK)
		return status;

	*size = (off_t)end;
	return B_OK;
}
