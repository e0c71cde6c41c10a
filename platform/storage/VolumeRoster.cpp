#include <VolumeRoster.h>

#include <MountWatcher.h>
#include <VolumeTable.h>

BVolumeRoster::BVolumeRoster()
	:
	fCursor(0),
	fListed(false)
{
}

BVolumeRoster::~BVolumeRoster()
{
	StopWatching();
}

status_t
BVolumeRoster::GetNextVolume(BVolume* volume)
{
	if (volume == nullptr)
		return B_BAD_VALUE;
	if (!fListed) {
		fDevices.clear();
		for (const VolumeInfo& info : VolumeTable::Default().Volumes())
			fDevices.push_back(info.device);
		fListed = true;
		fCursor = 0;
	}
	// A volume unmounted since the listing is passed over.
	while (fCursor < fDevices.size()) {
		if (volume->SetTo(fDevices[fCursor++]) == B_OK)
			return B_OK;
	}
	return B_BAD_VALUE;
}

void
BVolumeRoster::Rewind()
{
	fListed = false;
	fDevices.clear();
	fCursor = 0;
}

status_t
BVolumeRoster::GetBootVolume(BVolume* volume)
{
	if (volume == nullptr)
		return B_BAD_VALUE;
	VolumeInfo info;
	status_t status = VolumeTable::Default().VolumeByName("boot", &info);
	if (status != B_OK)
		return status;
	return volume->SetTo(info.device);
}

status_t
BVolumeRoster::StartWatching(BMessenger messenger)
{
	StopWatching();
	status_t status = MountWatcher::Default().AddTarget(messenger);
	if (status == B_OK)
		fTarget = messenger;
	return status;
}

void
BVolumeRoster::StopWatching()
{
	if (fTarget != BMessenger())
		MountWatcher::Default().RemoveTarget(fTarget);
	fTarget = BMessenger();
}
