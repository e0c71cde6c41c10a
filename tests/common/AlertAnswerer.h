#ifndef _TEST_ALERT_ANSWERER_H
#define _TEST_ALERT_ANSWERER_H

// Answers every alert that comes up, as a person (or an unattended run)
// would: a click on one of its buttons through the display's input path.
// Code under test that reports problems with doError blocks in a real
// alert; with an answerer running, the test goes on.

#include <MountedVolume.h>

#include <Alert.h>
#include <Automation.h>
#include <Button.h>
#include <DisplayBackend.h>
#include <OS.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Answers by label for alerts whose text holds a given fragment, for the
// answerers of the whole process: a test that needs "Cancel" or "Close"
// where the first button would be pressed says so for as long as the rule
// lives. Later rules win. Every alert text answered is also kept, in order.
class AlertRules {
public:
	AlertRules(const std::string& fragment, const std::string& label)
	{
		std::lock_guard<std::mutex> guard(Lock());
		fIndex = Rules().size();
		Rules().push_back({fragment, label});
	}

	~AlertRules()
	{
		std::lock_guard<std::mutex> guard(Lock());
		Rules()[fIndex].first.clear();
		while (!Rules().empty() && Rules().back().first.empty())
			Rules().pop_back();
	}

	// The label for an alert with this text; empty when no rule says.
	static std::string LabelFor(const char* text)
	{
		std::lock_guard<std::mutex> guard(Lock());
		if (text == nullptr)
			return std::string();
		for (auto rule = Rules().rbegin(); rule != Rules().rend(); ++rule) {
			if (!rule->first.empty() && strstr(text, rule->first.c_str()) != nullptr)
				return rule->second;
		}
		return std::string();
	}

	static void NoteAnswered(const char* text)
	{
		std::lock_guard<std::mutex> guard(Lock());
		Answered().push_back(text != nullptr ? text : "");
	}

	// The texts of the alerts answered so far, and a fresh start.
	static std::vector<std::string> AnsweredTexts()
	{
		std::lock_guard<std::mutex> guard(Lock());
		return Answered();
	}
	static void ForgetAnswered()
	{
		std::lock_guard<std::mutex> guard(Lock());
		Answered().clear();
	}

private:
	AlertRules(const AlertRules&) = delete;
	AlertRules& operator=(const AlertRules&) = delete;

	static std::mutex& Lock()
	{
		static std::mutex sLock;
		return sLock;
	}
	static std::vector<std::pair<std::string, std::string>>& Rules()
	{
		static std::vector<std::pair<std::string, std::string>> sRules;
		return sRules;
	}
	static std::vector<std::string>& Answered()
	{
		static std::vector<std::string> sAnswered;
		return sAnswered;
	}

	size_t fIndex;
};

class AlertAnswerer {
public:
	// Presses the button with this index (the first one when the alert has
	// fewer buttons).
	explicit AlertAnswerer(int32 button = 0)
		:
		fButton(button),
		fRunning(true),
		fAnswered(0),
		fThread([this] { _Run(); })
	{
	}

	~AlertAnswerer()
	{
		fRunning = false;
		fThread.join();
	}

	int32 Answered() const { return fAnswered; }

private:
	void _Run()
	{
		while (fRunning) {
			int32 answered = _AnswerOne();
			// One answer per alert: the next round finds it gone.
			if (answered >= 0)
				_WaitUntilGone(answered);
			else
				snooze(5000);
		}
	}

	// Answers the first alert of a fresh list of windows, the topmost: the
	// window answered, or -1. Only the topmost modal window takes a click;
	// one beneath it (an alert shown from another thread meanwhile) lets
	// the click pass and stays, so going on through an older list would
	// wait out every such alert.
	int32 _AnswerOne()
	{
		for (const auto& info : BPrivate::Automation::Windows()) {
			if (!info.modal || info.hidden)
				continue;
			std::string label;
			std::string text;
			if (!_LabelOf(info, &label, &text))
				continue;
			// Noted first: what the answer lets happen may be checked
			// against it at once.
			AlertRules::NoteAnswered(text.c_str());
			if (BPrivate::Automation::Click(info.id, label.c_str()) == B_OK) {
				fAnswered++;
				return info.id;
			}
		}
		return -1;
	}

	void _WaitUntilGone(int32 window)
	{
		for (int i = 0; i < 400 && fRunning; i++) {
			bool present = false;
			for (const auto& info : BPrivate::Automation::Windows()) {
				if (info.id == window && !info.hidden)
					present = true;
			}
			if (!present)
				return;
			snooze(5000);
		}
	}

	bool _LabelOf(const BPrivate::DisplayWindowInfo& info, std::string* label,
		std::string* text) const
	{
		if (!info.target.LockTarget())
			return false;
		BLooper* looper = nullptr;
		info.target.Target(&looper);
		BAlert* alert = dynamic_cast<BAlert*>(looper);
		bool found = false;
		if (alert != nullptr) {
			*text = alert->Text() != nullptr ? alert->Text() : "";
			std::string ruled = AlertRules::LabelFor(alert->Text());
			if (!ruled.empty()) {
				*label = ruled;
				looper->Unlock();
				return true;
			}
			BButton* button = alert->ButtonAt(fButton);
			if (button == nullptr)
				button = alert->ButtonAt(0);
			if (button != nullptr && button->Label() != nullptr) {
				*label = button->Label();
				found = true;
			}
		}
		looper->Unlock();
		return found;
	}

	int32 fButton;
	std::atomic<bool> fRunning;
	std::atomic<int32> fAnswered;
	std::thread fThread;
};

// For a whole test program: the headless display, and every alert
// answered with its first button.
class AlertAnsweringEnvironment : public ::testing::Environment {
public:
	void SetUp() override
	{
		// The answerer is a thread, and a process with threads can no
		// longer enter a mount namespace of its own: tests that mount real
		// volumes find theirs entered already (where that is possible).
		MountedVolume::EnterPrivateNamespace();
		BPrivate::DisplayBackend::Select("headless");
		fAnswerer = new AlertAnswerer(0);
	}

	void TearDown() override
	{
		delete fAnswerer;
		fAnswerer = nullptr;
	}

private:
	AlertAnswerer* fAnswerer = nullptr;
};

#endif // _TEST_ALERT_ANSWERER_H
