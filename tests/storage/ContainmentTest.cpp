#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Node.h>
#include <Path.h>
#include <SymLink.h>
#include <TypeConstants.h>

#include <TempRoot.h>

#include <filesystem>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

class ContainmentTest : public TempRootTest {
protected:
	void Link(const std::string& target, const std::string& relative)
	{
		ASSERT_EQ(symlink(target.c_str(), fRoot.HostPath(relative).c_str()), 0) << relative;
	}

	std::string PathOf(const BEntry& entry)
	{
		BPath path;
		EXPECT_EQ(entry.GetPath(&path), B_OK);
		return path.Path() != nullptr ? path.Path() : "";
	}
};

TEST_F(ContainmentTest, AbsoluteLinksAndDotDotStayInsideTheRoot)
{
	fRoot.WriteFile("Data/shared/info.txt", "data volume");
	fs::create_directories(fRoot.HostPath("boot/apps"));
	// An absolute target starts again at the platform's root.
	Link("/Data/shared", "boot/apps/shared");

	BFile file("/boot/apps/shared/info.txt", B_READ_ONLY);
	ASSERT_EQ(file.InitCheck(), B_OK);
	char buffer[32] = {};
	EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 11);
	EXPECT_STREQ(buffer, "data volume");

	// The entry found through the link lives on the Data volume.
	BEntry traversed("/boot/apps/shared/info.txt");
	EXPECT_EQ(PathOf(traversed), "/Data/shared/info.txt");

	// ".." never climbs above the root, however often it is repeated.
	BEntry climbed("/boot/../../../../Data/shared/info.txt");
	ASSERT_EQ(climbed.InitCheck(), B_OK);
	EXPECT_TRUE(climbed.Exists());
	EXPECT_EQ(PathOf(climbed), "/Data/shared/info.txt");

	BDirectory top("/boot/../..");
	ASSERT_EQ(top.InitCheck(), B_OK);
	EXPECT_TRUE(top.IsRootDirectory());
	BEntry topEntry;
	ASSERT_EQ(top.GetEntry(&topEntry), B_OK);
	EXPECT_EQ(PathOf(topEntry), "/");
}

TEST_F(ContainmentTest, LinksOutOfTheRootNeverReachTheHost)
{
	// A host folder beside the root, which a package's links try to reach.
	std::string outside = fRoot.HostPath() + "-outside";
	fs::create_directories(outside);
	std::ofstream(outside + "/secret") << "host data";
	struct Cleanup {
		std::string path;
		~Cleanup() { fs::remove_all(path); }
	} cleanup{outside};

	fs::create_directories(fRoot.HostPath("boot/pkg"));
	Link("/etc", "boot/pkg/etc");
	Link("../../..", "boot/pkg/up");
	Link(outside, "boot/pkg/absolute-host");
	Link("../../" + fs::path(outside).filename().string(), "boot/pkg/relative-host");

	// "/etc" means the root's /etc: there is no such volume.
	BEntry passwd("/boot/pkg/etc/passwd");
	EXPECT_NE(passwd.InitCheck(), B_OK);
	BFile etcFile("/boot/pkg/etc/passwd", B_READ_ONLY);
	EXPECT_NE(etcFile.InitCheck(), B_OK);

	// "../../.." from /boot/pkg stops at "/": the link names the root.
	BDirectory up("/boot/pkg/up");
	ASSERT_EQ(up.InitCheck(), B_OK);
	EXPECT_TRUE(up.IsRootDirectory());
	BEntry upVolume("/boot/pkg/up/boot/pkg");
	ASSERT_EQ(upVolume.InitCheck(), B_OK);
	EXPECT_EQ(PathOf(upVolume), "/boot/pkg");

	// Neither the host path nor a relative climb reaches the host folder.
	BFile absolute("/boot/pkg/absolute-host/secret", B_READ_ONLY);
	EXPECT_NE(absolute.InitCheck(), B_OK);
	BFile relative("/boot/pkg/relative-host/secret", B_READ_ONLY);
	EXPECT_NE(relative.InitCheck(), B_OK);

	// Writing through them is refused and leaves the host untouched.
	BFile create("/boot/pkg/relative-host/new", B_WRITE_ONLY | B_CREATE_FILE);
	EXPECT_NE(create.InitCheck(), B_OK);
	BDirectory pkg("/boot/pkg");
	ASSERT_EQ(pkg.InitCheck(), B_OK);
	EXPECT_NE(pkg.CreateFile("up/escape", nullptr), B_OK);
	EXPECT_NE(pkg.CreateDirectory("up/escape", nullptr), B_OK);
	EXPECT_NE(create_directory("/boot/pkg/relative-host/made", 0755), B_OK);
	EXPECT_FALSE(fs::exists(outside + "/new"));
	EXPECT_FALSE(fs::exists(outside + "/made"));
	EXPECT_FALSE(fs::exists(fRoot.HostPath("escape")));
	EXPECT_EQ(std::ifstream(outside + "/secret").get(), 'h');
}

TEST_F(ContainmentTest, LinkLoopsAreCut)
{
	fs::create_directories(fRoot.HostPath("boot/loop"));
	Link("b", "boot/loop/a");
	Link("a", "boot/loop/b");
	BFile file("/boot/loop/a", B_READ_ONLY);
	EXPECT_EQ(file.InitCheck(), B_LINK_LIMIT);
	BEntry through("/boot/loop/a/x");
	EXPECT_EQ(through.InitCheck(), B_LINK_LIMIT);
	// The link itself is an entry like any other.
	BEntry link("/boot/loop/a");
	EXPECT_EQ(link.InitCheck(), B_OK);
	EXPECT_TRUE(link.IsSymLink());
}

TEST_F(ContainmentTest, LastComponentsAreNotFollowed)
{
	fRoot.WriteFile("boot/target.txt", "target");
	fs::create_directories(fRoot.HostPath("boot/dir"));
	Link("/boot/target.txt", "boot/dir/link");

	// Remove takes the link away, not its target.
	BEntry link("/boot/dir/link");
	ASSERT_EQ(link.InitCheck(), B_OK);
	EXPECT_TRUE(link.IsSymLink());
	ASSERT_EQ(link.Remove(), B_OK);
	EXPECT_FALSE(fs::exists(fs::symlink_status(fRoot.HostPath("boot/dir/link"))));
	EXPECT_EQ(fRoot.ReadFile("boot/target.txt"), "target");

	// Rename moves the link itself.
	Link("/boot/target.txt", "boot/dir/link");
	ASSERT_EQ(link.SetTo("/boot/dir/link"), B_OK);
	ASSERT_EQ(link.Rename("renamed"), B_OK);
	EXPECT_TRUE(fs::is_symlink(fRoot.HostPath("boot/dir/renamed")));
	EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(fRoot.HostPath("boot/target.txt"))));
	EXPECT_EQ(PathOf(link), "/boot/dir/renamed");

	// Attributes and modes on a link are not applied, without error; the
	// target keeps none of them.
	BNode node("/boot/dir/renamed");
	ASSERT_EQ(node.InitCheck(), B_OK);
	EXPECT_TRUE(node.IsSymLink());
	EXPECT_EQ(node.WriteAttr("note", B_STRING_TYPE, 0, "x", 2), 2);
	EXPECT_EQ(node.RemoveAttr("note"), B_OK);
	EXPECT_EQ(node.SetPermissions(0700), B_OK);
	BNode target("/boot/target.txt");
	attr_info info;
	EXPECT_EQ(target.GetAttrInfo("note", &info), B_ENTRY_NOT_FOUND);
	mode_t mode;
	ASSERT_EQ(target.GetPermissions(&mode), B_OK);
	EXPECT_NE(mode, (mode_t)0700);

	// Times are set on the link itself.
	ASSERT_EQ(node.SetModificationTime(1000000), B_OK);
	struct stat linkStat, targetStat;
	ASSERT_EQ(lstat(fRoot.HostPath("boot/dir/renamed").c_str(), &linkStat), 0);
	ASSERT_EQ(stat(fRoot.HostPath("boot/target.txt").c_str(), &targetStat), 0);
	EXPECT_EQ(linkStat.st_mtime, 1000000);
	EXPECT_NE(targetStat.st_mtime, 1000000);

	BSymLink symLink("/boot/dir/renamed");
	char buffer[B_PATH_NAME_LENGTH];
	EXPECT_EQ(symLink.ReadLink(buffer, sizeof(buffer)), 16);
	EXPECT_STREQ(buffer, "/boot/target.txt");
	EXPECT_TRUE(symLink.IsAbsolute());
}

TEST_F(ContainmentTest, VolumeThatIsALinkToAHostFolder)
{
	std::string hostFolder = fRoot.HostPath() + "-mounted";
	fs::create_directories(hostFolder + "/inside");
	struct Cleanup {
		std::string path;
		~Cleanup() { fs::remove_all(path); }
	} cleanup{hostFolder};
	Link(hostFolder, "Extra");

	BFile file("/Extra/inside/made.txt", B_WRITE_ONLY | B_CREATE_FILE);
	ASSERT_EQ(file.InitCheck(), B_OK);
	EXPECT_EQ(file.Write("ok", 2), 2);
	EXPECT_TRUE(fs::exists(hostFolder + "/inside/made.txt"));

	BEntry entry("/Extra/inside/made.txt");
	EXPECT_EQ(PathOf(entry), "/Extra/inside/made.txt");
	// ".." at the volume's root goes to "/", not to the host's parent.
	BEntry up("/Extra/../boot");
	EXPECT_EQ(PathOf(up), "/boot");

	// The volume entry itself cannot be removed or renamed: that would be
	// unmounting.
	BEntry volume("/Extra");
	EXPECT_TRUE(volume.IsDirectory());
	EXPECT_EQ(volume.Remove(), B_NOT_ALLOWED);
	EXPECT_EQ(volume.Rename("Other"), B_NOT_ALLOWED);
	EXPECT_TRUE(fs::is_symlink(fRoot.HostPath("Extra")));
}

// Entries named in an open directory: plain names, links to follow, and a
// directory that has left the root since it was opened.
TEST_F(ContainmentTest, PlainNamesInAnOpenDirectoryStayInsideTheRoot)
{
	fs::create_directories(fRoot.HostPath("boot/apps/Tool"));
	fs::create_directories(fRoot.HostPath("Data/shared"));
	BDirectory dir("/boot/apps/Tool");
	ASSERT_EQ(dir.InitCheck(), B_OK);

	BFile file;
	ASSERT_EQ(dir.CreateFile("made", &file), B_OK);
	BEntry made(&dir, "made");
	EXPECT_EQ(PathOf(made), "/boot/apps/Tool/made");

	// A link named in the directory is followed by the resolver, inside the
	// root, when asked to.
	Link("/Data/shared", "boot/apps/Tool/shared");
	BEntry followed(&dir, "shared", true);
	EXPECT_EQ(PathOf(followed), "/Data/shared");
	BEntry itself(&dir, "shared", false);
	EXPECT_EQ(PathOf(itself), "/boot/apps/Tool/shared");

	// Moved out of the root behind the kit's back: nothing is made there.
	std::string outside = fRoot.HostPath() + "-outside";
	ASSERT_EQ(rename(fRoot.HostPath("boot/apps/Tool").c_str(), outside.c_str()), 0);
	BFile escaped;
	EXPECT_NE(dir.CreateFile("escaped", &escaped), B_OK);
	EXPECT_FALSE(fs::exists(outside + "/escaped"));
	fs::remove_all(outside);
}

// The entry of a directory and the parent of an entry, at every depth: from
// deep folders up through a volume's top folder and the volume to the root.
// A directory moved out of the root behind the kit's back has neither.
TEST_F(ContainmentTest, ParentsClimbToTheRootAndNeverLeaveIt)
{
	fs::create_directories(fRoot.HostPath("boot/apps/Tool/lib/deep"));
	BDirectory deep("/boot/apps/Tool/lib/deep");
	ASSERT_EQ(deep.InitCheck(), B_OK);
	BEntry entry;
	ASSERT_EQ(deep.GetEntry(&entry), B_OK);
	std::vector<std::string> climbed{PathOf(entry)};
	for (int level = 0; level < 8; level++) {
		BEntry parent;
		if (entry.GetParent(&parent) != B_OK)
			break;
		climbed.push_back(PathOf(parent));
		entry = parent;
	}
	std::vector<std::string> expected{"/boot/apps/Tool/lib/deep", "/boot/apps/Tool/lib",
		"/boot/apps/Tool", "/boot/apps", "/boot", "/"};
	EXPECT_EQ(climbed, expected);

	// The parent entry is a real entry of its own directory.
	BEntry tool;
	BDirectory lib("/boot/apps/Tool/lib");
	ASSERT_EQ(lib.GetEntry(&tool), B_OK);
	char name[B_FILE_NAME_LENGTH];
	ASSERT_EQ(tool.GetName(name), B_OK);
	EXPECT_STREQ(name, "lib");
	EXPECT_TRUE(tool.IsDirectory());
	BDirectory toolParent;
	ASSERT_EQ(tool.GetParent(&toolParent), B_OK);
	EXPECT_TRUE(toolParent.Contains("lib", B_DIRECTORY_NODE));

	std::string outside = fRoot.HostPath() + "-outside";
	ASSERT_EQ(rename(fRoot.HostPath("boot/apps/Tool").c_str(), outside.c_str()), 0);
	BEntry escaped;
	EXPECT_NE(deep.GetEntry(&escaped), B_OK);
	BEntry inEscaped(&lib, "new");
	EXPECT_NE(inEscaped.InitCheck(), B_OK);
	BDirectory made;
	EXPECT_NE(lib.CreateDirectory("made", &made), B_OK);
	EXPECT_FALSE(fs::exists(outside + "/lib/made"));
	fs::remove_all(outside);
}

// Making a file under a name that is already a link in the directory writes
// where the link leads inside the root, never where it leads on the host.
TEST_F(ContainmentTest, FilesMadeUnderALinkNameStayInsideTheRoot)
{
	fs::create_directories(fRoot.HostPath("boot/apps"));
	fs::create_directories(fRoot.HostPath("Data"));
	std::string hostTarget = fRoot.HostPath() + "-host-target";
	Link("/Data/target", "boot/apps/inside");
	Link(hostTarget, "boot/apps/outside");
	BDirectory apps("/boot/apps");
	ASSERT_EQ(apps.InitCheck(), B_OK);

	BFile inside;
	ASSERT_EQ(apps.CreateFile("inside", &inside), B_OK);
	EXPECT_EQ(inside.Write("in", 2), 2);
	EXPECT_TRUE(fs::is_regular_file(fRoot.HostPath("Data/target")));
	EXPECT_TRUE(fs::is_symlink(fRoot.HostPath("boot/apps/inside")));

	// The host path is read as a platform path: nothing reaches the host.
	BFile outside;
	apps.CreateFile("outside", &outside);
	EXPECT_FALSE(fs::exists(hostTarget));

	// A file the directory already holds is emptied, a folder refused.
	fRoot.WriteFile("boot/apps/old", "older contents");
	BFile old;
	ASSERT_EQ(apps.CreateFile("old", &old), B_OK);
	EXPECT_EQ(fs::file_size(fRoot.HostPath("boot/apps/old")), 0u);
	fs::create_directories(fRoot.HostPath("boot/apps/folder"));
	BFile folder;
	EXPECT_EQ(apps.CreateFile("folder", &folder), B_IS_A_DIRECTORY);
}
