#include <Directory.h>
#include <Entry.h>
#include <Path.h>

#include <TempRoot.h>

#include <filesystem>

class PathTest : public TempRootTest {};

TEST_F(PathTest, TextsLeavesAndParents)
{
	BPath path("/boot/home/config");
	ASSERT_EQ(path.InitCheck(), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home/config");
	EXPECT_STREQ(path.Leaf(), "config");

	BPath parent;
	ASSERT_EQ(path.GetParent(&parent), B_OK);
	EXPECT_STREQ(parent.Path(), "/boot/home");
	ASSERT_EQ(parent.GetParent(&parent), B_OK);
	ASSERT_EQ(parent.GetParent(&parent), B_OK);
	EXPECT_STREQ(parent.Path(), "/");
	EXPECT_STREQ(parent.Leaf(), "");
	EXPECT_EQ(parent.GetParent(&parent), B_ENTRY_NOT_FOUND);

	// A clean text needs no existing folders.
	ASSERT_EQ(path.SetTo("/boot/not/yet", "there"), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/not/yet/there");
	ASSERT_EQ(path.Append("more/leaf"), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/not/yet/there/more/leaf");
	EXPECT_EQ(path.Append("/absolute"), B_BAD_VALUE);
	ASSERT_EQ(path.SetTo("/boot/trailing/"), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/trailing");

	EXPECT_TRUE(BPath("/boot/a") == BPath("/boot", "a"));
	EXPECT_TRUE(BPath("/boot/a") == "/boot/a");
	EXPECT_TRUE(BPath("/boot/a") != "/boot/b");

	BPath bad;
	EXPECT_EQ(bad.InitCheck(), B_NO_INIT);
	EXPECT_EQ(bad.Path(), nullptr);
	EXPECT_EQ(bad.SetTo((const char*)nullptr), B_BAD_VALUE);
	EXPECT_EQ(bad.SetTo("/boot", "/leaf"), B_BAD_VALUE);
}

TEST_F(PathTest, NormalizingResolvesInsideTheRoot)
{
	std::filesystem::create_directories(fRoot.HostPath("boot/home/config"));
	std::filesystem::create_directory_symlink("/boot/home", fRoot.HostPath("Data/homelink"));

	BPath path("/boot/home/./config/../config", nullptr, true);
	ASSERT_EQ(path.InitCheck(), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home/config");
	// Texts with dots or double slashes are always normalised.
	ASSERT_EQ(path.SetTo("/boot//home/../../../boot/home"), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home");
	// Links on the way are resolved, the leaf is not.
	ASSERT_EQ(path.SetTo("/Data/homelink/config", nullptr, true), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home/config");
	ASSERT_EQ(path.SetTo("/Data/homelink", nullptr, true), B_OK);
	EXPECT_STREQ(path.Path(), "/Data/homelink");
	// The leaf need not exist, its folder must.
	ASSERT_EQ(path.SetTo("/boot/home/new", nullptr, true), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home/new");
	EXPECT_EQ(path.SetTo("/boot/none/new", nullptr, true), B_ENTRY_NOT_FOUND);

	// Relative texts start at the working directory, /boot by default.
	ASSERT_EQ(path.SetTo("home/config"), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home/config");

	BDirectory home("/boot/home");
	ASSERT_EQ(path.SetTo(&home, "config"), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home/config");
	ASSERT_EQ(path.SetTo(&home, nullptr), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home");

	// From entries and refs.
	BEntry entry("/boot/home/config");
	BPath fromEntry(&entry);
	EXPECT_STREQ(fromEntry.Path(), "/boot/home/config");
	entry_ref ref;
	ASSERT_EQ(entry.GetRef(&ref), B_OK);
	BPath fromRef(&ref);
	EXPECT_TRUE(fromRef == fromEntry);
}
