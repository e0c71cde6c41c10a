#include "InstallPlanner.h"

#include "ArcCatalog.h"
#include "ArchiveFolderItem.h"
#include "ArchiveLinkItem.h"
#include "ArchivePatchItem.h"
#include "DestManager.h"
#include "DoError.h"
#include "ExistingItems.h"
#include "FindItem.h"
#include "InstallPack.h"
#include "InstallPlan.h"
#include "ItemHelpers.h"
#include "PackAttrib.h"

#include <Directory.h>
#include <Entry.h>
#include <Path.h>

namespace {

const char* const kNoOriginalsText
	= "Cannot install because files to be patched were not found.";


const char*
ActionName(existing_action action)
{
	switch (action) {
		case kReplaceExistingAction:
			return "replace";
		case kRenameExistingAction:
			return "rename existing";
		case kMergeIntoExisting:
			return "merge";
		default:
			return "skip";
	}
}


const char*
KindName(int32 kind)
{
	switch (kind) {
		case kFolderItemKind:
			return "folder";
		case kLinkItemKind:
			return "link";
		case kPatchItemKind:
			return "patch";
		case kScriptItemKind:
			return "script";
		default:
			return "file";
	}
}


const char* const kFolderNotInstalled = "its folder is not installed";
const char* const kUpdateOnly = "it only replaces an existing item of its name";
const char* const kNoOriginal = "no original of its size was found";


void
Skip(PlanItem* planned, const char* reason)
{
	planned->fAction = "skip";
	planned->fReason = reason;
}


PlanItem
PlannedItem(const ArchiveItem* item, int32 kind)
{
	PlanItem planned;
	planned.fKind = KindName(kind);
	planned.fSize = item->fSize;
	return planned;
}

} // namespace


InstallPlanner::InstallPlanner(InstallPack* pack, DestManager* manager, InstallPlan* plan)
	:
	fPack(pack),
	fManager(manager),
	fPlan(plan),
	fCatalog(new ArcCatalog),
	fTopGroups(0),
	fInsideTopFolder(false),
	fEnded(false),
	fItemStopOutcome(nullptr),
	fPatches(0),
	fOriginalsFound(0)
{
	fManager->SetPlanning(&fPlan->Answers());
}


InstallPlanner::~InstallPlanner()
{
	delete fCatalog;
}


void
InstallPlanner::Plan(uint32 groups)
{
	// The top folder is made only for the groups that install into it, as
	// in a run.
	if (fManager->fCreateTopFolder && fManager->fAttrib != nullptr)
		fTopGroups = fManager->fAttrib->fInstallFolderGroups;

	fPack->SetFile();
	if (fCatalog->Set(fPack) == B_OK && fCatalog->Rewind() == B_OK)
		_PlanEntries(Folder(), groups, true, false);
	status_t catalogStatus = fCatalog->Status();
	fCatalog->Unset();
	fPack->ClearFile();

	if (catalogStatus != B_OK)
		fPlan->WouldStop("failed", InstallPack::CatalogErrorText(catalogStatus));
	// A run whose patches find none of their originals stops before it
	// installs anything.
	if (fPatches > 0 && fOriginalsFound == 0)
		fPlan->WouldStop("failed", kNoOriginalsText);
	if (fItemStopOutcome != nullptr)
		fPlan->WouldStop(fItemStopOutcome, fItemStopReason);
}


void
InstallPlanner::_ItemStops(const char* outcome, const std::string& reason)
{
	if (fItemStopOutcome != nullptr)
		return;
	fItemStopOutcome = outcome;
	fItemStopReason = reason;
}


bool
InstallPlanner::_IsSelectedFolder(ArchiveFolderItem* folder, uint32 groups,
	bool topFolder) const
{
	if (!folder->IsSelected(groups, fManager))
		return false;
	return !topFolder || (folder->fGroups & fTopGroups) != 0;
}


void
InstallPlanner::_PlanEntries(const Folder& parent, uint32 groups, bool topFolder,
	bool skip)
{
	ArchiveItem* item = nullptr;
	fCatalog->GetFolderData(&item);
	ArchiveFolderItem* folder = static_cast<ArchiveFolderItem*>(item);

	// Stays empty when the folder is not made: what it holds has nowhere
	// to go, as in a run.
	Folder own;
	if (folder != nullptr && !skip && _IsSelectedFolder(folder, groups, topFolder)) {
		if (topFolder && !fManager->fCreateTopFolder)
			skip = true;
		else if (!_PlanFolder(folder, parent, &own))
			skip = true;
		if (topFolder && !skip) {
			fInsideTopFolder = true;
			fTopFolder = own;
		}
	}

	while (!fEnded) {
		int32 kind = fCatalog->GetFolderItemType();
		if (kind == 0)
			return;
		if (kind == kFolderItemKind) {
			_PlanEntries(own, groups, false, skip);
			continue;
		}
		fCatalog->GetItemData(&item, kind);
		if (item == nullptr || !item->IsSelected(groups, fManager))
			continue;
		if (kind == kPatchItemKind)
			_PlanPatch(static_cast<ArchivePatchItem*>(item), own, skip);
		else if (kind == kScriptItemKind)
			_PlanScript(item, own, skip);
		else if (kind == kFileItemKind || kind == kLinkItemKind)
			_PlanItem(item, kind, own, skip);
	}
}


bool
InstallPlanner::_PlanFolder(ArchiveFolderItem* folder, const Folder& parent, Folder* own)
{
	PlanItem planned = PlannedItem(folder, kFolderItemKind);
	Folder destination = _Destination(folder, parent);
	planned.fPath = _Below(destination.fPath, folder->fName);
	_NoteSearch(folder, &planned);
	bool installed = false;
	if (_Undecided(folder, destination, false, &planned)) {
		if (!is_plain_entry_name(folder->fName))
			_CannotInstall(folder, &planned, kFileNotCreatedText);
		else {
			own->fPath = planned.fPath;
			if (destination.fExisting != nullptr)
				own->fExisting = _OpenFolder(destination.fExisting, folder->fName);
			installed = _PlanNewOrExisting(folder, destination.fDir, &planned);
			if (installed && planned.fAction == "merge")
				own->fDir = _OpenFolder(destination.fDir, folder->fName);
		}
	}
	fPlan->AddItem(planned);
	return installed;
}


void
InstallPlanner::_PlanItem(ArchiveItem* item, int32 kind, const Folder& parent, bool skip)
{
	PlanItem planned = PlannedItem(item, kind);
	Folder destination = _Destination(item, parent);
	planned.fPath = _Below(destination.fPath, item->fName);
	_NoteSearch(item, &planned);
	const ArchiveLinkItem* link = dynamic_cast<const ArchiveLinkItem*>(item);
	if (_Undecided(item, destination, skip, &planned)) {
		if (!is_plain_entry_name(item->fName)
			|| (link != nullptr && link->fLinkTarget == nullptr)) {
			_CannotInstall(item, &planned,
				link != nullptr ? kLinkNotCreatedText : kFileNotCreatedText);
		} else
			_PlanNewOrExisting(item, destination.fDir, &planned);
	}
	fPlan->AddItem(planned);
}


// What every item decides first: nothing once the run has ended, a skip
// inside a folder that is not installed, the question about an item that
// has no destination. True when none of them decided.
bool
InstallPlanner::_Undecided(ArchiveItem* item, const Folder& destination, bool skip,
	PlanItem* planned)
{
	if (fEnded)
		return false;
	if (skip) {
		Skip(planned, kFolderNotInstalled);
		return false;
	}
	if (destination.fDir == nullptr && destination.fPath.empty()) {
		_CannotInstall(item, planned, kNoDestinationText);
		return false;
	}
	return true;
}


// An item with a destination: the rules for an entry of its name there,
// or, where there is none (a folder the run makes holds none), a new one
// unless the item only updates.
bool
InstallPlanner::_PlanNewOrExisting(ArchiveItem* item, BDirectory* destination,
	PlanItem* planned)
{
	if (destination != nullptr && BEntry(destination, item->fName).Exists())
		return _PlanExisting(item, destination, planned);
	if (item->fReplaceOption == kUpdateOnlyOption) {
		Skip(planned, kUpdateOnly);
		return false;
	}
	planned->fAction = "create";
	return true;
}


// The patch pass's lookup: the original is a file of the patch's old size
// in its destination as it is now (a folder the run would make holds none).
void
InstallPlanner::_PlanPatch(ArchivePatchItem* patch, const Folder& parent, bool skip)
{
	fPatches++;
	PlanItem planned = PlannedItem(patch, kPatchItemKind);
	int32 index = patch->fDestIndex;
	BDirectory* lookIn = parent.fExisting;
	std::string folderPath = parent.fPath;
	bool custom = patch->fCustom;
	if (fInsideTopFolder && !custom && index == kInstallFolderDestination) {
		index = kParentFolderDestination;
		lookIn = fTopFolder.fExisting;
		folderPath = fTopFolder.fPath;
	}
	patch->fOriginalRef = entry_ref(-1, -1, nullptr);
	bool noFolder = !custom && index == kParentFolderDestination && lookIn == nullptr;
	BDirectory* folder = noFolder ? nullptr
		: fManager->DirectoryFor(index, lookIn, custom, false, patch);
	_NoteSearch(patch, &planned);
	bool found = folder != nullptr && patch->fOriginalRef.name != nullptr
		&& BEntry(&patch->fOriginalRef).Exists();
	BPath original;
	if (found && BEntry(&patch->fOriginalRef).GetPath(&original) == B_OK) {
		fOriginalsFound++;
		planned.fPath = original.Path();
		planned.fOriginal = original.Path();
		planned.fKeepOriginal = fPlan->Answers().fKeepOriginals;
	} else {
		std::string where = folder != nullptr ? DestManager::PathOf(folder)
			: fManager->DestinationPath(index, folderPath, custom);
		planned.fPath = _Below(where, patch->fName);
	}
	if (!fEnded && !found)
		Skip(&planned, kNoOriginal);
	else if (!fEnded && skip)
		Skip(&planned, kFolderNotInstalled);
	else if (!fEnded)
		planned.fAction = "patch";
	fPlan->AddItem(planned);
}


void
InstallPlanner::_PlanScript(ArchiveItem* script, const Folder& parent, bool skip)
{
	PlanItem planned = PlannedItem(script, kScriptItemKind);
	Folder destination;
	if (!skip)
		destination = _Destination(script, parent);
	planned.fPath = _Below(skip ? parent.fPath : destination.fPath, script->fName);
	_NoteSearch(script, &planned);
	if (_Undecided(script, destination, skip, &planned))
		planned.fAction = "run script";
	fPlan->AddItem(planned);
}


InstallPlanner::Folder
InstallPlanner::_Destination(ArchiveItem* item, const Folder& parent)
{
	int32 index = item->fDestIndex;
	Folder base = parent;
	// Inside a top folder the run makes, "the install folder" is that top
	// folder.
	if (fInsideTopFolder && !item->fCustom && index == kInstallFolderDestination) {
		index = kParentFolderDestination;
		base = fTopFolder;
	}
	if (!item->fCustom && index == kParentFolderDestination)
		return base;

	Folder destination;
	destination.fDir = fManager->DirectoryFor(index, base.fDir, item->fCustom, false,
		nullptr);
	if (fManager->fCanceled) {
		fEnded = true;
		return destination;
	}
	destination.fExisting = destination.fDir;
	destination.fPath = destination.fDir != nullptr ? DestManager::PathOf(destination.fDir)
		: fManager->DestinationPath(index, base.fPath, item->fCustom);
	return destination;
}


bool
InstallPlanner::_PlanExisting(ArchiveItem* item, BDirectory* destination,
	PlanItem* planned)
{
	BEntry existing(destination, item->fName);
	existing_decision decision = item->DecideExisting(&existing);
	existing_action action = decision.fAction;
	if (action == kUnknownOptionAction)
		planned->fReason = "Unrecognized replacement option encountered.";
	else if (action == kKeepExistingAction)
		planned->fReason = "an item of its name is there, and is kept";
	if (action != kAskAboutExisting) {
		planned->fAction = ActionName(action);
		return action != kKeepExistingAction && action != kUnknownOptionAction;
	}

	int32 choice = AskReplaceChoice(fManager, destination, item->fName, decision.fKind);
	planned->fAction = "ask";
	planned->fQuestion = ExistingItemText(decision.fKind, item->fName, destination);
	if (choice == B_CANCELED) {
		planned->fAnswer = "cancel";
		_ItemStops("cancelled", "the question about the existing item \""
			+ std::string(item->fName) + "\" is answered \"Cancel Install\"");
		fEnded = true;
		return false;
	}
	action = ArchiveItem::ActionForChoice(choice);
	planned->fAnswer = ActionName(action);
	return action != kKeepExistingAction;
}


void
InstallPlanner::_CannotInstall(ArchiveItem* item, PlanItem* planned, const char* format)
{
	std::string name = alert_item_name(item->fName);
	std::string text = alert_text(format, name.c_str());
	bool goOn = fPlan->Answers().fContinueOnError;
	planned->fAction = "ask";
	planned->fQuestion = text;
	planned->fAnswer = goOn ? "continue" : "cancel";
	// Either way the package is not installed: the run stops there, or
	// passes the item over and fails at its end.
	_ItemStops("failed", text);
	if (!goOn)
		fEnded = true;
}


// A destination found by a search: how many entries it found, the one the
// run installs into, and a chooser's "Cancel" (a pick past the last match).
void
InstallPlanner::_NoteSearch(ArchiveItem* item, PlanItem* planned)
{
	if (item->fDestIndex < 0 && !item->fCustom)
		return;
	RList<DestItem*>* list = item->fCustom ? fManager->fCustomDests
		: fManager->fDefaultDests;
	FindItem* search = dynamic_cast<FindItem*>(list->ItemAt(item->fDestIndex));
	if (search == nullptr)
		return;
	planned->fMatches = search->fNotFound ? 0 : search->fMatchCount;
	if (search->fDir != nullptr) {
		BPath chosen;
		if (BEntry(&search->fFoundRef).GetPath(&chosen) == B_OK)
			planned->fChosen = chosen.Path();
	}
	if (fManager->fCanceled) {
		planned->fAction = "ask";
		planned->fQuestion = std::string(search->fPath) + " returned multiple search results.";
		planned->fAnswer = "cancel";
		_ItemStops("cancelled", "--choose " + std::to_string(fPlan->Answers().fChoose)
			+ " is not one of the " + std::to_string(search->fMatchCount)
			+ " matches of the search for \"" + search->fPath + "\"");
		fEnded = true;
	}
}


BDirectory*
InstallPlanner::_OpenFolder(BDirectory* parent, const char* name)
{
	BEntry entry(parent, name);
	if (!entry.IsDirectory())
		return nullptr;
	fOpened.push_back(std::make_unique<BDirectory>(&entry));
	return fOpened.back()->InitCheck() == B_OK ? fOpened.back().get() : nullptr;
}


std::string
InstallPlanner::_Below(const std::string& folder, const char* name)
{
	if (folder.empty())
		return name != nullptr ? name : "";
	return folder + (folder.back() == '/' ? "" : "/") + (name != nullptr ? name : "");
}
