#include <Directory.h>
#include <FindDirectory.h>
#include <Path.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include <TempRoot.h>

#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

class FindDirectoryTest : public TempRootTest {};

TEST_F(FindDirectoryTest, FoldersOfTheBootVolume)
{
	struct Expected {
		directory_which which;
		const char* path;
	};
	const Expected expected[] = {
		{B_DESKTOP_DIRECTORY, "/boot/home/Desktop"},
		{B_TRASH_DIRECTORY, "/boot/home/Desktop/Trash"},
		{B_BEOS_DIRECTORY, "/boot/beos"},
		{B_BEOS_FONTS_DIRECTORY, "/boot/beos/etc/fonts"},
		{B_BEOS_PREFERENCES_DIRECTORY, "/boot/beos/preferences"},
		{B_COMMON_DIRECTORY, "/boot/home"},
		{B_COMMON_SETTINGS_DIRECTORY, "/boot/home/config/settings"},
		{B_COMMON_DEVELOP_DIRECTORY, "/boot/develop"},
		{B_COMMON_TEMP_DIRECTORY, "/boot/var/tmp"},
		{B_COMMON_VAR_DIRECTORY, "/boot/var"},
		{B_USER_DIRECTORY, "/boot/home"},
		{B_USER_CONFIG_DIRECTORY, "/boot/home/config"},
		{B_USER_SETTINGS_DIRECTORY, "/boot/home/config/settings"},
		{B_USER_DESKBAR_DIRECTORY, "/boot/home/config/be"},
		{B_APPS_DIRECTORY, "/boot/apps"},
		{B_PREFERENCES_DIRECTORY, "/boot/preferences"},
	};
	for (const Expected& item : expected) {
		BPath path;
		ASSERT_EQ(find_directory(item.which, &path), B_OK) << item.which;
		EXPECT_STREQ(path.Path(), item.path) << item.which;
	}
	EXPECT_EQ(B_USER_DIRECTORY, 3000);
	EXPECT_EQ(B_COMMON_TEMP_DIRECTORY, 2014);
	EXPECT_EQ(B_BEOS_PREFERENCES_DIRECTORY, 1011);
	EXPECT_EQ(B_PREFERENCES_DIRECTORY, 4001);

	// Without create nothing is made.
	EXPECT_FALSE(fs::exists(fRoot.HostPath("boot/home")));
	BPath path;
	EXPECT_EQ(find_directory((directory_which)999, &path), B_BAD_VALUE);
	EXPECT_EQ(find_directory((directory_which)2016, &path), B_BAD_VALUE);
	EXPECT_EQ(find_directory(B_APPS_DIRECTORY, nullptr), B_BAD_VALUE);
}

TEST_F(FindDirectoryTest, CreatesOnRequestAndOnOtherVolumes)
{
	BPath path;
	ASSERT_EQ(find_directory(B_COMMON_TEMP_DIRECTORY, &path, true), B_OK);
	EXPECT_TRUE(fs::is_directory(fRoot.HostPath("boot/var/tmp")));
	BDirectory temp(path.Path());
	EXPECT_EQ(temp.InitCheck(), B_OK);

	BVolumeRoster roster;
	BVolume volume;
	BVolume data;
	char name[B_FILE_NAME_LENGTH];
	while (roster.GetNextVolume(&volume) == B_OK) {
		volume.GetName(name);
		if (strcmp(name, "Data") == 0)
			data = volume;
	}
	ASSERT_EQ(data.InitCheck(), B_OK);
	ASSERT_EQ(find_directory(B_USER_SETTINGS_DIRECTORY, &path, true, &data), B_OK);
	EXPECT_STREQ(path.Path(), "/Data/home/config/settings");
	EXPECT_TRUE(fs::is_directory(fRoot.HostPath("Data/home/config/settings")));

	char buffer[B_PATH_NAME_LENGTH];
	ASSERT_EQ(find_directory(B_APPS_DIRECTORY, data.Device(), false, buffer, sizeof(buffer)),
		B_OK);
	EXPECT_STREQ(buffer, "/Data/apps");
	ASSERT_EQ(find_directory(B_APPS_DIRECTORY, (dev_t)-1, false, buffer, sizeof(buffer)),
		B_OK);
	EXPECT_STREQ(buffer, "/boot/apps");
	EXPECT_EQ(find_directory(B_APPS_DIRECTORY, (dev_t)-1, false, buffer, 5), B_NAME_TOO_LONG);

	// A file where the folder should be.
	fRoot.WriteFile("boot/develop", "file");
	EXPECT_EQ(find_directory(B_COMMON_DEVELOP_DIRECTORY, &path, true), B_NOT_A_DIRECTORY);
}
