#ifndef _INSTALL_UTIL_H
#define _INSTALL_UTIL_H

// Helpers the installer's windows share.

#include <SupportDefs.h>

class BWindow;

// Waits until the window's thread has ended (the window has quit). A lock
// the calling thread holds on the window is let go first, so that the
// window can run and quit.
void WaitForWindow(BWindow* window);

// Shows a dialog window (which starts its thread) and waits until that
// thread has ended, for the dialogs that answer through the caller's
// variables. The result is that of waiting for the thread.
status_t ShowAndWaitForWindow(BWindow* window);

#endif // _INSTALL_UTIL_H
