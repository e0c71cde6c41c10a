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
// SIGTERM to the program, as a shutdown of the machine would send), or
// "pick:VOLUME:FOLDER:GROUP:EXISTING" (as "begin", with the volume, the
// folder of the "in" menu and the one group chosen in the install window
// first, each when not empty, and every replace question answered with
// EXISTING: replace, rename, skip or cancel).

#define main installer_main
#include "../../../host/main.cpp"
#undef main

#include "InstallLooper.h"
#include "IGroupsListView.h"
#include "InstallView.h"
#include "InstallWindow.h"
#include "LicenseView.h"
#include "ReplaceView.h"

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
#include <vector>

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

// What "pick" chooses; empty: what the window offers.
struct Picks {
	std::string volume;
	std::string folder;
	std::string group;
	// replace, rename, skip or cancel.
	std::string existing;
};
Picks sPicks;


bool
WithWindow(const DisplayWindowInfo& info, const std::function<void(BWindow*)>& action)
{
	if (info.target.LockTargetWithTimeout(kLockWait) != B_OK)
		return false;
	BLooper* looper = nullptr;
	info.target.Target(&looper);
	BWindow* window = dynamic_cast<BWindow*>(looper);
	if (window != nullptr)
		action(window);
	looper->Unlock();
	return window != nullptr;
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
				found = dynamic_cast<BAlert*>(window) == nullptr
					&& window->FindView(viewName) != nullptr;
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


bool
IsReplaceDialog(const DisplayWindowInfo& info)
{
	bool found = false;
	WithWindow(info, [&](BWindow* window) {
		found = window->FindView(kReplaceViewName) != nullptr;
	});
	return found;
}


// The option of the picked answer (the dialog's plain wording), then
// "Continue Install"; or "Cancel Install".
void
AnswerReplaceDialog(int32 window)
{
	if (sPicks.existing == "cancel") {
		Automation::WaitUntilIdle();
		Automation::Click(window, kCancelInstallName);
		return;
	}
	const char* option = sPicks.existing == "replace" ? ReplaceOptionLabel(0)
		: sPicks.existing == "skip" ? kSkipOptionLabel : RenameOptionLabel(0);
	Automation::WaitUntilIdle();
	Automation::Click(window, option);
	Automation::WaitUntilIdle();
	Automation::Click(window, kContinueInstallName);
}


// Answers the alerts and replace dialogs shown now; whether one was shown.
bool
AnswerAlerts(std::set<int32>* answered)
{
	bool shown = false;
	for (const DisplayWindowInfo& info : Automation::Windows()) {
		if (info.hidden || !info.modal)
			continue;
		shown = true;
		if (IsReplaceDialog(info)) {
			if (answered->insert(info.id).second)
				AnswerReplaceDialog(info.id);
			continue;
		}
		std::string text;
		std::string label;
		WithWindow(info, [&](BWindow* window) {
			BAlert* alert = dynamic_cast<BAlert*>(window);
			if (alert == nullptr || alert->ButtonAt(0) == nullptr)
				return;
			text = alert->Text() != nullptr ? alert->Text() : "";
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


bool
ChooseMenuItem(int32 window, const char* field, const std::string& label)
{
	if (label.empty())
		return true;
	bool chosen = Automation::Click(window, field) == B_OK
		&& Automation::ChooseMenuItem(label.c_str(), 2000000) == B_OK;
	Automation::WaitUntilIdle();
	return chosen;
}


// A click on the group's row, as a person picks one group.
bool
ChooseGroup(int32 window, const std::string& name)
{
	if (name.empty())
		return true;
	BPoint where;
	bool found = false;
	for (const DisplayWindowInfo& info : Automation::Windows()) {
		if (info.id != window)
			continue;
		WithWindow(info, [&](BWindow* shown) {
			IGroupsListView* list
				= dynamic_cast<IGroupsListView*>(shown->FindView(kGroupListName));
			int32 row = list != nullptr ? list->RowOfGroup(name.c_str()) : -1;
			if (row < 0)
				return;
			BRect frame = list->ConvertToScreen(list->ItemFrame(row));
			where = BPoint(frame.left + 20, (frame.top + frame.bottom) / 2);
			found = true;
		});
	}
	if (found)
		Automation::ClickAt(where);
	Automation::WaitUntilIdle();
	return found;
}


void
BeginAndSeeItThrough()
{
	int32 window = WaitForInstallWindow();
	if (window < 0 || !ChooseMenuItem(window, kVolumeFieldName, sPicks.volume)
		|| !ChooseMenuItem(window, kFolderFieldName, sPicks.folder)
		|| !ChooseGroup(window, sPicks.group)
		|| Automation::Click(window, kBeginButtonName) != B_OK)
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
	} else if (action.compare(0, 5, "pick:") == 0) {
		std::vector<std::string> parts;
		size_t start = 5;
		for (size_t colon; (colon = action.find(':', start)) != std::string::npos;
				start = colon + 1)
			parts.push_back(action.substr(start, colon - start));
		parts.push_back(action.substr(start));
		parts.resize(4);
		sPicks = Picks{parts[0], parts[1], parts[2], parts[3]};
		BeginAndSeeItThrough();
	}
}

} // namespace person


int
main(int argc, char** argv)
{
	if (argc < 2) {
		fprintf(stderr, "usage: windowed-installer disagree|close|begin|terminate|"
			"pick:VOLUME:FOLDER:GROUP:EXISTING ARGUMENTS...\n");
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
