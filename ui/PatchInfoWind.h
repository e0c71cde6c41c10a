#ifndef _PATCH_INFO_WIND_H
#define _PATCH_INFO_WIND_H

// Asks the user to confirm the installed files that the package's patches
// will change, and whether to delete the originals afterwards. The caller
// blocks in Go() until the window has gone, then reads its two answers:
// `*continueInstall` is true only when "Continue" closed the window (Escape
// answers as the close box and "Cancel" do);
// `*deleteOriginals` starts true and follows the check box.

#include "RList.h"

#include <Window.h>

class ArchivePatchItem;

class PatchInfoWind : public BWindow {
public:
	PatchInfoWind(RList<ArchivePatchItem*>* patches, bool* continueInstall,
		bool* deleteOriginals);

	void MessageReceived(BMessage* message) override;
	bool QuitRequested() override;
	void DispatchMessage(BMessage* message, BHandler* handler) override;

	// Shows the window and waits until its thread has ended: the window is
	// gone when this returns. The status of the wait.
	status_t Go();

private:
	RList<ArchivePatchItem*>* fPatches;
	bool* fContinue;
	bool* fDeleteOriginals;
};

#endif // _PATCH_INFO_WIND_H
