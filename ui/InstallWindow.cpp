#include "InstallWindow.h"

#include "ArcCatalog.h"
#include "ArchiveItem.h"
#include "ChoiceRecorder.h"
#include "DestManager.h"
#include "DoError.h"
#include "GroupList.h"
#include "InstallApp.h"
#include "InstallLooper.h"
#include "InstallOutcome.h"
#include "InstallPack.h"
#include "InstallPlan.h"
#include "InstallPlanner.h"
#include "InstallUtil.h"
#include "InstallView.h"
#include "ItemHelpers.h"
#include "LicenseWindow.h"
#include "PackAttrib.h"
#include "PositionWindow.h"
#include "RunEvents.h"
#include "StatusView.h"

#include <Application.h>
#include <Button.h>
#include <Message.h>
#include <Messenger.h>
#include <Path.h>
#include <Volume.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

RList<InstallWindow*>& InstallWindow::windowList = *new RList<InstallWindow*>(20);
BLocker& InstallWindow::windowListLock = *new BLocker("install window list");
bool InstallWindow::fCloseApp = false;

namespace {

// The names of the groups in `mask`, in the order the list shows them.
std::vector<std::string>
GroupNames(const GroupList* groups, uint32 mask)
{
	std::vector<std::string> names;
	for (int32 row = 0; groups != NULL && row < groups->CountRows(); row++) {
		IndexItem* item = groups->RowAt(row);
		GroupItem* group = item->IsSeparator() ? NULL : groups->GroupAt(item->fGroup);
		if (group == NULL || group->Name() == NULL
			|| (GroupList::GroupMaskFor(item->fGroup) & mask) == 0)
			continue;
		if (std::find(names.begin(), names.end(), group->Name()) == names.end())
			names.push_back(group->Name());
	}
	return names;
}

const BRect kWindowFrame(0, 0, 480, 310);
const rgb_color kLightGray = {230, 230, 230, 255};

const char* kReadOnlyAlert
	= "Cannot install on the volume \"%s\" because it is locked or read-only.";
const char* kNoSpaceAlert
	= "Cannot install on the volume \"%s\" because there is not enough free space.";
const char* kNoFeaturesAlert
	= "Cannot install on the volume \"%s\" because it does not support the reuqired "
		"filesystem features\nTry installing to a volume that keeps attributes.";
// A run that ended on an item's failure: the item, then why.
const char* const kRunStoppedAlert = "The installation stopped at \"%s\": %s";

} // namespace


InstallWindow::InstallWindow(const char* title, InstallPack* pack, bool setupFlag)
	:
	BWindow(kWindowFrame, title, B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE,
		B_CURRENT_WORKSPACE),
	fDestManager(NULL),
	fPack(pack),
	fEntryCount(0),
	fLooper(NULL),
	fAttrib(NULL),
	fGroups(0),
	fPlatform(0),
	fBytes(0),
	fItemCount(0),
	fVolume(-1),
	fFolderPath(NULL),
	fCustomFolder(false),
	fInstalling(false),
	fSetupFlag(setupFlag),
	fCatalog(NULL),
	fToldProblem(NULL),
	fToldVolume(-1),
	fToldBytes(0)
{
	LockWindowList();
	windowList.AddItem(this);
	UnlockWindowList();

	Lock();
	fPlatform = kPlatformBit;

	if (!_ReadPackage())
		return;

	PositionWindow(this, 0.4, 0.4);

	InstallView* view = new InstallView(Bounds(), kInstallViewName, B_FOLLOW_ALL,
		B_WILL_DRAW, fAttrib->fGroupList, fAttrib->fDescription);
	view->SetViewColor(kLightGray);
	// Laying the view out makes the first volume, folder and group choices.
	AddChild(view);

	if (fAttrib->fAgreementText != NULL) {
		bool declined = false;
		_ShowAgreement(&declined);
		RunQuestion agreement;
		agreement.fKind = "agreement";
		agreement.fText = "The package's agreement";
		agreement.fChoices = { "Agree", "Disagree" };
		agreement.fAnswer = declined ? "Disagree" : "Agree";
		RunEvents::Asked(agreement);
		ChoiceRecorder::NoteAgreement(!declined);
		if (InstallPlan* plan = _Plan()) {
			plan->SetAgreement(declined ? "declined" : "accepted");
			if (declined)
				plan->WouldStop("declined", "the agreement was declined");
		}
		if (declined) {
			if (InstallApp* app = dynamic_cast<InstallApp*>(be_app))
				app->NoteAgreementDeclined();
			Abort();
			return;
		}
	}

	Show();
	Unlock();
}


InstallWindow::~InstallWindow()
{
	// The view shows the attribute record's groups: it goes first.
	if (BView* view = FindView(kInstallViewName)) {
		RemoveChild(view);
		delete view;
	}
	if (fLooper != NULL)
		fLooper->PostMessage(B_QUIT_REQUESTED);

	delete fPack;
	delete fAttrib;
	delete fDestManager;
	delete fCatalog;

	LockWindowList();
	windowList.RemoveItem(this);
	UnlockWindowList();
	free(fFolderPath);
}


// Reads the attributes and the catalog. False after the window has
// given up (it is gone then).
bool
InstallWindow::_ReadPackage()
{
	fAttrib = new PackAttrib();
	if (fPack->NewReadAttributes(fAttrib) < 0) {
		if (InstallPlan* plan = _Plan())
			plan->WouldStop("unopenable", "Fatal error reading general package attributes.");
		doError("Fatal error reading general package attributes.");
		Abort();
		return false;
	}

	if (fAttrib->fPackageName == NULL)
		fAttrib->fPackageName = strdup("");
	if (fAttrib->fPackageName[0] != '\0')
		SetTitle(fAttrib->fPackageName);
	if (InstallPlan* plan = _Plan())
		plan->SetPackage(fAttrib->fPackageName);
	// The alerts and dialogs of this install say on the desktop which
	// package they belong to.
	SetUntitledTitle(Title());

	fDestManager = new DestManager(fAttrib);
	if (InstallApp* app = dynamic_cast<InstallApp*>(be_app))
		fDestManager->SetPackageIdentity(app->SignerIdentity(), app->PackageDigestLater());

	fPack->SetFile();
	fCatalog = new ArcCatalog();
	fCatalog->Set(fPack);
	if (fCatalog->Rewind() == B_OK) {
		BuildGroupList(true, fAttrib->fInstallFolderGroups);
		fEntryCount = (int32)fEntries.size();
		fAttrib->fEntryCapacity = fEntryCount;
	}
	// A catalog that could not be walked to its end sizes nothing right.
	status_t catalogStatus = fCatalog->Status();
	delete fCatalog;
	fCatalog = NULL;
	fPack->ClearFile();

	if (catalogStatus != B_OK) {
		if (InstallPlan* plan = _Plan())
			plan->WouldStop("unopenable", InstallPack::CatalogErrorText(catalogStatus));
		InstallPack::ShowCatalogError(catalogStatus);
		Abort();
		return false;
	}
	return true;
}


void
InstallWindow::_ShowAgreement(bool* declined)
{
	LicenseWindow* license = new LicenseWindow(fAttrib->TakeAgreementText(), declined,
		fAttrib->fAgreementLength, static_cast<char*>(fAttrib->TakeAgreementStyles()),
		Title());
	if (license->Lock())
		WaitForWindow(license);
}


int32
InstallWindow::BuildGroupList(bool topLevel, uint32& installFolderGroups)
{
	ArchiveItem* folder = NULL;
	fCatalog->GetFolderData(&folder);
	if (!topLevel && folder != NULL && folder->fDestIndex == kInstallFolderDestination)
		installFolderGroups |= folder->fGroups;

	int32 status = 0;
	while (true) {
		int32 kind = fCatalog->GetFolderItemType();
		switch (kind) {
			case 0:
				return status;
			case kFolderItemKind:
				status = BuildGroupList(false, installFolderGroups);
				if (status < 0)
					return status;
				break;
			case kFileItemKind:
			case kPatchItemKind:
			case kScriptItemKind:
			case kLinkItemKind:
			{
				ArchiveItem* item = NULL;
				fCatalog->GetItemData(&item, kind);
				if (item == NULL)
					break;
				if (!_AddEntry(*item))
					return -1;
				if (item->fDestIndex == kInstallFolderDestination)
					installFolderGroups |= item->fGroups;
				break;
			}
			default:
				break;
		}
	}
}


// False when the table cannot grow; said once, as the walk stops there.
bool
InstallWindow::_AddEntry(const ArchiveItem& item)
{
	FileEntry row;
	row.size = item.fSize;
	row.groups = (int32)item.fGroups;
	row.platform = item.fPlatform;
	try {
		fEntries.push_back(row);
	} catch (const std::bad_alloc&) {
		doError("Error, the package contains more entries than expected.");
		return false;
	}
	return true;
}


void
InstallWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kBeginInstall:
		{
			if (fInstalling)
				break;
			if (BButton* button = dynamic_cast<BButton*>(FindView(kBeginButtonName)))
				button->SetEnabled(false);
			fInstalling = true;
			DoInstall(message);
			break;
		}
		case kRunDone:
		{
			_RunEnded(message);
			fInstalling = false;
			if (BButton* button = dynamic_cast<BButton*>(FindView(kBeginButtonName)))
				button->SetEnabled(true);
			bool close = false;
			if (message->FindBool("close", &close) == B_OK && close)
				PostMessage(B_QUIT_REQUESTED);
			break;
		}
		default:
			// Nothing else is this window's business.
			break;
	}
}


// The application keeps how the run ended; a run that ended on a failure
// says where and why before "Begin" is offered again (a cancelled one says
// nothing, nor does one that went on past failures after "Continue").
void
InstallWindow::_RunEnded(BMessage* message)
{
	InstallOutcome outcome;
	if (!outcome.SetFrom(message))
		return;
	if (InstallApp* app = dynamic_cast<InstallApp*>(be_app))
		app->NoteRunEnded(outcome);
	if (outcome.Code() != kRunFailed || outcome.WentOn())
		return;
	// The reason goes into the last slot first, so that the item's name,
	// whatever it holds, cannot be taken for a slot; the text is then shown
	// as it is.
	std::string text = kRunStoppedAlert;
	text.replace(text.rfind("%s"), 2, outcome.Reason());
	text.replace(text.find("%s"), 2, alert_item_name(outcome.Item().c_str()));
	doError(text.c_str());
}


bool
InstallWindow::QuitRequested()
{
	if (fInstalling) {
		// The window stays while a run goes on, and so does its progress:
		// brought in front of the window the person just tried to close.
		fPack->fStatusMessenger.SendMessage(kStatusToFront);
		return false;
	}
	LockWindowList();
	if (windowList.CountItems() <= 1 && fCloseApp && be_app != NULL)
		be_app->PostMessage(B_QUIT_REQUESTED);
	UnlockWindowList();
	return true;
}


void
InstallWindow::DoInstall(BMessage*)
{
	BVolume volume(fVolume);
	if (InstallPlan* plan = _Plan()) {
		_MakePlan(plan, volume);
		return;
	}
	if (!CheckPossibleInstall(volume)) {
		_RunCannotStart();
		return;
	}
	_StartRun();
}


// The run proper: the worker (made on the first run), the destination
// manager told where to install, and the install message.
void
InstallWindow::_StartRun()
{
	if (fLooper == NULL) {
		fLooper = new InstallLooper(fPack);
		fLooper->fWindowMessenger = BMessenger(this);
		fLooper->Run();
	}
	// The worker makes the run's temporary folder once it holds the
	// volume's run lock.
	fDestManager->SetTarget(&fFolderRef, fCustomFolder ? NULL : fFolderPath,
		fVolume, NULL, fSetupFlag);
	fDestManager->fLogging = true;
	if (ChoiceRecorder::Active())
		_NoteChoices();

	BMessage extract(kExtractItems);
	extract.AddPointer("archive item", NULL);
	extract.AddInt32("groups", fGroups);
	// 64-bit: a selection may pass 2 GiB. The worker reads either width.
	extract.AddInt64("bytes", fBytes);
	extract.AddInt32("item count", fItemCount);
	extract.AddPointer("destinations", fDestManager);
	fLooper->PostMessage(&extract);
}


// What the person chose in the window, named as an unattended run's options
// name it: the volume, the folder when the package lets it be chosen (a
// folder of the menu by its label, another by its full path), the groups.
void
InstallWindow::_NoteChoices() const
{
	char volume[B_FILE_NAME_LENGTH] = "";
	BVolume(fVolume).GetName(volume);
	std::string folder;
	if (fAttrib->fFolderChoice && fCustomFolder) {
		BPath path(&fFolderRef);
		if (path.InitCheck() == B_OK)
			folder = path.Path();
	} else if (fAttrib->fFolderChoice && fFolderPath != NULL)
		folder = fFolderPath;
	ChoiceRecorder::NoteBegin(volume, folder, GroupNames(fAttrib->fGroupList, fGroups));
}


// What "Begin" would do, planned with the destination manager told where
// to install, as a run is; then the window closes, and the program ends.
void
InstallWindow::_MakePlan(InstallPlan* plan, BVolume& volume)
{
	char name[B_FILE_NAME_LENGTH] = "";
	volume.GetName(name);
	if (const char* problem = _VolumeProblem(volume))
		plan->WouldStop("failed", alert_text(problem, name));
	fDestManager->SetTarget(&fFolderRef, fCustomFolder ? NULL : fFolderPath,
		fVolume, NULL, fSetupFlag);
	plan->SetTarget(name, fDestManager->DestinationPath(kInstallFolderDestination,
		std::string(), false));
	plan->SetGroups(fDestManager->GroupNames((uint32)fGroups));
	plan->SetBytes(fBytes, volume.FreeBytes());
	InstallPlanner(fPack, fDestManager, plan).Plan((uint32)fGroups);
	plan->NotePlanned();
	fInstalling = false;
	PostMessage(B_QUIT_REQUESTED);
}


InstallPlan*
InstallWindow::_Plan() const
{
	InstallApp* app = dynamic_cast<InstallApp*>(be_app);
	return app != NULL ? app->Plan() : NULL;
}


// "Begin" becomes available again.
void
InstallWindow::_RunCannotStart()
{
	PostMessage(kRunDone);
}


bool
InstallWindow::CheckPossibleInstall(BVolume& volume)
{
	const char* problem = _VolumeProblem(volume);
	if (problem == NULL) {
		fToldProblem = NULL;
		return true;
	}
	if (problem == fToldProblem && volume.Device() == fToldVolume && fBytes == fToldBytes)
		return false;
	char name[B_FILE_NAME_LENGTH] = "";
	volume.GetName(name);
	doError(problem, name);
	fToldProblem = problem;
	fToldVolume = volume.Device();
	fToldBytes = fBytes;
	return false;
}


bool
InstallWindow::RefusesVolume() const
{
	return _VolumeProblem(BVolume(fVolume)) != NULL;
}


const char*
InstallWindow::_VolumeProblem(const BVolume& volume) const
{
	if (volume.IsReadOnly())
		return kReadOnlyAlert;
	if (volume.FreeBytes() < fBytes)
		return kNoSpaceAlert;
	if (!volume.KnowsMime() || !volume.KnowsAttr() || !volume.KnowsQuery())
		return kNoFeaturesAlert;
	return NULL;
}


void
InstallWindow::Abort()
{
	// Quit deletes this window: nothing of it is touched afterwards.
	Quit();
	if (be_app != NULL)
		be_app->PostMessage(B_QUIT_REQUESTED);
}


void
InstallWindow::SetCloseApp(bool closeApp)
{
	fCloseApp = closeApp;
}


void
InstallWindow::LockWindowList()
{
	windowListLock.Lock();
}


void
InstallWindow::UnlockWindowList()
{
	windowListLock.Unlock();
}


int32
InstallWindow::CountWindows()
{
	LockWindowList();
	int32 count = windowList.CountItems();
	UnlockWindowList();
	return count;
}
