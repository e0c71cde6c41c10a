#include <Directory.h>
#include <File.h>
#include <Node.h>
#include <TypeConstants.h>

#include <TempRoot.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <vector>

class AttributeTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		fRoot.WriteFile("boot/file", "contents");
		fHostFile = fRoot.HostPath("boot/file");
		ASSERT_EQ(fNode.SetTo("/boot/file"), B_OK);
	}

	std::string HostXattr(const std::string& name)
	{
		char buffer[70000];
		ssize_t size = getxattr(fHostFile.c_str(), name.c_str(), buffer, sizeof(buffer));
		return size < 0 ? std::string("<none>") : std::string(buffer, size);
	}

	std::set<std::string> AttributeNames()
	{
		std::set<std::string> names;
		EXPECT_EQ(fNode.RewindAttrs(), B_OK);
		char name[B_ATTR_NAME_LENGTH];
		while (fNode.GetNextAttrName(name) == B_OK)
			names.insert(name);
		return names;
	}

	std::string fHostFile;
	BNode fNode;
};

TEST_F(AttributeTest, RoundTripWithTypesAndExactHostData)
{
	int32 number = 0x01020304;
	ASSERT_EQ(fNode.WriteAttr("count", B_INT32_TYPE, 0, &number, 4), 4);
	ASSERT_EQ(fNode.WriteAttr("label", B_STRING_TYPE, 0, "hello", 6), 6);

	int32 readBack = 0;
	EXPECT_EQ(fNode.ReadAttr("count", B_INT32_TYPE, 0, &readBack, 4), 4);
	EXPECT_EQ(readBack, number);
	char text[16] = {};
	EXPECT_EQ(fNode.ReadAttr("label", B_STRING_TYPE, 0, text, sizeof(text)), 6);
	EXPECT_STREQ(text, "hello");

	attr_info info;
	ASSERT_EQ(fNode.GetAttrInfo("count", &info), B_OK);
	EXPECT_EQ(info.type, (uint32)B_INT32_TYPE);
	EXPECT_EQ(info.size, 4);
	ASSERT_EQ(fNode.GetAttrInfo("label", &info), B_OK);
	EXPECT_EQ(info.type, (uint32)B_STRING_TYPE);
	EXPECT_EQ(info.size, 6);

	// The host attribute holds exactly the data.
	EXPECT_EQ(HostXattr("user.label"), std::string("hello", 6));
	EXPECT_EQ(HostXattr("user.count"), std::string(reinterpret_cast<char*>(&number), 4));

	// A new type replaces the old one; an attribute set by a host tool reads
	// as raw data.
	ASSERT_EQ(fNode.WriteAttr("count", B_INT64_TYPE, 0, "12345678", 8), 8);
	ASSERT_EQ(fNode.GetAttrInfo("count", &info), B_OK);
	EXPECT_EQ(info.type, (uint32)B_INT64_TYPE);
	EXPECT_EQ(info.size, 8);
	ASSERT_EQ(setxattr(fHostFile.c_str(), "user.foreign", "abc", 3, 0), 0);
	ASSERT_EQ(fNode.GetAttrInfo("foreign", &info), B_OK);
	EXPECT_EQ(info.type, (uint32)B_RAW_TYPE);
	EXPECT_EQ(info.size, 3);

	EXPECT_EQ(fNode.ReadAttr("absent", B_RAW_TYPE, 0, text, sizeof(text)), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(fNode.GetAttrInfo("absent", &info), B_ENTRY_NOT_FOUND);
}

TEST_F(AttributeTest, WritesAndReadsAtOffsets)
{
	// Chunks written one after another, as a stream over the attribute does.
	ASSERT_EQ(fNode.WriteAttr("data", B_RAW_TYPE, 0, "abcd", 4), 4);
	ASSERT_EQ(fNode.WriteAttr("data", B_RAW_TYPE, 4, "efgh", 4), 4);
	EXPECT_EQ(HostXattr("user.data"), "abcdefgh");

	// Inside the data: the rest is kept.
	ASSERT_EQ(fNode.WriteAttr("data", B_RAW_TYPE, 2, "XY", 2), 2);
	EXPECT_EQ(HostXattr("user.data"), "abXYefgh");

	// Beyond the end: the gap is zero-filled.
	ASSERT_EQ(fNode.WriteAttr("data", B_RAW_TYPE, 10, "Z", 1), 1);
	EXPECT_EQ(HostXattr("user.data"), std::string("abXYefgh\0\0Z", 11));

	// At offset 0 the data is replaced.
	ASSERT_EQ(fNode.WriteAttr("data", B_RAW_TYPE, 0, "new", 3), 3);
	EXPECT_EQ(HostXattr("user.data"), "new");

	char buffer[8] = {};
	EXPECT_EQ(fNode.ReadAttr("data", B_RAW_TYPE, 1, buffer, sizeof(buffer)), 2);
	EXPECT_EQ(std::string(buffer, 2), "ew");
	EXPECT_EQ(fNode.ReadAttr("data", B_RAW_TYPE, 3, buffer, sizeof(buffer)), 0);
	EXPECT_EQ(fNode.ReadAttr("data", B_RAW_TYPE, 100, buffer, sizeof(buffer)), 0);
	EXPECT_EQ(fNode.ReadAttr("data", B_RAW_TYPE, 0, buffer, 1), 1);
	EXPECT_EQ(buffer[0], 'n');
	EXPECT_EQ(fNode.ReadAttr("data", B_RAW_TYPE, -1, buffer, 1), B_BAD_VALUE);
}

TEST_F(AttributeTest, RemovalAndIterationHideReservedAttributes)
{
	ASSERT_EQ(fNode.WriteAttr("one", B_STRING_TYPE, 0, "1", 2), 2);
	ASSERT_EQ(fNode.WriteAttr("two", B_STRING_TYPE, 0, "2", 2), 2);
	ASSERT_EQ(fNode.SetCreationTime(123456), B_OK);
	// Attributes of other namespaces are not the node's attributes.
	setxattr(fHostFile.c_str(), "trusted.hidden", "x", 1, 0);

	EXPECT_EQ(AttributeNames(), (std::set<std::string>{"one", "two"}));

	ASSERT_EQ(fNode.RemoveAttr("one"), B_OK);
	EXPECT_EQ(HostXattr("user.one"), "<none>");
	EXPECT_EQ(AttributeNames(), (std::set<std::string>{"two"}));
	EXPECT_EQ(fNode.RemoveAttr("one"), B_ENTRY_NOT_FOUND);

	// The type table forgets a removed attribute: written again from a host
	// tool it is raw data.
	ASSERT_EQ(setxattr(fHostFile.c_str(), "user.one", "x", 1, 0), 0);
	attr_info info;
	ASSERT_EQ(fNode.GetAttrInfo("one", &info), B_OK);
	EXPECT_EQ(info.type, (uint32)B_RAW_TYPE);

	// Iteration ends with B_ENTRY_NOT_FOUND and starts again after a rewind.
	char name[B_ATTR_NAME_LENGTH];
	EXPECT_EQ(fNode.RewindAttrs(), B_OK);
	int count = 0;
	while (fNode.GetNextAttrName(name) == B_OK)
		count++;
	EXPECT_EQ(count, 2);
	EXPECT_EQ(fNode.GetNextAttrName(name), B_ENTRY_NOT_FOUND);

	// Reserved names cannot be written through the kit.
	EXPECT_EQ(fNode.WriteAttr("kestrovan.types", B_RAW_TYPE, 0, "x", 1), B_NOT_ALLOWED);
}

TEST_F(AttributeTest, MimeTypeIsMirroredForDesktopTools)
{
	const char* type = "text/plain";
	ASSERT_EQ(fNode.WriteAttr("BEOS:TYPE", B_MIME_STRING_TYPE, 0, type, strlen(type) + 1),
		(ssize_t)strlen(type) + 1);
	EXPECT_EQ(HostXattr("user.BEOS:TYPE"), std::string(type, strlen(type) + 1));
	EXPECT_EQ(HostXattr("user.mime_type"), "text/plain");
	// The mirror does not show as a second attribute.
	EXPECT_EQ(AttributeNames(), (std::set<std::string>{"BEOS:TYPE"}));

	ASSERT_EQ(fNode.RemoveAttr("BEOS:TYPE"), B_OK);
	EXPECT_EQ(HostXattr("user.mime_type"), "<none>");
	EXPECT_TRUE(AttributeNames().empty());
}

TEST_F(AttributeTest, HostLimitsAreRefusedWithNothingWritten)
{
	// "user." plus the name may have at most 255 bytes.
	std::string longest(250, 'n');
	EXPECT_EQ(fNode.WriteAttr(longest.c_str(), B_RAW_TYPE, 0, "ok", 2), 2);
	std::string tooLong(251, 'n');
	EXPECT_EQ(fNode.WriteAttr(tooLong.c_str(), B_RAW_TYPE, 0, "no", 2), B_NAME_TOO_LONG);
	attr_info info;
	EXPECT_NE(fNode.GetAttrInfo(tooLong.c_str(), &info), B_OK);

	// A value over 64 KiB is refused as a whole, also when reached by an
	// offset, and the earlier value stays.
	std::vector<char> big(65537, 'b');
	ASSERT_EQ(fNode.WriteAttr("big", B_RAW_TYPE, 0, "small", 5), 5);
	ssize_t result = fNode.WriteAttr("big", B_RAW_TYPE, 0, big.data(), big.size());
	EXPECT_LT(result, 0);
	EXPECT_EQ(fNode.WriteAttr("big", B_RAW_TYPE, 65530, "0123456789", 10), result);
	EXPECT_EQ(HostXattr("user.big"), "small");
	EXPECT_EQ(fNode.WriteAttr("huge", B_RAW_TYPE, 0, big.data(), big.size()), result);
	EXPECT_EQ(fNode.GetAttrInfo("huge", &info), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(AttributeNames().count("huge"), 0u);

	EXPECT_EQ(fNode.WriteAttr("", B_RAW_TYPE, 0, "x", 1), B_BAD_VALUE);
	EXPECT_EQ(fNode.WriteAttr(nullptr, B_RAW_TYPE, 0, "x", 1), B_BAD_VALUE);
}

TEST_F(AttributeTest, AFullAttributeBlockIsAStatusAndLeavesNoTrace)
{
	// ext4 keeps about one block of attributes per node: fill it.
	std::vector<char> chunk(3000, 'c');
	status_t failure = B_OK;
	int written = 0;
	for (int i = 0; i < 64 && failure == B_OK; i++) {
		std::string name = "fill" + std::to_string(i);
		ssize_t result = fNode.WriteAttr(name.c_str(), B_RAW_TYPE, 0, chunk.data(),
			chunk.size());
		if (result < 0)
			failure = result;
		else
			written++;
	}
	if (failure == B_OK)
		GTEST_SKIP() << "this host file system holds large attribute sets";
	EXPECT_TRUE(failure == B_DEVICE_FULL || failure == errno_to_status(E2BIG)) << failure;
	// The refused attribute is not there, the others are intact.
	std::string refused = "fill" + std::to_string(written);
	attr_info info;
	EXPECT_EQ(fNode.GetAttrInfo(refused.c_str(), &info), B_ENTRY_NOT_FOUND);
	ASSERT_EQ(fNode.GetAttrInfo("fill0", &info), B_OK);
	EXPECT_EQ(info.size, 3000);
}

TEST_F(AttributeTest, RenameAndFileHandles)
{
	ASSERT_EQ(fNode.WriteAttr("old", B_INT32_TYPE, 0, "abcd", 4), 4);
	ASSERT_EQ(fNode.RenameAttr("old", "new"), B_OK);
	attr_info info;
	EXPECT_EQ(fNode.GetAttrInfo("old", &info), B_ENTRY_NOT_FOUND);
	ASSERT_EQ(fNode.GetAttrInfo("new", &info), B_OK);
	EXPECT_EQ(info.type, (uint32)B_INT32_TYPE);

	// A file open for reading or writing has the same attributes.
	BFile file("/boot/file", B_READ_ONLY);
	ASSERT_EQ(file.InitCheck(), B_OK);
	char buffer[4];
	EXPECT_EQ(file.ReadAttr("new", B_INT32_TYPE, 0, buffer, 4), 4);
	EXPECT_EQ(file.WriteAttr("fromFile", B_STRING_TYPE, 0, "f", 2), 2);
	EXPECT_EQ(HostXattr("user.fromFile"), std::string("f", 2));

	// Attributes of a directory.
	BNode directory("/boot");
	ASSERT_EQ(directory.InitCheck(), B_OK);
	EXPECT_EQ(directory.WriteAttr("dirattr", B_STRING_TYPE, 0, "d", 2), 2);
	EXPECT_EQ(directory.ReadAttr("dirattr", B_STRING_TYPE, 0, buffer, 4), 2);
}

// Files and folders hold open descriptors of every kind (read-only,
// read-write, directory, path-only): attributes, permissions and times go
// through each of them alike, and none of those calls takes the node's own
// descriptor away from it.
TEST_F(AttributeTest, EveryKindOfOpenNodeCarriesAttributesAndStaysOpen)
{
	const char text[] = "typed";
	BFile readOnly("/boot/file", B_READ_ONLY);
	ASSERT_EQ(readOnly.InitCheck(), B_OK);
	EXPECT_EQ(readOnly.WriteAttr("from read-only", B_STRING_TYPE, 0, text, sizeof(text)),
		(ssize_t)sizeof(text));
	EXPECT_EQ(HostXattr("user.from read-only"), std::string(text, sizeof(text)));

	BFile readWrite("/boot/file", B_READ_WRITE);
	ASSERT_EQ(readWrite.InitCheck(), B_OK);
	EXPECT_EQ(readWrite.WriteAttr("from read-write", B_INT32_TYPE, 0, "abcd", 4), 4);
	attr_info info;
	ASSERT_EQ(fNode.GetAttrInfo("from read-write", &info), B_OK);
	EXPECT_EQ(info.type, (type_code)B_INT32_TYPE);
	ASSERT_EQ(readWrite.GetAttrInfo("from read-only", &info), B_OK);
	EXPECT_EQ(info.type, (type_code)B_STRING_TYPE);

	ASSERT_EQ(readWrite.SetPermissions(0640), B_OK);
	ASSERT_EQ(readWrite.SetModificationTime(1000000000), B_OK);
	ASSERT_EQ(readWrite.SetCreationTime(900000000), B_OK);
	struct stat st;
	ASSERT_EQ(readWrite.GetStat(&st), B_OK);
	EXPECT_EQ(st.st_mode & 07777, 0640u);
	EXPECT_EQ(st.st_mtime, 1000000000);
	time_t created;
	ASSERT_EQ(fNode.GetCreationTime(&created), B_OK);
	EXPECT_EQ(created, 900000000);

	// The file still writes and reads through its own descriptor.
	EXPECT_EQ(readWrite.WriteAt(0, "CON", 3), 3);
	char buffer[8] = {};
	EXPECT_EQ(readOnly.ReadAt(0, buffer, 8), 8);
	EXPECT_EQ(std::string(buffer, 8), "CONtents");

	ASSERT_EQ(mkdir(fRoot.HostPath("boot/folder").c_str(), 0755), 0);
	BDirectory folder("/boot/folder");
	ASSERT_EQ(folder.InitCheck(), B_OK);
	EXPECT_EQ(folder.WriteAttr("on folder", B_STRING_TYPE, 0, text, sizeof(text)),
		(ssize_t)sizeof(text));
	ASSERT_EQ(folder.SetPermissions(0750), B_OK);
	char value[sizeof(text)] = {};
	BNode folderNode("/boot/folder");
	EXPECT_EQ(folderNode.ReadAttr("on folder", B_STRING_TYPE, 0, value, sizeof(value)),
		(ssize_t)sizeof(text));
	EXPECT_STREQ(value, text);
	EXPECT_EQ(folder.CountEntries(), 0);
	struct stat host;
	ASSERT_EQ(stat(fRoot.HostPath("boot/folder").c_str(), &host), 0);
	EXPECT_EQ(host.st_mode & 07777, 0750u);
}
