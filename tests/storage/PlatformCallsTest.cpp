#include <Entry.h>
#include <Path.h>
#include <PlatformCalls.h>
#include <SystemRoot.h>

#include <TempRoot.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

class PlatformCallsTest : public TempRootTest {
protected:
	void TearDown() override
	{
		// Leave the process where the tests started.
		if (!fStartDirectory.empty())
			chdir(fStartDirectory.c_str());
	}

	void RememberDirectory()
	{
		char buffer[4096];
		if (getcwd(buffer, sizeof(buffer)) != nullptr)
			fStartDirectory = buffer;
	}

	std::string fStartDirectory;
};

TEST_F(PlatformCallsTest, StreamsAndDescriptorsUsePlatformPaths)
{
	fs::create_directories(fRoot.HostPath("boot/var/tmp"));
	FILE* stream = platform_fopen("/boot/var/tmp/patch.out", "w");
	ASSERT_NE(stream, nullptr);
	fputs("patched", stream);
	fclose(stream);
	EXPECT_EQ(fRoot.ReadFile("boot/var/tmp/patch.out"), "patched");

	stream = platform_fopen("/boot/var/tmp/patch.out", "a+");
	ASSERT_NE(stream, nullptr);
	fputs("!", stream);
	fclose(stream);
	stream = platform_fopen("/boot/var/tmp/patch.out", "r");
	ASSERT_NE(stream, nullptr);
	char buffer[32] = {};
	EXPECT_EQ(fread(buffer, 1, sizeof(buffer), stream), 8u);
	EXPECT_STREQ(buffer, "patched!");
	fclose(stream);

	errno = 0;
	EXPECT_EQ(platform_fopen("/boot/missing/file", "r"), nullptr);
	EXPECT_EQ(errno, ENOENT);
	EXPECT_EQ(platform_fopen("/boot/var/tmp/x", "q"), nullptr);
	EXPECT_EQ(errno, EINVAL);
	// "/" holds volumes only.
	EXPECT_EQ(platform_fopen("/loose", "w"), nullptr);
	EXPECT_FALSE(fs::exists(fRoot.HostPath("loose")));

	int fd = platform_open("/boot/var/tmp/patch.out", O_RDONLY);
	ASSERT_GE(fd, 0);
	EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
	EXPECT_EQ(read(fd, buffer, 3), 3);
	close(fd);

	// A link to the host's /etc resolves inside the root.
	fs::create_symlink("/etc", fRoot.HostPath("boot/etc"));
	EXPECT_LT(platform_open("/boot/etc/passwd", O_RDONLY), 0);
	EXPECT_EQ(platform_fopen("/boot/etc/hostname", "w"), nullptr);
	// O_NOFOLLOW acts on the last component itself.
	EXPECT_LT(platform_open("/boot/etc", O_RDONLY | O_NOFOLLOW), 0);
	EXPECT_EQ(errno, ELOOP);
}

TEST_F(PlatformCallsTest, ChangeDirectoryAndRelativePaths)
{
	RememberDirectory();
	fs::create_directories(fRoot.HostPath("Data/work"));
	ASSERT_EQ(platform_chdir("/Data/work"), 0);
	char cwd[4096];
	ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
	EXPECT_EQ(fs::canonical(cwd), fs::canonical(fRoot.HostPath("Data/work")));

	// Relative platform paths now start there.
	FILE* stream = platform_fopen("relative.txt", "w");
	ASSERT_NE(stream, nullptr);
	fclose(stream);
	EXPECT_TRUE(fs::exists(fRoot.HostPath("Data/work/relative.txt")));
	BEntry entry("relative.txt");
	BPath path(&entry);
	EXPECT_STREQ(path.Path(), "/Data/work/relative.txt");

	EXPECT_EQ(platform_chdir("/Data/none"), -1);
	EXPECT_EQ(errno, ENOENT);
	ASSERT_EQ(platform_chdir("/boot"), 0);
}

TEST_F(PlatformCallsTest, ExecutesProgramsFromTheRoot)
{
	fRoot.WriteFile("boot/bin/script", "#!/bin/sh\necho \"$1\" > \"$2\"\n");
	fs::permissions(fRoot.HostPath("boot/bin/script"), fs::perms(0755));
	std::string output = fRoot.HostPath("Data/out.txt");

	// Resolved before the fork, executed in the child.
	int fd = platform_open_executable("/boot/bin/script");
	ASSERT_GE(fd, 0);
	pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0) {
		char* argv[] = {(char*)"script", (char*)"ran", (char*)output.c_str(), nullptr};
		char* envp[] = {nullptr};
		platform_execve_fd(fd, argv, envp);
		_exit(127);
	}
	close(fd);
	int status = 0;
	ASSERT_EQ(waitpid(child, &status, 0), child);
	ASSERT_TRUE(WIFEXITED(status));
	EXPECT_EQ(WEXITSTATUS(status), 0);
	EXPECT_EQ(fRoot.ReadFile("Data/out.txt"), "ran\n");

	child = fork();
	ASSERT_GE(child, 0);
	if (child == 0) {
		char* argv[] = {(char*)"script", (char*)"again", (char*)output.c_str(), nullptr};
		char* envp[] = {nullptr};
		platform_execve("/boot/bin/script", argv, envp);
		_exit(127);
	}
	ASSERT_EQ(waitpid(child, &status, 0), child);
	EXPECT_EQ(WEXITSTATUS(status), 0);
	EXPECT_EQ(fRoot.ReadFile("Data/out.txt"), "again\n");

	char* argv[] = {(char*)"none", nullptr};
	char* envp[] = {nullptr};
	EXPECT_EQ(platform_execve("/boot/bin/none", argv, envp), -1);
	EXPECT_EQ(errno, ENOENT);
}

TEST_F(PlatformCallsTest, HostPathsForThePlatformOnly)
{
	fs::create_directories(fRoot.HostPath("boot/home"));
	char buffer[4096];
	ASSERT_EQ(platform_get_host_path("/boot/home", buffer, sizeof(buffer)), B_OK);
	EXPECT_EQ(fs::canonical(buffer), fs::canonical(fRoot.HostPath("boot/home")));
	ASSERT_EQ(platform_get_host_path("/boot/home/new", buffer, sizeof(buffer)), B_OK);
	EXPECT_EQ(std::string(buffer), fs::canonical(fRoot.HostPath("boot/home")).string() + "/new");
	ASSERT_EQ(platform_get_host_path("/", buffer, sizeof(buffer)), B_OK);
	EXPECT_EQ(fs::canonical(buffer), fs::canonical(fRoot.HostPath()));
	ASSERT_EQ(platform_get_host_path("/Data", buffer, sizeof(buffer)), B_OK);
	EXPECT_EQ(fs::canonical(buffer), fs::canonical(fRoot.HostPath("Data")));
	EXPECT_EQ(platform_get_host_path("/boot/home", buffer, 4), B_NAME_TOO_LONG);
	EXPECT_EQ(platform_get_host_path("/boot/x/y", buffer, sizeof(buffer)), B_ENTRY_NOT_FOUND);
}
