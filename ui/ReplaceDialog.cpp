#include "ReplaceDialog.h"

#include "EscapeKey.h"
#include "InstallUtil.h"
#include "PositionWindow.h"
#include "ReplaceView.h"

#include <Control.h>
#include <Errors.h>
#include <Message.h>
#include <OS.h>

ReplaceDialog::ReplaceDialog(int32* choice, bool* dontAsk, char* text, uint8 kind)
	:
	BWindow(BRect(0, 0, 300, 230), "", B_MODAL_WINDOW, B_NOT_RESIZABLE,
		B_CURRENT_WORKSPACE),
	fChoice(choice),
	fDontAsk(dontAsk),
	fKind(kind)
{
	Lock();
	PositionWindow(this, 0.5, 0.25);
	AddChild(new ReplaceView(Bounds(), (int16)*fChoice, text, fKind));
	Unlock();
}


void
ReplaceDialog::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kReplaceChoiceMessage:
		{
			int32 choice;
			if (message->FindInt32("choice", &choice) == B_OK)
				*fChoice = choice;
			break;
		}
		case kDontAskMessage:
		{
			void* source = NULL;
			if (message->FindPointer("source", &source) == B_OK && source != NULL)
				*fDontAsk = static_cast<BControl*>(source)->Value() == B_CONTROL_ON;
			break;
		}
		default:
			BWindow::MessageReceived(message);
			break;
	}
}


bool
ReplaceDialog::QuitRequested()
{
	// Only "Continue Install" goes on with the choice: "Cancel Install",
	// the close box and the program ending cancel.
	BMessage* message = CurrentMessage();
	void* source = NULL;
	bool continued = message != NULL && message->FindPointer("source", &source) == B_OK
		&& source != NULL && source == FindView(kContinueInstallName);
	if (!continued)
		*fChoice = B_CANCELED;
	return BWindow::QuitRequested();
}


void
ReplaceDialog::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (CloseOnEscape(this, message))
		return;
	BWindow::DispatchMessage(message, handler);
}


int32
ReplaceDialog::Go()
{
	ShowAndWaitForWindow(this);
	return 0;
}
