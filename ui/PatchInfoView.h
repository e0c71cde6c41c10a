#ifndef _PATCH_INFO_VIEW_H
#define _PATCH_INFO_VIEW_H

// The contents of the patch window: the sentence, the list of files to be
// patched, the "Delete Original Files" check box and the two buttons.

#include "RList.h"

#include <View.h>

class ArchivePatchItem;

const char* const kPatchInfoViewName = "patchinfo";
const char* const kDeleteOriginalsName = "deleteoriginals";
const char* const kPatchContinueName = "continuebutton";

// What the check box sends to its window.
const uint32 kDeleteOriginalsMessage = 'delO';

class PatchInfoView : public BView {
public:
	// Lists the installed file of every patch whose original can be found.
	PatchInfoView(BRect frame, RList<ArchivePatchItem*>* patches);

	void AllAttached() override;
};

#endif // _PATCH_INFO_VIEW_H
