#ifndef _SIMPLE_LIST_VIEW_H
#define _SIMPLE_LIST_VIEW_H

// The installer's list widget: fixed-height rows inside a scroll view, with
// single or multiple selection, shift ranges, command toggles, drag to
// reorder, arrow keys, auto-scroll while dragging and a double-click
// invoke. A subclass owns the rows (fList), draws one row, and hears about
// selection changes and invoked rows; it may declare rows disabled.

#include "ListItem.h"

#include <List.h>
#include <View.h>

class BScrollView;

class SimpleListView : public BView {
public:
	SimpleListView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
	~SimpleListView() override;

	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;
	void MouseDown(BPoint where) override;
	void WindowActivated(bool active) override;
	void KeyDown(const char* bytes, int32 numBytes) override;
	void FrameResized(float width, float height) override;
	void TargetedByScrollView(BScrollView* scrollView) override;
	void ScrollTo(BPoint where) override;
	using BView::ScrollTo;
	void MakeFocus(bool focused = true) override;

	// The user changed the selection.
	virtual void SelectionSet() = 0;
	virtual void SelectItem(int32 index);
	virtual void SelectItem(ListItem* item);
	virtual void SelectAllItems();
	virtual void SelectNoItems();
	// A double click or Enter on one selected row.
	virtual void Invoke(int32 index) = 0;
	virtual void InvalidateItem(int32 index);
	// itemFrame may be null: the row's frame is then ItemFrame(index).
	virtual void DrawItem(BRect updateRect, int32 index, BRect* itemFrame) = 0;
	virtual void HighlightItem(bool on, int32 index, BRect* itemFrame);
	virtual bool IsItemDisabled(int32 index);

	void SetItemHeight(float height) { fItemHeight = height; }
	void SetBaselineOffset(float offset) { fBaselineOffset = offset; }
	void SetMultipleSelect(bool multiple) { fMultipleSelect = multiple; }
	void SetDragReorder(bool reorder) { fDragReorder = reorder; }

	BRect ItemFrame(int32 index);
	// The rows as shown (null past the end).
	int32 CountItems() const;
	ListItem* ItemAt(int32 index) const;
	int32 IndexOf(ListItem* item);
	// After the subclass changed the rows.
	void Update();
	void FixupScrollBar();

	// Row drawing without touching the selection range.
	void Select(int32 index);
	void DeSelect(int32 index);
	void ToggleSelect(int32 index);
	// Moves the row at from to just below the row now at to (-1: the top).
	void ReorderItem(int32 from, int32 to);

protected:
	BList* fList;
	int32 fFirstSelected;
	int32 fLastSelected;
	float fItemHeight;
	float fBaselineOffset;
	bool fMultipleSelect;
	bool fDragReorder;
	bool fFocusBorder;
	BScrollView* fScrollView;
	int32 fAnchor;
	int32 fCurrent;

private:
	enum TrackMode {
		kTrackRange,
		kTrackPaint,
		kTrackReorder
	};

	int32 _CountRows() const;
	ListItem* _Row(int32 index) const;
	int32 _RowAt(float y) const;
	bool _IsSelected(int32 index) const;
	void _ResetIndices();
	void _RecomputeRange();

	bool _TrackDoubleClick(int32 index);
	void _ExtendRange(int32 index);
	void _Track(TrackMode mode, bool paintState, int32 dragStart);
	void _TrackRange(int32 row);
	void _TrackPaint(int32 row, bool paintState);
	void _TrackReorder(int32 row, int32 dragStart, bool* lineShown);
	void _FinishTracking(TrackMode mode, bool paintState, int32 dragStart,
		bool lineShown);
	BRect _DropLine(int32 row) const;
	bool _DropLineVisible(int32 row) const;
	void _InvertDropLine(int32 row);

	void _ArrowDown(bool extend);
	void _ArrowUp(bool extend);
	void _MoveSingle(int32 row);
	uint32 _CurrentModifiers() const;
};

#endif // _SIMPLE_LIST_VIEW_H
