#ifndef _ARCHIVE_SCRIPT_ITEM_H
#define _ARCHIVE_SCRIPT_ITEM_H

// An install script: run at its place in the catalog order, in the folder
// its destination names; its output goes to the install log. The script is
// not installed: its data is written to a temporary file in the run's
// temporary folder, run from there, and removed again.

#include "ArchiveFileItem.h"

#include <string>

class ArchiveScriptItem : public ArchiveFileItem {
public:
	ArchiveScriptItem();
	~ArchiveScriptItem() override;

	// 0 after running (or passing over) the script, -1 when a failing
	// script stops the install (the package's script-failure flag),
	// B_CANCELED on cancel: a cancel while the script runs (the package's
	// cancel flag) ends it and whatever it started.
	status_t ExtractItem(InstallPack* pack, BDirectory* parent,
		DestManager* manager, uint32 groups, bool skip) override;

	// The exit status of the last script this item ran: 127 when the
	// program could not be executed, 128 + the signal when one killed it,
	// -1 when nothing ran.
	int32 LastExitStatus() const { return fLastExitStatus; }

	// Flags for the script runner of every script (ScriptRunner::
	// kRunDirectly on hosts known to refuse a private view, and in tests).
	static void SetRunnerFlags(uint32 flags);

private:
	status_t _FillScript(InstallPack* pack, BEntry* script,
		DestManager* manager, bool* run);
	status_t _Run(InstallPack* pack, BEntry* script, BDirectory* folder,
		DestManager* manager, int32* exitStatus);
	// What the last script did, as a failed run tells it: its name and
	// exit status.
	std::string _ExitText() const;

	int32 fLastExitStatus;
};

#endif // _ARCHIVE_SCRIPT_ITEM_H
