#ifndef _INSTALL_UTIL_H
#define _INSTALL_UTIL_H

// Helpers the installer's windows share.

class BWindow;

// Waits until the window's thread has ended (the window has quit). A lock
// the calling thread holds on the window is let go first, so that the
// window can run and quit.
void WaitForWindow(BWindow* window);

#endif // _INSTALL_UTIL_H
