#ifndef _FIND_CHOICE_WIND_H
#define _FIND_CHOICE_WIND_H

// The question asked when a query destination finds several matches:
// "Multiple Items Found" lists the full path of every match, the first one
// selected, and waits for "Continue" or "Cancel". It runs in its own window
// thread while the install worker waits in Go(); the answer is written into
// the caller's variables before the window's thread ends.

#include <EntryRef.h>
#include <Window.h>

class BButton;

const char* const kFindChoiceTitle = "Multiple Items Found";
class BEntryList;
class FindItem;

class FindChoiceWind : public BWindow {
public:
	// Not shown yet: Go() shows it. results, continueInstall, chosen and
	// item stay the caller's.
	FindChoiceWind(BEntryList* results, bool* continueInstall,
		entry_ref* chosen, FindItem* item);

	// Shows the window and waits until its thread has ended (the window is
	// gone then); the status of that wait.
	status_t Go();

	// Only "Continue" answers yes; "Cancel", the close box and Escape
	// answer no.
	bool QuitRequested() override;
	void DispatchMessage(BMessage* message, BHandler* handler) override;

	BEntryList* fResults;
	bool* fContinue;
	entry_ref* fChosen;
	FindItem* fItem;
	// Set by the view when it makes the button.
	BButton* fContinueButton;
};

#endif // _FIND_CHOICE_WIND_H
