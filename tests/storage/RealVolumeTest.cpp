// Volumes that are real file systems: an ext4 image, a read-only mount and a
// volume without attributes (vfat, or ramfs where the kernel has no vfat),
// mounted in the test's own mount namespace (MountedVolume.h).

#include "ExtrasFixture.h"

#include <File.h>
#include <MountedVolume.h>
#include <Node.h>
#include <Path.h>
#include <Query.h>
#include <ScratchDir.h>
#include <TypeConstants.h>
#include <Volume.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <memory>

TEST(MountedVolume, MountsTheFileSystemsItNames)
{
	ScratchDir dir;
	MountedVolume ext4, vfat, readOnly;
	SKIP_UNLESS_MOUNTED(ext4.Mount(MountedVolume::kExt4, dir / "ext4", 4));
	SKIP_UNLESS_MOUNTED(vfat.MountWithoutAttributes(dir / "vfat"));
	SKIP_UNLESS_MOUNTED(readOnly.Mount(MountedVolume::kTmpfs, dir / "ro", 1,
		true, [](const std::string& path) {
			close(open((path + "/kept").c_str(), O_CREAT | O_WRONLY, 0644));
		}));

	struct statfs info;
	ASSERT_EQ(statfs(ext4.MountPoint().c_str(), &info), 0);
	EXPECT_EQ(info.f_type, EXT4_SUPER_MAGIC);
	ASSERT_EQ(statfs(vfat.MountPoint().c_str(), &info), 0);
	EXPECT_EQ(info.f_type, vfat.GetKind() == MountedVolume::kVfat
		? MSDOS_SUPER_MAGIC : RAMFS_MAGIC);
	ASSERT_EQ(statfs(readOnly.MountPoint().c_str(), &info), 0);
	EXPECT_EQ(info.f_type, TMPFS_MAGIC);
	EXPECT_TRUE(info.f_flags & ST_RDONLY);
	EXPECT_EQ(access((readOnly.MountPoint() + "/kept").c_str(), F_OK), 0)
		<< "populated before it became read-only";

	// What the storage kit probes: ext4 keeps user attributes, vfat does not.
	std::string onExt4 = ext4.MountPoint() + "/probe";
	close(open(onExt4.c_str(), O_CREAT | O_WRONLY, 0644));
	EXPECT_EQ(setxattr(onExt4.c_str(), "user.test", "x", 1, 0), 0);
	std::string onVfat = vfat.MountPoint() + "/probe";
	close(open(onVfat.c_str(), O_CREAT | O_WRONLY, 0644));
	EXPECT_NE(setxattr(onVfat.c_str(), "user.test", "x", 1, 0), 0);

	struct stat parent, mountPoint;
	ASSERT_EQ(stat(dir.Path().c_str(), &parent), 0);
	ASSERT_EQ(stat((dir / "ext4").c_str(), &mountPoint), 0);
	EXPECT_NE(mountPoint.st_dev, parent.st_dev);
	ext4.Unmount();
	ASSERT_EQ(stat((dir / "ext4").c_str(), &mountPoint), 0);
	EXPECT_EQ(mountPoint.st_dev, parent.st_dev) << "unmounted again";
}

namespace {

class RealVolumeTest : public ExtrasTest {
protected:
	void SetUp() override
	{
		ExtrasTest::SetUp();
		// The root was chosen before the namespace existed: choose it again
		// from inside, so the kit sees what is mounted there.
		SKIP_UNLESS_MOUNTED(MountedVolume::EnterPrivateNamespace());
		ASSERT_EQ(set_system_root(fRoot.HostPath().c_str()), B_OK);
	}

	// Mounts a file system as the volume `name` of the root and finds it.
	std::string MountVolume(MountedVolume& mounted, MountedVolume::Kind kind,
		const char* name, bool readOnly = false)
	{
		std::string failure = mounted.Mount(kind, fRoot.HostPath(name), 8,
			readOnly);
		if (failure.empty() && GetVolume(name, &fVolume) != B_OK)
			failure = std::string("no volume ") + name + " in the root";
		return failure;
	}

	static void ExpectMatchesHost(const BVolume& volume, const std::string& host)
	{
		struct statvfs st;
		ASSERT_EQ(statvfs(host.c_str(), &st), 0);
		EXPECT_EQ(volume.Capacity(), (off_t)st.f_blocks * st.f_frsize) << host;
		EXPECT_EQ(volume.FreeBytes(), (off_t)st.f_bavail * st.f_frsize) << host;
	}

	BVolume fVolume;
};

std::vector<uint8>
attribute_value(size_t size, uint8 fill)
{
	return std::vector<uint8>(size, fill);
}

} // namespace

TEST_F(RealVolumeTest, PropertiesOfRealFileSystems)
{
	MountedVolume ext4, readOnly, noAttributes;
	SKIP_UNLESS_MOUNTED(MountVolume(ext4, MountedVolume::kExt4, "disk"));
	BVolume disk = fVolume;
	SKIP_UNLESS_MOUNTED(MountVolume(readOnly, MountedVolume::kTmpfs, "cdrom", true));
	BVolume cdrom = fVolume;
	SKIP_UNLESS_MOUNTED(noAttributes.MountWithoutAttributes(fRoot.HostPath("stick")));
	ASSERT_EQ(GetVolume("stick", &fVolume), B_OK);
	BVolume stick = fVolume;

	EXPECT_NE(disk.Device(), cdrom.Device());
	EXPECT_NE(disk.Device(), stick.Device());

	ExpectMatchesHost(disk, ext4.MountPoint());
	EXPECT_GT(disk.Capacity(), 4 * 1024 * 1024);
	EXPECT_LT(disk.Capacity(), 9 * 1024 * 1024);
	off_t freeBefore = disk.FreeBytes();
	{
		BFile file("/disk/megabyte", B_READ_WRITE | B_CREATE_FILE);
		ASSERT_EQ(file.InitCheck(), B_OK);
		std::vector<uint8> data(1024 * 1024, 1);
		ASSERT_EQ(file.Write(data.data(), data.size()), (ssize_t)data.size());
		ASSERT_EQ(file.Sync(), B_OK);
	}
	int diskFd = open(ext4.MountPoint().c_str(), O_RDONLY | O_CLOEXEC);
	syncfs(diskFd);
	close(diskFd);
	EXPECT_LE(disk.FreeBytes(), freeBefore - 1024 * 1024);
	ExpectMatchesHost(disk, ext4.MountPoint());

	EXPECT_FALSE(disk.IsReadOnly());
	EXPECT_TRUE(cdrom.IsReadOnly());
	BFile onCdrom("/cdrom/new", B_READ_WRITE | B_CREATE_FILE);
	EXPECT_EQ(onCdrom.InitCheck(), B_READ_ONLY_DEVICE);

	EXPECT_TRUE(disk.KnowsAttr());
	EXPECT_TRUE(disk.KnowsMime());
	EXPECT_TRUE(disk.KnowsQuery());
	EXPECT_FALSE(stick.KnowsAttr());
	EXPECT_FALSE(stick.KnowsMime());
	EXPECT_FALSE(stick.KnowsQuery());

	// Attributes on a volume that keeps none fail cleanly; the data stays.
	MakeFile("/stick/file", std::string("contents"));
	BNode node("/stick/file");
	ASSERT_EQ(node.InitCheck(), B_OK);
	EXPECT_LT(node.WriteAttr("note", B_STRING_TYPE, 0, "hello", 6), 0);
	attr_info info;
	EXPECT_NE(node.GetAttrInfo("note", &info), B_OK);
	char name[B_ATTR_NAME_LENGTH];
	EXPECT_EQ(node.GetNextAttrName(name), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(read_host_file(HostPath("/stick/file")).size(), 8u);
}

TEST_F(RealVolumeTest, FullDiskLeavesNoPartialAttribute)
{
	MountedVolume ext4;
	SKIP_UNLESS_MOUNTED(MountVolume(ext4, MountedVolume::kExt4, "disk"));
	std::vector<uint8> value = attribute_value(600, 0x5A);
	// ext4 shares equal attribute blocks between nodes: the attribute that
	// must fail differs from the one written while there is room.
	std::vector<uint8> other = attribute_value(600, 0x5B);

	// An attribute of that size fits while there is room, so a later
	// failure can only come from the full disk.
	BFile before("/disk/before", B_READ_WRITE | B_CREATE_FILE);
	ASSERT_EQ(before.WriteAttr("payload", B_RAW_TYPE, 0, value.data(),
		value.size()), (ssize_t)value.size());
	BFile after("/disk/after", B_READ_WRITE | B_CREATE_FILE);
	ASSERT_EQ(after.InitCheck(), B_OK);

	BFile filler("/disk/filler", B_READ_WRITE | B_CREATE_FILE);
	std::vector<uint8> block(64 * 1024, 7);
	ssize_t written;
	off_t total = 0;
	while ((written = filler.Write(block.data(), block.size())) > 0)
		total += written;
	EXPECT_EQ(written, B_DEVICE_FULL);
	EXPECT_GT(total, 1024 * 1024);
	// ext4 still hands out its last few blocks one at a time: take them.
	ASSERT_EQ(filler.Sync(), B_OK);
	for (int i = 0; i < 1000; i++) {
		BFile small(("/disk/small" + std::to_string(i)).c_str(),
			B_READ_WRITE | B_CREATE_FILE);
		if (small.InitCheck() != B_OK
			|| small.Write(block.data(), 1024) != 1024 || small.Sync() != B_OK)
			break;
	}

	EXPECT_EQ(after.WriteAttr("payload", B_RAW_TYPE, 0, other.data(),
		other.size()), B_DEVICE_FULL);
	attr_info info;
	EXPECT_EQ(after.GetAttrInfo("payload", &info), B_ENTRY_NOT_FOUND);
	char name[B_ATTR_NAME_LENGTH];
	EXPECT_EQ(after.RewindAttrs(), B_OK);
	EXPECT_EQ(after.GetNextAttrName(name), B_ENTRY_NOT_FOUND);
	char host[256];
	EXPECT_LT(getxattr(HostPath("/disk/after").c_str(), "user.payload", host,
		sizeof(host)), 0);

	// The attribute written before is whole.
	std::vector<uint8> read(value.size());
	EXPECT_EQ(before.ReadAttr("payload", B_RAW_TYPE, 0, read.data(), read.size()),
		(ssize_t)read.size());
	EXPECT_EQ(read, value);
}

TEST_F(RealVolumeTest, QueriesStayOnTheirVolume)
{
	MakeFile("/boot/apps/Tool", std::string(4321, 'a'));
	MakeFile("/Data/Tool", std::string(4321, 'b'));
	// A file system mounted inside boot, and Data bound into boot: both are
	// other volumes' contents, whatever the host's device numbers say.
	MountedVolume inside;
	SKIP_UNLESS_MOUNTED(inside.Mount(MountedVolume::kTmpfs,
		HostPath("/boot/mnt"), 1));
	MakeFile("/boot/mnt/Tool", std::string(4321, 'c'));
	std::string bound = HostPath("/boot/bound");
	mkdir(bound.c_str(), 0755);
	ASSERT_EQ(mount(HostPath("/Data").c_str(), bound.c_str(), nullptr, MS_BIND,
		nullptr), 0) << strerror(errno);
	std::unique_ptr<const char, void (*)(const char*)> unbind(bound.c_str(),
		[](const char* path) { umount2(path, MNT_DETACH); });

	BVolume boot;
	ASSERT_EQ(GetVolume("boot", &boot), B_OK);
	BQuery query;
	ASSERT_EQ(query.SetVolume(&boot), B_OK);
	ASSERT_EQ(query.SetPredicate("size = 4321"), B_OK);
	ASSERT_EQ(query.Fetch(), B_OK);
	entry_ref ref;
	ASSERT_EQ(query.GetNextRef(&ref), B_OK);
	BPath path(&ref);
	EXPECT_STREQ(path.Path(), "/boot/apps/Tool");
	EXPECT_EQ(query.GetNextRef(&ref), B_ENTRY_NOT_FOUND);
}
