#include "FindChoiceWind.h"

#include "FindChoiceView.h"
#include "PositionWindow.h"

#include <Message.h>
#include <OS.h>

FindChoiceWind::FindChoiceWind(BEntryList* results, bool* continueInstall,
	entry_ref* chosen, FindItem* item)
	:
	BWindow(BRect(0, 0, 420, 220), "Multiple Items Found", B_TITLED_WINDOW, 0,
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
	// Locked until the thread is known: a window answered at once quits and
	// deletes itself, and must not do so before its thread has been read.
	Lock();
	Show();
	thread_id thread = Thread();
	Unlock();
	status_t exitValue;
	return wait_for_thread(thread, &exitValue);
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
