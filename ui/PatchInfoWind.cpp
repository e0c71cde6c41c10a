#include "PatchInfoWind.h"

#include "EscapeKey.h"
#include "InstallUtil.h"
#include "PatchInfoView.h"
#include "PositionWindow.h"

#include <Control.h>
#include <Message.h>
#include <OS.h>

namespace {

// The control that sent a message, as the control reports itself.
const void*
MessageSource(const BMessage* message)
{
	void* source = NULL;
	if (message == NULL || message->FindPointer("source", &source) != B_OK)
		return NULL;
	return source;
}

} // namespace


PatchInfoWind::PatchInfoWind(RList<ArchivePatchItem*>* patches, bool* continueInstall,
	bool* deleteOriginals)
	:
	BWindow(BRect(0, 0, 360, 270), "Patching Status", B_TITLED_WINDOW, 0,
		B_CURRENT_WORKSPACE),
	fPatches(patches),
	fContinue(continueInstall),
	fDeleteOriginals(deleteOriginals)
{
	Lock();
	*fDeleteOriginals = true;
	PositionWindow(this, 0.5f, 1.0f / 3.0f);
	AddChild(new PatchInfoView(Bounds(), fPatches));
	Unlock();
}


void
PatchInfoWind::MessageReceived(BMessage* message)
{
	if (message->what != kDeleteOriginalsMessage)
		return;
	const BControl* box = static_cast<const BControl*>(MessageSource(message));
	if (box != NULL)
		*fDeleteOriginals = box->Value() != 0;
}


bool
PatchInfoWind::QuitRequested()
{
	// The close box and "Cancel" both leave the answer false.
	BControl* continueButton = dynamic_cast<BControl*>(FindView(kPatchContinueName));
	const void* source = MessageSource(CurrentMessage());
	*fContinue = source != NULL && source == static_cast<const void*>(continueButton);
	return BWindow::QuitRequested();
}


void
PatchInfoWind::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (CloseOnEscape(this, message))
		return;
	BWindow::DispatchMessage(message, handler);
}


status_t
PatchInfoWind::Go()
{
	return ShowAndWaitForWindow(this);
}
