#include <Volume.h>

#include <AttributeStore.h>
#include <Errors.h>
#include <TextCopy.h>
#include <Directory.h>
#include <FileDescriptor.h>
#include <VolumeTable.h>

#include <cstring>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// A descriptor of the volume's root directory, or an invalid one.
FileDescriptor
open_volume_root(dev_t device, VolumeInfo* info = nullptr)
{
	VolumeTable& table = VolumeTable::Default();
	VolumeInfo volume;
	int fd;
	if (table.VolumeByDevice(device, &volume) != B_OK
		|| table.OpenVolume(volume.name, O_RDONLY, &fd, nullptr) != B_OK)
		return FileDescriptor();
	if (info != nullptr)
		*info = volume;
	return FileDescriptor(fd);
}

}	// namespace

BVolume::BVolume()
	:
	fDevice((dev_t)-1),
	fCStatus(B_NO_INIT)
{
}

BVolume::BVolume(dev_t device)
	:
	BVolume()
{
	SetTo(device);
}

BVolume::BVolume(const BVolume& volume)
	:
	fDevice(volume.fDevice),
	fCStatus(volume.fCStatus)
{
}

BVolume::~BVolume()
{
}

status_t
BVolume::InitCheck() const
{
	return fCStatus;
}

status_t
BVolume::SetTo(dev_t device)
{
	VolumeInfo info;
	if (VolumeTable::Default().VolumeByDevice(device, &info) != B_OK) {
		fDevice = (dev_t)-1;
		return fCStatus = B_BAD_VALUE;
	}
	fDevice = device;
	return fCStatus = B_OK;
}

void
BVolume::Unset()
{
	fDevice = (dev_t)-1;
	fCStatus = B_NO_INIT;
}

dev_t
BVolume::Device() const
{
	return fDevice;
}

status_t
BVolume::GetRootDirectory(BDirectory* directory) const
{
	if (directory == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	VolumeInfo info;
	status_t status = VolumeTable::Default().VolumeByDevice(fDevice, &info);
	if (status != B_OK)
		return status;
	return directory->SetTo(("/" + info.name).c_str());
}

status_t
BVolume::Sync() const
{
	if (fCStatus != B_OK)
		return fCStatus;
	FileDescriptor root = open_volume_root(fDevice);
	if (!root.IsValid())
		return B_ERROR;
	return syncfs(root.Get()) == 0 ? B_OK : errno_status();
}

off_t
BVolume::Capacity() const
{
	if (fCStatus != B_OK)
		return fCStatus;
	FileDescriptor root = open_volume_root(fDevice);
	struct statvfs st;
	if (!root.IsValid() || fstatvfs(root.Get(), &st) != 0)
		return B_ERROR;
	return (off_t)st.f_blocks * st.f_frsize;
}

off_t
BVolume::FreeBytes() const
{
	if (fCStatus != B_OK)
		return fCStatus;
	FileDescriptor root = open_volume_root(fDevice);
	struct statvfs st;
	if (!root.IsValid() || fstatvfs(root.Get(), &st) != 0)
		return B_ERROR;
	return (off_t)st.f_bavail * st.f_frsize;
}

status_t
BVolume::GetName(char* name) const
{
	if (name == nullptr)
		return B_BAD_VALUE;
	if (fCStatus != B_OK)
		return fCStatus;
	VolumeInfo info;
	status_t status = VolumeTable::Default().VolumeByDevice(fDevice, &info);
	if (status != B_OK)
		return status;
	copy_text(name, info.name.c_str(), B_FILE_NAME_LENGTH);
	return B_OK;
}

status_t
BVolume::SetName(const char*)
{
	return fCStatus != B_OK ? fCStatus : B_UNSUPPORTED;
}

bool
BVolume::IsRemovable() const
{
	return false;
}

bool
BVolume::IsReadOnly() const
{
	if (fCStatus != B_OK)
		return false;
	FileDescriptor root = open_volume_root(fDevice);
	struct statvfs st;
	if (!root.IsValid() || fstatvfs(root.Get(), &st) != 0)
		return false;
	if ((st.f_flag & ST_RDONLY) != 0)
		return true;
	return access(descriptor_proc_path(root.Get()).c_str(), W_OK) != 0;
}

bool
BVolume::IsPersistent() const
{
	// Every volume of the root is kept on the host.
	return fCStatus == B_OK;
}

bool
BVolume::IsShared() const
{
	return false;
}

bool
BVolume::KnowsMime() const
{
	return KnowsAttr();
}

bool
BVolume::KnowsAttr() const
{
	if (fCStatus != B_OK)
		return false;
	FileDescriptor root = open_volume_root(fDevice);
	return root.IsValid() && AttributeStore::Supported(root.Get());
}

bool
BVolume::KnowsQuery() const
{
	// Queries walk the volume and read attributes: they need attributes.
	return KnowsAttr();
}

bool
BVolume::operator==(const BVolume& volume) const
{
	return fDevice == volume.fDevice && fCStatus == volume.fCStatus;
}

bool
BVolume::operator!=(const BVolume& volume) const
{
	return !(*this == volume);
}

BVolume&
BVolume::operator=(const BVolume& volume)
{
	fDevice = volume.fDevice;
	fCStatus = volume.fCStatus;
	return *this;
}
