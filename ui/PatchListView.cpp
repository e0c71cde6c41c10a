#include "PatchListView.h"

PatchListView::PatchListView(BRect frame, RList<StringItem*>* rows)
	:
	SimpleListView(frame, kPatchListName, B_FOLLOW_ALL_SIDES,
		B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE),
	fRows(rows)
{
	SetMultipleSelect(false);
	fList = fRows;
}


PatchListView::~PatchListView()
{
	fList = NULL;
	// The rows from the last to the first, then the list.
	fRows->MakeEmptyAndDelete();
	delete fRows;
}


// The list is for reading only: nothing is selected, moved or invoked.
void
PatchListView::MouseDown(BPoint)
{
}


void
PatchListView::SelectionSet()
{
}


void
PatchListView::Invoke(int32)
{
}


void
PatchListView::DrawItem(BRect, int32 index, BRect* itemFrame)
{
	BRect frame = itemFrame != NULL ? *itemFrame : ItemFrame(index);
	FillRect(frame, B_SOLID_LOW);
	const char* text = RowText(index);
	if (text == NULL)
		return;
	// No selection highlight: rows are always drawn plain.
	DrawString(text, BPoint(frame.left + 6, frame.bottom - fBaselineOffset + 1));
}


const char*
PatchListView::RowText(int32 index) const
{
	StringItem* row = RowAt(index);
	return row != NULL ? row->fText : NULL;
}
