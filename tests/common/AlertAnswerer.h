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
#include <string>
#include <thread>

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
			for (const auto& info : BPrivate::Automation::Windows()) {
				if (!info.modal || info.hidden)
					continue;
				std::string label;
				if (!_LabelOf(info, &label))
					continue;
				if (BPrivate::Automation::Click(info.id, label.c_str()) == B_OK)
					fAnswered++;
			}
			snooze(5000);
		}
	}

	bool _LabelOf(const BPrivate::DisplayWindowInfo& info, std::string* label) const
	{
		if (!info.target.LockTarget())
			return false;
		BLooper* looper = nullptr;
		info.target.Target(&looper);
		BAlert* alert = dynamic_cast<BAlert*>(looper);
		bool found = false;
		if (alert != nullptr) {
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
