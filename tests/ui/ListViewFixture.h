#ifndef _TEST_LIST_VIEW_FIXTURE_H
#define _TEST_LIST_VIEW_FIXTURE_H

// A list view of named rows in a scroll view on the headless display,
// driven by synthesised mouse presses and keys.

#include "SimpleListView.h"
#include "StringItem.h"

#include <InterfaceFixture.h>
#include <MessageLog.h>

#include <RList.h>
#include <ScrollView.h>

#include <set>
#include <string>
#include <vector>

class TestList : public SimpleListView {
public:
	TestList(BRect frame, int32 rows)
		:
		SimpleListView(frame, "list", B_FOLLOW_ALL, B_WILL_DRAW | B_NAVIGABLE)
	{
		for (int32 i = 0; i < rows; i++)
			fRows.AddItem(new StringItem(std::to_string(i).c_str()));
		fList = &fRows;
	}

	~TestList() override { fRows.MakeEmptyAndDelete(); }

	void SelectionSet() override { fSelectionSets++; }
	void Invoke(int32 index) override { fInvoked.push_back(index); }
	bool IsItemDisabled(int32 index) override { return fDisabled.count(index) != 0; }

	void DrawItem(BRect, int32 index, BRect* itemFrame) override
	{
		BRect frame = itemFrame != nullptr ? *itemFrame : ItemFrame(index);
		StringItem* item = fRows.ItemAt(index);
		if (item == nullptr)
			return;
		rgb_color saved = HighColor();
		// Selected rows blue; the row's top pixel row keeps the row's own
		// shade of red so tests can tell rows apart.
		SetHighColor(item->fSelected ? kBlue : kWhite);
		FillRect(frame);
		SetHighColor(make_color(atoi(item->fText) * 10 % 256, 0, 0));
		FillRect(BRect(frame.left, frame.top + 4, frame.left + 3, frame.top + 4));
		SetHighColor(saved);
	}

	// The rows' texts from the top.
	std::vector<std::string> Order() const
	{
		std::vector<std::string> order;
		for (int32 i = 0; i < fRows.CountItems(); i++)
			order.push_back(fRows.ItemAt(i)->fText);
		return order;
	}

	std::vector<int32> Selected() const
	{
		std::vector<int32> selected;
		for (int32 i = 0; i < fRows.CountItems(); i++) {
			if (fRows.ItemAt(i)->fSelected)
				selected.push_back(i);
		}
		return selected;
	}

	int32 First() const { return fFirstSelected; }
	int32 Last() const { return fLastSelected; }
	int32 Anchor() const { return fAnchor; }
	int32 Current() const { return fCurrent; }
	BScrollView* Scroller() const { return fScrollView; }
	void DropRows() { fList = nullptr; }

	RList<StringItem*> fRows;
	std::set<int32> fDisabled;
	int32 fSelectionSets = 0;
	std::vector<int32> fInvoked;
};

class ListViewTest : public InterfaceTest {
protected:
	// A list 200 x 100 (six whole rows and a quarter) with a vertical bar.
	void MakeList(int32 rows, bool multiple = true, bool reorder = true)
	{
		if (fWindow != nullptr)
			QuitWindow(fWindow);
		fList = new TestList(BRect(0, 0, 199, 99), rows);
		fList->SetMultipleSelect(multiple);
		fList->SetDragReorder(reorder);
		BScrollView* scroller = new BScrollView("scroller", fList, B_FOLLOW_LEFT | B_FOLLOW_TOP,
			0, false, true);
		fWindow = new BWindow(BRect(100, 100, 339, 239), "list", B_TITLED_WINDOW, 0);
		fWindow->AddChild(scroller);
		fWindow->Show();
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	void TearDown() override
	{
		InterfaceTest::TearDown();
	}

	// A point of the list (its own coordinates) on the screen.
	BPoint Screen(BPoint where)
	{
		EXPECT_TRUE(fWindow->Lock());
		BPoint point = fList->ConvertToScreen(where);
		fWindow->Unlock();
		return point;
	}

	// Successive presses alternate between two columns, so that two
	// presses on one row are not taken for a double click.
	BPoint RowPoint(int32 row) { return BPoint(fColumn, row * 16 + 8); }

	// A press on `from` dragged over the points in between to `to`.
	void Drag(BPoint from, std::vector<BPoint> path, uint32 modifiers = 0)
	{
		// Every point is found first: the window stays locked while it
		// tracks the press.
		BPoint start = Screen(from);
		std::vector<BPoint> screenPath;
		for (BPoint point : path)
			screenPath.push_back(Screen(point));
		BPoint last = screenPath.empty() ? start : screenPath.back();
		DisplayBackend* display = DisplayBackend::Default();
		display->InjectMouseDown(start, B_PRIMARY_MOUSE_BUTTON, modifiers);
		for (BPoint point : screenPath)
			display->InjectMouseMoved(point);
		display->InjectMouseUp(last, modifiers);
		fColumn = fColumn == 20 ? 60 : 20;
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	void ClickRow(int32 row, uint32 modifiers = 0) { Drag(RowPoint(row), {}, modifiers); }

	void DragRow(int32 from, int32 to, uint32 modifiers = 0)
	{
		Drag(RowPoint(from), {RowPoint(to)}, modifiers);
	}

	void Key(char byte, uint32 modifiers = 0)
	{
		ASSERT_EQ(Automation::PressKey(byte, modifiers), B_OK);
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	template<typename F>
	auto Read(F f)
	{
		EXPECT_TRUE(fWindow->Lock());
		auto value = f();
		fWindow->Unlock();
		return value;
	}

	std::vector<int32> Selected() { return Read([&] { return fList->Selected(); }); }
	std::vector<std::string> Order() { return Read([&] { return fList->Order(); }); }
	int32 Sets() { return Read([&] { return fList->fSelectionSets; }); }
	std::vector<int32> Indices()
	{
		return Read([&] {
			return std::vector<int32>{fList->First(), fList->Last(), fList->Anchor(),
				fList->Current()};
		});
	}
	float Top() { return Read([&] { return fList->Bounds().top; }); }

	float fColumn = 20;
	TestList* fList = nullptr;
	BWindow* fWindow = nullptr;
};

typedef std::vector<int32> Rows;

#endif // _TEST_LIST_VIEW_FIXTURE_H
