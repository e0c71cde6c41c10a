#include "ScriptRunner.h"

#include <Errors.h>
#include <PlatformCalls.h>
#include <SystemRoot.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

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

} // namespace


struct ScriptRunner::Launch {
	bool isolated = false;
	bool userNamespace = false;

	int programFd = -1;
	int nullFd = -1;
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
	fViewError(B_OK),
	fChild(-1),
	fCancelled(false)
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


status_t
ScriptRunner::Run(const char* path, const char* const* args, int32* exitStatus)
{
	if (path == nullptr || exitStatus == nullptr)
		return B_BAD_VALUE;
	fRanIsolated = false;
	fViewError = B_OK;

	bool tryIsolated = (fFlags & kRunDirectly) == 0;
	for (;;) {
		Launch launch;
		status_t status = _Prepare(path, args, tryIsolated, launch);
		if (status != B_OK)
			return status;
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
		if (fCancelled)
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
	std::lock_guard<std::mutex> lock(fChildLock);
	fCancelled = true;
	if (fChild > 0)
		kill(-fChild, SIGKILL);
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
	for (const std::string& assignment : fEnvironment)
		launch.environmentStrings.push_back(assignment);
	for (std::string& assignment : launch.environmentStrings)
		launch.envp.push_back(assignment.data());
	launch.envp.push_back(nullptr);

	if (!isolated)
		return B_OK;

	// The staging folder only serves as the place the view's own tmpfs is
	// mounted on, in the child's namespace; on the host it stays empty and
	// goes away after the run.
	std::string pattern = "/tmp/kestrovan-view-XXXXXX";
	if (mkdtemp(pattern.data()) == nullptr)
		return errno_status();
	launch.staging = pattern;
	launch.view.push_back({kMountTmpfs, "mode=0755", launch.staging, MS_NOSUID | MS_NODEV,
		false});

	// The root's volumes: every folder (or link to one) directly in it.
	std::string root = system_root_host_path();
	DIR* directory = opendir(root.c_str());
	if (directory == nullptr)
		return errno_status();
	while (dirent* entry = readdir(directory)) {
		std::string name = entry->d_name;
		if (name == "." || name == "..")
			continue;
		std::string source = root + "/" + name;
		if (is_host_directory(source) && !is_view_folder_name(name))
			launch.view.push_back({kBindFolder, source, launch.staging + "/" + name, 0, false});
	}
	closedir(directory);

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
	std::lock_guard<std::mutex> lock(fChildLock);
	if (fCancelled)
		return B_CANCELED;

	pid_t child = fork();
	if (child < 0)
		return errno_status();
	if (child == 0)
		_RunChild(launch, outputWrite, setupWrite);

	// Both sides set the group, so that Cancel reaches it either way.
	setpgid(child, child);
	fChild = child;
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
	int setup = fcntl(setupWrite, F_DUPFD_CLOEXEC, kParkingDescriptor);
	int program = fcntl(launch.programFd, F_DUPFD_CLOEXEC, kParkingDescriptor);
	if (dup2(launch.nullFd, STDIN_FILENO) < 0 || dup2(outputWrite, STDOUT_FILENO) < 0
		|| dup2(outputWrite, STDERR_FILENO) < 0 || setup < 0 || program < 0
		|| dup3(setup, kSetupDescriptor, O_CLOEXEC) < 0
		|| dup3(program, kProgramDescriptor, O_CLOEXEC) < 0) {
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


// Waits for the child; false when it never got to run the program (its view
// could not be set up).
bool
ScriptRunner::_Collect(int outputRead, int setupRead, pid_t child, int32* exitStatus)
{
	bool setupFailed = _ReadSetupFailure(setupRead);

	char buffer[4096];
	for (;;) {
		ssize_t bytes = read(outputRead, buffer, sizeof(buffer));
		if (bytes < 0 && errno == EINTR)
			continue;
		if (bytes <= 0)
			break;
		_Emit(buffer, bytes);
	}

	// Wait without reaping first: until the child is forgotten, its process
	// group id cannot be reused, so a late Cancel kills nothing else.
	siginfo_t info;
	while (waitid(P_PID, child, &info, WEXITED | WNOWAIT) < 0 && errno == EINTR)
		;
	{
		std::lock_guard<std::mutex> lock(fChildLock);
		fChild = -1;
	}
	int waitStatus = 0;
	while (waitpid(child, &waitStatus, 0) < 0 && errno == EINTR)
		;
	if (setupFailed)
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
ScriptRunner::_ReadSetupFailure(int setupRead)
{
	SetupFailure failure;
	size_t received = 0;
	while (received < sizeof(failure)) {
		ssize_t bytes = read(setupRead, (char*)&failure + received, sizeof(failure) - received);
		if (bytes < 0 && errno == EINTR)
			continue;
		if (bytes <= 0)
			break;
		received += bytes;
	}
	if (received != sizeof(failure))
		return false;
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
