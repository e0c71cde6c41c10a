#include "InstallApp.h"

#include "ChoiceRecorder.h"
#include "FSIcons.h"
#include "HelpButton.h"
#include "InstallPack.h"
#include "InstallPlan.h"
#include "InstallWindow.h"
#include "DoError.h"
#include "RunEvents.h"
#include "RunRecovery.h"
#include "SignatureCheck.h"

#include <Entry.h>
#include <File.h>
#include <FindDirectory.h>
#include <Path.h>
#include <PlatformCalls.h>
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
	fAgreementDeclined(false),
	fSignatureRequired(false),
	fSignatureChecked(false),
	fSignatureRefused(false),
	fPlan(NULL)
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
	fAgreementDeclined(false),
	fSignatureRequired(false),
	fSignatureChecked(false),
	fSignatureRefused(false),
	fPlan(NULL)
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
	{
		std::lock_guard<std::mutex> guard(fOutcomeLock);
		fLastOutcome = outcome;
		fRunEnded = true;
	}
	RunEvents::RunEnded(outcome);
	ChoiceRecorder::NoteRunEnded();
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
	// taken back, or finished, and the person is told (not by a plan, which
	// writes nothing).
	if (fPlan == NULL) {
		std::vector<RecoveredRun> recovered;
		RunRecovery::RecoverAllVolumes(&recovered);
		RunRecovery::Tell(recovered);
	}

	InstallPack* pack = new InstallPack(fPackageRef, selfExtracting);
	bool opened = pack->fEntry != NULL;
	if (!opened && fPlan != NULL)
		fPlan->WouldStop("unopenable", "the package cannot be opened");
	if (!opened || !_AcceptSignature(pack)) {
		fSignatureRefused = opened;
		delete pack;
		PostMessage(B_QUIT_REQUESTED);
		return;
	}
	char title[B_FILE_NAME_LENGTH];
	if (pack->fEntry->GetName(title) != B_OK)
		snprintf(title, sizeof(title), "%s", name);
	fPackageOpened = true;
	fPackageTitle = title;
	window = new InstallWindow(title, pack, true);
}


void
InstallApp::SetSignaturePolicy(const std::vector<std::string>& trustedKeyFiles,
	bool requireSignature)
{
	fTrustedKeyFiles = trustedKeyFiles;
	fSignatureRequired = requireSignature;
}


bool
InstallApp::_AcceptSignature(InstallPack* pack)
{
	TrustedKeys trusted;
	for (const std::string& file : fTrustedKeyFiles) {
		std::string error;
		if (trusted.AddFile(file.c_str(), &error) != B_OK) {
			_Refuse(alert_text("The trusted key %s cannot be read. Nothing was installed.",
				error.c_str()));
			return false;
		}
	}
	BPath settings;
	char hostFolder[B_PATH_NAME_LENGTH];
	if (find_directory(B_USER_SETTINGS_DIRECTORY, &settings) == B_OK
		&& settings.Append(TrustedKeys::kFolderInSettings) == B_OK
		&& platform_get_host_path(settings.Path(), hostFolder, sizeof(hostFolder)) == B_OK) {
		std::vector<std::string> problems;
		trusted.AddFolder(hostFolder, &problems);
		for (const std::string& problem : problems)
			fprintf(stderr, "kestrovan-installer: a trusted key is ignored: %s\n",
				problem.c_str());
	}

	if (pack->SetFile()) {
		_Refuse("The package file cannot be read. Nothing was installed.");
		return false;
	}
	signature_verdict verdict = fSignature.CheckWithDigestBeside(*pack->fFile, pack->fDataOffset,
		pack->fPackageEnd, trusted);
	pack->ClearFile();
	fSignatureChecked = true;
	if (fPlan != NULL) {
		fPlan->SetSigner(SignatureState(), SignerKeyId(), SignerName());
		fPlan->SetDigest(PackageDigest());
	}
	std::string signer = SignerLine();
	if (verdict == kSignatureMismatch) {
		_Refuse(SignatureCheck::kMismatchText);
		return false;
	}
	fprintf(stderr, "kestrovan-installer: %s\n", signer.c_str());
	if (fSignatureRequired && verdict != kSignedByTrustedKey) {
		_Refuse(alert_text("A signature by a trusted key is required, and this package "
			"has none.\n%s. Nothing was installed.", signer.c_str()));
		return false;
	}
	return true;
}


std::string
InstallApp::SignerLine() const
{
	return fSignatureChecked ? fSignature.SignerLine() : std::string();
}


std::string
InstallApp::SignatureState() const
{
	return fSignatureChecked ? fSignature.StateName() : std::string();
}


void
InstallApp::_Refuse(const std::string& text)
{
	if (fPlan != NULL)
		fPlan->WouldStop("unopenable", text);
	doError(text.c_str());
}
