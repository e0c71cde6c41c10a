// The patch window, driven as a person would: the rows it shows, its two
// answers for each way of closing it, and a picture of it.

#include "ArchivePatchItem.h"
#include "PatchInfoWind.h"
#include "PatchListView.h"
#include "UiTestSupport.h"

#include <InterfaceFixture.h>
#include <TempRoot.h>

#include <CheckBox.h>
#include <Entry.h>

#include <future>
#include <string>
#include <vector>

namespace {

class PatchInfoWindTest : public InterfaceTest {
protected:
	void SetUp() override
	{
		InterfaceTest::SetUp();
		ASSERT_EQ(fRoot.InitCheck(), B_OK);
		fRoot.WriteFile("boot/apps/Tool/Tool", "old tool");
		fRoot.WriteFile("Data/lib/libtool.so", "old library");
	}

	void TearDown() override
	{
		fPatches.MakeEmptyAndDelete();
		InterfaceTest::TearDown();
	}

	// A patch whose original is `path` (null: not found by the scan).
	void AddPatch(const char* path)
	{
		ArchivePatchItem* patch = new ArchivePatchItem();
		fPatches.AddItem(patch);
		if (path != nullptr) {
			ASSERT_EQ(get_ref_for_path(path, &patch->fOriginalRef), B_OK) << path;
		}
	}

	// Opens the window in a thread of its own, as the install worker does,
	// and waits until it is on screen.
	void Open()
	{
		fContinue = true;
		fDelete = false;
		fAnswer = std::async(std::launch::async, [this] {
			PatchInfoWind* window = new PatchInfoWind(&fPatches, &fContinue, &fDelete);
			return window->Go();
		});
		ASSERT_TRUE(Automation::WaitForWindow("Patching Status", &fWindow));
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	// Runs f on the window's list with the window locked.
	template<typename F>
	void WithList(F f)
	{
		ASSERT_TRUE(fWindow.target.LockTarget());
		BLooper* looper = nullptr;
		fWindow.target.Target(&looper);
		BWindow* window = dynamic_cast<BWindow*>(looper);
		PatchListView* list = window != nullptr
			? dynamic_cast<PatchListView*>(window->FindView("patchlisting")) : nullptr;
		EXPECT_NE(list, nullptr);
		if (list != nullptr)
			f(list);
		looper->Unlock();
	}

	std::vector<std::string> Rows()
	{
		std::vector<std::string> rows;
		WithList([&](PatchListView* list) {
			for (int32 i = 0; i < list->CountRows(); i++)
				rows.push_back(list->RowText(i));
		});
		return rows;
	}

	// The window's answer once it has gone.
	status_t Closed()
	{
		EXPECT_EQ(fAnswer.wait_for(std::chrono::seconds(30)), std::future_status::ready);
		return fAnswer.get();
	}

	TempRoot fRoot;
	RList<ArchivePatchItem*> fPatches;
	bool fContinue = true;
	bool fDelete = false;
	std::future<status_t> fAnswer;
	DisplayWindowInfo fWindow;
};

} // namespace


TEST_F(PatchInfoWindTest, ContinueWithTheBoxUntouchedAnswersTrueTwice)
{
	AddPatch("/boot/apps/Tool/Tool");
	AddPatch(nullptr);
	AddPatch("/Data/lib/libtool.so");
	Open();

	// Rows are the full paths of the originals found, in patch order.
	EXPECT_EQ(Rows(), (std::vector<std::string>{"/boot/apps/Tool/Tool",
		"/Data/lib/libtool.so"}));
	std::string label;
	ASSERT_EQ(Automation::GetText(fWindow.id, "label", &label), B_OK);
	EXPECT_EQ(label, "Patches will be applied to the following:");
	int32 value = 0;
	ASSERT_EQ(Automation::GetValue(fWindow.id, "deleteoriginals", &value), B_OK);
	EXPECT_EQ(value, 1);
	// The constructor already said "delete" before anything was touched.
	EXPECT_TRUE(fDelete);

	// The buttons sit in the bottom right corner, 16 by 12 inside it.
	BRect continueFrame, cancelFrame;
	ASSERT_EQ(Automation::GetViewFrame(fWindow.id, "continuebutton", &continueFrame), B_OK);
	ASSERT_EQ(Automation::GetViewFrame(fWindow.id, "cancelbutton", &cancelFrame), B_OK);
	EXPECT_FLOAT_EQ(fWindow.frame.right - continueFrame.right, 16);
	EXPECT_FLOAT_EQ(fWindow.frame.bottom - continueFrame.bottom, 12);
	EXPECT_FLOAT_EQ(continueFrame.left - cancelFrame.left, 110);

	std::string picture = screenshot_path("ui-patch-window");
	ASSERT_EQ(Automation::WriteWindowPNG(fWindow.id, picture.c_str()), B_OK);

	ASSERT_EQ(Automation::Click(fWindow.id, "continuebutton"), B_OK);
	EXPECT_EQ(Closed(), B_OK);
	EXPECT_TRUE(fContinue);
	EXPECT_TRUE(fDelete);
}


TEST_F(PatchInfoWindTest, CloseBoxAndCancelBothAnswerFalse)
{
	AddPatch("/boot/apps/Tool/Tool");
	Open();
	ASSERT_EQ(Automation::PressCloseBox(fWindow.id), B_OK);
	EXPECT_EQ(Closed(), B_OK);
	EXPECT_FALSE(fContinue);
	EXPECT_TRUE(fDelete);

	// Cancel after unchecking the box: both false.
	Open();
	ASSERT_EQ(Automation::Click(fWindow.id, "deleteoriginals"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(Automation::Click(fWindow.id, "cancelbutton"), B_OK);
	EXPECT_EQ(Closed(), B_OK);
	EXPECT_FALSE(fContinue);
	EXPECT_FALSE(fDelete);
}


// Escape answers as the close box does: no, whatever the check box says.
TEST_F(PatchInfoWindTest, EscapeAnswersFalseAsTheCloseBoxDoes)
{
	AddPatch("/boot/apps/Tool/Tool");
	Open();
	ASSERT_EQ(Automation::Click(fWindow.id, "deleteoriginals"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(Automation::PressKey(B_ESCAPE), B_OK);
	EXPECT_EQ(Closed(), B_OK);
	EXPECT_FALSE(fContinue);
	EXPECT_FALSE(fDelete);
}


TEST_F(PatchInfoWindTest, TheBoxIsFollowedAtEveryToggle)
{
	AddPatch("/boot/apps/Tool/Tool");
	Open();
	ASSERT_EQ(Automation::Click(fWindow.id, "deleteoriginals"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_FALSE(fDelete);
	ASSERT_EQ(Automation::Click(fWindow.id, "deleteoriginals"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(fDelete);
	ASSERT_EQ(Automation::Click(fWindow.id, "Continue"), B_OK);
	EXPECT_EQ(Closed(), B_OK);
	EXPECT_TRUE(fContinue);
	EXPECT_TRUE(fDelete);
}


TEST_F(PatchInfoWindTest, TheListIsReadOnlyAndMayBeEmpty)
{
	AddPatch("/boot/apps/Tool/Tool");
	AddPatch("/Data/lib/libtool.so");
	Open();
	BRect listFrame;
	ASSERT_EQ(Automation::GetViewFrame(fWindow.id, "patchlisting", &listFrame), B_OK);
	ASSERT_EQ(Automation::ClickAt(BPoint(listFrame.left + 20, listFrame.top + 8)), B_OK);
	ASSERT_EQ(Automation::DragMouse(BPoint(listFrame.left + 20, listFrame.top + 8),
		BPoint(listFrame.left + 20, listFrame.top + 24)), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	// Nothing was selected, moved or invoked.
	WithList([](PatchListView* list) {
		ASSERT_EQ(list->CountRows(), 2);
		EXPECT_EQ(list->RowText(0), std::string("/boot/apps/Tool/Tool"));
		EXPECT_EQ(list->RowText(1), std::string("/Data/lib/libtool.so"));
		EXPECT_FALSE(list->RowAt(0)->fSelected);
		EXPECT_FALSE(list->RowAt(1)->fSelected);
	});
	// A click in the list is not a press of the default button.
	EXPECT_FALSE(fAnswer.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready);
	ASSERT_EQ(Automation::Click(fWindow.id, "Cancel"), B_OK);
	EXPECT_EQ(Closed(), B_OK);
	EXPECT_FALSE(fContinue);

	// No original can be found: the window still asks, with no rows.
	fPatches.MakeEmptyAndDelete();
	AddPatch(nullptr);
	Open();
	EXPECT_TRUE(Rows().empty());
	ASSERT_EQ(Automation::PressKey(B_ENTER), B_OK);
	EXPECT_EQ(Closed(), B_OK);
	EXPECT_TRUE(fContinue);
}
