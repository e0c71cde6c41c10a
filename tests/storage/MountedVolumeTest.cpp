#include <Directory.h>
#include <File.h>
#include <SystemRoot.h>
#include <Node.h>
#include <TypeConstants.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include <TempRoot.h>

#include <cstring>
#include <filesystem>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

// Real file systems mounted as volumes of the root: a private mount
// namespace of the test process, so nothing is seen outside it.
class MountedVolumeTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		if (geteuid() != 0)
			GTEST_SKIP() << "mounting volumes needs root";
		static bool sPrivate = false;
		if (!sPrivate) {
			if (unshare(CLONE_NEWNS) != 0)
				GTEST_SKIP() << "no private mount namespace here: " << strerror(errno);
			if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
				GTEST_SKIP() << "mounts cannot be made private: " << strerror(errno);
			sPrivate = true;
			// Descriptors opened before keep seeing the old namespace's
			// mounts: open the root again inside the new one.
			ASSERT_EQ(set_system_root(fRoot.HostPath().c_str()), B_OK);
		}
	}

	void TearDown() override
	{
		for (const std::string& point : fMounts)
			umount2(point.c_str(), MNT_DETACH);
	}

	// Mounts a file system as the volume name; false when the host refuses.
	bool Mount(const char* type, const std::string& name, const char* options,
		unsigned long flags = 0)
	{
		std::string point = fRoot.HostPath(name);
		fs::create_directories(point);
		if (mount(type, point.c_str(), type, flags, options) != 0)
			return false;
		fMounts.push_back(point);
		return true;
	}

	BVolume VolumeNamed(const char* wanted)
	{
		BVolumeRoster roster;
		BVolume volume;
		char name[B_FILE_NAME_LENGTH];
		while (roster.GetNextVolume(&volume) == B_OK) {
			if (volume.GetName(name) == B_OK && strcmp(name, wanted) == 0)
				return volume;
		}
		return BVolume();
	}

	std::vector<std::string> fMounts;
};

TEST_F(MountedVolumeTest, SmallVolumeReportsItsSpaceAndFillsUp)
{
	if (!Mount("tmpfs", "Small", "size=256k"))
		GTEST_SKIP() << "tmpfs cannot be mounted: " << strerror(errno);
	BVolume small = VolumeNamed("Small");
	ASSERT_EQ(small.InitCheck(), B_OK);
	EXPECT_LE(small.Capacity(), 256 * 1024);
	EXPECT_GT(small.FreeBytes(), 0);
	EXPECT_LE(small.FreeBytes(), 256 * 1024);
	EXPECT_FALSE(small.IsReadOnly());
	// Attribute support is probed, never assumed: it matches the host.
	bool hostKeepsAttrs = setxattr(fRoot.HostPath("Small").c_str(), "user.t", "1", 1, 0) == 0;
	EXPECT_EQ(small.KnowsAttr(), hostKeepsAttrs);

	BFile file("/Small/big", B_WRITE_ONLY | B_CREATE_FILE);
	ASSERT_EQ(file.InitCheck(), B_OK);
	std::vector<char> chunk(64 * 1024, 'x');
	ssize_t result = 0;
	for (int i = 0; i < 8 && result >= 0; i++)
		result = file.Write(chunk.data(), chunk.size());
	EXPECT_EQ(result, B_DEVICE_FULL);
	EXPECT_LT(small.FreeBytes(), 64 * 1024);
}

TEST_F(MountedVolumeTest, VolumeWithoutAttributes)
{
	if (!Mount("ramfs", "Ram", nullptr))
		GTEST_SKIP() << "ramfs cannot be mounted: " << strerror(errno);
	BVolume ram = VolumeNamed("Ram");
	ASSERT_EQ(ram.InitCheck(), B_OK);
	EXPECT_FALSE(ram.KnowsAttr());
	EXPECT_FALSE(ram.KnowsMime());
	EXPECT_FALSE(ram.KnowsQuery());
	EXPECT_TRUE(ram.IsPersistent());

	BFile file("/Ram/file", B_READ_WRITE | B_CREATE_FILE);
	ASSERT_EQ(file.InitCheck(), B_OK);
	EXPECT_EQ(file.Write("data", 4), 4);
	EXPECT_EQ(file.WriteAttr("name", B_STRING_TYPE, 0, "x", 2), B_UNSUPPORTED);
	attr_info info;
	EXPECT_NE(file.GetAttrInfo("name", &info), B_OK);
	char name[B_ATTR_NAME_LENGTH];
	EXPECT_EQ(file.GetNextAttrName(name), B_ENTRY_NOT_FOUND);
	// The creation time falls back to what the host knows.
	time_t created;
	EXPECT_EQ(file.GetCreationTime(&created), B_OK);
}

TEST_F(MountedVolumeTest, ReadOnlyVolume)
{
	if (!Mount("tmpfs", "Locked", "size=64k", MS_RDONLY))
		GTEST_SKIP() << "a read-only tmpfs cannot be mounted: " << strerror(errno);
	BVolume locked = VolumeNamed("Locked");
	ASSERT_EQ(locked.InitCheck(), B_OK);
	EXPECT_TRUE(locked.IsReadOnly());

	BFile file("/Locked/file", B_WRITE_ONLY | B_CREATE_FILE);
	EXPECT_EQ(file.InitCheck(), B_READ_ONLY_DEVICE);
	BDirectory root;
	ASSERT_EQ(locked.GetRootDirectory(&root), B_OK);
	EXPECT_EQ(root.CreateDirectory("folder", nullptr), B_READ_ONLY_DEVICE);
	EXPECT_EQ(create_directory("/Locked/a/b", 0755), B_READ_ONLY_DEVICE);
	EXPECT_EQ(root.CountEntries(), 0);
}
