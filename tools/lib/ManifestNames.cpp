#include "ManifestNames.h"

#include <FindDirectory.h>

namespace {

struct named_value {
	const char* name;
	int32 value;
};

const named_value kReplaceNames[] = {
	{"ask", 0},
	{"never", 1},
	{"rename", 2},
	{"unless-newer-version", 3},
	{"if-newer-creation", 4},
	{"if-newer-modification", 5},
	{"merge", 6},
	{"update-only", 7},
	{"ask-if-newer-version", 8},
	{"ask-if-newer-creation", 9},
	{"ask-if-newer-modification", 10},
};

// Every constant the platform's find_directory knows, by its name without
// the "B_" and "_DIRECTORY" around it, in lower case with spaces.
const named_value kDirectoryNames[] = {
	{"desktop", B_DESKTOP_DIRECTORY},
	{"trash", B_TRASH_DIRECTORY},
	{"beos", B_BEOS_DIRECTORY},
	{"beos system", B_BEOS_SYSTEM_DIRECTORY},
	{"beos addons", B_BEOS_ADDONS_DIRECTORY},
	{"beos boot", B_BEOS_BOOT_DIRECTORY},
	{"beos fonts", B_BEOS_FONTS_DIRECTORY},
	{"beos lib", B_BEOS_LIB_DIRECTORY},
	{"beos servers", B_BEOS_SERVERS_DIRECTORY},
	{"beos apps", B_BEOS_APPS_DIRECTORY},
	{"beos bin", B_BEOS_BIN_DIRECTORY},
	{"beos etc", B_BEOS_ETC_DIRECTORY},
	{"beos documentation", B_BEOS_DOCUMENTATION_DIRECTORY},
	{"beos preferences", B_BEOS_PREFERENCES_DIRECTORY},
	{"common", B_COMMON_DIRECTORY},
	{"common system", B_COMMON_SYSTEM_DIRECTORY},
	{"common addons", B_COMMON_ADDONS_DIRECTORY},
	{"common boot", B_COMMON_BOOT_DIRECTORY},
	{"common fonts", B_COMMON_FONTS_DIRECTORY},
	{"common lib", B_COMMON_LIB_DIRECTORY},
	{"common servers", B_COMMON_SERVERS_DIRECTORY},
	{"common bin", B_COMMON_BIN_DIRECTORY},
	{"common etc", B_COMMON_ETC_DIRECTORY},
	{"common documentation", B_COMMON_DOCUMENTATION_DIRECTORY},
	{"common settings", B_COMMON_SETTINGS_DIRECTORY},
	{"common develop", B_COMMON_DEVELOP_DIRECTORY},
	{"common log", B_COMMON_LOG_DIRECTORY},
	{"common spool", B_COMMON_SPOOL_DIRECTORY},
	{"common temp", B_COMMON_TEMP_DIRECTORY},
	{"common var", B_COMMON_VAR_DIRECTORY},
	{"user", B_USER_DIRECTORY},
	{"user config", B_USER_CONFIG_DIRECTORY},
	{"user addons", B_USER_ADDONS_DIRECTORY},
	{"user boot", B_USER_BOOT_DIRECTORY},
	{"user fonts", B_USER_FONTS_DIRECTORY},
	{"user lib", B_USER_LIB_DIRECTORY},
	{"user settings", B_USER_SETTINGS_DIRECTORY},
	{"user deskbar", B_USER_DESKBAR_DIRECTORY},
	{"apps", B_APPS_DIRECTORY},
	{"preferences", B_PREFERENCES_DIRECTORY},
};


template<size_t N>
bool
FindValue(const named_value (&table)[N], const std::string& name, int32* value)
{
	for (const named_value& entry : table) {
		if (name == entry.name) {
			*value = entry.value;
			return true;
		}
	}
	return false;
}


template<size_t N>
const char*
FindName(const named_value (&table)[N], int32 value)
{
	for (const named_value& entry : table) {
		if (entry.value == value)
			return entry.name;
	}
	return nullptr;
}

} // namespace


bool
ManifestNames::FindReplaceOption(const std::string& name, int32* option)
{
	return FindValue(kReplaceNames, name, option);
}


const char*
ManifestNames::ReplaceOptionName(int32 option)
{
	return FindName(kReplaceNames, option);
}


bool
ManifestNames::FindDirectory(const std::string& name, int32* which)
{
	return FindValue(kDirectoryNames, name, which);
}


const char*
ManifestNames::DirectoryName(int32 which)
{
	return FindName(kDirectoryNames, which);
}
