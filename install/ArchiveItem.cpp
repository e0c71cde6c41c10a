#include "ArchiveItem.h"

#include "CreatePath.h"
#include "DestManager.h"
#include "DoError.h"
#include "ExistingItems.h"

#include <AppFileInfo.h>
#include <Entry.h>

#include <cstdlib>
#include <cstring>

const char* const kNoDestinationText
	= "Destination directory for \"%s\" could not be found.";
const char* const kFileNotCreatedText = "Error creating new file \"%s\".";
const char* const kDecompressFailedText
	= "Encountered an error when decompressing the file \"%s\".";
const char* const kLinkNotCreatedText = "Error creating symbolic link \"%s\".";


ArchiveItem::ArchiveItem()
	:
	fName(nullptr)
{
	Unset();
}


ArchiveItem::ArchiveItem(const ArchiveItem& other)
	:
	ListItem(),
	fGroups(other.fGroups),
	fDestIndex(other.fDestIndex),
	fCustom(other.fCustom),
	fReplaceOption(other.fReplaceOption),
	fSize(other.fSize),
	fCreationTime(other.fCreationTime),
	fModificationTime(other.fModificationTime),
	fPlatform(other.fPlatform),
	fOffset(other.fOffset),
	fMode(other.fMode),
	fName(other.fName != nullptr ? strdup(other.fName) : nullptr)
{
	memcpy(fVersion, other.fVersion, sizeof(fVersion));
}


ArchiveItem::~ArchiveItem()
{
	free(fName);
}


namespace {

const char* const kOldPostfix = ".old";

time_t
CreationTimeOf(const BEntry* entry)
{
	time_t time = 0;
	entry->GetCreationTime(&time);
	return time;
}


time_t
ModificationTimeOf(const BEntry* entry)
{
	time_t time = 0;
	entry->GetModificationTime(&time);
	return time;
}


// True when the existing entry could not be renamed for want of a free name:
// the item is then not written beside it.
bool
RenameFailsForName(BDirectory* dir, BEntry* existing, DestManager* manager)
{
	return RenameExisting(dir, existing, kOldPostfix, manager) == B_NAME_IN_USE;
}

} // namespace


existing_decision
ArchiveItem::DecideExisting(const BEntry* existing) const
{
	const version_info itemVersion = ItemVersion(fVersion);
	version_info existingVersion;
	// Compared as unsigned: a negative option is no option either.
	switch ((uint32)fReplaceOption) {
		case kAskReplace:
		case kMergeFolderOrAsk:
			return { kAskAboutExisting, kPlainReplaceKind };
		case kNeverReplace:
			return { kKeepExistingAction, kPlainReplaceKind };
		case kRenameOld:
			return { kRenameExistingAction, kPlainReplaceKind };
		case kReplaceUnlessNewerVersion:
			if (GetExistingVersion(existing, &existingVersion) == B_OK
				&& CompareVersions(&existingVersion, &itemVersion) == 1)
				return { kKeepExistingAction, kPlainReplaceKind };
			return { kReplaceExistingAction, kPlainReplaceKind };
		case kReplaceIfCreatedLater:
			return { (time_t)fCreationTime > CreationTimeOf(existing)
				? kReplaceExistingAction : kKeepExistingAction, kPlainReplaceKind };
		case kReplaceIfModifiedLater:
			return { (time_t)fModificationTime > ModificationTimeOf(existing)
				? kReplaceExistingAction : kKeepExistingAction, kPlainReplaceKind };
		case kAlwaysReplace:
			return { kReplaceExistingAction, kPlainReplaceKind };
		case kAskIfNotOlderVersion:
			if (GetExistingVersion(existing, &existingVersion) != B_OK
				|| CompareVersions(&existingVersion, &itemVersion) == -1)
				return { kReplaceExistingAction, kNewerVersionReplaceKind };
			return { kAskAboutExisting, kNewerVersionReplaceKind };
		case kAskIfCreatedEarlier:
			return { (time_t)fCreationTime >= CreationTimeOf(existing)
				? kReplaceExistingAction : kAskAboutExisting, kNewerCreationReplaceKind };
		case kAskIfModifiedEarlier:
			return { (time_t)fModificationTime >= ModificationTimeOf(existing)
				? kReplaceExistingAction : kAskAboutExisting,
				kNewerModificationReplaceKind };
		default:
			return { kUnknownOptionAction, kPlainReplaceKind };
	}
}


existing_action
ArchiveItem::ActionForChoice(int32 choice)
{
	switch (choice) {
		case kRenameExistingChoice:
			return kRenameExistingAction;
		case kReplaceExistingChoice:
			return kReplaceExistingAction;
		default:
			return kKeepExistingAction;
	}
}


bool
ArchiveItem::HandleExisting(BDirectory* dir, BEntry* existing, bool& skip,
	DestManager* manager, status_t* result)
{
	skip = false;
	existing_decision decision = DecideExisting(existing);
	existing_action action = decision.fAction;
	if (action == kMergeIntoExisting)
		return false;
	if (action == kUnknownOptionAction)
		doError("Unrecognized replacement option encountered.");
	if (action == kAskAboutExisting) {
		int32 choice = AskReplaceChoice(manager, dir, fName, decision.fKind);
		if (choice == B_CANCELED && result != nullptr)
			*result = B_CANCELED;
		action = ActionForChoice(choice);
	}
	switch (action) {
		case kRenameExistingAction:
			skip = RenameFailsForName(dir, existing, manager);
			break;
		case kReplaceExistingAction:
			skip = !manager->SafeDelete(existing, dir);
			break;
		default:
			skip = true;
			break;
	}
	_NoteKept(dir, skip, result, manager);
	return !skip;
}


// An entry kept in place of the item is in the run's receipt (not for a
// cancelled run, which leaves none).
void
ArchiveItem::_NoteKept(BDirectory* dir, bool skip, status_t* result, DestManager* manager)
{
	if (skip && (result == nullptr || *result != B_CANCELED))
		manager->NoteKeptExisting(dir, fName, kExistingSkipped);
}


void
ArchiveItem::Unset()
{
	fGroups = 1;
	fDestIndex = kParentFolderDestination;
	fCustom = false;
	fReplaceOption = 0;
	fSize = 0;
	fCreationTime = 0;
	fModificationTime = 0;
	fPlatform = -1;
	fOffset = -1;
	fMode = 0777;
	memset(fVersion, 0, sizeof(fVersion));
}


void
ArchiveItem::AdoptName(char* name)
{
	free(fName);
	fName = name;
}


bool
ArchiveItem::IsSelected(uint32 groups, DestManager* manager) const
{
	return (fGroups & groups) != 0 && manager->InstallPlatform(fPlatform);
}


void
ArchiveItem::SetTimes(BStatable* node)
{
	node->SetModificationTime(fModificationTime);
	node->SetCreationTime(fCreationTime);
}


mode_t
ArchiveItem::InstalledPermissions() const
{
	mode_t packaged = (mode_t)fMode & 0777;
	return (packaged & ~file_creation_mask()) | (packaged & 0111);
}
