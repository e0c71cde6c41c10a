#include "Uninstaller.h"

#include "DestManager.h"
#include "InstalledCheck.h"
#include "InterruptWatch.h"
#include "PackAttrib.h"
#include "ReceiptStore.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

std::string
LeafOf(const std::string& path)
{
	return path.substr(path.rfind('/') + 1);
}


// A folder that holds something the package did not install (or that was
// kept): it stays, with what it holds.
bool
HoldsItems(const std::string& path)
{
	BEntry entry(path.c_str());
	struct stat st;
	if (entry.GetStat(&st) != B_OK || !S_ISDIR(st.st_mode))
		return false;
	BDirectory folder(&entry);
	return folder.InitCheck() != B_OK || folder.CountEntries() > 0;
}


// A file the install patched and put in place of its original (deleted
// then): removing it would leave neither the original nor the patched
// file, of a program another package installed.
bool
OriginalIsGone(const ReceiptItem& item)
{
	return item.fExisting == kExistingPatched
		&& (item.fOriginal == item.fPath || !BEntry(item.fOriginal.c_str()).Exists());
}


bool
IsOnVolume(const std::string& path, dev_t volume)
{
	struct stat st;
	return BEntry(path.c_str()).GetStat(&st) == B_OK && st.st_dev == volume;
}

} // namespace


Uninstaller::Uninstaller(dev_t volume, const std::string& fileName,
	const std::string& packageName)
	:
	fVolume(volume),
	fFileName(fileName),
	fPackageName(packageName),
	fForce(false),
	fRemoved(0),
	fReceiptKept(false),
	fChangedKept(false),
	fCanceled(false)
{
}


status_t
Uninstaller::Run()
{
	PackAttrib attrib;
	attrib.AdoptPackageName(strdup(fPackageName.c_str()));
	DestManager manager(&attrib);
	manager.SetRunKind("uninstall");
	manager.SetTarget(nullptr, nullptr, fVolume, nullptr, false);
	// An interrupt puts back what was removed, as it does for an install.
	InterruptWatch interrupts;

	status_t status = manager.LockVolume();
	BDirectory folder;
	// Read under the lock: a run that ended meanwhile may have replaced it.
	if (status == B_OK)
		status = _ReadReceipt(&folder);
	if (status == B_OK && !manager.MakeTempFolder())
		status = B_ERROR;
	if (status != B_OK) {
		// Lets go of the lock; nothing was moved.
		manager.FinishInstall(false, nullptr);
		return status;
	}

	_RemoveItems(&manager);
	if (fCanceled)
		status = B_CANCELED;
	else if (!fFailedItem.empty())
		status = B_NOT_ALLOWED;
	else
		status = _UpdateReceipt(&folder, &manager);
	// Half a removal is put back whole: a receipt that no longer says what
	// stays could lead a later removal to take an original that got its
	// name back.
	manager.FinishInstall(status != B_OK, nullptr);
	return status;
}


status_t
Uninstaller::_ReadReceipt(BDirectory* folder)
{
	status_t status = ReceiptStore::OpenFolder(fVolume, folder);
	if (status == B_OK)
		status = fReceipt.ReadFrom(folder, fFileName.c_str());
	if (status == B_OK && fReceipt.fPackageName != fPackageName)
		status = B_ENTRY_NOT_FOUND;
	return status;
}


// What a folder holds comes after it in the receipt: the last installed
// goes first, so that a folder is empty when its turn comes.
void
Uninstaller::_RemoveItems(DestManager* manager)
{
	std::vector<bool> staying(fReceipt.fItems.size(), false);
	for (size_t index = fReceipt.fItems.size(); index-- > 0;) {
		if (InterruptWatch::Requested()) {
			fCanceled = true;
			return;
		}
		staying[index] = _RemoveItem(fReceipt.fItems[index], manager);
		if (!fFailedItem.empty())
			return;
	}
	bool packageItemStays = false;
	for (size_t index = 0; index < staying.size(); index++) {
		const ReceiptItem& item = fReceipt.fItems[index];
		if (!staying[index])
			continue;
		fStaying.push_back(item);
		packageItemStays |= InstalledCheck::IsPackageItem(item)
			&& item.fExisting != kExistingMerged;
	}
	// What was there before the install is left alone, and recorded no
	// longer once nothing of the package's own stays beside it.
	if (!packageItemStays)
		fStaying.clear();
}


bool
Uninstaller::_RemoveItem(const ReceiptItem& item, DestManager* manager)
{
	if (!InstalledCheck::IsPackageItem(item) || item.fExisting == kExistingMerged)
		return true;
	ItemDifference difference = InstalledCheck::CheckItem(item);
	bool placeFree = false;
	if ((difference.fWhat & kItemMissing) != 0)
		placeFree = true;
	else if ((difference.fWhat & kItemPlaceChanged) != 0)
		fKept.push_back(item.fPath + ": " + difference.fText);
	else if (HoldsItems(item.fPath))
		fKept.push_back(item.fPath + ": not empty");
	else if (!IsOnVolume(item.fPath, fVolume)) {
		// Nothing moves between volumes: the removal's temporary folder is
		// on the receipt's.
		fKept.push_back(item.fPath + ": on another volume than the receipt");
	}
	else if (difference.fWhat != 0 && !fForce) {
		fKept.push_back(item.fPath + ": " + difference.fText);
		fChangedKept = true;
	} else if (OriginalIsGone(item) && !fForce) {
		fKept.push_back(item.fPath + ": patched in place of its original, which is "
			"gone");
		fChangedKept = true;
	} else
		placeFree = _MoveAside(item, manager);

	bool originalAside = item.fExisting == kExistingRenamed
		&& !_GiveNameBack(item, placeFree, manager);
	return !placeFree || originalAside;
}


bool
Uninstaller::_MoveAside(const ReceiptItem& item, DestManager* manager)
{
	BEntry entry(item.fPath.c_str());
	BDirectory parent;
	if (entry.GetParent(&parent) != B_OK || !manager->SafeDelete(&entry, &parent)) {
		fFailedItem = item.fPath;
		return false;
	}
	fRemoved++;
	return true;
}


// The entry the install renamed out of the item's way gets its name back
// once the item has gone, through the run's journal, so that an interrupted
// removal undoes it.
bool
Uninstaller::_GiveNameBack(const ReceiptItem& item, bool placeFree,
	DestManager* manager)
{
	BEntry aside(item.fRenamedTo.c_str());
	if (!aside.Exists() || !InstalledCheck::IsAt(aside, item.fRenamedTo))
		return true;
	std::string name = LeafOf(item.fPath);
	if (!placeFree) {
		fKept.push_back(item.fRenamedTo + ": keeps this name (\"" + name
			+ "\" is still there)");
		return false;
	}
	BDirectory folder;
	if (aside.GetParent(&folder) != B_OK || folder.Contains(name.c_str())
		|| manager->RenameAside(&folder, &aside, name.c_str()) != B_OK) {
		fKept.push_back(item.fRenamedTo + ": could not be renamed back to \"" + name
			+ "\"");
		return false;
	}
	fRestored.push_back(item.fPath);
	return true;
}


// The receipt is moved aside like the items, so that an interrupted removal
// puts it back; when items stay, a receipt of just those takes its place.
status_t
Uninstaller::_UpdateReceipt(BDirectory* folder, DestManager* manager)
{
	BEntry entry(folder, fFileName.c_str());
	if (!manager->SafeDelete(&entry, folder)) {
		fFailedItem = "/" + manager->VolumeName() + "/" + kReceiptFolderPath + "/"
			+ fFileName;
		return B_NOT_ALLOWED;
	}
	if (fStaying.empty())
		return B_OK;
	fReceiptKept = true;
	InstallReceipt rest = fReceipt;
	rest.fItems = fStaying;
	status_t status = manager->NoteCreating(folder, fFileName.c_str());
	if (status == B_OK)
		status = rest.WriteTo(folder, fFileName.c_str());
	if (status == B_OK) {
		manager->NoteCreated(folder, fFileName.c_str());
		manager->NoteComplete(folder, fFileName.c_str());
	}
	return status;
}
