#include "ArchiveFileItem.h"

#include "DestManager.h"
#include "ExistingItems.h"
#include "InstallLogText.h"
#include "InstallPack.h"
#include "ItemHelpers.h"
#include "RunEvents.h"

#include <Directory.h>
#include <Errors.h>
#include <File.h>

#include <Entry.h>
#include <Mime.h>
#include <Node.h>
#include <NodeInfo.h>
#include <Path.h>
#include <Sha256.h>

#include <cstdlib>

ArchiveFileItem::ArchiveFileItem()
	:
	fMimeType(nullptr)
{
}


ArchiveFileItem::ArchiveFileItem(const ArchiveFileItem& other)
	:
	ArchiveItem(other),
	fMimeType(nullptr)
{
}


ArchiveFileItem::~ArchiveFileItem()
{
	free(fMimeType);
}


status_t
ArchiveFileItem::ExtractItem(InstallPack* pack, BDirectory* parent,
	DestManager* manager, uint32 groups, bool skip)
{
	if (!IsSelected(groups, manager))
		return B_OK;

	status_t status = B_OK;
	if (!skip) {
		send_current_file(pack, fName);
		if (manager->fCanceled)
			return B_CANCELED;
		BDirectory* dir = manager->DirectoryFor(fDestIndex, parent, fCustom, true,
			nullptr);
		RunEvents::ItemStarted(manager, dir, fName, "file");
		if (dir == nullptr)
			return handleInstallError(kNoDestinationText, fName, B_ENTRY_NOT_FOUND, manager);
		// A name that is no plain name would make its entry elsewhere.
		if (!is_plain_entry_name(fName))
			return handleInstallError(kFileNotCreatedText, fName, B_BAD_VALUE, manager);

		BEntry existing;
		if (find_existing_entry(dir, fName, &existing))
			HandleExisting(dir, &existing, skip, manager, &status);
		else if (fReplaceOption == kUpdateOnlyOption)
			skip = true;
		if (!skip)
			return _WriteFile(pack, dir, manager);
	}

	if (status != B_CANCELED)
		send_item_progress(pack, manager->AllocSize(fSize));
	return status;
}


status_t
ArchiveFileItem::_WriteFile(InstallPack* pack, BDirectory* dir, DestManager* manager)
{
	BFile file;
	status_t status = manager->NoteCreating(dir, fName);
	if (status == B_OK)
		status = dir->CreateFile(fName, &file, false);
	if (status != B_OK) {
		// The item is not installed: whatever the run moved aside for it
		// takes its place again, so that a run that goes on loses nothing.
		manager->PutBackDisplaced(dir, fName);
		if (status == B_DEVICE_FULL)
			return _ReportWriteError(dir, manager, status);
		return handleInstallError(kFileNotCreatedText, fName, status, manager);
	}
	manager->NoteCreated(dir, fName, &file);

	// The receipt's digest of the contents, taken as they are written.
	Sha256Digest digest;
	status = file.InitCheck();
	if (status == B_OK)
		status = pack->ExtractFile(&file, fOffset, fSize, &digest);
	if (status < B_OK) {
		// What could not be written is never left half done.
		file.Unset();
		BEntry(dir, fName).Remove();
		manager->PutBackDisplaced(dir, fName);
		if (status == B_CANCELED)
			return B_CANCELED;
		return _ReportWriteError(dir, manager, status);
	}

	// The bar advances by the size the file takes on disk.
	int64 extra = manager->AllocExtra(fSize);
	if (extra != 0)
		send_item_progress(pack, extra);
	write_log_block(manager, dir, log_file_text(fName, fSize, fMimeType));
	// Set through the open file: the times come after the last write. The
	// entry serves only an executable (the system records its type by path).
	BEntry entry;
	if ((fMode & 0111) != 0)
		entry.SetTo(dir, fName);
	ISetType(&entry, &file);
	manager->NoteComplete(dir, fName, nullptr, &digest, &file);
	return status;
}


// The log tells that the item is missing and why, then the user is asked
// whether to go on.
status_t
ArchiveFileItem::_ReportWriteError(BDirectory* dir, DestManager* manager, status_t failure)
{
	write_log_block(manager, dir, log_failed_text(fName, write_error_reason(failure)));
	return handleWriteError(dir, fName, failure, manager);
}


void
ArchiveFileItem::AdoptMimeType(char* type)
{
	free(fMimeType);
	fMimeType = type;
}


void
ArchiveFileItem::ISetType(BEntry* entry, BNode* openNode)
{
	BNode entryNode;
	BNode* node = openNode;
	if (fMimeType != nullptr && node == nullptr) {
		entryNode.SetTo(entry);
		node = &entryNode;
	}
	if (fMimeType != nullptr && node->InitCheck() == B_OK) {
		BNodeInfo info(node);
		info.SetType(fMimeType);
	}
	BStatable* target = openNode != nullptr ? static_cast<BStatable*>(openNode) : entry;
	if ((fMode & 0111) != 0) {
		target->SetPermissions(InstalledPermissions());
		// The system records the new executable's type and signature.
		BPath path;
		if (entry->GetPath(&path) == B_OK)
			update_mime_info(path.Path(), false, true, false);
	}
	SetTimes(target);
}
