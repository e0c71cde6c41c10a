// update_mime_info: types by content, the system's types for folders and
// links, executables with their signatures, forcing and recursion.

#include "ExtrasFixture.h"

#include <AppFileInfo.h>
#include <File.h>
#include <Mime.h>
#include <MimeSniffer.h>
#include <Node.h>
#include <NodeInfo.h>
#include <Resources.h>
#include <TypeConstants.h>

#include <unistd.h>

#include <cstring>

namespace {

// A 1 x 1 pixel PNG image.
const std::vector<uint8> kPNG = {
	0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d,
	0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
	0x08, 0x06, 0x00, 0x00, 0x00, 0x1f, 0x15, 0xc4, 0x89, 0x00, 0x00, 0x00,
	0x0d, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8, 0xcf, 0xc0, 0xf0,
	0x1f, 0x00, 0x05, 0x00, 0x01, 0xff, 0x89, 0x99, 0x3d, 0x1d, 0x00, 0x00,
	0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82,
};

} // namespace

class MimeTest : public ExtrasTest {
protected:
	// The type of the node at a platform path, "" when it has none.
	static std::string TypeOf(const char* path)
	{
		BNode node(path);
		BNodeInfo info(&node);
		char type[B_MIME_TYPE_LENGTH];
		if (info.GetType(type) != B_OK)
			return "";
		return type;
	}

	static std::string SignatureOf(const char* path)
	{
		BNode node(path);
		char signature[B_MIME_TYPE_LENGTH] = {};
		ssize_t read = node.ReadAttr("BEOS:APP_SIG", B_MIME_STRING_TYPE, 0,
			signature, sizeof(signature) - 1);
		return read > 0 ? std::string(signature) : "";
	}
};

TEST(MimeSniffer, KnowsCommonContent)
{
	std::string type;
	ASSERT_EQ(sniff_mime_type("plain words\n", 12, &type), B_OK);
	EXPECT_EQ(type, "text/plain");
	ASSERT_EQ(sniff_mime_type(kPNG.data(), kPNG.size(), &type), B_OK);
	EXPECT_EQ(type, "image/png");
	std::vector<uint8> binary(600);
	for (size_t i = 0; i < binary.size(); i++)
		binary[i] = (uint8)(i * 37 + 11);
	ASSERT_EQ(sniff_mime_type(binary.data(), binary.size(), &type), B_OK);
	EXPECT_EQ(type, "application/octet-stream");
	EXPECT_EQ(sniff_mime_type(nullptr, 3, &type), B_BAD_VALUE);
}

TEST_F(MimeTest, TypesByContent)
{
	MakeFile("/boot/home/readme", "These are words in a text file.\n");
	MakeFile("/boot/home/picture", kPNG);
	ASSERT_EQ(update_mime_info("/boot/home/readme", 0, 1, 0), B_OK);
	EXPECT_EQ(TypeOf("/boot/home/readme"), "text/plain");
	ASSERT_EQ(update_mime_info("/boot/home/picture", 0, 1, 0), B_OK);
	EXPECT_EQ(TypeOf("/boot/home/picture"), "image/png");
	EXPECT_EQ(TypeOf("/boot/home"), "") << "not recursive: the folder is untouched";

	ASSERT_EQ(update_mime_info("/boot/home", 0, 1, 0), B_OK);
	EXPECT_EQ(TypeOf("/boot/home"), B_DIRECTORY_MIME_TYPE);

	EXPECT_EQ(update_mime_info("/boot/home/absent", 0, 1, 0), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(update_mime_info(nullptr, 0, 1, 0), B_BAD_VALUE);
}

TEST_F(MimeTest, ExecutablesGetTheirSignature)
{
	MakeExecutable("/boot/apps/Tool");
	MakeExecutable("/boot/apps/Unsigned");
	{
		BResources resources("/boot/apps/Tool");
		ASSERT_EQ(resources.AddResource(B_MIME_STRING_TYPE, 1,
			"application/x-vnd.Maker-Tool", 29, "BEOS:APP_SIG"), B_OK);
	}
	ASSERT_EQ(update_mime_info("/boot/apps/Tool", 0, 1, 0), B_OK);
	EXPECT_EQ(TypeOf("/boot/apps/Tool"), B_APP_MIME_TYPE);
	EXPECT_EQ(SignatureOf("/boot/apps/Tool"), "application/x-vnd.Maker-Tool");
	BFile tool("/boot/apps/Tool", B_READ_ONLY);
	BAppFileInfo info(&tool);
	char signature[B_MIME_TYPE_LENGTH];
	ASSERT_EQ(info.GetSignature(signature), B_OK);
	EXPECT_STREQ(signature, "application/x-vnd.Maker-Tool");

	ASSERT_EQ(update_mime_info("/boot/apps/Unsigned", 0, 1, 0), B_OK);
	EXPECT_EQ(TypeOf("/boot/apps/Unsigned"), B_APP_MIME_TYPE);
	EXPECT_EQ(SignatureOf("/boot/apps/Unsigned"), "");

	// The package gave the executable a type: it stays, the signature is
	// still recorded.
	MakeExecutable("/boot/apps/Typed");
	{
		BResources resources("/boot/apps/Typed");
		ASSERT_EQ(resources.AddResource(B_MIME_STRING_TYPE, 1,
			"application/x-vnd.Maker-Typed", 30, "BEOS:APP_SIG"), B_OK);
	}
	BNode typed("/boot/apps/Typed");
	BNodeInfo typedInfo(&typed);
	ASSERT_EQ(typedInfo.SetType("application/x-vnd.Maker-special"), B_OK);
	ASSERT_EQ(update_mime_info("/boot/apps/Typed", 0, 1, 0), B_OK);
	EXPECT_EQ(TypeOf("/boot/apps/Typed"), "application/x-vnd.Maker-special");
	EXPECT_EQ(SignatureOf("/boot/apps/Typed"), "application/x-vnd.Maker-Typed");
}

TEST_F(MimeTest, TypedFilesAndForce)
{
	MakeFile("/boot/home/readme", "Text that a package called something else.\n");
	BNode node("/boot/home/readme");
	BNodeInfo info(&node);
	ASSERT_EQ(info.SetType("text/x-package-notes"), B_OK);
	ASSERT_EQ(update_mime_info("/boot/home/readme", 0, 1, 0), B_OK);
	EXPECT_EQ(TypeOf("/boot/home/readme"), "text/x-package-notes");
	ASSERT_EQ(update_mime_info("/boot/home/readme", 0, 1, 1), B_OK);
	EXPECT_EQ(TypeOf("/boot/home/readme"), "text/plain");
}

TEST_F(MimeTest, RecursiveWalkDoesNotFollowLinks)
{
	MakeFile("/boot/tree/a.txt", "alpha\n");
	MakeFile("/boot/tree/sub/b.png", kPNG);
	MakeFile("/boot/outside/c.txt", "not below the tree\n");
	MakeFile("/Data/d.txt", "another volume\n");
	ASSERT_EQ(symlink("/boot/outside", HostPath("/boot/tree/link").c_str()), 0);
	ASSERT_EQ(symlink("/Data", HostPath("/boot/tree/data").c_str()), 0);

	ASSERT_EQ(update_mime_info("/boot/tree", 1, 1, 0), B_OK);
	EXPECT_EQ(TypeOf("/boot/tree"), B_DIRECTORY_MIME_TYPE);
	EXPECT_EQ(TypeOf("/boot/tree/a.txt"), "text/plain");
	EXPECT_EQ(TypeOf("/boot/tree/sub"), B_DIRECTORY_MIME_TYPE);
	EXPECT_EQ(TypeOf("/boot/tree/sub/b.png"), "image/png");
	EXPECT_EQ(TypeOf("/boot/outside"), "");
	EXPECT_EQ(TypeOf("/boot/outside/c.txt"), "") << "the link was followed";
	EXPECT_EQ(TypeOf("/Data/d.txt"), "") << "the link was followed";
}
