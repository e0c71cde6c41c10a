#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Node.h>
#include <TypeConstants.h>

#include <TempRoot.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

class StatableTest : public TempRootTest {};

TEST_F(StatableTest, PermissionsOwnersAndKinds)
{
	fRoot.WriteFile("boot/tool", "#!/bin/sh\n");
	BEntry entry("/boot/tool");
	ASSERT_EQ(entry.SetPermissions(0751), B_OK);
	mode_t mode;
	ASSERT_EQ(entry.GetPermissions(&mode), B_OK);
	EXPECT_EQ(mode, (mode_t)0751);
	struct stat st;
	ASSERT_EQ(stat(fRoot.HostPath("boot/tool").c_str(), &st), 0);
	EXPECT_EQ(st.st_mode & 07777, 0751u);

	// Through a node, including special bits.
	BNode node("/boot/tool");
	ASSERT_EQ(node.SetPermissions(04755), B_OK);
	ASSERT_EQ(node.GetPermissions(&mode), B_OK);
	EXPECT_EQ(mode, (mode_t)04755);

	uid_t owner;
	gid_t group;
	ASSERT_EQ(node.GetOwner(&owner), B_OK);
	ASSERT_EQ(node.GetGroup(&group), B_OK);
	EXPECT_EQ(owner, st.st_uid);
	EXPECT_EQ(group, st.st_gid);
	EXPECT_EQ(node.SetOwner(owner), B_OK);
	EXPECT_EQ(node.SetGroup(group), B_OK);

	EXPECT_TRUE(node.IsFile());
	EXPECT_FALSE(node.IsDirectory());
	BDirectory directory("/boot");
	EXPECT_TRUE(directory.IsDirectory());

	node_ref fromNode, fromEntry;
	ASSERT_EQ(node.GetNodeRef(&fromNode), B_OK);
	ASSERT_EQ(entry.GetNodeRef(&fromEntry), B_OK);
	EXPECT_EQ(fromNode, fromEntry);
	EXPECT_EQ(fromNode.node, st.st_ino);

	BEntry missing("/boot/none");
	EXPECT_EQ(missing.GetPermissions(&mode), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(missing.SetPermissions(0644), B_ENTRY_NOT_FOUND);
	BNode unset;
	EXPECT_EQ(unset.GetPermissions(&mode), B_NO_INIT);
}

TEST_F(StatableTest, ModificationAndAccessTimes)
{
	fRoot.WriteFile("Data/file", "x");
	BNode node("/Data/file");
	ASSERT_EQ(node.SetModificationTime(946684800), B_OK);
	ASSERT_EQ(node.SetAccessTime(978307200), B_OK);
	time_t mtime, atime;
	ASSERT_EQ(node.GetModificationTime(&mtime), B_OK);
	ASSERT_EQ(node.GetAccessTime(&atime), B_OK);
	EXPECT_EQ(mtime, 946684800);
	EXPECT_EQ(atime, 978307200);
	struct stat st;
	ASSERT_EQ(stat(fRoot.HostPath("Data/file").c_str(), &st), 0);
	EXPECT_EQ(st.st_mtime, 946684800);
	EXPECT_EQ(st.st_atime, 978307200);

	// Directories too.
	BEntry folder("/Data");
	ASSERT_EQ(folder.SetModificationTime(1000), B_OK);
	ASSERT_EQ(folder.GetModificationTime(&mtime), B_OK);
	EXPECT_EQ(mtime, 1000);
}

TEST_F(StatableTest, CreationTimeIsKeptBesideTheNode)
{
	fRoot.WriteFile("boot/file", "x");
	BEntry entry("/boot/file");
	time_t created;
	// Before any is set: the birth time (or the modification time), which is
	// about now for a new file.
	ASSERT_EQ(entry.GetCreationTime(&created), B_OK);
	EXPECT_GT(created, 1600000000);

	ASSERT_EQ(entry.SetCreationTime(631152000), B_OK);
	ASSERT_EQ(entry.GetCreationTime(&created), B_OK);
	EXPECT_EQ(created, 631152000);
	// Kept in a reserved attribute that iteration does not show.
	EXPECT_GT(getxattr(fRoot.HostPath("boot/file").c_str(), "user.kestrovan.crtime", nullptr,
		0), 0);
	BNode node(&entry);
	char name[B_ATTR_NAME_LENGTH];
	EXPECT_EQ(node.GetNextAttrName(name), B_ENTRY_NOT_FOUND);
	// Setting the modification time leaves it alone.
	ASSERT_EQ(node.SetModificationTime(700000000), B_OK);
	ASSERT_EQ(node.GetCreationTime(&created), B_OK);
	EXPECT_EQ(created, 631152000);

	// A link keeps no attributes: its creation time cannot be recorded, and
	// that is no error.
	std::filesystem::create_symlink("file", fRoot.HostPath("boot/link"));
	BEntry link("/boot/link");
	EXPECT_EQ(link.SetCreationTime(1234), B_OK);
	ASSERT_EQ(link.GetCreationTime(&created), B_OK);
	EXPECT_NE(created, 1234);
	// Nor through the link's own node, nor its attributes.
	BNode linkNode(&link);
	ASSERT_EQ(linkNode.InitCheck(), B_OK);
	EXPECT_EQ(linkNode.SetCreationTime(1234), B_OK);
	EXPECT_EQ(linkNode.WriteAttr("note", B_RAW_TYPE, 0, "x", 2), 2);
	EXPECT_EQ(linkNode.ReadAttr("note", B_RAW_TYPE, 0, name, sizeof(name)),
		B_ENTRY_NOT_FOUND);
	// The target is untouched.
	ASSERT_EQ(entry.GetCreationTime(&created), B_OK);
	EXPECT_EQ(created, 631152000);
	EXPECT_EQ(node.ReadAttr("note", B_RAW_TYPE, 0, name, sizeof(name)), B_ENTRY_NOT_FOUND);
}

TEST_F(StatableTest, AnOpenNodeKeepsItsIdentityUntilItIsSetToAnother)
{
	fRoot.WriteFile("boot/first/file", "1");
	fRoot.WriteFile("boot/second/file", "2");
	struct stat first, second;
	ASSERT_EQ(stat(fRoot.HostPath("boot/first").c_str(), &first), 0);
	ASSERT_EQ(stat(fRoot.HostPath("boot/second").c_str(), &second), 0);

	BDirectory folder("/boot/first");
	node_ref ref;
	ASSERT_EQ(folder.GetNodeRef(&ref), B_OK);
	EXPECT_EQ(ref.node, first.st_ino);
	// Renamed and replaced by another at its path, it is still itself.
	std::filesystem::rename(fRoot.HostPath("boot/first"), fRoot.HostPath("boot/moved"));
	std::filesystem::create_directory(fRoot.HostPath("boot/first"));
	ASSERT_EQ(folder.GetNodeRef(&ref), B_OK);
	EXPECT_EQ(ref.node, first.st_ino);

	// Set to another node, copied, or unset, it answers for what it is now.
	ASSERT_EQ(folder.SetTo("/boot/second"), B_OK);
	ASSERT_EQ(folder.GetNodeRef(&ref), B_OK);
	EXPECT_EQ(ref.node, second.st_ino);
	BDirectory copy;
	copy = BDirectory("/boot/moved");
	ASSERT_EQ(copy.GetNodeRef(&ref), B_OK);
	EXPECT_EQ(ref.node, first.st_ino);
	folder.Unset();
	EXPECT_NE(folder.GetNodeRef(&ref), B_OK);
}
