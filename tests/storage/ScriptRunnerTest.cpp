#include <ScriptRunner.h>

#include <PlatformCalls.h>
#include <SharedProcessor.h>

#include "DaemonProbe.h"
#include "DirectRuns.h"
#include "SanitizerBuild.h"
#include "SystemCallFilter.h"
#include "TempRoot.h"

#include <Errors.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Collects the program's output; lets a test wait for a piece of it.
class OutputSink : public BDataIO {
public:
	ssize_t Read(void*, size_t) override { return B_UNSUPPORTED; }

	ssize_t Write(const void* buffer, size_t size) override
	{
		std::lock_guard<std::mutex> lock(fLock);
		fText.append((const char*)buffer, size);
		fChanged.notify_all();
		return size;
	}

	std::string Text()
	{
		std::lock_guard<std::mutex> lock(fLock);
		return fText;
	}

	bool WaitFor(const std::string& piece)
	{
		std::unique_lock<std::mutex> lock(fLock);
		return fChanged.wait_for(lock, std::chrono::seconds(60),
			[&] { return fText.find(piece) != std::string::npos; });
	}

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	std::string fText;
};

class ScriptRunnerTest : public TempRootTest {
protected:
	// Writes an executable script at a root-relative place ("boot/x.sh").
	void WriteScript(const std::string& relative, const std::string& body)
	{
		fRoot.WriteFile(relative, "#!/bin/sh\n" + body);
		fs::permissions(fRoot.HostPath(relative), fs::perms(0755));
	}

	// Runs a platform path; the output ends up in fOutput.
	status_t Run(ScriptRunner& runner, const char* path, int32* exitStatus,
		const char* const* args = nullptr)
	{
		runner.SetOutput(&fOutput);
		return runner.Run(path, args, exitStatus);
	}

	// Skips the test where the host gives no private view.
	bool HostAllowsView()
	{
		WriteScript("boot/probe.sh", "exit 0\n");
		ScriptRunner runner;
		int32 exitStatus = -1;
		return runner.Run("/boot/probe.sh", nullptr, &exitStatus) == B_OK
			&& exitStatus == 0 && runner.RanIsolated();
	}

	OutputSink fOutput;
};

// Makes unshare fail with EPERM, as a host that refuses namespaces does.
bool
refuse_unshare_in_this_thread()
{
	return refuse_calls_in_this_thread({{__NR_unshare, EPERM}});
}

#define SKIP_WITHOUT_VIEW() \
	if (!HostAllowsView()) \
		GTEST_SKIP() << "the host refuses user/mount namespaces (unshare)"

} // namespace


TEST_F(ScriptRunnerTest, OutputInOrderAndExitStatus)
{
	SKIP_WITHOUT_VIEW();
	WriteScript("boot/home/order.sh",
		"echo one\necho two >&2\necho three\necho four >&2\necho \"args: $1 $2\"\nexit 3\n");
	ScriptRunner runner;
	int32 exitStatus = -1;
	const char* args[] = {"alpha", "beta", nullptr};
	ASSERT_EQ(Run(runner, "/boot/home/order.sh", &exitStatus, args), B_OK);
	EXPECT_TRUE(runner.RanIsolated());
	EXPECT_EQ(runner.ViewError(), B_OK);
	EXPECT_EQ(exitStatus, 3);
	EXPECT_EQ(fOutput.Text(), "one\ntwo\nthree\nfour\nargs: alpha beta\n");
}

TEST_F(ScriptRunnerTest, TheViewShowsTheRootAsSlash)
{
	SKIP_WITHOUT_VIEW();
	fRoot.WriteFile("boot/x", "boot volume file\n");
	fRoot.WriteFile("Data/y", "data volume file\n");
	fRoot.WriteFile("boot/home/config/settings", "set\n");

	// A host file outside the root, in a folder the view does not bind.
	std::string marker = "/var/tmp/script-runner-marker-" + std::to_string(getpid());
	std::ofstream(marker) << "host\n";

	WriteScript("boot/view.sh",
		"cat /boot/x /Data/y /boot/home/config/settings\n"
		"ls /boot/home\n"
		"echo written > /boot/home/from-script\n"
		"test -e " + marker + " && echo marker-visible || echo marker-hidden\n"
		"test -d /var && echo var-visible || echo var-hidden\n"
		"test -x /bin/sh && echo bin-visible\n"
		"touch /usr/script-runner-write 2>/dev/null && echo usr-writable || echo usr-readonly\n");
	ScriptRunner runner;
	int32 exitStatus = -1;
	ASSERT_EQ(Run(runner, "/boot/view.sh", &exitStatus), B_OK);
	std::string text = fOutput.Text();
	fs::remove(marker);
	fs::remove("/usr/script-runner-write");

	EXPECT_EQ(exitStatus, 0) << text;
	EXPECT_EQ(text,
		"boot volume file\ndata volume file\nset\n"
		"config\n"
		"marker-hidden\nvar-hidden\nbin-visible\nusr-readonly\n");
	EXPECT_EQ(fRoot.ReadFile("boot/home/from-script"), "written\n");
	// The view was built without making folders in the root on the host.
	EXPECT_FALSE(fs::exists(fRoot.HostPath("bin")));
	EXPECT_FALSE(fs::exists(fRoot.HostPath("proc")));
}

TEST_F(ScriptRunnerTest, AVolumeNamedLikeAHostFolderGivesWay)
{
	SKIP_WITHOUT_VIEW();
	fRoot.WriteFile("tmp/volume-file", "");
	fRoot.WriteFile("bin/volume-file", "");
	WriteScript("boot/which.sh",
		"test -e /tmp/volume-file && echo tmp-volume || echo host-tmp\n"
		"test -e /bin/volume-file && echo bin-volume || echo host-bin\n"
		"test -d /boot && echo boot\n");
	ScriptRunner runner;
	int32 exitStatus = -1;
	ASSERT_EQ(Run(runner, "/boot/which.sh", &exitStatus), B_OK);
	EXPECT_TRUE(runner.RanIsolated());
	EXPECT_EQ(exitStatus, 0);
	EXPECT_EQ(fOutput.Text(), "host-tmp\nhost-bin\nboot\n");
}

TEST_F(ScriptRunnerTest, WorkingDirectoryAndDescriptors)
{
	SKIP_WITHOUT_VIEW();
	fRoot.WriteFile("boot/apps/here.txt", "");
	WriteScript("boot/apps/where.sh", "pwd\nls\n");
	ScriptRunner runner;
	runner.SetWorkingDirectory("/boot/apps");
	int32 exitStatus = -1;
	ASSERT_EQ(Run(runner, "/boot/apps/where.sh", &exitStatus), B_OK);
	EXPECT_EQ(exitStatus, 0);
	EXPECT_EQ(fOutput.Text(), "/boot/apps\nhere.txt\nwhere.sh\n");

	// ls opens the listed folder itself as 3: anything else is a leak.
	int leaked = open("/dev/null", O_RDONLY);	// not close-on-exec on purpose
	ASSERT_GE(leaked, 0);
	WriteScript("boot/fds.sh", "exec ls /proc/self/fd\n");
	OutputSink fds;
	ScriptRunner fdRunner;
	fdRunner.SetOutput(&fds);
	ASSERT_EQ(fdRunner.Run("/boot/fds.sh", nullptr, &exitStatus), B_OK);
	close(leaked);
	EXPECT_EQ(exitStatus, 0);
	EXPECT_EQ(fds.Text(), "0\n1\n2\n3\n");
}

TEST_F(ScriptRunnerTest, ProgramsThatCannotRunExitWith127)
{
	fRoot.WriteFile("boot/plain.sh", "#!/bin/sh\necho never\n");
	fs::permissions(fRoot.HostPath("boot/plain.sh"), fs::perms(0644));
	fRoot.WriteFile("boot/bad-interpreter.sh", "#!/no/such/shell\necho never\n");
	fs::permissions(fRoot.HostPath("boot/bad-interpreter.sh"), fs::perms(0755));

	for (uint32 flags : {0u, (uint32)ScriptRunner::kRunDirectly}) {
		if (flags != 0 && root_direct_runs_refused())
			continue;
		for (const char* path : {"/boot/missing.sh", "/boot/plain.sh",
				"/boot/bad-interpreter.sh"}) {
			SCOPED_TRACE(std::string(path) + (flags ? " run directly" : " in the view"));
			ScriptRunner runner(flags);
			OutputSink output;
			runner.SetOutput(&output);
			int32 exitStatus = 0;
			ASSERT_EQ(runner.Run(path, nullptr, &exitStatus), B_OK);
			EXPECT_EQ(exitStatus, ScriptRunner::kCannotExecute);
			EXPECT_EQ(output.Text().find("never"), std::string::npos);
			EXPECT_NE(output.Text().find(path), std::string::npos) << output.Text();
		}
	}

	ScriptRunner runner;
	runner.SetWorkingDirectory("/boot/no-such-folder");
	int32 exitStatus = 0;
	WriteScript("boot/ok.sh", "exit 0\n");
	EXPECT_NE(runner.Run("/boot/ok.sh", nullptr, &exitStatus), B_OK);
}

TEST_F(ScriptRunnerTest, CancelKillsTheProgramAndWhatItStarted)
{
	WriteScript("boot/slow.sh", "echo started\nsleep 100\necho finished\n");
	for (uint32 flags : {0u, (uint32)ScriptRunner::kRunDirectly}) {
		if (flags != 0 && root_direct_runs_refused())
			continue;
		SCOPED_TRACE(flags ? "run directly" : "in the view");
		ScriptRunner runner(flags);
		OutputSink output;
		runner.SetOutput(&output);
		int32 exitStatus = -1;
		status_t status = B_ERROR;
		std::thread running([&] { status = runner.Run("/boot/slow.sh", nullptr, &exitStatus); });
		bool started = output.WaitFor("started");
		runner.Cancel();
		running.join();
		ASSERT_TRUE(started);
		EXPECT_EQ(status, B_CANCELED);
		EXPECT_EQ(output.Text(), "started\n");
	}

	ScriptRunner cancelled;
	cancelled.Cancel();
	int32 exitStatus = -1;
	EXPECT_EQ(cancelled.Run("/boot/slow.sh", nullptr, &exitStatus), B_CANCELED);
}

// A raised cancel flag ends a running program at once: the process group
// is asked with SIGTERM first (a script's trap still runs and its output
// still reaches the log), and what ignores that is killed; either way every
// process of the script is gone when Run returns.
TEST_F(ScriptRunnerTest, ARaisedCancelFlagTerminatesThenKills)
{
	struct Case {
		const char* what;
		const char* trap;
		const char* output;
	};
	const Case cases[] = {
		{"a trap that ends the script", "trap 'echo terminated; exit 3' TERM\n",
			"started\nterminated\n"},
		{"a script that ignores SIGTERM", "trap '' TERM\n", "started\n"},
	};
	for (const Case& test : cases) {
		WriteScript("boot/long.sh", std::string(test.trap)
			+ "exec 9>alive\necho up >&9\necho started\nsleep 60 &\nwait\necho finished\n");
		for (uint32 flags : {0u, (uint32)ScriptRunner::kRunDirectly}) {
			if (flags != 0 && root_direct_runs_refused())
				continue;
			SCOPED_TRACE(std::string(test.what) + (flags ? ", run directly" : ", in the view"));
			fs::remove(fRoot.HostPath("boot/alive"));
			DaemonProbe probe(fRoot.HostPath("boot/alive"));
			ASSERT_TRUE(probe.InitCheck());
			BPrivate::CancelFlag flag;
			ScriptRunner runner(flags);
			runner.SetCancelFlag(&flag);
			OutputSink output;
			runner.SetOutput(&output);
			int32 exitStatus = -1;
			status_t status = B_ERROR;
			std::thread running([&] {
				status = runner.Run("/boot/long.sh", nullptr, &exitStatus);
			});
			bool started = output.WaitFor("started");
			flag.Raise();
			running.join();

			ASSERT_TRUE(started);
			EXPECT_EQ(status, B_CANCELED);
			EXPECT_EQ(output.Text(), test.output);
			EXPECT_EQ(probe.Messages(), "up\n");
			EXPECT_TRUE(probe.AllWritersGone());
		}
	}

	// A flag raised before the run starts nothing.
	BPrivate::CancelFlag raised;
	raised.Raise();
	ScriptRunner runner;
	runner.SetCancelFlag(&raised);
	WriteScript("boot/never.sh", "touch ran\n");
	int32 exitStatus = -1;
	EXPECT_EQ(runner.Run("/boot/never.sh", nullptr, &exitStatus), B_CANCELED);
	EXPECT_FALSE(fs::exists(fRoot.HostPath("boot/ran")));
}

TEST_F(ScriptRunnerTest, RunningDirectlyUsesHostFoldersAndSaysSo)
{
	SKIP_WHERE_ROOT_RUNS_NOTHING_DIRECTLY();
	fRoot.WriteFile("boot/home/note", "");
	WriteScript("boot/direct.sh", "pwd\necho \"$HOME\"\necho out\necho err >&2\nexit 5\n");
	ScriptRunner runner(ScriptRunner::kRunDirectly);
	runner.SetWorkingDirectory("/boot/home");
	runner.AddEnvironment("INSTALL_DESTINATION=/boot/home");
	int32 exitStatus = -1;
	ASSERT_EQ(Run(runner, "/boot/direct.sh", &exitStatus), B_OK);
	EXPECT_FALSE(runner.RanIsolated());
	EXPECT_EQ(runner.ViewError(), B_OK);
	EXPECT_EQ(exitStatus, 5);
	std::string home = fs::canonical(fRoot.HostPath("boot/home")).string();
	EXPECT_EQ(fOutput.Text(), home + "\n" + home + "\nout\nerr\n");

	WriteScript("boot/env.sh", "echo \"$INSTALL_DESTINATION\"\n");
	OutputSink env;
	runner.SetOutput(&env);
	ASSERT_EQ(runner.Run("/boot/env.sh", nullptr, &exitStatus), B_OK);
	EXPECT_EQ(env.Text(), "/boot/home\n");
}

TEST_F(ScriptRunnerTest, AHostThatRefusesTheViewGetsADirectRun)
{
	SKIP_WHERE_ROOT_RUNS_NOTHING_DIRECTLY();
	fRoot.WriteFile("boot/home/note", "");
	WriteScript("boot/refused.sh", "pwd\necho ran\nexit 4\n");
	ScriptRunner runner;
	runner.SetWorkingDirectory("/boot/home");
	runner.SetOutput(&fOutput);
	int32 exitStatus = -1;
	status_t status = B_ERROR;
	bool refused = false;
	// A thread of its own: the filter stays with it and the processes it
	// starts.
	std::thread refusing([&] {
		refused = refuse_unshare_in_this_thread();
		if (refused)
			status = runner.Run("/boot/refused.sh", nullptr, &exitStatus);
	});
	refusing.join();
	if (!refused)
		GTEST_SKIP() << "cannot install a system call filter here";

	ASSERT_EQ(status, B_OK);
	EXPECT_FALSE(runner.RanIsolated());
	EXPECT_EQ(runner.ViewError(), B_NOT_ALLOWED);
	EXPECT_EQ(exitStatus, 4);
	std::string home = fs::canonical(fRoot.HostPath("boot/home")).string();
	EXPECT_EQ(fOutput.Text(), home + "\nran\n");
}

namespace {

// As a host that refuses namespaces and whose kernel has no Landlock.
bool
refuse_view_and_confinement_in_this_thread()
{
	return refuse_calls_in_this_thread({{__NR_unshare, EPERM},
		{SYS_landlock_create_ruleset, ENOSYS}});
}

} // namespace


// Without the view a program sees the host's files; it may still write only
// below the root's volumes (root too, which could otherwise change any file
// it owns), and its temporary files go there as well.
TEST_F(ScriptRunnerTest, ADirectRunWritesOnlyBelowTheRootsVolumes)
{
	if (!kernel_confines_writes())
		GTEST_SKIP() << "the kernel has no Landlock rule sets";
	std::string outside = (fs::temp_directory_path()
		/ ("kestrovan-outside-" + std::to_string(getpid()))).string();
	fs::create_directories(outside);
	fs::permissions(outside, fs::perms::all);
	fRoot.WriteFile("boot/home/note", "");
	WriteScript("boot/writes.sh",
		"echo in > inside && mkdir -p made/deeper && mv inside made/deeper/ && echo inside\n"
		"{ echo x > " + outside + "/direct; } 2>/dev/null && echo outside\n"
		"ln -s " + outside + " out && { echo x > out/through-link; } 2>/dev/null && echo link\n"
		"t=$(mktemp) && echo x > \"$t\" && echo temporary\n"
		"echo x > /dev/null && echo device\n");
	ScriptRunner runner(ScriptRunner::kRunDirectly);
	runner.SetWorkingDirectory("/boot/home");
	int32 exitStatus = -1;
	status_t status = Run(runner, "/boot/writes.sh", &exitStatus);
	bool outsideWritten = !fs::is_empty(outside);
	fs::remove_all(outside);

	ASSERT_EQ(status, B_OK);
	EXPECT_FALSE(runner.Refused());
	EXPECT_EQ(fOutput.Text(), "inside\ntemporary\ndevice\n");
	EXPECT_FALSE(outsideWritten);
	EXPECT_TRUE(fs::exists(fRoot.HostPath("boot/home/made/deeper/inside")));
}


// Where neither can be had, a program that would run as root on the host
// with nothing to hold it is not run at all; an ordinary user's runs with
// that user's own rights.
TEST_F(ScriptRunnerTest, WithNeitherViewNorConfinementRootRunsNothing)
{
	fRoot.WriteFile("boot/home/note", "");
	WriteScript("boot/unheld.sh", "echo ran > ran\necho ran\n");
	ScriptRunner runner;
	runner.SetWorkingDirectory("/boot/home");
	int32 exitStatus = -1;
	status_t status = B_ERROR;
	bool refused = false;
	std::thread refusing([&] {
		refused = refuse_view_and_confinement_in_this_thread();
		if (refused)
			status = Run(runner, "/boot/unheld.sh", &exitStatus);
	});
	refusing.join();
	if (!refused)
		GTEST_SKIP() << "cannot install a system call filter here";

	ASSERT_EQ(status, B_OK);
	EXPECT_FALSE(runner.RanIsolated());
	bool ran = fs::exists(fRoot.HostPath("boot/home/ran"));
	if (geteuid() == 0) {
		EXPECT_TRUE(runner.Refused());
		EXPECT_EQ(exitStatus, ScriptRunner::kCannotExecute);
		EXPECT_FALSE(ran);
		EXPECT_EQ(fOutput.Text(), "");
	} else {
		EXPECT_FALSE(runner.Refused());
		EXPECT_EQ(exitStatus, 0);
		EXPECT_TRUE(ran);
	}
}


TEST_F(ScriptRunnerTest, TheProgramStartsWithDefaultSignals)
{
	WriteScript("boot/signals.sh", "exec grep -E '^Sig(Blk|Ign)' /proc/self/status\n");
	for (uint32 flags : {0u, (uint32)ScriptRunner::kRunDirectly}) {
		if (flags != 0 && root_direct_runs_refused())
			continue;
		SCOPED_TRACE(flags ? "run directly" : "in the view");
		ScriptRunner runner(flags);
		OutputSink output;
		runner.SetOutput(&output);
		int32 exitStatus = -1;
		status_t status = B_ERROR;
		// An installer that ignores SIGPIPE and blocks signals in the
		// thread that runs the script.
		struct sigaction previous;
		struct sigaction ignore = {};
		ignore.sa_handler = SIG_IGN;
		sigaction(SIGPIPE, &ignore, &previous);
		std::thread blocking([&] {
			sigset_t blocked;
			sigemptyset(&blocked);
			sigaddset(&blocked, SIGUSR1);
			sigaddset(&blocked, SIGTERM);
			pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
			status = runner.Run("/boot/signals.sh", nullptr, &exitStatus);
		});
		blocking.join();
		sigaction(SIGPIPE, &previous, nullptr);

		ASSERT_EQ(status, B_OK);
		EXPECT_EQ(exitStatus, 0);
		EXPECT_EQ(output.Text(), "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");
	}
}

TEST_F(ScriptRunnerTest, ARelativeProgramPathStartsAtThePlatformsCurrentFolder)
{
	SKIP_WITHOUT_VIEW();
	fRoot.WriteFile("boot/apps/rel/marker", "");
	WriteScript("boot/apps/rel/relative.sh", "pwd\necho ran \"$1\"\n");
	std::string hostFolder = fs::current_path().string();
	ASSERT_EQ(platform_chdir("/boot/apps"), 0);
	ScriptRunner runner;
	int32 exitStatus = -1;
	const char* args[] = {"x", nullptr};
	status_t status = Run(runner, "rel/relative.sh", &exitStatus, args);
	fs::current_path(hostFolder);
	ASSERT_EQ(status, B_OK);
	EXPECT_TRUE(runner.RanIsolated());
	EXPECT_EQ(exitStatus, 0);
	EXPECT_EQ(fOutput.Text(), "/boot\nran x\n");
}


namespace {

// The user a script in the escape tests runs as: root, or an ordinary user
// (the installer started by a user).
enum class Runner { kRoot, kUser };

const uid_t kOrdinaryUser = 65534;

// A run seen from outside: what Run returned and what the program wrote.
struct RunOutcome {
	status_t status = B_ERROR;
	int32 exitStatus = -1;
	bool isolated = false;
	status_t viewError = B_OK;
	std::string output;
};

// Runs the program once, in this process.
RunOutcome
run_here(const char* path)
{
	RunOutcome outcome;
	OutputSink output;
	ScriptRunner runner;
	runner.SetOutput(&output);
	outcome.status = runner.Run(path, nullptr, &outcome.exitStatus);
	outcome.isolated = runner.RanIsolated();
	outcome.viewError = runner.ViewError();
	outcome.output = output.Text();
	return outcome;
}

// Runs the program once from a child process that has become the ordinary
// user; the outcome comes back through a pipe.
RunOutcome
run_as_ordinary_user(const char* path)
{
	RunOutcome outcome;
	int ends[2];
	if (pipe2(ends, O_CLOEXEC) != 0)
		return outcome;
	pid_t child = fork();
	if (child == 0) {
		close(ends[0]);
		if (setgroups(0, nullptr) != 0 || setresgid(kOrdinaryUser, kOrdinaryUser,
				kOrdinaryUser) != 0
			|| setresuid(kOrdinaryUser, kOrdinaryUser, kOrdinaryUser) != 0
			// As a program the user started: the change of user left this
			// process undumpable, its /proc files root's.
			|| prctl(PR_SET_DUMPABLE, 1, 0, 0, 0) != 0) {
			_exit(1);
		}
		RunOutcome ran = run_here(path);
		std::string record = std::to_string(ran.status) + " " + std::to_string(ran.exitStatus)
			+ " " + (ran.isolated ? "1" : "0") + " " + std::to_string(ran.viewError) + "\n"
			+ ran.output;
		bool sent = write(ends[1], record.data(), record.size()) == (ssize_t)record.size();
		_exit(sent ? 0 : 1);
	}
	close(ends[1]);
	std::string record;
	char buffer[4096];
	ssize_t bytes;
	while ((bytes = read(ends[0], buffer, sizeof(buffer))) > 0)
		record.append(buffer, bytes);
	close(ends[0]);
	int waitStatus = 0;
	if (child < 0 || waitpid(child, &waitStatus, 0) != child || !WIFEXITED(waitStatus)
		|| WEXITSTATUS(waitStatus) != 0) {
		return outcome;
	}
	size_t lineEnd = record.find('\n');
	int isolated = 0;
	if (lineEnd == std::string::npos
		|| sscanf(record.c_str(), "%d %d %d %d", &outcome.status, &outcome.exitStatus,
			&isolated, &outcome.viewError) != 4) {
		outcome.status = B_ERROR;
		return outcome;
	}
	outcome.isolated = isolated != 0;
	outcome.output = record.substr(lineEnd + 1);
	return outcome;
}

// Scripts that try to leave their view, as root and as an ordinary user.
class ScriptEscapeTest : public ScriptRunnerTest,
	public testing::WithParamInterface<Runner> {
protected:
	void SetUp() override
	{
		ScriptRunnerTest::SetUp();
		if (GetParam() == Runner::kRoot && geteuid() != 0)
			GTEST_SKIP() << "running as root needs root";
		// The thread sanitizer starts a thread of its own again in every
		// forked process, and the kernel makes no user namespace for a
		// process of several threads: the view of an ordinary user's
		// script cannot be made in that build.
		if (GetParam() == Runner::kUser && built_with_thread_sanitizer())
			GTEST_SKIP() << "no user namespace under the thread sanitizer";
		if (GetParam() == Runner::kUser && geteuid() == 0) {
			// The ordinary user owns the volumes, as a user's own root.
			fs::permissions(fRoot.HostPath(), fs::perms(0755));
			for (const char* volume : {"boot", "Data"})
				ASSERT_EQ(chown(fRoot.HostPath(volume).c_str(), kOrdinaryUser, kOrdinaryUser), 0);
		}
		WriteScript("boot/probe.sh", "exit 0\n");
		RunOutcome probe = RunScript("/boot/probe.sh");
		if (probe.status != B_OK || !probe.isolated) {
			GTEST_SKIP() << "the host refuses this user a private view ("
				<< strerror_status(probe.status != B_OK ? probe.status : probe.viewError) << ")";
		}
	}

	// Runs a script as the test's user.
	RunOutcome RunScript(const char* path)
	{
		if (GetParam() == Runner::kUser && geteuid() == 0)
			return run_as_ordinary_user(path);
		return run_here(path);
	}

	// A host path no script may create, removed again whatever happens.
	std::string HostMarker(const std::string& folder)
	{
		std::string path = folder + "/kestrovan-escape-" + std::to_string(getpid());
		fMarkers.push_back(path);
		return path;
	}

	void TearDown() override
	{
		for (const std::string& marker : fMarkers)
			fs::remove(marker);
	}

	std::vector<std::string> fMarkers;
};

} // namespace


TEST_P(ScriptEscapeTest, ReadOnlyFoldersStayReadOnly)
{
	std::string etcMarker = HostMarker("/etc");
	// Outside every folder of the view: visible only to a script that got
	// back to the host's root.
	std::string hostMarker = HostMarker("/var/tmp");
	std::ofstream(hostMarker) << "host\n";
	WriteScript("boot/remount.sh",
		"mount -o remount,bind,rw /etc 2>/dev/null && echo etc-remounted\n"
		"umount /etc 2>/dev/null && echo etc-unmounted\n"
		"{ echo escaped > " + etcMarker + "; } 2>/dev/null && echo etc-written\n"
		"mount -o remount,rw / 2>/dev/null && echo root-remounted\n"
		// The classic way out of a chroot: a second one, then up from it.
		"perl -e 'mkdir \"/tmp/jail\"; chroot \"/tmp/jail\" or exit; chdir \"..\" for 1..64;"
		" chroot \".\" or exit; print \"escaped\\n\" if -e $ARGV[0]' " + hostMarker + "\n"
		"test -x /bin/sh && echo sh-runs\n"
		"exit 7\n");
	RunOutcome outcome = RunScript("/boot/remount.sh");
	ASSERT_EQ(outcome.status, B_OK);
	EXPECT_TRUE(outcome.isolated);
	EXPECT_EQ(outcome.exitStatus, 7);
	EXPECT_EQ(outcome.output, "sh-runs\n");
	EXPECT_FALSE(fs::exists(etcMarker));
}

TEST_P(ScriptEscapeTest, TmpAndDevAreTheViewsOwn)
{
	std::string tmpMarker = HostMarker("/tmp");
	std::string hostTmpFile = HostMarker("/tmp") + "-host";
	fMarkers.push_back(hostTmpFile);
	std::ofstream(hostTmpFile) << "host\n";
	WriteScript("boot/devices.sh",
		"echo view > " + tmpMarker + " && echo tmp-written\n"
		"test -e " + hostTmpFile + " && echo host-tmp-visible\n"
		"find /dev -type b\n"
		"for disk in vda sda nvme0n1 loop0 mem kmsg; do\n"
		"  test -e /dev/$disk && echo \"/dev/$disk visible\"\n"
		"done\n"
		"echo discarded > /dev/null && echo null-ok\n"
		"test \"$(head -c 4 /dev/urandom | wc -c)\" = 4 && echo urandom-ok\n"
		"test \"$(head -c 4 /dev/zero | tr '\\0' z)\" = zzzz && echo zero-ok\n"
		"echo stdout-ok > /dev/stdout\n"
		"exit 0\n");
	RunOutcome outcome = RunScript("/boot/devices.sh");
	ASSERT_EQ(outcome.status, B_OK);
	EXPECT_EQ(outcome.exitStatus, 0);
	EXPECT_EQ(outcome.output, "tmp-written\nnull-ok\nurandom-ok\nzero-ok\nstdout-ok\n");
	EXPECT_FALSE(fs::exists(tmpMarker));
}

TEST_P(ScriptEscapeTest, ProcShowsOnlyTheViewAndIsReadOnly)
{
	// A process of the host the view must not see: this test's.
	pid_t hostProcess = getpid();
	ASSERT_GT(hostProcess, 20) << "too small a number to tell apart from the view's";
	WriteScript("boot/proc.sh",
		"test -d /proc/" + std::to_string(hostProcess) + " && echo host-process-visible\n"
		"test -r /proc/self/status && echo own-process-visible\n"
		"for setting in /proc/sys/kernel/hostname /proc/sys/vm/swappiness "
		"/proc/sysrq-trigger; do\n"
		"  test -w $setting && echo \"$setting writable\"\n"
		"done\n"
		"exit 0\n");
	RunOutcome outcome = RunScript("/boot/proc.sh");
	ASSERT_EQ(outcome.status, B_OK);
	EXPECT_EQ(outcome.exitStatus, 0);
	EXPECT_EQ(outcome.output, "own-process-visible\n");
}

TEST_P(ScriptEscapeTest, NothingTheScriptStartedOutlivesIt)
{
	DaemonProbe probe(fRoot.HostPath("boot/alive"));
	ASSERT_TRUE(probe.InitCheck());
	// A daemon in a session of its own and a twice-forked orphan; the
	// script waits until both hold the probe.
	WriteScript("boot/daemons.sh",
		"setsid sh -c 'exec 9>/boot/alive; echo up >&9; : > /boot/one; exec sleep 30' "
		"</dev/null >/dev/null 2>&1 &\n"
		"( ( exec 9>/boot/alive; echo up >&9; : > /boot/two; exec sleep 30 ) "
		"</dev/null >/dev/null 2>&1 & )\n"
		"while ! test -e /boot/one || ! test -e /boot/two; do sleep 0.01; done\n"
		"exit 3\n");
	RunOutcome outcome = RunScript("/boot/daemons.sh");
	ASSERT_EQ(outcome.status, B_OK);
	EXPECT_EQ(outcome.exitStatus, 3);
	EXPECT_EQ(probe.Messages(), "up\nup\n");
	EXPECT_TRUE(probe.AllWritersGone());
}

INSTANTIATE_TEST_SUITE_P(AsRootAndAsUser, ScriptEscapeTest,
	testing::Values(Runner::kRoot, Runner::kUser),
	[](const testing::TestParamInfo<Runner>& info) {
		return info.param == Runner::kRoot ? "AsRoot" : "AsOrdinaryUser";
	});


namespace {

// Makes unshare fail for a new user namespace (and only for that) in the
// calling thread and the processes it starts from now on.
bool
refuse_user_namespaces_in_this_thread()
{
	struct sock_filter program[] = {
		BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
		BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_unshare, 0, 3),
		BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, args[0])),
		BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, CLONE_NEWUSER, 0, 1),
		BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
		BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
	};
	return install_filter_in_this_thread(program, sizeof(program) / sizeof(program[0]));
}

} // namespace


TEST_F(ScriptRunnerTest, WithoutAUserNamespaceRootKeepsNoCapability)
{
	if (geteuid() != 0)
		GTEST_SKIP() << "only root gets a view without a user namespace";
	SKIP_WITHOUT_VIEW();
	std::string etcMarker = "/etc/kestrovan-escape-" + std::to_string(getpid());
	WriteScript("boot/capabilities.sh",
		"id -u\n"
		"mount -o remount,bind,rw /etc 2>/dev/null && echo etc-remounted\n"
		"{ echo escaped > " + etcMarker + "; } 2>/dev/null && echo etc-written\n"
		"grep '^CapEff' /proc/self/status\n");
	RunOutcome outcome;
	bool refused = false;
	std::thread refusing([&] {
		refused = refuse_user_namespaces_in_this_thread();
		if (refused)
			outcome = run_here("/boot/capabilities.sh");
	});
	refusing.join();
	fs::remove(etcMarker);
	if (!refused)
		GTEST_SKIP() << "cannot install a system call filter here";
	ASSERT_EQ(outcome.status, B_OK);
	EXPECT_TRUE(outcome.isolated);
	EXPECT_EQ(outcome.exitStatus, 0);
	EXPECT_EQ(outcome.output, "0\nCapEff:\t0000000000000000\n");
}


TEST_F(ScriptRunnerTest, AScriptGetsEveryProcessorWhateverThreadStartsIt)
{
	SKIP_WITHOUT_VIEW();
	cpu_set_t program;
	ASSERT_EQ(sched_getaffinity(0, sizeof(program), &program), 0);
	if (CPU_COUNT(&program) < 2)
		GTEST_SKIP() << "one usable processor";
	WriteScript("boot/count.sh",
		"while read name value; do\n"
		"  case $name in Cpus_allowed_list:) echo \"$value\";; esac\n"
		"done < /proc/self/status\n");
	std::string expected;
	{
		std::ifstream status("/proc/self/status");
		for (std::string line; std::getline(status, line);) {
			if (line.rfind("Cpus_allowed_list:", 0) == 0)
				expected = line.substr(line.find_first_not_of(" \t", 18));
		}
	}

	// The starting thread is kept on one processor with a partner, as the
	// install worker is with the progress window.
	std::mutex lock;
	std::condition_variable changed;
	thread_id partnerId = -1;
	bool done = false;
	std::thread partner([&] {
		std::unique_lock<std::mutex> guard(lock);
		partnerId = find_thread(nullptr);
		changed.notify_all();
		changed.wait(guard, [&] { return done; });
	});
	int32 exitStatus = -1;
	status_t status = B_ERROR;
	std::thread worker([&] {
		{
			std::unique_lock<std::mutex> guard(lock);
			changed.wait(guard, [&] { return partnerId >= 0; });
		}
		BPrivate::SharedProcessor together(partnerId);
		EXPECT_TRUE(together.IsShared());
		ScriptRunner runner;
		status = Run(runner, "/boot/count.sh", &exitStatus);
	});
	worker.join();
	{
		std::lock_guard<std::mutex> guard(lock);
		done = true;
	}
	changed.notify_all();
	partner.join();

	ASSERT_EQ(status, B_OK);
	EXPECT_EQ(exitStatus, 0);
	EXPECT_EQ(fOutput.Text(), expected + "\n");
}
