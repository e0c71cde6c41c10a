#ifndef _TEST_RECORDING_ALERT_SINK_H
#define _TEST_RECORDING_ALERT_SINK_H

// An alert sink that keeps what it is given: each alert's text, its buttons
// and the thread that raised it; every alert is answered with one chosen
// button index. Nothing is shown or printed.

#include "AlertSink.h"

#include <mutex>
#include <string>
#include <thread>
#include <vector>

class RecordingAlertSink : public AlertSink {
public:
	struct Shown {
		std::string text;
		std::vector<std::string> buttons;
		std::thread::id thread;
	};

	explicit RecordingAlertSink(int32 answer = 0)
		:
		fAnswer(answer)
	{
	}

	int32 Alert(const char* text, const char* button0, const char* button1,
		const char* button2) override
	{
		Shown shown{text, {}, std::this_thread::get_id()};
		for (const char* label : {button0, button1, button2}) {
			if (label != nullptr)
				shown.buttons.push_back(label);
		}
		std::lock_guard<std::mutex> guard(fLock);
		fShown.push_back(shown);
		return fAnswer;
	}

	std::vector<Shown> All() const
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fShown;
	}

	std::vector<std::string> Texts() const
	{
		std::vector<std::string> texts;
		for (const Shown& shown : All())
			texts.push_back(shown.text);
		return texts;
	}

	void Clear()
	{
		std::lock_guard<std::mutex> guard(fLock);
		fShown.clear();
	}

private:
	const int32 fAnswer;
	mutable std::mutex fLock;
	std::vector<Shown> fShown;
};

#endif // _TEST_RECORDING_ALERT_SINK_H
