#include "FindListView.h"

#include "FindChoiceWind.h"

#include <Entry.h>

FindListView::FindListView(BRect frame, RList<StringItem*>* rows)
	:
	SimpleListView(frame, "", B_FOLLOW_ALL_SIDES,
		B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE),
	fRows(rows)
{
	SetMultipleSelect(false);
	SetDragReorder(false);
	fList = fRows;
}


FindListView::~FindListView()
{
	fList = NULL;
	fRows->MakeEmptyAndDelete();
	delete fRows;
}


const char*
FindListView::RowText(int32 index) const
{
	StringItem* row = fRows->ItemAt(index);
	return row != NULL ? row->fText : NULL;
}


bool
FindListView::IsSelected(int32 index) const
{
	StringItem* row = fRows->ItemAt(index);
	return row != NULL && row->fSelected;
}


void
FindListView::SelectionSet()
{
	FindChoiceWind* window = dynamic_cast<FindChoiceWind*>(Window());
	const char* path = RowText(fFirstSelected);
	if (window == NULL || window->fChosen == NULL || path == NULL)
		return;
	BEntry entry(path, false);
	entry.GetRef(window->fChosen);
}


void
FindListView::Invoke(int32)
{
}


void
FindListView::DrawItem(BRect, int32 index, BRect* itemFrame)
{
	StringItem* row = fRows->ItemAt(index);
	if (row == NULL)
		return;
	BRect frame = itemFrame != NULL ? *itemFrame : ItemFrame(index);
	// Clearing a row is DeSelect's job; the row is drawn over what is there.
	DrawString(row->fText,
		BPoint(10, frame.bottom - fBaselineOffset + 1));
	if (row->fSelected)
		InvertRect(frame);
}
