#include <XErrorHandlers.h>

#include <X11/Xlib.h>

#include <cstdio>
#include <unistd.h>

namespace BPrivate {

namespace {

bool sTaken = false;
XErrorHandler sPreviousErrorHandler = nullptr;
XIOErrorHandler sPreviousIOErrorHandler = nullptr;

int
log_x_error(Display* display, XErrorEvent* event)
{
	char text[160] = "";
	XGetErrorText(display, event->error_code, text, sizeof(text));
	char code[16];
	snprintf(code, sizeof(code), "%d", event->request_code);
	char request[80] = "";
	XGetErrorDatabaseText(display, "XRequest", code, code, request, sizeof(request));
	fprintf(stderr, "display: X error ignored: %s on request %s (resource 0x%lx)\n",
		text, request, event->resourceid);
	return 0;
}

int
end_on_lost_display(Display*)
{
	// Xlib would end the program when this returns: it ends here, with
	// nothing run at exit. Only async-signal-safe calls: another thread
	// may hold the stdio locks.
	static const char kText[] = "display: the connection to the display was lost\n";
	ssize_t written = write(STDERR_FILENO, kText, sizeof(kText) - 1);
	(void)written;
	_exit(1);
}

} // namespace


void
take_x_error_handlers()
{
	if (sTaken)
		return;
	sPreviousErrorHandler = XSetErrorHandler(log_x_error);
	sPreviousIOErrorHandler = XSetIOErrorHandler(end_on_lost_display);
	sTaken = true;
}


void
release_x_error_handlers()
{
	if (!sTaken)
		return;
	XSetErrorHandler(sPreviousErrorHandler);
	XSetIOErrorHandler(sPreviousIOErrorHandler);
	sTaken = false;
}

} // namespace BPrivate
