#ifndef _DO_ERROR_H
#define _DO_ERROR_H

// The installer's alerts: a message, formatted with at most one "%s"
// argument, shown modally with up to three buttons. The result is the index
// of the button pressed. Each alert goes to the calling thread's sink
// (AlertSink.h); by default a real modal warning alert, placed a quarter
// down the screen, whose text also goes to standard error, one line per
// alert.

#include <SupportDefs.h>

#include <string>

// The label "Continue": with "Cancel" as the second button, 0 means go on
// and 1 means cancel.
extern const char* errCONTINUE;

// The text an alert shows for `fmt` with `arg` in its "%s"; fmt as it is
// when arg is null. For whoever keeps what the person was told.
std::string alert_text(const char* fmt, const char* arg);

// fmt is shown unformatted when arg is null (a '%' in it stays a '%').
// A null label means no such button.
int32 doError(const char* fmt, const char* arg, const char* button0,
	const char* button1 = NULL, const char* button2 = NULL);
// One "OK" button.
int32 doError(const char* fmt, const char* arg);
// One "OK" button; msg is shown as it is.
int32 doError(const char* msg);
// One "Quit" button. Does not end the program: the caller gives up.
int32 doFatal(const char* fmt, const char* arg);

class AlertSink;

// The sink of every thread without an AlertSinkScope of its own; null gives
// back the default (standard error, then the window). The sink must stay
// alive for as long as it is set.
void SetAlertSink(AlertSink* sink);

// For programs that read packages with nobody at a window (the package tool,
// the fuzzers): each alert is written on standard error only and answered
// with its first button, as if pressed.
AlertSink* StandardErrorAlertSink();

#endif // _DO_ERROR_H
