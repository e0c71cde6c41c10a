#include "ReceiptStore.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include <algorithm>
#include <cstring>

namespace {

const char* const kRecordSuffix = ".json";


bool
IsRecordName(const std::string& name)
{
	size_t suffix = strlen(kRecordSuffix);
	return name.size() > suffix
		&& name.compare(name.size() - suffix, suffix, kRecordSuffix) == 0;
}


std::vector<std::string>
RecordNames(BDirectory* folder)
{
	std::vector<std::string> names;
	BEntry entry;
	folder->Rewind();
	while (folder->GetNextEntry(&entry, false) == B_OK) {
		char name[B_FILE_NAME_LENGTH];
		if (entry.GetName(name) == B_OK && IsRecordName(name))
			names.push_back(name);
	}
	std::sort(names.begin(), names.end());
	return names;
}

} // namespace


ReceiptStore::ReceiptStore()
{
}


status_t
ReceiptStore::OpenFolder(dev_t volume, BDirectory* folder)
{
	BVolume target(volume);
	BDirectory root;
	status_t status = target.GetRootDirectory(&root);
	if (status == B_OK)
		status = folder->SetTo(&root, kReceiptFolderPath);
	return status;
}


void
ReceiptStore::Load()
{
	fReceipts.clear();
	fUnreadable.clear();
	BVolumeRoster roster;
	BVolume volume;
	while (roster.GetNextVolume(&volume) == B_OK) {
		char name[B_FILE_NAME_LENGTH] = "";
		volume.GetName(name);
		_LoadVolume(volume.Device(), name);
	}
}


void
ReceiptStore::_LoadVolume(dev_t volume, const std::string& volumeName)
{
	BDirectory folder;
	if (OpenFolder(volume, &folder) != B_OK)
		return;
	std::string folderPath = "/" + volumeName + "/" + kReceiptFolderPath + "/";
	for (const std::string& name : RecordNames(&folder)) {
		StoredReceipt stored;
		stored.fVolume = volume;
		stored.fVolumeName = volumeName;
		stored.fFileName = name;
		// A link there is no record the installer wrote.
		BEntry entry(&folder, name.c_str());
		if (!entry.IsFile())
			fUnreadable.push_back(folderPath + name + ": not a file");
		else if (stored.fReceipt.ReadFrom(&folder, name.c_str()) != B_OK)
			fUnreadable.push_back(folderPath + name + ": not a receipt");
		else
			fReceipts.push_back(stored);
	}
}


std::vector<StoredReceipt>
ReceiptStore::Find(const std::string& name, const std::string& volumeName) const
{
	std::vector<StoredReceipt> found;
	for (const StoredReceipt& stored : fReceipts) {
		if (stored.fReceipt.fPackageName == name
			&& (volumeName.empty() || stored.fVolumeName == volumeName))
			found.push_back(stored);
	}
	return found;
}
