#ifndef _RUN_JOURNAL_H
#define _RUN_JOURNAL_H

// The journal of a run that changes a volume (an install, an uninstall),
// kept in the run's temporary folder beside what the run displaced. Each
// step is written to it before the step is taken, so that when the program
// dies in the middle of a run (killed, crashed, or the machine lost power),
// the next start of the installer can take the run back, or finish it:
// - "moving": an existing entry is about to be moved aside (into the
//   temporary folder, or renamed beside its place); from where, to where,
//   and its node, by which it is known again.
// - "creating": a new entry is about to be made at a path; "created" once
//   it is there, with its node (but for a file made inside a folder this
//   run made, where nothing was moved aside: that folder goes with all it
//   holds, and the node is not needed to know the file again).
// - "script": a script ran (what it did cannot be taken back).
// - "end": the run reached its end; what it displaced may now be deleted.
// A record that moves or replaces something the person had is flushed to
// the disk before the step. One that only makes a new entry inside a folder
// this run made is written, but not flushed by itself: taking the run back
// removes that folder with all it holds.
//
// The running program holds a lock on the journal for as long as it lives,
// so that a live run is never taken for a dead one, also by another
// installer on the same system root.
//
// Text, one record per line, fields separated by tabs; a tab, a line break
// or a backslash in a path is written escaped ("\t", "\n", "\\"). A line
// without its line break (cut short by a power cut) is no record.

#include <File.h>
#include <FileLock.h>
#include <SupportDefs.h>

#include <string>
#include <vector>

class BDirectory;

enum journal_step {
	kJournalFolderMade,
	kJournalMoving,
	kJournalCreating,
	kJournalCreated,
	kJournalScript,
	kJournalEnd
};

struct JournalRecord {
	journal_step fStep = kJournalEnd;
	// Platform paths: the entry the step is about, and for a move where
	// it goes.
	std::string fPath;
	std::string fTarget;
	// The node moved or made; 0 when not known.
	ino_t fNode = 0;
};

class RunJournal {
public:
	RunJournal();
	~RunJournal();

	// Starts this run's journal in `runFolder` and takes its lock.
	// `kind` says what the run is ("install", "uninstall") and
	// `packageName` of what, for the person told after a recovery;
	// `foldersMade` are the folders made for the run's folder (paths from
	// the volume's root), which a recovery removes when they are empty.
	status_t Start(BDirectory* runFolder, const char* kind, const char* packageName,
		const std::vector<std::string>& foldersMade = {});
	// Takes the lock of the journal a run left in `runFolder`: B_OK when
	// no live program holds it, B_BUSY while one does.
	status_t Adopt(BDirectory* runFolder);
	bool IsHeld() const { return fLock.IsLocked(); }
	// Removes the journal and lets go of it: the run is over.
	void Close();

	// Each flushed to the disk before it returns, but for `kJournalCreating`
	// with `flush` false and the record after a step (created).
	status_t NoteMoving(const std::string& from, const std::string& to, ino_t node);
	status_t NoteCreating(const std::string& path, bool flush);
	status_t NoteCreated(const std::string& path, ino_t node);
	// A step taken that needs no record (an entry written in full, a file
	// made in a folder the run made): nothing is written, but the step
	// counts as one for the recovery tests' kill point.
	void PassUnrecordedStep();
	status_t NoteScript(const std::string& name);
	status_t NoteEnd();

	// Reads the journal in `runFolder`: what the run was, and its records
	// in the order they were written. B_ENTRY_NOT_FOUND when there is none,
	// B_BAD_DATA when it is no journal.
	static status_t Read(BDirectory* runFolder, std::string* kind,
		std::string* packageName, std::vector<JournalRecord>* records);

	// The journal's name in the run's folder.
	static const char* const kFileName;

private:
	RunJournal(const RunJournal&) = delete;
	RunJournal& operator=(const RunJournal&) = delete;

	static std::string _Line(const std::vector<std::string>& fields);
	status_t _Append(const std::vector<std::string>& fields, bool flush);
	status_t _Write(const std::string& lines, bool flush);
	static void _CountStep();

	BPrivate::FileLock fLock;
	BFile fFile;
};

#endif // _RUN_JOURNAL_H
