// Patch items installing themselves from a real package with a real
// destination manager: the patch data extracted into the run's temporary
// folder, the new file made beside the original under a temporary name and
// put in the original's place, the original kept as name.old or deleted,
// the log block, the progress, and the failures that leave the original as
// it was.

#include "MessageLog.h"
#include "PatchData.h"
#include "PackageBytes.h"
#include "TempRoot.h"

#include "ArchivePatchItem.h"
#include "DestManager.h"
#include "InstallPack.h"
#include "PackAttrib.h"
#include "RunJournal.h"

#include <Directory.h>
#include <Entry.h>
#include <Node.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

dev_t
DeviceOf(const char* path)
{
	node_ref ref;
	BDirectory dir(path);
	return dir.GetNodeRef(&ref) == B_OK ? ref.device : -1;
}


// The names created in host folders while it watches.
class CreationWatch {
public:
	CreationWatch() : fFD(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
	~CreationWatch() { close(fFD); }

	void Watch(const std::string& hostFolder)
	{
		int watch = inotify_add_watch(fFD, hostFolder.c_str(), IN_CREATE);
		ASSERT_GE(watch, 0) << hostFolder;
		fFolders[watch] = hostFolder;
	}

	// Folder leaf and name of every creation so far, in order.
	std::vector<std::string> Created()
	{
		alignas(inotify_event) char buffer[16384];
		ssize_t length;
		while ((length = read(fFD, buffer, sizeof(buffer))) > 0) {
			for (char* at = buffer; at < buffer + length;) {
				inotify_event* event = reinterpret_cast<inotify_event*>(at);
				std::string folder = fFolders[event->wd];
				fCreated.push_back(folder.substr(folder.find_last_of('/') + 1) + "/"
					+ event->name);
				at += sizeof(inotify_event) + event->len;
			}
		}
		return fCreated;
	}

private:
	int fFD;
	std::map<int, std::string> fFolders;
	std::vector<std::string> fCreated;
};


struct patch_source {
	const char* name;
	std::string data;
	int64 newSize;
	int64 oldSize;
};

} // namespace


class PatchInstallTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		fOldTool = Filler(20000, 'a');
		fNewTool = fOldTool.substr(0, 15000) + Filler(9000, 'T');
		fOldLib = Filler(30000, 'l');
		fNewLib = fOldLib.substr(0, 5000) + Filler(5000, 'L');
		fRoot.WriteFile("boot/apps/Tool", fOldTool);
		fRoot.WriteFile("boot/apps/lib/libtool.so", fOldLib);

		fLog = std::make_shared<MessageLog>();
		fLooper = new LoggingLooper(fLog, "status");
		fLooper->fAction = [this](BLooper*, BMessage* message) {
			if (message->IsSourceWaiting()) {
				BMessage reply(B_REPLY);
				reply.AddBool("canceled", fCancel);
				message->SendReply(&reply);
			}
		};
		fLooper->Run();
	}

	void TearDown() override
	{
		fPatches.clear();
		fManager.reset();
		fPack.reset();
		fLooper->PostMessage(B_QUIT_REQUESTED);
		TempRootTest::TearDown();
	}

	// A package whose node data are the patches' data; the items point at
	// them and find their originals with the destination manager.
	void MakePackage(const std::vector<patch_source>& sources)
	{
		RecordBytes probe;
		standard_header()(probe, 0, 0, 0);
		int64 offset = 8 + (int64)probe.Size();
		RecordBytes nodes;
		for (const patch_source& source : sources) {
			auto item = std::make_unique<ArchivePatchItem>();
			item->AdoptName(strdup(source.name));
			item->fOffset = offset + (int64)nodes.Size();
			item->fSize = source.newSize;
			item->fOldSize = source.oldSize;
			item->fMode = 0644;
			item->fDestIndex = -1;
			item->fModificationTime = 1234567;
			nodes.Group('FiDa').Bin('FiMF', source.data).Group('FBeA').End().End();
			fPatches.push_back(std::move(item));
		}
		Bytes package = assemble_package(standard_header(), empty_catalog(),
			empty_attributes(), nodes.Data());
		fRoot.WriteFile("boot/test.pkg", std::string(package.begin(), package.end()));
		entry_ref ref;
		ASSERT_EQ(get_ref_for_path("/boot/test.pkg", &ref), B_OK);
		fPack = std::make_unique<InstallPack>(ref, false);
		ASSERT_NE(fPack->fEntry, nullptr);
		fPack->fStatusMessenger = BMessenger(fLooper);
		ASSERT_FALSE(fPack->SetFile());

		fManager = std::make_unique<DestManager>(&fAttrib);
		ASSERT_TRUE(fManager->SetupInstall(nullptr, (char*)"apps", DeviceOf("/boot"), nullptr,
			false));
		fManager->fLogging = true;
		fTempFolder = "boot/var/tmp/" + fManager->TempFolderName();
	}

	// Finds the original of patch `index` in /boot/apps or one of its
	// folders, as the install worker's patch scan does.
	void Locate(size_t index, const char* folder = nullptr)
	{
		ArchivePatchItem* patch = fPatches[index].get();
		BDirectory parent;
		if (folder != nullptr) {
			ASSERT_EQ(parent.SetTo(folder), B_OK);
			patch->fDestIndex = -2;
		}
		ASSERT_NE(fManager->DirectoryFor(patch->fDestIndex, &parent, false, false, patch),
			nullptr);
		ASSERT_TRUE(patch->HasOriginal());
	}

	status_t Extract(size_t index, bool skip = false, uint32 groups = 1)
	{
		size_t before = fLog->Count();
		testing::internal::CaptureStderr();
		status_t status = fPatches[index]->ExtractItem(fPack.get(), nullptr, fManager.get(),
			groups, skip);
		fAlerts = testing::internal::GetCapturedStderr();
		// The progress messages were sent without waiting: let them arrive.
		BMessage sync('sync');
		BMessage reply;
		BMessenger(fLooper).SendMessage(&sync, &reply);
		EXPECT_TRUE(WaitUntil([&] {
			std::vector<BMessage> all = fLog->Messages();
			return all.size() > before && all.back().what == 'sync';
		}));
		std::vector<BMessage> all = fLog->Messages();
		fMessages.assign(all.begin() + before, all.end() - 1);
		return status;
	}

	int64 Progress() const
	{
		int64 total = 0;
		for (const BMessage& message : fMessages) {
			if (message.what == 'Uprg')
				total += message.FindInt32("bytes");
		}
		return total;
	}

	std::string LogText()
	{
		fManager->FinishInstall(false, nullptr);
		return fRoot.ReadFile("boot/Install Log");
	}

	bool Exists(const std::string& path) const
	{
		return access(fRoot.HostPath(path).c_str(), F_OK) == 0;
	}

	std::string fOldTool, fNewTool, fOldLib, fNewLib;
	PackAttrib fAttrib;
	std::unique_ptr<InstallPack> fPack;
	std::unique_ptr<DestManager> fManager;
	std::vector<std::unique_ptr<ArchivePatchItem>> fPatches;
	std::string fTempFolder;
	std::shared_ptr<MessageLog> fLog;
	LoggingLooper* fLooper = nullptr;
	std::atomic<bool> fCancel{false};
	std::vector<BMessage> fMessages;
	std::string fAlerts;
};


TEST_F(PatchInstallTest, TwoPatchesKeepTheirOriginalsAsOld)
{
	MakePackage({{"Tool", AppendingPatch(fOldTool, 15000, fNewTool.substr(15000)),
			(int64)fNewTool.size(), (int64)fOldTool.size()},
		{"libtool.so", AppendingPatch(fOldLib, 5000, fNewLib.substr(5000)),
			(int64)fNewLib.size(), (int64)fOldLib.size()}});
	fRoot.WriteFile("boot/apps/lib/libtool.so.old", "an older one");
	Locate(0);
	Locate(1, "/boot/apps/lib");

	CreationWatch watch;
	watch.Watch(fRoot.HostPath(fTempFolder));
	watch.Watch(fRoot.HostPath("boot/apps"));
	watch.Watch(fRoot.HostPath("boot/apps/lib"));
	ArchivePatchItem::SetTemporaryCounter(0);
	fManager->fDeleteOriginals = false;

	ASSERT_EQ(Extract(0), B_OK);
	EXPECT_EQ(fAlerts, "");
	// The bar advances by the new file's block-rounded size.
	EXPECT_NEAR(Progress(), fManager->AllocSize(fNewTool.size()), 1);
	ASSERT_FALSE(fMessages.empty());
	EXPECT_EQ(fMessages[0].what, (uint32)'CFln');
	EXPECT_STREQ(fMessages[0].FindString("mode"), "Patching: ");
	EXPECT_STREQ(fMessages[0].FindString("filename"), "Tool");

	ASSERT_EQ(Extract(1), B_OK);
	EXPECT_EQ(fAlerts, "");
	EXPECT_NEAR(Progress(), fManager->AllocSize(fNewLib.size()), 1);

	EXPECT_EQ(watch.Created(), (std::vector<std::string>{
		fManager->TempFolderName() + "/tmpatch_00", "apps/patchedfile_01",
		fManager->TempFolderName() + "/tmpatch_01", "lib/patchedfile_02"}));
	EXPECT_EQ(ArchivePatchItem::TemporaryCounter(), 2);

	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool") == fNewTool);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool.old") == fOldTool);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/lib/libtool.so") == fNewLib);
	EXPECT_EQ(fRoot.ReadFile("boot/apps/lib/libtool.so.old"), "an older one");
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/lib/libtool.so.old.old1") == fOldLib);
	// No temporary file is left.
	EXPECT_FALSE(Exists(fTempFolder + "/tmpatch_00"));
	EXPECT_FALSE(Exists(fTempFolder + "/tmpatch_01"));
	EXPECT_FALSE(Exists("boot/apps/patchedfile_01"));
	EXPECT_FALSE(Exists("boot/apps/lib/patchedfile_02"));
	// The new file got the item's times.
	struct stat st;
	ASSERT_EQ(stat(fRoot.HostPath("boot/apps/Tool").c_str(), &st), 0);
	EXPECT_EQ(st.st_mtime, 1234567);

	EXPECT_EQ(LogText(), "/boot/apps/Tool\n\tSize: 24000 bytes\n"
		"\tPatched from original: /boot/apps/Tool\n"
		"/boot/apps/lib/libtool.so\n\tSize: 10000 bytes\n"
		"\tPatched from original: /boot/apps/lib/libtool.so\n");
}


// A new file past 2 GiB: the rebuilding's share of the bar is the largest
// an int32 holds, and what it reports stays a count of bytes.
TEST_F(PatchInstallTest, ProgressOfAFileOf3GiB)
{
	const int64 kHugeSize = 3LL << 30;
	MakePackage({{"Tool", AppendingPatch(fOldTool, 15000, fNewTool.substr(15000)),
		kHugeSize, (int64)fOldTool.size()}});
	Locate(0);

	ASSERT_EQ(Extract(0), B_OK);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool") == fNewTool);
	int32 reports = 0;
	for (const BMessage& message : fMessages) {
		if (message.what != 'Uprg')
			continue;
		reports++;
		EXPECT_GE(message.FindInt32("bytes"), 0);
	}
	EXPECT_GT(reports, 1);
	EXPECT_GT(Progress(), (int64)INT32_MAX / 2);
}


TEST_F(PatchInstallTest, DeletedOriginalsAndTheFileType)
{
	MakePackage({{"Tool", AppendingPatch(fOldTool, 15000, fNewTool.substr(15000)),
		(int64)fNewTool.size(), (int64)fOldTool.size()}});
	Locate(0);
	fPatches[0]->AdoptMimeType(strdup("application/x-vnd.Maker-Tool"));
	fManager->fDeleteOriginals = true;
	ASSERT_EQ(Extract(0), B_OK);
	EXPECT_EQ(fAlerts, "");
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool") == fNewTool);
	EXPECT_FALSE(Exists("boot/apps/Tool.old"));
	char type[256] = "";
	BNode node("/boot/apps/Tool");
	EXPECT_GT(node.ReadAttr("BEOS:TYPE", B_MIME_STRING_TYPE, 0, type, sizeof(type)), 0);
	EXPECT_STREQ(type, "application/x-vnd.Maker-Tool");
	EXPECT_EQ(LogText(), "/boot/apps/Tool\n\tSize: 24000 bytes\t\tType: "
		"application/x-vnd.Maker-Tool\n\tPatched from original: /boot/apps/Tool\n");
}


TEST_F(PatchInstallTest, PatchesThatAreNotApplied)
{
	MakePackage({{"Tool", AppendingPatch(fOldTool, 15000, fNewTool.substr(15000)),
		(int64)fNewTool.size(), (int64)fOldTool.size()}});
	ArchivePatchItem* patch = fPatches[0].get();

	// No original found: nothing at all, not even progress.
	EXPECT_FALSE(patch->HasOriginal());
	EXPECT_EQ(Extract(0), B_OK);
	EXPECT_EQ(fAlerts, "");
	EXPECT_TRUE(fMessages.empty());

	Locate(0);
	// Not in the run's groups: nothing.
	EXPECT_EQ(Extract(0, false, 2), B_OK);
	EXPECT_TRUE(fMessages.empty());
	// Skipped: its progress only.
	EXPECT_EQ(Extract(0, true), B_OK);
	ASSERT_EQ(fMessages.size(), 1u);
	EXPECT_EQ(fMessages[0].what, (uint32)'Uprg');
	EXPECT_EQ(fMessages[0].FindInt32("bytes"), 24576);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool") == fOldTool);
	EXPECT_EQ(LogText(), "");
}


TEST_F(PatchInstallTest, FailuresLeaveTheOriginal)
{
	std::string added = fNewTool.substr(15000);
	MakePackage({{"Tool", AppendingPatch(fOldTool, 15000, added, 1), (int64)fNewTool.size(),
			(int64)fOldTool.size()},
		{"Tool", AppendingPatch(fOldTool, 15000, added), (int64)fNewTool.size(),
			(int64)fOldTool.size()}});
	Locate(0);
	Locate(1);
	ArchivePatchItem::SetTemporaryCounter(0);

	// A new file that does not check out is removed; the original stays
	// as it was, under its own name; the pass ends.
	EXPECT_LT(Extract(0), 0);
	EXPECT_NE(fAlerts.find("Patched file checksum does not match. Patch could not be "
		"completed."), std::string::npos) << fAlerts;
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool") == fOldTool);
	EXPECT_FALSE(Exists("boot/apps/Tool.old"));
	EXPECT_FALSE(Exists("boot/apps/patchedfile_01"));
	EXPECT_FALSE(Exists(fTempFolder + "/tmpatch_00"));

	// Cancelled while the patch data is extracted.
	fCancel = true;
	EXPECT_EQ(Extract(1), B_CANCELED);
	EXPECT_EQ(fAlerts, "");
	EXPECT_FALSE(Exists(fTempFolder + "/tmpatch_01"));
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool") == fOldTool);

	// An original of the right size with other contents: a warning, and
	// the new file, which still checks out, is installed.
	fCancel = false;
	std::string other = fOldTool;
	other[19000] ^= 1;
	fRoot.WriteFile("boot/apps/Tool", other);
	EXPECT_EQ(Extract(1), B_OK);
	EXPECT_NE(fAlerts.find("Orginal file checksum does not match. Use patched file with "
		"caution."), std::string::npos) << fAlerts;
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool") == fNewTool);
	EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool.old") == other);

	// Patch data that the package cannot decompress: an alert, no files.
	fPatches[1]->fOffset = 3;
	EXPECT_LT(Extract(1), 0);
	EXPECT_NE(fAlerts.find("Encountered error when decompressing patch for \"Tool\"."),
		std::string::npos) << fAlerts;
	std::vector<std::string> left;
	BDirectory temp(("/" + fTempFolder).c_str());
	BEntry entry;
	while (temp.GetNextEntry(&entry) == B_OK) {
		char name[B_FILE_NAME_LENGTH];
		entry.GetName(name);
		// The run's journal lives there as long as the run.
		if (std::string(name) != RunJournal::kFileName)
			left.push_back(name);
	}
	EXPECT_TRUE(left.empty()) << left.front();
}


// A catalog may give a patch no name, or a path for one: the new file
// cannot take it. It is removed with the alert of a failed rename, the
// original stays as it was, and nothing lands anywhere else.
TEST_F(PatchInstallTest, ANameTheNewFileCannotTakeLeavesTheOriginal)
{
	std::string added = fNewTool.substr(15000);
	const char* const names[] = {"(none)", "../Escaped", "lib/Tool", ""};
	std::vector<patch_source> sources;
	for (const char* name : names) {
		sources.push_back({name, AppendingPatch(fOldTool, 15000, added), (int64)fNewTool.size(),
			(int64)fOldTool.size()});
	}
	MakePackage(sources);
	fPatches[0]->AdoptName(nullptr);
	ArchivePatchItem::SetTemporaryCounter(0);
	for (size_t i = 0; i < fPatches.size(); i++) {
		SCOPED_TRACE(names[i]);
		Locate(i);
		EXPECT_EQ(Extract(i), B_OK);
		EXPECT_NE(fAlerts.find("Error renaming newly patched file."), std::string::npos)
			<< fAlerts;
		EXPECT_TRUE(fRoot.ReadFile("boot/apps/Tool") == fOldTool);
		EXPECT_FALSE(Exists("boot/apps/Tool.old"));
	}
	EXPECT_FALSE(Exists("boot/Escaped"));
	EXPECT_FALSE(Exists("boot/apps/lib/Tool"));
	std::vector<std::string> left;
	BDirectory apps("/boot/apps");
	BEntry entry;
	while (apps.GetNextEntry(&entry) == B_OK) {
		char name[B_FILE_NAME_LENGTH];
		entry.GetName(name);
		left.push_back(name);
	}
	std::sort(left.begin(), left.end());
	EXPECT_EQ(left, (std::vector<std::string>{"Tool", "lib"}));
}
