#include "DoError.h"

#include "AlertSink.h"
#include "AlertSinkScope.h"
#include "PositionWindow.h"
#include "RunEvents.h"

#include <Alert.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <string>

const char* errCONTINUE = "Continue";

namespace {

// Alerts may come from any thread; each one's line stays whole.
std::mutex sAlertOutputLock;

std::atomic<AlertSink*> sProcessSink{NULL};

void
WriteAlertLine(const char* text)
{
	std::lock_guard<std::mutex> guard(sAlertOutputLock);
	fprintf(stderr, "%s\n", text);
	fflush(stderr);
}

// The text goes to standard error first, whole, so that a run that nobody
// watches (its alerts answered by the automation) still tells what it
// asked; then the alert is shown and blocks this thread until answered.
class WindowAlertSink : public AlertSink {
public:
	int32 Alert(const char* text, const char* button0, const char* button1,
		const char* button2) override
	{
		WriteAlertLine(text);
		BAlert* alert = new BAlert(B_EMPTY_STRING, text, button0, button1, button2,
			B_WIDTH_FROM_WIDEST, B_WARNING_ALERT);
		PositionWindow(alert, 0.5, 0.25);
		int32 answer = alert->Go();
		TellAnswer(text, { button0, button1, button2 }, answer);
		return answer;
	}

private:
	static void TellAnswer(const char* text, std::initializer_list<const char*> buttons,
		int32 answer)
	{
		if (!RunEvents::Watched())
			return;
		RunQuestion question;
		question.fKind = "alert";
		question.fText = text;
		for (const char* label : buttons) {
			if (label != NULL)
				question.fChoices.push_back(label);
		}
		if (answer >= 0 && answer < (int32)question.fChoices.size())
			question.fAnswer = question.fChoices[answer];
		RunEvents::Asked(question);
	}
};

class StandardErrorSink : public AlertSink {
public:
	int32 Alert(const char* text, const char*, const char*, const char*) override
	{
		WriteAlertLine(text);
		return 0;
	}
};

// The standard sinks are never destroyed: a thread may still raise an alert
// while the program's exit handlers run.
AlertSink*
DefaultSink()
{
	static AlertSink* const sSink = new WindowAlertSink;
	return sSink;
}

AlertSink*
SinkOfThisThread()
{
	AlertSink* sink = AlertSinkScope::ThreadSink();
	if (sink == NULL)
		sink = sProcessSink.load();
	return sink != NULL ? sink : DefaultSink();
}

} // namespace

std::string
alert_text(const char* fmt, const char* arg)
{
	if (fmt == NULL)
		return std::string();
	if (arg == NULL)
		return fmt;
	// The message carries at most one "%s", so the two strings together
	// (plus room for a terminator) always hold the result; the size is
	// still asked of the formatter, so that a stray conversion cannot
	// overrun the buffer.
	size_t size = strlen(fmt) + strlen(arg) + 2;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
	int needed = snprintf(NULL, 0, fmt, arg);
	if (needed >= 0 && (size_t)needed + 1 > size)
		size = (size_t)needed + 1;
	char* buffer = static_cast<char*>(malloc(size));
	if (buffer == NULL)
		return fmt;
	snprintf(buffer, size, fmt, arg);
#pragma GCC diagnostic pop
	std::string text(buffer);
	free(buffer);
	return text;
}

int32
doError(const char* fmt, const char* arg, const char* button0, const char* button1,
	const char* button2)
{
	std::string text = alert_text(fmt, arg);
	return SinkOfThisThread()->Alert(text.c_str(), button0, button1, button2);
}

int32
doError(const char* fmt, const char* arg)
{
	return doError(fmt, arg, "OK", NULL, NULL);
}

int32
doError(const char* msg)
{
	return doError(msg, NULL, "OK", NULL, NULL);
}

int32
doFatal(const char* fmt, const char* arg)
{
	return doError(fmt, arg, "Quit", NULL, NULL);
}

void
SetAlertSink(AlertSink* sink)
{
	sProcessSink.store(sink);
}

AlertSink*
StandardErrorAlertSink()
{
	static AlertSink* const sSink = new StandardErrorSink;
	return sSink;
}
