#include "ArchiveFolderItem.h"

#include "DestManager.h"
#include "DoError.h"
#include "ExistingItems.h"
#include "InstallLogText.h"
#include "InstallPack.h"
#include "ItemHelpers.h"
#include "RunEvents.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <Node.h>

ArchiveFolderItem::ArchiveFolderItem()
	:
	fIsTop(false),
	fDirOut(nullptr)
{
}


ArchiveFolderItem::~ArchiveFolderItem()
{
}


status_t
ArchiveFolderItem::ExtractItem(InstallPack* pack, BDirectory* parent,
	DestManager* manager, uint32 groups, bool skip)
{
	if (!IsSelected(groups, manager))
		return B_OK;
	// Without a top folder its contents go where their own destinations say.
	if (fIsTop && !manager->fCreateTopFolder)
		return B_OK;

	status_t status = B_OK;
	bool makeFolder = false;
	BDirectory* dir = nullptr;
	if (!skip) {
		if (manager->fCanceled)
			return B_CANCELED;
		dir = manager->DirectoryFor(fDestIndex, parent, fCustom, true, nullptr);
		RunEvents::ItemStarted(manager, dir, fName, "folder");
		if (dir == nullptr) {
			status = handleInstallError(kNoDestinationText, fName, B_ENTRY_NOT_FOUND,
				manager);
			skip = true;
		} else if (!is_plain_entry_name(fName)) {
			// A name that is no plain name would make its folder elsewhere.
			status = handleInstallError(kFileNotCreatedText, fName, B_BAD_VALUE, manager);
			skip = true;
		} else
			makeFolder = _DecideOnExisting(dir, skip, manager, &status);
	}

	if (skip) {
		if (status != B_CANCELED)
			send_item_progress(pack, fSize);
		if (fDirOut != nullptr)
			fDirOut->Unset();
		return status;
	}

	if (makeFolder) {
		status = manager->NoteCreating(dir, fName);
		if (status == B_OK)
			status = dir->CreateDirectory(fName, fDirOut);
		if (status < B_OK) {
			fDirOut->Unset();
			reportFolderNotCreated(dir, fName, status, manager);
			return status;
		}
		manager->NoteCreated(dir, fName);
		write_log_block(manager, dir, log_folder_text(fName));
		// Noted here: the top folder replaces `dir`, the install folder,
		// below.
		manager->NoteComplete(dir, fName);
	}

	BEntry folderEntry;
	fDirOut->GetEntry(&folderEntry);
	if (fIsTop)
		manager->SetInstallDir(&folderEntry);
	if (fOffset >= 0) {
		if (fIsTop)
			doError("Extracting attrs for top dir!");
		// The folder's own attributes; a folder that lacks some is still
		// a folder to install into.
		BNode node(&folderEntry);
		pack->ExtractFile(&node, fOffset);
	}
	return status;
}


// Whether a new folder is to be made. An existing folder the item merges
// into becomes fDirOut; an entry the item must not touch sets `skip`.
bool
ArchiveFolderItem::_DecideOnExisting(BDirectory* dir, bool& skip, DestManager* manager,
	status_t* status)
{
	BEntry existing;
	if (!find_existing_entry(dir, fName, &existing)) {
		if (fReplaceOption == kUpdateOnlyOption) {
			skip = true;
			return false;
		}
		return true;
	}
	bool makeFolder = HandleExisting(dir, &existing, skip, manager, status);
	// Never through a link: only a real folder is installed into.
	if (!makeFolder && !skip && existing.IsDirectory()) {
		fDirOut->SetTo(&existing);
		manager->NoteKeptExisting(dir, fName, kExistingMerged);
	}
	return makeFolder;
}


// A folder with option 6 adopts an existing folder of its name: nothing is
// made, and its contents go into the existing one.
existing_decision
ArchiveFolderItem::DecideExisting(const BEntry* existing) const
{
	const int32 kMergeFolder = 6;
	if (fReplaceOption == kMergeFolder && existing != nullptr && existing->IsDirectory())
		return { kMergeIntoExisting, kPlainReplaceKind };
	return ArchiveItem::DecideExisting(existing);
}


void
ArchiveFolderItem::Unset()
{
	ArchiveItem::Unset();
	fIsTop = false;
}
