// Removing an installed package: what is unchanged goes with the receipt,
// the last installed first; changed items stay until forced; folders stay
// while they hold something, and so do folders and entries that were there
// before; an original the install renamed aside gets its name back; another
// run on the volume keeps the removal from starting; a removal that cannot
// go through puts back what it had taken.

#include "InstalledToolFixture.h"
#include "MountedVolume.h"
#include "RecordingAlertSink.h"

#include "AlertSinkScope.h"
#include "InstallReceipt.h"
#include "Uninstaller.h"

#include <Directory.h>
#include <FileLock.h>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

class UninstallerTest : public InstalledToolTest {
protected:
	void SetUp() override
	{
		InstalledToolTest::SetUp();
		BDirectory boot("/boot");
		node_ref ref;
		ASSERT_EQ(boot.GetNodeRef(&ref), B_OK);
		fBoot = ref.device;
	}

	status_t Uninstall(bool force = false)
	{
		Uninstaller uninstaller(fBoot, "Tool.json", "Tool");
		uninstaller.SetForce(force);
		AlertSinkScope alerts(&fAlerts);
		status_t status = uninstaller.Run();
		fKept = uninstaller.Kept();
		fRestored = uninstaller.Restored();
		fRemoved = uninstaller.RemovedCount();
		fReceiptKept = uninstaller.ReceiptKept();
		fChangedKept = uninstaller.ChangedItemsKept();
		return status;
	}

	bool ReceiptExists() const
	{
		return Exists("boot/" + std::string(kReceiptFolderPath) + "/Tool.json");
	}

	// Nothing of the removal's own is left: no temporary folder, no lock,
	// and the "var/tmp" it made for them is gone.
	void ExpectNoRunLeftovers() const
	{
		EXPECT_FALSE(Exists("boot/var/tmp"));
	}

	dev_t fBoot = -1;
	RecordingAlertSink fAlerts;
	std::vector<std::string> fKept;
	std::vector<std::string> fRestored;
	int32 fRemoved = 0;
	bool fReceiptKept = false;
	bool fChangedKept = false;
};


TEST_F(UninstallerTest, UnchangedItemsGoWithTheReceipt)
{
	WriteReceipt();
	ASSERT_EQ(Uninstall(), B_OK);
	EXPECT_TRUE(fKept.empty()) << fKept[0];
	EXPECT_EQ(fRemoved, 6);
	EXPECT_FALSE(Exists("boot/apps/Tool"));
	EXPECT_TRUE(Exists("boot/apps"));
	EXPECT_FALSE(fReceiptKept);
	EXPECT_FALSE(ReceiptExists());
	ExpectNoRunLeftovers();
	EXPECT_TRUE(fAlerts.Texts().empty());

	// Once removed, the package is not found again.
	EXPECT_EQ(Uninstall(), B_ENTRY_NOT_FOUND);
}


TEST_F(UninstallerTest, ChangedItemsStayUntilForced)
{
	WriteReceipt();
	WriteFile("boot/apps/Tool/readme", "my notes\n");
	std::filesystem::permissions(fRoot.HostPath("boot/apps/Tool/tool"),
		(std::filesystem::perms)0700);

	ASSERT_EQ(Uninstall(), B_OK);
	EXPECT_EQ(fKept, (std::vector<std::string>{
		"/boot/apps/Tool/readme: contents changed (size 9, was 8)",
		"/boot/apps/Tool/tool: mode 0700 (was 0755)",
		"/boot/apps/Tool: not empty" }));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/readme"), "my notes\n");
	EXPECT_TRUE(Exists("boot/apps/Tool/tool"));
	EXPECT_FALSE(Exists("boot/apps/Tool/docs"));
	EXPECT_FALSE(Exists("boot/apps/Tool/current"));
	// It stays so that a forced removal finds the rest.
	EXPECT_TRUE(fChangedKept);
	EXPECT_TRUE(fReceiptKept);
	EXPECT_TRUE(ReceiptExists());

	ASSERT_EQ(Uninstall(true), B_OK);
	EXPECT_TRUE(fKept.empty());
	EXPECT_EQ(fRemoved, 3);
	EXPECT_FALSE(Exists("boot/apps/Tool"));
	EXPECT_FALSE(ReceiptExists());
	ExpectNoRunLeftovers();
}


TEST_F(UninstallerTest, AnOriginalRenamedAsideGetsItsNameBack)
{
	WriteFile("boot/home/config/tool.cfg.old", "the user's settings\n");
	WriteFile("boot/home/config/tool.cfg", "the package's settings\n");
	fReceipt.Add("/boot/home/config/tool.cfg", kExistingRenamed,
		"/boot/home/config/tool.cfg.old");
	WriteFile("boot/home/config/other.cfg.old", "other settings\n");
	WriteFile("boot/home/config/other.cfg", "the package's other settings\n");
	fReceipt.Add("/boot/home/config/other.cfg", kExistingRenamed,
		"/boot/home/config/other.cfg.old");
	WriteReceipt();
	// A changed item keeps its place: the original keeps the name it was
	// given.
	WriteFile("boot/home/config/other.cfg", "edited since\n");

	ASSERT_EQ(Uninstall(), B_OK);
	EXPECT_EQ(fRoot.ReadFile("boot/home/config/tool.cfg"), "the user's settings\n");
	EXPECT_FALSE(Exists("boot/home/config/tool.cfg.old"));
	EXPECT_EQ(fRestored, (std::vector<std::string>{ "/boot/home/config/tool.cfg" }));
	EXPECT_EQ(fRoot.ReadFile("boot/home/config/other.cfg"), "edited since\n");
	EXPECT_EQ(fRoot.ReadFile("boot/home/config/other.cfg.old"), "other settings\n");
	ASSERT_EQ(fKept.size(), 2u);
	EXPECT_EQ(fKept[1], "/boot/home/config/other.cfg.old: keeps this name "
		"(\"other.cfg\" is still there)");

	// Forced, the changed item goes and the original gets its name back.
	ASSERT_EQ(Uninstall(true), B_OK);
	EXPECT_TRUE(fKept.empty());
	EXPECT_EQ(fRoot.ReadFile("boot/home/config/other.cfg"), "other settings\n");
	EXPECT_FALSE(Exists("boot/home/config/other.cfg.old"));
	EXPECT_EQ(fRoot.ReadFile("boot/home/config/tool.cfg"), "the user's settings\n");
}


TEST_F(UninstallerTest, FoldersStayWhileTheyHoldWhatIsNotThePackages)
{
	// A folder that was there before, and an entry the install kept in
	// place of its item.
	WriteFile("boot/home/config/keep.cfg", "the user's own\n");
	fReceipt.Add("/boot/home/config", kExistingMerged);
	fReceipt.Add("/boot/home/config/keep.cfg", kExistingSkipped);
	WriteFile("boot/home/config/plain.cfg", "the package's\n");
	fReceipt.Add("/boot/home/config/plain.cfg");
	WriteReceipt();
	WriteFile("boot/apps/Tool/docs/my-notes", "mine\n");

	ASSERT_EQ(Uninstall(true), B_OK);
	EXPECT_EQ(fKept, (std::vector<std::string>{ "/boot/apps/Tool/docs: not empty",
		"/boot/apps/Tool: not empty" }));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/docs/my-notes"), "mine\n");
	EXPECT_FALSE(Exists("boot/apps/Tool/docs/guide"));
	EXPECT_FALSE(Exists("boot/apps/Tool/tool"));
	EXPECT_EQ(fRoot.ReadFile("boot/home/config/keep.cfg"), "the user's own\n");
	EXPECT_FALSE(Exists("boot/home/config/plain.cfg"));
	// The receipt stays for the folders.
	EXPECT_TRUE(fReceiptKept);
	EXPECT_FALSE(fChangedKept);
	EXPECT_TRUE(ReceiptExists());

	// Once they are empty, a later removal takes them, and still leaves
	// what was there before.
	std::filesystem::remove(fRoot.HostPath("boot/apps/Tool/docs/my-notes"));
	ASSERT_EQ(Uninstall(), B_OK);
	EXPECT_TRUE(fKept.empty());
	EXPECT_EQ(fRemoved, 2);
	EXPECT_FALSE(Exists("boot/apps/Tool"));
	EXPECT_EQ(fRoot.ReadFile("boot/home/config/keep.cfg"), "the user's own\n");
	EXPECT_FALSE(ReceiptExists());
}


// A patch that replaced its original leaves nothing to go back to:
// removing the patched file would leave neither version of another
// package's program. A patched copy beside a kept original goes.
TEST_F(UninstallerTest, AFilePatchedInPlaceStaysUntilForced)
{
	WriteFile("boot/apps/Other/program", "version 1.1");
	fReceipt.Add("/boot/apps/Other/program", kExistingPatched, "/boot/apps/Other/program");
	WriteFile("boot/apps/Other/library.orig", "library 1.0");
	WriteFile("boot/apps/Other/library", "library 1.1");
	fReceipt.Add("/boot/apps/Other/library", kExistingPatched,
		"/boot/apps/Other/library.orig");
	WriteReceipt();

	ASSERT_EQ(Uninstall(), B_OK);
	EXPECT_EQ(fKept, (std::vector<std::string>{ "/boot/apps/Other/program: patched in "
		"place of its original, which is gone" }));
	EXPECT_TRUE(fChangedKept);
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Other/program"), "version 1.1");
	EXPECT_FALSE(Exists("boot/apps/Other/library"));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Other/library.orig"), "library 1.0");

	ASSERT_EQ(Uninstall(true), B_OK);
	EXPECT_TRUE(fKept.empty());
	EXPECT_FALSE(Exists("boot/apps/Other/program"));
	EXPECT_FALSE(ReceiptExists());
}


// A receipt cannot lead the removal through a link: a folder of the
// package replaced by a link to another folder leaves that folder's items
// alone, however alike they are, also when forced.
TEST_F(UninstallerTest, NothingIsTakenThroughALink)
{
	WriteReceipt();
	std::filesystem::rename(fRoot.HostPath("boot/apps/Tool/docs"),
		fRoot.HostPath("boot/home-docs"));
	std::filesystem::create_directory_symlink("/boot/home-docs",
		fRoot.HostPath("boot/apps/Tool/docs"));

	ASSERT_EQ(Uninstall(true), B_OK);
	EXPECT_EQ(fRoot.ReadFile("boot/home-docs/guide"), "a guide\n");
	EXPECT_EQ(fKept.front(), "/boot/apps/Tool/docs/guide: reached through a link now");
}


TEST_F(UninstallerTest, AnotherRunOnTheVolumeKeepsItFromStarting)
{
	WriteReceipt();
	BDirectory boot("/boot");
	BEntry varTmp;
	ASSERT_EQ(CreatePathAt(&boot, "var/tmp", &varTmp), B_OK);
	BDirectory lockFolder(&varTmp);
	BPrivate::FileLock otherRun;
	ASSERT_EQ(otherRun.TryLock(&lockFolder, "kestrovan.lock"), B_OK);

	EXPECT_EQ(Uninstall(), B_BUSY);
	EXPECT_TRUE(Exists("boot/apps/Tool/tool"));
	EXPECT_TRUE(ReceiptExists());

	otherRun.Unlock();
	EXPECT_EQ(Uninstall(), B_OK);
	EXPECT_FALSE(Exists("boot/apps/Tool"));
}


TEST_F(UninstallerTest, AReceiptOfAnotherPackageOrDamagedRemovesNothing)
{
	fReceipt.fReceipt.fPackageName = "Other";
	BDirectory boot("/boot");
	BEntry folderEntry;
	ASSERT_EQ(CreatePathAt(&boot, kReceiptFolderPath, &folderEntry), B_OK);
	BDirectory folder(&folderEntry);
	ASSERT_EQ(fReceipt.fReceipt.WriteTo(&folder, "Tool.json"), B_OK);
	EXPECT_EQ(Uninstall(), B_ENTRY_NOT_FOUND);

	fRoot.WriteFile("boot/var/kestrovan/receipts/Tool.json", "{\"format\": 1, \"items\": [");
	EXPECT_EQ(Uninstall(), B_BAD_DATA);
	EXPECT_TRUE(Exists("boot/apps/Tool/tool"));
	ExpectNoRunLeftovers();
}


// Nothing moves between volumes: an item on another volume than the
// receipt's stays, and the rest goes.
TEST_F(UninstallerTest, AnItemOnAnotherVolumeStays)
{
	WriteFile("Data/shared/tool-data", "shared data\n");
	fReceipt.Add("/Data/shared/tool-data");
	WriteReceipt();

	ASSERT_EQ(Uninstall(), B_OK);
	EXPECT_EQ(fKept, (std::vector<std::string>{
		"/Data/shared/tool-data: on another volume than the receipt" }));
	EXPECT_EQ(fRoot.ReadFile("Data/shared/tool-data"), "shared data\n");
	EXPECT_FALSE(Exists("boot/apps/Tool"));
	EXPECT_TRUE(fAlerts.Texts().empty());
	ExpectNoRunLeftovers();
}


// An entry that cannot be moved aside (a mount point) stops the removal,
// and what it had taken is put back, the renamed original's name too: half
// a removal is no state to leave.
TEST_F(UninstallerTest, AnItemThatCannotBeMovedPutsEverythingBack)
{
	std::string reason = MountedVolume::EnterPrivateNamespace();
	if (!reason.empty())
		GTEST_SKIP() << reason;
	// The root's descriptor was opened before the namespace was entered.
	ASSERT_EQ(set_system_root(fRoot.HostPath().c_str()), B_OK);
	WriteFile("boot/apps/Tool/tool.cfg.old", "the user's settings\n");
	WriteFile("boot/apps/Tool/tool.cfg", "the package's settings\n");
	fReceipt.Add("/boot/apps/Tool/tool.cfg", kExistingRenamed,
		"/boot/apps/Tool/tool.cfg.old");
	WriteReceipt();
	std::string written = fRoot.ReadFile("boot/var/kestrovan/receipts/Tool.json");
	// The first installed goes last: by then the others have gone.
	std::string guide = fRoot.HostPath("boot/apps/Tool/docs/guide");
	ASSERT_EQ(mount(guide.c_str(), guide.c_str(), nullptr, MS_BIND, nullptr), 0)
		<< strerror(errno);

	status_t status = Uninstall();
	umount2(guide.c_str(), MNT_DETACH);
	EXPECT_EQ(status, B_NOT_ALLOWED);
	ASSERT_EQ(fAlerts.Texts().size(), 1u);
	EXPECT_EQ(fAlerts.Texts()[0], "Error moving item \"guide\" to temporary directory.");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/tool.cfg"), "the package's settings\n");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/tool.cfg.old"), "the user's settings\n");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/readme"), "read me\n");
	EXPECT_TRUE(Exists("boot/apps/Tool/current"));
	EXPECT_EQ(fRoot.ReadFile("boot/var/kestrovan/receipts/Tool.json"), written);
	ExpectNoRunLeftovers();
}


// Items stay, and the receipt of just those cannot be written (the volume
// is full): a receipt left whole would name the original that got its name
// back as the package's item, for a forced removal to take. Everything is
// put back instead.
TEST_F(UninstallerTest, AReceiptThatCannotBeRewrittenPutsEverythingBack)
{
	MountedVolume small;
	SKIP_UNLESS_MOUNTED(small.Mount(MountedVolume::kTmpfs, fRoot.HostPath("Small"), 1));
	// The root's descriptor was opened before the mount.
	ASSERT_EQ(set_system_root(fRoot.HostPath().c_str()), B_OK);
	WriteFile("Small/Tool/readme", "read me\n");
	WriteFile("Small/Tool/tool.cfg.old", "the user's settings\n");
	WriteFile("Small/Tool/tool.cfg", "the package's settings\n");
	ReceiptBuilder receipt("Tool", "Small");
	receipt.Add("/Small/Tool");
	receipt.Add("/Small/Tool/readme");
	receipt.Add("/Small/Tool/tool.cfg", kExistingRenamed, "/Small/Tool/tool.cfg.old");
	ASSERT_EQ(receipt.Write(), B_OK);
	std::string written = fRoot.ReadFile("Small/var/kestrovan/receipts/Tool.json");
	WriteFile("Small/Tool/readme", "my notes\n");
	std::string filler = fRoot.HostPath("Small/filler");
	std::ofstream(filler, std::ios::binary) << std::string(2 << 20, 'f');
	// One page for the removal's journal, none for the new receipt.
	std::filesystem::resize_file(filler, std::filesystem::file_size(filler) - 4096);

	BDirectory small_root("/Small");
	node_ref ref;
	ASSERT_EQ(small_root.GetNodeRef(&ref), B_OK);
	Uninstaller uninstaller(ref.device, "Tool.json", "Tool");
	AlertSinkScope alerts(&fAlerts);
	// The journal's page holds the removal's records; the new receipt
	// finds no room.
	EXPECT_EQ(uninstaller.Run(), B_DEVICE_FULL);
	EXPECT_EQ(fRoot.ReadFile("Small/Tool/tool.cfg"), "the package's settings\n");
	EXPECT_EQ(fRoot.ReadFile("Small/Tool/tool.cfg.old"), "the user's settings\n");
	EXPECT_EQ(fRoot.ReadFile("Small/Tool/readme"), "my notes\n");
	EXPECT_EQ(fRoot.ReadFile("Small/var/kestrovan/receipts/Tool.json"), written);
	EXPECT_FALSE(Exists("Small/var/tmp"));
}
