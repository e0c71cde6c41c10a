// The chooser among several query matches, answered through the display's
// input path while a worker thread waits in Go().

#include "FindChoiceWind.h"
#include "FindItem.h"
#include "FindListView.h"
#include "REntryList.h"
#include "UiTestSupport.h"

#include <InterfaceFixture.h>
#include <TempRoot.h>

#include <Button.h>
#include <Entry.h>
#include <Path.h>
#include <ScrollView.h>
#include <Screen.h>
#include <StringView.h>

#include <future>
#include <string>
#include <vector>

namespace {

const char* const kTitle = "Multiple Items Found";

// What the open chooser shows, read in its thread.
struct ChooserContents {
	std::vector<std::string> sentences;
	std::vector<std::string> rows;
	std::vector<int32> selected;
	bool listHasFocus = false;
	std::string defaultButton;
	BRect frame;
};

class FindChoiceTest : public InterfaceTest {
protected:
	void SetUp() override
	{
		InterfaceTest::SetUp();
		ASSERT_EQ(fRoot.InitCheck(), B_OK);
		// Delivered in this order, which is not the order of their names.
		for (const char* path : {"Data/old/Tool", "boot/apps/Tool", "Data/apps/Tool",
				"boot/home/Tool"}) {
			fRoot.WriteFile(path, "tool");
			entry_ref ref;
			ASSERT_EQ(get_ref_for_path((std::string("/") + path).c_str(), &ref), B_OK);
			fMatches.AddRef(&ref);
			fPaths.push_back(std::string("/") + path);
		}
	}

	// Opens the chooser in a thread of its own, as the install worker does,
	// and waits until it is on screen.
	void Open(FindItem* item)
	{
		fDone = std::async(std::launch::async, [this, item] {
			FindChoiceWind* window = new FindChoiceWind(&fMatches, &fContinue, &fChosen,
				item);
			return window->Go();
		});
		ASSERT_TRUE(Automation::WaitForWindow(kTitle, &fInfo));
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	static bool IsOpen()
	{
		DisplayWindowInfo info;
		return Automation::FindWindow(kTitle, &info);
	}

	status_t WaitForAnswer()
	{
		EXPECT_EQ(fDone.wait_for(std::chrono::seconds(20)), std::future_status::ready);
		return fDone.get();
	}

	FindListView* List(BLooper* looper)
	{
		BWindow* window = dynamic_cast<BWindow*>(looper);
		BScrollView* scroller = dynamic_cast<BScrollView*>(window->FindView("scroller"));
		return scroller != nullptr ? dynamic_cast<FindListView*>(scroller->Target())
			: nullptr;
	}

	ChooserContents Contents()
	{
		ChooserContents contents;
		if (!fInfo.target.LockTarget())
			return contents;
		BLooper* looper = nullptr;
		fInfo.target.Target(&looper);
		BWindow* window = dynamic_cast<BWindow*>(looper);
		contents.frame = window->Frame();
		BView* top = window->ChildAt(0);
		for (int32 i = 0; top != nullptr && i < top->CountChildren(); i++) {
			if (BStringView* sentence = dynamic_cast<BStringView*>(top->ChildAt(i)))
				contents.sentences.push_back(sentence->Text());
		}
		if (FindListView* list = List(looper)) {
			for (int32 i = 0; i < list->CountRows(); i++)
				contents.rows.push_back(list->RowText(i));
			for (int32 i = 0; i < list->CountRows(); i++) {
				if (list->IsSelected(i))
					contents.selected.push_back(i);
			}
			contents.listHasFocus = window->CurrentFocus() == list;
		}
		if (BButton* button = window->DefaultButton())
			contents.defaultButton = button->Label();
		looper->Unlock();
		return contents;
	}

	// A point on a row's text, on the screen.
	BPoint OnRow(int32 index)
	{
		BPoint centre;
		if (!fInfo.target.LockTarget())
			return centre;
		BLooper* looper = nullptr;
		fInfo.target.Target(&looper);
		if (FindListView* list = List(looper)) {
			BRect frame = list->ItemFrame(index);
			// Rows reach far to the right; the text starts at 10.
			centre = list->ConvertToScreen(BPoint(frame.left + 40,
				(frame.top + frame.bottom) / 2));
		}
		looper->Unlock();
		return centre;
	}

	TempRoot fRoot;
	REntryList fMatches;
	std::vector<std::string> fPaths;
	bool fContinue = false;
	entry_ref fChosen;
	std::future<status_t> fDone;
	DisplayWindowInfo fInfo;
};

std::string
PathOf(const entry_ref& ref)
{
	BPath path;
	if (path.SetTo(&ref) != B_OK)
		return "<none>";
	return path.Path();
}

} // namespace


TEST_F(FindChoiceTest, ContinueAtOnceAnswersTheFirstMatch)
{
	FindItem item("Tool", 4, "application/x-vnd.Maker-Tool");
	Open(&item);
	ChooserContents contents = Contents();
	ASSERT_EQ(contents.sentences.size(), 2u);
	EXPECT_EQ(contents.sentences[0], "Tool returned multiple search results.");
	EXPECT_EQ(contents.sentences[1], "Select the location where you would like to install:");
	EXPECT_EQ(contents.rows, fPaths);
	EXPECT_EQ(contents.selected, std::vector<int32>{0});
	EXPECT_TRUE(contents.listHasFocus);
	EXPECT_EQ(contents.defaultButton, "Continue");
	BRect screen = BScreen().Frame();
	EXPECT_EQ(contents.frame.Width(), 420);
	EXPECT_NEAR(contents.frame.top, (screen.bottom - 6 - 220) * 0.33333334f, 0.5);

	std::string path = screenshot_path("ui-results-chooser");
	EXPECT_EQ(Automation::WriteWindowPNG(fInfo.id, path.c_str()), B_OK);

	ASSERT_EQ(Automation::Click(fInfo.id, "Continue"), B_OK);
	EXPECT_EQ(WaitForAnswer(), B_OK);
	EXPECT_TRUE(fContinue);
	EXPECT_EQ(PathOf(fChosen), fPaths[0]);
	EXPECT_FALSE(IsOpen());
}


TEST_F(FindChoiceTest, TheThirdMatchThenCancel)
{
	FindItem item("Tool");
	Open(&item);
	ASSERT_EQ(Automation::ClickAt(OnRow(2)), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Contents().selected, std::vector<int32>{2});
	ASSERT_EQ(Automation::Click(fInfo.id, "Cancel"), B_OK);
	EXPECT_EQ(WaitForAnswer(), B_OK);
	EXPECT_FALSE(fContinue);
	// The reference holds the third match; the caller ignores it.
	EXPECT_EQ(PathOf(fChosen), fPaths[2]);
}


TEST_F(FindChoiceTest, KeysAndDoubleClicksMoveTheSelectionButDoNotAccept)
{
	FindItem item("Tool");
	Open(&item);
	ASSERT_EQ(Automation::PressKey(B_DOWN_ARROW), B_OK);
	ASSERT_EQ(Automation::PressKey(B_DOWN_ARROW), B_OK);
	ASSERT_EQ(Automation::PressKey(B_DOWN_ARROW), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Contents().selected, std::vector<int32>{3});

	// Single selection: a click replaces it; a double click only selects.
	ASSERT_EQ(Automation::ClickAt(OnRow(1)), B_OK);
	ASSERT_EQ(Automation::ClickAt(OnRow(1)), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Contents().selected, std::vector<int32>{1});
	EXPECT_TRUE(IsOpen());

	ASSERT_EQ(Automation::Click(fInfo.id, "Continue"), B_OK);
	EXPECT_EQ(WaitForAnswer(), B_OK);
	EXPECT_TRUE(fContinue);
	EXPECT_EQ(PathOf(fChosen), fPaths[1]);
}


TEST_F(FindChoiceTest, TheCloseBoxAnswersNo)
{
	FindItem item("Tool");
	fContinue = true;
	Open(&item);
	ASSERT_EQ(Automation::PressCloseBox(fInfo.id), B_OK);
	EXPECT_EQ(WaitForAnswer(), B_OK);
	EXPECT_FALSE(fContinue);
	EXPECT_EQ(PathOf(fChosen), fPaths[0]);
}


// Escape answers as the close box does, also after the arrow keys have
// moved the selection in the focused list.
TEST_F(FindChoiceTest, EscapeAnswersNoAsTheCloseBoxDoes)
{
	FindItem item("Tool");
	fContinue = true;
	Open(&item);
	ASSERT_EQ(Automation::PressKey(B_DOWN_ARROW), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(Contents().selected, std::vector<int32>{1});
	ASSERT_EQ(Automation::PressKey(B_ESCAPE), B_OK);
	EXPECT_EQ(WaitForAnswer(), B_OK);
	EXPECT_FALSE(fContinue);
	EXPECT_FALSE(IsOpen());
}


TEST_F(FindChoiceTest, TheFirstSentenceTakesTheNameAsItIs)
{
	// A '%' in the name is the name's, not a format.
	FindItem item("50%s Tool %d");
	Open(&item);
	ChooserContents contents = Contents();
	ASSERT_FALSE(contents.sentences.empty());
	EXPECT_EQ(contents.sentences[0], "50%s Tool %d returned multiple search results.");
	ASSERT_EQ(Automation::Click(fInfo.id, "Cancel"), B_OK);
	EXPECT_EQ(WaitForAnswer(), B_OK);
}
