#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Path.h>
#include <SymLink.h>

#include <TempRoot.h>

#include <cstring>
#include <filesystem>

class EntryTest : public TempRootTest {};

TEST_F(EntryTest, ConcreteAndAbstractEntries)
{
	fRoot.WriteFile("boot/home/notes.txt", "hello");

	BEntry file("/boot/home/notes.txt");
	ASSERT_EQ(file.InitCheck(), B_OK);
	EXPECT_TRUE(file.Exists());
	EXPECT_TRUE(file.IsFile());
	char name[B_FILE_NAME_LENGTH];
	ASSERT_EQ(file.GetName(name), B_OK);
	EXPECT_STREQ(name, "notes.txt");
	off_t size;
	ASSERT_EQ(file.GetSize(&size), B_OK);
	EXPECT_EQ(size, 5);

	// An entry whose directory exists is valid even when the node is not.
	BEntry missing("/boot/home/later.txt");
	EXPECT_EQ(missing.InitCheck(), B_OK);
	EXPECT_FALSE(missing.Exists());

	// A missing directory on the way is an error.
	BEntry orphan("/boot/nowhere/file");
	EXPECT_EQ(orphan.InitCheck(), B_ENTRY_NOT_FOUND);
	BEntry noVolume("/NoSuchVolume/file");
	EXPECT_EQ(noVolume.InitCheck(), B_ENTRY_NOT_FOUND);

	BPath path;
	ASSERT_EQ(file.GetPath(&path), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home/notes.txt");

	BEntry parent;
	ASSERT_EQ(file.GetParent(&parent), B_OK);
	ASSERT_EQ(parent.GetPath(&path), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home");
	EXPECT_TRUE(parent.IsDirectory());

	BEntry volume("/boot");
	ASSERT_EQ(volume.InitCheck(), B_OK);
	EXPECT_TRUE(volume.IsDirectory());
	BEntry root;
	ASSERT_EQ(volume.GetParent(&root), B_OK);
	ASSERT_EQ(root.GetPath(&path), B_OK);
	EXPECT_STREQ(path.Path(), "/");
	EXPECT_EQ(root.GetParent(&parent), B_ENTRY_NOT_FOUND);
}

TEST_F(EntryTest, RefsRoundTripThroughEntriesAndPaths)
{
	fRoot.WriteFile("boot/home/docs/readme", "text");
	entry_ref ref;
	ASSERT_EQ(get_ref_for_path("/boot/home/docs/readme", &ref), B_OK);
	EXPECT_STREQ(ref.name, "readme");

	BEntry entry(&ref);
	ASSERT_EQ(entry.InitCheck(), B_OK);
	entry_ref again;
	ASSERT_EQ(entry.GetRef(&again), B_OK);
	EXPECT_EQ(again, ref);
	BPath path(&ref);
	EXPECT_STREQ(path.Path(), "/boot/home/docs/readme");

	// The directory's node is found again after the directory moved, here
	// by a host tool that bypassed the kit.
	std::filesystem::rename(fRoot.HostPath("boot/home/docs"),
		fRoot.HostPath("boot/home/papers"));
	BEntry moved(&ref);
	ASSERT_EQ(moved.InitCheck(), B_OK);
	EXPECT_TRUE(moved.Exists());
	ASSERT_EQ(moved.GetPath(&path), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/home/papers/readme");

	// Also when the kit never saw the new place and the directory went
	// deeper.
	std::filesystem::create_directories(fRoot.HostPath("boot/deep/er"));
	std::filesystem::rename(fRoot.HostPath("boot/home/papers"),
		fRoot.HostPath("boot/deep/er/papers"));
	BPath movedAgain(&ref);
	ASSERT_EQ(movedAgain.InitCheck(), B_OK);
	EXPECT_STREQ(movedAgain.Path(), "/boot/deep/er/papers/readme");

	// An abstract entry's ref names a file that does not exist yet.
	entry_ref future;
	ASSERT_EQ(get_ref_for_path("/boot/deep/er/papers/future", &future), B_OK);
	BFile created(&future, B_WRITE_ONLY | B_CREATE_FILE);
	EXPECT_EQ(created.InitCheck(), B_OK);
	EXPECT_TRUE(std::filesystem::exists(fRoot.HostPath("boot/deep/er/papers/future")));

	// Bad refs.
	entry_ref noName(ref.device, ref.directory, nullptr);
	EXPECT_EQ(BEntry(&noName).InitCheck(), B_BAD_VALUE);
	entry_ref slash(ref.device, ref.directory, "a/b");
	EXPECT_EQ(BEntry(&slash).InitCheck(), B_BAD_VALUE);
	entry_ref badDevice(12345, ref.directory, "x");
	EXPECT_NE(BEntry(&badDevice).InitCheck(), B_OK);
	entry_ref removedDirectory(ref.device, 987654321, "x");
	EXPECT_EQ(BEntry(&removedDirectory).InitCheck(), B_ENTRY_NOT_FOUND);

	// Refs of volumes and of the root.
	entry_ref volumeRef;
	ASSERT_EQ(get_ref_for_path("/Data", &volumeRef), B_OK);
	BPath volumePath(&volumeRef);
	EXPECT_STREQ(volumePath.Path(), "/Data");
}

TEST_F(EntryTest, RenameMoveAndRemove)
{
	fRoot.WriteFile("boot/a/file", "1");
	fRoot.WriteFile("boot/a/other", "2");
	std::filesystem::create_directories(fRoot.HostPath("boot/b"));

	BEntry entry("/boot/a/file");
	ASSERT_EQ(entry.Rename("renamed"), B_OK);
	BPath path(&entry);
	EXPECT_STREQ(path.Path(), "/boot/a/renamed");
	EXPECT_EQ(fRoot.ReadFile("boot/a/renamed"), "1");

	// No clobbering unless asked.
	EXPECT_EQ(entry.Rename("other"), B_FILE_EXISTS);
	EXPECT_EQ(fRoot.ReadFile("boot/a/other"), "2");
	ASSERT_EQ(entry.Rename("other", true), B_OK);
	EXPECT_EQ(fRoot.ReadFile("boot/a/other"), "1");

	// Paths relative to the entry's folder and absolute ones.
	ASSERT_EQ(entry.Rename("../b/moved"), B_OK);
	EXPECT_EQ(fRoot.ReadFile("boot/b/moved"), "1");
	ASSERT_EQ(entry.Rename("/boot/a/back"), B_OK);
	EXPECT_EQ(fRoot.ReadFile("boot/a/back"), "1");

	BDirectory target("/boot/b");
	ASSERT_EQ(entry.MoveTo(&target), B_OK);
	ASSERT_EQ(entry.GetPath(&path), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/b/back");
	ASSERT_EQ(entry.MoveTo(&target, "final"), B_OK);
	EXPECT_TRUE(std::filesystem::exists(fRoot.HostPath("boot/b/final")));

	// Moving between volumes is not a rename.
	BDirectory data("/Data");
	EXPECT_EQ(entry.MoveTo(&data), B_CROSS_DEVICE_LINK);
	EXPECT_TRUE(std::filesystem::exists(fRoot.HostPath("boot/b/final")));
	// Nor can an entry become a volume.
	EXPECT_EQ(entry.Rename("/NewVolume"), B_NOT_ALLOWED);

	// A moved directory carries its entries along.
	BEntry folder("/boot/b");
	BEntry inside("/boot/b/final");
	ASSERT_EQ(folder.Rename("c"), B_OK);
	ASSERT_EQ(inside.GetPath(&path), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/c/final");

	// Remove: files, empty folders; a full folder is refused.
	EXPECT_EQ(folder.Remove(), B_DIRECTORY_NOT_EMPTY);
	ASSERT_EQ(inside.Remove(), B_OK);
	EXPECT_FALSE(inside.Exists());
	EXPECT_EQ(inside.InitCheck(), B_OK);
	ASSERT_EQ(folder.Remove(), B_OK);
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("boot/c")));
	EXPECT_EQ(inside.Remove(), B_ENTRY_NOT_FOUND);

	BEntry volume("/boot");
	EXPECT_EQ(volume.Remove(), B_NOT_ALLOWED);
	BEntry root("/");
	EXPECT_EQ(root.Remove(), B_NOT_ALLOWED);
	EXPECT_EQ(root.SetPermissions(0700), B_NOT_ALLOWED);
}

TEST_F(EntryTest, TraverseEqualityAndCopies)
{
	fRoot.WriteFile("Data/real", "r");
	std::filesystem::create_symlink("real", fRoot.HostPath("Data/alias"));

	BEntry link("/Data/alias");
	BEntry followed("/Data/alias", true);
	BEntry real("/Data/real");
	EXPECT_TRUE(link.IsSymLink());
	EXPECT_TRUE(followed.IsFile());
	EXPECT_TRUE(followed == real);
	EXPECT_TRUE(link != real);

	BEntry copy(link);
	EXPECT_TRUE(copy == link);
	copy = real;
	EXPECT_TRUE(copy == real);
	BEntry unset;
	EXPECT_EQ(unset.InitCheck(), B_NO_INIT);
	EXPECT_FALSE(unset == real);
	EXPECT_TRUE(unset == BEntry());

	BDirectory data("/Data");
	BEntry relative(&data, "alias", true);
	EXPECT_TRUE(relative == real);
	BEntry ofDirectory(&data, nullptr);
	BPath path(&ofDirectory);
	EXPECT_STREQ(path.Path(), "/Data");
}
