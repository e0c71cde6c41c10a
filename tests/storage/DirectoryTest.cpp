#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Path.h>
#include <SymLink.h>

#include <TempRoot.h>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

class DirectoryTest : public TempRootTest {
protected:
	std::set<std::string> NamesByEntry(BDirectory& directory)
	{
		std::set<std::string> names;
		EXPECT_EQ(directory.Rewind(), B_OK);
		BEntry entry;
		char name[B_FILE_NAME_LENGTH];
		while (directory.GetNextEntry(&entry) == B_OK) {
			EXPECT_EQ(entry.GetName(name), B_OK);
			names.insert(name);
		}
		return names;
	}
};

TEST_F(DirectoryTest, CreatesFilesDirectoriesAndLinks)
{
	BDirectory boot("/boot");
	ASSERT_EQ(boot.InitCheck(), B_OK);
	EXPECT_TRUE(boot.IsRootDirectory());

	BDirectory apps;
	ASSERT_EQ(boot.CreateDirectory("apps", &apps), B_OK);
	ASSERT_EQ(apps.InitCheck(), B_OK);
	EXPECT_FALSE(apps.IsRootDirectory());
	EXPECT_TRUE(fs::is_directory(fRoot.HostPath("boot/apps")));
	EXPECT_EQ(boot.CreateDirectory("apps", nullptr), B_FILE_EXISTS);

	BFile file;
	ASSERT_EQ(apps.CreateFile("Tool", &file), B_OK);
	EXPECT_TRUE(file.IsWritable());
	EXPECT_EQ(file.Write("v1", 2), 2);
	// An existing file is emptied unless failIfExists asks otherwise.
	EXPECT_EQ(apps.CreateFile("Tool", nullptr, true), B_FILE_EXISTS);
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool"), "v1");
	ASSERT_EQ(apps.CreateFile("Tool", &file), B_OK);
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool"), "");

	BSymLink link;
	ASSERT_EQ(apps.CreateSymLink("ToolLink", "Tool", &link), B_OK);
	ASSERT_EQ(link.InitCheck(), B_OK);
	EXPECT_TRUE(link.IsSymLink());
	EXPECT_FALSE(link.IsAbsolute());
	char target[B_PATH_NAME_LENGTH];
	EXPECT_EQ(link.ReadLink(target, sizeof(target)), 4);
	EXPECT_STREQ(target, "Tool");
	BPath linked;
	EXPECT_GT(link.MakeLinkedPath(&apps, &linked), 0);
	EXPECT_STREQ(linked.Path(), "/boot/apps/Tool");
	EXPECT_EQ(fs::read_symlink(fRoot.HostPath("boot/apps/ToolLink")), "Tool");

	// Paths below the directory and absolute paths.
	ASSERT_EQ(boot.CreateDirectory("apps/sub", nullptr), B_OK);
	ASSERT_EQ(apps.CreateFile("/Data/elsewhere", nullptr), B_OK);
	EXPECT_TRUE(fs::exists(fRoot.HostPath("Data/elsewhere")));
	EXPECT_EQ(apps.CreateDirectory("missing/deeper", nullptr), B_ENTRY_NOT_FOUND);

	// Nothing is made in "/" itself: that would be mounting a volume.
	BDirectory root("/");
	ASSERT_EQ(root.InitCheck(), B_OK);
	EXPECT_TRUE(root.IsRootDirectory());
	EXPECT_EQ(root.CreateDirectory("NewVolume", nullptr), B_NOT_ALLOWED);
	EXPECT_EQ(root.CreateFile("file", nullptr), B_NOT_ALLOWED);
	EXPECT_EQ(root.CreateSymLink("link", "/boot", nullptr), B_NOT_ALLOWED);
	EXPECT_FALSE(fs::exists(fRoot.HostPath("NewVolume")));
	// But a path through a volume is an ordinary creation.
	EXPECT_EQ(root.CreateDirectory("Data/madeFromRoot", nullptr), B_OK);
	EXPECT_TRUE(fs::is_directory(fRoot.HostPath("Data/madeFromRoot")));

	std::string longName(256, 'd');
	EXPECT_EQ(boot.CreateDirectory(longName.c_str(), nullptr), B_NAME_TOO_LONG);
}

TEST_F(DirectoryTest, IteratesWithoutFollowingLinks)
{
	fRoot.WriteFile("boot/dir/a.txt", "a");
	fs::create_directories(fRoot.HostPath("boot/dir/sub"));
	fs::create_symlink("/boot/dir/sub", fRoot.HostPath("boot/dir/link"));
	fs::create_symlink("/nowhere", fRoot.HostPath("boot/dir/dangling"));

	BDirectory directory("/boot/dir");
	ASSERT_EQ(directory.InitCheck(), B_OK);
	EXPECT_EQ(directory.CountEntries(), 4);
	EXPECT_EQ(NamesByEntry(directory),
		(std::set<std::string>{"a.txt", "sub", "link", "dangling"}));

	// Entries come back as they are: a link is a link.
	directory.Rewind();
	BEntry entry;
	int links = 0;
	while (directory.GetNextEntry(&entry) == B_OK) {
		if (entry.IsSymLink())
			links++;
	}
	EXPECT_EQ(links, 2);
	EXPECT_EQ(directory.GetNextEntry(&entry), B_ENTRY_NOT_FOUND);

	// References name the directory and resolve back to the same entries.
	directory.Rewind();
	entry_ref ref;
	std::set<std::string> refNames;
	while (directory.GetNextRef(&ref) == B_OK) {
		refNames.insert(ref.name);
		BEntry fromRef(&ref);
		EXPECT_EQ(fromRef.InitCheck(), B_OK);
		EXPECT_TRUE(fromRef.Exists()) << ref.name;
		BPath path(&ref);
		EXPECT_EQ(std::string(path.Path()), "/boot/dir/" + std::string(ref.name));
	}
	EXPECT_EQ(refNames.size(), 4u);

	// Records in a buffer.
	directory.Rewind();
	alignas(struct dirent) char buffer[4096];
	std::set<std::string> direntNames;
	int32 count;
	while ((count = directory.GetNextDirents(reinterpret_cast<struct dirent*>(buffer),
			sizeof(buffer), 2)) > 0) {
		EXPECT_LE(count, 2);
		char* record = buffer;
		for (int32 i = 0; i < count; i++) {
			struct dirent* item = reinterpret_cast<struct dirent*>(record);
			direntNames.insert(item->d_name);
			if (strcmp(item->d_name, "link") == 0) {
				EXPECT_EQ(item->d_type, DT_LNK);
			}
			if (strcmp(item->d_name, "sub") == 0) {
				EXPECT_EQ(item->d_type, DT_DIR);
			}
			record += item->d_reclen;
		}
	}
	EXPECT_EQ(count, 0);
	EXPECT_EQ(direntNames, refNames);

	// Following links on request.
	directory.Rewind();
	int directories = 0;
	while (directory.GetNextEntry(&entry, true) == B_OK) {
		if (entry.IsDirectory())
			directories++;
	}
	EXPECT_EQ(directories, 2);
}

TEST_F(DirectoryTest, RootListsTheVolumes)
{
	fRoot.WriteFile("loose-file", "not a volume");
	BDirectory root("/");
	ASSERT_EQ(root.InitCheck(), B_OK);
	EXPECT_EQ(NamesByEntry(root), (std::set<std::string>{"boot", "Data"}));
	EXPECT_EQ(root.CountEntries(), 2);

	BEntry entry;
	root.Rewind();
	while (root.GetNextEntry(&entry) == B_OK) {
		EXPECT_TRUE(entry.IsDirectory());
		BDirectory volumeRoot(&entry);
		EXPECT_TRUE(volumeRoot.IsRootDirectory());
	}
	entry_ref ref;
	root.Rewind();
	ASSERT_EQ(root.GetNextRef(&ref), B_OK);
	BDirectory fromRef(&ref);
	EXPECT_EQ(fromRef.InitCheck(), B_OK);
	EXPECT_TRUE(fromRef.IsRootDirectory());
}

TEST_F(DirectoryTest, FindContainsAndStat)
{
	fRoot.WriteFile("boot/home/config/settings/file", "12345");
	fs::create_symlink("settings", fRoot.HostPath("boot/home/config/link"));
	BDirectory home("/boot/home");
	ASSERT_EQ(home.InitCheck(), B_OK);

	BEntry entry;
	ASSERT_EQ(home.FindEntry("config/settings/file", &entry), B_OK);
	EXPECT_TRUE(entry.IsFile());
	EXPECT_EQ(home.FindEntry("config/none", &entry), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(entry.InitCheck(), B_NO_INIT);
	ASSERT_EQ(home.FindEntry("config/link", &entry), B_OK);
	EXPECT_TRUE(entry.IsSymLink());
	ASSERT_EQ(home.FindEntry("config/link", &entry, true), B_OK);
	EXPECT_TRUE(entry.IsDirectory());

	EXPECT_TRUE(home.Contains("config"));
	EXPECT_TRUE(home.Contains("config", B_DIRECTORY_NODE));
	EXPECT_FALSE(home.Contains("config", B_FILE_NODE));
	EXPECT_TRUE(home.Contains("config/link", B_SYMLINK_NODE));
	EXPECT_FALSE(home.Contains("nothing"));
	// A plain name that is a link is the link, never where it leads.
	BDirectory config("/boot/home/config");
	EXPECT_TRUE(config.Contains("link", B_SYMLINK_NODE));
	EXPECT_FALSE(config.Contains("link", B_DIRECTORY_NODE));
	EXPECT_TRUE(config.Contains("settings", B_DIRECTORY_NODE));
	EXPECT_TRUE(config.Contains("settings/file", B_FILE_NODE));

	BEntry deep("/boot/home/config/settings/file");
	EXPECT_TRUE(home.Contains(&deep));
	EXPECT_TRUE(home.Contains(&deep, B_FILE_NODE));
	EXPECT_FALSE(home.Contains(&deep, B_DIRECTORY_NODE));
	BEntry outside("/boot/homework");
	EXPECT_FALSE(home.Contains(&outside));
	BEntry itself("/boot/home");
	EXPECT_FALSE(home.Contains(&itself));

	struct stat st;
	ASSERT_EQ(home.GetStatFor("config/settings/file", &st), B_OK);
	EXPECT_EQ(st.st_size, 5);
	EXPECT_EQ(home.GetStatFor("missing", &st), B_ENTRY_NOT_FOUND);

	BEntry homeEntry;
	ASSERT_EQ(home.GetEntry(&homeEntry), B_OK);
	BPath path(&homeEntry);
	EXPECT_STREQ(path.Path(), "/boot/home");

	BDirectory notDirectory("/boot/home/config/settings/file");
	EXPECT_EQ(notDirectory.InitCheck(), B_NOT_A_DIRECTORY);
	BDirectory viaLink("/boot/home/config/link");
	EXPECT_EQ(viaLink.InitCheck(), B_OK);
}

TEST_F(DirectoryTest, CreateDirectoryMakesEveryMissingParent)
{
	ASSERT_EQ(create_directory("/boot/a/b/c", 0750), B_OK);
	EXPECT_TRUE(fs::is_directory(fRoot.HostPath("boot/a/b/c")));
	struct stat st;
	ASSERT_EQ(stat(fRoot.HostPath("boot/a/b").c_str(), &st), 0);
	EXPECT_EQ(st.st_mode & 0777 & ~0750, 0u);
	// Existing folders are fine; a file in the way is not.
	EXPECT_EQ(create_directory("/boot/a/b", 0755), B_OK);
	fRoot.WriteFile("boot/a/file", "x");
	EXPECT_EQ(create_directory("/boot/a/file/deeper", 0755), B_NOT_A_DIRECTORY);
	EXPECT_EQ(create_directory("/NewVolume/x", 0755), B_NOT_ALLOWED);
	EXPECT_FALSE(fs::exists(fRoot.HostPath("NewVolume")));
	EXPECT_EQ(create_directory(nullptr, 0755), B_BAD_VALUE);
}

TEST_F(DirectoryTest, NodeRefsFindDirectoriesAgain)
{
	fs::create_directories(fRoot.HostPath("Data/one/two"));
	BDirectory two("/Data/one/two");
	node_ref ref;
	ASSERT_EQ(two.GetNodeRef(&ref), B_OK);

	// After a move the directory is found again by its node.
	fs::rename(fRoot.HostPath("Data/one"), fRoot.HostPath("Data/uno"));
	BDirectory again(&ref);
	ASSERT_EQ(again.InitCheck(), B_OK);
	BEntry entry;
	ASSERT_EQ(again.GetEntry(&entry), B_OK);
	BPath path(&entry);
	EXPECT_STREQ(path.Path(), "/Data/uno/two");

	node_ref gone(ref.device, 999999999);
	BDirectory missing(&gone);
	EXPECT_EQ(missing.InitCheck(), B_ENTRY_NOT_FOUND);
}


TEST_F(DirectoryTest, AFolderPastTheHostPathLimitGivesErrorsNeverAnotherPlace)
{
	// Folders with long names, one in the other, until the host can no
	// longer name the innermost by a path.
	BDirectory folder("/boot");
	status_t status = B_OK;
	int32 levels = 0;
	for (; levels < 40 && status == B_OK; levels++) {
		BDirectory inner;
		status = folder.CreateDirectory(std::string(250, 'a' + levels % 26).c_str(), &inner);
		if (status == B_OK)
			folder = inner;
	}
	ASSERT_LT(levels, 40) << "the host named every folder";
	EXPECT_EQ(status, B_NAME_TOO_LONG);

	// Whatever is asked of the innermost folder fails; nothing is made
	// anywhere else.
	BEntry entry(&folder, "file");
	EXPECT_EQ(entry.InitCheck(), B_NAME_TOO_LONG);
	BPath path(&folder, nullptr);
	EXPECT_EQ(path.InitCheck(), B_NAME_TOO_LONG);
	BFile file;
	EXPECT_EQ(folder.CreateFile("file", &file), B_NAME_TOO_LONG);
	// Walked on the host by descriptors (paths are too long by now): each
	// folder holds the next one, the innermost nothing.
	int fd = open(fRoot.HostPath("boot").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	int32 folders = 0;
	while (fd >= 0) {
		DIR* listing = fdopendir(fd);
		ASSERT_NE(listing, nullptr);
		std::vector<std::string> names;
		while (struct dirent* item = readdir(listing)) {
			if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
				names.push_back(item->d_name);
		}
		int next = -1;
		if (names.size() == 1) {
			next = openat(dirfd(listing), names[0].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
			folders++;
		} else
			EXPECT_TRUE(names.empty()) << names.size() << " entries at level " << folders;
		closedir(listing);
		fd = next;
	}
	EXPECT_EQ(folders, levels - 1) << "only the folders made";
}
