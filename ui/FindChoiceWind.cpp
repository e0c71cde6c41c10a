#include "FindChoiceWind.h"

#include "EscapeKey.h"
#include "FindChoiceView.h"
#include "InstallUtil.h"
#include "PositionWindow.h"

#include <Message.h>
#include <OS.h>

FindChoiceWind::FindChoiceWind(BEntryList* results, bool* continueInstall,
	entry_ref* chosen, FindItem* item)
	:
	BWindow(BRect(0, 0, 420, 220), kFindChoiceTitle, B_TITLED_WINDOW, 0,
		B_CURRENT_WORKSPACE),
	fResults(results),
	fContinue(continueInstall),
	fChosen(chosen),
	fItem(item),
	fContinueButton(NULL)
{
	Lock();
	PositionWindow(this, 0.5, 0.33333334f);
	SetSizeLimits(250, 8192, 160, 8192);
	AddChild(new FindChoiceView(Bounds()));
	Unlock();
}


status_t
FindChoiceWind::Go()
{
	return ShowAndWaitForWindow(this);
}


bool
FindChoiceWind::QuitRequested()
{
	void* source = NULL;
	BMessage* message = CurrentMessage();
	bool accepted = message != NULL && fContinueButton != NULL
		&& message->FindPointer("source", &source) == B_OK
		&& source == fContinueButton;
	if (fContinue != NULL)
		*fContinue = accepted;
	return BWindow::QuitRequested();
}


void
FindChoiceWind::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (CloseOnEscape(this, message))
		return;
	BWindow::DispatchMessage(message, handler);
}
