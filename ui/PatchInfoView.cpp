#include "PatchInfoView.h"

#include "ArchivePatchItem.h"
#include "PatchListView.h"
#include "StringItem.h"

#include <Button.h>
#include <CheckBox.h>
#include <Entry.h>
#include <Path.h>
#include <ScrollView.h>
#include <StringView.h>
#include <Window.h>

namespace {

// The installer's panel colour.
const rgb_color kPanelColor = {230, 230, 230, 0};


// One row per patch whose original still names an entry: its full path.
RList<StringItem*>*
OriginalPaths(RList<ArchivePatchItem*>* patches)
{
	RList<StringItem*>* rows = new RList<StringItem*>(20);
	for (int32 i = 0; patches != NULL && i < patches->CountItems(); i++) {
		ArchivePatchItem* patch = patches->ItemAt(i);
		BEntry entry(&patch->fOriginalRef, false);
		BPath path;
		if (entry.InitCheck() != B_OK || entry.GetPath(&path) != B_OK)
			continue;
		rows->AddItem(new StringItem(path.Path()));
	}
	return rows;
}

} // namespace


PatchInfoView::PatchInfoView(BRect frame, RList<ArchivePatchItem*>* patches)
	:
	BView(frame, kPatchInfoViewName, B_FOLLOW_ALL_SIDES, B_WILL_DRAW)
{
	SetViewColor(kPanelColor);
	BRect inset = Bounds().InsetByCopy(16, 12);

	BRect buttonFrame(inset.right - 75, inset.bottom - 26, inset.right, inset.bottom);
	AddChild(new BButton(buttonFrame, kPatchContinueName, "Continue",
		new BMessage(B_QUIT_REQUESTED), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
		B_WILL_DRAW | B_NAVIGABLE));
	// Both buttons send the same message: only the sender tells them apart.
	AddChild(new BButton(buttonFrame.OffsetByCopy(-110, 0), "cancelbutton", "Cancel",
		new BMessage(B_QUIT_REQUESTED), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
		B_WILL_DRAW | B_NAVIGABLE));

	float boxBottom = buttonFrame.top - 12;
	BCheckBox* deleteOriginals = new BCheckBox(BRect(inset.left, boxBottom - 14,
		inset.left + 200, boxBottom), kDeleteOriginalsName, "Delete Original Files",
		new BMessage(kDeleteOriginalsMessage), B_FOLLOW_LEFT | B_FOLLOW_TOP,
		B_WILL_DRAW | B_NAVIGABLE);
	deleteOriginals->SetValue(B_CONTROL_ON);
	AddChild(deleteOriginals);

	AddChild(new BStringView(BRect(inset.left, inset.top, inset.right, inset.top + 16),
		"label", "Patches will be applied to the following:", B_FOLLOW_LEFT | B_FOLLOW_TOP,
		B_WILL_DRAW));

	PatchListView* list = new PatchListView(BRect(inset.left, inset.top + 28,
		inset.right - 14, inset.bottom - 60), OriginalPaths(patches));
	AddChild(new BScrollView("scroller", list, B_FOLLOW_ALL_SIDES, 0, false, true,
		B_FANCY_BORDER));
}


void
PatchInfoView::AllAttached()
{
	Window()->SetDefaultButton(dynamic_cast<BButton*>(FindView(kPatchContinueName)));
	BView::AllAttached();
	// The check box's changes go to the window, which keeps the answer.
	if (BCheckBox* box = dynamic_cast<BCheckBox*>(FindView(kDeleteOriginalsName)))
		box->SetTarget(Window());
}
