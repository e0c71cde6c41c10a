#ifndef _TESTS_MOUNTED_VOLUME_H
#define _TESTS_MOUNTED_VOLUME_H

// Real file systems mounted as volumes of a test's system root: a small
// loop-mounted ext4 image (real free space, user attributes, a disk that
// fills up), a read-only mount, and a loop-mounted vfat image (no attributes;
// a ramfs instead on kernels without vfat).
//
// Mounting needs root and a mount namespace of the test's own, so that
// nothing a test mounts is seen outside it and everything goes away with the
// test process: the first MountedVolume of a process calls
// unshare(CLONE_NEWNS) and makes every mount private. ctest runs each test in
// a process of its own, so each test gets a namespace of its own; a run of
// the whole test binary shares one. unshare fails in a process that has
// already started threads: such a run, like one without root or without loop
// devices, skips the tests that need real volumes, saying why.
//
// A descriptor opened before the process entered its namespace still looks
// at the old one, where the new mounts do not exist: the storage kit's
// descriptor of the system root is such a one when the root was chosen
// first. Enter the namespace first (MountedVolume::EnterPrivateNamespace) and
// choose the root after that, or choose it again after mounting.
//
//   MountedVolume ext4;
//   SKIP_UNLESS_MOUNTED(ext4.Mount(MountedVolume::kExt4, hostDir, 8));

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace mounted_volume_detail {

// Runs a program with its output discarded; true when it exits with 0.
inline bool
run(const std::vector<std::string>& command)
{
	std::vector<char*> argv;
	for (const std::string& word : command)
		argv.push_back(const_cast<char*>(word.c_str()));
	argv.push_back(nullptr);

	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null",
		O_WRONLY, 0);
	posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null",
		O_WRONLY, 0);
	pid_t child;
	int error = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(),
		environ);
	posix_spawn_file_actions_destroy(&actions);
	if (error != 0)
		return false;
	int status;
	while (waitpid(child, &status, 0) < 0) {
		if (errno != EINTR)
			return false;
	}
	return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Enters a private mount namespace once per process. Returns "" on success,
// otherwise why real volumes cannot be had.
inline std::string
enter_private_namespace()
{
	static std::string sReason = [] {
		if (geteuid() != 0)
			return std::string("real volumes need root");
		if (unshare(CLONE_NEWNS) != 0) {
			return std::string("unshare(CLONE_NEWNS) failed: ")
				+ strerror(errno);
		}
		if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
			return std::string("making mounts private failed: ") + strerror(errno);
		return std::string();
	}();
	return sReason;
}

} // namespace mounted_volume_detail

class MountedVolume {
public:
	enum Kind {
		kExt4,
		kVfat,
		kTmpfs,
		kRamfs
	};

	MountedVolume() = default;
	MountedVolume(const MountedVolume&) = delete;
	MountedVolume& operator=(const MountedVolume&) = delete;

	~MountedVolume() { Unmount(); }

	// Enters the test process's private mount namespace (once); "" on
	// success, otherwise why real volumes cannot be had.
	static std::string EnterPrivateNamespace()
	{
		return mounted_volume_detail::enter_private_namespace();
	}

	// Makes a file system of `sizeMiB` MiB and mounts it on `mountPoint` (a
	// host directory, created when missing). ext4 and vfat live in an image
	// file in /tmp, loop-mounted. When `populate` is given,
	// it is called with the mounted directory before a read-only volume is
	// remounted read-only. Returns "" on success, otherwise why it failed.
	std::string Mount(Kind kind, const std::string& mountPoint, int sizeMiB,
		bool readOnly = false,
		const std::function<void(const std::string&)>& populate = nullptr)
	{
		using mounted_volume_detail::run;
		std::string reason = mounted_volume_detail::enter_private_namespace();
		if (!reason.empty())
			return reason;
		mkdir(mountPoint.c_str(), 0755);
		std::string size = std::to_string(sizeMiB);

		if (kind == kTmpfs || kind == kRamfs) {
			// ramfs has no size limit and keeps no user attributes.
			const char* type = kind == kTmpfs ? "tmpfs" : "ramfs";
			std::string options = kind == kTmpfs ? "size=" + size + "m" : "";
			if (::mount(type, mountPoint.c_str(), type, 0, options.c_str()) != 0)
				return std::string("mounting ") + type + " failed: " + strerror(errno);
		} else {
			char image[] = "/tmp/kestrovan-volume-XXXXXX";
			int fd = mkstemp(image);
			if (fd < 0)
				return std::string("no image file: ") + strerror(errno);
			close(fd);
			fImage = image;
			if (!run({"truncate", "-s", size + "M", fImage}))
				return "could not make the image " + fImage;
			bool made = kind == kExt4
				// No reserved blocks: the test runs as root and must see the
				// disk fill up where a user would.
				? run({"mkfs.ext4", "-q", "-F", "-m", "0", fImage})
				: run({"mkfs.vfat", fImage});
			if (!made)
				return "mkfs failed for " + fImage;
			if (!run({"mount", "-o", "loop", fImage, mountPoint})) {
				return "loop mount of " + fImage + " failed (no loop device,"
					" or a kernel without the file system?)";
			}
		}
		fMountPoint = mountPoint;
		fKind = kind;

		if (readOnly) {
			if (populate != nullptr)
				populate(mountPoint);
			if (::mount(nullptr, mountPoint.c_str(), nullptr,
					MS_REMOUNT | MS_RDONLY, nullptr) != 0)
				return std::string("remounting read-only failed: ")
					+ strerror(errno);
		}
		return std::string();
	}

	// A volume that keeps no attributes: a vfat image, or a ramfs when the
	// kernel has no vfat. Kind() tells which.
	std::string MountWithoutAttributes(const std::string& mountPoint)
	{
		std::string vfatFailure = Mount(kVfat, mountPoint, 4);
		if (vfatFailure.empty())
			return vfatFailure;
		Unmount();
		std::string ramfsFailure = Mount(kRamfs, mountPoint, 4);
		if (ramfsFailure.empty())
			return ramfsFailure;
		return vfatFailure + "; " + ramfsFailure;
	}

	void Unmount()
	{
		if (!fMountPoint.empty()) {
			// Detached, so a descriptor a failed test left open cannot keep
			// the loop device busy; the loop device frees itself.
			umount2(fMountPoint.c_str(), MNT_DETACH);
			fMountPoint.clear();
		}
		if (!fImage.empty()) {
			unlink(fImage.c_str());
			fImage.clear();
		}
	}

	const std::string& MountPoint() const { return fMountPoint; }
	Kind GetKind() const { return fKind; }

private:
	Kind fKind = kExt4;
	std::string fMountPoint;
	std::string fImage;
};

// Skips the test when a Mount call did not succeed.
#define SKIP_UNLESS_MOUNTED(mountCall) \
	do { \
		std::string _mountFailure = (mountCall); \
		if (!_mountFailure.empty()) \
			GTEST_SKIP() << "no real volume: " << _mountFailure; \
	} while (false)

#endif // _TESTS_MOUNTED_VOLUME_H
