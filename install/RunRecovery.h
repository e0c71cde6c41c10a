#ifndef _RUN_RECOVERY_H
#define _RUN_RECOVERY_H

// Takes back, or finishes, the runs that died in the middle: an install or
// an uninstall whose program was killed, crashed or lost its machine leaves
// its temporary folder ("var/tmp/Stowhand<n>") with its journal and what it
// had displaced. A run that had not reached its end is taken back as a
// cancelled one is, and further: what it made is removed, what it displaced
// is put back in the reverse order of its displacement. A run that had
// reached its end is finished: what it displaced is deleted.
//
// Only the holder of a volume's run lock recovers on that volume, and only
// runs whose journal no live program holds.

#include <SupportDefs.h>

#include <string>
#include <vector>

class BDirectory;
class BEntry;
class RunJournal;

// In a volume's "var/tmp": the lock one run at a time holds, the folders
// of runs, and the folders of what a run could not put back.
extern const char* const kRunFoldersPath;
extern const char* const kRunLockName;
extern const char* const kRunFolderPrefix;
extern const char* const kRescueFolderPrefix;

// Whether `name` is a run's folder ("Stowhand<n>" or "Stowhand<n>-<m>") or
// a rescue folder, as runs name them.
bool is_run_folder_name(const std::string& name);
// A free name for a rescue folder in `runFolders`.
std::string rescue_folder_name(BDirectory* runFolders);
// Whether a run's folder holds nothing but its journal.
bool run_folder_holds_only_journal(BDirectory* folder);
// Deletes a run's folder and what it holds, the journal last (it is closed
// then): a program killed on the way leaves the journal to the next.
status_t delete_run_folder(BEntry* folderEntry, BDirectory* folder, RunJournal* journal);

struct RecoveredRun {
	// "install" or "uninstall", and of which package.
	std::string fKind;
	std::string fPackageName;
	// The run had reached its end and was finished; otherwise it was
	// taken back.
	bool fFinished = false;
	// What could not be put back (platform paths), and where it is kept.
	std::vector<std::string> fNotPutBack;
	std::string fKeptIn;
	// Scripts the run had run: what they did stays.
	std::vector<std::string> fScripts;
	// The folders ("var", "var/tmp", from the volume's root) the run had
	// made for its own folder:
	// whoever holds the run lock removes them when they are left empty.
	std::vector<std::string> fFoldersMade;

	// What the person is told.
	std::string Text() const;
};

class RunRecovery {
public:
	// Recovers the dead runs in `runFolders` (a volume's "var/tmp"); the
	// caller holds that volume's run lock. Adds one entry per run
	// recovered.
	static void RecoverRunsIn(BDirectory* runFolders, std::vector<RecoveredRun>* recovered);
	// Every volume of the system root whose run lock is free: what the
	// installer does at start-up, before anything touches a volume.
	// Volumes where a live run holds the lock are left to it.
	static void RecoverAllVolumes(std::vector<RecoveredRun>* recovered);
	// Tells the person about each run recovered, in an alert each (on
	// standard error where alerts go there). False when something could
	// not be put back.
	static bool Tell(const std::vector<RecoveredRun>& recovered);
};

#endif // _RUN_RECOVERY_H
