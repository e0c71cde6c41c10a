#include "ScriptRunner.h"

#include <Errors.h>
#include <PlatformCalls.h>
#include <SystemRoot.h>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

// Host folders the program sees; the first ones read-only.
struct HostFolder {
	const char* path;
	bool readOnly;
};
const HostFolder kHostFolders[] = {
	{"/bin", true}, {"/sbin", true}, {"/usr", true}, {"/lib", true}, {"/lib32", true},
	{"/lib64", true}, {"/etc", true}, {"/dev", false}, {"/proc", false}, {"/tmp", false},
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

// A bind mount into the staging root.
struct BindMount {
	std::string source;
	std::string target;
	bool readOnly;
	unsigned long lockedFlags;	// kept when remounting read-only
};

unsigned long
locked_mount_flags(const char* hostPath)
{
	struct statvfs info;
	if (statvfs(hostPath, &info) != 0)
		return 0;
	unsigned long flags = 0;
	if (info.f_flag & ST_NOSUID)
		flags |= MS_NOSUID;
	if (info.f_flag & ST_NODEV)
		flags |= MS_NODEV;
	if (info.f_flag & ST_NOEXEC)
		flags |= MS_NOEXEC;
	if (info.f_flag & ST_NOATIME)
		flags |= MS_NOATIME;
	if (info.f_flag & ST_NODIRATIME)
		flags |= MS_NODIRATIME;
	if (info.f_flag & ST_RELATIME)
		flags |= MS_RELATIME;
	return flags;
}

// A volume named like a host folder of the view ("bin", "tmp") stays out
// of it: the program needs the host's.
bool
is_host_folder_name(const std::string& name)
{
	for (const HostFolder& folder : kHostFolders) {
		if (name == folder.path + 1)
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

void
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
child_write_file(const char* path, const char* text)
{
	int fd = open(path, O_WRONLY | O_CLOEXEC);
	if (fd < 0)
		return false;
	size_t length = strlen(text);
	bool written = write(fd, text, length) == (ssize_t)length;
	close(fd);
	return written;
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
	std::vector<BindMount> mounts;
	std::string uidMap;
	std::string gidMap;

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
		if (is_host_directory(source) && !is_host_folder_name(name))
			launch.mounts.push_back({source, launch.staging + "/" + name, false, 0});
	}
	closedir(directory);

	for (const HostFolder& folder : kHostFolders) {
		struct stat info;
		// A link such as /lib -> usr/lib is followed: the bind mount shows
		// what it names at the same place.
		if (stat(folder.path, &info) != 0 || !S_ISDIR(info.st_mode))
			continue;
		launch.mounts.push_back({folder.path, launch.staging + folder.path, folder.readOnly,
			locked_mount_flags(folder.path)});
	}

	launch.userNamespace = geteuid() != 0;
	if (launch.userNamespace) {
		launch.uidMap = "0 " + std::to_string(geteuid()) + " 1\n";
		launch.gidMap = "0 " + std::to_string(getegid()) + " 1\n";
	}
	return B_OK;
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

	if (child == 0) {
		// The child: async-signal-safe calls only, on prepared strings.
		setpgid(0, 0);
		// The program starts with no signal blocked and SIGPIPE at its
		// default, whatever the installer's threads chose.
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

		if (!launch.isolated) {
			if (chdir(launch.workingDirectory.c_str()) != 0) {
				child_write_text(launch.cannotExecute.c_str());
				_exit(kCannotExecute);
			}
			platform_execve_fd(kProgramDescriptor, launch.argv.data(), launch.envp.data());
			child_write_text(launch.cannotExecute.c_str());
			_exit(kCannotExecute);
		}

		// Inside the view the program is found by its platform path, so
		// that it holds no descriptor of ours; a relative path (relative to
		// the platform's current folder, not the working directory) keeps
		// using the descriptor.
		if (launch.executePath[0] == '/')
			close(kProgramDescriptor);
		int flags = CLONE_NEWNS | (launch.userNamespace ? CLONE_NEWUSER : 0);
		if (unshare(flags) != 0)
			child_report_setup_failure(kStepNamespace);
		if (launch.userNamespace
			&& (!child_write_file("/proc/self/setgroups", "deny")
				|| !child_write_file("/proc/self/uid_map", launch.uidMap.c_str())
				|| !child_write_file("/proc/self/gid_map", launch.gidMap.c_str()))) {
			child_report_setup_failure(kStepIdentity);
		}
		if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
			|| mount("tmpfs", launch.staging.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
				"mode=0755") != 0) {
			child_report_setup_failure(kStepMount);
		}
		for (const BindMount& bind : launch.mounts) {
			if (mkdir(bind.target.c_str(), 0755) != 0
				|| mount(bind.source.c_str(), bind.target.c_str(), nullptr, MS_BIND | MS_REC,
					nullptr) != 0) {
				child_report_setup_failure(kStepMount);
			}
			if (bind.readOnly
				&& mount(nullptr, bind.target.c_str(), nullptr,
					MS_BIND | MS_REMOUNT | MS_RDONLY | bind.lockedFlags, nullptr) != 0) {
				child_report_setup_failure(kStepMount);
			}
		}
		if (chdir(launch.staging.c_str()) != 0 || chroot(".") != 0)
			child_report_setup_failure(kStepMount);
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

	// Both sides set the group, so that Cancel reaches it either way.
	setpgid(child, child);
	fChild = child;
	*_child = child;
	return B_OK;
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
