#include "ArchiveScriptItem.h"

#include "DestManager.h"
#include "DoError.h"
#include "ExistingItems.h"
#include "InstallLogText.h"
#include "InstallPack.h"
#include "ItemHelpers.h"
#include "PackAttrib.h"
#include "RunEvents.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <File.h>
#include <Message.h>
#include <Path.h>
#include <ScriptRunner.h>

#include <atomic>
#include <cstring>

namespace {

// Every script is written to this name, one after the other.
const char* const kScriptFileName = "tmpscript00001";

// The script runs for its owner only: it is the installer's own file.
const mode_t kScriptPermissions = 0700;

std::atomic<uint32> sRunnerFlags(0);

void
WriteLog(DestManager* manager, const char* text)
{
	if (!manager->fLogging)
		return;
	BFile* log = manager->LogFile();
	if (log != nullptr && manager->fLogging)
		log->Write(text, strlen(text));
}

} // namespace


ArchiveScriptItem::ArchiveScriptItem()
	:
	fLastExitStatus(-1)
{
}


ArchiveScriptItem::~ArchiveScriptItem()
{
}


void
ArchiveScriptItem::SetRunnerFlags(uint32 flags)
{
	sRunnerFlags = flags;
}


status_t
ArchiveScriptItem::ExtractItem(InstallPack* pack, BDirectory* parent,
	DestManager* manager, uint32 groups, bool skip)
{
	fLastExitStatus = -1;
	if ((fGroups & groups) == 0)
		return B_OK;
	if (skip) {
		send_item_progress(pack, manager->AllocSize(fSize));
		return B_OK;
	}
	send_current_file(pack, fName);
	if (manager->fCanceled)
		return B_CANCELED;

	BDirectory* folder = manager->DirectoryFor(fDestIndex, parent, fCustom, true,
		nullptr);
	RunEvents::ItemStarted(manager, folder, fName, "script");
	if (folder == nullptr) {
		return handleInstallError(
			"Destination directory for \"%s\" could not be found.", fName,
			B_ENTRY_NOT_FOUND, manager);
	}

	BEntry script;
	status_t status = manager->fTempDir.CreateFile(kScriptFileName, nullptr, false);
	if (status == B_OK)
		status = manager->fTempDir.FindEntry(kScriptFileName, &script);
	if (status != B_OK) {
		return handleInstallError("Error creating new file \"%s\".", fName,
			status, manager);
	}

	bool run = true;
	status = _FillScript(pack, &script, manager, &run);
	if (status != B_OK)
		return status;

	int64 extra = manager->AllocExtra(fSize);
	if (extra != 0)
		send_item_progress(pack, extra);

	WriteLog(manager, log_script_text(fName).c_str());

	status_t result = B_OK;
	if (run) {
		manager->NoteScriptRan(fName, folder);
		if (_Run(pack, &script, folder, manager, &fLastExitStatus) == B_CANCELED) {
			pack->fCancel = true;
			result = B_CANCELED;
		}
		bool failed = fLastExitStatus != 0 && fLastExitStatus != -1;
		if (failed && manager->fAttrib != nullptr && manager->fAttrib->fScriptFailure) {
			manager->NoteFailure(fName, _ExitText());
			result = -1;
		}
	}
	script.Remove();
	return result;
}


std::string
ArchiveScriptItem::_ExitText() const
{
	return std::string("the script \"") + (fName != nullptr ? fName : "")
		+ "\" exited with status " + std::to_string(fLastExitStatus);
}


// Writes the stored script into the temporary file. B_OK when the item goes
// on (`run` false: the script is not to run), otherwise the item's result.
status_t
ArchiveScriptItem::_FillScript(InstallPack* pack, BEntry* script,
	DestManager* manager, bool* run)
{
	if ((pack->fArchiveFlags & kScriptDataNotStored) != 0) {
		// The package carries no script data: the file stays empty.
		send_item_progress(pack, fSize);
		return pack->fCancel ? B_CANCELED : B_OK;
	}

	BFile file(script, B_READ_WRITE);
	status_t status = file.InitCheck();
	if (status == B_OK)
		status = pack->ExtractFile(&file, fOffset);
	if (status == B_CANCELED) {
		file.Unset();
		script->Remove();
		return B_CANCELED;
	}
	pack->ResetDecompress();
	if (status < B_OK) {
		return handleInstallError(
			"Encountered an error when decompressing the file \"%s\".", fName,
			status, manager);
	}

	off_t size = -1;
	if (file.GetSize(&size) != B_OK || size != fSize) {
		doError("Warning, input and output file sizes do not match. The file "
			"\"%s\" may be corrupt.", fName, errCONTINUE);
		*run = false;
	}
	return B_OK;
}


// Runs the script in `folder` with its output in the log (or read and
// dropped when logging is off), until it ends or the run is cancelled
// (B_CANCELED). *exitStatus: the script's, or -1 when it could not be
// started or was ended by the cancel.
status_t
ArchiveScriptItem::_Run(InstallPack* pack, BEntry* script, BDirectory* folder,
	DestManager* manager, int32* _exitStatus)
{
	*_exitStatus = -1;
	BPath scriptPath;
	BEntry folderEntry;
	BPath folderPath;
	if (script->GetPath(&scriptPath) != B_OK || folder->GetEntry(&folderEntry) != B_OK
		|| folderEntry.GetPath(&folderPath) != B_OK)
		return B_OK;
	// The stored permissions are the package's; the installer's copy is run
	// by its owner only.
	script->SetPermissions(kScriptPermissions);

	ScriptRunner runner(sRunnerFlags);
	runner.SetWorkingDirectory(folderPath.Path());
	BFile* log = manager->fLogging ? manager->LogFile() : nullptr;
	runner.SetOutput(manager->fLogging ? log : nullptr);
	runner.SetCancelFlag(&pack->fCancelFlag);

	int32 exitStatus = -1;
	status_t status = runner.Run(scriptPath.Path(), nullptr, &exitStatus);
	if (status != B_OK)
		return status == B_CANCELED ? B_CANCELED : B_OK;

	// The reader of the log learns when the script did not run in its view.
	std::string note = std::string("(Shell script ") + (fName != nullptr ? fName : "");
	if (runner.Refused()) {
		WriteLog(manager, (note + " was not run: the system offers it no isolated view, and run"
			" by root without one it could change any file of the host)\n").c_str());
	} else if (!runner.RanIsolated()) {
		note += " ran without an isolated view of the system";
		if (runner.ViewError() != B_OK)
			note += std::string(": ") + strerror_status(runner.ViewError());
		WriteLog(manager, (note + ")\n").c_str());
	}
	*_exitStatus = exitStatus;
	return B_OK;
}
