// The data types the package reader fills: the group list, destinations,
// and the catalog's items.

#include "ArchiveFileItem.h"
#include "ArchiveFolderItem.h"
#include "ArchivePatchItem.h"
#include "FindItem.h"
#include "GroupList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(GroupListTest, AddGroupStopsAtThirtyTwo)
{
	GroupList groups;
	groups.AddSeparator();
	for (int32 index = 0; index < 32; index++)
		ASSERT_TRUE(groups.AddGroup(("Group " + std::to_string(index)).c_str()));
	EXPECT_EQ(groups.CountGroups(), 32);
	EXPECT_EQ(groups.CountRows(), 33);
	EXPECT_EQ(groups.RowAt(32)->fGroup, 31);
	EXPECT_EQ(groups.ViewIndexFor(0), 1) << "the new row's index";
	EXPECT_EQ(groups.ViewIndexFor(31), 32);

	testing::internal::CaptureStderr();
	EXPECT_FALSE(groups.AddGroup("One too many"));
	std::string alerts = testing::internal::GetCapturedStderr();
	EXPECT_NE(alerts.find("Sorry, no more groups can be added. There is a limit "
		"of 32 groups per package."), std::string::npos) << alerts;
	EXPECT_EQ(groups.CountGroups(), 32);
	EXPECT_EQ(groups.CountRows(), 33);
	EXPECT_EQ(groups.ViewIndexFor(32), -1);
	EXPECT_FALSE(groups.IsLocked()) << "the lock is given back after the alert";
}


TEST(GroupListTest, RenamingAndSelection)
{
	GroupList groups;
	groups.AddGroup("Base");
	groups.AddSeparator();
	groups.AddGroup("Docs");
	EXPECT_EQ(groups.GroupAt(0)->Description(), nullptr);
	EXPECT_EQ(groups.GroupAt(0)->HelpText(), nullptr);

	groups.SetName(2, "Documentation");
	groups.SetName(1, "ignored");
	EXPECT_STREQ(groups.GroupAt(1)->Name(), "Documentation");
	EXPECT_STREQ(groups.GroupAt(0)->Name(), "Base");

	groups.RowAt(0)->fSelected = true;
	groups.RowAt(2)->fSelected = true;
	groups.DeSelectAll();
	for (int32 row = 0; row < groups.CountRows(); row++)
		EXPECT_FALSE(groups.RowAt(row)->fSelected) << row;
}


TEST(GroupItemTest, TextsAreCopies)
{
	char name[] = "Base";
	GroupItem item(name, "desc", "");
	name[0] = 'X';
	EXPECT_STREQ(item.Name(), "Base");
	EXPECT_EQ(item.HelpText(), nullptr) << "an empty help text is absent";
	GroupItem none(nullptr, nullptr, nullptr);
	EXPECT_EQ(none.Name(), nullptr);
}


TEST(FindItemTest, Predicates)
{
	FindItem item("Tool", 123, "application/x-vnd.tool");
	EXPECT_STREQ(item.fPath, "Tool");
	EXPECT_EQ(item.fWhich, kNoSystemDirectory);
	EXPECT_TRUE(item.IsPath());
	EXPECT_FALSE(item.fNotFound);
	EXPECT_EQ(item.fDir, nullptr);
	ASSERT_EQ(item.CountPredicates(), 2);
	EXPECT_STREQ(item.PredicateAt(0), "size = 123");
	EXPECT_STREQ(item.PredicateAt(1), "BEOS:APP_SIG = application/x-vnd.tool");
	EXPECT_EQ(item.PredicateAt(2), nullptr);

	FindItem big("Big", 1LL << 40, "");
	ASSERT_EQ(big.CountPredicates(), 1);
	EXPECT_STREQ(big.PredicateAt(0), "size = 1099511627776");

	// A signature that is no single word is quoted, so it cannot change
	// what the query means.
	FindItem odd("Odd", 1, "app/x (test) \"q\"");
	ASSERT_EQ(odd.CountPredicates(), 2);
	EXPECT_STREQ(odd.PredicateAt(1), "BEOS:APP_SIG = \"app/x (test) \\\"q\\\"\"");

	FindItem bare("Bare");
	EXPECT_EQ(bare.CountPredicates(), 0);
	char text[] = "name = Tool";
	bare.AddPredicate(text);
	text[0] = 'X';
	EXPECT_STREQ(bare.PredicateAt(0), "name = Tool") << "a copy is kept";
}


TEST(DestItemTest, PathAndSystemFolder)
{
	DestItem path("apps/Tool");
	EXPECT_STREQ(path.fPath, "apps/Tool");
	EXPECT_TRUE(path.IsPath());
	DestItem system("config", 1002);
	EXPECT_FALSE(system.IsPath());
	EXPECT_FALSE(system.fSelected);
}


TEST(ArchiveItemTest, DefaultsAndCopies)
{
	ArchiveFolderItem folder;
	EXPECT_EQ(folder.fGroups, 1u);
	EXPECT_EQ(folder.fDestIndex, -2);
	EXPECT_FALSE(folder.fCustom);
	EXPECT_EQ(folder.fReplaceOption, 0);
	EXPECT_EQ(folder.fPlatform, -1);
	EXPECT_EQ(folder.fOffset, -1);
	EXPECT_EQ(folder.fMode, 0777);
	EXPECT_EQ(folder.fName, nullptr);
	EXPECT_FALSE(folder.fSelected);
	EXPECT_TRUE(folder.IsFolder());
	folder.fIsTop = true;
	folder.AdoptName(strdup("top"));
	folder.Unset();
	EXPECT_FALSE(folder.fIsTop);
	EXPECT_STREQ(folder.fName, "top") << "Unset leaves the name";

	ArchivePatchItem patch;
	EXPECT_EQ(patch.fOriginalRef.device, (dev_t)-1);
	EXPECT_EQ(patch.fOriginalRef.directory, (ino_t)-1);
	EXPECT_EQ(patch.fOriginalRef.name, nullptr);
	patch.AdoptName(strdup("tool"));
	patch.AdoptMimeType(strdup("application/x-vnd.tool"));
	patch.fOldSize = 4096;
	patch.fSize = 5000;
	patch.fVersion[2] = 9;
	patch.fOriginalRef = entry_ref(3, 44, "tool");
	ArchivePatchItem copy(patch);
	EXPECT_STREQ(copy.fName, "tool");
	EXPECT_NE(copy.fName, patch.fName) << "a copy of its own";
	EXPECT_EQ(copy.fMimeType, nullptr);
	EXPECT_EQ(copy.fOldSize, 4096);
	EXPECT_EQ(copy.fSize, 5000);
	EXPECT_EQ(copy.fVersion[2], 9);
	EXPECT_EQ(copy.fOriginalRef, patch.fOriginalRef);
}
