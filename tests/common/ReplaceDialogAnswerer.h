#ifndef _TEST_REPLACE_DIALOG_ANSWERER_H
#define _TEST_REPLACE_DIALOG_ANSWERER_H

// Answers the replace dialog as a person would, from a thread of its own:
// it waits for each dialog to come up, notes what the dialog shows (the
// text, the option wordings, which option is on), clicks the option and
// the check box the test asked for, then one of the two buttons. A dialog
// that comes up when the test gave no more answers is cancelled and
// counted as unexpected, so that a wrong question never hangs a test.

#include "LabelView.h"
#include "ReplaceDialog.h"

#include <Automation.h>
#include <Box.h>
#include <CheckBox.h>
#include <OS.h>
#include <RadioButton.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// What to do in one dialog.
struct ReplaceAnswer {
	// The label of the option to click; none when empty.
	std::string option;
	// Clicks on the "Don't ask again" check box.
	int32 dontAskClicks = 0;
	// "Cancel Install" instead of "Continue Install".
	bool cancel = false;
	// Enter (the default button) instead of a click on "Continue Install".
	bool pressEnter = false;
};

// What one dialog showed before it was answered.
struct SeenReplaceDialog {
	int32 window = -1;
	std::string text;
	std::vector<std::string> options;
	// The index of the option that was on when the dialog came up, or -1.
	int32 selected = -1;
	std::string checkBoxLabel;
	int32 checkBoxValue = -1;
	std::string boxLabel;
	std::string title;
	bool modal = false;
	// Frames in window coordinates.
	BRect continueFrame;
	BRect cancelFrame;
	BRect boxFrame;
	BRect checkBoxFrame;
	BRect windowBounds;
};

class ReplaceDialogAnswerer {
public:
	ReplaceDialogAnswerer()
		:
		fRunning(true),
		fUnexpected(0),
		fThread([this] { _Run(); })
	{
	}

	~ReplaceDialogAnswerer()
	{
		fRunning = false;
		fThread.join();
	}

	void Add(const ReplaceAnswer& answer)
	{
		std::lock_guard<std::mutex> lock(fLock);
		fAnswers.push_back(answer);
	}

	void Add(const std::string& option, int32 dontAskClicks = 0)
	{
		ReplaceAnswer answer;
		answer.option = option;
		answer.dontAskClicks = dontAskClicks;
		Add(answer);
	}

	void AddCancel(const std::string& option = "")
	{
		ReplaceAnswer answer;
		answer.option = option;
		answer.cancel = true;
		Add(answer);
	}

	// Dialogs answered so far, expected ones only.
	std::vector<SeenReplaceDialog> Seen() const
	{
		std::lock_guard<std::mutex> lock(fLock);
		return fSeen;
	}

	int32 Unexpected() const { return fUnexpected; }

private:
	void _Run()
	{
		std::set<int32> handled;
		while (fRunning) {
			for (const auto& info : BPrivate::Automation::Windows()) {
				if (info.hidden || handled.count(info.id) != 0)
					continue;
				SeenReplaceDialog seen;
				if (!_Inspect(info, &seen))
					continue;
				handled.insert(info.id);
				_Answer(info.id, seen);
			}
			snooze(5000);
		}
	}

	void _Answer(int32 window, const SeenReplaceDialog& seen)
	{
		ReplaceAnswer answer;
		bool expected = false;
		{
			std::lock_guard<std::mutex> lock(fLock);
			if (!fAnswers.empty()) {
				answer = fAnswers.front();
				fAnswers.pop_front();
				expected = true;
				fSeen.push_back(seen);
			}
		}
		if (!expected) {
			fUnexpected++;
			answer.cancel = true;
		}
		using BPrivate::Automation;
		if (!answer.option.empty()) {
			Automation::Click(window, answer.option.c_str());
			Automation::WaitUntilIdle();
		}
		for (int32 i = 0; i < answer.dontAskClicks; i++) {
			Automation::Click(window, seen.checkBoxLabel.c_str());
			Automation::WaitUntilIdle();
		}
		if (answer.cancel)
			Automation::Click(window, "cancel");
		else if (answer.pressEnter)
			Automation::PressKey(B_ENTER);
		else
			Automation::Click(window, "continue");
	}

	// Whether the window is a replace dialog, and what it shows.
	static bool _Inspect(const BPrivate::DisplayWindowInfo& info, SeenReplaceDialog* seen)
	{
		if (!info.target.LockTarget())
			return false;
		BLooper* looper = nullptr;
		info.target.Target(&looper);
		ReplaceDialog* dialog = dynamic_cast<ReplaceDialog*>(looper);
		if (dialog != nullptr) {
			seen->window = info.id;
			seen->title = dialog->Title();
			seen->modal = dialog->IsModal();
			seen->windowBounds = dialog->Bounds();
			_Collect(dialog->FindView("replview"), seen);
		}
		looper->Unlock();
		return dialog != nullptr;
	}

	static void _Collect(BView* view, SeenReplaceDialog* seen)
	{
		if (view == nullptr)
			return;
		for (int32 i = 0; i < view->CountChildren(); i++) {
			BView* child = view->ChildAt(i);
			BRect frame = child->ConvertToScreen(child->Bounds());
			frame = child->Window()->ConvertFromScreen(frame);
			if (LabelView* label = dynamic_cast<LabelView*>(child)) {
				seen->text = label->Text();
			} else if (BRadioButton* radio = dynamic_cast<BRadioButton*>(child)) {
				if (radio->Value() == B_CONTROL_ON)
					seen->selected = (int32)seen->options.size();
				seen->options.push_back(radio->Label());
			} else if (BCheckBox* check = dynamic_cast<BCheckBox*>(child)) {
				seen->checkBoxLabel = check->Label();
				seen->checkBoxValue = check->Value();
				seen->checkBoxFrame = frame;
			} else if (BBox* box = dynamic_cast<BBox*>(child)) {
				seen->boxLabel = box->Label() != nullptr ? box->Label() : "";
				seen->boxFrame = frame;
			} else if (strcmp(child->Name(), "continue") == 0) {
				seen->continueFrame = frame;
			} else if (strcmp(child->Name(), "cancel") == 0) {
				seen->cancelFrame = frame;
			}
			_Collect(child, seen);
		}
	}

	mutable std::mutex fLock;
	std::deque<ReplaceAnswer> fAnswers;
	std::vector<SeenReplaceDialog> fSeen;
	std::atomic<bool> fRunning;
	std::atomic<int32> fUnexpected;
	std::thread fThread;
};

#endif // _TEST_REPLACE_DIALOG_ANSWERER_H
