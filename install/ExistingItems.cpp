#include "ExistingItems.h"

#include "ArchiveItem.h"
#include "ChoiceRecorder.h"
#include "DestManager.h"
#include "DoError.h"
#include "FileContentIO.h"
#include "InstallPlan.h"
#include "ItemHelpers.h"
#include "ReplaceDialog.h"
#include "RunEvents.h"

#include <AppFileInfo.h>
#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <File.h>
#include <Node.h>
#include <Path.h>
#include <StorageDefs.h>
#include <Volume.h>

#include <cstdio>
#include <cstring>
#include <limits>

namespace {

const char* const kNoUniqueName = "Could not create a unique file name!";
const char* const kVolumeFullFormat = "The volume \"%s\" is full: \"%s\" could not be written.";
const char* const kFolderNotCreatedFormat = "The folder \"%s\" could not be created (%s).";
const char* const kDamagedDataText = "The package file is corrupt: the data of \"%s\" are not "
	"of the size the package gives for it.";

// The text as a format that shows it unchanged.
std::string
FormatEscaped(const char* text)
{
	std::string escaped;
	for (const char* c = text; *c != '\0'; c++) {
		if (*c == '%')
			escaped += '%';
		escaped += *c;
	}
	return escaped;
}


// `format` with the "%s" at `slot` replaced by `text`, so that the alert
// formats the item's name alone into it.
std::string
FillSlot(std::string format, size_t slot, const char* text)
{
	return format.replace(slot, 2, FormatEscaped(text));
}


// The full-volume alert's format for the volume that holds `dir`.
std::string
VolumeFullFormat(BDirectory* dir)
{
	char volumeName[B_FILE_NAME_LENGTH] = "";
	node_ref folder;
	if (dir != nullptr && dir->GetNodeRef(&folder) == B_OK)
		BVolume(folder.device).GetName(volumeName);
	std::string format = kVolumeFullFormat;
	return FillSlot(format, format.find("%s"), volumeName);
}


// The continue-or-cancel question about the item `name` that could not be
// installed; the run keeps why (`reason`), and whether it ends there.
status_t
AskToGoOn(const char* format, const char* name, const std::string& reason,
	DestManager* manager)
{
	if (manager != nullptr) {
		manager->NoteItemFailed();
		manager->NoteFailure(name, reason);
	}
	std::string shown = alert_item_name(name);
	bool goOn = doError(format, shown.c_str(), errCONTINUE, kItemErrorCancelLabel) == 0;
	ChoiceRecorder::NoteErrorAnswer(goOn);
	if (goOn)
		return B_OK;
	if (manager != nullptr)
		manager->NoteStoppedAtFailure();
	return B_CANCELED;
}


// Through the run's manager, so that a run that ends early, or dies, gives
// the entry its name back.
status_t
RenameAndRecord(BDirectory* dir, BEntry* entry, const char* newName, DestManager* manager)
{
	if (manager != nullptr)
		return manager->RenameAside(dir, entry, newName);
	return entry->Rename(newName, false);
}

// The replace dialog's question and its answer, in the action names every
// reader of the program's JSON knows.
void
TellReplaceAnswer(const std::string& text, int32 choice)
{
	if (!RunEvents::Watched())
		return;
	RunQuestion question;
	question.fKind = "replace";
	question.fText = text;
	question.fChoices = { "replace", "rename existing", "skip", "cancel" };
	switch (choice) {
		case kReplaceExistingChoice:
			question.fAnswer = "replace";
			break;
		case kRenameExistingChoice:
			question.fAnswer = "rename existing";
			break;
		case kSkipItemChoice:
			question.fAnswer = "skip";
			break;
		default:
			question.fAnswer = "cancel";
			break;
	}
	RunEvents::Asked(question);
}

} // namespace


void
AppendPostfix(char* buffer, int32 size, const char* postfix, int32 length)
{
	if (length < 0)
		length = (int32)strlen(buffer);
	int32 postfixSize = (int32)strlen(postfix) + 1;
	if (postfixSize > size)
		return;
	if (length > size - postfixSize)
		length = size - postfixSize;
	memcpy(buffer + length, postfix, postfixSize);
}


status_t
RenameExisting(BDirectory* dir, BEntry* entry, const char* postfix,
	DestManager* manager)
{
	if (entry == nullptr)
		return B_OK;

	char oldName[B_FILE_NAME_LENGTH];
	status_t status = entry->GetName(oldName);
	if (status != B_OK)
		return status;
	char name[B_FILE_NAME_LENGTH];
	strcpy(name, oldName);
	AppendPostfix(name, sizeof(name), postfix, -1);
	if (!dir->Contains(name))
		return RenameAndRecord(dir, entry, name, manager);

	// name.old is taken: name.old.old1, name.old.old2, ...
	int32 baseLength = (int32)strlen(name);
	char suffix[B_FILE_NAME_LENGTH];
	for (int32 n = 1; n < std::numeric_limits<int32>::max(); n++) {
		snprintf(suffix, sizeof(suffix), "%s%d", postfix, (int)n);
		AppendPostfix(name, sizeof(name), suffix, baseLength);
		if (!dir->Contains(name))
			return RenameAndRecord(dir, entry, name, manager);
	}
	// Renaming onto the last candidate would fail anyway; the caller
	// passes the item over instead of writing it beside an entry it could
	// not move.
	doError(kNoUniqueName);
	return B_NAME_IN_USE;
}


int
CompareVersions(const version_info* a, const version_info* b)
{
	const int32 first[5] = { (int32)a->major, (int32)a->middle,
		(int32)a->minor, (int32)a->variety, (int32)a->internal };
	const int32 second[5] = { (int32)b->major, (int32)b->middle,
		(int32)b->minor, (int32)b->variety, (int32)b->internal };
	for (int i = 0; i < 5; i++) {
		// A signed 32-bit difference, as the stored numbers are compared.
		int32 difference = (int32)((uint32)first[i] - (uint32)second[i]);
		if (difference > 0)
			return 1;
		if (difference < 0)
			return -1;
	}
	return 0;
}


status_t
handleInstallError(const char* format, const char* argument, status_t,
	DestManager* manager)
{
	std::string name = alert_item_name(argument);
	return AskToGoOn(format, argument, alert_text(format, name.c_str()), manager);
}


status_t
handleWriteError(BDirectory* dir, const char* name, status_t failure, DestManager* manager)
{
	const char* reason = write_error_reason(failure);
	if (failure == B_DEVICE_FULL) {
		std::string format = VolumeFullFormat(dir);
		return AskToGoOn(format.c_str(), name, reason, manager);
	}
	if (failure == kContentSizeMismatch)
		return AskToGoOn(kDamagedDataText, name, reason, manager);
	return AskToGoOn(kDecompressFailedText, name, reason, manager);
}


void
reportFolderNotCreated(BDirectory* dir, const char* name, status_t failure,
	DestManager* manager)
{
	std::string shown = alert_item_name(name);
	std::string text;
	// The folder it goes into was never made (it was passed over).
	if (dir == nullptr || dir->InitCheck() != B_OK)
		text = alert_text(kNoDestinationText, shown.c_str());
	else {
		std::string format = kFolderNotCreatedFormat;
		format = FillSlot(format, format.rfind("%s"), strerror_status(failure));
		text = alert_text(format.c_str(), shown.c_str());
	}
	if (manager != nullptr)
		manager->NoteFailure(name, text);
	doError(text.c_str());
}


const char*
write_error_reason(status_t failure)
{
	if (failure == B_DEVICE_FULL)
		return "the volume is full";
	if (failure == kContentSizeMismatch)
		return "its data in the package are damaged";
	return "its data could not be decompressed";
}


std::string
ExistingItemText(uint8 kind, const char* name, BDirectory* dir)
{
	BEntry dirEntry;
	BPath path;
	const char* where = "";
	if (dir != nullptr && dir->GetEntry(&dirEntry) == B_OK && dirEntry.GetPath(&path) == B_OK)
		where = path.Path();

	std::string text;
	switch (kind) {
		case kNewerVersionReplaceKind:
		case kNewerCreationReplaceKind:
		case kNewerModificationReplaceKind:
			text = std::string("An item named \"") + name + "\"\n";
			break;
		default:
			return std::string("An item with the name \"") + name + "\" already exists in\n\""
				+ where + "\"";
	}
	if (kind == kNewerVersionReplaceKind)
		text += "with a newer version already exists in\n\"";
	else if (kind == kNewerCreationReplaceKind)
		text += "with a newer creation time already exists in\n\"";
	else
		text += "with a newer modification time already exists in\n\"";
	return text + where + "\"";
}


status_t
GetExistingVersion(const BEntry* entry, version_info* version)
{
	BFile file(entry, B_READ_ONLY);
	status_t status = file.InitCheck();
	if (status != B_OK)
		return status;
	BAppFileInfo info(&file);
	return info.GetVersionInfo(version, B_APP_VERSION_KIND);
}


version_info
ItemVersion(const int32 numbers[5])
{
	version_info version = {};
	version.major = (uint32)numbers[0];
	version.middle = (uint32)numbers[1];
	version.minor = (uint32)numbers[2];
	version.variety = (uint32)numbers[3];
	version.internal = (uint32)numbers[4];
	return version;
}


int32
AskReplaceChoice(DestManager* manager, BDirectory* dir, const char* name, uint8 kind)
{
	// A plan asks nobody: the answer is the one the unattended run gives.
	if (const PlanAnswers* answers = manager->Planning())
		return answers->fReplaceChoice;
	int32 choice = manager->fReplaceChoice;
	if (manager->fDontAsk)
		return choice;

	std::string text = ExistingItemText(kind, name, dir);
	// The dialog runs in its own thread; this one waits until it has quit.
	ReplaceDialog* dialog = new ReplaceDialog(&choice, &manager->fDontAsk, text.data(), kind);
	dialog->Go();
	ChoiceRecorder::NoteReplaceAnswer(choice);
	if (choice != B_CANCELED)
		manager->fReplaceChoice = (int16)choice;
	TellReplaceAnswer(text, choice);
	return choice;
}
