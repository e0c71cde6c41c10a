#ifndef _ESCAPE_KEY_H
#define _ESCAPE_KEY_H

// Escape gives a window its cancel-like answer: in a window with a
// cancel-like button (the agreement's "Disagree", the help's "Done", the
// progress window's "Cancel") it presses that button; in a dialog whose
// close box answers "cancel" (the replace, patch and results dialogs) it
// does what the close box does.

class BMessage;
class BWindow;

// True when the message is Escape going down and the window's button of
// that name was pressed for it; any other message is left to the window.
bool PressButtonOnEscape(BWindow* window, BMessage* message, const char* buttonName);

// True when the message is Escape going down and the window was asked to
// quit for it, as its close box asks; any other message is left to the
// window.
bool CloseOnEscape(BWindow* window, BMessage* message);

#endif // _ESCAPE_KEY_H
