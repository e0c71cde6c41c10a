#include "ScriptRunner.h"

#include <Errors.h>
#include <PlatformCalls.h>
#include <SharedProcessor.h>
#include <SystemRoot.h>

#include "WriteConfinement.h"

#include <OS.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace {

// The descriptors the child keeps up to its exec, at fixed numbers.
const int kSetupDescriptor = 3;
const int kProgramDescriptor = 4;
// Free numbers the child parks its descriptors at before putting them in
// place, so that no dup2 overwrites a descriptor still to be moved.
const int kParkingDescriptor = 64;

// Host folders the program sees, read-only.
const char* const kHostFolders[] = {
	"/bin", "/sbin", "/usr", "/lib", "/lib32", "/lib64", "/etc",
};

// Folders the view makes for itself: nothing of the host's shows there.
const char* const kOwnFolders[] = {"/dev", "/proc", "/tmp"};

// The view's /dev: these host nodes, one by one, and links into /proc.
const char* const kDevices[] = {
	"/dev/null", "/dev/zero", "/dev/full", "/dev/random", "/dev/urandom", "/dev/tty",
};
struct DeviceLink {
	const char* path;
	const char* target;
};
const DeviceLink kDeviceLinks[] = {
	{"/dev/fd", "/proc/self/fd"}, {"/dev/stdin", "/proc/self/fd/0"},
	{"/dev/stdout", "/proc/self/fd/1"}, {"/dev/stderr", "/proc/self/fd/2"},
};

const char* const kSearchPath = "PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";

// After a cancel has ended the child, how long its output may stay open: a
// process that left the program's process group (possible only in a run
// without the private view) must not hold the run up.
const bigtime_t kOutputDrainLimit = 2000000;
// Where the host cannot wait on a process directly (no pidfd), how often
// the wait looks whether the child has ended.
const bigtime_t kExitCheckInterval = 100000;

// What the child tells the parent when its view could not be set up.
struct SetupFailure {
	int step;
	int error;
};

enum {
	kStepNamespace = 1,
	kStepIdentity,
	kStepMount
};

// One step in building the view on its staging folder.
enum ViewStepKind {
	kMountTmpfs,		// options in `source`
	kBindFolder,
	kBindDevice,
	kMakeLink,			// link text in `source`
	kMakeReadOnly
};

struct ViewStep {
	ViewStepKind kind;
	std::string source;
	std::string target;
	unsigned long flags;	// of a tmpfs
	bool readOnly;			// of a bound folder, with everything mounted in it
};

// A volume named like a folder of the view ("bin", "tmp") stays out of it:
// the program needs the view's.
bool
is_view_folder_name(const std::string& name)
{
	for (const char* folder : kHostFolders) {
		if (name == folder + 1)
			return true;
	}
	for (const char* folder : kOwnFolders) {
		if (name == folder + 1)
			return true;
	}
	return false;
}


bool
is_host_directory(const std::string& path)
{
	struct stat info;
	return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}


// The names of the root's volumes: every folder (or link to one) directly
// in the system root. False when the root cannot be read.
bool
list_root_volumes(const std::string& root, std::vector<std::string>* names)
{
	DIR* directory = opendir(root.c_str());
	if (directory == nullptr)
		return false;
	while (dirent* entry = readdir(directory)) {
		std::string name = entry->d_name;
		if (name != "." && name != ".." && is_host_directory(root + "/" + name))
			names->push_back(name);
	}
	closedir(directory);
	return true;
}

// The child's side: only async-signal-safe calls from here on.

[[noreturn]] void
child_report_setup_failure(int step)
{
	SetupFailure failure = {step, errno};
	ssize_t ignored = write(kSetupDescriptor, &failure, sizeof(failure));
	(void)ignored;
	_exit(ScriptRunner::kCannotExecute);
}

void
child_write_text(const char* text)
{
	ssize_t ignored = write(STDERR_FILENO, text, strlen(text));
	(void)ignored;
}

bool
child_write_file_at(int folder, const char* path, const char* text)
{
	int fd = openat(folder, path, O_WRONLY | O_CLOEXEC);
	if (fd < 0)
		return false;
	size_t length = strlen(text);
	bool written = write(fd, text, length) == (ssize_t)length;
	close(fd);
	return written;
}

// Maps the user namespace the process has just entered (`proc` holds the
// /proc to write through).
bool
child_map_identity(int proc, const char* uidMap, const char* gidMap)
{
	return child_write_file_at(proc, "self/setgroups", "deny")
		&& child_write_file_at(proc, "self/uid_map", uidMap)
		&& child_write_file_at(proc, "self/gid_map", gidMap);
}

bool
child_make_folder(const char* path)
{
	return mkdir(path, 0755) == 0 || errno == EEXIST;
}

bool
child_make_read_only(const char* path, unsigned int recursive)
{
	struct mount_attr attributes = {};
	attributes.attr_set = MOUNT_ATTR_RDONLY;
	return mount_setattr(AT_FDCWD, path, recursive, &attributes, sizeof(attributes)) == 0;
}

bool
child_take_view_step(const ViewStep& step)
{
	const char* target = step.target.c_str();
	switch (step.kind) {
		case kMountTmpfs:
			return child_make_folder(target)
				&& mount("tmpfs", target, "tmpfs", step.flags, step.source.c_str()) == 0;
		case kBindFolder:
			return child_make_folder(target)
				&& mount(step.source.c_str(), target, nullptr, MS_BIND | MS_REC, nullptr) == 0
				&& (!step.readOnly || child_make_read_only(target, AT_RECURSIVE));
		case kBindDevice:
		{
			int fd = open(target, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
			if (fd < 0)
				return false;
			close(fd);
			return mount(step.source.c_str(), target, nullptr, MS_BIND, nullptr) == 0;
		}
		case kMakeLink:
			return symlink(step.source.c_str(), target) == 0;
		case kMakeReadOnly:
			return child_make_read_only(target, 0);
	}
	return false;
}

// The view's /proc: a fresh one for its PID namespace, shown read-only (the
// host's settings are no business of the script's). *_proc is the writable
// mount beneath, for the program's process to map its identity through
// before it starts the program; -1 when the host refuses a fresh /proc to
// this namespace, and the view then has none.
bool
child_mount_proc(const char* target, int* _proc)
{
	*_proc = -1;
	if (!child_make_folder(target))
		return false;
	if (mount("proc", target, "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0)
		return true;
	*_proc = open(target, O_PATH | O_DIRECTORY | O_CLOEXEC);
	return *_proc >= 0 && mount(target, target, nullptr, MS_BIND, nullptr) == 0
		&& child_make_read_only(target, 0);
}

// Without a user namespace of its own, the program holds no capability at
// all (its user stays root, but a root that cannot mount, chroot or reach
// devices).
bool
child_drop_capabilities()
{
	for (int capability = 0; capability < 64; capability++) {
		if (prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0 && errno != EINVAL)
			return false;
	}
	prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
	struct __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
	struct __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
	return syscall(SYS_capset, &header, none) == 0;
}

// Waits for `child`, reaping whatever else ends on the way (the first
// process of a PID namespace inherits the orphans); its status as the
// parent reports it.
int
child_wait_for(pid_t child)
{
	for (;;) {
		int status = 0;
		pid_t ended = waitpid(-1, &status, 0);
		if (ended < 0 && errno == EINTR)
			continue;
		if (ended < 0)
			return ScriptRunner::kCannotExecute;
		if (ended != child)
			continue;
		if (WIFEXITED(status))
			return WEXITSTATUS(status);
		if (WIFSIGNALED(status))
			return 128 + WTERMSIG(status);
	}
}

// A close-on-exec pipe, closed when it goes.
struct Pipe {
	int read = -1;
	int write = -1;

	~Pipe()
	{
		if (read >= 0)
			close(read);
		CloseWrite();
	}

	bool Open()
	{
		int ends[2];
		if (pipe2(ends, O_CLOEXEC) != 0)
			return false;
		read = ends[0];
		write = ends[1];
		return true;
	}

	void CloseWrite()
	{
		if (write >= 0)
			close(write);
		write = -1;
	}
};

// Reads what is there on a descriptor poll found readable: false at its end
// (or on an error), when it is to be left out of the next poll.
bool
read_available(int fd, std::string* text)
{
	char buffer[4096];
	ssize_t bytes;
	while ((bytes = read(fd, buffer, sizeof(buffer))) < 0 && errno == EINTR)
		;
	if (bytes <= 0)
		return false;
	text->append(buffer, bytes);
	return true;
}

// The child as poll sees it: a descriptor that becomes readable when it
// ends, where the host has them.
struct ChildWatch {
	pid_t child;
	int pidfd;
	bool exited = false;

	explicit ChildWatch(pid_t process)
		:
		child(process),
		pidfd((int)syscall(SYS_pidfd_open, process, 0))
	{
	}

	~ChildWatch()
	{
		if (pidfd >= 0)
			close(pidfd);
	}

	// Without a pidfd, asks without waiting (and without reaping).
	void Check()
	{
		if (exited || pidfd >= 0)
			return;
		siginfo_t info = {};
		exited = waitid(P_PID, child, &info, WEXITED | WNOHANG | WNOWAIT) == 0
			&& info.si_pid == child;
	}

	// Reaps the child: its status as the parent gets it.
	int Reap()
	{
		int status = 0;
		while (waitpid(child, &status, 0) < 0 && errno == EINTR)
			;
		return status;
	}
};

// How a cancelled run ends its child: SIGTERM to the process group, SIGKILL
// when the grace is over, and a last short wait for the output.
struct Termination {
	bool requested = false;
	bool killed = false;
	bigtime_t killAt = 0;
	bigtime_t giveUpAt = 0;

	void Begin(pid_t group)
	{
		requested = true;
		killAt = system_time() + ScriptRunner::kTerminationGrace;
		kill(-group, SIGTERM);
	}

	void KillWhenDue(pid_t group)
	{
		if (!requested || killed || system_time() < killAt)
			return;
		killed = true;
		giveUpAt = system_time() + kOutputDrainLimit;
		kill(-group, SIGKILL);
	}

	// Milliseconds until the next step, -1 for none.
	int Timeout(bool exited) const
	{
		bigtime_t until;
		if (requested && !killed)
			until = killAt;
		else if (killed && exited)
			until = giveUpAt;
		else
			return -1;
		bigtime_t left = until - system_time();
		return left <= 0 ? 0 : (int)((left + 999) / 1000);
	}
};

} // namespace


struct ScriptRunner::Launch {
	bool isolated = false;
	bool userNamespace = false;
	// A run without the view writes only to the root's volumes; refused
	// when that cannot be ensured for a program run by root.
	WriteConfinement confinement;
	bool refused = false;

	int programFd = -1;
	int nullFd = -1;
	// Every processor the installer may use, whatever its starting
	// thread was kept on.
	bool spread = false;
	cpu_set_t processors;
	std::string executePath;		// inside the view
	std::string workingDirectory;	// inside the view, or on the host
	std::string cannotExecute;		// the child's message

	std::vector<std::string> argumentStrings;
	std::vector<std::string> environmentStrings;
	std::vector<char*> argv;
	std::vector<char*> envp;

	std::string staging;			// host folder the view is mounted on
	std::vector<ViewStep> view;		// what is mounted there, in order
	std::string procFolder;			// the view's /proc, on the staging folder
	std::string uidMap;				// of the namespace the installer's user
	std::string gidMap;				// is root in (not when it is root)
	pid_t installer = -1;

	~Launch()
	{
		if (programFd >= 0)
			close(programFd);
		if (nullFd >= 0)
			close(nullFd);
		if (!staging.empty())
			rmdir(staging.c_str());
	}
};


ScriptRunner::ScriptRunner(uint32 flags)
	:
	fFlags(flags),
	fWorkingDirectory("/boot"),
	fOutput(nullptr),
	fRanIsolated(false),
	fRefused(false),
	fViewError(B_OK),
	fCancelFlag(nullptr)
{
}


ScriptRunner::~ScriptRunner()
{
}


void
ScriptRunner::SetWorkingDirectory(const char* path)
{
	fWorkingDirectory = path != nullptr ? path : "/boot";
}


void
ScriptRunner::SetOutput(BDataIO* output)
{
	fOutput = output;
}


void
ScriptRunner::AddEnvironment(const char* assignment)
{
	if (assignment != nullptr)
		fEnvironment.push_back(assignment);
}


void
ScriptRunner::SetCancelFlag(const BPrivate::CancelFlag* flag)
{
	fCancelFlag = flag;
}


status_t
ScriptRunner::Run(const char* path, const char* const* args, int32* exitStatus)
{
	if (path == nullptr || exitStatus == nullptr)
		return B_BAD_VALUE;
	fRanIsolated = false;
	fRefused = false;
	fViewError = B_OK;

	bool tryIsolated = (fFlags & kRunDirectly) == 0;
	for (;;) {
		Launch launch;
		status_t status = _Prepare(path, args, tryIsolated, launch);
		if (status != B_OK)
			return status;
		if (launch.refused) {
			fRefused = true;
			*exitStatus = kCannotExecute;
			return B_OK;
		}
		if (launch.programFd < 0) {
			// Nothing to execute: as a shell reports it.
			_Emit(launch.cannotExecute.data(), launch.cannotExecute.size());
			*exitStatus = kCannotExecute;
			return B_OK;
		}

		bool ran = false;
		status = _RunOnce(launch, exitStatus, &ran);
		if (status != B_OK)
			return status;
		if (_Cancelled())
			return B_CANCELED;
		if (ran) {
			fRanIsolated = launch.isolated;
			return B_OK;
		}
		if (!launch.isolated)
			return B_ERROR;
		// The host refused the private view: run directly.
		tryIsolated = false;
	}
}


// One attempt: starts the child and collects its output and status; *_ran is
// false when the child never got to run the program.
status_t
ScriptRunner::_RunOnce(Launch& launch, int32* exitStatus, bool* _ran)
{
	Pipe output;
	Pipe setup;
	if (!output.Open() || !setup.Open())
		return errno_status();

	pid_t child = -1;
	status_t status = _Start(launch, output.write, setup.write, &child);
	// Only the child writes: the parent's ends must go for EOF to come.
	output.CloseWrite();
	setup.CloseWrite();
	if (status == B_OK)
		*_ran = _Collect(output.read, setup.read, child, exitStatus);
	return status;
}


void
ScriptRunner::Cancel()
{
	fCancelRequest.Raise();
}


bool
ScriptRunner::_Cancelled() const
{
	return fCancelRequest.IsRaised() || (fCancelFlag != nullptr && fCancelFlag->IsRaised());
}


// Everything that allocates happens here, before the fork.
status_t
ScriptRunner::_Prepare(const char* path, const char* const* args, bool isolated,
	Launch& launch)
{
	launch.isolated = isolated;
	launch.cannotExecute = std::string(path) + ": cannot execute\n";

	char hostBuffer[PATH_MAX];
	status_t status = platform_get_host_path(fWorkingDirectory.c_str(), hostBuffer,
		sizeof(hostBuffer));
	if (status != B_OK)
		return status;
	if (!is_host_directory(hostBuffer))
		return B_NOT_A_DIRECTORY;
	launch.workingDirectory = isolated ? fWorkingDirectory : std::string(hostBuffer);

	launch.programFd = platform_open_executable(path);
	if (launch.programFd < 0) {
		launch.cannotExecute = std::string(path) + ": " + strerror(errno) + "\n";
		return B_OK;
	}
	launch.executePath = path;

	launch.nullFd = open("/dev/null", O_RDWR | O_CLOEXEC);
	if (launch.nullFd < 0)
		return errno_status();
	launch.spread = BPrivate::SharedProcessor::ProgramProcessors(&launch.processors);

	launch.argumentStrings.push_back(path);
	for (int i = 0; args != nullptr && args[i] != nullptr; i++)
		launch.argumentStrings.push_back(args[i]);
	for (std::string& argument : launch.argumentStrings)
		launch.argv.push_back(argument.data());
	launch.argv.push_back(nullptr);

	launch.environmentStrings.push_back(kSearchPath);
	std::string home = "/boot/home";
	if (!isolated && platform_get_host_path("/boot/home", hostBuffer, sizeof(hostBuffer)) == B_OK)
		home = hostBuffer;
	launch.environmentStrings.push_back("HOME=" + home);
	// The host's /tmp is not the program's to write without the view: its
	// temporary files go beside it (an installer's script sits in the run's
	// temporary folder, which goes when the run ends).
	if (!isolated && platform_get_host_path(path, hostBuffer, sizeof(hostBuffer)) == B_OK) {
		std::string folder = hostBuffer;
		launch.environmentStrings.push_back("TMPDIR=" + folder.substr(0, folder.rfind('/')));
	}
	for (const std::string& assignment : fEnvironment)
		launch.environmentStrings.push_back(assignment);
	for (std::string& assignment : launch.environmentStrings)
		launch.envp.push_back(assignment.data());
	launch.envp.push_back(nullptr);

	if (!isolated) {
		_PrepareConfinement(launch);
		return B_OK;
	}

	// The staging folder only serves as the place the view's own tmpfs is
	// mounted on, in the child's namespace; on the host it stays empty and
	// goes away after the run.
	std::string pattern = "/tmp/kestrovan-view-XXXXXX";
	if (mkdtemp(pattern.data()) == nullptr)
		return errno_status();
	launch.staging = pattern;
	launch.view.push_back({kMountTmpfs, "mode=0755", launch.staging, MS_NOSUID | MS_NODEV,
		false});

	std::string root = system_root_host_path();
	std::vector<std::string> volumes;
	if (!list_root_volumes(root, &volumes))
		return errno_status();
	for (const std::string& name : volumes) {
		if (!is_view_folder_name(name)) {
			launch.view.push_back({kBindFolder, root + "/" + name, launch.staging + "/" + name, 0,
				false});
		}
	}

	// A link such as /lib -> usr/lib is followed: the bind mount shows what
	// it names at the same place.
	for (const char* folder : kHostFolders) {
		if (is_host_directory(folder))
			launch.view.push_back({kBindFolder, folder, launch.staging + folder, 0, true});
	}
	_PrepareOwnFolders(launch);

	launch.installer = getpid();
	launch.userNamespace = geteuid() != 0;
	if (launch.userNamespace) {
		launch.uidMap = "0 " + std::to_string(geteuid()) + " 1\n";
		launch.gidMap = "0 " + std::to_string(getegid()) + " 1\n";
	}
	return B_OK;
}


// Without the view, the program sees the host's files, and could change
// them as the installer's user: root's could change anything of the host.
// So it may write below the root's volumes (links to a volume followed) and
// into the harmless devices only. Where the kernel cannot ensure that, a
// program that would run as root is not run at all; an ordinary user's runs
// with no more than that user's own rights.
void
ScriptRunner::_PrepareConfinement(Launch& launch)
{
	std::string root = system_root_host_path();
	std::vector<std::string> volumes;
	list_root_volumes(root, &volumes);
	std::vector<std::string> folders = {root};
	for (const std::string& name : volumes)
		folders.push_back(root + "/" + name);
	std::vector<std::string> devices = {"/dev/null", "/dev/zero", "/dev/full", "/dev/tty"};
	status_t status = launch.confinement.Prepare(folders, devices);
	launch.refused = status != B_OK && geteuid() == 0;
}


// The view's /tmp is private to the run, its /dev holds the usual nodes and
// nothing else (no disks), its /proc is its own (mounted by the view's first
// process, as only a process in the namespace can).
void
ScriptRunner::_PrepareOwnFolders(Launch& launch)
{
	const std::string& staging = launch.staging;
	launch.view.push_back({kMountTmpfs, "mode=1777", staging + "/tmp", MS_NOSUID | MS_NODEV,
		false});
	launch.view.push_back({kMountTmpfs, "mode=0755", staging + "/dev",
		MS_NOSUID | MS_NODEV | MS_NOEXEC, false});
	for (const char* device : kDevices) {
		struct stat info;
		if (stat(device, &info) == 0 && S_ISCHR(info.st_mode))
			launch.view.push_back({kBindDevice, device, staging + device, 0, false});
	}
	for (const DeviceLink& link : kDeviceLinks)
		launch.view.push_back({kMakeLink, link.target, staging + link.path, 0, false});
	launch.view.push_back({kMountTmpfs, "mode=1777", staging + "/dev/shm",
		MS_NOSUID | MS_NODEV, false});
	launch.view.push_back({kMakeReadOnly, "", staging + "/dev", 0, false});
	launch.procFolder = staging + "/proc";
}


status_t
ScriptRunner::_Start(Launch& launch, int outputWrite, int setupWrite, pid_t* _child)
{
	// A cancel from here on is seen by the wait for the child.
	if (_Cancelled())
		return B_CANCELED;

	pid_t child = fork();
	if (child < 0)
		return errno_status();
	if (child == 0)
		_RunChild(launch, outputWrite, setupWrite);

	// Both sides set the group, so that a cancel reaches it either way.
	setpgid(child, child);
	*_child = child;
	return B_OK;
}


// The child: async-signal-safe calls only, on prepared strings.
void
ScriptRunner::_RunChild(const Launch& launch, int outputWrite, int setupWrite)
{
	setpgid(0, 0);
	// The program starts with no signal blocked and SIGPIPE at its default,
	// whatever the installer's threads chose.
	sigset_t none;
	sigemptyset(&none);
	sigprocmask(SIG_SETMASK, &none, nullptr);
	signal(SIGPIPE, SIG_DFL);
	// The installer's own handlers would keep a cancel from ending the
	// program before its exec.
	signal(SIGINT, SIG_DFL);
	signal(SIGTERM, SIG_DFL);
	if (launch.spread)
		sched_setaffinity(0, sizeof(launch.processors), &launch.processors);
	int setup = fcntl(setupWrite, F_DUPFD_CLOEXEC, kParkingDescriptor);
	int program = fcntl(launch.programFd, F_DUPFD_CLOEXEC, kParkingDescriptor);
	if (dup2(launch.nullFd, STDIN_FILENO) < 0 || dup2(outputWrite, STDOUT_FILENO) < 0
		|| dup2(outputWrite, STDERR_FILENO) < 0 || setup < 0 || program < 0
		|| dup3(setup, kSetupDescriptor, O_CLOEXEC) < 0
		|| dup3(program, kProgramDescriptor, O_CLOEXEC) < 0) {
		_exit(kCannotExecute);
	}
	// Root holds no capability here either: the confinement is for good.
	// (Its rule set is a descriptor of its own, so this comes first.)
	if (launch.confinement.IsReady() && ((geteuid() == 0 && !child_drop_capabilities())
			|| !launch.confinement.Enter())) {
		child_write_text(launch.cannotExecute.c_str());
		_exit(kCannotExecute);
	}
	syscall(SYS_close_range, kProgramDescriptor + 1, ~0U, 0);

	if (launch.isolated)
		_EnterView(launch);

	if (chdir(launch.workingDirectory.c_str()) != 0) {
		child_write_text(launch.cannotExecute.c_str());
		_exit(kCannotExecute);
	}
	platform_execve_fd(kProgramDescriptor, launch.argv.data(), launch.envp.data());
	child_write_text(launch.cannotExecute.c_str());
	_exit(kCannotExecute);
}


// Enters the namespaces of the view (user, when the installer is no root;
// mount; PID) and starts their first process. This process stays outside
// the PID namespace and only passes on how the first one ended: killing it
// (a cancel) takes the first one with it.
void
ScriptRunner::_EnterView(const Launch& launch)
{
	// An installer that dies takes the script with it.
	prctl(PR_SET_PDEATHSIG, SIGKILL);
	if (getppid() != launch.installer)
		_exit(kCannotExecute);
	// A cancel's SIGTERM to the process group is for the program: this
	// process stays to pass on how it ended (its first process, the
	// namespace's init, takes no signal it has no handler for).
	signal(SIGTERM, SIG_IGN);

	// Inside the view the program is found by its platform path, so that it
	// holds no descriptor of ours; a relative path (relative to the
	// platform's current folder, not the working directory) keeps using
	// the descriptor.
	if (launch.executePath[0] == '/')
		close(kProgramDescriptor);
	int flags = CLONE_NEWNS | CLONE_NEWPID | (launch.userNamespace ? CLONE_NEWUSER : 0);
	if (unshare(flags) != 0)
		child_report_setup_failure(kStepNamespace);
	if (launch.userNamespace) {
		int proc = open("/proc", O_PATH | O_DIRECTORY | O_CLOEXEC);
		if (proc < 0 || !child_map_identity(proc, launch.uidMap.c_str(), launch.gidMap.c_str()))
			child_report_setup_failure(kStepIdentity);
		close(proc);
	}
	pid_t first = fork();
	if (first < 0)
		child_report_setup_failure(kStepNamespace);
	if (first == 0)
		_RunViewInit(launch);

	close(kSetupDescriptor);
	close(kProgramDescriptor);
	close(STDIN_FILENO);
	close(STDOUT_FILENO);
	close(STDERR_FILENO);
	_exit(child_wait_for(first));
}


// The view's first process (1 in its PID namespace): builds the view,
// starts the program, waits for it and leaves with its status. The kernel
// then ends every process still in the namespace: nothing the script
// started outlives it.
void
ScriptRunner::_RunViewInit(const Launch& launch)
{
	prctl(PR_SET_PDEATHSIG, SIGKILL);
	// Not even a process of the view may trace this one.
	prctl(PR_SET_DUMPABLE, 0);
	// The program starts with SIGTERM at its default.
	signal(SIGTERM, SIG_DFL);

	int proc = -1;
	if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
		child_report_setup_failure(kStepMount);
	for (const ViewStep& step : launch.view) {
		if (!child_take_view_step(step))
			child_report_setup_failure(kStepMount);
	}
	if (!child_mount_proc(launch.procFolder.c_str(), &proc))
		child_report_setup_failure(kStepMount);
	// The staging folder becomes the root and the host's root goes
	// altogether, so that no chroot inside the view leads back to it.
	if (chdir(launch.staging.c_str()) != 0 || syscall(SYS_pivot_root, ".", ".") != 0
		|| umount2(".", MNT_DETACH) != 0 || chdir("/") != 0
		|| !child_make_read_only("/", 0)) {
		child_report_setup_failure(kStepMount);
	}

	pid_t program = fork();
	if (program < 0)
		child_report_setup_failure(kStepNamespace);
	if (program == 0)
		_StartProgramInView(launch, proc);

	close(kSetupDescriptor);
	close(kProgramDescriptor);
	if (proc >= 0)
		close(proc);
	_exit(child_wait_for(program));
}


// The program's process: a user namespace of its own where its user is
// root again (the installer's user outside). The mounts of the view were
// made outside that namespace and so stay as they are: read-only stays
// read-only, nothing is unmounted, and the capabilities the program holds
// reach no further than the view. Where no such namespace can be made the
// program holds no capability at all. Either way no setuid program gives
// it more.
void
ScriptRunner::_StartProgramInView(const Launch& launch, int proc)
{
	prctl(PR_SET_DUMPABLE, 1);
	if (proc >= 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0) {
		if (!child_map_identity(proc, "0 0 1\n", "0 0 1\n"))
			child_report_setup_failure(kStepIdentity);
	} else if (!child_drop_capabilities()) {
		child_report_setup_failure(kStepIdentity);
	}
	if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
		child_report_setup_failure(kStepIdentity);
	close(kSetupDescriptor);

	if (chdir(launch.workingDirectory.c_str()) == 0) {
		if (launch.executePath[0] == '/')
			execve(launch.executePath.c_str(), launch.argv.data(), launch.envp.data());
		else
			platform_execve_fd(kProgramDescriptor, launch.argv.data(), launch.envp.data());
	}
	child_write_text(launch.cannotExecute.c_str());
	_exit(kCannotExecute);
}


// Waits for the child, passing its output on, until it and whatever holds
// its output have ended; a cancel meanwhile ends them. False when the child
// never got to run the program (its view could not be set up).
bool
ScriptRunner::_Collect(int outputRead, int setupRead, pid_t child, int32* exitStatus)
{
	enum { kSetup, kOutput, kChild, kOwnCancel, kCancel, kWatched };
	ChildWatch watch(child);
	Termination termination;
	std::string setupRecord;
	bool setupOpen = true;
	bool outputOpen = true;
	for (;;) {
		watch.Check();
		if (!termination.requested && _Cancelled())
			termination.Begin(child);
		termination.KillWhenDue(child);
		if (watch.exited && ((!setupOpen && !outputOpen)
				|| (termination.killed && termination.Timeout(true) == 0)))
			break;

		// Once the cancel is under way its flags are no longer asked.
		bool watchCancel = !termination.requested;
		struct pollfd watched[kWatched] = {
			{setupOpen ? setupRead : -1, POLLIN, 0},
			{outputOpen ? outputRead : -1, POLLIN, 0},
			{watch.exited ? -1 : watch.pidfd, POLLIN, 0},
			{watchCancel ? fCancelRequest.WaitDescriptor() : -1, POLLIN, 0},
			{watchCancel && fCancelFlag != nullptr ? fCancelFlag->WaitDescriptor() : -1,
				POLLIN, 0},
		};
		int timeout = termination.Timeout(watch.exited);
		if (watch.pidfd < 0 && !watch.exited) {
			int interval = (int)(kExitCheckInterval / 1000);
			timeout = timeout < 0 ? interval : std::min(timeout, interval);
		}
		if (poll(watched, kWatched, timeout) < 0 && errno != EINTR) {
			// Nothing to wait with: the child goes, so that reaping it ends.
			kill(-child, SIGKILL);
			break;
		}

		if (watched[kSetup].revents != 0)
			setupOpen = read_available(setupRead, &setupRecord);
		if (watched[kOutput].revents != 0) {
			std::string text;
			outputOpen = read_available(outputRead, &text);
			_Emit(text.data(), text.size());
		}
		if (watched[kChild].revents != 0)
			watch.exited = true;
	}

	int waitStatus = watch.Reap();
	if (_SetupFailed(setupRecord))
		return false;
	if (WIFEXITED(waitStatus))
		*exitStatus = WEXITSTATUS(waitStatus);
	else if (WIFSIGNALED(waitStatus))
		*exitStatus = 128 + WTERMSIG(waitStatus);
	else
		*exitStatus = kCannotExecute;
	return true;
}


// The setup pipe closes on the program's exec; a record before that says
// which step of the view failed.
bool
ScriptRunner::_SetupFailed(const std::string& record)
{
	SetupFailure failure;
	if (record.size() != sizeof(failure))
		return false;
	memcpy(&failure, record.data(), sizeof(failure));
	fViewError = failure.error != 0 ? errno_to_status(failure.error) : B_ERROR;
	return true;
}


void
ScriptRunner::_Emit(const char* text, size_t size)
{
	if (fOutput == nullptr)
		return;
	while (size > 0) {
		ssize_t written = fOutput->Write(text, size);
		if (written <= 0)
			return;
		text += written;
		size -= written;
	}
}
