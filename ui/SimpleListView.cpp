#include "SimpleListView.h"

#include <Message.h>
#include <OS.h>
#include <ScrollBar.h>
#include <ScrollView.h>
#include <Window.h>

#include <algorithm>

namespace {

// How often the tracking loops look at the mouse.
const bigtime_t kTrackingPause = 20000;

} // namespace


SimpleListView::SimpleListView(BRect frame, const char* name, uint32 resizingMode,
	uint32 flags)
	:
	BView(frame, name, resizingMode, flags | B_FRAME_EVENTS),
	fList(NULL),
	fFirstSelected(-1),
	fLastSelected(-1),
	fItemHeight(16),
	fBaselineOffset(3),
	fMultipleSelect(true),
	fDragReorder(true),
	fFocusBorder(true),
	fScrollView(NULL),
	fAnchor(-1),
	fCurrent(-1)
{
	SetMultipleSelect(true);
	SetDragReorder(true);
	SetBaselineOffset(3);
	SetItemHeight(16);
}


SimpleListView::~SimpleListView()
{
}


// #pragma mark - rows


int32
SimpleListView::_CountRows() const
{
	return fList != NULL ? fList->CountItems() : 0;
}


ListItem*
SimpleListView::_Row(int32 index) const
{
	return fList != NULL ? static_cast<ListItem*>(fList->ItemAt(index)) : NULL;
}


int32
SimpleListView::_RowAt(float y) const
{
	// Truncation toward zero: a point just above the first row still
	// counts as row 0.
	return static_cast<int32>(y / fItemHeight);
}


bool
SimpleListView::_IsSelected(int32 index) const
{
	ListItem* item = _Row(index);
	return item != NULL && item->fSelected;
}


void
SimpleListView::_ResetIndices()
{
	fFirstSelected = fLastSelected = fAnchor = fCurrent = -1;
}


void
SimpleListView::_RecomputeRange()
{
	fFirstSelected = fLastSelected = -1;
	int32 count = _CountRows();
	for (int32 i = 0; i < count; i++) {
		if (!_IsSelected(i))
			continue;
		if (fFirstSelected < 0)
			fFirstSelected = i;
		fLastSelected = i;
	}
}


BRect
SimpleListView::ItemFrame(int32 index)
{
	float top = index * fItemHeight;
	// A fixed width: rows reach past any view the list sits in.
	return BRect(0, top, 1000, top + fItemHeight - 1);
}


int32
SimpleListView::IndexOf(ListItem* item)
{
	for (int32 i = _CountRows() - 1; i >= 0; i--) {
		if (_Row(i) == item)
			return i;
	}
	return -1;
}


void
SimpleListView::Update()
{
	FixupScrollBar();
	int32 last = _CountRows() - 1;
	if (fFirstSelected > last || fLastSelected > last) {
		_ResetIndices();
		SelectionSet();
	}
	Invalidate();
}


void
SimpleListView::FixupScrollBar()
{
	BScrollBar* bar = ScrollBar(B_VERTICAL);
	if (bar == NULL)
		return;
	BRect bounds = Bounds();
	int32 visible = static_cast<int32>(bounds.bottom - bounds.top);
	int32 content = static_cast<int32>(_CountRows() * fItemHeight) - 1;
	if (content < visible)
		content = visible;
	bar->SetRange(0, content - visible);
	bar->SetProportion(content > 0 ? static_cast<float>(visible) / content : 1.0f);
	bar->SetValue(bounds.top);
	bar->SetSteps(fItemHeight * 0.5f, visible);
}


// #pragma mark - drawing single rows


void
SimpleListView::Select(int32 index)
{
	ListItem* item = _Row(index);
	if (item == NULL || IsItemDisabled(index) || item->fSelected)
		return;
	item->fSelected = true;
	DrawItem(Bounds(), index, NULL);
}


void
SimpleListView::DeSelect(int32 index)
{
	ListItem* item = _Row(index);
	if (item == NULL || IsItemDisabled(index) || !item->fSelected)
		return;
	item->fSelected = false;
	BRect frame = ItemFrame(index);
	FillRect(frame, B_SOLID_LOW);
	DrawItem(Bounds(), index, &frame);
}


void
SimpleListView::ToggleSelect(int32 index)
{
	ListItem* item = _Row(index);
	if (item == NULL)
		return;
	item->fSelected = !item->fSelected;
	BRect frame = ItemFrame(index);
	if (!item->fSelected)
		FillRect(frame, B_SOLID_LOW);
	DrawItem(Bounds(), index, &frame);
}


void
SimpleListView::ReorderItem(int32 from, int32 to)
{
	if (from == to || fList == NULL)
		return;
	void* item = fList->RemoveItem(from);
	if (item == NULL)
		return;
	// The row lands directly below the row that was at `to`.
	fList->AddItem(item, to < from ? to + 1 : to);
	Invalidate();
}


// #pragma mark - selection operations


void
SimpleListView::SelectItem(int32 index)
{
	ListItem* item = _Row(index);
	if (item == NULL)
		return;
	item->fSelected = true;
	if (fFirstSelected == -1) {
		fFirstSelected = fLastSelected = fAnchor = fCurrent = index;
		return;
	}
	if (index < fFirstSelected)
		fFirstSelected = fCurrent = index;
	if (index > fLastSelected)
		fLastSelected = fCurrent = index;
}


void
SimpleListView::SelectItem(ListItem* item)
{
	int32 index = IndexOf(item);
	if (index >= 0)
		SelectItem(index);
}


void
SimpleListView::SelectAllItems()
{
	int32 count = _CountRows();
	for (int32 i = 0; i < count; i++)
		_Row(i)->fSelected = true;
	fFirstSelected = fAnchor = 0;
	fLastSelected = fCurrent = count - 1;
}


void
SimpleListView::SelectNoItems()
{
	if (fFirstSelected >= 0 && fLastSelected >= 0) {
		for (int32 i = fLastSelected; i >= fFirstSelected; i--) {
			if (ListItem* item = _Row(i))
				item->fSelected = false;
		}
	}
	_ResetIndices();
}


void
SimpleListView::InvalidateItem(int32 index)
{
	Invalidate(ItemFrame(index));
}


void
SimpleListView::HighlightItem(bool on, int32, BRect* itemFrame)
{
	if (on && itemFrame != NULL)
		InvertRect(*itemFrame);
}


bool
SimpleListView::IsItemDisabled(int32)
{
	return false;
}


// #pragma mark - view hooks


void
SimpleListView::AttachedToWindow()
{
	BView::AttachedToWindow();
	FixupScrollBar();
	SetViewColor(255, 255, 255, 255);
}


void
SimpleListView::Draw(BRect updateRect)
{
	int32 first = static_cast<int32>(updateRect.top / fItemHeight);
	int32 last = static_cast<int32>(updateRect.bottom / fItemHeight);
	if (first < 0)
		return;
	last = std::min(last, _CountRows() - 1);
	int32 step = static_cast<int32>(fItemHeight);
	BRect frame = ItemFrame(first);
	frame.bottom = frame.top + step - 1;
	for (int32 row = first; row <= last; row++) {
		DrawItem(updateRect, row, &frame);
		frame.OffsetBy(0, step);
	}
}


void
SimpleListView::FrameResized(float width, float height)
{
	BView::FrameResized(width, height);
	FixupScrollBar();
}


void
SimpleListView::TargetedByScrollView(BScrollView* scrollView)
{
	fScrollView = scrollView;
}


void
SimpleListView::ScrollTo(BPoint where)
{
	// Every scroll of the list ends here, so no key or drag can take it
	// outside the bar's range.
	if (BScrollBar* bar = ScrollBar(B_VERTICAL)) {
		float min, max;
		bar->GetRange(&min, &max);
		if (where.y < min)
			where.y = min;
		if (where.y > max)
			where.y = max;
	}
	BView::ScrollTo(where);
}


void
SimpleListView::MakeFocus(bool focused)
{
	BView::MakeFocus(focused);
	if (fFocusBorder && fScrollView != NULL)
		fScrollView->SetBorderHighlighted(focused);
}


void
SimpleListView::WindowActivated(bool active)
{
	BView::WindowActivated(active);
	if (fFocusBorder && fScrollView != NULL && IsFocus())
		fScrollView->SetBorderHighlighted(active);
}


uint32
SimpleListView::_CurrentModifiers() const
{
	int32 modifiers = 0;
	if (Window() != NULL && Window()->CurrentMessage() != NULL)
		Window()->CurrentMessage()->FindInt32("modifiers", &modifiers);
	return static_cast<uint32>(modifiers);
}


// #pragma mark - the mouse


void
SimpleListView::MouseDown(BPoint where)
{
	uint32 modifiers = _CurrentModifiers();
	int32 clicks = 1;
	if (Window() != NULL && Window()->CurrentMessage() != NULL)
		Window()->CurrentMessage()->FindInt32("clicks", &clicks);

	MakeFocus(true);

	int32 index = _RowAt(where.y);
	if (where.y < 0 || index >= _CountRows() || IsItemDisabled(index))
		return;

	if (clicks == 2 && index == fFirstSelected) {
		if (_TrackDoubleClick(index))
			Invoke(index);
		return;
	}

	if ((modifiers & B_SHIFT_KEY) != 0 && fMultipleSelect) {
		_ExtendRange(index);
		fCurrent = index;
		_Track(kTrackRange, true, -1);
	} else if ((modifiers & B_COMMAND_KEY) != 0 && fMultipleSelect) {
		ToggleSelect(index);
		bool paintState = _IsSelected(index);
		fAnchor = fCurrent = index;
		_Track(kTrackPaint, paintState, -1);
	} else {
		if (fFirstSelected >= 0) {
			for (int32 i = fFirstSelected; i <= fLastSelected; i++) {
				if (i != index && _IsSelected(i))
					DeSelect(i);
			}
		}
		fFirstSelected = fLastSelected = fAnchor = fCurrent = index;
		Select(index);
		if (!fDragReorder) {
			SelectionSet();
			return;
		}
		SetPenSize(1);
		_Track(kTrackReorder, true, index);
	}
}


bool
SimpleListView::_TrackDoubleClick(int32 index)
{
	BPoint where;
	uint32 buttons;
	do {
		snooze(kTrackingPause);
		GetMouse(&where, &buttons, true);
	} while (buttons != 0);
	return where.y >= 0 && _RowAt(where.y) == index;
}


void
SimpleListView::_ExtendRange(int32 index)
{
	int32 anchor = fAnchor;
	int32 current = fCurrent;
	if (index < anchor) {
		if (current > anchor) {
			// Crossing to the other side of the anchor.
			for (int32 i = anchor - 1; i >= index; i--)
				Select(i);
			fAnchor = current;
		} else {
			for (int32 i = current - 1; i >= index; i--)
				Select(i);
			for (int32 i = current; i <= index - 1; i++)
				DeSelect(i);
		}
	} else {
		if (current < anchor) {
			for (int32 i = anchor + 1; i <= index; i++)
				Select(i);
			fAnchor = current;
		} else {
			for (int32 i = current + 1; i <= index; i++)
				Select(i);
			for (int32 i = current; i >= index + 1; i--)
				DeSelect(i);
		}
	}
}


void
SimpleListView::_Track(TrackMode mode, bool paintState, int32 dragStart)
{
	float rangeMin = 0, rangeMax = 0, smallStep = 0, largeStep = 0;
	if (BScrollBar* bar = ScrollBar(B_VERTICAL)) {
		bar->GetRange(&rangeMin, &rangeMax);
		bar->GetSteps(&smallStep, &largeStep);
	}
	SetHighColor(0, 0, 0, 255);
	SetLowColor(255, 255, 255, 255);
	bool lineShown = false;

	BPoint where;
	uint32 buttons;
	do {
		snooze(kTrackingPause);
		GetMouse(&where, &buttons, true);
		int32 row = _RowAt(where.y);

		BRect bounds = Bounds();
		bool scrolled = false;
		if (where.y < bounds.top && bounds.top > rangeMin) {
			ScrollBy(0, -smallStep);
			scrolled = true;
		} else if (where.y > bounds.bottom && rangeMax > bounds.top) {
			ScrollBy(0, smallStep);
			scrolled = true;
		}
		if (scrolled && Window() != NULL)
			Window()->UpdateIfNeeded();

		row = std::clamp(row, 0, std::max(_CountRows() - 1, 0));
		switch (mode) {
			case kTrackRange:
				_TrackRange(row);
				break;
			case kTrackPaint:
				_TrackPaint(row, paintState);
				break;
			case kTrackReorder:
				_TrackReorder(where.y < 0 ? -1 : row, dragStart, &lineShown);
				break;
		}
	} while (buttons != 0);

	_FinishTracking(mode, paintState, dragStart, lineShown);
}


void
SimpleListView::_TrackRange(int32 row)
{
	int32 anchor = fAnchor;
	int32 current = fCurrent;
	if (row > current) {
		if (current > anchor) {
			for (int32 i = current + 1; i <= row; i++)
				Select(i);
		} else {
			// Back over the anchor: shrink the range, then grow it below.
			int32 edge = std::min(row, anchor);
			for (int32 i = current; i <= edge - 1; i++)
				DeSelect(i);
			for (int32 i = edge + 1; i <= row; i++)
				Select(i);
		}
	} else if (row < current) {
		if (current < anchor) {
			for (int32 i = current - 1; i >= row; i--)
				Select(i);
		} else {
			int32 edge = std::max(row, anchor);
			for (int32 i = current; i >= edge + 1; i--)
				DeSelect(i);
			for (int32 i = edge - 1; i >= row; i--)
				Select(i);
		}
	}
	fCurrent = row;
}


void
SimpleListView::_TrackPaint(int32 row, bool paintState)
{
	int32 current = fCurrent;
	if (row > current) {
		for (int32 i = current + 1; i <= row; i++)
			paintState ? Select(i) : DeSelect(i);
	} else {
		for (int32 i = current - 1; i >= row; i--)
			paintState ? Select(i) : DeSelect(i);
	}
	fCurrent = row;
}


void
SimpleListView::_TrackReorder(int32 row, int32 dragStart, bool* lineShown)
{
	if (row == fCurrent)
		return;
	SetDrawingMode(B_OP_INVERT);
	if (fCurrent != dragStart && *lineShown && _DropLineVisible(fCurrent)) {
		_InvertDropLine(fCurrent);
		*lineShown = false;
	}
	if (row != dragStart) {
		*lineShown = _DropLineVisible(row);
		if (*lineShown)
			_InvertDropLine(row);
	}
	SetDrawingMode(B_OP_COPY);
	fCurrent = row;
}


void
SimpleListView::_FinishTracking(TrackMode mode, bool paintState, int32 dragStart,
	bool lineShown)
{
	if (mode != kTrackReorder) {
		_RecomputeRange();
		if (fFirstSelected == -1 || !paintState)
			fAnchor = fCurrent = fFirstSelected;
		SelectionSet();
		return;
	}

	if (lineShown && fCurrent != dragStart && _DropLineVisible(fCurrent)) {
		SetDrawingMode(B_OP_INVERT);
		_InvertDropLine(fCurrent);
		SetDrawingMode(B_OP_COPY);
	}
	if (fCurrent != dragStart && fCurrent != dragStart - 1) {
		int32 target = fCurrent;
		ReorderItem(dragStart, target);
		int32 moved = target < dragStart ? target + 1 : target;
		fFirstSelected = fLastSelected = fAnchor = fCurrent = moved;
	} else {
		fCurrent = dragStart;
	}
	SelectionSet();
}


BRect
SimpleListView::_DropLine(int32 row) const
{
	float y = (row + 1) * fItemHeight - 1;
	return BRect(0, y, Bounds().right, y + 1);
}


bool
SimpleListView::_DropLineVisible(int32 row) const
{
	BRect bounds = Bounds();
	float y = (row + 1) * fItemHeight - 1;
	return y - 1 >= bounds.top && y <= bounds.bottom;
}


void
SimpleListView::_InvertDropLine(int32 row)
{
	StrokeRect(_DropLine(row), B_MIXED_COLORS);
}


// #pragma mark - keys


void
SimpleListView::KeyDown(const char* bytes, int32 numBytes)
{
	if (numBytes < 1 || bytes == NULL) {
		BView::KeyDown(bytes, numBytes);
		return;
	}
	bool extend = (_CurrentModifiers() & B_SHIFT_KEY) != 0 && fMultipleSelect;
	switch (bytes[0]) {
		case B_DOWN_ARROW:
			_ArrowDown(extend);
			break;
		case B_UP_ARROW:
			_ArrowUp(extend);
			break;
		case B_ENTER:
			if (fFirstSelected == fLastSelected && fFirstSelected != -1)
				Invoke(fFirstSelected);
			break;
		case B_PAGE_UP:
			ScrollBy(0, -(Bounds().Height() - fItemHeight));
			break;
		case B_PAGE_DOWN:
			ScrollBy(0, Bounds().Height() - fItemHeight);
			break;
		default:
			BView::KeyDown(bytes, numBytes);
			break;
	}
}


void
SimpleListView::_MoveSingle(int32 row)
{
	if (fFirstSelected >= 0) {
		for (int32 i = fFirstSelected; i <= fLastSelected; i++) {
			if (_IsSelected(i))
				DeSelect(i);
		}
	}
	if (fCurrent >= 0)
		DeSelect(fCurrent);
	Select(row);
	fFirstSelected = fLastSelected = fAnchor = fCurrent = row;
}


void
SimpleListView::_ArrowDown(bool extend)
{
	int32 last = _CountRows() - 1;
	if (fCurrent >= last)
		return;
	int32 next = fCurrent + 1;
	while (next < last && IsItemDisabled(next))
		next++;
	if (next == fCurrent || IsItemDisabled(next))
		return;
	if (extend) {
		if (fCurrent < fAnchor)
			DeSelect(fCurrent);
		else
			Select(next);
		fCurrent = next;
		_RecomputeRange();
	} else
		_MoveSingle(next);
	if ((next + 1) * fItemHeight > Bounds().bottom)
		ScrollBy(0, fItemHeight);
	SelectionSet();
}


void
SimpleListView::_ArrowUp(bool extend)
{
	if (fCurrent == 0 || _CountRows() == 0)
		return;
	if (fCurrent < 0) {
		if (IsItemDisabled(0))
			return;
		fFirstSelected = fLastSelected = fAnchor = fCurrent = 0;
		Select(0);
		SelectionSet();
		return;
	}
	int32 next = fCurrent - 1;
	while (next > 0 && IsItemDisabled(next))
		next--;
	if (next == fCurrent || IsItemDisabled(next))
		return;
	if (extend) {
		if (fCurrent > fAnchor)
			DeSelect(fCurrent);
		else
			Select(next);
		fCurrent = next;
		_RecomputeRange();
	} else
		_MoveSingle(next);
	if ((next - 1) * fItemHeight < Bounds().top)
		ScrollBy(0, -fItemHeight);
	SelectionSet();
}


int32
SimpleListView::CountItems() const
{
	return fList != NULL ? fList->CountItems() : 0;
}


ListItem*
SimpleListView::ItemAt(int32 index) const
{
	return fList != NULL ? (ListItem*)fList->ItemAt(index) : NULL;
}
