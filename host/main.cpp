// kestrovan-installer: installs the package it carries, or the one named on
// its command line, in a window or, with --unattended, with nobody at it.

#include "AlertSinkScope.h"
#include "DoError.h"
#include "ExistingItems.h"
#include "InstallApp.h"
#include "InstallPlan.h"
#include "InstalledCommands.h"
#include "InstallerOptions.h"
#include "RunRecovery.h"
#include "StatusView.h"
#include "UnattendedDriver.h"

#include <DisplayBackend.h>
#include <EntryRef.h>
#include <SystemRoot.h>

#include <climits>
#include <filesystem>
#include <system_error>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {

int
UsageError(const std::string& text)
{
	fprintf(stderr, "kestrovan-installer: %s\nTry kestrovan-installer --help.\n",
		text.c_str());
	return 2;
}


// The display the windows appear on: the virtual screen for an unattended
// run (nobody is at it) or when asked for; otherwise a person is meant to
// answer the windows, and they must appear on a display that opens.
const char*
DisplayName(const InstallerOptions& options)
{
	if (options.fUnattended)
		return "headless";
	if (!options.fDisplay.empty())
		return options.fDisplay.c_str();
	const char* chosen = getenv("KESTROVAN_DISPLAY");
	return chosen != NULL && chosen[0] != '\0' ? chosen : "sdl";
}


// False, having said why, when the windows would have nowhere to appear:
// they would wait for answers nobody can give.
bool
SelectDisplay(const InstallerOptions& options)
{
	const char* name = DisplayName(options);
	if (BPrivate::DisplayBackend::Select(name) == B_OK)
		return true;
	fprintf(stderr, "kestrovan-installer: no display to show the installer's "
		"windows on (the %s display cannot be used): run it with --unattended "
		"to install with nobody at the windows, or with --display headless to "
		"show them on the virtual screen\n", name);
	return false;
}


InstallApp*
MakeApplication(const InstallerOptions& options)
{
	if (options.fPackage.empty())
		return new InstallApp();
	char hostPath[PATH_MAX];
	entry_ref ref;
	if (realpath(options.fPackage.c_str(), hostPath) == NULL
		|| get_ref_for_host_path(hostPath, &ref) != B_OK) {
		fprintf(stderr, "kestrovan-installer: %s: no such package\n",
			options.fPackage.c_str());
		return NULL;
	}
	return new InstallApp(ref);
}

// The answers an unattended run with these options gives.
PlanAnswers
AnswersOf(const InstallerOptions& options)
{
	PlanAnswers answers;
	switch (options.fExisting) {
		case kExistingReplace:
			answers.fReplaceChoice = kReplaceExistingChoice;
			break;
		case kExistingRename:
			answers.fReplaceChoice = kRenameExistingChoice;
			break;
		case kExistingSkip:
			answers.fReplaceChoice = kSkipItemChoice;
			break;
		case kExistingCancel:
			answers.fReplaceChoice = B_CANCELED;
			break;
	}
	answers.fContinueOnError = options.fContinueOnError;
	answers.fKeepOriginals = options.fKeepOriginals;
	answers.fChoose = options.fChoose;
	return answers;
}


// --plan: the plan on standard output; 0 when the run would go through.
int
PrintPlan(InstallPlan* plan, const UnattendedDriver& driver)
{
	if (!plan->Planned()) {
		std::string why = driver.GaveUpReason();
		plan->WouldStop("failed", why.empty() ? "no run would begin" : why);
	}
	fputs(plan->ToJson().c_str(), stdout);
	fflush(stdout);
	return plan->WouldProceed() ? 0 : 1;
}


// --recover: nothing but the recovery that every start does, told on
// standard error.
int
RecoverInterruptedRuns()
{
	AlertSinkScope toStandardError(StandardErrorAlertSink());
	std::vector<RecoveredRun> recovered;
	RunRecovery::RecoverAllVolumes(&recovered);
	return RunRecovery::Tell(recovered) ? 0 : 1;
}

} // namespace


int
main(int argc, char** argv)
{
	InstallerOptions options;
	switch (options.Parse(argc - 1, argv + 1)) {
		case InstallerOptions::kShowHelp:
			fputs(InstallerOptions::UsageText(), stdout);
			return 0;
		case InstallerOptions::kShowVersion:
			puts(kInstallerVersion);
			return 0;
		case InstallerOptions::kUsageError:
			return UsageError(options.ErrorText());
		case InstallerOptions::kRun:
			break;
	}

	if (!options.fRoot.empty()
		&& set_system_root(options.fRoot.c_str()) != B_OK) {
		fprintf(stderr, "kestrovan-installer: %s cannot be the system root\n",
			options.fRoot.c_str());
		return 1;
	}
	if (options.fRecover)
		return RecoverInterruptedRuns();
	if (options.fInstalledCommand != kNoInstalledCommand)
		return InstalledCommands(options).Run();
	if (!SelectDisplay(options)) {
		// A display that never answered keeps a thread inside the display
		// library, which the exit handlers would free under it: the program
		// ends without them (nothing is open that they would close).
		fflush(NULL);
		_exit(2);
	}
	// Before the first window: each draws at the scale of its day.
	if (options.fScale > 0)
		BPrivate::DisplayBackend::Default()->SetScale(options.fScale);

	if (!options.fScreenshots.empty()) {
		std::error_code error;
		std::filesystem::create_directories(options.fScreenshots, error);
		if (error) {
			fprintf(stderr, "kestrovan-installer: %s: %s\n",
				options.fScreenshots.c_str(), error.message().c_str());
			return 1;
		}
	}

	InstallPlan plan(AnswersOf(options));
	InstallApp* app = MakeApplication(options);
	if (app == NULL && options.fPlan) {
		plan.WouldStop("unopenable", options.fPackage + ": no such package");
		return PrintPlan(&plan, UnattendedDriver(options, false));
	}
	if (app == NULL)
		return 1;
	app->SetSignaturePolicy(options.fTrustedKeys, options.fRequireSignature);
	if (options.fPlan)
		app->SetPlan(&plan);
	// Nobody reads "Finished" at the end of an unattended run, unless its
	// screenshots are to show it.
	if (options.fUnattended && options.fScreenshots.empty())
		StatusView::SetFinishedPause(0);
	UnattendedDriver driver(options, options.fUnattended);
	if (options.fUnattended || !options.fScreenshots.empty())
		driver.Start();
	app->Run();
	driver.Stop();

	// 0 only when the last run completed: not when the package could not
	// be opened, the agreement was declined, the window was closed without
	// a run, or the last run stopped early, failed or was cancelled.
	bool completed = app->PackageOpened() && !app->AgreementDeclined()
		&& app->RunCompleted();
	int status = options.fPlan ? PrintPlan(&plan, driver)
		: options.fUnattended ? driver.ExitStatus(completed) : completed ? 0 : 1;
	InstallApp::FreeGlobals();
	delete app;
	return status;
}
