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
