// Mount notices: volumes that appear in or leave the system root, and file
// systems mounted on or unmounted from a volume's directory, reach the
// roster's target as B_NODE_MONITOR messages.

#include <AppDefs.h>
#include <Message.h>
#include <NodeMonitor.h>
#include <SystemRoot.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include "MessageLog.h"
#include "MountedVolume.h"
#include "TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

class MountWatchTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		fLog = std::make_shared<MessageLog>();
		fLooper = new LoggingLooper(fLog, "mount watcher target");
		fLooper->Run();
	}

	void TearDown() override
	{
		if (fLooper->Lock())
			fLooper->Quit();
	}

	// The notices received so far with the given opcode, by device.
	std::vector<int32> Devices(int32 opcode, const char* field)
	{
		std::vector<int32> devices;
		for (const BMessage& message : fLog->Messages()) {
			EXPECT_EQ(message.what, (uint32)B_NODE_MONITOR);
			int32 got = -1;
			if (message.FindInt32("opcode", &got) == B_OK && got == opcode) {
				int32 device = -1;
				EXPECT_EQ(message.FindInt32(field, &device), B_OK);
				devices.push_back(device);
			}
		}
		return devices;
	}

	dev_t DeviceOf(const char* name)
	{
		BVolumeRoster roster;
		BVolume volume;
		while (roster.GetNextVolume(&volume) == B_OK) {
			char volumeName[B_FILE_NAME_LENGTH];
			if (volume.GetName(volumeName) == B_OK && strcmp(volumeName, name) == 0)
				return volume.Device();
		}
		return (dev_t)-1;
	}

	std::shared_ptr<MessageLog> fLog;
	LoggingLooper* fLooper = nullptr;
};

} // namespace

TEST_F(MountWatchTest, DirectoriesAndLinksComingAndGoing)
{
	BVolumeRoster roster;
	ASSERT_EQ(roster.StartWatching(BMessenger(fLooper)), B_OK);

	// A new directory in the root is a mounted volume.
	std::filesystem::create_directory(fRoot.HostPath("Extra"));
	ASSERT_TRUE(fLog->WaitForCount(1));
	dev_t extra = DeviceOf("Extra");
	ASSERT_NE(extra, (dev_t)-1);
	EXPECT_EQ(Devices(B_DEVICE_MOUNTED, "new device"), std::vector<int32>{(int32)extra});

	// A link to a host directory is a volume too.
	std::string hostFolder = fRoot.HostPath("../") + "kestrovan-watch-target-"
		+ std::to_string(getpid());
	std::filesystem::create_directory(hostFolder);
	std::filesystem::create_directory_symlink(hostFolder, fRoot.HostPath("Linked"));
	ASSERT_TRUE(fLog->WaitForCount(2));
	dev_t linked = DeviceOf("Linked");
	ASSERT_NE(linked, (dev_t)-1);

	// Both leave again: each gives its own unmount notice, with the device
	// number it was mounted with.
	std::filesystem::remove(fRoot.HostPath("Extra"));
	std::filesystem::remove(fRoot.HostPath("Linked"));
	ASSERT_TRUE(fLog->WaitForCount(4));
	std::vector<int32> gone = Devices(B_DEVICE_UNMOUNTED, "device");
	std::sort(gone.begin(), gone.end());
	std::vector<int32> expected{(int32)extra, (int32)linked};
	std::sort(expected.begin(), expected.end());
	EXPECT_EQ(gone, expected);
	std::filesystem::remove_all(hostFolder);

	// Nothing else happened: the boot and Data volumes were never reported.
	snooze(100000);
	EXPECT_EQ(fLog->Count(), 4u);
}

TEST_F(MountWatchTest, NoNoticesAfterStopWatchingOrTheRostersEnd)
{
	{
		BVolumeRoster roster;
		ASSERT_EQ(roster.StartWatching(BMessenger(fLooper)), B_OK);
		EXPECT_EQ(roster.Messenger(), BMessenger(fLooper));
		roster.StopWatching();
		std::filesystem::create_directory(fRoot.HostPath("First"));

		BVolumeRoster second;
		ASSERT_EQ(second.StartWatching(BMessenger(fLooper)), B_OK);
		// Leaving the scope ends the watching of both.
	}
	std::filesystem::create_directory(fRoot.HostPath("Second"));
	// The watcher rescans at least every two seconds: wait past that.
	snooze(2500000);
	EXPECT_EQ(fLog->Count(), 0u);

	// An invalid messenger is refused.
	BVolumeRoster roster;
	EXPECT_EQ(roster.StartWatching(BMessenger()), B_BAD_VALUE);
}

TEST(MountWatchRealVolume, MountingOnAVolumeDirectoryReplacesTheVolume)
{
	// The namespace first: the watcher's thread must not exist yet, and the
	// kit's root descriptor must see the mounts made here.
	SKIP_UNLESS_MOUNTED(MountedVolume::EnterPrivateNamespace());
	TempRoot root;
	ASSERT_EQ(root.InitCheck(), B_OK);

	auto log = std::make_shared<MessageLog>();
	LoggingLooper* looper = new LoggingLooper(log, "mount watcher target");
	looper->Run();
	BVolumeRoster roster;
	ASSERT_EQ(roster.StartWatching(BMessenger(looper)), B_OK);

	{
		MountedVolume tmpfs;
		SKIP_UNLESS_MOUNTED(tmpfs.Mount(MountedVolume::kTmpfs, root.HostPath("Data"), 4));
		// The old Data leaves and the mounted file system takes its place.
		ASSERT_TRUE(log->WaitForCount(2));
		int32 opcode = 0;
		EXPECT_EQ(log->At(0).FindInt32("opcode", &opcode), B_OK);
		EXPECT_EQ(opcode, B_DEVICE_UNMOUNTED);
		EXPECT_EQ(log->At(1).FindInt32("opcode", &opcode), B_OK);
		EXPECT_EQ(opcode, B_DEVICE_MOUNTED);
	}
	// Unmounting gives the directory underneath back, as a new volume.
	ASSERT_TRUE(log->WaitForCount(4));

	roster.StopWatching();
	if (looper->Lock())
		looper->Quit();
}
