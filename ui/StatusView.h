#ifndef _STATUS_VIEW_H
#define _STATUS_VIEW_H

// The contents of the progress window: a status bar that fills with the
// bytes written, the item being installed with a running count, and a
// Cancel button. It is driven only by messages from the install worker and
// the item extraction:
//
//   'Extr'  "bytes" (int32 or int64), "item count" (int32), "cancel flag"
//           (pointer, may be missing): a run starts
//   'GeTs'  "text", "item count", "bytes", "cancel flag": a run starts with
//           a label
//   'CFln'  "filename": the item now being installed
//   'Uprg'  "bytes": progress, answered with B_CANCELED / "canceled" (bool)
//   'Done'  the run is over
//   'Canc'  the Cancel button
//   'Frnt'  the progress window, when shown, comes to the front (a person
//           tried to close the install window during a run)
//
// Cancelling is cooperative: the button sets a flag, which the worker
// learns in the reply to its next 'Uprg', and raises the run's cancel flag,
// which ends at once what no report interrupts (a running install script).
// The bar says "Canceling..." from the press on.

#include <View.h>

namespace BPrivate {
class CancelFlag;
}

class BButton;
class BStatusBar;

enum {
	kStatusExtract = 'Extr',
	kStatusStart = 'GeTs',
	kStatusFileName = 'CFln',
	kStatusProgress = 'Uprg',
	kStatusDone = 'Done',
	kStatusCancel = 'Canc',
	kStatusToFront = 'Frnt'
};

class StatusView : public BView {
public:
	StatusView(BRect frame, const char* name);

	void MessageReceived(BMessage* message) override;
	void AttachedToWindow() override;

	// How long "Finished" stays shown before the window hides (half a
	// second by default): for a person reading it, so a run that nobody
	// watches sets 0. For every status view of the program.
	static void SetFinishedPause(bigtime_t pause);

	// For the curious (tests): the state only the window thread changes.
	bool IsCanceled() const { return fCanceled; }
	int32 ItemCount() const { return fItemCount; }
	int32 ItemsDone() const { return fItemsDone; }

private:
	void _Start(BMessage* message);
	void _FileName(BMessage* message);
	void _Progress(BMessage* message);
	void _Done();
	void _Cancel();
	void _ToFront();
	BButton* _CancelButton() const;

	void _ShowCanceling();

	BStatusBar* fStatusBar;
	bool fCanceled;
	// The running run's, until its 'Done'.
	BPrivate::CancelFlag* fCancelFlag;
	int32 fItemCount;
	int32 fItemsDone;
	char fTrailingText[40];

	static bigtime_t sFinishedPause;
};

#endif // _STATUS_VIEW_H
