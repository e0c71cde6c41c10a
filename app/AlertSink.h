#ifndef _ALERT_SINK_H
#define _ALERT_SINK_H

// Where the installer's alerts go. doError formats the text and hands it,
// with the button labels, to the sink that serves the calling thread: the
// thread's innermost AlertSinkScope, else the process-wide sink
// (SetAlertSink in DoError.h), else the default one, which writes the text
// on standard error and shows the modal alert.

#include <SupportDefs.h>

class AlertSink {
public:
	virtual ~AlertSink();

	// text is formatted already. A null label means no such button; button0
	// is always given. Returns the index of the button chosen (0, 1 or 2).
	// May be called from any thread, and from several at once.
	virtual int32 Alert(const char* text, const char* button0, const char* button1,
		const char* button2) = 0;
};

#endif // _ALERT_SINK_H
