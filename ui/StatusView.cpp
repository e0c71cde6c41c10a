#include "StatusView.h"

#include <Application.h>
#include <Button.h>
#include <CancelFlag.h>
#include <Message.h>
#include <OS.h>
#include <StatusBar.h>
#include <Window.h>

#include <cstdio>

namespace {

const rgb_color kBackground = {230, 230, 230, 0};

// How long "Finished" stays readable at the end of a run, by default.
const bigtime_t kFinishedPause = 500000;

// The "bytes" of a message: 64-bit totals and progress are accepted as
// well as 32-bit ones (a missing field reads as 0).
float
BytesOf(const BMessage* message)
{
	int64 bytes64;
	if (message->FindInt64("bytes", &bytes64) == B_OK)
		return (float)bytes64;
	int32 bytes32;
	if (message->FindInt32("bytes", &bytes32) == B_OK)
		return (float)bytes32;
	return 0;
}

} // namespace

bigtime_t StatusView::sFinishedPause = kFinishedPause;

void
StatusView::SetFinishedPause(bigtime_t pause)
{
	sFinishedPause = pause;
}


StatusView::StatusView(BRect frame, const char* name)
	:
	BView(frame, name, B_FOLLOW_NONE, B_WILL_DRAW),
	fStatusBar(NULL),
	fCanceled(false),
	fCancelFlag(NULL),
	fItemCount(0),
	fItemsDone(0)
{
	fTrailingText[0] = '\0';
	float width = frame.right - frame.left;
	fStatusBar = new BStatusBar(BRect(10, 12, width - 10, 26), "statusbar",
		"Progress!", "trailing");
	fStatusBar->SetBarHeight(14);
	AddChild(fStatusBar);

	BRect bounds = Bounds();
	BRect buttonFrame(bounds.right - 10 - 80, bounds.bottom - 10 - 24,
		bounds.right - 10, bounds.bottom - 10);
	AddChild(new BButton(buttonFrame, "cancel", "Cancel",
		new BMessage(kStatusCancel), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
		B_WILL_DRAW | B_NAVIGABLE));

	// Until a run starts, every progress message is told to stop.
	fCanceled = true;
}


void
StatusView::AttachedToWindow()
{
	BView::AttachedToWindow();
	SetViewColor(kBackground);
	if (BButton* cancel = _CancelButton())
		cancel->SetTarget(this);
}


void
StatusView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kStatusExtract:
			message->what = kStatusStart;
			message->AddString("text", "Installing: ");
			message->AddBool("cancelable", true);
			MessageReceived(message);
			break;
		case kStatusStart:
			// A run (or its wait for the volume) can be cancelled anew.
			if (message->GetBool("cancelable", false)) {
				if (BButton* cancel = _CancelButton())
					cancel->SetEnabled(true);
				fCanceled = false;
				fCancelFlag = NULL;
				message->FindPointer("cancel flag", (void**)&fCancelFlag);
			}
			_Start(message);
			break;
		case kStatusFileName:
			_FileName(message);
			break;
		case kStatusProgress:
			_Progress(message);
			break;
		case kStatusDone:
			_Done();
			break;
		case kStatusCancel:
			_Cancel();
			break;
		case kStatusToFront:
			_ToFront();
			break;
		default:
			// Nothing else is meant for this view.
			break;
	}
}


void
StatusView::_Start(BMessage* message)
{
	fItemCount = message->FindInt32("item count");
	fItemsDone = 0;
	if (fItemCount != 0)
		snprintf(fTrailingText, sizeof(fTrailingText), " of %d", (int)fItemCount);
	else
		fTrailingText[0] = '\0';

	if (BWindow* window = Window()) {
		window->Show();
		window->Activate(true);
	}
	fStatusBar->Reset(message->FindString("text"), fTrailingText);
	fStatusBar->Invalidate();
	fStatusBar->SetMaxValue(BytesOf(message));
}


void
StatusView::_FileName(BMessage* message)
{
	fItemsDone++;
	snprintf(fTrailingText, sizeof(fTrailingText), "%d", (int)fItemsDone);
	const char* name = message->FindString("filename");
	fStatusBar->Update(0, name != NULL ? name : "", fTrailingText);
}


void
StatusView::_Progress(BMessage* message)
{
	fStatusBar->Update(BytesOf(message));

	// A report that was posted is not waited on: answering it would only
	// wake the application to drop the answer.
	if (message->IsSourceWaiting() || message->ReturnAddress() != be_app_messenger) {
		BMessage reply(B_CANCELED);
		reply.AddBool("canceled", fCanceled);
		message->SendReply(&reply, (BHandler*)NULL, B_INFINITE_TIMEOUT);
	}

	if (fCanceled)
		_ShowCanceling();
}


void
StatusView::_ShowCanceling()
{
	fStatusBar->Reset("Canceling...", NULL);
	fStatusBar->Invalidate();
}


void
StatusView::_Done()
{
	fItemCount = 0;
	fItemsDone = 0;
	fStatusBar->Update(0, "Finished", "");
	// The window thread pauses so that "Finished" can be read; it has to
	// be drawn first.
	if (sFinishedPause > 0) {
		if (BWindow* window = Window())
			window->UpdateIfNeeded();
		snooze(sFinishedPause);
	}
	if (BButton* cancel = _CancelButton())
		cancel->SetEnabled(false);
	if (BWindow* window = Window())
		window->Hide();
	fStatusBar->Reset("Idle", "");
	fCanceled = false;
	fCancelFlag = NULL;
}


void
StatusView::_ToFront()
{
	BWindow* window = Window();
	if (window != NULL && !window->IsHidden())
		window->Activate(true);
}


void
StatusView::_Cancel()
{
	fCanceled = true;
	if (BButton* cancel = _CancelButton())
		cancel->SetEnabled(false);
	if (fCancelFlag != NULL)
		fCancelFlag->Raise();
	_ShowCanceling();
}


BButton*
StatusView::_CancelButton() const
{
	return dynamic_cast<BButton*>(FindView("cancel"));
}
