#include <FindDirectory.h>

#include <Directory.h>
#include <Path.h>
#include <Volume.h>
#include <VolumeTable.h>

#include <cstring>

namespace {

struct FolderEntry {
	directory_which which;
	const char* path;
};

// The system's folders, relative to the volume they are asked for on.
const FolderEntry kFolders[] = {
	{B_DESKTOP_DIRECTORY, "home/Desktop"},
	{B_TRASH_DIRECTORY, "home/Desktop/Trash"},
	{B_BEOS_DIRECTORY, "beos"},
	{B_BEOS_SYSTEM_DIRECTORY, "beos/system"},
	{B_BEOS_ADDONS_DIRECTORY, "beos/system/add-ons"},
	{B_BEOS_BOOT_DIRECTORY, "beos/system/boot"},
	{B_BEOS_FONTS_DIRECTORY, "beos/etc/fonts"},
	{B_BEOS_LIB_DIRECTORY, "beos/system/lib"},
	{B_BEOS_SERVERS_DIRECTORY, "beos/system/servers"},
	{B_BEOS_APPS_DIRECTORY, "beos/apps"},
	{B_BEOS_BIN_DIRECTORY, "beos/bin"},
	{B_BEOS_ETC_DIRECTORY, "beos/etc"},
	{B_BEOS_DOCUMENTATION_DIRECTORY, "beos/documentation"},
	{B_BEOS_PREFERENCES_DIRECTORY, "beos/preferences"},
	{B_COMMON_DIRECTORY, "home"},
	{B_COMMON_SYSTEM_DIRECTORY, "home/config"},
	{B_COMMON_ADDONS_DIRECTORY, "home/config/add-ons"},
	{B_COMMON_BOOT_DIRECTORY, "home/config/boot"},
	{B_COMMON_FONTS_DIRECTORY, "home/config/fonts"},
	{B_COMMON_LIB_DIRECTORY, "home/config/lib"},
	{B_COMMON_SERVERS_DIRECTORY, "home/config/servers"},
	{B_COMMON_BIN_DIRECTORY, "home/config/bin"},
	{B_COMMON_ETC_DIRECTORY, "home/config/etc"},
	{B_COMMON_DOCUMENTATION_DIRECTORY, "home/config/documentation"},
	{B_COMMON_SETTINGS_DIRECTORY, "home/config/settings"},
	{B_COMMON_DEVELOP_DIRECTORY, "develop"},
	{B_COMMON_LOG_DIRECTORY, "var/log"},
	{B_COMMON_SPOOL_DIRECTORY, "var/spool"},
	{B_COMMON_TEMP_DIRECTORY, "var/tmp"},
	{B_COMMON_VAR_DIRECTORY, "var"},
	{B_USER_DIRECTORY, "home"},
	{B_USER_CONFIG_DIRECTORY, "home/config"},
	{B_USER_ADDONS_DIRECTORY, "home/config/add-ons"},
	{B_USER_BOOT_DIRECTORY, "home/config/boot"},
	{B_USER_FONTS_DIRECTORY, "home/config/fonts"},
	{B_USER_LIB_DIRECTORY, "home/config/lib"},
	{B_USER_SETTINGS_DIRECTORY, "home/config/settings"},
	{B_USER_DESKBAR_DIRECTORY, "home/config/be"},
	{B_APPS_DIRECTORY, "apps"},
	{B_PREFERENCES_DIRECTORY, "preferences"},
};

const char*
folder_for(directory_which which)
{
	for (const FolderEntry& entry : kFolders) {
		if (entry.which == which)
			return entry.path;
	}
	return nullptr;
}

status_t
folder_path(directory_which which, dev_t device, bool createIt, std::string* path)
{
	const char* folder = folder_for(which);
	if (folder == nullptr)
		return B_BAD_VALUE;
	VolumeTable& table = VolumeTable::Default();
	VolumeInfo volume;
	status_t status = device == (dev_t)-1 ? table.VolumeByName("boot", &volume)
		: table.VolumeByDevice(device, &volume);
	if (status != B_OK)
		return status == B_ENTRY_NOT_FOUND ? B_BAD_VALUE : status;
	*path = "/" + volume.name + "/" + folder;
	if (createIt) {
		status = create_directory(path->c_str(), 0755);
		if (status != B_OK)
			return status;
	}
	return B_OK;
}

}	// namespace

status_t
find_directory(directory_which which, BPath* path, bool createIt, BVolume* volume)
{
	if (path == nullptr)
		return B_BAD_VALUE;
	dev_t device = (dev_t)-1;
	if (volume != nullptr) {
		if (volume->InitCheck() != B_OK)
			return B_BAD_VALUE;
		device = volume->Device();
	}
	std::string folder;
	status_t status = folder_path(which, device, createIt, &folder);
	if (status != B_OK)
		return status;
	return path->SetTo(folder.c_str());
}

status_t
find_directory(directory_which which, dev_t volume, bool createIt, char* pathString,
	int32 length)
{
	if (pathString == nullptr || length <= 0)
		return B_BAD_VALUE;
	std::string folder;
	status_t status = folder_path(which, volume, createIt, &folder);
	if (status != B_OK)
		return status;
	if (folder.size() >= (size_t)length)
		return B_NAME_TOO_LONG;
	memcpy(pathString, folder.c_str(), folder.size() + 1);
	return B_OK;
}
