#include <Directory.h>
#include <Entry.h>
#include <Path.h>
#include <SystemRoot.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include <TempRoot.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sys/statvfs.h>

namespace fs = std::filesystem;

class VolumeTest : public TempRootTest {
protected:
	std::map<std::string, dev_t> Volumes()
	{
		std::map<std::string, dev_t> volumes;
		BVolumeRoster roster;
		BVolume volume;
		char name[B_FILE_NAME_LENGTH];
		while (roster.GetNextVolume(&volume) == B_OK) {
			EXPECT_EQ(volume.GetName(name), B_OK);
			volumes[name] = volume.Device();
		}
		return volumes;
	}
};

TEST_F(VolumeTest, TheRootsVolumesWithNumbersAndNames)
{
	BVolumeRoster roster;
	BVolume boot;
	ASSERT_EQ(roster.GetBootVolume(&boot), B_OK);
	char name[B_FILE_NAME_LENGTH];
	ASSERT_EQ(boot.GetName(name), B_OK);
	EXPECT_STREQ(name, "boot");

	// The boot volume comes first; every volume has its own number.
	BVolume first;
	ASSERT_EQ(roster.GetNextVolume(&first), B_OK);
	EXPECT_EQ(first, boot);
	BVolume second;
	ASSERT_EQ(roster.GetNextVolume(&second), B_OK);
	ASSERT_EQ(second.GetName(name), B_OK);
	EXPECT_STREQ(name, "Data");
	EXPECT_NE(first.Device(), second.Device());
	BVolume none;
	EXPECT_EQ(roster.GetNextVolume(&none), B_BAD_VALUE);
	roster.Rewind();
	ASSERT_EQ(roster.GetNextVolume(&none), B_OK);
	EXPECT_EQ(none, boot);

	// Plain files in the root are not volumes.
	fRoot.WriteFile("stray", "x");
	EXPECT_EQ(Volumes().size(), 2u);

	// Entries and nodes report their volume.
	fRoot.WriteFile("Data/file", "x");
	BEntry entry("/Data/file");
	BVolume volume;
	ASSERT_EQ(entry.GetVolume(&volume), B_OK);
	EXPECT_EQ(volume, second);
	struct stat st;
	ASSERT_EQ(entry.GetStat(&st), B_OK);
	EXPECT_EQ(st.st_dev, second.Device());

	BDirectory rootDirectory;
	ASSERT_EQ(second.GetRootDirectory(&rootDirectory), B_OK);
	BEntry rootEntry;
	ASSERT_EQ(rootDirectory.GetEntry(&rootEntry), B_OK);
	BPath path(&rootEntry);
	EXPECT_STREQ(path.Path(), "/Data");

	BVolume bad(4242);
	EXPECT_EQ(bad.InitCheck(), B_BAD_VALUE);
	EXPECT_EQ(bad.GetName(name), B_BAD_VALUE);
	BVolume unset;
	EXPECT_EQ(unset.InitCheck(), B_NO_INIT);
}

TEST_F(VolumeTest, PropertiesComeFromTheHostFileSystem)
{
	BVolume boot;
	ASSERT_EQ(BVolumeRoster().GetBootVolume(&boot), B_OK);
	struct statvfs host;
	ASSERT_EQ(statvfs(fRoot.HostPath("boot").c_str(), &host), 0);
	off_t capacity = (off_t)host.f_blocks * host.f_frsize;
	EXPECT_EQ(boot.Capacity(), capacity);
	off_t freeBytes = boot.FreeBytes();
	EXPECT_GT(freeBytes, 0);
	EXPECT_LE(freeBytes, capacity);
	EXPECT_FALSE(boot.IsReadOnly());
	EXPECT_TRUE(boot.IsPersistent());
	EXPECT_FALSE(boot.IsRemovable());
	EXPECT_FALSE(boot.IsShared());
	// The test's temporary folder keeps user attributes (ext4, tmpfs).
	EXPECT_TRUE(boot.KnowsAttr());
	EXPECT_TRUE(boot.KnowsMime());
	EXPECT_TRUE(boot.KnowsQuery());
	EXPECT_EQ(boot.SetName("renamed"), B_UNSUPPORTED);
}

TEST_F(VolumeTest, LinkedVolumesAndMountChanges)
{
	std::string hostFolder = fRoot.HostPath() + "-disk";
	fs::create_directories(hostFolder);
	struct Cleanup {
		std::string path;
		~Cleanup() { fs::remove_all(path); }
	} cleanup{hostFolder};

	auto before = Volumes();
	fs::create_directory_symlink(hostFolder, fRoot.HostPath("Disk"));
	auto mounted = Volumes();
	ASSERT_EQ(mounted.size(), 3u);
	ASSERT_EQ(mounted.count("Disk"), 1u);
	// Volumes that stay mounted keep their numbers.
	EXPECT_EQ(mounted["boot"], before["boot"]);
	EXPECT_EQ(mounted["Data"], before["Data"]);

	BVolume disk(mounted["Disk"]);
	ASSERT_EQ(disk.InitCheck(), B_OK);
	BDirectory diskRoot;
	ASSERT_EQ(disk.GetRootDirectory(&diskRoot), B_OK);
	ASSERT_EQ(diskRoot.CreateFile("written", nullptr), B_OK);
	EXPECT_TRUE(fs::exists(hostFolder + "/written"));

	// Unmounted, then mounted again: a new number, the old one is gone.
	fs::remove(fRoot.HostPath("Disk"));
	EXPECT_EQ(Volumes().count("Disk"), 0u);
	EXPECT_EQ(BVolume(mounted["Disk"]).InitCheck(), B_BAD_VALUE);
	fs::create_directory_symlink(hostFolder, fRoot.HostPath("Disk"));
	auto remounted = Volumes();
	ASSERT_EQ(remounted.count("Disk"), 1u);
	EXPECT_NE(remounted["Disk"], mounted["Disk"]);

	// A link to something that is not a folder is no volume.
	fRoot.WriteFile("Data/plain", "x");
	fs::create_symlink(fRoot.HostPath("Data/plain"), fRoot.HostPath("NotAVolume"));
	EXPECT_EQ(Volumes().count("NotAVolume"), 0u);
}

TEST(SystemRootTest, ChoosingARootCreatesItWithBoot)
{
	TempRoot holder;
	ASSERT_EQ(holder.InitCheck(), B_OK);
	std::string fresh = holder.HostPath("Data/nested/newroot");
	ASSERT_EQ(set_system_root(fresh.c_str()), B_OK);
	EXPECT_TRUE(fs::is_directory(fresh + "/boot"));
	EXPECT_EQ(fs::canonical(system_root_host_path()), fs::canonical(fresh));
	BVolume boot;
	ASSERT_EQ(BVolumeRoster().GetBootVolume(&boot), B_OK);
	BDirectory root("/");
	EXPECT_EQ(root.CountEntries(), 1);
	EXPECT_EQ(set_system_root(nullptr), B_BAD_VALUE);
	EXPECT_EQ(set_system_root(""), B_BAD_VALUE);
}
