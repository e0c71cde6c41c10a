#include <Entry.h>
#include <File.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include <TempRoot.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* kChildFlag = "KESTROVAN_TEST_DEFAULT_ROOT_CHILD";

// Runs this test again in a fresh process (no root chosen yet) with the
// given environment; the child writes /boot/marker through the kit.
int
run_child(const std::vector<std::pair<std::string, std::string>>& environment)
{
	pid_t child = fork();
	if (child == 0) {
		unsetenv("KESTROVAN_ROOT");
		unsetenv("XDG_DATA_HOME");
		for (const auto& [name, value] : environment)
			setenv(name.c_str(), value.c_str(), 1);
		setenv(kChildFlag, "1", 1);
		const char* argv[] = {"storage_tests",
			"--gtest_filter=DefaultRootTest.EnvironmentChoosesTheRoot", nullptr};
		execv("/proc/self/exe", const_cast<char**>(argv));
		_exit(127);
	}
	int status = 0;
	waitpid(child, &status, 0);
	return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}	// namespace

TEST(DefaultRootTest, EnvironmentChoosesTheRoot)
{
	if (getenv(kChildFlag) != nullptr) {
		// In the child: the first use of the kit makes the root with boot/.
		BVolume boot;
		ASSERT_EQ(BVolumeRoster().GetBootVolume(&boot), B_OK);
		BFile marker("/boot/marker", B_WRITE_ONLY | B_CREATE_FILE);
		ASSERT_EQ(marker.InitCheck(), B_OK);
		return;
	}

	TempRoot scratch;
	ASSERT_EQ(scratch.InitCheck(), B_OK);
	std::string base = scratch.HostPath("Data");

	ASSERT_EQ(run_child({{"KESTROVAN_ROOT", base + "/explicit"},
		{"XDG_DATA_HOME", base + "/xdg-unused"}}), 0);
	EXPECT_TRUE(fs::exists(base + "/explicit/boot/marker"));
	EXPECT_FALSE(fs::exists(base + "/xdg-unused"));

	ASSERT_EQ(run_child({{"XDG_DATA_HOME", base + "/xdg"}}), 0);
	EXPECT_TRUE(fs::exists(base + "/xdg/kestrovan/root/boot/marker"));

	ASSERT_EQ(run_child({{"HOME", base + "/home"}}), 0);
	EXPECT_TRUE(fs::exists(base + "/home/.local/share/kestrovan/root/boot/marker"));
}
