#include "DestManager.h"

#include "ArchivePatchItem.h"
#include "ChoiceRecorder.h"
#include "CreatePath.h"
#include "DoError.h"
#include "FindChoiceWind.h"
#include "FindItem.h"
#include "GroupItem.h"
#include "GroupList.h"
#include "InstallApp.h"
#include "InstalledCheck.h"
#include "InstallPlan.h"
#include "PackAttrib.h"
#include "REntryList.h"
#include "RunEvents.h"
#include "RunRecovery.h"

#include <Entry.h>
#include <Errors.h>
#include <NodeInfo.h>
#include <OS.h>
#include <Path.h>
#include <Query.h>
#include <StorageDefs.h>
#include <Volume.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

const char* const kTempFolderError
	= "Error creating temporary directory on volume \"%s\".";
// The folders that hold the run lock and the runs' temporary folders, from
// the volume's root down.
const char* const kRunFolderPath[] = { "var", "tmp" };
// A run that ends removes the "var/tmp" it made when it is empty; another
// run opening it meanwhile makes it again, at most this often.
const int32 kLockAttempts = 100;
const char* const kFolderNotCreated
	= "The selected installation directory \"%s\" could not be created.";
const char* const kLogPostfix = " Install Log";
// Room for a name in a folder, less the postfix and its terminating zero.
const size_t kMaxLogNameLength = 243;
// Sub-folders of the temporary folder for items whose name is taken there.
const char* const kClashFolderFormat = "Installer \xCF\xB7\xAB\xA8\xA0 Temp%d";


// "Stowhand<thread>", or "Stowhand<thread>-<attempt>" beside a folder of
// that name that a killed run left.
std::string
TempFolderNameFor(int32 thread, int32 attempt)
{
	std::string name = kRunFolderPrefix + std::to_string(thread);
	if (attempt > 0)
		name += "-" + std::to_string(attempt);
	return name;
}


// Whether the entry is a run's folder in "var/tmp" or lies inside one: its
// ancestors are followed up to the volume's root.
bool
IsInRunFolder(const entry_ref& ref, const node_ref& varTmp,
	const node_ref& volumeRoot)
{
	BEntry entry(&ref, false);
	BEntry parent;
	node_ref parentNode;
	while (entry.GetParent(&parent) == B_OK
		&& parent.GetNodeRef(&parentNode) == B_OK) {
		char name[B_FILE_NAME_LENGTH];
		if (parentNode == varTmp && entry.GetName(name) == B_OK
			&& is_run_folder_name(name))
			return true;
		if (parentNode == volumeRoot)
			return false;
		entry = parent;
	}
	return false;
}


// An existing directory at the entry, opened; null otherwise.
BDirectory*
OpenDirectory(const BEntry& entry)
{
	if (!entry.Exists() || !entry.IsDirectory())
		return nullptr;
	BDirectory* dir = new BDirectory(&entry);
	if (dir->InitCheck() != B_OK) {
		delete dir;
		return nullptr;
	}
	return dir;
}


// The match's place in the list, as the chooser showed it; -1 when it is
// not there.
int32
IndexOfMatch(REntryList* matches, const entry_ref& ref)
{
	matches->Rewind();
	entry_ref match;
	for (int32 index = 0; matches->GetNextRef(&match) == B_OK; index++) {
		if (match == ref)
			return index;
	}
	return -1;
}

} // namespace


DestManager::DestManager(PackAttrib* attrib)
	:
	fDeleteOriginals(false),
	fCreateTopFolder(attrib->fCreateTopFolder),
	fLogging(false),
	fCanceled(false),
	fReplaceChoice(2),
	fDontAsk(false),
	fAttrib(attrib),
	fVolume(-1),
	fDefaultDests(attrib->TakeDefaultDestList()),
	fCustomDests(attrib->TakeCustomDestList()),
	fInstallPath(nullptr),
	fInstallDir(nullptr),
	fDeleteList(new RList<DeleteItem*>),
	fLog(nullptr),
	fTempCount(0),
	fBlockSize(1024),
	fTopFolder(nullptr),
	fTopFlag(false),
	fPlanAnswers(nullptr),
	fFailedItems(0),
	fStoppedAtFailure(false),
	fRunKind("install"),
	fTellingItems(true)
{
	// A record without lists still gives a manager with empty ones.
	if (fDefaultDests == nullptr)
		fDefaultDests = new RList<DestItem*>;
	if (fCustomDests == nullptr)
		fCustomDests = new RList<DestItem*>;
}


DestManager::~DestManager()
{
	ClearDestinationLists();
	fDefaultDests->MakeEmptyAndDelete();
	delete fDefaultDests;
	fCustomDests->MakeEmptyAndDelete();
	delete fCustomDests;
	fDeleteList->MakeEmptyAndDelete();
	delete fDeleteList;
	delete fInstallDir;
	free(fInstallPath);
	delete fLog;
}


bool
DestManager::SetupInstall(entry_ref* folderRef, char* folderPath, dev_t volume,
	ArchiveFolderItem* topFolder, bool flag)
{
	SetTarget(folderRef, folderPath, volume, topFolder, flag);
	return MakeTempFolder();
}


void
DestManager::SetTarget(entry_ref* folderRef, char* folderPath, dev_t volume,
	ArchiveFolderItem* topFolder, bool flag)
{
	fTopFolder = topFolder;
	fTopFlag = flag;
	fDeleteOriginals = false;
	fCanceled = false;
	fDontAsk = false;
	fFailedItems = 0;
	fStoppedAtFailure = false;
	fFailedItemName.clear();
	fFailureReason.clear();
	// Folders may have moved since the paths were last asked for.
	fFolderPaths.clear();
	fVolume = volume;

	free(fInstallPath);
	fInstallPath = nullptr;
	delete fInstallDir;
	fInstallDir = nullptr;
	if (folderPath != nullptr)
		fInstallPath = strdup(folderPath);
	else if (folderRef != nullptr)
		fInstallDir = new BDirectory(folderRef);

	BVolume target(volume);
	fRootDir.Unset();
	target.GetRootDirectory(&fRootDir);
	fBlockSize = 1024;
	delete fLog;
	fLog = nullptr;
	char name[B_FILE_NAME_LENGTH] = "";
	BEntry rootEntry;
	if (fRootDir.GetEntry(&rootEntry) == B_OK)
		rootEntry.GetName(name);
	fVolumeName = name;

	_BeginReceipt(folderRef, folderPath);
	ClearDestinationLists();
	// A new run: the folder of an earlier one is no longer this run's.
	fTempDir.Unset();
	fTempName.clear();
}


status_t
DestManager::LockVolume()
{
	status_t status = B_ERROR;
	for (int32 attempt = 0; attempt < kLockAttempts; attempt++) {
		BDirectory folder;
		status = _MakeRunFolder(&folder);
		if (status == B_OK)
			status = fRunLock.TryLock(&folder, kRunLockName);
		// The folder was removed by the run that made it, ending, while
		// this one opened it.
		if (status != B_ENTRY_NOT_FOUND)
			break;
	}
	if (status == B_OK)
		_RecoverDeadRuns();
	else if (status != B_BUSY)
		doError(kTempFolderError, fVolumeName.c_str());
	return status;
}


// Runs on this volume that died while this one waited for the lock (or
// since the program started): they are taken back or finished before this
// run touches anything.
void
DestManager::_RecoverDeadRuns()
{
	BDirectory runFolders(&fRootDir, kRunFoldersPath);
	std::vector<RecoveredRun> recovered;
	RunRecovery::RecoverRunsIn(&runFolders, &recovered);
	for (const RecoveredRun& run : recovered) {
		for (const std::string& path : run.fFoldersMade) {
			node_ref node;
			if (BEntry(&fRootDir, path.c_str()).GetNodeRef(&node) == B_OK)
				fMadeFolders.push_back({path, node});
		}
	}
	RunRecovery::Tell(recovered);
}


status_t
DestManager::_MakeRunFolder(BDirectory* runFolder)
{
	status_t status = fRootDir.InitCheck();
	BDirectory folder(fRootDir);
	std::string path;
	for (const char* name : kRunFolderPath) {
		if (status != B_OK)
			break;
		path += (path.empty() ? "" : "/") + std::string(name);
		BDirectory next;
		status = BEntry(&folder, name).Exists() ? B_FILE_EXISTS
			: folder.CreateDirectory(name, &next);
		node_ref made;
		if (status == B_OK && next.GetNodeRef(&made) == B_OK)
			fMadeFolders.push_back({path, made});
		// There before, or made by another run at the same moment.
		else if (status == B_FILE_EXISTS)
			status = next.SetTo(&folder, name);
		folder = next;
	}
	if (status == B_OK)
		*runFolder = folder;
	return status;
}


// A folder no longer empty (another run's lock or temporary folder, items
// a run could not put back) stays, and so does one that is no longer the
// folder this run made.
void
DestManager::_RemoveMadeFolders()
{
	for (auto made = fMadeFolders.rbegin(); made != fMadeFolders.rend(); made++) {
		BEntry entry(&fRootDir, made->first.c_str());
		node_ref node;
		if (entry.GetNodeRef(&node) == B_OK && node == made->second)
			entry.Remove();
	}
	fMadeFolders.clear();
}


bool
DestManager::MakeTempFolder()
{
	if (fTempDir.InitCheck() == B_OK)
		return true;
	if (!_CreateTempFolder() || !_StartJournal()) {
		doError(kTempFolderError, fVolumeName.c_str());
		return false;
	}
	fTempCount = 0;
	return true;
}


// The journal begins before anything is displaced, and names the folders
// made for the run's folder, so that a recovery removes them too.
bool
DestManager::_StartJournal()
{
	const char* name = fAttrib != nullptr ? fAttrib->fPackageName : nullptr;
	std::vector<std::string> foldersMade;
	for (const auto& made : fMadeFolders)
		foldersMade.push_back(made.first);
	status_t status = fJournal.Start(&fTempDir, fRunKind.c_str(), name, foldersMade);
	if (status == B_OK) {
		fWriteBehind.Start(fVolume);
		return true;
	}
	fJournal.Close();
	BEntry tempEntry;
	if (fTempDir.GetEntry(&tempEntry) == B_OK)
		tempEntry.Remove();
	fTempDir.Unset();
	return false;
}


bool
DestManager::_CreateTempFolder()
{
	BDirectory tmp;
	if (_MakeRunFolder(&tmp) != B_OK)
		return false;
	// A folder of that name may be left by a run that was killed: it holds
	// what that run displaced, so it is neither reused nor deleted; this run
	// takes a free name next to it.
	int32 thread = (int32)gettid();
	for (int32 attempt = 0; attempt < 1000; attempt++) {
		std::string name = TempFolderNameFor(thread, attempt);
		fTempDir.Unset();
		status_t status = tmp.CreateDirectory(name.c_str(), &fTempDir);
		if (status == B_OK) {
			fTempName = name;
			return true;
		}
		if (status != B_FILE_EXISTS)
			return false;
	}
	return false;
}


BDirectory*
DestManager::DirectoryFor(int32 index, BDirectory* parent, bool custom,
	bool create, ArchivePatchItem* patch)
{
	DestItem* item = nullptr;
	BDirectory* result = nullptr;
	if (custom) {
		item = fCustomDests->ItemAt(index);
		if (item == nullptr) {
			doError("Destination list index out of range. This package may be corrupt.");
			return nullptr;
		}
		result = _ListEntryFolder(item, create);
	} else if (index == kParentFolderDestination)
		result = parent;
	else if (index == kInstallFolderDestination)
		result = _InstallFolder(create);
	else {
		item = fDefaultDests->ItemAt(index);
		if (item == nullptr)
			return nullptr;
		result = _ListEntryFolder(item, create);
	}

	if (patch != nullptr && result != nullptr
		&& !_LocateOriginal(item, result, patch))
		return nullptr;
	return result;
}


BDirectory*
DestManager::_InstallFolder(bool create)
{
	if (fInstallDir != nullptr || fInstallPath == nullptr)
		return fInstallDir;
	BEntry entry(&fRootDir, fInstallPath);
	if (!entry.Exists() && create
		&& CreatePathAt(&fRootDir, fInstallPath, &entry, this) != B_OK)
		doError(kFolderNotCreated, fInstallPath);
	fInstallDir = OpenDirectory(entry);
	return fInstallDir;
}


BDirectory*
DestManager::_ListEntryFolder(DestItem* item, bool create)
{
	if (item->fDir != nullptr)
		return item->fDir;
	if (FindItem* query = dynamic_cast<FindItem*>(item))
		_ResolveQuery(query);
	else if (item->fWhich < 0)
		_ResolvePath(item, create);
	else
		_ResolveSystemFolder(item, create);
	return item->fDir;
}


void
DestManager::_ResolveQuery(FindItem* item)
{
	item->fNotFound = false;
	REntryList matches;
	status_t status = FetchQuery(item, &matches);
	if (status != B_OK || matches.CountEntries() == 0) {
		item->fNotFound = true;
		return;
	}
	item->fMatchCount = matches.CountEntries();
	entry_ref ref;
	if (matches.CountEntries() == 1) {
		matches.Rewind();
		matches.GetNextRef(&ref);
	} else {
		bool ok = false;
		_ChooseAmongMatches(&matches, item, &ok, &ref);
		fCanceled = !ok;
	}
	item->fFoundRef = ref;
	BEntry found(&ref);
	item->fDir = new BDirectory;
	if (found.GetParent(item->fDir) != B_OK || item->fDir->InitCheck() != B_OK) {
		item->fNotFound = true;
		delete item->fDir;
		item->fDir = nullptr;
	}
}


void
DestManager::_ChooseAmongMatches(REntryList* matches, FindItem* item, bool* ok,
	entry_ref* ref)
{
	// The chooser runs in its own thread; this one waits until it is gone
	// and its answer is written.
	*ok = false;
	if (fPlanAnswers != nullptr) {
		// The row the unattended run picks, in the order the chooser lists
		// them; a pick past the last cancels.
		matches->Rewind();
		for (int32 index = 0; matches->GetNextRef(ref) == B_OK; index++) {
			if (index == fPlanAnswers->fChoose) {
				*ok = true;
				break;
			}
		}
		matches->Rewind();
		return;
	}
	FindChoiceWind* chooser = new FindChoiceWind(matches, ok, ref, item);
	chooser->Go();
	if (!RunEvents::Watched())
		return;
	RunQuestion question;
	question.fKind = "chooser";
	question.fText = "Several places match where this package installs: which one?";
	entry_ref match;
	matches->Rewind();
	while (matches->GetNextRef(&match) == B_OK) {
		BPath path(&match);
		question.fChoices.push_back(path.Path() != nullptr ? path.Path() : "");
	}
	BPath chosen(ref);
	question.fAnswer = *ok && chosen.Path() != nullptr ? chosen.Path() : "cancel";
	RunEvents::Asked(question);
	if (ChoiceRecorder::Active())
		ChoiceRecorder::NoteMatchChosen(*ok ? IndexOfMatch(matches, *ref) : -1);
}


void
DestManager::_ResolvePath(DestItem* item, bool create)
{
	const char* path = item->fPath;
	bool absolute = path[0] == '/';
	BEntry entry;
	if (absolute)
		entry.SetTo(path);
	else
		entry.SetTo(&fRootDir, path);

	if (!entry.Exists() && create) {
		status_t status = B_ERROR;
		if (!absolute)
			status = CreatePathAt(&fRootDir, path, &entry, this);
		else if (const char* rest = strchr(path + 1, '/')) {
			// The first component is a volume's mount point: it is opened,
			// never created.
			std::string mountPoint(path, rest - path);
			BDirectory volumeRoot(mountPoint.c_str());
			if (volumeRoot.InitCheck() == B_OK)
				status = CreatePathAt(&volumeRoot, rest, &entry, this);
			else
				status = volumeRoot.InitCheck();
		}
		if (status != B_OK)
			doError("Error creating custom pathname \"%s\".", path);
	}
	item->fDir = OpenDirectory(entry);
}


void
DestManager::_ResolveSystemFolder(DestItem* item, bool create)
{
	// A number past the last constant (the catalog may hold any) names no
	// system folder, and is no value of the constants' type.
	if (item->fWhich > B_PREFERENCES_DIRECTORY)
		return;
	BPath systemPath;
	const char* relative = root_find_directory((directory_which)item->fWhich,
		&systemPath);
	if (relative == nullptr)
		return;
	// A system folder goes to the same place on the target volume that it
	// has on the boot volume.
	BEntry entry;
	if (relative[0] == '\0')
		fRootDir.GetEntry(&entry);
	else
		entry.SetTo(&fRootDir, relative);
	if (!entry.Exists() && create
		&& CreatePathAt(&fRootDir, relative, &entry, this) != B_OK)
		doError(kFolderNotCreated, relative);
	item->fDir = OpenDirectory(entry);
}


std::string
DestManager::PathOf(const BDirectory* folder)
{
	BEntry entry;
	BPath path;
	if (folder == nullptr || folder->GetEntry(&entry) != B_OK
		|| entry.GetPath(&path) != B_OK)
		return std::string();
	return path.Path();
}


std::string
DestManager::_OnVolume(const char* relative)
{
	std::string path = PathOf(&fRootDir);
	if (path.empty())
		return path;
	// The components a run's CreatePathAt makes: no empty ones, no ".".
	std::string rest = relative;
	size_t start = 0;
	while (start < rest.size()) {
		size_t slash = rest.find('/', start);
		if (slash == std::string::npos)
			slash = rest.size();
		std::string part = rest.substr(start, slash - start);
		if (!part.empty() && part != ".")
			path += (path == "/" ? "" : "/") + part;
		start = slash + 1;
	}
	return path;
}


std::string
DestManager::_ListEntryPath(DestItem* item)
{
	if (item->fDir != nullptr)
		return PathOf(item->fDir);
	if (FindItem* query = dynamic_cast<FindItem*>(item)) {
		_ResolveQuery(query);
		return PathOf(item->fDir);
	}
	if (item->fWhich < 0) {
		if (item->fPath[0] == '/')
			return item->fPath;
		return _OnVolume(item->fPath);
	}
	if (item->fWhich > B_PREFERENCES_DIRECTORY)
		return std::string();
	BPath systemPath;
	const char* relative = root_find_directory((directory_which)item->fWhich,
		&systemPath);
	return relative != nullptr ? _OnVolume(relative) : std::string();
}


std::string
DestManager::DestinationPath(int32 index, const std::string& parentPath, bool custom)
{
	if (!custom && index == kParentFolderDestination)
		return parentPath;
	if (!custom && index == kInstallFolderDestination) {
		if (fInstallDir != nullptr)
			return PathOf(fInstallDir);
		return fInstallPath != nullptr ? _OnVolume(fInstallPath) : std::string();
	}
	DestItem* item = custom ? fCustomDests->ItemAt(index) : fDefaultDests->ItemAt(index);
	return item != nullptr ? _ListEntryPath(item) : std::string();
}


bool
DestManager::_LocateOriginal(DestItem* item, BDirectory* dir,
	ArchivePatchItem* patch)
{
	FindItem* query = dynamic_cast<FindItem*>(item);
	if (query != nullptr && query->fSize == patch->fOldSize) {
		patch->fOriginalRef = query->fFoundRef;
		return true;
	}
	dir->Rewind();
	BEntry entry;
	while (dir->GetNextEntry(&entry, false) == B_OK) {
		off_t size = 0;
		if (entry.IsFile() && entry.GetSize(&size) == B_OK
			&& (int64)size == patch->fOldSize) {
			return entry.GetRef(&patch->fOriginalRef) == B_OK;
		}
	}
	return false;
}


status_t
DestManager::FetchQuery(FindItem* item, REntryList* result)
{
	int32 count = item->CountPredicates();
	if (count == 0)
		return B_ERROR;
	BVolume volume(fVolume);
	BQuery query;
	query.Clear();
	query.SetVolume(&volume);
	status_t status = query.SetPredicate(item->PredicateAt(0));
	if (status == B_OK)
		status = query.Fetch();
	if (status != B_OK)
		return status;
	result->SetTo(&query);
	// The further predicates only narrow the first one's matches.
	_DropRunFolderEntries(result);

	for (int32 i = 1; i < count; i++) {
		REntryList more;
		query.Clear();
		query.SetVolume(&volume);
		status = query.SetPredicate(item->PredicateAt(i));
		if (status == B_OK)
			status = query.Fetch();
		if (status != B_OK)
			break;
		more.SetTo(&query);
		result->QueryAnd(&more);
		if (result->CountEntries() == 0) {
			status = B_OK;
			break;
		}
	}
	return status;
}


// What runs moved out of the way (this one's, those of killed runs, and
// what a run could not put back) is no destination and no original: it is
// deleted or put back when its run ends, or waits there for its owner.
void
DestManager::_DropRunFolderEntries(REntryList* matches)
{
	BDirectory varTmp;
	node_ref varTmpNode;
	node_ref rootNode;
	if (fRootDir.GetNodeRef(&rootNode) != B_OK
		|| varTmp.SetTo(&fRootDir, "var/tmp") != B_OK
		|| varTmp.GetNodeRef(&varTmpNode) != B_OK)
		return;
	matches->Rewind();
	entry_ref ref;
	while (matches->GetNextRef(&ref) == B_OK) {
		if (IsInRunFolder(ref, varTmpNode, rootNode))
			matches->RemoveCurrent();
	}
	matches->Rewind();
}


bool
DestManager::SafeDelete(BEntry* item, BDirectory* folder)
{
	char name[B_FILE_NAME_LENGTH] = "";
	item->GetName(name);
	node_ref node;
	status_t status = item->GetNodeRef(&node);

	// An entry of its name there already (another item displaced from
	// another folder, or the journal) sends it into a folder of its own.
	BDirectory clash;
	BDirectory* into = &fTempDir;
	if (status == B_OK && fTempDir.Contains(name)) {
		char clashName[B_FILE_NAME_LENGTH];
		snprintf(clashName, sizeof(clashName), kClashFolderFormat, (int)fTempCount++);
		status = fTempDir.CreateDirectory(clashName, &clash);
		into = &clash;
	}
	if (status == B_OK)
		status = fJournal.NoteMoving(_PathIn(folder, name), _PathIn(into, name), node.node);
	if (status == B_OK) {
		_ForgetFolderPaths(item);
		status = item->MoveTo(into, nullptr, false);
	}
	if (status != B_OK) {
		// The item is not installed over an entry that could not be kept.
		std::string text = alert_text("Error moving item \"%s\" to temporary directory.",
			name);
		NoteItemFailed();
		NoteFailure(name, text);
		doError(text.c_str());
		return false;
	}
	DeleteItem* record = new DeleteItem;
	BEntry folderEntry;
	folder->GetEntry(&folderEntry);
	folderEntry.GetRef(&record->fDirRef);
	folder->GetNodeRef(&record->fDirNode);
	record->fName = name;
	item->GetRef(&record->fMovedRef);
	_AddUndoRecord(record);
	return true;
}


status_t
DestManager::RenameAside(BDirectory* folder, BEntry* entry, const char* newName)
{
	char oldName[B_FILE_NAME_LENGTH];
	node_ref node;
	status_t status = entry->GetName(oldName);
	if (status == B_OK)
		status = entry->GetNodeRef(&node);
	if (status == B_OK) {
		status = fJournal.NoteMoving(_PathIn(folder, oldName), _PathIn(folder, newName),
			node.node);
	}
	if (status == B_OK) {
		_ForgetFolderPaths(entry);
		status = entry->Rename(newName, false);
	}
	if (status == B_OK)
		NoteRenamed(folder, oldName, entry);
	return status;
}


bool
DestManager::PutBackDisplaced(BDirectory* folder, const char* name)
{
	node_ref folderNode;
	if (name == nullptr || folder->GetNodeRef(&folderNode) != B_OK)
		return true;
	auto place = fVacatedPlaces.find({folderNode, name});
	if (place == fVacatedPlaces.end())
		return true;
	DeleteItem* record = place->second;
	if (!_RestoreItem(record))
		return false;
	fVacatedPlaces.erase(place);
	fDeleteList->RemoveItem(fDeleteList->IndexOf(record));
	// An item moved away twice from one place: the earlier record is the
	// place's latest again.
	for (int32 index = fDeleteList->CountItems() - 1; index >= 0; index--) {
		DeleteItem* earlier = fDeleteList->ItemAt(index);
		if (earlier->fDirNode == folderNode && earlier->fName == name) {
			fVacatedPlaces[{folderNode, earlier->fName}] = earlier;
			break;
		}
	}
	delete record;
	return true;
}


void
DestManager::NoteRenamed(BDirectory* folder, const char* oldName, const BEntry* renamed)
{
	BEntry folderEntry;
	DeleteItem* record = new DeleteItem;
	if (folder->GetEntry(&folderEntry) != B_OK
		|| folderEntry.GetRef(&record->fDirRef) != B_OK
		|| folder->GetNodeRef(&record->fDirNode) != B_OK
		|| renamed->GetRef(&record->fMovedRef) != B_OK) {
		delete record;
		return;
	}
	record->fName = oldName;
	record->fRenamed = true;
	_AddUndoRecord(record);
}


void
DestManager::_AddUndoRecord(DeleteItem* record)
{
	fDeleteList->AddItem(record);
	fVacatedPlaces[{record->fDirNode, record->fName}] = record;
}


status_t
DestManager::NoteCreating(BDirectory* folder, const char* name)
{
	node_ref folderNode;
	status_t status = folder->GetNodeRef(&folderNode);
	if (status != B_OK)
		return status;
	// Taking the run back removes a folder it made with everything in it:
	// what is made inside one needs no record of its own on the disk first.
	return fJournal.NoteCreating(_PathIn(folder, name), !_MadeByRun(folderNode));
}


bool
DestManager::_MadeByRun(const node_ref& folder) const
{
	return fFoldersMadeByRun.count(folder) != 0;
}


bool
DestManager::_InsideMadeFolder(BDirectory* folder)
{
	node_ref folderNode;
	return folder->GetNodeRef(&folderNode) == B_OK && _MadeByRun(folderNode);
}


void
DestManager::NoteCreated(BDirectory* folder, const char* name, const BNode* made)
{
	if (name == nullptr)
		return;
	DeleteItem* vacated = _VacatedPlace(folder, name);
	// A file made in a folder this run made, where nothing was moved
	// aside, needs its node nowhere: taking the run back removes that
	// folder with all it holds.
	if (vacated == nullptr && dynamic_cast<const BFile*>(made) != nullptr
		&& _InsideMadeFolder(folder)) {
		fJournal.PassUnrecordedStep();
		return;
	}
	struct stat st;
	status_t status = made != nullptr ? made->GetStat(&st) : BEntry(folder, name).GetStat(&st);
	if (status != B_OK)
		return;
	node_ref createdNode(st.st_dev, st.st_ino);
	fJournal.NoteCreated(_PathIn(folder, name), createdNode.node);
	if (S_ISDIR(st.st_mode))
		fFoldersMadeByRun.insert(createdNode);
	if (vacated != nullptr) {
		vacated->fReplacement = createdNode;
		vacated->fReplaced = true;
	}
}


void
DestManager::NoteComplete(BDirectory* folder, const char* name, const char* patchedFrom,
	Sha256Digest* contents, BFile* written)
{
	ReceiptItem item;
	item.fPath = _PathIn(folder, name);
	fJournal.PassUnrecordedStep();
	if (written != nullptr) {
		InstalledCheck::DescribeFile(written, &item, contents);
		fWriteBehind.Written(item.fSize);
	} else {
		BEntry entry(folder, name);
		InstalledCheck::Describe(&entry, true, &item, contents);
	}
	DeleteItem* vacated = _VacatedPlace(folder, name);
	if (patchedFrom != nullptr) {
		item.fExisting = kExistingPatched;
		item.fOriginal = patchedFrom;
	} else if (vacated != nullptr && vacated->fRenamed) {
		item.fExisting = kExistingRenamed;
		BPath renamedTo;
		if (BEntry(&vacated->fMovedRef).GetPath(&renamedTo) == B_OK)
			item.fRenamedTo = renamedTo.Path();
	} else if (vacated != nullptr)
		item.fExisting = kExistingReplaced;
	fReceipt.fItems.push_back(item);
	_TellItem(item);
}


void
DestManager::NoteKeptExisting(BDirectory* folder, const char* name, receipt_existing what)
{
	ReceiptItem item;
	item.fPath = _PathIn(folder, name);
	item.fExisting = what;
	BEntry entry(folder, name);
	// What was kept is not the package's: its contents are not its record.
	InstalledCheck::Describe(&entry, false, &item);
	fReceipt.fItems.push_back(item);
	_TellItem(item);
}


void
DestManager::NoteScriptRan(const char* name, BDirectory* folder)
{
	ReceiptScript script;
	script.fName = name != nullptr ? name : "";
	BEntry entry;
	BPath path;
	if (folder->GetEntry(&entry) == B_OK && entry.GetPath(&path) == B_OK)
		script.fFolder = path.Path();
	fReceipt.fScripts.push_back(script);
	fJournal.NoteScript(script.fName);

	RunItem ran;
	ran.fPath = _PathIn(folder, script.fName.c_str());
	ran.fKind = "script";
	ran.fAction = "run script";
	RunEvents::ItemEnded(ran);
}


void
DestManager::_TellItem(const ReceiptItem& item) const
{
	if (!fTellingItems || !RunEvents::Watched())
		return;
	static const char* const kActions[] = { "create", "replace", "rename existing",
		"merge", "skip", "patch" };
	static const char* const kKinds[] = { "file", "folder", "link" };
	RunItem told;
	told.fPath = item.fPath;
	told.fKind = item.fExisting == kExistingPatched ? "patch" : kKinds[item.fKind];
	told.fAction = kActions[item.fExisting];
	told.fRenamedTo = item.fRenamedTo;
	told.fOriginal = item.fOriginal;
	RunEvents::ItemEnded(told);
}


void
DestManager::TellRunStart(int32 itemCount, int64 bytes)
{
	if (!RunEvents::Watched())
		return;
	RunStart start;
	start.fPackageName = fReceipt.fPackageName;
	start.fVolume = fVolumeName;
	start.fInstallFolder = fReceipt.fInstallFolder;
	start.fGroups = fReceipt.fGroups;
	start.fItemCount = itemCount;
	start.fBytes = bytes;
	if (fLogging)
		start.fLogPath = "/" + fVolumeName + "/" + LogFileName(fAttrib != nullptr
			? fAttrib->fPackageName : nullptr);
	RunEvents::RunStarted(start);
}


void
DestManager::SetReceiptGroups(uint32 groups)
{
	fReceipt.fGroups = GroupNames(groups);
}


std::vector<std::string>
DestManager::GroupNames(uint32 groups) const
{
	std::vector<std::string> names;
	GroupList* list = fAttrib != nullptr ? fAttrib->fGroupList : nullptr;
	for (int32 i = 0; list != nullptr && i < list->CountGroups(); i++) {
		GroupItem* group = list->GroupAt(i);
		if ((groups & GroupList::GroupMaskFor(i)) != 0 && group != nullptr
			&& group->Name() != nullptr)
			names.push_back(group->Name());
	}
	return names;
}


void
DestManager::_BeginReceipt(entry_ref* folderRef, const char* folderPath)
{
	fReceipt = InstallReceipt();
	if (fAttrib != nullptr && fAttrib->fPackageName != nullptr)
		fReceipt.fPackageName = fAttrib->fPackageName;
	if (fAttrib != nullptr && fAttrib->fDescription != nullptr)
		fReceipt.fDescription = fAttrib->fDescription;
	fReceipt.fSigner = fPackageSigner;
	fReceipt.fInstaller = kInstallerVersion;
	fReceipt.fVolume = fVolumeName;
	BPath folder;
	if (folderPath != nullptr) {
		std::string path = "/" + fVolumeName + "/" + folderPath;
		while (path.size() > 1 && path.back() == '/')
			path.pop_back();
		fReceipt.fInstallFolder = path;
	} else if (folderRef != nullptr && folder.SetTo(folderRef) == B_OK)
		fReceipt.fInstallFolder = folder.Path();
}


DeleteItem*
DestManager::_VacatedPlace(BDirectory* folder, const char* name)
{
	node_ref folderNode;
	if (folder->GetNodeRef(&folderNode) != B_OK)
		return nullptr;
	auto place = fVacatedPlaces.find({folderNode, name});
	return place != fVacatedPlaces.end() ? place->second : nullptr;
}


status_t
DestManager::_WriteReceipt()
{
	// The folders of receipts are no item of the package.
	size_t items = fReceipt.fItems.size();
	BEntry folderEntry;
	fTellingItems = false;
	status_t status = CreatePathAt(&fRootDir, kReceiptFolderPath, &folderEntry, this);
	fTellingItems = true;
	fReceipt.fItems.resize(items);
	BDirectory folder;
	if (status == B_OK)
		status = folder.SetTo(&folderEntry);
	std::string name = InstallReceipt::FileNameFor(fReceipt.fPackageName);
	BEntry earlier(&folder, name.c_str());
	if (status == B_OK && earlier.Exists() && !SafeDelete(&earlier, &folder))
		status = B_ERROR;
	if (status == B_OK)
		status = NoteCreating(&folder, name.c_str());
	if (status == B_OK) {
		fReceipt.fInstalledAt = (int64)time(nullptr);
		if (fPackageDigest.valid())
			fReceipt.fDigest = fPackageDigest.get();
		status = fReceipt.WriteTo(&folder, name.c_str());
	}
	if (status == B_OK)
		NoteCreated(&folder, name.c_str());
	return status;
}


// The platform path of `name` in `folder` ("/" and the name when the
// folder's own path cannot be had).
std::string
DestManager::_PathIn(BDirectory* folder, const char* name)
{
	std::string path;
	if (!FolderPath(folder, &path))
		path = "/";
	return path + name;
}


// The folders' own paths are kept until something is moved that may hold
// one: items come folder by folder, and a folder's path costs a walk up to
// the root.
bool
DestManager::FolderPath(BDirectory* folder, std::string* path)
{
	node_ref node;
	bool known = folder->GetNodeRef(&node) == B_OK;
	auto kept = known ? fFolderPaths.find(node) : fFolderPaths.end();
	if (kept != fFolderPaths.end()) {
		*path = kept->second;
		return true;
	}
	BEntry entry;
	BPath folderPath;
	if (folder->GetEntry(&entry) != B_OK || entry.GetPath(&folderPath) != B_OK
		|| folderPath.Path() == nullptr || folderPath.Path()[0] != '/')
		return false;
	*path = folderPath.Path();
	if (path->back() != '/')
		*path += '/';
	if (known)
		fFolderPaths[node] = *path;
	return true;
}


void
DestManager::_ForgetFolderPaths(const BEntry* moved)
{
	if (moved->IsDirectory())
		fFolderPaths.clear();
}


void
DestManager::FinishInstall(bool undo, void*)
{
	// A run that passed over items keeps what it displaced; one that went
	// through first has what it installed on the disk, then says in its
	// journal that it has ended, and only then deletes what it displaced.
	bool keep = !undo && fFailedItems > 0 && !_TempFolderIsEmpty();
	fWriteBehind.Stop();
	if (!undo && !keep && fJournal.IsHeld()) {
		// A completed install that installed anything leaves its record.
		bool installed = fFailedItems == 0 && fRunKind == "install"
			&& (!fReceipt.fItems.empty() || !fReceipt.fScripts.empty());
		if (installed && _WriteReceipt() != B_OK) {
			doError("The record of this installation could not be written on volume \"%s\".",
				fVolumeName.c_str());
		}
		BVolume(fVolume).Sync();
		fJournal.NoteEnd();
	}

	bool leftBehind = false;
	// Last moved first: an item moved away twice comes back as it was, and
	// an original renamed and then displaced gets its name back.
	while (!fDeleteList->IsEmpty()) {
		DeleteItem* record = fDeleteList->RemoveItem(fDeleteList->CountItems() - 1);
		if (undo && !_RestoreItem(record))
			leftBehind = true;
		delete record;
	}
	fVacatedPlaces.clear();

	BEntry tempEntry;
	fTempDir.GetEntry(&tempEntry);
	if (leftBehind || keep) {
		// No longer a run's folder: nothing will take back what it holds.
		fJournal.Close();
		if (leftBehind)
			_RescueTempFolder(&tempEntry);
		else
			_KeepDisplacedItems(&tempEntry);
	} else if (tempEntry.InitCheck() == B_OK
		&& delete_run_folder(&tempEntry, &fTempDir, &fJournal) != B_OK) {
		doError("Some items could not be removed from the temporary directory on volume \"%s\".",
			fVolumeName.c_str());
	}
	fJournal.Close();
	fTempDir.Unset();
	fFoldersMadeByRun.clear();
	fFolderPaths.clear();

	delete fLog;
	fLog = nullptr;
	// The lock file goes with the lock; then the folders that held it, when
	// this run made them.
	fRunLock.Unlock();
	_RemoveMadeFolders();
}


// Renames the run's temporary folder so that no later run takes it for its
// own and nothing deletes what it holds.
void
DestManager::_RescueTempFolder(BEntry* tempEntry)
{
	BDirectory runFolders;
	if (tempEntry->GetParent(&runFolders) == B_OK)
		tempEntry->Rename(rescue_folder_name(&runFolders).c_str(), false);
}


bool
DestManager::_TempFolderIsEmpty()
{
	bool empty = run_folder_holds_only_journal(&fTempDir);
	fTempDir.Rewind();
	return empty;
}


// A run that passed over items it could not install has not installed the
// package: what it replaced may be all the person still has of it, so the
// temporary folder is kept and the person told where.
void
DestManager::_KeepDisplacedItems(BEntry* tempEntry)
{
	_RescueTempFolder(tempEntry);
	BPath path;
	tempEntry->GetPath(&path);
	doError("Some items could not be installed. The items this installation replaced "
		"have been kept in \"%s\".", path.Path() != nullptr ? path.Path() : "");
}


// Only what this run made at the item's place is removed first; an entry
// someone else put there stays, and the item then stays where it is.
bool
DestManager::_RestoreItem(const DeleteItem* record)
{
	BDirectory original(&record->fDirRef);
	BEntry moved(&record->fMovedRef);
	const char* name = record->fName.c_str();
	BEntry installed(&original, name);
	node_ref there;
	if (original.InitCheck() == B_OK && record->fReplaced
		&& installed.GetNodeRef(&there) == B_OK && there == record->fReplacement)
		RecursiveDelete(&installed);
	if (original.InitCheck() != B_OK
		|| moved.MoveTo(&original, name, false) != B_OK) {
		doError("Error restoring item \"%s\" to original location after cancelled install.",
			name);
		return false;
	}
	return true;
}


std::string
DestManager::LogFileName(const char* packageName)
{
	std::string name = packageName != nullptr ? packageName : "";
	if (name.size() > kMaxLogNameLength)
		name.resize(kMaxLogNameLength);
	// A package name is a name, never a path.
	for (char& c : name) {
		if (c == '/')
			c = '-';
	}
	if (name.empty())
		return "Install Log";
	return name + kLogPostfix;
}


void
DestManager::NoteFailure(const char* name, const std::string& reason)
{
	fFailedItemName = name != nullptr ? name : "";
	fFailureReason = reason;
	RunEvents::ItemFailed(name, reason);
}


BFile*
DestManager::LogFile()
{
	if (fLog != nullptr)
		return fLog;
	std::string name = LogFileName(fAttrib != nullptr ? fAttrib->fPackageName : nullptr);
	fLog = new BFile;
	fLogDir = fRootDir;
	status_t status = fLogDir.InitCheck();
	if (status == B_OK) {
		BEntry existing(&fLogDir, name.c_str());
		if (existing.Exists()) {
			status = fLog->SetTo(&existing, B_READ_WRITE);
			if (status == B_OK)
				status = fLog->SetSize(0);
		} else
			status = fLogDir.CreateFile(name.c_str(), fLog, false);
	}
	if (status != B_OK) {
		fLog->Unset();
		doError("File system error creating log file. Logging has been disabled.");
		fLogging = false;
		return fLog;
	}
	fLog->Seek(0, SEEK_SET);
	BNodeInfo info(fLog);
	info.SetType("text/plain");
	return fLog;
}


bool
DestManager::InstallPlatform(int32 platformMask)
{
	return (platformMask & kThisPlatformMask) != 0;
}


int64
DestManager::AllocExtra(int64 size)
{
	int64 rest = size % fBlockSize;
	return rest == 0 ? 0 : fBlockSize - rest;
}


int64
DestManager::AllocSize(int64 size)
{
	return size + AllocExtra(size);
}


void
DestManager::SetInstallDir(BEntry* folder)
{
	if (!fCreateTopFolder)
		return;
	BDirectory* dir = new BDirectory(folder);
	if (dir->InitCheck() != B_OK) {
		delete dir;
		return;
	}
	delete fInstallDir;
	fInstallDir = dir;
}


void
DestManager::ClearDestinationLists()
{
	RList<DestItem*>* lists[] = { fDefaultDests, fCustomDests };
	for (RList<DestItem*>* list : lists) {
		for (int32 i = 0; i < list->CountItems(); i++) {
			DestItem* item = list->ItemAt(i);
			delete item->fDir;
			item->fDir = nullptr;
			if (FindItem* query = dynamic_cast<FindItem*>(item))
				query->fNotFound = false;
		}
	}
}
