// The list view's selection by mouse and keys, dragging rows, scrolling and
// its drop line, driven by synthesised input.

#include "ListViewFixture.h"

#include <ScrollBar.h>

TEST_F(ListViewTest, RowGeometryAndPlainPresses)
{
	MakeList(10);
	Read([&] {
		EXPECT_EQ(fList->ItemFrame(2), BRect(0, 32, 1000, 47));
		EXPECT_EQ(fList->IndexOf(fList->fRows.ItemAt(7)), 7);
		StringItem stranger("x");
		EXPECT_EQ(fList->IndexOf(&stranger), -1);
		// The view is white; the list's scroll view is known.
		EXPECT_EQ(fList->ViewColor(), kWhite);
		EXPECT_NE(fList->Scroller(), nullptr);
		return 0;
	});
	// y = 40 lies in row 2.
	Drag(BPoint(20, 40), {});
	EXPECT_EQ(Selected(), Rows({2}));
	EXPECT_EQ(Indices(), Rows({2, 2, 2, 2}));
	EXPECT_EQ(Sets(), 1);
	EXPECT_TRUE(Read([&] { return fList->IsFocus(); }));
	EXPECT_TRUE(Read([&] { return fList->Scroller()->IsBorderHighlighted(); }));

	// A plain press elsewhere moves the selection.
	ClickRow(5);
	EXPECT_EQ(Selected(), Rows({5}));
	EXPECT_EQ(Sets(), 2);
	// The selected row is drawn as selected, the old one cleared.
	auto pixels = Capture(fWindow);
	BPoint row5 = Read([&] { return fList->ConvertToParent(BPoint(50, 5 * 16 + 8)); });
	BPoint scrollerOrigin = Read([&] { return fList->Parent()->Frame().LeftTop(); });
	BPoint window5 = row5 + scrollerOrigin;
	EXPECT_TRUE(same_rgb(pixels->At(window5.x, window5.y), kBlue));
	EXPECT_TRUE(same_rgb(pixels->At(window5.x, window5.y - 3 * 16), kWhite));

	// Below the last row nothing happens.
	MakeList(3);
	Drag(BPoint(20, 60), {});
	EXPECT_EQ(Selected(), Rows({}));
	EXPECT_EQ(Sets(), 0);
}

TEST_F(ListViewTest, DraggingARowMovesItBelowTheRowItIsReleasedOn)
{
	MakeList(6);
	// Over itself, or over the row just above: nothing moves.
	DragRow(3, 3);
	EXPECT_EQ(Order(), std::vector<std::string>({"0", "1", "2", "3", "4", "5"}));
	DragRow(3, 2);
	EXPECT_EQ(Order(), std::vector<std::string>({"0", "1", "2", "3", "4", "5"}));
	EXPECT_EQ(Sets(), 2);

	// Over row 4 below it: it becomes row 4.
	DragRow(1, 4);
	EXPECT_EQ(Order(), std::vector<std::string>({"0", "2", "3", "4", "1", "5"}));
	EXPECT_EQ(Indices(), Rows({4, 4, 4, 4}));
	EXPECT_EQ(Selected(), Rows({4}));
	EXPECT_EQ(Sets(), 3);

	// Over row 1 above it: it goes just below row 1.
	DragRow(5, 1);
	EXPECT_EQ(Order(), std::vector<std::string>({"0", "2", "5", "3", "4", "1"}));
	EXPECT_EQ(Indices(), Rows({2, 2, 2, 2}));

	// Above the first row: to the top.
	Drag(RowPoint(3), {RowPoint(1), BPoint(20, -4)});
	EXPECT_EQ(Order(), std::vector<std::string>({"3", "0", "2", "5", "4", "1"}));
	EXPECT_EQ(Indices(), Rows({0, 0, 0, 0}));

	// Without drag reorder a press only selects.
	MakeList(6, true, false);
	DragRow(1, 4);
	EXPECT_EQ(Order(), std::vector<std::string>({"0", "1", "2", "3", "4", "5"}));
	EXPECT_EQ(Selected(), Rows({1}));
	EXPECT_EQ(Sets(), 1);
}

TEST_F(ListViewTest, TheDropLineIsInvertedWhileDraggingAndRemovedAfter)
{
	MakeList(6);
	BPoint origin = Read([&] {
		return fList->ConvertToParent(BPoint(0, 0)) + fList->Parent()->Frame().LeftTop();
	});
	// The window is locked while it tracks: every point is found before.
	BPoint row0 = Screen(RowPoint(0));
	BPoint row2 = Screen(RowPoint(2));
	auto before = Capture(fWindow);
	// Pixels of a window row, over the list's width, that differ from before.
	auto inverted = [&](const Pixels& now, int y) {
		int count = 0;
		for (int x = 10; x < 150; x++) {
			rgb_color was = before->At(origin.x + x, origin.y + y);
			rgb_color is = now.At(origin.x + x, origin.y + y);
			if (is.red == 255 - was.red && is.green == 255 - was.green
				&& is.blue == 255 - was.blue)
				count++;
			else
				EXPECT_TRUE(same_rgb(is, was)) << x << ", " << y;
		}
		return count;
	};

	DisplayBackend* display = DisplayBackend::Default();
	display->InjectMouseDown(row0, B_PRIMARY_MOUSE_BUTTON, 0);
	display->InjectMouseMoved(row2);
	// Held over row 2: its line covers y 47 and 48, in the mixed pattern.
	bool shown = WaitUntil([&] {
		Pixels now(Automation::CaptureWindow(fWindow->DisplayID()));
		return now.IsValid() && (!same_rgb(now.At(origin.x + 60, origin.y + 47),
			before->At(origin.x + 60, origin.y + 47))
			|| !same_rgb(now.At(origin.x + 61, origin.y + 47),
			before->At(origin.x + 61, origin.y + 47)));
	});
	EXPECT_TRUE(shown);
	{
		Pixels now(Automation::CaptureWindow(fWindow->DisplayID()));
		EXPECT_EQ(inverted(now, 47), 70);
		EXPECT_EQ(inverted(now, 48), 70);
		// The rows beside it are untouched.
		EXPECT_EQ(inverted(now, 46), 0);
		EXPECT_EQ(inverted(now, 49), 0);
	}
	// Back over the dragged row: the line goes again.
	display->InjectMouseMoved(row0);
	display->InjectMouseUp(row0, 0);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	auto after = Capture(fWindow);
	EXPECT_EQ(inverted(*after, 47), 0);
	EXPECT_EQ(inverted(*after, 48), 0);
	EXPECT_EQ(Order()[0], "0");
}

TEST_F(ListViewTest, ShiftExtendsARangeFromTheAnchor)
{
	MakeList(10);
	// With nothing selected: rows 0 to the clicked row.
	ClickRow(3, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({0, 1, 2, 3}));
	EXPECT_EQ(Sets(), 1);

	ClickRow(2);
	ClickRow(5, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({2, 3, 4, 5}));
	EXPECT_EQ(Indices(), Rows({2, 5, 2, 5}));
	// Shrinking towards the anchor deselects.
	ClickRow(3, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({2, 3}));
	// Crossing to the other side: the rows above are added and the anchor
	// moves to the old moving end.
	ClickRow(0, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({0, 1, 2, 3}));
	EXPECT_EQ(Indices(), Rows({0, 3, 3, 0}));

	// A shift press dragged back over the anchor shrinks the range, then
	// grows it on the other side.
	ClickRow(3);
	Drag(RowPoint(5), {RowPoint(4), RowPoint(1)}, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({1, 2, 3}));
	EXPECT_EQ(Indices(), Rows({1, 3, 3, 1}));
	Drag(RowPoint(2), {RowPoint(5)}, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({3, 4, 5}));
	EXPECT_EQ(Indices(), Rows({3, 5, 3, 5}));

	// A list of single selection takes a shift press as a plain one.
	MakeList(10, false, false);
	ClickRow(2);
	ClickRow(5, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({5}));
}

TEST_F(ListViewTest, CommandTogglesAndPaintsTheRowsDraggedOver)
{
	MakeList(10);
	ClickRow(1);
	Drag(RowPoint(3), {RowPoint(5)}, B_COMMAND_KEY);
	EXPECT_EQ(Selected(), Rows({1, 3, 4, 5}));
	EXPECT_EQ(Indices(), Rows({1, 5, 3, 5}));
	// Deselecting paint: the press cleared its row, so the drag clears.
	Drag(RowPoint(4), {RowPoint(6), RowPoint(5)}, B_COMMAND_KEY);
	EXPECT_EQ(Selected(), Rows({1, 3}));
	// The paint state false puts anchor and current on the first row.
	EXPECT_EQ(Indices(), Rows({1, 3, 1, 1}));
	// Toggling the last selected rows off leaves nothing.
	ClickRow(1, B_COMMAND_KEY);
	ClickRow(3, B_COMMAND_KEY);
	EXPECT_EQ(Selected(), Rows({}));
	EXPECT_EQ(Indices(), Rows({-1, -1, -1, -1}));
}

TEST_F(ListViewTest, DisabledRowsAreNeitherSelectedNorClicked)
{
	MakeList(8);
	Read([&] { fList->fDisabled = {0, 3}; return 0; });
	ClickRow(3);
	EXPECT_EQ(Selected(), Rows({}));
	EXPECT_EQ(Sets(), 0);
	ClickRow(1);
	ClickRow(5, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({1, 2, 4, 5}));
	// The down arrow steps over a disabled row.
	ClickRow(2);
	Key(B_DOWN_ARROW);
	EXPECT_EQ(Selected(), Rows({4}));
	// Up from row 1 stops at the disabled end row.
	ClickRow(1);
	int32 sets = Sets();
	Key(B_UP_ARROW);
	EXPECT_EQ(Selected(), Rows({1}));
	EXPECT_EQ(Sets(), sets);
}

TEST_F(ListViewTest, DoubleClickInvokesTheSelectedRow)
{
	MakeList(8);
	BPoint row2(30, 2 * 16 + 8);
	Drag(row2, {});
	int32 sets = Sets();
	// The second click of a double click on the row already selected.
	Drag(row2, {});
	EXPECT_EQ(Read([&] { return fList->fInvoked; }), Rows({2}));
	EXPECT_EQ(Sets(), sets);
	EXPECT_EQ(Selected(), Rows({2}));

	// A double click whose release lands on another row invokes nothing.
	snooze(600000);
	BPoint row4(30, 4 * 16 + 8);
	Drag(row4, {});
	Drag(row4, {RowPoint(6)});
	EXPECT_EQ(Read([&] { return fList->fInvoked; }), Rows({2}));
	EXPECT_EQ(Selected(), Rows({4}));

	// A double click on a row that is not the lowest selected is a plain press.
	snooze(600000);
	ClickRow(1);
	snooze(600000);
	BPoint row3(30, 3 * 16 + 8);
	Drag(row3, {}, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({1, 2, 3}));
	Drag(row3, {});
	EXPECT_EQ(Selected(), Rows({3}));
	EXPECT_EQ(Read([&] { return fList->fInvoked; }), Rows({2}));
}

TEST_F(ListViewTest, ArrowKeysMoveAndExtendTheSelection)
{
	MakeList(10);
	Read([&] { fList->MakeFocus(true); return 0; });
	// From no row, down selects the first.
	Key(B_DOWN_ARROW);
	EXPECT_EQ(Selected(), Rows({0}));
	EXPECT_EQ(Sets(), 1);
	// Up on row 0 changes nothing.
	Key(B_UP_ARROW);
	EXPECT_EQ(Sets(), 1);
	Key(B_DOWN_ARROW);
	Key(B_DOWN_ARROW, B_SHIFT_KEY);
	Key(B_DOWN_ARROW, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({1, 2, 3}));
	EXPECT_EQ(Indices(), Rows({1, 3, 1, 3}));
	Key(B_UP_ARROW, B_SHIFT_KEY);
	EXPECT_EQ(Selected(), Rows({1, 2}));
	// Enter with two rows selected invokes nothing.
	Key(B_ENTER);
	EXPECT_TRUE(Read([&] { return fList->fInvoked; }).empty());
	Key(B_DOWN_ARROW);
	EXPECT_EQ(Selected(), Rows({3}));
	Key(B_ENTER);
	EXPECT_EQ(Read([&] { return fList->fInvoked; }), Rows({3}));

	// Moving past the bottom edge scrolls down a row at a time.
	for (int i = 0; i < 3; i++)
		Key(B_DOWN_ARROW);
	EXPECT_EQ(Selected(), Rows({6}));
	EXPECT_EQ(Top(), 16);
	// The last row: down changes nothing.
	for (int i = 0; i < 3; i++)
		Key(B_DOWN_ARROW);
	int32 sets = Sets();
	Key(B_DOWN_ARROW);
	EXPECT_EQ(Selected(), Rows({9}));
	EXPECT_EQ(Sets(), sets);

	// Up from no row selects row 0 and does not scroll.
	Read([&] { fList->SelectNoItems(); return 0; });
	float top = Top();
	Key(B_UP_ARROW);
	EXPECT_EQ(Selected(), Rows({0}));
	EXPECT_EQ(Top(), top);
}

TEST_F(ListViewTest, ScrollingStaysInTheBarsRange)
{
	MakeList(20);
	// 20 rows: content 319, visible 99.
	float min = -1, max = -1;
	Read([&] {
		fList->ScrollBar(B_VERTICAL)->GetRange(&min, &max);
		return 0;
	});
	EXPECT_EQ(min, 0);
	EXPECT_EQ(max, 319 - 99);
	Read([&] { fList->MakeFocus(true); return 0; });
	Key(B_PAGE_DOWN);
	EXPECT_EQ(Top(), 99 - 16);
	Key(B_PAGE_DOWN);
	Key(B_PAGE_DOWN);
	Key(B_PAGE_DOWN);
	EXPECT_EQ(Top(), max);
	Key(B_PAGE_UP);
	EXPECT_EQ(Top(), max - 83);
	Read([&] { fList->ScrollBy(0, -10000); return 0; });
	EXPECT_EQ(Top(), 0);
	Read([&] { fList->ScrollTo(BPoint(0, 5000)); return 0; });
	EXPECT_EQ(Top(), max);
	Read([&] { fList->ScrollTo(BPoint(0, 0)); return 0; });

	// Dragging below the bottom scrolls while the button is held.
	Drag(RowPoint(2), {BPoint(20, 130), BPoint(20, 131), BPoint(20, 132), BPoint(20, 133)},
		B_SHIFT_KEY);
	EXPECT_GT(Top(), 0);
	EXPECT_LE(Top(), max);
}

TEST_F(ListViewTest, SelectionOperationsAndUpdate)
{
	MakeList(10);
	Read([&] {
		fList->SelectItem(4);
		fList->SelectItem(7);
		fList->SelectItem(5);
		EXPECT_EQ(fList->Selected(), Rows({4, 5, 7}));
		EXPECT_EQ(fList->First(), 4);
		EXPECT_EQ(fList->Last(), 7);
		EXPECT_EQ(fList->Current(), 7);
		EXPECT_EQ(fList->Anchor(), 4);
		fList->SelectItem(fList->fRows.ItemAt(1));
		EXPECT_EQ(fList->First(), 1);
		EXPECT_EQ(fList->Current(), 1);
		fList->SelectNoItems();
		EXPECT_TRUE(fList->Selected().empty());
		EXPECT_EQ(fList->First(), -1);
		fList->SelectAllItems();
		EXPECT_EQ(fList->Selected().size(), 10u);
		EXPECT_EQ(fList->Last(), 9);
		EXPECT_EQ(fList->fSelectionSets, 0);

		// ReorderItem: directly below the row that was at `to`.
		fList->ReorderItem(0, 3);
		EXPECT_EQ(fList->Order()[3], "0");
		fList->ReorderItem(3, -1);
		EXPECT_EQ(fList->Order()[0], "0");

		// Rows removed below the selection: reset and one notice.
		fList->SelectNoItems();
		fList->SelectItem(8);
		for (int32 i = 0; i < 5; i++)
			delete fList->fRows.RemoveItem(fList->fRows.CountItems() - 1);
		fList->Update();
		EXPECT_EQ(fList->First(), -1);
		EXPECT_EQ(fList->Current(), -1);
		EXPECT_EQ(fList->fSelectionSets, 1);
		fList->Update();
		EXPECT_EQ(fList->fSelectionSets, 1);
		return 0;
	});
}

TEST_F(ListViewTest, AListWithoutRowsIgnoresEverything)
{
	MakeList(0);
	Read([&] { fList->DropRows(); fList->MakeFocus(true); return 0; });
	ClickRow(0);
	Key(B_DOWN_ARROW);
	Key(B_UP_ARROW);
	Key(B_ENTER);
	EXPECT_EQ(Sets(), 0);
	EXPECT_TRUE(Read([&] { return fList->fInvoked; }).empty());
	Read([&] { fList->Update(); fList->SelectAllItems(); fList->Invalidate(); return 0; });
	ASSERT_TRUE(Automation::WaitUntilIdle());
}
