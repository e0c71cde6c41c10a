// The installer program interrupted and run twice at once on one volume: a
// run ended by a termination request puts back what it moved or renamed
// out of the way, a second run on the volume waits for the first (saying so
// once), and what stays is always one run's complete work or the originals,
// never a mix of the two.

#include <ScratchDir.h>

#include "HostFileText.h"
#include "PackageAssembler.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;
const char* const kWaiting
	= "Waiting for another installation on volume \"boot\" to finish...";
// Enough bytes that a run is still writing when the signal comes.
// What Wait gives for a program that SIGTERM ended, as a shell tells it.
const int kEndedByTermination = 128 + SIGTERM;
const int kFileCount = 160;
const size_t kFileSize = 64 * 1024;

typedef std::map<std::string, std::string> tree_contents;


void
WriteFile(const std::string& path, const std::string& contents)
{
	std::filesystem::create_directories(std::filesystem::path(path).parent_path());
	std::ofstream(path, std::ios::binary) << contents;
}


// Every file below `folder` by its relative path, with its bytes.
tree_contents
ReadTree(const std::string& folder)
{
	tree_contents tree;
	if (!std::filesystem::is_directory(folder))
		return tree;
	for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
		if (entry.is_regular_file()) {
			tree[std::filesystem::relative(entry.path(), folder).string()]
				= ReadHostFileText(entry.path().string());
		}
	}
	return tree;
}


tree_contents
RandomTree(uint32 seed, int count, size_t size)
{
	std::mt19937 generator(seed);
	tree_contents tree;
	for (int i = 0; i < count; i++) {
		std::string data(size, '\0');
		for (char& c : data)
			c = (char)(generator() & 0xff);
		tree["file" + std::to_string(i)] = data;
	}
	return tree;
}


// A package "Tool" of `tree`, whose top folder asks about an existing one.
std::string
BuildPackage(const ScratchDir& scratch, const std::string& name, const tree_contents& tree)
{
	std::string source = scratch / (name + "-src");
	for (const auto& [path, data] : tree)
		WriteFile(source + "/" + path, data);
	std::string manifest = scratch / (name + ".json");
	WriteFile(manifest, R"({"name": "Tool", "folder_name": "Tool", "source": ")" + source + R"(",
		"groups": [{"name": "All"}],
		"flags": {"top_folder": true, "folder_choice": true},
		"items": {"": {"replace": "ask"}}})");
	std::string package = scratch / (name + ".pkg");
	std::string message;
	EXPECT_EQ(build_package(manifest.c_str(), nullptr, package.c_str(), &message), B_OK)
		<< message;
	return package;
}


class ScratchPackages {
public:
	ScratchPackages()
		:
		fFirstTree(RandomTree(1, kFileCount, kFileSize)),
		fSecondTree(RandomTree(2, kFileCount, kFileSize)),
		fFirst(BuildPackage(fScratch, "first", fFirstTree)),
		fSecond(BuildPackage(fScratch, "second", fSecondTree))
	{
	}

	ScratchDir fScratch;
	tree_contents fFirstTree;
	tree_contents fSecondTree;
	std::string fFirst;
	std::string fSecond;
};

} // namespace


class InterruptedRunTest : public ::testing::Test {
protected:
	static void SetUpTestSuite() { sPackages = new ScratchPackages; }
	static void TearDownTestSuite()
	{
		delete sPackages;
		sPackages = nullptr;
	}

	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fRoot = fScratch.Path() + "/root";
		fOriginals = RandomTree(3, 3, 1000);
		fOriginals["notes/mine"] = "the user's own";
		MakeRoot();
	}

	// A fresh system root whose apps folder holds the user's Tool.
	void MakeRoot()
	{
		std::filesystem::remove_all(fRoot);
		std::filesystem::create_directories(fRoot + "/Data");
		for (const auto& [path, data] : fOriginals)
			WriteFile(Host("/boot/apps/Tool/" + path), data);
	}

	std::string Host(const std::string& path) const { return fRoot + path; }

	bool Exists(const std::string& path) const
	{
		return std::filesystem::exists(std::filesystem::symlink_status(Host(path)));
	}

	// Starts the installer, unattended, with standard error into `errors`.
	pid_t Start(const std::string& package, const char* existing,
		const std::string& errors)
	{
		// Emptied before the program starts: what it says is never mistaken
		// for what an earlier one said.
		int log = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
		if (log < 0)
			return -1;
		pid_t child = fork();
		if (child == 0) {
			int null = open("/dev/null", O_RDWR);
			dup2(null, 0);
			dup2(null, 1);
			dup2(log, 2);
			execl(kProgram.c_str(), kProgram.c_str(), "--root", fRoot.c_str(),
				"--display", "headless", "--unattended", "--existing", existing,
				package.c_str(), (char*)nullptr);
			_exit(127);
		}
		close(log);
		return child;
	}

	// The exit status, or 128 plus the signal that ended the program.
	static int Wait(pid_t child)
	{
		int status = 0;
		if (waitpid(child, &status, 0) != child)
			return -1;
		return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
	}

	// Waits until `condition` holds or the program has ended; true when it
	// holds.
	template<typename Condition>
	static bool WaitWhileRunning(pid_t child, Condition condition)
	{
		for (int i = 0; i < 60000; i++) {
			if (condition())
				return true;
			siginfo_t info = {};
			if (waitid(P_PID, child, &info, WEXITED | WNOHANG | WNOWAIT) == 0
				&& info.si_pid == child)
				return condition();
			usleep(1000);
		}
		return false;
	}

	bool Displacing() const
	{
		if (!std::filesystem::is_directory(Host("/boot/var/tmp")))
			return false;
		for (const auto& entry : std::filesystem::directory_iterator(Host("/boot/var/tmp"))) {
			if (entry.path().filename().string().rfind("Stowhand", 0) == 0
				&& std::filesystem::exists(entry.path() / "Tool"))
				return true;
		}
		return false;
	}

	static size_t Count(const std::string& text, const std::string& fragment)
	{
		size_t count = 0;
		for (size_t at = text.find(fragment); at != std::string::npos;
				at = text.find(fragment, at + 1))
			count++;
		return count;
	}

	// Gone when the run that ended last made it; left empty otherwise (it
	// had found the folder another run made).
	bool NothingLeftInVarTmp() const
	{
		return !Exists("/boot/var/tmp") || std::filesystem::is_empty(Host("/boot/var/tmp"));
	}

	// The first package's run, stopped mid-run (SIGSTOP, with the volume's
	// lock), and the second's, started then and waiting for the lock.
	void StartSecondWhileFirstHolds(const std::string& firstErrors,
		const std::string& secondErrors, pid_t* first, pid_t* second)
	{
		*first = Start(sPackages->fFirst, "replace", firstErrors);
		ASSERT_GT(*first, 0);
		ASSERT_TRUE(WaitWhileRunning(*first, [&] { return Displacing(); }))
			<< ReadHostFileText(firstErrors);
		kill(*first, SIGSTOP);
		*second = Start(sPackages->fSecond, "replace", secondErrors);
		ASSERT_GT(*second, 0);
		EXPECT_TRUE(WaitWhileRunning(*second, [&] {
			return ReadHostFileText(secondErrors).find(kWaiting) != std::string::npos;
		})) << ReadHostFileText(secondErrors);
	}

	static ScratchPackages* sPackages;
	ScratchDir fScratch;
	std::string fRoot;
	tree_contents fOriginals;
};

ScratchPackages* InterruptedRunTest::sPackages = nullptr;


TEST_F(InterruptedRunTest, TerminatedWhileRenamingGivesTheOriginalItsNameBack)
{
	int canceled = 0;
	for (useconds_t delay : {0, 20000, 100000, 400000}) {
		SCOPED_TRACE("SIGTERM " + std::to_string(delay) + " us after the rename");
		MakeRoot();
		std::string errors = fScratch / "errors.txt";
		pid_t run = Start(sPackages->fFirst, "rename", errors);
		ASSERT_GT(run, 0);
		ASSERT_TRUE(WaitWhileRunning(run, [&] { return Exists("/boot/apps/Tool.old"); }))
			<< ReadHostFileText(errors);
		usleep(delay);
		kill(run, SIGTERM);
		int status = Wait(run);

		// Finished before the request: the new folder whole, the original
		// renamed. A request that came at the closing question, after the
		// run, ends the program as it ends any other.
		if (status == 0 || status == kEndedByTermination) {
			EXPECT_TRUE(ReadTree(Host("/boot/apps/Tool")) == sPackages->fFirstTree);
			EXPECT_TRUE(ReadTree(Host("/boot/apps/Tool.old")) == fOriginals);
		} else {
			EXPECT_EQ(status, 1) << ReadHostFileText(errors);
			canceled++;
			EXPECT_TRUE(ReadTree(Host("/boot/apps/Tool")) == fOriginals);
			EXPECT_FALSE(Exists("/boot/apps/Tool.old"));
		}
		// The run made "var/tmp" on the fresh volume: nothing of it stays
		// (a completed run leaves its receipt in "var").
		EXPECT_FALSE(Exists("/boot/var/tmp"));
		EXPECT_EQ(Exists("/boot/var"), status == 0 || status == kEndedByTermination);
	}
	// At least the request right after the rename came mid-run.
	EXPECT_GE(canceled, 1);
}


TEST_F(InterruptedRunTest, ASecondRunWaitsAndFinishesWhenTheFirstIsCancelled)
{
	for (useconds_t delay : {0, 100000}) {
		SCOPED_TRACE("first run cancelled " + std::to_string(delay) + " us later");
		MakeRoot();
		std::string firstErrors = fScratch / "first.txt";
		std::string secondErrors = fScratch / "second.txt";
		pid_t first = -1;
		pid_t second = -1;
		ASSERT_NO_FATAL_FAILURE(StartSecondWhileFirstHolds(firstErrors, secondErrors,
			&first, &second));
		kill(first, SIGCONT);
		usleep(delay);
		kill(first, SIGTERM);
		int firstStatus = Wait(first);
		int secondStatus = Wait(second);

		// The first run was cancelled (or had just finished, and the request
		// ended it at its closing question); either way the second replaced
		// the result whole, after it.
		EXPECT_TRUE(firstStatus == 1 || firstStatus == 0 || firstStatus == kEndedByTermination)
			<< firstStatus;
		EXPECT_EQ(secondStatus, 0) << ReadHostFileText(secondErrors);
		EXPECT_EQ(Count(ReadHostFileText(secondErrors), kWaiting), 1u);
		EXPECT_TRUE(ReadTree(Host("/boot/apps/Tool")) == sPackages->fSecondTree);
		EXPECT_TRUE(NothingLeftInVarTmp());
	}
}


TEST_F(InterruptedRunTest, AWaitingRunThatIsTerminatedLeavesTheFirstAlone)
{
	std::string firstErrors = fScratch / "first.txt";
	std::string secondErrors = fScratch / "second.txt";
	pid_t first = -1;
	pid_t second = -1;
	ASSERT_NO_FATAL_FAILURE(StartSecondWhileFirstHolds(firstErrors, secondErrors,
		&first, &second));
	kill(second, SIGTERM);
	int secondStatus = Wait(second);
	kill(first, SIGCONT);

	EXPECT_EQ(secondStatus, 1);
	EXPECT_EQ(Wait(first), 0) << ReadHostFileText(firstErrors);
	EXPECT_TRUE(ReadTree(Host("/boot/apps/Tool")) == sPackages->fFirstTree);
	EXPECT_TRUE(NothingLeftInVarTmp());
}


namespace {

// The host process id of the process whose command line is exactly `argv`
// (a script's process shows here whatever namespace it runs in), or -1.
pid_t
FindProcess(const std::vector<std::string>& argv)
{
	std::string wanted;
	for (const std::string& argument : argv)
		wanted += argument + '\0';
	DIR* proc = opendir("/proc");
	if (proc == nullptr)
		return -1;
	pid_t found = -1;
	while (dirent* entry = readdir(proc)) {
		char* end = nullptr;
		long pid = strtol(entry->d_name, &end, 10);
		if (pid <= 0 || *end != '\0')
			continue;
		if (ReadHostFileText("/proc/" + std::string(entry->d_name) + "/cmdline") == wanted) {
			found = (pid_t)pid;
			break;
		}
	}
	closedir(proc);
	return found;
}


bool
ProcessIsGone(pid_t pid)
{
	return kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace


// A termination request while the package's script sleeps ends the script
// and the program at once (not when the script would have ended): status 1,
// the user's folder as it was, and no process of the script left behind.
TEST_F(InterruptedRunTest, TerminatedDuringAScriptEndsTheScriptAndTheProgram)
{
	// Long past the failure guard below: only a script that is ended lets
	// the program end in time.
	std::string seconds = "600." + std::to_string(getpid());
	std::string source = fScratch / "script-src";
	WriteFile(source + "/ReadMe", "read me\n");
	WriteFile(fScratch / "wait.sh", "#!/bin/sh\nsleep " + seconds + "\n");
	std::string manifest = fScratch / "script.json";
	WriteFile(manifest, R"({"name": "Tool", "folder_name": "Tool", "source": ")" + source
		+ R"(", "groups": [{"name": "All"}], "flags": {"top_folder": true},
		"scripts": [{"source": ")" + (fScratch / "wait.sh") + R"("}]})");
	std::string package = fScratch / "script.pkg";
	std::string message;
	ASSERT_EQ(build_package(manifest.c_str(), nullptr, package.c_str(), &message), B_OK)
		<< message;

	std::string errors = fScratch / "errors.txt";
	pid_t run = Start(package, "rename", errors);
	ASSERT_GT(run, 0);
	pid_t sleeping = -1;
	ASSERT_TRUE(WaitWhileRunning(run, [&] {
		return (sleeping = FindProcess({"sleep", seconds})) > 0;
	})) << ReadHostFileText(errors);
	kill(run, SIGTERM);

	// 20 seconds at most, as a guard against a hang, not a measure.
	bool ended = false;
	for (int i = 0; i < 2000 && !ended; i++) {
		siginfo_t info = {};
		ended = waitid(P_PID, run, &info, WEXITED | WNOHANG | WNOWAIT) == 0
			&& info.si_pid == run;
		if (!ended)
			usleep(10000);
	}
	if (!ended)
		kill(run, SIGKILL);
	int status = Wait(run);
	EXPECT_TRUE(ended) << "the program was still waiting for its script";
	EXPECT_EQ(status, 1) << ReadHostFileText(errors);
	for (int i = 0; i < 2000 && !ProcessIsGone(sleeping); i++)
		usleep(10000);
	EXPECT_TRUE(ProcessIsGone(sleeping));
	EXPECT_TRUE(ReadTree(Host("/boot/apps/Tool")) == fOriginals);
	EXPECT_FALSE(Exists("/boot/apps/Tool.old"));
	EXPECT_TRUE(NothingLeftInVarTmp());
}
