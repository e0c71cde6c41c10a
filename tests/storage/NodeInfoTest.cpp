// Types, preferred applications, signatures and versions of files.

#include "ExtrasFixture.h"

#include <AppFileInfo.h>
#include <Entry.h>
#include <File.h>
#include <Node.h>
#include <NodeInfo.h>
#include <Resources.h>
#include <TypeConstants.h>

#include <sys/xattr.h>

#include <cstring>

using NodeInfoTest = ExtrasTest;

namespace {

version_info
make_version(uint32 major, const char* shortInfo)
{
	version_info info = {};
	info.major = major;
	info.middle = 2;
	info.minor = 3;
	info.variety = 4;
	info.internal = 5;
	strcpy(info.short_info, shortInfo);
	strcpy(info.long_info, "a longer description");
	return info;
}

} // namespace

TEST_F(NodeInfoTest, TypeAndPreferredApp)
{
	MakeFile("/boot/home/letter", "Dear reader");
	BNode node("/boot/home/letter");
	BNodeInfo info(&node);
	ASSERT_EQ(info.InitCheck(), B_OK);

	char type[B_MIME_TYPE_LENGTH];
	EXPECT_EQ(info.GetType(type), B_ENTRY_NOT_FOUND);
	ASSERT_EQ(info.SetType("text/plain"), B_OK);
	ASSERT_EQ(info.GetType(type), B_OK);
	EXPECT_STREQ(type, "text/plain");

	// Kept as a MIME string with its zero byte, and seen by host tools.
	attr_info attr;
	ASSERT_EQ(node.GetAttrInfo("BEOS:TYPE", &attr), B_OK);
	EXPECT_EQ(attr.type, (uint32)B_MIME_STRING_TYPE);
	EXPECT_EQ(attr.size, (off_t)strlen("text/plain") + 1);
	char host[64] = {};
	ssize_t hostLength = getxattr(HostPath("/boot/home/letter").c_str(),
		"user.mime_type", host, sizeof(host));
	EXPECT_EQ(std::string(host, hostLength > 0 ? hostLength : 0), "text/plain");

	ASSERT_EQ(info.SetType("text/x-email"), B_OK);
	ASSERT_EQ(info.GetType(type), B_OK);
	EXPECT_STREQ(type, "text/x-email") << "a shorter type replaces a longer one";

	std::string tooLong(B_MIME_TYPE_LENGTH, 'a');
	EXPECT_EQ(info.SetType(tooLong.c_str()), B_BAD_VALUE);
	ASSERT_EQ(info.GetType(type), B_OK);
	EXPECT_STREQ(type, "text/x-email");

	ASSERT_EQ(info.SetType(nullptr), B_OK);
	EXPECT_EQ(info.GetType(type), B_ENTRY_NOT_FOUND);

	char app[B_MIME_TYPE_LENGTH];
	EXPECT_EQ(info.GetPreferredApp(app), B_ENTRY_NOT_FOUND);
	ASSERT_EQ(info.SetPreferredApp("application/x-vnd.Maker-Editor"), B_OK);
	ASSERT_EQ(info.GetPreferredApp(app), B_OK);
	EXPECT_STREQ(app, "application/x-vnd.Maker-Editor");

	MakeExecutable("/boot/apps/Editor");
	entry_ref editor, hint;
	ASSERT_EQ(get_ref_for_path("/boot/apps/Editor", &editor), B_OK);
	EXPECT_NE(info.GetAppHint(&hint), B_OK);
	ASSERT_EQ(info.SetAppHint(&editor), B_OK);
	ASSERT_EQ(info.GetAppHint(&hint), B_OK);
	EXPECT_EQ(hint, editor);

	BNode unset;
	BNodeInfo none(&unset);
	EXPECT_NE(none.InitCheck(), B_OK);
	EXPECT_NE(none.GetType(type), B_OK);
	EXPECT_EQ(none.SetTo(nullptr), B_BAD_VALUE);
}

TEST_F(NodeInfoTest, VersionFromAttributeAndFromResources)
{
	// From the attribute of a plain file.
	MakeFile("/boot/home/data", std::string());
	BFile file("/boot/home/data", B_READ_WRITE);
	BAppFileInfo info(&file);
	ASSERT_EQ(info.InitCheck(), B_OK);
	version_info read;
	EXPECT_NE(info.GetVersionInfo(&read, B_APP_VERSION_KIND), B_OK);

	version_info app = make_version(7, "7.2.3");
	version_info system = make_version(5, "system");
	ASSERT_EQ(info.SetVersionInfo(&app, B_APP_VERSION_KIND), B_OK);
	ASSERT_EQ(info.SetVersionInfo(&system, B_SYSTEM_VERSION_KIND), B_OK);
	ASSERT_EQ(info.GetVersionInfo(&read, B_APP_VERSION_KIND), B_OK);
	EXPECT_EQ(memcmp(&read, &app, sizeof(read)), 0);
	ASSERT_EQ(info.GetVersionInfo(&read, B_SYSTEM_VERSION_KIND), B_OK);
	EXPECT_EQ(memcmp(&read, &system, sizeof(read)), 0);

	// The record as it lies in the attribute: host (little-endian) order.
	BNode node("/boot/home/data");
	uint8 raw[sizeof(version_info)];
	ASSERT_EQ(node.ReadAttr("BEOS:APP_VERSION", B_APP_VERSION_TYPE, 0, raw,
		sizeof(raw)), (ssize_t)sizeof(raw));
	EXPECT_EQ(raw[0], 7);
	EXPECT_EQ(raw[1], 0);
	EXPECT_STREQ(reinterpret_cast<char*>(raw + 20), "7.2.3");
	off_t size = -1;
	file.GetSize(&size);
	EXPECT_EQ(size, 0) << "a data file takes no resources";

	// From the resources of an executable without the attribute.
	MakeExecutable("/boot/apps/Tool");
	{
		BResources resources("/boot/apps/Tool");
		version_info fromResources = make_version(3, "from resources");
		ASSERT_EQ(resources.AddResource(B_APP_VERSION_TYPE, 1, &fromResources,
			sizeof(fromResources), "BEOS:APP_VERSION"), B_OK);
		ASSERT_EQ(resources.AddResource(B_MIME_STRING_TYPE, 1,
			"application/x-vnd.Maker-Tool", 29, "BEOS:APP_SIG"), B_OK);
		ASSERT_EQ(resources.Sync(), B_OK);
	}
	BFile tool("/boot/apps/Tool", B_READ_WRITE);
	BAppFileInfo toolInfo(&tool);
	ASSERT_EQ(toolInfo.GetVersionInfo(&read, B_APP_VERSION_KIND), B_OK);
	EXPECT_EQ(read.major, 3u);
	EXPECT_STREQ(read.short_info, "from resources");
	EXPECT_NE(toolInfo.GetVersionInfo(&read, B_SYSTEM_VERSION_KIND), B_OK)
		<< "the resource holds only the application's record";
	char signature[B_MIME_TYPE_LENGTH];
	ASSERT_EQ(toolInfo.GetSignature(signature), B_OK);
	EXPECT_STREQ(signature, "application/x-vnd.Maker-Tool");

	// The attribute wins over the resources once it is there.
	BNode toolNode("/boot/apps/Tool");
	version_info fromAttribute = make_version(9, "from attribute");
	ASSERT_EQ(toolNode.WriteAttr("BEOS:APP_VERSION", B_APP_VERSION_TYPE, 0,
		&fromAttribute, sizeof(fromAttribute)), (ssize_t)sizeof(fromAttribute));
	ASSERT_EQ(toolInfo.GetVersionInfo(&read, B_APP_VERSION_KIND), B_OK);
	EXPECT_EQ(read.major, 9u);
}

TEST_F(NodeInfoTest, SignatureAndFlagsInBothLocations)
{
	MakeExecutable("/boot/apps/Tool");
	BFile tool("/boot/apps/Tool", B_READ_WRITE);
	BAppFileInfo info(&tool);
	char signature[B_MIME_TYPE_LENGTH];
	EXPECT_EQ(info.GetSignature(signature), B_ENTRY_NOT_FOUND);
	ASSERT_EQ(info.SetSignature("application/x-vnd.Maker-Tool"), B_OK);
	ASSERT_EQ(info.GetSignature(signature), B_OK);
	EXPECT_STREQ(signature, "application/x-vnd.Maker-Tool");
	ASSERT_EQ(info.SetAppFlags(B_MULTIPLE_LAUNCH | B_BACKGROUND_APP), B_OK);
	uint32 flags = 0;
	ASSERT_EQ(info.GetAppFlags(&flags), B_OK);
	EXPECT_EQ(flags, (uint32)(B_MULTIPLE_LAUNCH | B_BACKGROUND_APP));

	// Written to the executable's resources too: a copy of the file without
	// attributes still knows its signature.
	BResources resources("/boot/apps/Tool");
	EXPECT_TRUE(resources.HasResource(B_MIME_STRING_TYPE, "BEOS:APP_SIG"));
	BNode node("/boot/apps/Tool");
	attr_info attr;
	ASSERT_EQ(node.GetAttrInfo("BEOS:APP_SIG", &attr), B_OK);
	EXPECT_EQ(attr.type, (uint32)B_MIME_STRING_TYPE);

	ASSERT_EQ(info.SetSignature(nullptr), B_OK);
	EXPECT_EQ(info.GetSignature(signature), B_ENTRY_NOT_FOUND);
	std::string tooLong(B_MIME_TYPE_LENGTH + 1, 'x');
	EXPECT_EQ(info.SetSignature(tooLong.c_str()), B_BAD_VALUE);
	EXPECT_EQ(info.GetVersionInfo(nullptr, B_APP_VERSION_KIND), B_BAD_VALUE);
}
