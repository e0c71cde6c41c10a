// The resource container: placement behind an ELF image, round trips, what
// follows the container, and refusal of damaged containers.

#include <ByteOrder.h>
#include <ElfImage.h>
#include <ResourceFile.h>

#include <HostFileIO.h>
#include <ScratchDir.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8>
pattern_bytes(size_t size, uint8 seed)
{
	std::vector<uint8> bytes(size);
	for (size_t i = 0; i < size; i++)
		bytes[i] = (uint8)(seed + i * 7);
	return bytes;
}

// A copy of this test program: a real ELF executable to put resources in.
std::string
copy_of_self(const ScratchDir& dir, const char* leaf)
{
	std::string path = dir / leaf;
	write_host_file(path, read_host_file("/proc/self/exe"));
	return path;
}

// A small big-endian ELF32 file by hand: header, two section headers (one
// with data at 200..250, one NOBITS), and 50 bytes after the image.
std::vector<uint8>
tiny_elf32_big_endian()
{
	std::vector<uint8> bytes(300, 0xEE);
	memset(bytes.data(), 0, 132);
	memcpy(bytes.data(), "\x7f" "ELF", 4);
	bytes[4] = 1; // ELFCLASS32
	bytes[5] = 2; // ELFDATA2MSB
	bytes[6] = 1;
	write_bendian_uint32(bytes.data() + 32, 52); // e_shoff
	write_bendian_uint16(bytes.data() + 46, 40); // e_shentsize
	write_bendian_uint16(bytes.data() + 48, 2); // e_shnum
	uint8* progbits = bytes.data() + 52;
	write_bendian_uint32(progbits + 4, 1); // SHT_PROGBITS
	write_bendian_uint32(progbits + 16, 200);
	write_bendian_uint32(progbits + 20, 50);
	uint8* nobits = bytes.data() + 92;
	write_bendian_uint32(nobits + 4, 8); // SHT_NOBITS
	write_bendian_uint32(nobits + 16, 250);
	write_bendian_uint32(nobits + 20, 100000);
	return bytes;
}

} // namespace

TEST(ElfImage, SizeOfRealAndHandMadeImages)
{
	ScratchDir dir;
	std::string self = copy_of_self(dir, "self");
	HostFileIO selfIO(self);
	off_t imageSize = 0;
	ASSERT_EQ(get_elf_image_size(&selfIO, &imageSize), B_OK);
	// A linked program ends with its section header table.
	off_t fileSize = 0;
	ASSERT_EQ(selfIO.GetSize(&fileSize), B_OK);
	EXPECT_EQ(imageSize, fileSize);

	std::string tiny = dir / "tiny";
	write_host_file(tiny, tiny_elf32_big_endian());
	HostFileIO tinyIO(tiny);
	ASSERT_EQ(get_elf_image_size(&tinyIO, &imageSize), B_OK);
	EXPECT_EQ(imageSize, 250) << "NOBITS data must not count, PROGBITS must";

	std::vector<uint8> damaged = tiny_elf32_big_endian();
	write_bendian_uint32(damaged.data() + 52 + 20, 5000); // past the end
	write_host_file(tiny, damaged);
	HostFileIO damagedIO(tiny);
	EXPECT_EQ(get_elf_image_size(&damagedIO, &imageSize), B_BAD_DATA);

	std::string text = dir / "text";
	write_host_file(text, "plain words\n", 12);
	HostFileIO textIO(text);
	EXPECT_EQ(get_elf_image_size(&textIO, &imageSize), B_BAD_TYPE);
	EXPECT_FALSE(is_elf_image(&textIO));
}

TEST(ResourceFile, RoundTripBehindTheImage)
{
	ScratchDir dir;
	std::string path = copy_of_self(dir, "app");
	std::vector<uint8> image = read_host_file(path);
	std::vector<uint8> icon = pattern_bytes(1024, 3);
	std::vector<uint8> question = pattern_bytes(16 * 16 * 4, 9);
	uint8 offset[4];
	write_bendian_uint32(offset, 123456);
	{
		HostFileIO io(path);
		ResourceFile file;
		ASSERT_EQ(file.SetTo(&io, false), B_OK);
		EXPECT_EQ(file.CountItems(), 0);
		EXPECT_TRUE(file.IsWritable());
		EXPECT_EQ(file.ContainerStart(), (off_t)image.size());
		ASSERT_EQ(file.Add('INsz', 0, offset, 4, nullptr), B_OK);
		ASSERT_EQ(file.Add('8BMP', 101, icon.data(), icon.size(), "yellowicon"), B_OK);
		ASSERT_EQ(file.Add('BMAP', 7, question.data(), question.size(), "question"), B_OK);
		ASSERT_EQ(file.Add('8BMP', 102, icon.data(), 256, "filesmall"), B_OK);
		ASSERT_EQ(file.Add('MIMS', 1, "application/x-test", 19, "BEOS:APP_SIG"), B_OK);
		ASSERT_EQ(file.Sync(), B_OK);
	}

	std::vector<uint8> written = read_host_file(path);
	ASSERT_GT(written.size(), image.size());
	EXPECT_TRUE(std::equal(image.begin(), image.end(), written.begin()))
		<< "the image must be left as it was";
	EXPECT_EQ(read_bendian_uint32(written.data() + image.size()),
		ResourceFile::kMagic);

	HostFileIO io(path);
	ResourceFile file;
	ASSERT_EQ(file.SetTo(&io, false), B_OK);
	ASSERT_EQ(file.CountItems(), 5);
	EXPECT_EQ(file.ContainerEnd(), (off_t)written.size());
	EXPECT_EQ(file.ItemAt(0)->type, (type_code)'INsz');
	EXPECT_EQ(file.ItemAt(4)->name, "BEOS:APP_SIG");

	uint8 buffer[4];
	ASSERT_EQ(file.ReadItem(file.Find('INsz', 0), buffer, 0, 4), 4);
	EXPECT_EQ(read_bendian_uint32(buffer), 123456u);

	ResourceItem* byName = file.Find('8BMP', "yellowicon");
	ASSERT_NE(byName, nullptr);
	EXPECT_EQ(byName->id, 101);
	ASSERT_EQ(file.Load(byName), B_OK);
	EXPECT_EQ(byName->data, icon);
	EXPECT_EQ(file.Find('8BMP', "question"), nullptr) << "names are per type";
	EXPECT_EQ(file.Find('BMAP', "question")->size, question.size());
	EXPECT_EQ(file.FindTypeIndex('8BMP', 1)->id, 102);
	EXPECT_EQ(file.FindTypeIndex('8BMP', 2), nullptr);

	// Reads at offsets and past the end.
	uint8 middle[10];
	ASSERT_EQ(file.ReadItem(file.Find('BMAP', 7), middle, 500, 10), 10);
	EXPECT_EQ(memcmp(middle, question.data() + 500, 10), 0);
	EXPECT_EQ(file.ReadItem(file.Find('BMAP', 7), middle, question.size() - 3, 10), 3);
	EXPECT_EQ(file.ReadItem(file.Find('BMAP', 7), middle, question.size() + 5, 10), 0);
	EXPECT_EQ(file.ReadItem(file.Find('BMAP', 7), middle, -1, 10), B_BAD_VALUE);
}

TEST(ResourceFile, WhatFollowsTheContainerIsKept)
{
	ScratchDir dir;
	std::string path = copy_of_self(dir, "installer");
	size_t imageSize = read_host_file(path).size();
	std::vector<uint8> small = pattern_bytes(40, 1);
	{
		HostFileIO io(path);
		ResourceFile file;
		ASSERT_EQ(file.SetTo(&io, false), B_OK);
		ASSERT_EQ(file.Add('INsz', 0, small.data(), 4, nullptr), B_OK);
		ASSERT_EQ(file.Sync(), B_OK);
	}
	// Append a "package" behind the resources.
	std::vector<uint8> withPackage = read_host_file(path);
	std::vector<uint8> package = pattern_bytes(700000, 77);
	withPackage.insert(withPackage.end(), package.begin(), package.end());
	write_host_file(path, withPackage);

	auto packageStillFollows = [&](const char* when) {
		HostFileIO io(path);
		ResourceFile file;
		ASSERT_EQ(file.SetTo(&io, false), B_OK) << when;
		std::vector<uint8> bytes = read_host_file(path);
		ASSERT_EQ(bytes.size(), (size_t)file.ContainerEnd() + package.size()) << when;
		EXPECT_TRUE(std::equal(package.begin(), package.end(),
			bytes.begin() + file.ContainerEnd())) << when;
	};

	std::vector<uint8> big = pattern_bytes(300000, 5);
	{
		HostFileIO io(path);
		ResourceFile file;
		ASSERT_EQ(file.SetTo(&io, false), B_OK);
		ASSERT_EQ(file.Add('BMAP', 1, big.data(), big.size(), "grown"), B_OK);
		ASSERT_EQ(file.Sync(), B_OK);
	}
	packageStillFollows("after growing");
	{
		HostFileIO io(path);
		ResourceFile file;
		ASSERT_EQ(file.SetTo(&io, false), B_OK);
		ASSERT_EQ(file.CountItems(), 2);
		ASSERT_EQ(file.WriteItem(file.Find('INsz', 0), small.data(), 2, 10), B_OK);
		ASSERT_EQ(file.Remove(file.Find('BMAP', 1)), B_OK);
		ASSERT_EQ(file.Sync(), B_OK);
	}
	packageStillFollows("after shrinking");
	{
		HostFileIO io(path);
		ResourceFile file;
		ASSERT_EQ(file.SetTo(&io, false), B_OK);
		ASSERT_EQ(file.CountItems(), 1);
		ResourceItem* item = file.Find('INsz', 0);
		ASSERT_EQ(item->size, 12u) << "a write past the end grows the resource";
		ASSERT_EQ(file.Load(item), B_OK);
		EXPECT_EQ(memcmp(item->data.data() + 2, small.data(), 10), 0);
	}
	{
		HostFileIO io(path);
		ResourceFile file;
		ASSERT_EQ(file.SetTo(&io, true), B_OK);
		EXPECT_EQ(file.CountItems(), 0);
		ASSERT_EQ(file.Sync(), B_OK);
	}
	packageStillFollows("after clobbering");
	EXPECT_EQ(read_host_file(path).size(), imageSize + package.size())
		<< "no resources: no container at all";
}

TEST(ResourceFile, FilesWithoutResources)
{
	ScratchDir dir;
	std::string text = dir / "notes.txt";
	const char* words = "This is no executable.\n";
	write_host_file(text, words, strlen(words));
	HostFileIO io(text);
	ResourceFile file;
	ASSERT_EQ(file.SetTo(&io, false), B_OK);
	EXPECT_EQ(file.CountItems(), 0);
	EXPECT_FALSE(file.IsWritable());
	EXPECT_EQ(file.Add('TEXT', 1, "x", 1, nullptr), B_NOT_ALLOWED);
	EXPECT_EQ(file.Sync(), B_OK) << "nothing changed, nothing to do";
	EXPECT_EQ(read_host_file(text).size(), strlen(words));

	// An empty file becomes a plain resource file.
	std::string plain = dir / "plain.rsrc";
	write_host_file(plain, "", 0);
	{
		HostFileIO plainIO(plain);
		ResourceFile resources;
		ASSERT_EQ(resources.SetTo(&plainIO, false), B_OK);
		ASSERT_EQ(resources.Add('CSTR', 3, "hello", 6, "greeting"), B_OK);
		ASSERT_EQ(resources.Sync(), B_OK);
	}
	HostFileIO plainIO(plain);
	ResourceFile resources;
	ASSERT_EQ(resources.SetTo(&plainIO, false), B_OK);
	EXPECT_EQ(resources.ContainerStart(), 0);
	ASSERT_NE(resources.Find('CSTR', "greeting"), nullptr);
	EXPECT_EQ(resources.Find('CSTR', "greeting")->size, 6u);

	// A damaged executable neither yields nor takes resources.
	std::string damaged = dir / "damaged";
	std::vector<uint8> elf = tiny_elf32_big_endian();
	write_bendian_uint32(elf.data() + 32, 100000); // section table past the end
	write_host_file(damaged, elf);
	HostFileIO damagedIO(damaged);
	ResourceFile none;
	ASSERT_EQ(none.SetTo(&damagedIO, false), B_OK);
	EXPECT_FALSE(none.IsWritable());
	EXPECT_EQ(none.CountItems(), 0);
}

TEST(ResourceFile, DamagedContainersAreRefused)
{
	ScratchDir dir;
	std::string path = dir / "good.rsrc";
	write_host_file(path, "", 0);
	{
		HostFileIO io(path);
		ResourceFile file;
		ASSERT_EQ(file.SetTo(&io, false), B_OK);
		ASSERT_EQ(file.Add('AAAA', 1, "first data", 10, "one"), B_OK);
		ASSERT_EQ(file.Add('BBBB', 2, "second data", 11, "two"), B_OK);
		ASSERT_EQ(file.Sync(), B_OK);
	}
	const std::vector<uint8> good = read_host_file(path);
	// Layout: header 32, index 2 x 32 at 32 and 64, names "onetwo" (6), data.
	ASSERT_EQ(good.size(), 32u + 64u + 6u + 21u);

	struct Damage {
		const char* what;
		void (*apply)(std::vector<uint8>&);
	};
	const Damage damages[] = {
		{"total length past the end", [](std::vector<uint8>& b) {
			write_bendian_uint64(b.data() + 16, b.size() + 1); }},
		{"huge count", [](std::vector<uint8>& b) {
			write_bendian_uint32(b.data() + 8, 0x7fffffff); }},
		{"count larger than the container holds", [](std::vector<uint8>& b) {
			write_bendian_uint32(b.data() + 8, 5); }},
		{"unknown version", [](std::vector<uint8>& b) {
			write_bendian_uint16(b.data() + 4, 9); }},
		{"data past the container", [](std::vector<uint8>& b) {
			write_bendian_uint64(b.data() + 64 + 24, 1000); }},
		{"data offset overflowing", [](std::vector<uint8>& b) {
			write_bendian_uint64(b.data() + 64 + 16, ~(uint64)0 - 4); }},
		{"overlapping data", [](std::vector<uint8>& b) {
			write_bendian_uint64(b.data() + 64 + 16,
				read_bendian_uint64(b.data() + 32 + 16) + 5); }},
		{"data inside the index", [](std::vector<uint8>& b) {
			write_bendian_uint64(b.data() + 32 + 16, 40); }},
		{"name outside the names", [](std::vector<uint8>& b) {
			write_bendian_uint32(b.data() + 32 + 8, 4); }},
		{"same type and id twice", [](std::vector<uint8>& b) {
			memcpy(b.data() + 64, b.data() + 32, 8); }},
	};
	for (const Damage& damage : damages) {
		std::vector<uint8> bytes = good;
		damage.apply(bytes);
		write_host_file(path, bytes);
		HostFileIO io(path);
		ResourceFile file;
		EXPECT_EQ(file.SetTo(&io, false), B_BAD_DATA) << damage.what;
		EXPECT_EQ(file.CountItems(), 0) << damage.what;
		EXPECT_EQ(file.Add('CCCC', 3, "x", 1, nullptr), B_BAD_DATA) << damage.what;
		EXPECT_EQ(file.Sync(), B_BAD_DATA) << damage.what;
		ResourceFile clobbered;
		EXPECT_EQ(clobbered.SetTo(&io, true), B_BAD_DATA) << damage.what;
		EXPECT_EQ(read_host_file(path), bytes) << damage.what << ": file changed";
	}
}
