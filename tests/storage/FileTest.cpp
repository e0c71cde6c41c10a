#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Path.h>
#include <TypeConstants.h>

#include <TempRoot.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

class FileTest : public TempRootTest {};

TEST_F(FileTest, OpenModes)
{
	// Without B_CREATE_FILE a missing file is an error.
	BFile missing("/boot/new.txt", B_READ_WRITE);
	EXPECT_EQ(missing.InitCheck(), B_ENTRY_NOT_FOUND);

	BFile file("/boot/new.txt", B_READ_WRITE | B_CREATE_FILE);
	ASSERT_EQ(file.InitCheck(), B_OK);
	EXPECT_TRUE(file.IsReadable());
	EXPECT_TRUE(file.IsWritable());
	EXPECT_EQ(file.Write("0123456789", 10), 10);
	EXPECT_EQ(file.Position(), 10);
	EXPECT_EQ(fRoot.ReadFile("boot/new.txt"), "0123456789");

	BFile exclusive("/boot/new.txt", B_WRITE_ONLY | B_CREATE_FILE | B_FAIL_IF_EXISTS);
	EXPECT_EQ(exclusive.InitCheck(), B_FILE_EXISTS);

	BFile readOnly("/boot/new.txt", B_READ_ONLY);
	ASSERT_EQ(readOnly.InitCheck(), B_OK);
	EXPECT_TRUE(readOnly.IsReadable());
	EXPECT_FALSE(readOnly.IsWritable());
	EXPECT_EQ(readOnly.Write("x", 1), B_NOT_ALLOWED);
	EXPECT_EQ(readOnly.SetSize(0), B_NOT_ALLOWED);

	BFile writeOnly("/boot/new.txt", B_WRITE_ONLY);
	char buffer[16] = {};
	EXPECT_EQ(writeOnly.Read(buffer, 1), B_NOT_ALLOWED);

	BFile append("/boot/new.txt", B_WRITE_ONLY | B_OPEN_AT_END);
	ASSERT_EQ(append.InitCheck(), B_OK);
	EXPECT_EQ(append.Write("AB", 2), 2);
	EXPECT_EQ(fRoot.ReadFile("boot/new.txt"), "0123456789AB");

	BFile erase("/boot/new.txt", B_READ_WRITE | B_ERASE_FILE);
	ASSERT_EQ(erase.InitCheck(), B_OK);
	off_t size = -1;
	ASSERT_EQ(erase.GetSize(&size), B_OK);
	EXPECT_EQ(size, 0);

	// A directory is not a file; nothing can be made in "/" itself.
	BFile directory("/boot", B_READ_ONLY);
	EXPECT_EQ(directory.InitCheck(), B_IS_A_DIRECTORY);
	BFile inRoot("/loose-file", B_WRITE_ONLY | B_CREATE_FILE);
	EXPECT_EQ(inRoot.InitCheck(), B_NOT_ALLOWED);
	EXPECT_FALSE(fs::exists(fRoot.HostPath("loose-file")));

	// Names the host cannot hold.
	std::string longName = "/boot/" + std::string(256, 'x');
	BFile tooLong(longName.c_str(), B_WRITE_ONLY | B_CREATE_FILE);
	EXPECT_EQ(tooLong.InitCheck(), B_NAME_TOO_LONG);
}

TEST_F(FileTest, PositionsSizesAndPositionIO)
{
	BFile file("/Data/stream", B_READ_WRITE | B_CREATE_FILE);
	ASSERT_EQ(file.InitCheck(), B_OK);
	EXPECT_EQ(file.WriteAt(4, "tail", 4), 4);
	EXPECT_EQ(file.Position(), 0);
	EXPECT_EQ(file.Seek(0, SEEK_END), 8);
	EXPECT_EQ(file.Seek(-6, SEEK_CUR), 2);
	char buffer[8] = {};
	EXPECT_EQ(file.ReadAt(4, buffer, 8), 4);
	EXPECT_EQ(std::string(buffer, 4), "tail");

	// Growing and cutting.
	ASSERT_EQ(file.SetSize(3 * 1024 * 1024), B_OK);
	off_t size;
	ASSERT_EQ(file.GetSize(&size), B_OK);
	EXPECT_EQ(size, 3 * 1024 * 1024);
	ASSERT_EQ(file.SetSize(6), B_OK);
	ASSERT_EQ(file.GetSize(&size), B_OK);
	EXPECT_EQ(size, 6);
	EXPECT_EQ(file.SetSize(-1), B_BAD_VALUE);

	// Through the stream interface, as the package readers use it.
	BPositionIO* stream = &file;
	EXPECT_EQ(stream->Seek(0, SEEK_SET), 0);
	EXPECT_EQ(stream->Read(buffer, 6), 6);
	EXPECT_EQ(std::string(buffer, 6), std::string("\0\0\0\0ta", 6));
	EXPECT_EQ(stream->Read(buffer, 6), 0);

	// Offsets past 4 GiB are 64-bit.
	EXPECT_EQ(file.WriteAt(5LL * 1024 * 1024 * 1024, "z", 1), 1);
	ASSERT_EQ(file.GetSize(&size), B_OK);
	EXPECT_EQ(size, 5LL * 1024 * 1024 * 1024 + 1);
}

TEST_F(FileTest, AssignmentGivesASecondHandleWithItsOwnPosition)
{
	fRoot.WriteFile("boot/package", "ABCDEFGHIJ");
	BFile first("/boot/package", B_READ_ONLY);
	ASSERT_EQ(first.InitCheck(), B_OK);
	char buffer[4] = {};
	ASSERT_EQ(first.Read(buffer, 2), 2);

	BFile second;
	second = first;
	ASSERT_EQ(second.InitCheck(), B_OK);
	EXPECT_FALSE(second.IsWritable());
	EXPECT_EQ(second.Position(), 2);

	// Moving one handle leaves the other where it was.
	EXPECT_EQ(first.Seek(8, SEEK_SET), 8);
	ASSERT_EQ(second.Read(buffer, 3), 3);
	EXPECT_EQ(std::string(buffer, 3), "CDE");
	EXPECT_EQ(first.Position(), 8);
	ASSERT_EQ(first.Read(buffer, 2), 2);
	EXPECT_EQ(std::string(buffer, 2), "IJ");
	EXPECT_EQ(second.Position(), 5);

	BFile copied(second);
	EXPECT_EQ(copied.Position(), 5);
	copied.Seek(0, SEEK_SET);
	EXPECT_EQ(second.Position(), 5);

	// Both name the same node.
	EXPECT_TRUE(first == second);

	BFile unset;
	BFile fromUnset;
	fromUnset = unset;
	EXPECT_EQ(fromUnset.InitCheck(), B_NO_INIT);
}

TEST_F(FileTest, FilesFromEntriesRefsAndDirectories)
{
	fRoot.WriteFile("boot/apps/tool/data.bin", "payload");
	BDirectory directory("/boot/apps/tool");
	ASSERT_EQ(directory.InitCheck(), B_OK);
	BFile relative(&directory, "data.bin", B_READ_ONLY);
	ASSERT_EQ(relative.InitCheck(), B_OK);
	off_t size;
	ASSERT_EQ(relative.GetSize(&size), B_OK);
	EXPECT_EQ(size, 7);

	BEntry entry(&directory, "data.bin");
	entry_ref ref;
	ASSERT_EQ(entry.GetRef(&ref), B_OK);
	BFile fromRef(&ref, B_READ_WRITE);
	ASSERT_EQ(fromRef.InitCheck(), B_OK);
	EXPECT_EQ(fromRef.WriteAt(0, "P", 1), 1);
	EXPECT_EQ(fRoot.ReadFile("boot/apps/tool/data.bin"), "Payload");

	// A file opened through a link opens what the link names, in the root.
	ASSERT_EQ(symlink("/boot/apps/tool/data.bin",
		fRoot.HostPath("Data/shortcut").c_str()), 0);
	BEntry link("/Data/shortcut");
	BFile throughLink(&link, B_READ_ONLY);
	ASSERT_EQ(throughLink.InitCheck(), B_OK);
	char buffer[8] = {};
	EXPECT_EQ(throughLink.Read(buffer, 7), 7);
	EXPECT_STREQ(buffer, "Payload");
}

TEST_F(FileTest, HostReferencesAreReadableAndNotWritable)
{
	// A package file anywhere on the host, outside the root.
	std::string hostDir = fRoot.HostPath() + "-host";
	fs::create_directories(hostDir);
	struct Cleanup {
		std::string path;
		~Cleanup() { fs::remove_all(path); }
	} cleanup{hostDir};
	std::string hostFile = hostDir + "/package.bin";
	std::ofstream(hostFile) << "package bytes";

	entry_ref ref;
	ASSERT_EQ(get_ref_for_host_path(hostFile.c_str(), &ref), B_OK);
	EXPECT_STREQ(ref.name, "package.bin");

	BEntry entry(&ref);
	ASSERT_EQ(entry.InitCheck(), B_OK);
	EXPECT_TRUE(entry.Exists());
	EXPECT_TRUE(entry.IsFile());
	char name[B_FILE_NAME_LENGTH];
	ASSERT_EQ(entry.GetName(name), B_OK);
	EXPECT_STREQ(name, "package.bin");

	BFile file(&ref, B_READ_ONLY);
	ASSERT_EQ(file.InitCheck(), B_OK);
	char buffer[32] = {};
	EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 13);
	EXPECT_STREQ(buffer, "package bytes");
	BFile second;
	second = file;
	EXPECT_EQ(second.ReadAt(0, buffer, 7), 7);

	// Nothing outside the root is changed.
	BFile writable(&ref, B_READ_WRITE);
	EXPECT_EQ(writable.InitCheck(), B_READ_ONLY_DEVICE);
	EXPECT_EQ(file.WriteAttr("x", B_RAW_TYPE, 0, "x", 1), B_READ_ONLY_DEVICE);
	EXPECT_EQ(file.SetPermissions(0600), B_READ_ONLY_DEVICE);
	EXPECT_EQ(entry.Remove(), B_READ_ONLY_DEVICE);
	EXPECT_EQ(entry.Rename("renamed"), B_READ_ONLY_DEVICE);
	BDirectory hostParent;
	ASSERT_EQ(entry.GetParent(&hostParent), B_OK);
	EXPECT_EQ(hostParent.CreateFile("new", nullptr), B_READ_ONLY_DEVICE);
	EXPECT_TRUE(fs::exists(hostFile));
	EXPECT_FALSE(fs::exists(hostDir + "/new"));
	EXPECT_EQ(std::distance(fs::directory_iterator(hostDir), fs::directory_iterator()), 1);

	// A host path inside the root is an ordinary (writable) entry.
	fRoot.WriteFile("Data/inside.bin", "x");
	entry_ref insideRef;
	ASSERT_EQ(get_ref_for_host_path(fRoot.HostPath("Data/inside.bin").c_str(), &insideRef),
		B_OK);
	BPath path(&insideRef);
	EXPECT_STREQ(path.Path(), "/Data/inside.bin");
	BFile inside(&insideRef, B_READ_WRITE);
	EXPECT_EQ(inside.InitCheck(), B_OK);

	EXPECT_NE(get_ref_for_host_path((hostDir + "/missing").c_str(), &ref), B_OK);
}
