#include "SourceTree.h"

#include "ScratchDir.h"

#include <ByteOrder.h>
#include <Errors.h>
#include <TypeConstants.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <fstream>

namespace {

bool
SetXattr(const std::string& path, const char* name, const std::string& value)
{
	return setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}


std::string
TypeRecord(type_code type, const char* name)
{
	uint32 big = B_HOST_TO_BENDIAN_INT32(type);
	return std::string((const char*)&big, 4) + name + std::string(1, '\0');
}

} // namespace


TEST(SourceTreeTest, TreeModesTimesLinksSorted)
{
	ScratchDir dir;
	std::string top = dir / "top";
	mkdir(top.c_str(), 0755);
	mkdir((top + "/sub").c_str(), 0700);
	std::ofstream(top + "/b.txt") << "bee";
	std::ofstream(top + "/a.txt") << "a";
	std::ofstream(top + "/sub/deep") << "deeper";
	chmod((top + "/a.txt").c_str(), 0640);
	ASSERT_EQ(symlink("../a.txt", (top + "/sub/link").c_str()), 0);
	struct timespec times[2] = {{1000000, 0}, {1234567, 0}};
	utimensat(AT_FDCWD, (top + "/b.txt").c_str(), times, 0);

	SourceTree tree;
	ASSERT_EQ(tree.Scan((top + "/").c_str()), B_OK) << tree.ErrorMessage();
	const source_node* root = tree.Root();
	EXPECT_EQ(root->kind, kSourceFolder);
	EXPECT_EQ(root->name, "top");
	EXPECT_EQ(root->path, "");
	ASSERT_EQ(root->children.size(), 3u);
	EXPECT_EQ(root->children[0]->name, "a.txt");
	EXPECT_EQ(root->children[1]->name, "b.txt");
	EXPECT_EQ(root->children[2]->name, "sub");
	EXPECT_EQ(root->children[0]->mode, 0640u);
	EXPECT_EQ(root->children[1]->size, 3);
	EXPECT_EQ(root->children[1]->modificationTime, 1234567);
	EXPECT_EQ(root->children[2]->mode, 0700u);
	EXPECT_EQ(tree.CountFiles(), 3);

	source_node* link = tree.FindNode("sub/link");
	ASSERT_NE(link, nullptr);
	EXPECT_EQ(link->kind, kSourceLink);
	EXPECT_EQ(link->linkTarget, "../a.txt");
	EXPECT_EQ(link->path, "sub/link");
	EXPECT_EQ(tree.FindNode("sub/absent"), nullptr);
	EXPECT_EQ(tree.FindNode(""), tree.Root());

	// A folder named "." is named after what it is.
	char previous[4096];
	ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
	ASSERT_EQ(chdir(top.c_str()), 0);
	status_t status = tree.Scan(".");
	EXPECT_EQ(chdir(previous), 0);
	ASSERT_EQ(status, B_OK);
	EXPECT_EQ(tree.Root()->name, "top");
}


TEST(SourceTreeTest, AttributesTypesAndReservedNames)
{
	ScratchDir dir;
	std::string file = dir / "file";
	std::ofstream(file) << "x";
	if (!SetXattr(file, "user.probe", "1"))
		GTEST_SKIP() << "no user extended attributes on " << dir.Path();
	removexattr(file.c_str(), "user.probe");

	ASSERT_TRUE(SetXattr(file, "user.zeta", "raw"));
	ASSERT_TRUE(SetXattr(file, "user.alpha", std::string("text\0", 5)));
	ASSERT_TRUE(SetXattr(file, "user.kestrovan.types", TypeRecord(B_STRING_TYPE, "alpha")));
	ASSERT_TRUE(SetXattr(file, "user.kestrovan.crtime", std::string("\0\0\0\0\0\0\x01\x00", 8)));
	ASSERT_TRUE(SetXattr(file, "user.mime_type", "text/plain"));

	std::vector<source_attribute> attributes;
	std::string error;
	ASSERT_EQ(SourceTree::ReadAttributes(file.c_str(), false, &attributes, &error), B_OK);
	ASSERT_EQ(attributes.size(), 3u);
	// Sorted by name; the mime mirror becomes the type attribute.
	EXPECT_EQ(attributes[0].name, "BEOS:TYPE");
	EXPECT_EQ(attributes[0].type, (type_code)B_MIME_STRING_TYPE);
	EXPECT_EQ(attributes[0].data, std::string("text/plain\0", 11));
	EXPECT_EQ(attributes[1].name, "alpha");
	EXPECT_EQ(attributes[1].type, (type_code)B_STRING_TYPE);
	EXPECT_EQ(attributes[1].data, std::string("text\0", 5));
	EXPECT_EQ(attributes[2].name, "zeta");
	EXPECT_EQ(attributes[2].type, (type_code)B_RAW_TYPE);

	// With the type attribute present, the freedesktop one is only its mirror.
	ASSERT_TRUE(SetXattr(file, "user.BEOS:TYPE", std::string("text/x-own\0", 11)));
	ASSERT_EQ(SourceTree::ReadAttributes(file.c_str(), false, &attributes, &error), B_OK);
	ASSERT_EQ(attributes.size(), 3u);
	EXPECT_EQ(attributes[0].data, std::string("text/x-own\0", 11));

	SourceTree tree;
	ASSERT_EQ(tree.Scan(dir.Path().c_str()), B_OK);
	EXPECT_EQ(tree.FindNode("file")->creationTime, 256);

	// A list of names longer than the walk's first try at reading it.
	std::string prefix = "user.a-name-long-enough-that-twenty-make-more-than-a-kibibyte-";
	for (int i = 10; i < 30; i++)
		ASSERT_TRUE(SetXattr(file, (prefix + std::to_string(i)).c_str(), std::to_string(i)));
	ASSERT_EQ(tree.Scan(dir.Path().c_str()), B_OK);
	const std::vector<source_attribute>& many = tree.FindNode("file")->attributes;
	ASSERT_EQ(many.size(), 23u);
	EXPECT_EQ(many[1].name, prefix.substr(5) + "10");
	EXPECT_EQ(many[1].data, "10");
	EXPECT_EQ(many[20].data, "29");
	EXPECT_EQ(tree.FindNode("file")->creationTime, 256);
}


TEST(SourceTreeTest, UnpackageableEntriesAreNamed)
{
	ScratchDir dir;
	std::string top = dir / "top";
	mkdir(top.c_str(), 0755);
	ASSERT_EQ(mkfifo((top + "/pipe").c_str(), 0644), 0);
	SourceTree tree;
	EXPECT_EQ(tree.Scan(top.c_str()), B_BAD_TYPE);
	EXPECT_EQ(tree.ErrorMessage(), top + "/pipe: not a file, folder or symbolic link");
	EXPECT_EQ(tree.Root(), nullptr);

	EXPECT_LT(tree.Scan((dir / "absent").c_str()), 0);
	EXPECT_NE(tree.ErrorMessage().find(dir / "absent"), std::string::npos);

	std::ofstream(dir / "plain") << "x";
	EXPECT_EQ(tree.Scan((dir / "plain").c_str()), B_NOT_A_DIRECTORY);
}
