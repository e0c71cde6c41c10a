#ifndef _MOUNT_WATCHER_H
#define _MOUNT_WATCHER_H

// Internal to the storage kit: watches the system root for volumes that come
// and go, and tells every registered messenger with a B_NODE_MONITOR message
// ("opcode" B_DEVICE_MOUNTED with "new device", or B_DEVICE_UNMOUNTED with
// "device").
//
// A volume is mounted when a directory (or a link to one) appears directly in
// the root, or a file system is mounted on such a directory; it is unmounted
// when it leaves. The watcher thread wakes on the root's inotify events and
// on changes of the host's mount table, and rescans the root now and then
// for what neither reports (a link whose target went away).

#include <Messenger.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MountWatcher {
public:
	static MountWatcher& Default();

	status_t AddTarget(const BMessenger& target);
	void RemoveTarget(const BMessenger& target);

private:
	MountWatcher();
	~MountWatcher();

	status_t _StartLocked();
	void _StopLocked(std::unique_lock<std::mutex>& guard);
	void _Run();
	void _WatchRoot();
	void _DrainEvents();
	void _Rescan();
	void _Broadcast(int32 opcode, const char* field, dev_t device);

	std::mutex fLock;
	std::vector<BMessenger> fTargets;
	std::thread fThread;
	bool fQuitting;
	int fWakeFd;
	int fInotifyFd;
	int fMountTableFd;
	int fRootWatch;
	std::string fWatchedRoot;
	// The volumes seen by the last scan: device number to volume name.
	std::map<dev_t, std::string> fKnown;
};

#endif // _MOUNT_WATCHER_H
