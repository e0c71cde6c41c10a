#ifndef _INSTALL_WINDOW_H
#define _INSTALL_WINDOW_H

// The installer's main window, owner of everything one package needs on the
// window side: the open package, its attributes, the destination manager
// and the table of installable entries. It holds the install view; "Begin"
// checks the chosen volume and hands the run to the install worker, which
// answers kRunDone when the run is over.
//
// The install view keeps the selection fields (groups, bytes, item count,
// volume, folder) current; the window only reads them.

#include "FileEntry.h"
#include "RList.h"

#include <EntryRef.h>
#include <Locker.h>
#include <Window.h>

#include <vector>

class ArcCatalog;
class ArchiveItem;
class BVolume;
class DestManager;
class InstallLooper;
class InstallPack;
class InstallPlan;
class PackAttrib;

// The name of the install view, by which the window is told from others.
const char* const kInstallViewName = "installview";

class InstallWindow : public BWindow {
public:
	enum {
		// "Begin" pressed.
		kBeginInstall = 'inst',
		// The run is over; with bool "close" true the window closes. How
		// it ended (InstallOutcome) goes to the application, and a failed
		// run is told in an alert.
		kRunDone = 'Done',
		// The install message to the worker.
		kExtractItems = 'Extr'
	};

	// The platform bit of an entry's platform mask this installer serves.
	enum { kPlatformBit = 2 };

	// Takes over pack. Shows the window, or quits it (and asks the
	// application to quit) when the package cannot be used or its
	// agreement is declined.
	InstallWindow(const char* title, InstallPack* pack, bool setupFlag);
	~InstallWindow() override;

	void MessageReceived(BMessage* message) override;
	bool QuitRequested() override;

	void DoInstall(BMessage* message);
	// The volume tests with their alerts; true when an install may go there.
	// A refusal the window has just told about (the same volume, selection
	// and reason) is not told again: picking the volume and then pressing
	// "Begin" gives one alert.
	bool CheckPossibleInstall(BVolume& volume);
	// Whether the volume tests refuse the chosen volume for the selection,
	// as "Begin" would; says nothing.
	bool RefusesVolume() const;
	void Abort();

	// Adds a row to the table for every installable item of the catalog
	// folder the catalog stands at and of its sub-folders; 0, or -1 when
	// the table could not grow (no memory).
	int32 BuildGroupList(bool topLevel, uint32& installFolderGroups);

	static void SetCloseApp(bool closeApp);
	static void LockWindowList();
	static void UnlockWindowList();
	// Install windows alive now.
	static int32 CountWindows();

	DestManager* fDestManager;
	InstallPack* fPack;
	// One row per installable item, in catalog order; as many as the
	// package holds.
	std::vector<FileEntry> fEntries;
	int32 fEntryCount;
	InstallLooper* fLooper;
	PackAttrib* fAttrib;
	int32 fGroups;
	int32 fPlatform;
	int64 fBytes;
	int32 fItemCount;
	dev_t fVolume;
	char* fFolderPath;
	entry_ref fFolderRef;
	bool fCustomFolder;
	bool fInstalling;

private:
	bool _ReadPackage();
	bool _AddEntry(const ArchiveItem& item);
	void _ShowAgreement(bool* declined);
	void _StartRun();
	// For a recording of the person's choices (--save-answers).
	void _NoteChoices() const;
	void _RunCannotStart();
	// With a plan to make (InstallApp::Plan), "Begin" makes it instead of
	// starting a run.
	InstallPlan* _Plan() const;
	void _MakePlan(InstallPlan* plan, BVolume& volume);
	void _RunEnded(BMessage* message);
	// The alert of the first volume test that fails; null when all pass.
	const char* _VolumeProblem(const BVolume& volume) const;

	bool fSetupFlag;
	ArcCatalog* fCatalog;
	// The refusal told last: its alert, volume and selection size.
	const char* fToldProblem;
	dev_t fToldVolume;
	int64 fToldBytes;

	// Never destroyed: a window's thread may still be deleting its window
	// while the exit handlers run.
	static RList<InstallWindow*>& windowList;
	static BLocker& windowListLock;
	static bool fCloseApp;
};

#endif // _INSTALL_WINDOW_H
