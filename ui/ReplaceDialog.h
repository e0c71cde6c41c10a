#ifndef _REPLACE_DIALOG_H
#define _REPLACE_DIALOG_H

// The question asked when an item to be installed finds an entry of its
// name at its destination: replace it, rename it, or skip the item, with
// the choice optionally kept for the rest of the run. The answer is written
// through the caller's pointers while the window runs; Go() blocks the
// calling thread until the window has quit. Closing the window any way but
// "Continue Install" cancels, as "Cancel Install" does; so does Escape.

#include <Window.h>

class ReplaceDialog : public BWindow {
public:
	// `choice` is read once as the option selected at first, and written
	// with 2 (replace), 1 (rename), 0 (skip) or B_CANCELED; `dontAsk` is
	// written when the check box is toggled. `text` must outlive the
	// window. The window is not shown yet.
	ReplaceDialog(int32* choice, bool* dontAsk, char* text, uint8 kind);

	void MessageReceived(BMessage* message) override;
	bool QuitRequested() override;
	void DispatchMessage(BMessage* message, BHandler* handler) override;

	// Shows the window and waits for its thread to end; 0. The window is
	// gone on return.
	int32 Go();

private:
	int32* fChoice;
	bool* fDontAsk;
	uint8 fKind;
};

#endif // _REPLACE_DIALOG_H
