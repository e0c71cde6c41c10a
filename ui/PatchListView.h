#ifndef _PATCH_LIST_VIEW_H
#define _PATCH_LIST_VIEW_H

// The read-only list of the patch window: one row per installed file that
// will be patched, its full path. The list ignores the mouse and never
// shows a selection.

#include "RList.h"
#include "SimpleListView.h"
#include "StringItem.h"

const char* const kPatchListName = "patchlisting";

class PatchListView : public SimpleListView {
public:
	// Shows and owns `rows`.
	PatchListView(BRect frame, RList<StringItem*>* rows);
	~PatchListView() override;

	void MouseDown(BPoint where) override;
	void SelectionSet() override;
	void Invoke(int32 index) override;
	void DrawItem(BRect updateRect, int32 index, BRect* itemFrame) override;

	int32 CountRows() const { return fRows->CountItems(); }
	StringItem* RowAt(int32 index) const { return fRows->ItemAt(index); }
	const char* RowText(int32 index) const;

private:
	RList<StringItem*>* fRows;
};

#endif // _PATCH_LIST_VIEW_H
