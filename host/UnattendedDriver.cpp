#include "UnattendedDriver.h"

#include "DoError.h"
#include "ExistingItems.h"
#include "FindChoiceView.h"
#include "FindChoiceWind.h"
#include "IGroupsListView.h"
#include "InstallApp.h"
#include "InstallLooper.h"
#include "InstallOutcome.h"
#include "InstallView.h"
#include "InstallWindow.h"
#include "LicenseView.h"
#include "MissingFolders.h"
#include "PatchInfoView.h"
#include "PatchListView.h"
#include "ReplaceView.h"
#include "SimpleListView.h"
#include "StringItem.h"

#include <Alert.h>
#include <Automation.h>
#include <Box.h>
#include <Button.h>
#include <Directory.h>
#include <Entry.h>
#include <FilePanelList.h>
#include <FilePanelWindow.h>
#include <InterfaceDefs.h>
#include <OS.h>
#include <RadioButton.h>
#include <StringView.h>
#include <TextView.h>
#include <Volume.h>
#include <Window.h>

#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

using BPrivate::Automation;
using BPrivate::DisplayBackend;
using BPrivate::DisplayWindowInfo;
using BPrivate::FilePanelList;
using BPrivate::kFilePanelDefaultName;
using BPrivate::kFilePanelListName;
using BPrivate::kFilePanelVolumesName;

namespace {

const bigtime_t kTick = 20000;
// A window that keeps changing (the progress bar) is pictured at most this
// often.
const bigtime_t kScreenshotInterval = 250000;

void
Say(const char* format, const std::string& text)
{
	fprintf(stderr, format, text.c_str());
	fflush(stderr);
}


// A window busy in a long handler (the progress window shows "Finished"
// for half a second) is not waited for longer than this.
const bigtime_t kLockWait = 100000;
// The install window is set up in rounds of answering the alerts it opened
// and waiting for it to settle; one that still has an alert open after this
// many is given up.
const int32 kSettleRounds = 20;

// Runs `action` with the window locked; false when the window is gone or
// stays busy for `wait`.
bool
WithWindow(const DisplayWindowInfo& info,
	const std::function<void(BWindow*)>& action, bigtime_t wait = kLockWait)
{
	if (info.target.LockTargetWithTimeout(wait) != B_OK)
		return false;
	BLooper* looper = NULL;
	info.target.Target(&looper);
	BWindow* window = dynamic_cast<BWindow*>(looper);
	if (window != NULL)
		action(window);
	looper->Unlock();
	return window != NULL;
}


// The first view below `parent` (a window or a view; depth first) that
// `match` accepts.
template<typename Parent>
BView*
FindViewWhere(Parent* parent, const std::function<bool(BView*)>& match)
{
	for (int32 i = 0; i < parent->CountChildren(); i++) {
		BView* child = parent->ChildAt(i);
		if (match(child))
			return child;
		BView* found = FindViewWhere(child, match);
		if (found != NULL)
			return found;
	}
	return NULL;
}


// The middle of a list row on the screen, scrolled into view first.
BPoint
RowPoint(SimpleListView* list, int32 index)
{
	BRect row = list->ItemFrame(index);
	BRect bounds = list->Bounds();
	if (row.top < bounds.top || row.bottom > bounds.bottom)
		list->ScrollTo(BPoint(0, row.top));
	row = list->ConvertToScreen(list->ItemFrame(index));
	return BPoint(row.left + 20, (row.top + row.bottom) / 2);
}


uint64
Checksum(cairo_surface_t* surface)
{
	cairo_surface_flush(surface);
	const unsigned char* data = cairo_image_surface_get_data(surface);
	size_t length = (size_t)cairo_image_surface_get_stride(surface)
		* cairo_image_surface_get_height(surface);
	uint64 sum = 1469598103934665603ULL;
	for (size_t i = 0; i < length; i++)
		sum = (sum ^ data[i]) * 1099511628211ULL;
	return sum;
}


std::string
FileNameFor(const std::string& title)
{
	std::string name;
	for (char c : title) {
		bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
			|| (c >= '0' && c <= '9') || c == '-';
		name += plain ? c : '_';
	}
	return name.empty() ? "window" : name;
}

} // namespace


UnattendedDriver::UnattendedDriver(const InstallerOptions& options,
	bool answer)
	:
	fOptions(options),
	fAnswer(answer),
	fRunning(false),
	fInstallWindow(-1),
	fBeginPressed(false),
	fGaveUp(false),
	fRefusedVolume(),
	fFinished(false),
	fStopped(false),
	fPictureCount(0)
{
}


UnattendedDriver::~UnattendedDriver()
{
	Stop();
}


void
UnattendedDriver::Start()
{
	fRunning = true;
	fThread = std::thread([this] { _Run(); });
}


void
UnattendedDriver::Stop()
{
	fRunning = false;
	if (fThread.joinable())
		fThread.join();
}


int
UnattendedDriver::ExitStatus(bool runCompleted)
{
	// A run whose window closed as it ended (it went on to its end past
	// items it could not install, or a signal cancelled it) has not been
	// told about yet.
	if (!runCompleted && !fGaveUp) {
		std::string outcome = _LastRunOutcome();
		if (!outcome.empty())
			Say("not installed: %s\n", outcome);
	}
	return runCompleted && !fStopped ? 0 : 1;
}


// What ended the last run, as the application keeps it; empty when no run
// ended or the last one completed.
std::string
UnattendedDriver::_LastRunOutcome() const
{
	InstallApp* app = dynamic_cast<InstallApp*>(be_app);
	InstallOutcome outcome;
	if (app == NULL || !app->GetLastOutcome(&outcome))
		return std::string();
	switch (outcome.Code()) {
		case kRunCompleted:
			return std::string();
		case kRunCancelled:
			return "the installation was cancelled";
		case kRunFailed:
			return std::string(outcome.WentOn() ? "the installation passed over \""
				: "the installation stopped at \"") + outcome.Item() + "\": "
				+ outcome.Reason();
		case kRunNotStarted:
			break;
	}
	std::string text = "the installation stopped before anything was installed";
	return outcome.Reason().empty() ? text : text + ": " + outcome.Reason();
}


void
UnattendedDriver::_Run()
{
	while (fRunning) {
		// Pictures first: a window is pictured as it appears, before an
		// answer changes or closes it.
		if (!fOptions.fScreenshots.empty())
			_TakeScreenshots();
		if (fAnswer) {
			for (const DisplayWindowInfo& info : Automation::Windows()) {
				if (!info.hidden)
					_Visit(info);
			}
		}
		snooze(kTick);
	}
	if (!fOptions.fScreenshots.empty())
		_TakeScreenshots();
}


UnattendedDriver::window_kind
UnattendedDriver::_Classify(const DisplayWindowInfo& info) const
{
	window_kind kind = kOtherWindow;
	WithWindow(info, [&](BWindow* window) {
		if (dynamic_cast<BAlert*>(window) != NULL)
			kind = kAlertWindow;
		else if (window->FindView(kInstallViewName) != NULL)
			kind = kInstallWindow;
		else if (window->FindView(kLicenseTextName) != NULL)
			kind = kAgreementWindow;
		else if (window->FindView(kReplaceViewName) != NULL)
			kind = kReplaceDialog;
		else if (window->FindView(kPatchInfoViewName) != NULL)
			kind = kPatchWindow;
		else if (info.title == kFindChoiceTitle)
			kind = kChooserWindow;
		else if (window->FindView(kFilePanelListName) != NULL)
			kind = kFilePanel;
	});
	return kind;
}


void
UnattendedDriver::_Visit(const DisplayWindowInfo& info)
{
	window_kind kind = _Classify(info);
	if (kind == kInstallWindow) {
		_DriveInstallWindow(info);
		return;
	}
	if (kind == kAlertWindow) {
		_VisitAlert(info);
		return;
	}
	if (kind == kOtherWindow || kind == kFilePanel
		|| fAnswered.count(info.id) != 0)
		return;
	// Dialogs build their views as they are shown: answer them settled,
	// and picture them before the answer closes them.
	Automation::WaitUntilIdle(1000000);
	if (!fOptions.fScreenshots.empty())
		_TakeScreenshots();
	fAnswered.insert(info.id);
	switch (kind) {
		case kAgreementWindow:
			_AnswerAgreement(info.id);
			break;
		case kReplaceDialog:
			_AnswerReplace(info.id, info);
			break;
		case kPatchWindow:
			_AnswerPatches(info);
			break;
		case kChooserWindow:
			_AnswerChooser(info);
			break;
		default:
			break;
	}
}


void
UnattendedDriver::_AnswerAgreement(int32 window)
{
	bool agree = fOptions.fAcceptLicense;
	Say("agreement: %s\n", agree ? "Agree (--accept-license)"
		: "Disagree (no --accept-license)");
	if (!agree)
		fStopped = true;
	Automation::Click(window, agree ? kAgreeButtonName : kDisagreeButtonName);
}


// An alert is answered until it is gone: an answer can miss it (the alert
// was too busy to be read, or another alert opened over it took the click),
// and an alert left open holds the thread that opened it for good. It is
// answered again only once everything has settled with the alert still
// shown, so that an answer on its way is never doubled.
void
UnattendedDriver::_VisitAlert(const DisplayWindowInfo& info)
{
	bool settled = Automation::WaitUntilIdle(1000000);
	bool answered = fAnswered.count(info.id) != 0;
	if (answered && (!settled || !_IsShown(info.id)))
		return;
	// Pictured before the answer closes it.
	if (!answered && !fOptions.fScreenshots.empty())
		_TakeScreenshots();
	_AnswerAlert(info);
}


bool
UnattendedDriver::_IsShown(int32 window) const
{
	DisplayWindowInfo info;
	return DisplayBackend::Default()->GetWindow(window, &info) && !info.hidden;
}


void
UnattendedDriver::_AnswerAlert(const DisplayWindowInfo& info)
{
	std::vector<std::string> labels;
	std::string text;
	WithWindow(info, [&](BWindow* window) {
		BAlert* alert = dynamic_cast<BAlert*>(window);
		for (int32 i = 0; alert->ButtonAt(i) != NULL; i++)
			labels.push_back(alert->ButtonAt(i)->Label());
		if (alert->Text() != NULL)
			text = alert->Text();
	});
	// Not read (busy, or gone): tried again on the next look.
	if (labels.empty())
		return;

	// The alert's text is on standard error already (every alert writes
	// it there); what is added here is the answer.
	std::string answer = labels[0];
	if (text == kFinishedQuestion) {
		answer = kFinishedCloseLabel;
		fFinished = true;
	} else if (labels.size() == 2 && labels[0] == errCONTINUE
		&& labels[1] == kItemErrorCancelLabel) {
		answer = fOptions.fContinueOnError ? labels[0] : labels[1];
		if (!fOptions.fContinueOnError)
			fStopped = true;
	}
	// Said once, however often the answer has to be given.
	if (fAnswered.insert(info.id).second)
		Say("answer: %s\n", answer);
	Automation::Click(info.id, answer.c_str());
}


void
UnattendedDriver::_AnswerReplace(int32 windowId, const DisplayWindowInfo& info)
{
	std::string text;
	std::vector<std::string> options;
	WithWindow(info, [&](BWindow* window) {
		BView* label = FindViewWhere(window, [](BView* view) {
			return dynamic_cast<BTextView*>(view) != NULL;
		});
		if (label != NULL)
			text = static_cast<BTextView*>(label)->Text();
		BView* box = window->FindView(kReplaceChoicesName);
		for (int32 i = 0; box != NULL && i < box->CountChildren(); i++) {
			BRadioButton* radio = dynamic_cast<BRadioButton*>(box->ChildAt(i));
			if (radio != NULL && radio->Label() != NULL)
				options.push_back(radio->Label());
		}
	});
	Say("replace dialog: %s\n", text);

	if (fOptions.fExisting == kExistingCancel || options.size() < 3) {
		Say("answer: %s\n", "Cancel Install");
		Automation::Click(windowId, kCancelInstallName);
		return;
	}
	// The options in their order: replace, rename, skip.
	size_t pick = fOptions.fExisting == kExistingReplace ? 0
		: fOptions.fExisting == kExistingRename ? 1 : 2;
	Say("answer: %s, Continue Install\n", options[pick]);
	Automation::Click(windowId, options[pick].c_str());
	Automation::WaitUntilIdle(1000000);
	Automation::Click(windowId, kContinueInstallName);
}


void
UnattendedDriver::_AnswerPatches(const DisplayWindowInfo& info)
{
	std::vector<std::string> files;
	WithWindow(info, [&](BWindow* window) {
		SimpleListView* list
			= dynamic_cast<SimpleListView*>(window->FindView(kPatchListName));
		for (int32 i = 0; list != NULL && i < list->CountItems(); i++) {
			StringItem* row = dynamic_cast<StringItem*>(list->ItemAt(i));
			if (row != NULL && row->fText != NULL)
				files.push_back(row->fText);
		}
	});
	Say("%s\n", "patch window: Patches will be applied to the following:");
	for (const std::string& file : files)
		Say("  %s\n", file);

	if (fOptions.fKeepOriginals) {
		Automation::Click(info.id, kDeleteOriginalsName);
		Automation::WaitUntilIdle(1000000);
	}
	Say("answer: Continue (%s)\n", fOptions.fKeepOriginals
		? "keeping the original files" : "deleting the original files");
	Automation::Click(info.id, kPatchContinueName);
}


void
UnattendedDriver::_AnswerChooser(const DisplayWindowInfo& info)
{
	std::string question;
	std::vector<std::string> matches;
	BPoint pick;
	int32 choice = fOptions.fChoose;
	WithWindow(info, [&](BWindow* window) {
		BView* sentence = FindViewWhere(window, [](BView* view) {
			return dynamic_cast<BStringView*>(view) != NULL;
		});
		if (sentence != NULL)
			question = static_cast<BStringView*>(sentence)->Text();
		SimpleListView* list = dynamic_cast<SimpleListView*>(
			FindViewWhere(window, [](BView* view) {
				return dynamic_cast<SimpleListView*>(view) != NULL;
			}));
		for (int32 i = 0; list != NULL && i < list->CountItems(); i++) {
			StringItem* row = dynamic_cast<StringItem*>(list->ItemAt(i));
			matches.push_back(row != NULL && row->fText != NULL
				? row->fText : "");
		}
		if (list != NULL && choice < list->CountItems())
			pick = RowPoint(list, choice);
	});
	Say("chooser: %s\n", question);
	for (size_t i = 0; i < matches.size(); i++)
		Say(("  " + std::to_string(i) + ": %s\n").c_str(), matches[i]);

	if (choice >= (int32)matches.size()) {
		Say("answer: Cancel (--choose %s is not one of the matches)\n",
			std::to_string(choice));
		fStopped = true;
		Automation::Click(info.id, kChoiceCancelName);
		return;
	}
	Say("answer: %s, Continue\n", matches[choice]);
	Automation::ClickAt(pick);
	Automation::WaitUntilIdle(1000000);
	Automation::Click(info.id, kChoiceContinueName);
}


void
UnattendedDriver::_DriveInstallWindow(const DisplayWindowInfo& info)
{
	if (fGaveUp)
		return;
	if (fInstallWindow != info.id) {
		fInstallWindow = info.id;
		_SetUpAndBegin(info);
		return;
	}

	if (!fBeginPressed || fFinished)
		return;
	// The run is over when "Begin" is back and nothing is left to answer;
	// a run that finished would have asked its closing question.
	for (const DisplayWindowInfo& other : Automation::Windows()) {
		if (other.modal && !other.hidden)
			return;
	}
	if (!_BeginIsOffered(info) || !Automation::WaitUntilIdle(300000)
		|| !_BeginIsOffered(info) || fFinished)
		return;
	if (!fRefusedVolume.empty()) {
		_GiveUp(info.id, ("the volume \"" + fRefusedVolume + "\" cannot take "
			"this installation; choose another with --volume or --folder").c_str());
		return;
	}
	std::string outcome = _LastRunOutcome();
	_GiveUp(info.id, outcome.empty() ? "the install run did not finish" : outcome.c_str());
}


// The volume, folder and groups the options ask for, each step taken on a
// settled window, then "Begin". A volume the window refuses is still
// begun on: the window then says why, as it would to a person, and the run
// is given up when "Begin" comes back.
void
UnattendedDriver::_SetUpAndBegin(const DisplayWindowInfo& info)
{
	if (!_SettleInstallWindow(info.id) || !_ChooseVolume(info.id)
		|| !_SettleInstallWindow(info.id) || !_ChooseFolder(info.id)
		|| !_SettleInstallWindow(info.id) || !_ChooseGroups(info)
		|| !_SettleInstallWindow(info.id))
		return;
	bool enabled = false;
	Automation::IsEnabled(info.id, kBeginButtonName, &enabled);
	if (!enabled) {
		_GiveUp(info.id, "\"Begin\" is disabled (no group selected)");
		return;
	}
	_PicturePackageHelp(info.id);
	std::string size;
	Automation::GetText(info.id, kSizeTextName, &size);
	fRefusedVolume = _RefusedVolume(info);
	Say("install window: %s, Begin\n", size);
	fBeginPressed = true;
	Automation::Click(info.id, kBeginButtonName);
}


// The install window's own alerts (a volume its tests refuse) hold its
// thread, and with it the window's lock, until they are answered: they are
// answered before the window is looked at or used again.
bool
UnattendedDriver::_SettleInstallWindow(int32 window)
{
	for (int32 round = 0; round < kSettleRounds; round++) {
		bool settled = Automation::WaitUntilIdle();
		bool modalShown = false;
		for (const DisplayWindowInfo& info : Automation::Windows()) {
			if (info.hidden || !info.modal)
				continue;
			modalShown = true;
			if (_Classify(info) == kAlertWindow)
				_VisitAlert(info);
		}
		if (settled && !modalShown)
			return true;
	}
	_GiveUp(window, "the install window does not settle");
	return false;
}


// The name of the chosen volume when the window's volume tests refuse it
// for the selection; empty when they accept it.
std::string
UnattendedDriver::_RefusedVolume(const DisplayWindowInfo& info)
{
	std::string refused;
	WithWindow(info, [&](BWindow* window) {
		InstallWindow* installWindow = dynamic_cast<InstallWindow*>(window);
		if (installWindow == NULL || !installWindow->RefusesVolume())
			return;
		char name[B_FILE_NAME_LENGTH] = "";
		BVolume(installWindow->fVolume).GetName(name);
		refused = name;
	}, BPrivate::kAutomationWait);
	return refused;
}


// Read without waiting on the window: it may be holding an alert open.
bool
UnattendedDriver::_BeginIsOffered(const DisplayWindowInfo& info)
{
	bool enabled = false;
	WithWindow(info, [&](BWindow* window) {
		BControl* begin = dynamic_cast<BControl*>(window->FindView(kBeginButtonName));
		enabled = begin != NULL && begin->IsEnabled();
	});
	return enabled;
}


bool
UnattendedDriver::_ChooseVolume(int32 window)
{
	if (fOptions.fVolume.empty())
		return true;
	Say("install on: %s\n", fOptions.fVolume);
	if (Automation::Click(window, kVolumeFieldName) != B_OK
		|| Automation::ChooseMenuItem(fOptions.fVolume.c_str(), 2000000)
			!= B_OK) {
		if (Automation::IsMenuOpen())
			Automation::PressKey(B_ESCAPE);
		_GiveUp(window, ("there is no volume named \"" + fOptions.fVolume
			+ "\"").c_str());
		return false;
	}
	Automation::WaitUntilIdle();
	return true;
}


bool
UnattendedDriver::_ChooseFolder(int32 window)
{
	const std::string& folder = fOptions.fFolder;
	if (folder.empty())
		return true;
	Say("in: %s\n", folder);
	if (folder[0] == '/')
		return _ChooseOtherFolder(window, folder);
	bool known = std::find(std::begin(kDefaultFolders), std::end(kDefaultFolders),
		folder) != std::end(kDefaultFolders);
	if (!known || Automation::Click(window, kFolderFieldName) != B_OK
		|| Automation::ChooseMenuItem(folder.c_str(), 2000000) != B_OK) {
		if (Automation::IsMenuOpen())
			Automation::PressKey(B_ESCAPE);
		_GiveUp(window, ("the folder menu does not offer \"" + folder
			+ "\"").c_str());
		return false;
	}
	Automation::WaitUntilIdle();
	return true;
}


// "Other...": the file panel, walked like a person would: the volume from
// its menu, a double click on each folder on the way, the last one
// selected and "Select" pressed. Missing folders are made first, as a
// person would make them in the panel.
bool
UnattendedDriver::_ChooseOtherFolder(int32 window, const std::string& path)
{
	std::string refusal;
	bool missing = false;
	if (fOptions.fPlan && check_missing_folders(path, &refusal, &missing) == B_OK
		&& missing)
		return _PlanMissingFolder(window, path);
	if (!refusal.empty() || make_missing_folders(path, &refusal) != B_OK) {
		_GiveUp(window, refusal.c_str());
		return false;
	}
	std::vector<std::string> parts = path_components(path);
	DisplayWindowInfo panel;
	if (parts.empty() || Automation::Click(window, kFolderFieldName) != B_OK
		|| Automation::ChooseMenuItem(kOtherFolderLabel, 2000000) != B_OK
		|| !Automation::WaitUntilIdle()) {
		_GiveUp(window, "the folder panel cannot be opened");
		return false;
	}
	bool found = false;
	for (const DisplayWindowInfo& info : Automation::Windows()) {
		if (!info.hidden && _Classify(info) == kFilePanel) {
			panel = info;
			found = true;
			break;
		}
	}
	if (!found || Automation::Click(panel.id, kFilePanelVolumesName) != B_OK
		|| Automation::ChooseMenuItem(parts[0].c_str(), 2000000) != B_OK) {
		if (Automation::IsMenuOpen())
			Automation::PressKey(B_ESCAPE);
		_GiveUp(window, ("there is no volume named \"" + parts[0] + "\"").c_str());
		return false;
	}
	Automation::WaitUntilIdle();

	for (size_t i = 1; i < parts.size(); i++) {
		BPoint where;
		bool listed = false;
		WithWindow(panel, [&](BWindow* panelWindow) {
			FilePanelList* list
				= dynamic_cast<FilePanelList*>(panelWindow->FindView(kFilePanelListName));
			int32 index = list != NULL ? list->IndexOf(parts[i].c_str()) : -1;
			if (index < 0)
				return;
			list->ScrollToItem(index);
			BRect row = list->ConvertToScreen(list->ItemFrame(index));
			where = BPoint(row.left + 30, (row.top + row.bottom) / 2);
			listed = true;
		}, BPrivate::kAutomationWait);
		if (!listed) {
			_GiveUp(window, ("there is no folder \"" + path + "\"").c_str());
			return false;
		}
		// Into every folder on the way; the last one only selected.
		int clicks = i + 1 < parts.size() ? 2 : 1;
		for (int click = 0; click < clicks; click++)
			Automation::ClickAt(where);
		Automation::WaitUntilIdle();
	}
	Automation::Click(panel.id, kFilePanelDefaultName);
	Automation::WaitUntilIdle();
	return true;
}


bool
UnattendedDriver::_PlanMissingFolder(int32 window, const std::string& path)
{
	// The checks found the volume.
	std::vector<std::string> parts = path_components(path);
	node_ref volumeRoot;
	BDirectory(("/" + parts[0]).c_str()).GetNodeRef(&volumeRoot);
	std::string relative = ".";
	for (size_t i = 1; i < parts.size(); i++)
		relative += "/" + parts[i];
	bool set = false;
	DisplayWindowInfo info;
	if (DisplayBackend::Default()->GetWindow(window, &info)) {
		set = WithWindow(info, [&](BWindow* found) {
			InstallWindow* installWindow = dynamic_cast<InstallWindow*>(found);
			if (installWindow == NULL)
				return;
			installWindow->fVolume = volumeRoot.device;
			free(installWindow->fFolderPath);
			installWindow->fFolderPath = strdup(relative.c_str());
			installWindow->fCustomFolder = false;
		}, BPrivate::kAutomationWait);
	}
	if (!set)
		_GiveUp(window, "the install window does not answer");
	return set;
}


bool
UnattendedDriver::_ChooseGroups(const DisplayWindowInfo& info)
{
	if (fOptions.fGroups.empty())
		return true;
	std::vector<int32> rows;
	std::string missing;
	BPoint first;
	BPoint last;
	bool read = WithWindow(info, [&](BWindow* window) {
		IGroupsListView* list
			= dynamic_cast<IGroupsListView*>(window->FindView(kGroupListName));
		if (list == NULL) {
			missing = fOptions.fGroups[0];
			return;
		}
		for (const std::string& name : fOptions.fGroups) {
			int32 found = list->RowOfGroup(name.c_str());
			if (found < 0) {
				missing = name;
				return;
			}
			rows.push_back(found);
		}
		std::sort(rows.begin(), rows.end());
		first = RowPoint(list, rows.front());
		last = RowPoint(list, rows.back());
	}, BPrivate::kAutomationWait);
	if (!read) {
		_GiveUp(info.id, "the install window does not answer");
		return false;
	}
	if (!missing.empty()) {
		_GiveUp(info.id, ("the package has no group \"" + missing + "\"").c_str());
		return false;
	}
	std::string names;
	for (const std::string& name : fOptions.fGroups)
		names += (names.empty() ? "" : ", ") + name;
	Say("groups: %s\n", names);
	// A click selects one row; a shift-click extends the selection to the
	// rows in between, as the list selects.
	Automation::ClickAt(first);
	if (rows.back() != rows.front()) {
		Automation::WaitUntilIdle();
		Automation::ClickAt(last, B_PRIMARY_MOUSE_BUTTON, B_SHIFT_KEY);
	}
	Automation::WaitUntilIdle();
	return true;
}


// With screenshots asked for, the package's help is opened once and pictured
// before the run, so that the pictures show every window a user can meet.
void
UnattendedDriver::_PicturePackageHelp(int32 window)
{
	if (fOptions.fScreenshots.empty()
		|| Automation::Click(window, kPackageHelpName) != B_OK)
		return;
	DisplayWindowInfo help;
	if (!Automation::WaitForWindow(kPackageHelpTitle, &help, 2000000))
		return;
	Automation::WaitUntilIdle();
	_TakeScreenshots();
	Automation::PressCloseBox(help.id);
	Automation::WaitUntilIdle();
}


std::string
UnattendedDriver::GaveUpReason() const
{
	std::lock_guard<std::mutex> guard(fReasonLock);
	return fGaveUpReason;
}


void
UnattendedDriver::_GiveUp(int32 window, const char* why)
{
	Say("not installed: %s\n", why);
	{
		std::lock_guard<std::mutex> guard(fReasonLock);
		fGaveUpReason = why;
	}
	fGaveUp = true;
	fStopped = true;
	Automation::PressCloseBox(window);
}


// Pictures are named by what the window is, so that a run's pictures can be
// told apart (dialogs and alerts have no title).
std::string
UnattendedDriver::_PictureName(const DisplayWindowInfo& info) const
{
	switch (_Classify(info)) {
		case kAgreementWindow:
			return "agreement";
		case kInstallWindow:
			return "install-window";
		case kAlertWindow:
			return "alert";
		case kReplaceDialog:
			return "replace-dialog";
		case kPatchWindow:
			return "patch-window";
		case kChooserWindow:
			return "results-chooser";
		case kFilePanel:
			return "file-panel";
		default:
			return FileNameFor(info.title);
	}
}


void
UnattendedDriver::_TakeScreenshots()
{
	bigtime_t now = system_time();
	for (const DisplayWindowInfo& info : Automation::Windows()) {
		if (info.hidden)
			continue;
		cairo_surface_t* picture = Automation::CaptureWindow(info.id);
		if (picture == NULL)
			continue;
		uint64 sum = Checksum(picture);
		auto seen = fPictureSums.find(info.id);
		bool changed = seen == fPictureSums.end() || seen->second != sum;
		if (changed && (seen == fPictureSums.end()
				|| now - fPictureTimes[info.id] >= kScreenshotInterval)) {
			char number[16];
			snprintf(number, sizeof(number), "%03d-", (int)fPictureCount++);
			std::string path = fOptions.fScreenshots + "/" + number
				+ _PictureName(info) + ".png";
			cairo_surface_write_to_png(picture, path.c_str());
			fPictureSums[info.id] = sum;
			fPictureTimes[info.id] = now;
		}
		cairo_surface_destroy(picture);
	}
}
