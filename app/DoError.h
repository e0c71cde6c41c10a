#ifndef _DO_ERROR_H
#define _DO_ERROR_H

// The installer's alerts: a message, formatted with at most one "%s"
// argument, shown modally with up to three buttons. The result is the index
// of the button pressed. The alert is a real modal warning alert, placed a
// quarter down the screen; its text also goes to standard error, one
// line per alert.

#include <SupportDefs.h>

// The label "Continue": with "Cancel" as the second button, 0 means go on
// and 1 means cancel.
extern const char* errCONTINUE;

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

// For programs that read packages with nobody at a window (the package tool,
// the fuzzer): alerts are then only written on standard error, and each is
// answered with its first button, as if pressed.
void SetAlertsOnStandardErrorOnly(bool only);

#endif // _DO_ERROR_H
