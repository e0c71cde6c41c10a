#include "RunRecovery.h"

#include "CreatePath.h"
#include "DoError.h"
#include "RunJournal.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <FileLock.h>
#include <OS.h>
#include <Path.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>

const char* const kRunFoldersPath = "var/tmp";
const char* const kRunLockName = "kestrovan.lock";
const char* const kRunFolderPrefix = "Stowhand";
const char* const kRescueFolderPrefix = "Installer Rescued Items ";

namespace {

// Digits only, at least one.
bool
IsUnsigned(const std::string& text)
{
	return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}


bool
IsRunFolder(const std::string& name)
{
	if (name.rfind(kRunFolderPrefix, 0) != 0)
		return false;
	std::string number = name.substr(strlen(kRunFolderPrefix));
	size_t dash = number.find('-');
	if (dash == std::string::npos)
		return IsUnsigned(number);
	return IsUnsigned(number.substr(0, dash)) && IsUnsigned(number.substr(dash + 1));
}


std::string
PathOf(const BEntry& entry)
{
	BPath path;
	if (entry.GetPath(&path) != B_OK || path.Path() == nullptr)
		return std::string();
	return path.Path();
}


// Takes back one dead run from its records, the last step first.
class TakeBack {
public:
	TakeBack(const std::vector<JournalRecord>& records)
		:
		fRecords(records)
	{
		for (const JournalRecord& record : records) {
			if (record.fStep == kJournalMoving)
				fOriginals.insert(record.fNode);
			else if (record.fStep == kJournalCreated) {
				fMade[record.fPath] = record.fNode;
				fMadeNodes.insert(record.fNode);
			}
		}
	}

	// The paths of the entries that could not be put back.
	std::vector<std::string> Run()
	{
		std::vector<std::string> notPutBack;
		for (auto record = fRecords.rbegin(); record != fRecords.rend(); record++) {
			if (record->fStep == kJournalCreating)
				_RemoveMade(record->fPath);
			else if (record->fStep == kJournalMoving && !_PutBack(*record))
				notPutBack.push_back(record->fPath);
		}
		return notPutBack;
	}

private:
	// What the run made at `path` goes; an original it has put back
	// already, or an entry someone else made there, stays.
	void _RemoveMade(const std::string& path)
	{
		BEntry entry(path.c_str());
		node_ref node;
		if (entry.GetNodeRef(&node) != B_OK || fOriginals.count(node.node) != 0)
			return;
		auto made = fMade.find(path);
		if (made != fMade.end() && made->second != node.node)
			return;
		// A folder the run made holds only what the run put in it; one it
		// was making (no node known) goes only when empty.
		if (entry.IsDirectory() && made != fMade.end())
			RecursiveDelete(&entry);
		else
			entry.Remove();
	}

	bool _PutBack(const JournalRecord& record)
	{
		BEntry moved(record.fTarget.c_str());
		node_ref there;
		if (moved.GetNodeRef(&there) == B_OK && there.node == record.fNode)
			return _MoveBack(&moved, record.fPath);
		// Back already (the run was putting things back when it died), or
		// an entry the run itself had made and then moved aside.
		BEntry place(record.fPath.c_str());
		node_ref here;
		if (place.GetNodeRef(&here) == B_OK && here.node == record.fNode)
			return true;
		return fMadeNodes.count(record.fNode) != 0;
	}

	// Not over an entry someone else put at the place meanwhile.
	bool _MoveBack(BEntry* moved, const std::string& path)
	{
		BPath place(path.c_str());
		BPath parent;
		if (place.InitCheck() != B_OK || place.GetParent(&parent) != B_OK)
			return false;
		BDirectory folder(parent.Path());
		if (folder.InitCheck() != B_OK || folder.Contains(place.Leaf()))
			return false;
		return moved->MoveTo(&folder, place.Leaf(), false) == B_OK;
	}

	const std::vector<JournalRecord>& fRecords;
	std::set<ino_t> fOriginals;
	std::map<std::string, ino_t> fMade;
	std::set<ino_t> fMadeNodes;
};


void
RecoverRun(BDirectory* runFolders, const char* name, std::vector<RecoveredRun>* recovered)
{
	BEntry folderEntry(runFolders, name);
	BDirectory folder(&folderEntry);
	RunJournal journal;
	bool hadJournal = BEntry(&folder, RunJournal::kFileName).Exists();
	if (folder.InitCheck() != B_OK || journal.Adopt(&folder) != B_OK)
		return;

	RecoveredRun run;
	std::vector<JournalRecord> records;
	if (RunJournal::Read(&folder, &run.fKind, &run.fPackageName, &records) != B_OK) {
		// A run killed before its journal began displaced nothing. A folder
		// with something in it and no journal (or one that cannot be read)
		// is not known, and stays as it was.
		if (run_folder_holds_only_journal(&folder))
			delete_run_folder(&folderEntry, &folder, &journal);
		else if (!hadJournal)
			journal.Close();
		return;
	}

	for (const JournalRecord& record : records) {
		if (record.fStep == kJournalEnd)
			run.fFinished = true;
		else if (record.fStep == kJournalScript)
			run.fScripts.push_back(record.fPath);
		else if (record.fStep == kJournalFolderMade)
			run.fFoldersMade.push_back(record.fPath);
	}
	if (!run.fFinished)
		run.fNotPutBack = TakeBack(records).Run();

	if (run.fNotPutBack.empty())
		delete_run_folder(&folderEntry, &folder, &journal);
	else {
		// What is left is kept under a name no run takes for its own.
		journal.Close();
		std::string rescue = rescue_folder_name(runFolders);
		if (folderEntry.Rename(rescue.c_str(), false) == B_OK)
			run.fKeptIn = PathOf(folderEntry);
	}
	recovered->push_back(run);
}


// Removes the folders that dead runs made for their own folders, when they
// are empty now, the deepest first.
void
RemoveFoldersMade(BDirectory* root, const std::vector<RecoveredRun>& recovered, size_t first)
{
	std::set<std::string, std::greater<std::string>> folders;
	for (size_t i = first; i < recovered.size(); i++)
		folders.insert(recovered[i].fFoldersMade.begin(), recovered[i].fFoldersMade.end());
	for (const std::string& path : folders) {
		BEntry folder(root, path.c_str());
		if (folder.IsDirectory())
			folder.Remove();
	}
}

} // namespace


bool
run_folder_holds_only_journal(BDirectory* folder)
{
	folder->Rewind();
	BEntry entry;
	char name[B_FILE_NAME_LENGTH];
	while (folder->GetNextEntry(&entry, false) == B_OK) {
		if (entry.GetName(name) != B_OK || strcmp(name, RunJournal::kFileName) != 0)
			return false;
	}
	return true;
}


// Everything in the run's folder but its journal goes first, then the
// journal, then the folder: a program killed on the way leaves the journal
// to the next.
status_t
delete_run_folder(BEntry* folderEntry, BDirectory* folder, RunJournal* journal)
{
	folder->Rewind();
	BEntry entry;
	char name[B_FILE_NAME_LENGTH];
	status_t status = B_OK;
	while (folder->GetNextEntry(&entry, false) == B_OK) {
		if (entry.GetName(name) == B_OK && strcmp(name, RunJournal::kFileName) != 0
			&& RecursiveDelete(&entry) != B_OK)
			status = B_ERROR;
	}
	journal->Close();
	status_t removed = folderEntry->Remove();
	return status != B_OK ? status : removed;
}


bool
is_run_folder_name(const std::string& name)
{
	if (name.rfind(kRescueFolderPrefix, 0) == 0) {
		std::string number = name.substr(strlen(kRescueFolderPrefix));
		return IsUnsigned(number[0] == '-' ? number.substr(1) : number);
	}
	return IsRunFolder(name);
}


std::string
rescue_folder_name(BDirectory* runFolders)
{
	int64 time = system_time() / 10000;
	for (int32 attempt = 0;; attempt++) {
		std::string name = kRescueFolderPrefix + std::to_string(time + attempt);
		if (!runFolders->Contains(name.c_str()))
			return name;
	}
}


std::string
RecoveredRun::Text() const
{
	std::string name = "\"" + fPackageName + "\"";
	bool removal = fKind == "uninstall";
	std::string text;
	if (fFinished) {
		text = (removal ? "The removal of " : "An installation of ") + name
			+ " was interrupted as it ended. It has been finished.";
	} else if (removal) {
		text = "The removal of " + name
			+ " was interrupted. The items it had removed have been put back.";
	} else {
		text = "An installation of " + name
			+ " was interrupted. The items it had replaced have been put back.";
	}
	if (!fNotPutBack.empty()) {
		text += "\nThese items could not be put back; they are kept in \"" + fKeptIn + "\":";
		for (const std::string& path : fNotPutBack)
			text += "\n  " + path;
	}
	if (!fFinished && !fScripts.empty()) {
		text += "\nWhat its scripts did has not been undone:";
		for (const std::string& script : fScripts)
			text += " \"" + script + "\"";
		text += ".";
	}
	return text;
}


void
RunRecovery::RecoverRunsIn(BDirectory* runFolders, std::vector<RecoveredRun>* recovered)
{
	std::vector<std::string> names;
	runFolders->Rewind();
	BEntry entry;
	char name[B_FILE_NAME_LENGTH];
	while (runFolders->GetNextEntry(&entry, false) == B_OK) {
		if (entry.GetName(name) == B_OK && IsRunFolder(name) && entry.IsDirectory())
			names.push_back(name);
	}
	// Oldest first is not known; any order takes each run back whole.
	for (const std::string& folder : names)
		RecoverRun(runFolders, folder.c_str(), recovered);
}


void
RunRecovery::RecoverAllVolumes(std::vector<RecoveredRun>* recovered)
{
	BVolumeRoster roster;
	BVolume volume;
	while (roster.GetNextVolume(&volume) == B_OK) {
		BDirectory root;
		if (volume.IsReadOnly() || volume.GetRootDirectory(&root) != B_OK)
			continue;
		BEntry runFoldersEntry(&root, kRunFoldersPath);
		if (!runFoldersEntry.IsDirectory())
			continue;
		BDirectory runFolders(&runFoldersEntry);
		BPrivate::FileLock lock;
		if (lock.TryLock(&runFolders, kRunLockName) != B_OK)
			continue;
		size_t first = recovered->size();
		RecoverRunsIn(&runFolders, recovered);
		lock.Unlock();
		RemoveFoldersMade(&root, *recovered, first);
	}
}


bool
RunRecovery::Tell(const std::vector<RecoveredRun>& recovered)
{
	bool allBack = true;
	for (const RecoveredRun& run : recovered) {
		doError("%s", run.Text().c_str());
		if (!run.fNotPutBack.empty())
			allBack = false;
	}
	return allBack;
}
