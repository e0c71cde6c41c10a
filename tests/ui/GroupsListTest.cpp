// The groups list: what each selection tells the install view, separator
// rows, and how rows are drawn.

#include "GroupList.h"
#include "IGroupsListView.h"
#include "UiTestSupport.h"

#include <InterfaceFixture.h>
#include <MessageLog.h>

#include <ScrollView.h>

#include <cmath>

namespace {

class GroupsListTest : public InterfaceTest {
protected:
	void SetUp() override
	{
		InterfaceTest::SetUp();
		test_application();
		fLog = std::make_shared<MessageLog>();
		fTarget = new LoggingLooper(fLog, "install view stand-in");
		fTarget->Run();
	}

	void TearDown() override
	{
		InterfaceTest::TearDown();
		if (fTarget->Lock())
			fTarget->Quit();
		delete fGroups;
	}

	// A list of rows: a group index, or -1 for a separator. Groups 0 to 2
	// exist; group 1 alone has help.
	void MakeList(std::vector<int32> rows)
	{
		fGroups = new GroupList();
		fGroups->AppendGroup(new GroupItem("Tool", "The program."));
		fGroups->AppendGroup(new GroupItem("Docs", "The manual.", "Read the manual."));
		fGroups->AppendGroup(new GroupItem("Extras", "More."));
		for (int32 row : rows)
			fGroups->AppendRow(new IndexItem(row));
		fList = new IGroupsListView(BRect(0, 0, 191, 127), fGroups, fTarget);
		fWindow = new BWindow(BRect(100, 100, 319, 249), "groups", B_TITLED_WINDOW, 0);
		fWindow->AddChild(new BScrollView("scroller", fList, B_FOLLOW_ALL, 0, false, true));
		fWindow->Show();
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	void ClickRow(int32 row, uint32 modifiers = 0)
	{
		ASSERT_TRUE(fWindow->Lock());
		BRect frame = fList->ConvertToScreen(fList->ItemFrame(row));
		fWindow->Unlock();
		BPoint where(frame.left + fColumn, floorf((frame.top + frame.bottom) / 2));
		fColumn = fColumn == 20 ? 60 : 20;
		DisplayBackend::Default()->InjectMouseDown(where, B_PRIMARY_MOUSE_BUTTON, modifiers);
		DisplayBackend::Default()->InjectMouseUp(where, modifiers);
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	// The last selection message.
	BMessage Last()
	{
		EXPECT_GT(fLog->Count(), 0u);
		return fLog->Count() > 0 ? fLog->At(fLog->Count() - 1) : BMessage();
	}

	std::shared_ptr<MessageLog> fLog;
	LoggingLooper* fTarget = nullptr;
	GroupList* fGroups = nullptr;
	IGroupsListView* fList = nullptr;
	BWindow* fWindow = nullptr;
	float fColumn = 20;
};

} // namespace


TEST_F(GroupsListTest, OneGroupRowTellsItsNameDescriptionAndHelp)
{
	MakeList({0, 1, 2});
	ClickRow(1);
	ASSERT_EQ(fLog->Count(), 1u);
	BMessage message = Last();
	EXPECT_EQ(message.what, (uint32)IGroupsListView::kGroupsSelected);
	EXPECT_STREQ(message.GetString("name", "?"), "Docs");
	EXPECT_STREQ(message.GetString("description", "?"), "The manual.");
	EXPECT_EQ(message.GetInt32("groups", -1), 2);
	void* help = nullptr;
	ASSERT_EQ(message.FindPointer("helptext", &help), B_OK);
	EXPECT_EQ(help, fGroups->GroupAt(1)->HelpText()) << "the group's own text, not a copy";

	type_code type;
	int32 count;
	ASSERT_EQ(message.GetInfo("helptext", &type, &count), B_OK);
	EXPECT_EQ(type, (type_code)B_POINTER_TYPE);
	const void* data;
	ssize_t size;
	ASSERT_EQ(message.FindData("helptext", B_POINTER_TYPE, &data, &size), B_OK);
	EXPECT_EQ(size, (ssize_t)sizeof(void*));

	// A group without help sends its null help.
	ClickRow(0);
	help = &help;
	ASSERT_EQ(Last().FindPointer("helptext", &help), B_OK);
	EXPECT_EQ(help, nullptr);
}


TEST_F(GroupsListTest, SeveralRowsGiveEveryGroupBetweenFirstAndLast)
{
	MakeList({0, -1, 2});
	ClickRow(0);
	ClickRow(2, B_SHIFT_KEY);
	BMessage message = Last();
	EXPECT_EQ(message.GetInt32("groups", -1), 5);
	EXPECT_STREQ(message.GetString("name", "?"), "");
	EXPECT_STREQ(message.GetString("description", "?"), "");
	EXPECT_FALSE(message.HasPointer("helptext"));
	EXPECT_FALSE(fGroups->RowAt(1)->fSelected) << "the separator stays unselected";

}


TEST_F(GroupsListTest, ToggledRowsWithAnUnselectedOneBetween)
{
	MakeList({0, 1, 2});
	ClickRow(0);
	ClickRow(2, B_COMMAND_KEY);
	EXPECT_FALSE(fGroups->RowAt(1)->fSelected);
	EXPECT_EQ(Last().GetInt32("groups", -1), 7);

	// Nothing selected: empty texts and no groups.
	ClickRow(0, B_COMMAND_KEY);
	ClickRow(2, B_COMMAND_KEY);
	BMessage message = Last();
	EXPECT_EQ(message.GetInt32("groups", -1), 0);
	EXPECT_STREQ(message.GetString("name", "?"), "");
	EXPECT_STREQ(message.GetString("description", "?"), "");
}


TEST_F(GroupsListTest, SeparatorsCannotBeChosenAndDoubleClicksDoNothing)
{
	MakeList({-1, 0, 1});
	ClickRow(0);
	EXPECT_EQ(fLog->Count(), 0u) << "a separator row takes no click";
	EXPECT_TRUE(fList->IsItemDisabled(0));
	EXPECT_FALSE(fList->IsItemDisabled(1));

	ClickRow(1);
	size_t count = fLog->Count();
	// A second press at the same point is a double click.
	fColumn = fColumn == 20 ? 60 : 20;
	ClickRow(1);
	EXPECT_EQ(fLog->Count(), count) << "no new selection, nothing invoked";
	EXPECT_TRUE(fGroups->RowAt(1)->fSelected);
}


TEST_F(GroupsListTest, GroupsPastThirtyOneSelectNothing)
{
	MakeList({0});
	for (int32 i = 3; i < 34; i++)
		fGroups->AppendGroup(new GroupItem(("g" + std::to_string(i)).c_str()));
	fGroups->AppendRow(new IndexItem(33));
	ASSERT_TRUE(fWindow->Lock());
	fList->Update();
	fWindow->Unlock();
	ClickRow(1);
	EXPECT_EQ(Last().GetInt32("groups", -1), 0);
	EXPECT_STREQ(Last().GetString("name", "?"), "g33");
	EXPECT_EQ(fList->RowOfGroup("g33"), 1);
	EXPECT_EQ(fList->RowOfGroup("Tool"), 0);
	EXPECT_EQ(fList->RowOfGroup("absent"), -1);
}


TEST_F(GroupsListTest, RowsAreDrawnAsNamesAndReddishSeparators)
{
	MakeList({0, -1, 1});
	ClickRow(2);
	std::unique_ptr<Pixels> pixels = Capture(fWindow);
	ASSERT_TRUE(pixels->IsValid());
	ASSERT_TRUE(fWindow->Lock());
	BRect separator = fList->ConvertToScreen(fList->ItemFrame(1));
	BRect selected = fList->ConvertToScreen(fList->ItemFrame(2));
	float height = fList->ItemFrame(0).Height() + 1;
	BPoint origin = fWindow->ConvertToScreen(BPoint(0, 0));
	fWindow->Unlock();
	EXPECT_EQ(height, 14) << "rows 14 high";

	// The separator: a 2-point line half a row above the row's bottom.
	int32 x = (int32)(separator.left + 100 - origin.x);
	int32 y = (int32)(separator.bottom - 7 - origin.y);
	EXPECT_TRUE(same_rgb(pixels->At(x, y), make_color(200, 128, 128))) << pixels->At(x, y);
	EXPECT_TRUE(same_rgb(pixels->At(x, (int32)(separator.top - origin.y)), kWhite));

	// The selected row is inverted: black where the background was white.
	int32 selectedY = (int32)(selected.top + 1 - origin.y);
	EXPECT_TRUE(same_rgb(pixels->At((int32)(selected.left + 150 - origin.x), selectedY),
		kBlack));
}
