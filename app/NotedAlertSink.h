#ifndef _NOTED_ALERT_SINK_H
#define _NOTED_ALERT_SINK_H

// An alert sink that shows nothing and keeps the text of the last alert,
// for code that reports a failure later or elsewhere: the package decoder's
// thread (the worker shows the alert when it reaches the failing entry) and
// the package tool's verifier (the text goes into its reason). Used through
// an AlertSinkScope, by the one thread that made the scope.

#include "AlertSink.h"

#include <string>

class NotedAlertSink : public AlertSink {
public:
	int32 Alert(const char* text, const char* button0, const char* button1,
		const char* button2) override;

	// The text noted since the last call, and a fresh start.
	std::string Take();

private:
	std::string fText;
};

#endif // _NOTED_ALERT_SINK_H
