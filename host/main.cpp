// kestrovan-installer: installs the package it carries, or the one named on
// its command line, in a window or, with --unattended, with nobody at it.

#include "AlertSinkScope.h"
#include "AnswersRecording.h"
#include "DoError.h"
#include "ExistingItems.h"
#include "InstallApp.h"
#include "InstallPlan.h"
#include "InstalledCommands.h"
#include "InstallerOptions.h"
#include "RunEvents.h"
#include "RunRecorder.h"
#include "RunRecovery.h"
#include "StatusView.h"
#include "UnattendedDriver.h"

#include <DisplayBackend.h>
#include <EntryRef.h>
#include <SystemRoot.h>

#include <climits>
#include <memory>
#include <filesystem>
#include <system_error>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
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


// Closes the desktop's side of the display as main returns, whichever way:
// window threads may still be deleting their windows then, and the display
// thread must not be showing that while the exit handlers unload its
// libraries.
struct DesktopClosing {
	~DesktopClosing() { BPrivate::DisplayBackend::CloseDesktopInUse(); }
};


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


// The recorder of the run's report, progress lines and log copy, watching
// the run from now on; null when none of them is asked for.
std::unique_ptr<RunRecorder>
StartRecorder(const InstallerOptions& options)
{
	int progressFD = options.fProgressFD;
	if (progressFD >= 0 && fcntl(progressFD, F_GETFD) < 0) {
		fprintf(stderr, "kestrovan-installer: descriptor %d is not open: no progress "
			"lines are written\n", progressFD);
		progressFD = -1;
	}
	if (options.fReportPath.empty() && progressFD < 0 && options.fLogCopyPath.empty())
		return NULL;
	std::unique_ptr<RunRecorder> recorder(new RunRecorder(options.fReportPath,
		progressFD, options.fLogCopyPath));
	RunEvents::SetObserver(recorder.get());
	return recorder;
}


// Ends the recording, when there is one, with how the program ended; the
// exit status to return.
int
FinishRecorder(std::unique_ptr<RunRecorder>& recorder, ProgramEnd end)
{
	if (!recorder)
		return end.fExitStatus;
	int status = recorder->Finish(end);
	RunEvents::SetObserver(NULL);
	recorder.reset();
	return status;
}


// How a program that stopped before its application ran ended.
ProgramEnd
EarlyEnd(const InstallerOptions& options, const char* outcome, const std::string& reason,
	int status)
{
	ProgramEnd end;
	end.fOutcome = outcome;
	end.fReason = reason;
	end.fExitStatus = status;
	end.fPackageFile = options.fPackage;
	return end;
}


// How the application's run ended, read from the worker's outcome and the
// application's notes, never from an alert's text.
ProgramEnd
ApplicationEnd(const InstallerOptions& options, InstallApp* app,
	const UnattendedDriver& driver, const RunRecorder& recorder, int status)
{
	ProgramEnd end = EarlyEnd(options, "", "", status);
	if (end.fPackageFile.empty()) {
		// The program's own file carries the package.
		char hostPath[PATH_MAX];
		ssize_t length = readlink("/proc/self/exe", hostPath, sizeof(hostPath) - 1);
		if (length > 0)
			end.fPackageFile.assign(hostPath, (size_t)length);
	}
	end.fPackageName = app->PackageTitle();
	end.fSignatureState = app->SignatureState();
	end.fSignerKeyId = app->SignerKeyId();
	end.fSignerName = app->SignerName();

	InstallOutcome outcome;
	if (!app->PackageOpened()) {
		end.fOutcome = "unopenable";
		end.fReason = recorder.LastAlertText();
	} else if (app->AgreementDeclined()) {
		end.fOutcome = "declined";
		end.fReason = "the agreement was declined";
	} else if (recorder.GetLastOutcome(&outcome)) {
		end.fOutcome = RunRecorder::OutcomeName(outcome);
		end.fReason = outcome.Reason();
	} else if (!driver.GaveUpReason().empty()) {
		end.fOutcome = "failed";
		end.fReason = driver.GaveUpReason();
	} else {
		end.fOutcome = "cancelled";
		end.fReason = "the install window was closed before an installation ran";
	}
	// An answer that stopped the program after its run completed.
	if (end.fOutcome == "completed" && status != 0) {
		end.fOutcome = "cancelled";
		end.fReason = "an answer stopped the installation";
	}
	return end;
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
	std::unique_ptr<RunRecorder> recorder = StartRecorder(options);
	if (!SelectDisplay(options)) {
		FinishRecorder(recorder, EarlyEnd(options, "failed", "no display", 2));
		// A display that never answered keeps a thread inside the display
		// library, which the exit handlers would free under it: the program
		// ends without them (nothing is open that they would close).
		fflush(NULL);
		_exit(2);
	}
	DesktopClosing desktopClosing;
	// Before the first window: each draws at the scale of its day.
	if (options.fScale > 0)
		BPrivate::DisplayBackend::Default()->SetScale(options.fScale);

	if (!options.fScreenshots.empty()) {
		std::error_code error;
		std::filesystem::create_directories(options.fScreenshots, error);
		if (error) {
			fprintf(stderr, "kestrovan-installer: %s: %s\n",
				options.fScreenshots.c_str(), error.message().c_str());
			return FinishRecorder(recorder, EarlyEnd(options, "failed",
				options.fScreenshots + ": " + error.message(), 1));
		}
	}

	if (!options.fSaveAnswersFile.empty() && !AnswersRecording::Start(options))
		return 2;
	InstallPlan plan(AnswersOf(options));
	InstallApp* app = MakeApplication(options);
	if (app == NULL && options.fPlan) {
		plan.WouldStop("unopenable", options.fPackage + ": no such package");
		return PrintPlan(&plan, UnattendedDriver(options, false));
	}
	if (app == NULL) {
		return FinishRecorder(recorder, EarlyEnd(options, "unopenable",
			"no such package", 1));
	}
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
	// A run that completed but whose answers could not be kept did not do
	// all it was asked (and the report says the status returned).
	if (!options.fSaveAnswersFile.empty() && !AnswersRecording::Finish(options))
		status = 1;
	if (recorder)
		status = FinishRecorder(recorder, ApplicationEnd(options, app, driver, *recorder, status));
	InstallApp::FreeGlobals();
	delete app;
	return status;
}
