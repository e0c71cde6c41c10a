#ifndef _RUN_OBSERVER_H
#define _RUN_OBSERVER_H

// Whoever watches the installer's runs from outside them (the program's
// report, its progress lines and its copy of the log): what a run tells the
// progress window, the receipt and the alerts, as one stream of events.
// RunEvents hands them out; the run never waits on a watcher's answer, and
// a watcher never changes what the run does.
//
// Events may come from any thread (the install worker, the windows, the
// threads that raise alerts), several at once.

#include "InstallOutcome.h"

#include <SupportDefs.h>

#include <string>
#include <vector>

// A run about to extract: where it installs and how much.
struct RunStart {
	std::string fPackageName;
	std::string fVolume;
	// Empty: the package has no install folder.
	std::string fInstallFolder;
	std::vector<std::string> fGroups;
	int32 fItemCount = 0;
	int64 fBytes = 0;
	// The install log's platform path; empty when the package keeps none.
	std::string fLogPath;
};

// What happened to one item. The action is one of the names every reader
// of the program's JSON knows: "create", "replace", "rename existing",
// "skip", "merge", "patch", "run script", or "failed" (with the reason).
struct RunItem {
	// The full platform path ("/boot/apps/Tool/readme"); a script's is its
	// folder's followed by its name.
	std::string fPath;
	// "file", "folder", "link", "patch" or "script".
	std::string fKind;
	std::string fAction;
	// "rename existing": the platform path the existing entry has now.
	std::string fRenamedTo;
	// "patch": the original the item was made from.
	std::string fOriginal;
	// "failed": why, as the person was told.
	std::string fReason;
};

// An alert or a window's question, and the answer given to it.
struct RunQuestion {
	// "alert", "agreement", "replace", "patches" or "chooser".
	std::string fKind;
	std::string fText;
	// What could be answered; an alert's buttons in their order.
	std::vector<std::string> fChoices;
	std::string fAnswer;
};

class RunObserver {
public:
	virtual ~RunObserver();

	virtual void RunStarted(const RunStart& start) = 0;
	// The item the run is now installing, and its kind (as RunItem's).
	virtual void ItemStarted(const std::string& path, const char* kind) = 0;
	virtual void ItemEnded(const RunItem& item) = 0;
	// The item of `name` (the current one, normally) could not be installed:
	// `reason` is what the person was told.
	virtual void ItemFailed(const std::string& name, const std::string& reason) = 0;
	// `bytes` more of the run's total are done.
	virtual void BytesDone(int64 bytes) = 0;
	virtual void Asked(const RunQuestion& question) = 0;
	virtual void RunEnded(const InstallOutcome& outcome) = 0;
};

#endif // _RUN_OBSERVER_H
