#ifndef _FIND_LIST_VIEW_H
#define _FIND_LIST_VIEW_H

// The matches of the multiple-results chooser: one row per full path,
// single selection. Selecting a row makes its entry the chooser's answer;
// double clicks and Enter do nothing (only "Continue" accepts).

#include "RList.h"
#include "SimpleListView.h"
#include "StringItem.h"

class FindListView : public SimpleListView {
public:
	// Takes rows over.
	FindListView(BRect frame, RList<StringItem*>* rows);
	~FindListView() override;

	void SelectionSet() override;
	void Invoke(int32 index) override;
	void DrawItem(BRect updateRect, int32 index, BRect* itemFrame) override;

	int32 CountRows() const { return fRows->CountItems(); }
	const char* RowText(int32 index) const;
	bool IsSelected(int32 index) const;

private:
	RList<StringItem*>* fRows;
};

#endif // _FIND_LIST_VIEW_H
