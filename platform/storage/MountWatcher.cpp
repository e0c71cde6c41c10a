#include <MountWatcher.h>

#include <AppDefs.h>
#include <Message.h>
#include <NodeMonitor.h>
#include <VolumeTable.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// How often the root is rescanned when nothing else woke the watcher.
const int kRescanIntervalMs = 2000;
// How long a notice waits for room in a target's queue.
const bigtime_t kDeliveryTimeout = 500000;

const uint32_t kRootEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO
	| IN_DELETE_SELF | IN_MOVE_SELF;

void
CloseDescriptor(int& fd)
{
	if (fd >= 0)
		close(fd);
	fd = -1;
}

} // namespace

// Never destroyed: a window's thread may still stop watching (its view
// being deleted) while the exit handlers run; the watching thread ends with
// the process.
MountWatcher&
MountWatcher::Default()
{
	static MountWatcher* watcher = new MountWatcher;
	return *watcher;
}

MountWatcher::MountWatcher()
	:
	fQuitting(false),
	fWakeFd(-1),
	fInotifyFd(-1),
	fMountTableFd(-1),
	fRootWatch(-1)
{
}

MountWatcher::~MountWatcher()
{
	std::unique_lock<std::mutex> guard(fLock);
	fTargets.clear();
	_StopLocked(guard);
}

status_t
MountWatcher::AddTarget(const BMessenger& target)
{
	if (!target.IsValid())
		return B_BAD_VALUE;
	std::unique_lock<std::mutex> guard(fLock);
	if (std::find(fTargets.begin(), fTargets.end(), target) != fTargets.end())
		return B_OK;
	if (!fThread.joinable()) {
		status_t status = _StartLocked();
		if (status != B_OK)
			return status;
	}
	fTargets.push_back(target);
	return B_OK;
}

void
MountWatcher::RemoveTarget(const BMessenger& target)
{
	std::unique_lock<std::mutex> guard(fLock);
	fTargets.erase(std::remove(fTargets.begin(), fTargets.end(), target), fTargets.end());
	if (fTargets.empty())
		_StopLocked(guard);
}

status_t
MountWatcher::_StartLocked()
{
	fWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
	fInotifyFd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
	if (fWakeFd < 0 || fInotifyFd < 0) {
		status_t status = errno_status();
		CloseDescriptor(fWakeFd);
		CloseDescriptor(fInotifyFd);
		return status;
	}
	// The mount table signals POLLPRI when a file system is mounted or
	// unmounted anywhere; without it only entries of the root are seen.
	fMountTableFd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
	_WatchRoot();

	// Devices known now are not news to the new target.
	fKnown.clear();
	for (const VolumeInfo& volume : VolumeTable::Default().Volumes())
		fKnown[volume.device] = volume.name;

	fQuitting = false;
	fThread = std::thread(&MountWatcher::_Run, this);
	return B_OK;
}

void
MountWatcher::_StopLocked(std::unique_lock<std::mutex>& guard)
{
	if (!fThread.joinable())
		return;
	fQuitting = true;
	uint64_t one = 1;
	if (write(fWakeFd, &one, sizeof(one)) < 0) {
		// The eventfd cannot be full; the thread also checks the flag on
		// every timeout.
	}
	std::thread thread = std::move(fThread);
	guard.unlock();
	thread.join();
	guard.lock();
	CloseDescriptor(fWakeFd);
	CloseDescriptor(fInotifyFd);
	CloseDescriptor(fMountTableFd);
	fRootWatch = -1;
	fWatchedRoot.clear();
}

void
MountWatcher::_WatchRoot()
{
	std::string root = VolumeTable::Default().RootHostPath();
	if (root == fWatchedRoot && fRootWatch >= 0)
		return;
	if (fRootWatch >= 0)
		inotify_rm_watch(fInotifyFd, fRootWatch);
	fRootWatch = root.empty() ? -1
		: inotify_add_watch(fInotifyFd, root.c_str(), kRootEvents | IN_ONLYDIR);
	fWatchedRoot = root;
}

void
MountWatcher::_DrainEvents()
{
	char buffer[4096];
	while (read(fInotifyFd, buffer, sizeof(buffer)) > 0) {
	}
	uint64_t count;
	while (read(fWakeFd, &count, sizeof(count)) > 0) {
	}
	if (fMountTableFd >= 0) {
		// Reading the table to its end acknowledges the change.
		lseek(fMountTableFd, 0, SEEK_SET);
		while (read(fMountTableFd, buffer, sizeof(buffer)) > 0) {
		}
	}
}

void
MountWatcher::_Run()
{
	for (;;) {
		struct pollfd fds[3] = {
			{fWakeFd, POLLIN, 0},
			{fInotifyFd, POLLIN, 0},
			{fMountTableFd, POLLPRI, 0},
		};
		int count = fMountTableFd >= 0 ? 3 : 2;
		int ready = poll(fds, count, kRescanIntervalMs);
		if (ready < 0 && errno != EINTR)
			break;
		{
			std::lock_guard<std::mutex> guard(fLock);
			if (fQuitting)
				break;
			_DrainEvents();
			_WatchRoot();
		}
		_Rescan();
	}
}

void
MountWatcher::_Rescan()
{
	std::map<dev_t, std::string> current;
	for (const VolumeInfo& volume : VolumeTable::Default().Volumes())
		current[volume.device] = volume.name;

	std::vector<dev_t> gone;
	std::vector<dev_t> added;
	{
		std::lock_guard<std::mutex> guard(fLock);
		for (const auto& [device, name] : fKnown) {
			if (current.count(device) == 0)
				gone.push_back(device);
		}
		for (const auto& [device, name] : current) {
			if (fKnown.count(device) == 0)
				added.push_back(device);
		}
		fKnown = std::move(current);
	}
	// Unmounts first, so a volume that was replaced under the same name is
	// gone before its successor appears.
	for (dev_t device : gone)
		_Broadcast(B_DEVICE_UNMOUNTED, "device", device);
	for (dev_t device : added)
		_Broadcast(B_DEVICE_MOUNTED, "new device", device);
}

void
MountWatcher::_Broadcast(int32 opcode, const char* field, dev_t device)
{
	BMessage notice(B_NODE_MONITOR);
	notice.AddInt32("opcode", opcode);
	notice.AddInt32(field, static_cast<int32>(device));

	std::vector<BMessenger> targets;
	{
		std::lock_guard<std::mutex> guard(fLock);
		// Targets whose looper has gone are dropped for good.
		fTargets.erase(std::remove_if(fTargets.begin(), fTargets.end(),
			[](const BMessenger& target) { return !target.IsValid(); }), fTargets.end());
		targets = fTargets;
	}
	for (const BMessenger& target : targets)
		// Bounded, so a looper that stops watching while its queue is full
		// cannot deadlock with this thread.
		target.SendMessage(&notice, (BHandler*)nullptr, kDeliveryTimeout);
}
