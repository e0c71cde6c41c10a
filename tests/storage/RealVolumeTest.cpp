// Volumes that are real file systems: an ext4 image, a read-only mount and a
// vfat image, mounted in the test's own mount namespace (MountedVolume.h).

#include <MountedVolume.h>
#include <ScratchDir.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

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
