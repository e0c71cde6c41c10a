// The installer program's own entry point, run with its windows on the
// headless display and a person's few clicks made for it through the
// display's input path, so that a test sees what the windowed program ends
// with: its exit status and what it wrote on standard error.
//
//   windowed-installer ACTION INSTALLER-ARGUMENTS...
//
// ACTION is "disagree" ("Disagree" in the agreement), "close" (the install
// window closed without a run, after "Agree" in an agreement) or "begin"
// ("Agree" likewise, "Begin", every alert of the run
// answered with its first button but the closing question with "Close",
// and the install window closed when the run is over without it), or
// "terminate" (as "begin", but the closing question is answered by
// SIGTERM to the program, as a shutdown of the machine would send).

#define main installer_main
#include "../../../host/main.cpp"
#undef main

#include "InstallLooper.h"
#include "InstallView.h"
#include "InstallWindow.h"
#include "LicenseView.h"

#include <Alert.h>
#include <Automation.h>
#include <Button.h>
#include <OS.h>
#include <Window.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <signal.h>
#include <string>
#include <thread>

// Named, so that nothing here meets a name of the program's own file.
namespace person {

using BPrivate::Automation;
using BPrivate::DisplayWindowInfo;

const bigtime_t kTick = 20000;
// A window whose thread shows an alert keeps its lock: it is not waited for.
const bigtime_t kLockWait = 50000;

std::atomic<bool> sStopped(false);
// The closing question is answered by a termination request.
bool sTerminateAtQuestion = false;


bool
WithWindow(const DisplayWindowInfo& info, const std::function<void(BWindow*)>& action)
{
	if (info.target.LockTargetWithTimeout(kLockWait) != B_OK)
		return false;
	BLooper* looper = NULL;
	info.target.Target(&looper);
	BWindow* window = dynamic_cast<BWindow*>(looper);
	if (window != NULL)
		action(window);
	looper->Unlock();
	return window != NULL;
}


// The shown window (no alert) that holds a view of the name; -1 while there
// is none.
int32
WindowWith(const char* viewName)
{
	for (const DisplayWindowInfo& info : Automation::Windows()) {
		bool found = false;
		if (!info.hidden) {
			WithWindow(info, [&](BWindow* window) {
				found = dynamic_cast<BAlert*>(window) == NULL
					&& window->FindView(viewName) != NULL;
			});
		}
		if (found)
			return info.id;
	}
	return -1;
}


int32
WaitForWindowWith(const char* viewName)
{
	int32 window = -1;
	while (!sStopped && (window = WindowWith(viewName)) < 0)
		snooze(kTick);
	Automation::WaitUntilIdle();
	return window;
}


// The install window, after "Agree" in the agreement when there is one.
int32
WaitForInstallWindow()
{
	int32 window = -1;
	while (!sStopped && (window = WindowWith(kInstallViewName)) < 0) {
		int32 agreement = WindowWith(kLicenseTextName);
		if (agreement >= 0 && Automation::WaitUntilIdle())
			Automation::Click(agreement, kAgreeButtonName);
		snooze(kTick);
	}
	Automation::WaitUntilIdle();
	return window;
}


bool
IsShown(int32 id)
{
	for (const DisplayWindowInfo& info : Automation::Windows()) {
		if (info.id == id)
			return !info.hidden;
	}
	return false;
}


// Answers the alerts shown now; whether one was shown.
bool
AnswerAlerts(std::set<int32>* answered)
{
	bool shown = false;
	for (const DisplayWindowInfo& info : Automation::Windows()) {
		if (info.hidden || !info.modal)
			continue;
		shown = true;
		std::string text;
		std::string label;
		WithWindow(info, [&](BWindow* window) {
			BAlert* alert = dynamic_cast<BAlert*>(window);
			if (alert == NULL || alert->ButtonAt(0) == NULL)
				return;
			text = alert->Text() != NULL ? alert->Text() : "";
			label = alert->ButtonAt(0)->Label();
		});
		if (label.empty() || answered->count(info.id) != 0)
			continue;
		if (text == kFinishedQuestion && sTerminateAtQuestion) {
			// Left unanswered: only the signal may end the program.
			if (answered->insert(info.id).second)
				kill(getpid(), SIGTERM);
			continue;
		}
		if (text == kFinishedQuestion)
			label = kFinishedCloseLabel;
		if (Automation::Click(info.id, label.c_str()) == B_OK)
			answered->insert(info.id);
	}
	return shown;
}


void
BeginAndSeeItThrough()
{
	int32 window = WaitForInstallWindow();
	if (window < 0 || Automation::Click(window, kBeginButtonName) != B_OK)
		return;
	Automation::WaitUntilIdle();
	std::set<int32> answered;
	while (!sStopped && IsShown(window)) {
		bool busy = AnswerAlerts(&answered) || !Automation::WaitUntilIdle(200000);
		bool offered = false;
		if (!busy)
			Automation::IsEnabled(window, kBeginButtonName, &offered);
		if (offered && !AnswerAlerts(&answered)) {
			Automation::PressCloseBox(window);
			return;
		}
		snooze(kTick);
	}
}


void
Act(const std::string& action)
{
	if (action == "disagree") {
		int32 window = WaitForWindowWith(kLicenseTextName);
		if (window >= 0)
			Automation::Click(window, kDisagreeButtonName);
	} else if (action == "close") {
		int32 window = WaitForInstallWindow();
		if (window >= 0)
			Automation::PressCloseBox(window);
	} else if (action == "begin" || action == "terminate") {
		sTerminateAtQuestion = action == "terminate";
		BeginAndSeeItThrough();
	}
}

} // namespace person


int
main(int argc, char** argv)
{
	if (argc < 2) {
		fprintf(stderr, "usage: windowed-installer disagree|close|begin|terminate ARGUMENTS...\n");
		return 2;
	}
	// The windows are looked for before the program has chosen its display:
	// the headless one, unless the environment chose.
	setenv("KESTROVAN_DISPLAY", "headless", 0);
	std::string action = argv[1];
	argv[1] = argv[0];
	std::thread clicks([action] { person::Act(action); });
	int status = installer_main(argc - 1, argv + 1);
	person::sStopped = true;
	clicks.join();
	return status;
}
