#ifndef _ESCAPE_KEY_H
#define _ESCAPE_KEY_H

// Escape in a window that has a cancel-like button (the agreement's
// "Disagree", the help's "Done") presses that button.

class BMessage;
class BWindow;

// True when the message is Escape going down and the window's button of
// that name was pressed for it; any other message is left to the window.
bool PressButtonOnEscape(BWindow* window, BMessage* message, const char* buttonName);

#endif // _ESCAPE_KEY_H
