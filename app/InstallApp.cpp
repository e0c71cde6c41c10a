#include "InstallApp.h"

#include "FSIcons.h"
#include "HelpButton.h"
#include "InstallPack.h"
#include "InstallWindow.h"
#include "RunRecovery.h"

#include <Entry.h>
#include <File.h>
#include <Resources.h>
#include <Roster.h>

#include <cstdio>

namespace {

const char* const kInstallerSignature = "application/x-qvane-Inst";

// A file whose resources carry the size resource is a self-extracting
// installer; any other file is read as a stand-alone package.
bool
CarriesSizeResource(const entry_ref& ref)
{
	BFile file(&ref, B_READ_ONLY);
	if (file.InitCheck() != B_OK)
		return false;
	BResources resources;
	if (resources.SetTo(&file) != B_OK)
		return false;
	return resources.HasResource(kSizeResourceType, kSizeResourceID);
}

} // namespace


const char* const kInstallerVersion = "kestrovan-installer 1.0";


entry_ref InstallApp::appRef;


InstallApp::InstallApp()
	:
	BApplication(kInstallerSignature),
	window(NULL),
	selfExtracting(false),
	fPackageNamed(false),
	fPackageOpened(false),
	fRunEnded(false),
	fAgreementDeclined(false)
{
	_Init();
}


InstallApp::InstallApp(const entry_ref& package)
	:
	BApplication(kInstallerSignature),
	window(NULL),
	selfExtracting(false),
	fPackageRef(package),
	fPackageNamed(true),
	fPackageOpened(false),
	fRunEnded(false),
	fAgreementDeclined(false)
{
	_Init();
}


InstallApp::~InstallApp()
{
}


void
InstallApp::_Init()
{
	name[0] = '\0';
	app_info info;
	if (be_app->GetAppInfo(&info) == B_OK)
		appRef = info.ref;
	if (!fPackageNamed)
		fPackageRef = appRef;
	CheckSelfExtracting();
	// The icons are the program's own, whichever file holds the package.
	SetGlobals(appRef);
	InstallWindow::SetCloseApp(true);
}


void
InstallApp::CheckSelfExtracting()
{
	BEntry entry(&fPackageRef, false);
	if (entry.GetName(name) != B_OK)
		name[0] = '\0';
	selfExtracting = fPackageNamed ? CarriesSizeResource(fPackageRef) : true;
}


void
InstallApp::SetGlobals(entry_ref ref)
{
	SetGlobalIcons(ref);
}


void
InstallApp::FreeGlobals()
{
	HelpButton::Free();
}


bool
InstallApp::QuitRequested()
{
	return BApplication::QuitRequested();
}


bool
InstallApp::GetLastOutcome(InstallOutcome* outcome) const
{
	std::lock_guard<std::mutex> guard(fOutcomeLock);
	if (fRunEnded)
		*outcome = fLastOutcome;
	return fRunEnded;
}


void
InstallApp::NoteRunEnded(const InstallOutcome& outcome)
{
	std::lock_guard<std::mutex> guard(fOutcomeLock);
	fLastOutcome = outcome;
	fRunEnded = true;
}


bool
InstallApp::RunCompleted() const
{
	InstallOutcome outcome;
	return GetLastOutcome(&outcome) && outcome.Code() == kRunCompleted;
}


bool
InstallApp::AgreementDeclined() const
{
	std::lock_guard<std::mutex> guard(fOutcomeLock);
	return fAgreementDeclined;
}


void
InstallApp::NoteAgreementDeclined()
{
	std::lock_guard<std::mutex> guard(fOutcomeLock);
	fAgreementDeclined = true;
}


void
InstallApp::ReadyToRun()
{
	// Before anything touches a volume: runs that died in the middle are
	// taken back, or finished, and the person is told.
	std::vector<RecoveredRun> recovered;
	RunRecovery::RecoverAllVolumes(&recovered);
	RunRecovery::Tell(recovered);

	InstallPack* pack = new InstallPack(fPackageRef, selfExtracting);
	if (pack->fEntry == NULL) {
		delete pack;
		PostMessage(B_QUIT_REQUESTED);
		return;
	}
	char title[B_FILE_NAME_LENGTH];
	if (pack->fEntry->GetName(title) != B_OK)
		snprintf(title, sizeof(title), "%s", name);
	fPackageOpened = true;
	window = new InstallWindow(title, pack, true);
}
