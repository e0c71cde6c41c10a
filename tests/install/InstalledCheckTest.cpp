// Installed items checked against their receipt: intact ones differ in
// nothing; missing items, another kind, other contents, another mode and
// another link target are each reported; an item now reached through a link
// is not taken for itself.

#include "InstalledToolFixture.h"

#include "InstalledCheck.h"

#include <filesystem>
#include <map>
#include <string>

namespace {

// The differences by path.
std::map<std::string, ItemDifference>
Check(const InstallReceipt& receipt)
{
	InstalledCheck check(receipt);
	check.Run();
	std::map<std::string, ItemDifference> found;
	for (const ItemDifference& difference : check.Differences())
		found[difference.fPath] = difference;
	return found;
}

} // namespace


class InstalledCheckTest : public InstalledToolTest {};


TEST_F(InstalledCheckTest, IntactItemsDifferInNothing)
{
	// What the install kept in place of its item is not the package's: it
	// may change as it likes.
	WriteFile("boot/home/config/tool.cfg", "the user's own\n");
	fReceipt.Add("/boot/home/config/tool.cfg", kExistingSkipped);
	WriteFile("boot/home/config/tool.cfg", "the user's own, changed since\n");

	EXPECT_TRUE(Check(fReceipt.fReceipt).empty());
}


TEST_F(InstalledCheckTest, ContentsModeAndLinkTargetChanges)
{
	// Same size, other bytes: only the digest tells.
	WriteFile("boot/apps/Tool/readme", "READ ME\n");
	WriteFile("boot/apps/Tool/docs/guide", "a longer guide\n");
	std::filesystem::permissions(fRoot.HostPath("boot/apps/Tool/tool"),
		(std::filesystem::perms)0700);
	std::filesystem::permissions(fRoot.HostPath("boot/apps/Tool/docs"),
		(std::filesystem::perms)0700);
	std::filesystem::remove(fRoot.HostPath("boot/apps/Tool/current"));
	std::filesystem::create_symlink("readme", fRoot.HostPath("boot/apps/Tool/current"));

	std::map<std::string, ItemDifference> found = Check(fReceipt.fReceipt);
	ASSERT_EQ(found.size(), 5u);
	EXPECT_EQ(found["/boot/apps/Tool/readme"].fWhat, (uint32)kItemContentsChanged);
	EXPECT_EQ(found["/boot/apps/Tool/readme"].fText, "contents changed");
	EXPECT_EQ(found["/boot/apps/Tool/docs/guide"].fWhat, (uint32)kItemContentsChanged);
	EXPECT_EQ(found["/boot/apps/Tool/docs/guide"].fText, "contents changed (size 15, was 8)");
	EXPECT_EQ(found["/boot/apps/Tool/tool"].fWhat, (uint32)kItemModeChanged);
	EXPECT_EQ(found["/boot/apps/Tool/tool"].fText, "mode 0700 (was 0755)");
	EXPECT_EQ(found["/boot/apps/Tool/docs"].fWhat, (uint32)kItemModeChanged);
	EXPECT_EQ(found["/boot/apps/Tool/current"].fWhat, (uint32)kItemLinkTargetChanged);
	EXPECT_EQ(found["/boot/apps/Tool/current"].fText,
		"link target \"readme\" (was \"tool\")");

	// Both at once.
	std::filesystem::permissions(fRoot.HostPath("boot/apps/Tool/readme"),
		(std::filesystem::perms)0600);
	EXPECT_EQ(Check(fReceipt.fReceipt)["/boot/apps/Tool/readme"].fText,
		"contents changed, mode 0600 (was 0644)");
}


TEST_F(InstalledCheckTest, MissingItemsAndItemsOfAnotherKind)
{
	std::filesystem::remove(fRoot.HostPath("boot/apps/Tool/tool"));
	std::filesystem::remove(fRoot.HostPath("boot/apps/Tool/readme"));
	std::filesystem::create_directory(fRoot.HostPath("boot/apps/Tool/readme"));
	std::filesystem::remove(fRoot.HostPath("boot/apps/Tool/current"));
	WriteFile("boot/apps/Tool/current", "tool");

	std::map<std::string, ItemDifference> found = Check(fReceipt.fReceipt);
	ASSERT_EQ(found.size(), 3u);
	EXPECT_EQ(found["/boot/apps/Tool/tool"].fWhat, (uint32)kItemMissing);
	EXPECT_EQ(found["/boot/apps/Tool/tool"].fText, "missing");
	EXPECT_EQ(found["/boot/apps/Tool/readme"].fWhat, (uint32)kItemKindChanged);
	EXPECT_EQ(found["/boot/apps/Tool/readme"].fText, "no longer a file");
	EXPECT_EQ(found["/boot/apps/Tool/current"].fText, "no longer a link");

	// Everything below a folder that went is missing.
	std::filesystem::remove_all(fRoot.HostPath("boot/apps/Tool"));
	found = Check(fReceipt.fReceipt);
	EXPECT_EQ(found.size(), 6u);
	for (const auto& [path, difference] : found)
		EXPECT_EQ(difference.fWhat, (uint32)kItemMissing) << path;
}


// A folder replaced by a link to a copy of it: what the link leads to is
// not what was installed, however alike.
TEST_F(InstalledCheckTest, AnItemReachedThroughALinkIsNotTheItem)
{
	std::filesystem::rename(fRoot.HostPath("boot/apps/Tool/docs"),
		fRoot.HostPath("boot/home-docs"));
	std::filesystem::create_directory_symlink("/boot/home-docs",
		fRoot.HostPath("boot/apps/Tool/docs"));

	std::map<std::string, ItemDifference> found = Check(fReceipt.fReceipt);
	ASSERT_EQ(found.size(), 2u);
	EXPECT_EQ(found["/boot/apps/Tool/docs"].fWhat, (uint32)kItemKindChanged);
	EXPECT_EQ(found["/boot/apps/Tool/docs/guide"].fWhat, (uint32)kItemPlaceChanged);
}


// A folder that was there before the install keeps its own mode; it is the
// package's only in holding its items.
TEST_F(InstalledCheckTest, AFolderThatWasThereIsCheckedForBeingThere)
{
	std::filesystem::create_directories(fRoot.HostPath("boot/home/config"));
	fReceipt.Add("/boot/home/config", kExistingMerged);
	std::filesystem::permissions(fRoot.HostPath("boot/home/config"),
		(std::filesystem::perms)0700);
	EXPECT_TRUE(Check(fReceipt.fReceipt).empty());

	std::filesystem::remove(fRoot.HostPath("boot/home/config"));
	EXPECT_EQ(Check(fReceipt.fReceipt)["/boot/home/config"].fWhat, (uint32)kItemMissing);
}
