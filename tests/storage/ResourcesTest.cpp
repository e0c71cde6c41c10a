// BResources on files of the system root, and the package tool's writing of
// an executable with resources and an appended payload.

#include "ExtrasFixture.h"

#include <ByteOrder.h>
#include <File.h>
#include <Resources.h>
#include <TypeConstants.h>

#include <cstdlib>
#include <cstring>

namespace {

std::vector<uint8>
pattern(size_t size, uint8 seed)
{
	std::vector<uint8> bytes(size);
	for (size_t i = 0; i < size; i++)
		bytes[i] = (uint8)(seed ^ (i * 13));
	return bytes;
}

} // namespace

using ResourcesTest = ExtrasTest;

TEST_F(ResourcesTest, WrittenAndReadBackThroughTheKit)
{
	MakeExecutable("/boot/apps/Installer");
	std::vector<uint8> icon = pattern(1024, 1);
	std::vector<uint8> question = pattern(1024, 2);
	{
		BFile file("/boot/apps/Installer", B_READ_WRITE);
		ASSERT_EQ(file.InitCheck(), B_OK);
		BResources resources(&file, false);
		ASSERT_EQ(resources.InitCheck(), B_OK);
		uint8 size[4];
		write_bendian_uint32(size, 777);
		ASSERT_EQ(resources.AddResource('INsz', 0, size, 4), B_OK);
		ASSERT_EQ(resources.AddResource('8BMP', 1, icon.data(), icon.size(),
			"yellowicon"), B_OK);
		ASSERT_EQ(resources.AddResource('BMAP', 1, question.data(),
			question.size(), "question"), B_OK);
		ASSERT_EQ(resources.Sync(), B_OK);
	}

	BFile file("/boot/apps/Installer", B_READ_ONLY);
	BResources resources(&file, false);
	ASSERT_EQ(resources.InitCheck(), B_OK);

	uint8 buffer[4] = {};
	EXPECT_EQ(resources.ReadResource('INsz', 0, buffer, 0, 4), 4);
	EXPECT_EQ(read_bendian_uint32(buffer), 777u);
	EXPECT_EQ(resources.ReadResource('INsz', 1, buffer, 0, 4), B_NAME_NOT_FOUND);
	EXPECT_EQ(resources.ReadResource('INsz', 0, buffer, 2, 4), 2);

	size_t length = 0;
	void* copy = resources.FindResource('8BMP', "yellowicon", &length);
	ASSERT_NE(copy, nullptr);
	EXPECT_EQ(length, icon.size());
	EXPECT_EQ(memcmp(copy, icon.data(), icon.size()), 0);
	free(copy);
	EXPECT_EQ(resources.FindResource('8BMP', "filesmall", &length), nullptr);
	copy = resources.FindResource('BMAP', 1, &length);
	ASSERT_NE(copy, nullptr);
	EXPECT_EQ(memcmp(copy, question.data(), question.size()), 0);
	free(copy);

	const void* loaded = resources.LoadResource('BMAP', "question", &length);
	ASSERT_NE(loaded, nullptr);
	EXPECT_EQ(memcmp(loaded, question.data(), question.size()), 0);
	EXPECT_EQ(resources.LoadResource('BMAP', "question", &length), loaded)
		<< "loaded once, owned by the object";

	EXPECT_TRUE(resources.HasResource('8BMP', "yellowicon"));
	EXPECT_TRUE(resources.HasResource('INsz', 0));
	EXPECT_FALSE(resources.HasResource('8BMP', 0));

	type_code type;
	int32 id;
	const char* name;
	ASSERT_TRUE(resources.GetResourceInfo(1, &type, &id, &name, &length));
	EXPECT_EQ(type, (type_code)'8BMP');
	EXPECT_STREQ(name, "yellowicon");
	ASSERT_TRUE(resources.GetResourceInfo(0, &type, &id, &name, &length));
	EXPECT_EQ(name, nullptr) << "the size resource has no name";
	EXPECT_FALSE(resources.GetResourceInfo(3, &type, &id, &name, &length));
	ASSERT_TRUE(resources.GetResourceInfo('BMAP', (int32)0, &id, &name, &length));
	EXPECT_STREQ(name, "question");
	ASSERT_TRUE(resources.GetResourceInfo('8BMP', "yellowicon", &id, &length));
	EXPECT_EQ(id, 1);
	ASSERT_TRUE(resources.GetResourceInfo(loaded, &type, &id, &length, &name));
	EXPECT_EQ(type, (type_code)'BMAP');

	// A file opened read-only takes changes in memory but never writes them.
	std::vector<uint8> before = read_host_file(HostPath("/boot/apps/Installer"));
	EXPECT_EQ(resources.AddResource('TEXT', 5, "x", 1), B_OK);
	EXPECT_EQ(resources.Sync(), B_NOT_ALLOWED);
	EXPECT_EQ(read_host_file(HostPath("/boot/apps/Installer")), before);
}

TEST_F(ResourcesTest, ChangesAndWhatFollows)
{
	MakeExecutable("/boot/apps/Tool");
	{
		BResources resources("/boot/apps/Tool");
		ASSERT_EQ(resources.InitCheck(), B_OK);
		ASSERT_EQ(resources.AddResource('CSTR', 1, "first", 6, "one"), B_OK);
		ASSERT_EQ(resources.AddResource('CSTR', 2, "second", 7, "two"), B_OK);
		// No Sync: going away writes the changes.
	}
	std::vector<uint8> payload = pattern(100000, 9);
	{
		std::vector<uint8> bytes = read_host_file(HostPath("/boot/apps/Tool"));
		bytes.insert(bytes.end(), payload.begin(), payload.end());
		write_host_file(HostPath("/boot/apps/Tool"), bytes);
	}
	{
		BResources resources("/boot/apps/Tool");
		ASSERT_TRUE(resources.HasResource('CSTR', "two"));
		ASSERT_EQ(resources.WriteResource('CSTR', 1, "FIRST AND MORE", 0, 15), B_OK);
		EXPECT_EQ(resources.WriteResource('CSTR', 9, "x", 0, 1), B_BAD_VALUE);
		ASSERT_EQ(resources.RemoveResource('CSTR', 2), B_OK);
		EXPECT_EQ(resources.RemoveResource('CSTR', 2), B_BAD_VALUE);
		ASSERT_EQ(resources.Sync(), B_OK);
	}
	BResources resources("/boot/apps/Tool");
	char text[32] = {};
	EXPECT_EQ(resources.ReadResource('CSTR', 1, text, 0, sizeof(text)), 15);
	EXPECT_STREQ(text, "FIRST AND MORE");
	EXPECT_FALSE(resources.HasResource('CSTR', 2));
	std::vector<uint8> bytes = read_host_file(HostPath("/boot/apps/Tool"));
	ASSERT_GT(bytes.size(), payload.size());
	EXPECT_TRUE(std::equal(payload.begin(), payload.end(),
		bytes.end() - payload.size())) << "the appended data is kept";
}

TEST_F(ResourcesTest, FilesWithoutResources)
{
	MakeFile("/boot/home/notes.txt", "nothing but text\n");
	BResources resources("/boot/home/notes.txt");
	EXPECT_EQ(resources.InitCheck(), B_OK);
	uint8 buffer[4];
	EXPECT_EQ(resources.ReadResource('INsz', 0, buffer, 0, 4), B_NAME_NOT_FOUND);
	size_t length;
	EXPECT_EQ(resources.FindResource('8BMP', "yellowicon", &length), nullptr);
	EXPECT_EQ(resources.AddResource('INsz', 0, buffer, 4), B_NOT_ALLOWED);

	BResources missing("/boot/home/absent");
	EXPECT_NE(missing.InitCheck(), B_OK);
	EXPECT_EQ(missing.ReadResource('INsz', 0, buffer, 0, 4), missing.InitCheck());
	EXPECT_FALSE(missing.HasResource('INsz', 0));

	BFile unset;
	BResources onUnset(&unset);
	EXPECT_NE(onUnset.InitCheck(), B_OK);
}

TEST_F(ResourcesTest, ToolWritesAnInstaller)
{
	// The stub already carries resources and something behind them.
	MakeExecutable("/boot/stub");
	{
		BResources stubResources("/boot/stub");
		ASSERT_EQ(stubResources.AddResource('8BMP', 1, "icon", 4, "yellowicon"), B_OK);
		ASSERT_EQ(stubResources.Sync(), B_OK);
	}
	std::vector<uint8> stubBytes = read_host_file(HostPath("/boot/stub"));
	stubBytes.insert(stubBytes.end(), 5000, 0xAB);
	write_host_file(HostPath("/boot/stub"), stubBytes);
	std::vector<uint8> image = read_host_file("/proc/self/exe");

	std::vector<uint8> package = pattern(300000, 4);
	MakeFile("/boot/package", package);
	MakeFile("/boot/installer", std::string("old contents"));

	BFile stub("/boot/stub", B_READ_ONLY);
	BFile payload("/boot/package", B_READ_ONLY);
	BFile output("/boot/installer", B_READ_WRITE);
	BResources resources(&stub, false);
	ASSERT_EQ(resources.InitCheck(), B_OK);
	ASSERT_EQ(resources.AddResource('MIMS', 1, "application/x-test", 19,
		"BEOS:APP_SIG"), B_OK);
	off_t payloadOffset = -1;
	ASSERT_EQ(write_executable_with_resources(&stub, &resources, &payload,
		&output, 'INsz', 0, &payloadOffset), B_OK);
	EXPECT_EQ(read_host_file(HostPath("/boot/stub")), stubBytes)
		<< "the stub is left as it was";

	std::vector<uint8> written = read_host_file(HostPath("/boot/installer"));
	ASSERT_EQ((size_t)payloadOffset + package.size(), written.size());
	EXPECT_TRUE(std::equal(image.begin(), image.end(), written.begin()));
	EXPECT_TRUE(std::equal(package.begin(), package.end(),
		written.begin() + payloadOffset));

	BResources installer("/boot/installer");
	uint8 offset[4];
	ASSERT_EQ(installer.ReadResource('INsz', 0, offset, 0, 4), 4);
	EXPECT_EQ((off_t)read_bendian_uint32(offset), payloadOffset);
	EXPECT_TRUE(installer.HasResource('8BMP', "yellowicon"));
	EXPECT_TRUE(installer.HasResource('MIMS', "BEOS:APP_SIG"));
	EXPECT_EQ(image.size() + installer.FlattenedSize(), (size_t)payloadOffset);

	MakeFile("/boot/text", "not a program");
	BFile text("/boot/text", B_READ_ONLY);
	EXPECT_EQ(write_executable_with_resources(&text, &resources, &payload,
		&output, 'INsz', 0, nullptr), B_BAD_TYPE);
}

TEST_F(ResourcesTest, MergeFromAndWriteTo)
{
	MakeExecutable("/boot/apps/Source");
	MakeExecutable("/boot/apps/Target");
	MakeExecutable("/boot/apps/Copy");
	{
		BResources source("/boot/apps/Source");
		ASSERT_EQ(source.AddResource('CSTR', 1, "from source", 12, "text"), B_OK);
		ASSERT_EQ(source.AddResource('LONG', 2, "\1\0\0\0", 4), B_OK);
	}
	{
		BResources target("/boot/apps/Target");
		ASSERT_EQ(target.AddResource('CSTR', 1, "replaced", 9, "old"), B_OK);
		ASSERT_EQ(target.AddResource('CSTR', 3, "kept", 5), B_OK);
		BFile source("/boot/apps/Source", B_READ_ONLY);
		ASSERT_EQ(target.MergeFrom(&source), B_OK);
		ASSERT_EQ(target.Sync(), B_OK);
	}
	BResources target("/boot/apps/Target");
	char text[16] = {};
	EXPECT_EQ(target.ReadResource('CSTR', 1, text, 0, sizeof(text)), 12);
	EXPECT_STREQ(text, "from source");
	EXPECT_TRUE(target.HasResource('CSTR', "text"));
	EXPECT_FALSE(target.HasResource('CSTR', "old"));
	EXPECT_TRUE(target.HasResource('CSTR', 3));
	EXPECT_TRUE(target.HasResource('LONG', 2));

	// WriteTo replaces the other file's resources and follows it.
	BFile copy("/boot/apps/Copy", B_READ_WRITE);
	ASSERT_EQ(target.WriteTo(&copy), B_OK);
	ASSERT_EQ(target.AddResource('CSTR', 4, "after", 6), B_OK);
	ASSERT_EQ(target.Sync(), B_OK);
	BResources copied("/boot/apps/Copy");
	EXPECT_TRUE(copied.HasResource('CSTR', 3));
	EXPECT_TRUE(copied.HasResource('CSTR', 4)) << "later changes go to the copy";
	BResources original("/boot/apps/Target");
	EXPECT_FALSE(original.HasResource('CSTR', 4));
}
