#include "InstallLooper.h"

#include "ArcCatalog.h"
#include "ArchiveFolderItem.h"
#include "ArchivePatchItem.h"
#include "ChoiceRecorder.h"
#include "DestManager.h"
#include "DoError.h"
#include "InstallLogText.h"
#include "InstallOutcome.h"
#include "InstallPack.h"
#include "InterruptWatch.h"
#include "ItemHelpers.h"
#include "PackAttrib.h"
#include "PatchInfoWind.h"
#include "ProcessorPair.h"
#include "RunEvents.h"
#include "SPackData.h"
#include "StatusView.h"
#include "StatusWindow.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <File.h>
#include <Looper.h>
#include <Message.h>
#include <OS.h>
#include <View.h>

#include <cstdio>
#include <ctime>

namespace {

const int32 kCloseButton = 1;
const char* const kCannotBegin = "Sorry installation cannot begin.";
const char* const kNoOriginalsText
	= "Cannot install because files to be patched were not found.";
// How often a run waiting for the volume's run lock asks again.
const bigtime_t kLockRetryInterval = 50000;

const int32 kWorkerPriority = 10;
const int32 kWorkerPortCapacity = 100;

} // namespace


const char* const kFinishedQuestion = "Installation is finished. Would you like to "
	"continue performing installations or close the installer?";


InstallLooper::InstallLooper(InstallPack* pack)
	:
	BLooper("install looper", kWorkerPriority, kWorkerPortCapacity),
	fStatusWindow(nullptr),
	fPack(pack),
	fCatalog(nullptr),
	fTopGroups(0),
	fTotalBytes(0),
	fPatchIndex(0),
	fPatches(nullptr),
	fInsideTopFolder(false),
	fTopFolderDir(nullptr)
{
}


InstallLooper::~InstallLooper()
{
	_DeletePatches();
	delete fCatalog;
}


thread_id
InstallLooper::Run()
{
	fStatusWindow = new StatusWindow(BRect(0, 0, 260, 90), "Install");
	fStatusWindowMessenger = BMessenger(fStatusWindow);
	if (fStatusWindow->Lock()) {
		BView* view = fStatusWindow->FindView("statview");
		if (view != nullptr)
			fPack->fStatusMessenger = BMessenger(view);
		fStatusWindow->Unlock();
	}
	return BLooper::Run();
}


void
InstallLooper::MessageReceived(BMessage* message)
{
	if (message->what == kInstallMessage)
		DoExtractItems(message);
}


bool
InstallLooper::QuitRequested()
{
	// When the application quits, it may have closed the progress window
	// already: there is nothing left to close then, and the window may no
	// longer be touched through its pointer.
	if (fStatusWindow == nullptr || !fStatusWindowMessenger.IsValid())
		return true;
	// It may also close between the check and the request: gone is closed.
	status_t status = fStatusWindowMessenger.SendMessage(B_QUIT_REQUESTED);
	if (status != B_OK && status != B_BAD_PORT_ID)
		doError("Error closing status window!");
	return true;
}


void
InstallLooper::InitInstall()
{
	fPack->fCancel = false;
	delete fCatalog;
	fCatalog = new ArcCatalog;
}


void
InstallLooper::FinishInstall()
{
	delete fCatalog;
	fCatalog = nullptr;
}


void
InstallLooper::DoExtractItems(BMessage* message)
{
	BMessage windowDone(kInstallDoneMessage);
	fPack->fCancelFlag.Clear();
	bool finished = false;
	bool extracted = false;
	bool interrupted = false;
	{
		// Signals turn into a cancel only while a run can put things back.
		InterruptWatch interruptWatch(&fPack->fCancelFlag);
		finished = _RunInstall(message, &windowDone, &extracted);
		interrupted = InterruptWatch::Requested();
	}
	// Whoever interrupted the program wants it to end, after everything
	// displaced is back (or the completed run is finished), without being
	// asked. The closing question is asked with the signals' usual effect
	// back: the run is over and leaves nothing to put back, and a signal
	// must not wait for a person to answer.
	bool close = interrupted;
	if (finished && !interrupted) {
		close = doError(kFinishedQuestion, nullptr, kFinishedContinueLabel,
			kFinishedCloseLabel) == kCloseButton;
	}
	if (extracted) {
		BMessage progressDone(kInstallDoneMessage);
		_SendToProgress(&progressDone);
	}
	// "close" is told once extraction has begun, and before only to end
	// the program.
	if (extracted || close)
		windowDone.AddBool("close", close);
	fWindowMessenger.SendMessage(&windowDone, (BHandler*)nullptr, B_INFINITE_TIMEOUT);
	FinishInstall();
}


// The whole run, but for its closing question; `windowDone` gets how the
// run ended, and "completed" once extraction has begun. Whether the run
// went through to its end (every item installed, or passed over after
// "Continue"); `extracted` tells whether it came to extract (its progress
// window then waits for the last 'Done').
bool
InstallLooper::_RunInstall(BMessage* message, BMessage* windowDone, bool* extracted)
{
	InitInstall();
	uint32 groups = (uint32)message->FindInt32("groups");
	fTotalBytes = find_byte_count(message, "bytes");
	int32 itemCount = message->FindInt32("item count");
	DestManager* manager = nullptr;
	message->FindPointer("destinations", (void**)&manager);
	if (manager == nullptr) {
		InstallOutcome(kRunNotStarted).AddTo(windowDone);
		return false;
	}
	if (!_BeginRun(manager, windowDone))
		return false;
	manager->SetReceiptGroups(groups);

	fTopGroups = manager->fAttrib != nullptr ? manager->fAttrib->fInstallFolderGroups : 0;
	if (!manager->fCreateTopFolder)
		fTopGroups = 0;
	_DeletePatches();
	fPatches = new RList<ArchivePatchItem*>;

	std::string stopReason;
	if (!_PreparePatches(manager, groups, &itemCount, &stopReason)) {
		// Nothing was displaced: this only removes the empty temporary
		// folder.
		manager->FinishInstall(false, nullptr);
		_DeletePatches();
		bool interrupted = InterruptWatch::Requested();
		InstallOutcome(interrupted ? kRunCancelled : kRunNotStarted, std::string(),
			stopReason).AddTo(windowDone);
		return false;
	}

	BMessage start(kInstallMessage);
	start.AddInt32("item count", itemCount);
	add_byte_count(&start, "bytes", fTotalBytes);
	start.AddPointer("cancel flag", &fPack->fCancelFlag);
	_SendToProgress(&start);
	manager->TellRunStart(itemCount, fTotalBytes);
	*extracted = true;

	fPatchIndex = 0;
	fPack->BeginDecompression();
	if (manager->fLogging) {
		_WriteLog(manager, log_header_text(
			manager->fAttrib != nullptr ? manager->fAttrib->fPackageName : nullptr, time(nullptr)));
	}

	status_t status;
	{
		// Every chunk written waits for the progress window's answer.
		ProcessorPair together(_ProgressThread());
		status = _ExtractionPass(manager, groups);
	}
	// The run has completed when it ends without error and no signal came
	// before this point; from here on nothing is undone.
	bool interrupted = InterruptWatch::Requested();
	if (interrupted && status >= B_OK)
		status = B_CANCELED;

	if (manager->fLogging)
		_WriteLog(manager, log_footer_text(status == B_CANCELED, time(nullptr)));
	// A run that failed is undone as a cancelled one is.
	manager->FinishInstall(status < B_OK, nullptr);

	if (status >= B_OK) {
		BMessage done(kInstallDoneMessage);
		_SendToProgress(&done);
	}

	_DeletePatches();
	// Items passed over after an error leave the package not installed.
	windowDone->AddBool("completed", status >= B_OK && manager->FailedItems() == 0);
	_RunOutcome(status, interrupted, manager).AddTo(windowDone);
	return status >= B_OK;
}


// Completed when every item was installed; cancelled by a signal or a
// "Cancel" that was not the answer to an item's failure; otherwise failed,
// naming the item the run stopped at (or passed over last) and why.
InstallOutcome
InstallLooper::_RunOutcome(status_t status, bool interrupted, DestManager* manager) const
{
	bool wentOn = status >= B_OK;
	if (wentOn && manager->FailedItems() == 0)
		return InstallOutcome(kRunCompleted);
	if (status == B_CANCELED && (interrupted || !manager->StoppedAtFailure()))
		return InstallOutcome(kRunCancelled);
	if (!manager->FailureReason().empty()) {
		return InstallOutcome(kRunFailed, manager->FailedItemName(),
			manager->FailureReason(), wentOn);
	}
	return InstallOutcome(kRunFailed, _PackageName(manager), strerror_status(status));
}


std::string
InstallLooper::_PackageName(DestManager* manager) const
{
	if (manager->fAttrib == nullptr || manager->fAttrib->fPackageName == nullptr)
		return std::string();
	return manager->fAttrib->fPackageName;
}


// Takes the volume's run lock, then makes the run's temporary folder. False
// when the run cannot begin (after an alert) or was interrupted while
// waiting for the lock.
bool
InstallLooper::_BeginRun(DestManager* manager, BMessage* windowDone)
{
	bool waited = false;
	status_t status = _LockVolume(manager, &waited);
	if (status == B_OK && manager->MakeTempFolder())
		return true;

	if (status != B_CANCELED)
		doError(kCannotBegin);
	InstallOutcome(status == B_CANCELED ? kRunCancelled : kRunNotStarted, std::string(),
		status == B_CANCELED ? std::string() : kCannotBegin).AddTo(windowDone);
	// Releases the lock; nothing was displaced.
	manager->FinishInstall(false, nullptr);
	if (waited) {
		BMessage progressDone(kInstallDoneMessage);
		_SendToProgress(&progressDone);
	}
	return false;
}


// Waits while another run holds the target volume's run lock, telling the
// person once (the progress window, and standard error for a run nobody
// watches). B_CANCELED when a signal ends the wait.
status_t
InstallLooper::_LockVolume(DestManager* manager, bool* waited)
{
	status_t status = manager->LockVolume();
	if (status != B_BUSY)
		return status;

	*waited = true;
	std::string text = "Waiting for another installation on volume \""
		+ manager->VolumeName() + "\" to finish...";
	fprintf(stderr, "%s\n", text.c_str());
	fflush(stderr);
	BMessage waiting(kStatusStart);
	waiting.AddString("text", text.c_str());
	waiting.AddBool("cancelable", true);
	waiting.AddInt32("item count", 0);
	waiting.AddInt32("bytes", 0);
	_SendToProgress(&waiting);

	while ((status = manager->LockVolume()) == B_BUSY) {
		if (InterruptWatch::Requested() || _CancelPressed())
			return B_CANCELED;
		snooze(kLockRetryInterval);
	}
	return status;
}


// Asks the progress window, as a progress report does, whether its "Cancel"
// was pressed: while a run waits for the volume nothing else reports.
bool
InstallLooper::_CancelPressed()
{
	BMessage report(kProgressMessage);
	report.AddInt32("bytes", 0);
	BMessage reply;
	if (fPack->fStatusMessenger.SendMessage(&report, &reply, B_INFINITE_TIMEOUT,
			kLockRetryInterval * 20) != B_OK)
		return false;
	return reply.GetBool("canceled", false);
}


status_t
InstallLooper::_ExtractionPass(DestManager* manager, uint32 groups)
{
	status_t status = B_ERROR;
	fPack->SetFile();
	bool opened = fCatalog->Set(fPack) == B_OK;
	bool walked = opened && fCatalog->Rewind() == B_OK;
	if (walked)
		status = InstallEntries(nullptr, manager, groups, true, false);
	// A catalog that ends early (the package changed since it was opened)
	// fails the run; its end is never taken for the end of the items. An
	// item that failed has told why already.
	status_t catalogStatus = fCatalog->Status();
	if (opened && catalogStatus != B_OK && (!walked || status >= B_OK)) {
		manager->NoteFailure(_PackageName(manager).c_str(),
			InstallPack::CatalogErrorText(catalogStatus));
		InstallPack::ShowCatalogError(catalogStatus);
		status = catalogStatus;
	}
	fCatalog->Unset();
	fPack->ClearFile();
	fPack->EndDecompression();
	return status;
}


bool
InstallLooper::_PreparePatches(DestManager* manager, uint32 groups, int32* itemCount,
	std::string* stopReason)
{
	fPack->SetFile();
	if (fCatalog->Set(fPack) == B_OK && fCatalog->Rewind() == B_OK)
		FindPatches(nullptr, manager, groups, true);
	fInsideTopFolder = false;
	fTopFolderDir = nullptr;
	status_t catalogStatus = fCatalog->Status();
	fCatalog->Unset();
	fPack->ClearFile();

	// A cancelled choice among several query results ends the run.
	if (manager->fCanceled)
		return false;
	if (catalogStatus != B_OK) {
		*stopReason = InstallPack::CatalogErrorText(catalogStatus);
		InstallPack::ShowCatalogError(catalogStatus);
		return false;
	}
	if (fPatches->IsEmpty())
		return true;

	bool originalFound = false;
	for (int32 i = 0; i < fPatches->CountItems(); i++) {
		ArchivePatchItem* patch = fPatches->ItemAt(i);
		BEntry original(&patch->fOriginalRef);
		if (patch->fOriginalRef.name != nullptr && original.Exists()) {
			originalFound = true;
			continue;
		}
		patch->fOriginalRef.device = -1;
		patch->fOriginalRef.directory = -1;
		(*itemCount)--;
		fTotalBytes -= patch->fSize;
	}
	if (!originalFound) {
		*stopReason = kNoOriginalsText;
		doError(kNoOriginalsText);
		return false;
	}
	return _ConfirmPatches(manager, &manager->fDeleteOriginals);
}


// The patch window lists the originals found and asks; the worker waits
// until it has gone.
bool
InstallLooper::_ConfirmPatches(DestManager*, bool* deleteOriginals)
{
	bool confirmed = false;
	PatchInfoWind* window = new PatchInfoWind(fPatches, &confirmed, deleteOriginals);
	window->Go();
	RunQuestion question;
	question.fKind = "patches";
	question.fText = "Patches will be applied to the files found.";
	question.fChoices = { "continue, keeping the originals",
		"continue, deleting the originals", "cancel" };
	question.fAnswer = !confirmed ? "cancel" : *deleteOriginals
		? "continue, deleting the originals" : "continue, keeping the originals";
	RunEvents::Asked(question);
	if (confirmed)
		ChoiceRecorder::NoteKeptOriginals(!*deleteOriginals);
	return confirmed;
}


bool
InstallLooper::_IsSelectedFolder(ArchiveFolderItem* folder, uint32 groups,
	bool topFolder, DestManager* manager) const
{
	if (!folder->IsSelected(groups, manager))
		return false;
	return !topFolder || (folder->fGroups & fTopGroups) != 0;
}


void
InstallLooper::FindPatches(BDirectory* parent, DestManager* manager, uint32 groups,
	bool topFolder)
{
	ArchiveItem* item = nullptr;
	fCatalog->GetFolderData(&item);
	ArchiveFolderItem* folder = static_cast<ArchiveFolderItem*>(item);

	BDirectory* destination = nullptr;
	if (folder != nullptr && _IsSelectedFolder(folder, groups, topFolder, manager))
		destination = _PatchPassDirectory(folder, parent, manager, nullptr);
	if (manager->fCanceled)
		return;

	// Nothing is created in this pass: only a folder that is there holds
	// originals. The top folder too is the folder of its name inside its
	// destination (the install folder), where the extraction pass makes
	// it and puts what it holds.
	BDirectory own;
	if (destination != nullptr && is_plain_entry_name(folder->fName)) {
		BEntry entry(destination, folder->fName);
		if (entry.IsDirectory())
			own.SetTo(&entry);
	}
	BDirectory* ownDir = own.InitCheck() == B_OK ? &own : nullptr;
	if (topFolder && destination != nullptr && manager->fCreateTopFolder) {
		// The extraction pass makes the top folder the install folder of
		// everything inside it.
		fInsideTopFolder = true;
		fTopFolderDir = ownDir;
	}

	for (;;) {
		int32 kind = fCatalog->GetFolderItemType();
		if (kind == 0)
			return;
		if (kind == kFolderItemKind) {
			FindPatches(ownDir, manager, groups, false);
			if (manager->fCanceled)
				return;
			continue;
		}
		fCatalog->GetItemData(&item, kind);
		if (kind != kPatchItemKind || item == nullptr || !item->IsSelected(groups, manager))
			continue;
		ArchivePatchItem* patch = static_cast<ArchivePatchItem*>(item);
		patch->fOriginalRef = entry_ref(-1, -1, nullptr);
		_PatchPassDirectory(patch, ownDir, manager, patch);
		fPatches->AddItem(new ArchivePatchItem(*patch));
		if (manager->fCanceled)
			return;
	}
}


// The item's destination as the extraction pass will find it. Inside a top
// folder that the run makes, "the install folder" is that top folder: the
// one there now, none while there is none.
BDirectory*
InstallLooper::_PatchPassDirectory(ArchiveItem* item, BDirectory* parent,
	DestManager* manager, ArchivePatchItem* patch)
{
	int32 index = item->fDestIndex;
	if (fInsideTopFolder && !item->fCustom && index == kInstallFolderDestination) {
		if (fTopFolderDir == nullptr)
			return nullptr;
		index = kParentFolderDestination;
		parent = fTopFolderDir;
	}
	return manager->DirectoryFor(index, parent, item->fCustom, false, patch);
}


status_t
InstallLooper::InstallEntries(BDirectory* parent, DestManager* manager, uint32 groups,
	bool topFolder, bool skip)
{
	ArchiveItem* item = nullptr;
	fCatalog->GetFolderData(&item);
	ArchiveFolderItem* folder = static_cast<ArchiveFolderItem*>(item);

	// Stays unset when the folder is not made: what it holds is skipped.
	BDirectory own;
	status_t status = B_OK;
	if (folder != nullptr && !skip && _IsSelectedFolder(folder, groups, topFolder, manager)) {
		folder->fIsTop = topFolder;
		folder->fDirOut = &own;
		status = folder->ExtractItem(fPack, parent, manager, groups, false);
		folder->fDirOut = nullptr;
		if (own.InitCheck() != B_OK)
			skip = true;
		if (status < B_OK)
			return status;
	}

	for (;;) {
		if (InterruptWatch::Requested()) {
			fPack->fCancel = true;
			return B_CANCELED;
		}
		int32 kind = fCatalog->GetFolderItemType();
		if (kind == 0)
			break;
		if (kind == kFolderItemKind) {
			status = InstallEntries(&own, manager, groups, false, skip);
			if (status < B_OK)
				return status;
			continue;
		}
		fCatalog->GetItemData(&item, kind);
		if (item == nullptr || !item->IsSelected(groups, manager))
			continue;
		if (kind == kPatchItemKind) {
			// The prepared copy, with its original found in the patch pass.
			item = fPatches->ItemAt(fPatchIndex++);
			if (item == nullptr)
				continue;
		} else if (kind != kFileItemKind && kind != kScriptItemKind
			&& kind != kLinkItemKind)
			continue;
		status = item->ExtractItem(fPack, &own, manager, groups, skip);
		if (status < B_OK)
			return status;
	}
	return status;
}


void
InstallLooper::_WriteLog(DestManager* manager, const std::string& text)
{
	BFile* log = manager->LogFile();
	if (manager->fLogging)
		log->Write(text.data(), text.size());
}


void
InstallLooper::_DeletePatches()
{
	if (fPatches == nullptr)
		return;
	fPatches->MakeEmptyAndDelete();
	delete fPatches;
	fPatches = nullptr;
}


// The thread of the progress window, which answers the run's progress.
thread_id
InstallLooper::_ProgressThread() const
{
	BLooper* looper = nullptr;
	fPack->fStatusMessenger.Target(&looper);
	return looper != nullptr ? looper->Thread() : -1;
}


void
InstallLooper::_SendToProgress(BMessage* message)
{
	fPack->fStatusMessenger.SendMessage(message, (BHandler*)nullptr, B_INFINITE_TIMEOUT);
}
