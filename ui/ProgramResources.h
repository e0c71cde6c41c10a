#ifndef _PROGRAM_RESOURCES_H
#define _PROGRAM_RESOURCES_H

// The resources the installer program carries behind its image and loads
// at run time, by type and name. Without them the help buttons show a black
// square and the list of files has no folder icons, so a program that is
// to become an installer's stub must carry every one of them.

#include <SupportDefs.h>

// Raw 8-bit colour-mapped pixels.
constexpr type_code kIconResourceType = '8BMP';
// 16 x 16 pixels of 32 bits.
constexpr type_code kQuestionResourceType = 'BMAP';

constexpr const char* kWarningIconName = "yellowicon";
constexpr const char* kFileIconName = "filesmall";
constexpr const char* kFolderIconName = "foldersmall";
constexpr const char* kQuestionMarkName = "question";

struct program_resource {
	type_code type;
	const char* name;
	// What shows it, for messages.
	const char* use;
};

constexpr program_resource kProgramResources[] = {
	{kIconResourceType, kWarningIconName, "the warning icon"},
	{kIconResourceType, kFileIconName, "the file icon"},
	{kIconResourceType, kFolderIconName, "the folder icon"},
	{kQuestionResourceType, kQuestionMarkName, "the help buttons' question mark"},
};

#endif // _PROGRAM_RESOURCES_H
