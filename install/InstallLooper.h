#ifndef _INSTALL_LOOPER_H
#define _INSTALL_LOOPER_H

// The install worker: a looper of its own that carries out one install run
// per install message ('Extr') from the install window, so that the window
// stays responsive. A run shows the progress window, prepares the binary
// patches and has the user confirm them, writes the log's header, lets every
// selected catalog item install itself, writes the footer, lets the
// destination manager delete (or, after a cancel, put back) what the run
// displaced, asks whether to go on, and tells the install window 'Done'.
//
// The install message: "archive item" (pointer, unused), "groups" (int32),
// "bytes" (int64, or int32), "item count" (int32), "destinations" (the
// DestManager, told where to install with SetTarget). One run at a time per
// volume: before it makes its temporary folder, a run takes the volume's
// run lock, waiting (and saying so once) while another run holds it, and it
// lets go once its displaced items are deleted or put back.
//
// A run that fails puts back what it displaced or renamed, as a cancelled
// one does. An interrupt or termination request (SIGINT, SIGTERM) before the
// run has completed cancels it as the progress window's Cancel does (both
// raise the package's cancel flag, which ends a running script at once); one
// after completion undoes nothing and skips the closing question. Either
// way the 'Done' to the install window carries "close" true, so that the
// program ends once the run is over; "completed" tells whether it was.
// 'Done' also carries how the run ended (an InstallOutcome: "outcome", and
// for a failed run the "item" it stopped at and the "reason").
// Outside a run the signals keep their usual effect.

#include "InstallOutcome.h"
#include "RList.h"

#include <string>

#include <Looper.h>
#include <Messenger.h>

class ArchiveFolderItem;
class ArchiveItem;
class ArchivePatchItem;
class ArcCatalog;
class BDirectory;
class DestManager;
class InstallPack;
class StatusWindow;

// The question a completed run asks, and its two answers.
extern const char* const kFinishedQuestion;
const char* const kFinishedContinueLabel = "Continue";
const char* const kFinishedCloseLabel = "Close";

enum {
	kInstallMessage = 'Extr',
	kInstallDoneMessage = 'Done'
};

class InstallLooper : public BLooper {
public:
	InstallLooper(InstallPack* pack);
	~InstallLooper() override;

	void MessageReceived(BMessage* message) override;
	// Creates the progress window, points the package's progress messages
	// at its view, then starts the looper's thread.
	thread_id Run() override;
	bool QuitRequested() override;

	void InitInstall();
	void DoExtractItems(BMessage* message);
	void FindPatches(BDirectory* parent, DestManager* manager, uint32 groups,
		bool topFolder);
	status_t InstallEntries(BDirectory* parent, DestManager* manager,
		uint32 groups, bool topFolder, bool skip);
	void FinishInstall();

	StatusWindow* fStatusWindow;
	// The progress window as long as it exists (the application may close
	// it before the worker quits).
	BMessenger fStatusWindowMessenger;
	InstallPack* fPack;
	ArcCatalog* fCatalog;
	uint32 fTopGroups;
	int64 fTotalBytes;
	int32 fPatchIndex;
	RList<ArchivePatchItem*>* fPatches;
	BMessenger fWindowMessenger;

private:
	bool _IsSelectedFolder(ArchiveFolderItem* folder, uint32 groups,
		bool topFolder, DestManager* manager) const;
	// The patch pass: every selected patch prepared in fPatches. False
	// when the run is to stop before anything is extracted.
	// `stopReason` gets the alert's text when a problem stops it.
	bool _PreparePatches(DestManager* manager, uint32 groups, int32* itemCount,
		std::string* stopReason);
	bool _ConfirmPatches(DestManager* manager, bool* deleteOriginals);
	BDirectory* _PatchPassDirectory(ArchiveItem* item, BDirectory* parent,
		DestManager* manager, ArchivePatchItem* patch);
	bool _RunInstall(BMessage* message, BMessage* windowDone, bool* extracted);
	bool _BeginRun(DestManager* manager, BMessage* windowDone);
	status_t _LockVolume(DestManager* manager, bool* waited);
	bool _CancelPressed();
	status_t _ExtractionPass(DestManager* manager, uint32 groups);
	InstallOutcome _RunOutcome(status_t status, bool interrupted,
		DestManager* manager) const;
	std::string _PackageName(DestManager* manager) const;
	void _WriteLog(DestManager* manager, const std::string& text);
	void _DeletePatches();
	thread_id _ProgressThread() const;
	void _SendToProgress(BMessage* message);

	// The patch pass is inside a top folder that the run makes, and that
	// folder as it is now (null while it does not exist).
	bool fInsideTopFolder;
	BDirectory* fTopFolderDir;
};

#endif // _INSTALL_LOOPER_H
