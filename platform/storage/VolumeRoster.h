#ifndef _VOLUME_ROSTER_H
#define _VOLUME_ROSTER_H

// The mounted volumes of the system root, the boot volume first.

#include <Volume.h>

#include <vector>

class BMessenger;

class BVolumeRoster {
public:
	BVolumeRoster();
	virtual ~BVolumeRoster();

	// B_BAD_VALUE past the last volume.
	status_t GetNextVolume(BVolume* volume);
	void Rewind();
	status_t GetBootVolume(BVolume* volume);

	// Mount notices: not offered yet (B_UNSUPPORTED).
	status_t StartWatching(const BMessenger& messenger);
	void StopWatching();

private:
	std::vector<dev_t> fDevices;
	size_t fCursor;
	bool fListed;
};

#endif // _VOLUME_ROSTER_H
