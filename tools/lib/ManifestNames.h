#ifndef _MANIFEST_NAMES_H
#define _MANIFEST_NAMES_H

// The names a manifest may give instead of numbers, and the listing shows
// instead of numbers: replacement options ("ask-if-newer-version") and the
// system folders of destinations, named after the platform's directory
// constants (B_USER_SETTINGS_DIRECTORY is "user settings").

#include <SupportDefs.h>

#include <string>

class ManifestNames {
public:
	// The option of a replacement name; false for an unknown name.
	static bool FindReplaceOption(const std::string& name, int32* option);
	// The name of a replacement option, or null for one that has none.
	static const char* ReplaceOptionName(int32 option);

	// The directory constant of a system folder's name; false for an
	// unknown name.
	static bool FindDirectory(const std::string& name, int32* which);
	// The name of a directory constant, or null for a number that is none.
	static const char* DirectoryName(int32 which);
};

#endif // _MANIFEST_NAMES_H
