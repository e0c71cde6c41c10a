#ifndef _DEST_MANAGER_H
#define _DEST_MANAGER_H

// Knows where things go on the target volume: the directories that the
// destination indices of the catalog name, the run's temporary folder that
// holds the items an install replaces, and the install log.

#include "ArchiveItem.h"
#include "DeleteItem.h"
#include "DestItem.h"
#include "InstallReceipt.h"
#include "PackageFormat.h"
#include "RList.h"
#include "RunJournal.h"
#include "WriteBehind.h"

#include <Directory.h>
#include <EntryRef.h>
#include <File.h>
#include <FileLock.h>
#include <SupportDefs.h>

#include <future>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class ArchiveFolderItem;
class ArchivePatchItem;
class BEntry;
class FindItem;
class PackAttrib;
struct PlanAnswers;
class REntryList;
class Sha256Digest;

class DestManager {
public:
	// Takes the attribute record's destination lists and top-folder flag.
	DestManager(PackAttrib* attrib);
	~DestManager();

	// What the receipts of this package's runs say of it: who signed it
	// (empty: not signed) and the digest of its stream, which may still be
	// being taken: it is waited for when a receipt is written.
	void SetPackageIdentity(const std::string& signer,
		const std::shared_future<std::string>& digest)
	{
		fPackageSigner = signer;
		fPackageDigest = digest;
	}

	// Prepares one run: SetTarget, then MakeTempFolder. False after an
	// alert. The install worker does the two itself, taking the volume's
	// run lock between them.
	bool SetupInstall(entry_ref* folderRef, char* folderPath, dev_t volume,
		ArchiveFolderItem* topFolder, bool flag);
	// Where the next run installs: either `folderPath` (relative to the
	// volume's root) or `folderRef` names the install folder.
	void SetTarget(entry_ref* folderRef, char* folderPath, dev_t volume,
		ArchiveFolderItem* topFolder, bool flag);
	// Takes the target volume's run lock without waiting: one run at a time
	// per volume, so that no run displaces, restores or deletes what another
	// is installing. B_OK, B_BUSY while another run holds it, or another
	// error after an alert. FinishInstall releases it.
	status_t LockVolume();
	// Makes the run's temporary folder on the target volume, unless the run
	// has one already. False after an alert.
	bool MakeTempFolder();
	// The name of the target volume (set by SetTarget).
	const std::string& VolumeName() const { return fVolumeName; }

	BDirectory* DirectoryFor(int32 index, BDirectory* parent, bool custom,
		bool create, ArchivePatchItem* patch);
	status_t FetchQuery(FindItem* item, REntryList* result);

	// Moves an existing item out of the way, into the temporary folder,
	// having written where to in the journal. False after an alert when it
	// could not be moved: the item that was to replace it is not installed,
	// and counts as failed.
	bool SafeDelete(BEntry* item, BDirectory* folder);
	// Renames the entry in `folder` to `newName` to keep it beside the item
	// that takes its place, having written it in the journal; a run that
	// ends early gives it its name back.
	status_t RenameAside(BDirectory* folder, BEntry* entry, const char* newName);
	// To be called before the run makes `name` in `folder`: the journal
	// says so first. Nothing is to be made when it fails.
	status_t NoteCreating(BDirectory* folder, const char* name);
	// Records what the run has just made as `name` in `folder`: where an
	// item was moved or renamed away, putting it back removes this first.
	// The item itself, when the caller holds it open, spares finding it by
	// name.
	void NoteCreated(BDirectory* folder, const char* name, const BNode* made = nullptr);
	// The item `name` in `folder` is installed in full, and goes into the
	// run's receipt; a patched file names the original it was made from.
	// A file's `contents` digest, when it covers the whole file, spares
	// reading it again, and the file still open spares finding it by name.
	void NoteComplete(BDirectory* folder, const char* name,
		const char* patchedFrom = nullptr, Sha256Digest* contents = nullptr,
		BFile* written = nullptr);
	// The entry `name` in `folder`, there before the run, was kept: a
	// folder the item's contents went into, or an entry kept in place of
	// the item. The receipt says so.
	void NoteKeptExisting(BDirectory* folder, const char* name, receipt_existing what);
	// The groups the run installs (a mask of the package's groups), for the
	// receipt.
	void SetReceiptGroups(uint32 groups);
	// The names of the package's groups in the mask `groups`.
	std::vector<std::string> GroupNames(uint32 groups) const;
	// The script `name` runs in `folder`: a recovery cannot undo what it
	// does, and says so.
	void NoteScriptRan(const char* name, BDirectory* folder);
	// What the journal calls a run of this manager: "install" (the
	// default) or "uninstall".
	void SetRunKind(const char* kind) { fRunKind = kind; }
	// Puts back the item that the run moved or renamed out of `folder` for `name`,
	// when there is one, after removing what now has its name: an item that
	// could not be installed leaves the original in its place even when the
	// run goes on. False when an original was there and could not be put
	// back (an alert was shown; it stays in the temporary folder).
	bool PutBackDisplaced(BDirectory* folder, const char* name);
	// Ends the run: empties the temporary folder, or with `undo` (a run
	// that was cancelled or failed) first puts every item moved or renamed
	// out of the way back, the last first; then releases the run lock and
	// removes the "var/tmp" (and "var") this run made, when left empty.
	void FinishInstall(bool undo, void* unused);
	// Counts an item that could not be installed and was passed over: the
	// run goes on, but it has not installed the package, and what it
	// displaced is kept when it ends (nothing it was to replace is lost).
	void NoteItemFailed() { fFailedItems++; }
	int32 FailedItems() const { return fFailedItems; }
	// Keeps which item could not be installed and why (`reason`, as the
	// person was told): a run that fails names the last one noted.
	void NoteFailure(const char* name, const std::string& reason);
	// The person chose to end the run at the failure noted last ("Cancel"
	// in its question): the run failed there, it was not simply cancelled.
	void NoteStoppedAtFailure() { fStoppedAtFailure = true; }
	bool StoppedAtFailure() const { return fStoppedAtFailure; }
	const std::string& FailedItemName() const { return fFailedItemName; }
	const std::string& FailureReason() const { return fFailureReason; }
	// The platform path of `name` in `folder`, as the journal and the
	// receipt write it.
	std::string PlatformPath(BDirectory* folder, const char* name) { return _PathIn(folder, name); }
	// The platform path of `folder` followed by "/" ("/" alone for the
	// root), as the log writes it; false when it cannot be had.
	bool FolderPath(BDirectory* folder, std::string* path);
	// What the run is about to install, for whoever watches it (RunEvents).
	void TellRunStart(int32 itemCount, int64 bytes);

	// A plan is made with these answers in place of every question (the
	// results chooser included); null, the default, for a run.
	void SetPlanning(const PlanAnswers* answers) { fPlanAnswers = answers; }
	const PlanAnswers* Planning() const { return fPlanAnswers; }
	// The platform path the destination `index` has, or would have once
	// the run made it, without making or asking anything; empty when it
	// has none (a search that found nothing, an index out of range). The
	// parent folder's path is `parentPath`.
	std::string DestinationPath(int32 index, const std::string& parentPath,
		bool custom);
	// The platform path of `folder`; empty when it has none.
	static std::string PathOf(const BDirectory* folder);

	BFile* LogFile();
	bool InstallPlatform(int32 platformMask);
	// Sizes rounded up to whole allocation blocks; 64-bit, files may pass
	// 4 GiB.
	int64 AllocExtra(int64 size);
	int64 AllocSize(int64 size);
	void SetInstallDir(BEntry* folder);
	void ClearDestinationLists();

	// The log's file name for a package name: "<name> Install Log" in
	// B_FILE_NAME_LENGTH bytes.
	static std::string LogFileName(const char* packageName);
	// The name of this run's temporary folder, for the curious (tests).
	const std::string& TempFolderName() const { return fTempName; }

	bool fDeleteOriginals;
	bool fCreateTopFolder;
	bool fLogging;
	BDirectory fLogDir;
	bool fCanceled;
	int16 fReplaceChoice;
	bool fDontAsk;
	PackAttrib* fAttrib;
	// Who signed the package and its digest, for the receipt.
	std::string fPackageSigner;
	std::shared_future<std::string> fPackageDigest;
	dev_t fVolume;
	RList<DestItem*>* fDefaultDests;
	RList<DestItem*>* fCustomDests;
	char* fInstallPath;
	BDirectory* fInstallDir;
	BDirectory fRootDir;
	BDirectory fTempDir;
	RList<DeleteItem*>* fDeleteList;
	BFile* fLog;
	int32 fTempCount;
	int32 fBlockSize;

private:
	DestManager(const DestManager&) = delete;
	DestManager& operator=(const DestManager&) = delete;

	bool _CreateTempFolder();
	bool _StartJournal();
	void _BeginReceipt(entry_ref* folderRef, const char* folderPath);
	void _RecoverDeadRuns();
	// Records that the item `renamed` was called `oldName` in `folder`
	// before the run renamed it out of the way.
	void NoteRenamed(BDirectory* folder, const char* oldName, const BEntry* renamed);
	std::string _PathIn(BDirectory* folder, const char* name);
	// Tells whoever watches the run what was done to the receipt's item.
	void _TellItem(const ReceiptItem& item) const;
	DeleteItem* _VacatedPlace(BDirectory* folder, const char* name);
	// Whether `folder` is one this run made.
	bool _MadeByRun(const node_ref& folder) const;
	bool _InsideMadeFolder(BDirectory* folder);
	// Writes the receipt of a completed run on the target volume, through
	// the journal like an item: an earlier receipt of the package is
	// displaced, and a run taken back takes the new one back too.
	status_t _WriteReceipt();
	void _ForgetFolderPaths(const BEntry* moved);
	// Opens the volume's "var/tmp" in `runFolder`, making what is missing of
	// it and noting what this run made.
	status_t _MakeRunFolder(BDirectory* runFolder);
	// Removes the folders _MakeRunFolder made where they are empty, the
	// deepest first.
	void _RemoveMadeFolders();
	BDirectory* _InstallFolder(bool create);
	BDirectory* _ListEntryFolder(DestItem* item, bool create);
	void _ResolveQuery(FindItem* item);
	void _ResolvePath(DestItem* item, bool create);
	// The platform path a path or system-folder destination names.
	std::string _ListEntryPath(DestItem* item);
	// The volume's root, and `relative` below it, as a platform path.
	std::string _OnVolume(const char* relative);
	void _ResolveSystemFolder(DestItem* item, bool create);
	bool _LocateOriginal(DestItem* item, BDirectory* dir, ArchivePatchItem* patch);
	// Removes the matches that runs' temporary and rescue folders hold.
	void _DropRunFolderEntries(REntryList* matches);
	void _AddUndoRecord(DeleteItem* record);
	bool _RestoreItem(const DeleteItem* record);
	void _RescueTempFolder(BEntry* tempEntry);
	bool _TempFolderIsEmpty();
	void _KeepDisplacedItems(BEntry* tempEntry);
	// Where a query found several files: the user picks the one to use, in
	// `ref`, and `ok` says whether the user agreed (the chooser window).
	void _ChooseAmongMatches(REntryList* matches, FindItem* item, bool* ok,
		entry_ref* ref);

	ArchiveFolderItem* fTopFolder;
	bool fTopFlag;
	const PlanAnswers* fPlanAnswers;
	int32 fFailedItems;
	bool fStoppedAtFailure;
	std::string fFailedItemName;
	std::string fFailureReason;
	std::string fVolumeName;
	std::string fTempName;
	// The latest record of each place an item was taken from, by folder
	// node and name.
	std::map<std::pair<node_ref, std::string>, DeleteItem*> fVacatedPlaces;
	BPrivate::FileLock fRunLock;
	// The folders this run made for its lock and temporary folder: their
	// paths from the volume's root, and the nodes made.
	std::vector<std::pair<std::string, node_ref>> fMadeFolders;
	std::string fRunKind;
	RunJournal fJournal;
	// Writes the run's files back to the disk while it goes on.
	WriteBehind fWriteBehind;
	// The folders this run made: what it makes inside one is taken back
	// with the folder.
	std::set<node_ref> fFoldersMadeByRun;
	// The platform paths of folders the journal named, by node.
	std::map<node_ref, std::string> fFolderPaths;
	// What the run installed, written when it completes.
	InstallReceipt fReceipt;
	// Off while the run makes the receipt's own folders: they are none of
	// the package's items.
	bool fTellingItems;
};

#endif // _DEST_MANAGER_H
