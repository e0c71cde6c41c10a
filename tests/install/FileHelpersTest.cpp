// The engine's file-system helpers and the query result list.

#include "TempRoot.h"

#include "CreatePath.h"
#include "REntryList.h"

#include <Directory.h>
#include <Entry.h>
#include <Path.h>

#include <sys/stat.h>

#include <filesystem>

class FileHelpersTest : public TempRootTest {};


TEST_F(FileHelpersTest, CreatePathAt)
{
	BDirectory data("/Data");
	BEntry result;
	ASSERT_EQ(CreatePathAt(&data, "//a///b/c/", &result), B_OK);
	EXPECT_TRUE(std::filesystem::is_directory(fRoot.HostPath("Data/a/b/c")));
	BPath path;
	ASSERT_EQ(result.GetPath(&path), B_OK);
	EXPECT_STREQ(path.Path(), "/Data/a/b/c");
	// Existing folders are gone through.
	ASSERT_EQ(CreatePathAt(&data, "a/b/d", &result), B_OK);
	EXPECT_TRUE(std::filesystem::is_directory(fRoot.HostPath("Data/a/b/d")));

	BEntry untouched;
	EXPECT_EQ(CreatePathAt(&data, "///", &untouched), B_OK);
	EXPECT_NE(untouched.InitCheck(), B_OK);

	fRoot.WriteFile("Data/file", "f");
	EXPECT_NE(CreatePathAt(&data, "file/inner", &result), B_OK);
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("Data/file/inner")));
	// ".." never climbs out of the system root.
	CreatePathAt(&data, "../../../../escape", &result);
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("../escape")));
}


TEST_F(FileHelpersTest, RootFindDirectoryAndRecursiveDelete)
{
	BPath path;
	EXPECT_STREQ(root_find_directory(B_COMMON_ADDONS_DIRECTORY, &path),
		"home/config/add-ons");
	EXPECT_EQ(root_find_directory((directory_which)12345, &path), nullptr);

	fRoot.WriteFile("Data/tree/a/b/file", "x");
	fRoot.WriteFile("Data/tree/top", "y");
	BEntry tree("/Data/tree");
	EXPECT_EQ(RecursiveDelete(&tree), B_OK);
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("Data/tree")));
	fRoot.WriteFile("Data/single", "z");
	BEntry single("/Data/single");
	EXPECT_EQ(RecursiveDelete(&single), B_OK);
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("Data/single")));
}


TEST(FileCreationMaskTest, ReadWithoutChange)
{
	mode_t saved = umask(027);
	EXPECT_EQ(file_creation_mask(), (mode_t)027);
	EXPECT_EQ(file_creation_mask(), (mode_t)027);
	umask(0002);
	EXPECT_EQ(file_creation_mask(), (mode_t)0002);
	EXPECT_EQ(umask(saved), (mode_t)0002);
}


TEST(REntryListTest, CursorRemovalAndIntersection)
{
	entry_ref a(3, 10, "a"), b(3, 10, "b"), c(3, 11, "c");
	REntryList list;
	entry_ref ref;
	EXPECT_EQ(list.GetNextRef(&ref), B_ERROR);
	list.AddRef(&a);
	list.AddRef(&b);
	list.AddRef(&c);
	EXPECT_EQ(list.CountEntries(), 3);
	EXPECT_EQ(list.GetNextDirents(nullptr, 0), 0);

	// Removing the current reference: the next step lands on the one after.
	ASSERT_EQ(list.GetNextRef(&ref), B_OK);
	ASSERT_EQ(list.GetNextRef(&ref), B_OK);
	EXPECT_EQ(ref, b);
	list.RemoveCurrent();
	ASSERT_EQ(list.GetNextRef(&ref), B_OK);
	EXPECT_EQ(ref, c);
	EXPECT_EQ(list.GetNextRef(&ref), B_ERROR);
	EXPECT_EQ(list.GetNextRef(&ref), B_ERROR);
	EXPECT_EQ(list.CountEntries(), 2);

	REntryList other;
	other.AddRef(&c);
	other.AddRef(&b);
	list.AddRef(&b);
	list.QueryAnd(&other);
	list.Rewind();
	ASSERT_EQ(list.GetNextRef(&ref), B_OK);
	EXPECT_EQ(ref, c);
	ASSERT_EQ(list.GetNextRef(&ref), B_OK);
	EXPECT_EQ(ref, b);
	EXPECT_EQ(list.CountEntries(), 2);
	REntryList empty;
	list.QueryAnd(&empty);
	EXPECT_EQ(list.CountEntries(), 0);
}
