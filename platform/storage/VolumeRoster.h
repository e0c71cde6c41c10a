#ifndef _VOLUME_ROSTER_H
#define _VOLUME_ROSTER_H

// The mounted volumes of the system root, the boot volume first.

#include <Application.h>
#include <Messenger.h>
#include <Volume.h>

#include <vector>

class BVolumeRoster {
public:
	BVolumeRoster();
	virtual ~BVolumeRoster();

	// B_BAD_VALUE past the last volume.
	status_t GetNextVolume(BVolume* volume);
	void Rewind();
	status_t GetBootVolume(BVolume* volume);

	// Mount notices: B_NODE_MONITOR messages to the messenger (opcode
	// B_DEVICE_MOUNTED with "new device", B_DEVICE_UNMOUNTED with "device")
	// until StopWatching or the roster's end. One target per roster.
	status_t StartWatching(BMessenger messenger = be_app_messenger);
	void StopWatching();
	BMessenger Messenger() const { return fTarget; }

private:
	std::vector<dev_t> fDevices;
	size_t fCursor;
	bool fListed;
	BMessenger fTarget;
};

#endif // _VOLUME_ROSTER_H
