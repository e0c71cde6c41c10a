#include "ArchiveLinkItem.h"

#include "DestManager.h"
#include "ExistingItems.h"
#include "InstallLogText.h"
#include "InstallPack.h"
#include "ItemHelpers.h"
#include "RunEvents.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <SymLink.h>

#include <cstdlib>

ArchiveLinkItem::ArchiveLinkItem()
	:
	fLinkTarget(nullptr)
{
}


ArchiveLinkItem::~ArchiveLinkItem()
{
	free(fLinkTarget);
}


// A link advances the bar by the size the run's total counts for it, as a
// file does: without it, a run with links ended short of its total.
status_t
ArchiveLinkItem::ExtractItem(InstallPack* pack, BDirectory* parent,
	DestManager* manager, uint32 groups, bool skip)
{
	if (!IsSelected(groups, manager))
		return B_OK;
	if (manager->fCanceled)
		return B_CANCELED;

	BDirectory* dir = manager->DirectoryFor(fDestIndex, parent, fCustom, true, nullptr);
	RunEvents::ItemStarted(manager, dir, fName, "link");
	if (dir == nullptr)
		return handleInstallError(kNoDestinationText, fName, B_ENTRY_NOT_FOUND, manager);
	if (!is_plain_entry_name(fName) || fLinkTarget == nullptr)
		return handleInstallError(kLinkNotCreatedText, fName, B_BAD_VALUE, manager);

	status_t status = B_OK;
	BEntry existing;
	if (find_existing_entry(dir, fName, &existing))
		HandleExisting(dir, &existing, skip, manager, &status);
	else if (fReplaceOption == kUpdateOnlyOption)
		skip = true;
	if (skip) {
		if (status != B_CANCELED)
			send_item_progress(pack, manager->AllocSize(fSize));
		return status;
	}

	send_current_file(pack, fName);
	BSymLink link;
	status = manager->NoteCreating(dir, fName);
	if (status == B_OK)
		status = dir->CreateSymLink(fName, fLinkTarget, &link);
	if (status != B_OK)
		return handleInstallError(kLinkNotCreatedText, fName, status, manager);
	manager->NoteCreated(dir, fName);
	// Attributes the host keeps on no link are not applied, and that is no
	// failure of the item.
	if (fOffset >= 0)
		pack->ExtractFile(&link, fOffset);
	link.Unset();

	write_log_block(manager, dir, log_link_text(fName, fLinkTarget));

	// A link keeps no permissions of its own here, and its target is never
	// looked at (it may lie anywhere): only the link's own times are set.
	BEntry entry(dir, fName);
	SetTimes(&entry);
	manager->NoteComplete(dir, fName);
	send_item_progress(pack, manager->AllocSize(fSize));
	return B_OK;
}


void
ArchiveLinkItem::AdoptLinkTarget(char* target)
{
	free(fLinkTarget);
	fLinkTarget = target;
}
