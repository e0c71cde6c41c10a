#ifndef _TESTS_INSTALL_SCENARIO_H
#define _TESTS_INSTALL_SCENARIO_H

// Install runs as the install window starts them, for tests: a package built
// with the package tool's writers (any names, sizes, destinations and
// options the catalog can carry), opened as the installer opens it, a
// destination manager prepared for a volume, the real install worker with
// its real progress window, and a stand-in for the install window that
// receives 'Done'. Between the items and the progress view sits a spy that
// keeps every progress message and passes it on (answers included), so a
// test sees what the bar was told and a click on "Cancel" still works.

#include "MessageLog.h"
#include "ScratchDir.h"
#include "TempRoot.h"

#include "AttributeSectionWriter.h"
#include "CatalogWriter.h"
#include "HostFile.h"
#include "PackageWriter.h"

#include "DestManager.h"
#include "InstallLooper.h"
#include "InstallPack.h"
#include "ItemHelpers.h"
#include "PackAttrib.h"

#include <Directory.h>
#include <Entry.h>
#include <Looper.h>
#include <MemoryIO.h>
#include <Message.h>
#include <Messenger.h>
#include <Node.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A package's contents, written with the tool's writers.
class PackagePlan {
public:
	PackagePlan()
	{
		fCatalog.Top()->fName = "Tool";
		fCatalog.Top()->fDestIndex = kInstallFolderDestination;
		fAttributes.SetPackageName("Tool");
		fAttributes.AddGroup("All", "");
	}

	CatalogEntry* Top() { return fCatalog.Top(); }
	AttributeSectionWriter& Attributes() { return fAttributes; }

	CatalogEntry* File(CatalogEntry* folder, const std::string& name,
		const std::string& data, const std::string& mimeType = "")
	{
		CatalogEntry* entry = folder->AddChild(kFileItemKind, name);
		entry->fSize = (int64)data.size();
		entry->fMode = 0644;
		entry->fMimeType = mimeType;
		fContents[entry] = data;
		return entry;
	}

	// A binary patch for an installed file of `oldSize` bytes.
	CatalogEntry* Patch(CatalogEntry* folder, const std::string& name, int64 oldSize,
		const std::string& patchData, int64 newSize)
	{
		CatalogEntry* entry = folder->AddChild(kPatchItemKind, name);
		entry->fOldSize = oldSize;
		entry->fSize = newSize;
		fContents[entry] = patchData;
		return entry;
	}

	// An install script, run in the install folder.
	CatalogEntry* Script(CatalogEntry* folder, const std::string& name,
		const std::string& text)
	{
		CatalogEntry* entry = folder->AddChild(kScriptItemKind, name);
		entry->fSize = (int64)text.size();
		entry->fMode = 0755;
		entry->fDestIndex = kInstallFolderDestination;
		fContents[entry] = text;
		return entry;
	}

	CatalogEntry* Folder(CatalogEntry* folder, const std::string& name)
	{
		return folder->AddChild(kFolderItemKind, name);
	}

	CatalogEntry* Link(CatalogEntry* folder, const std::string& name,
		const std::string& target)
	{
		CatalogEntry* entry = folder->AddChild(kLinkItemKind, name);
		entry->fLinkTarget = target;
		fLinks.push_back(entry);
		return entry;
	}

	// Attributes stored with a file's, folder's or link's node data.
	void AddAttribute(CatalogEntry* entry, const std::string& name, type_code type,
		const std::string& data)
	{
		fNodeAttributes[entry].push_back(
			{name, type, std::vector<uint8>(data.begin(), data.end())});
	}

	status_t Write(const std::string& hostPath)
	{
		HostFile file(hostPath.c_str(), O_RDWR | O_CREAT | O_TRUNC);
		PackageWriter writer;
		status_t status = file.InitCheck();
		if (status == B_OK)
			status = writer.SetTo(&file);
		if (status == B_OK)
			status = _WriteNodes(writer, fCatalog.Top());
		if (status == B_OK)
			status = writer.WriteCatalog(fCatalog);
		if (status == B_OK)
			status = writer.WriteAttributes(fAttributes);
		if (status == B_OK)
			status = writer.Finish();
		return status;
	}

private:
	status_t _WriteNodes(PackageWriter& writer, CatalogEntry* folder)
	{
		for (int32 i = 0; i < folder->CountChildren(); i++) {
			CatalogEntry* entry = folder->ChildAt(i);
			const auto& attributes = fNodeAttributes[entry];
			status_t status = B_OK;
			if (fContents.count(entry) != 0) {
				const std::string& data = fContents[entry];
				BMemoryIO contents(data.data(), data.size());
				status = writer.AddFileEntry(&contents, attributes, &entry->fOffset);
			} else if (entry->IsFolder()) {
				if (!attributes.empty())
					status = writer.AddFolderEntry(attributes, &entry->fOffset);
				if (status == B_OK)
					status = _WriteNodes(writer, entry);
			} else if (!attributes.empty())
				status = writer.AddLinkEntry(attributes, &entry->fOffset);
			if (status != B_OK)
				return status;
		}
		return B_OK;
	}

	CatalogWriter fCatalog;
	AttributeSectionWriter fAttributes;
	std::map<CatalogEntry*, std::string> fContents;
	std::map<CatalogEntry*, std::vector<PackageWriter::Attribute>> fNodeAttributes;
	std::vector<CatalogEntry*> fLinks;
};


// Keeps every message the items and the worker send to the progress view
// and passes each on, returning the view's answer to whoever waits for it.
class ProgressSpy : public BLooper {
public:
	explicit ProgressSpy(const BMessenger& view)
		:
		BLooper("progress spy"),
		fView(view)
	{
	}

	void MessageReceived(BMessage* message) override
	{
		{
			std::lock_guard<std::mutex> guard(fLock);
			fMessages.push_back(*message);
		}
		if (message->IsSourceWaiting()) {
			_HoldIfAsked();
			BMessage reply;
			fView.SendMessage(message, &reply);
			message->SendReply(&reply);
		} else
			fView.SendMessage(message);
	}

	std::vector<BMessage> Messages()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fMessages;
	}

	// The byte counts of every 'Uprg', in order.
	std::vector<int64> Progress()
	{
		std::vector<int64> bytes;
		for (const BMessage& message : Messages()) {
			if (message.what == kItemProgressMessage)
				bytes.push_back(find_byte_count(&message, "bytes"));
		}
		return bytes;
	}

	int64 ProgressTotal()
	{
		int64 total = 0;
		for (int64 bytes : Progress())
			total += bytes;
		return total;
	}

	std::vector<std::string> FileNames()
	{
		std::vector<std::string> names;
		for (const BMessage& message : Messages()) {
			if (message.what == kCurrentFileMessage)
				names.push_back(message.FindString("filename"));
		}
		return names;
	}

	// The worker is held at its `count`th report that waits for an answer
	// (from the start of the run), until Release.
	void HoldAtReport(int32 count)
	{
		std::lock_guard<std::mutex> guard(fLock);
		fHoldAt = count;
	}

	bool WaitUntilHolding(bigtime_t timeout)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fChanged.wait_for(guard, std::chrono::microseconds(timeout),
			[&] { return fHolding; });
	}

	void Release()
	{
		std::lock_guard<std::mutex> guard(fLock);
		fHoldAt = -1;
		fChanged.notify_all();
	}

	void Forget()
	{
		std::lock_guard<std::mutex> guard(fLock);
		fMessages.clear();
	}

private:
	void _HoldIfAsked()
	{
		std::unique_lock<std::mutex> guard(fLock);
		if (++fWaitingReports != fHoldAt)
			return;
		fHolding = true;
		fChanged.notify_all();
		fChanged.wait(guard, [&] { return fHoldAt < 0; });
		fHolding = false;
	}

	BMessenger fView;
	std::mutex fLock;
	std::condition_variable fChanged;
	std::vector<BMessage> fMessages;
	int32 fWaitingReports = 0;
	int32 fHoldAt = -1;
	bool fHolding = false;
};


inline dev_t
device_of(const char* path)
{
	BDirectory dir(path);
	node_ref ref;
	if (dir.GetNodeRef(&ref) != B_OK)
		return -1;
	return ref.device;
}


class InstallScenarioTest : public TempRootTest {
protected:
	// Generous: a run under a sanitizer on a loaded machine.
	static const bigtime_t kRunWait = 120000000;

	void SetUp() override
	{
		TempRootTest::SetUp();
		fWindowLog = std::make_shared<MessageLog>();
		fWindow = new LoggingLooper(fWindowLog, "install window");
		fWindow->Run();
	}

	void TearDown() override
	{
		// As the install window does: the worker closes its progress window.
		if (fWorker != nullptr) {
			BMessenger(fWorker).SendMessage(B_QUIT_REQUESTED);
			fWorker = nullptr;
		}
		if (fSpy != nullptr && fSpy->Lock())
			fSpy->Quit();
		if (fWindow->Lock())
			fWindow->Quit();
		delete fManager;
		fManager = nullptr;
		fPack.reset();
	}

	// Writes and opens the package, prepares the manager for `volume` with
	// the install folder `installFolder` (relative to the volume's root) and
	// starts the worker, as the install window does on "Begin".
	void Prepare(PackagePlan& plan, const char* installFolder = "apps",
		const char* volume = "/boot")
	{
		std::string path = fScratch.Path() + "/test.pkg";
		ASSERT_EQ(plan.Write(path), B_OK);
		entry_ref ref;
		ASSERT_EQ(get_ref_for_host_path(path.c_str(), &ref), B_OK);
		fPack = std::make_unique<InstallPack>(ref, false);
		ASSERT_NE(fPack->fEntry, nullptr);
		ASSERT_EQ(fPack->NewReadAttributes(&fAttrib), B_OK);
		fPack->ClearFile();
		// The install window's OR of the groups of items placed in the
		// install folder: every group, for these packages.
		fAttrib.fInstallFolderGroups = ~0u;

		// The worker makes the run's temporary folder once it holds the
		// volume's run lock.
		fManager = new DestManager(&fAttrib);
		fManager->SetTarget(nullptr, (char*)installFolder, device_of(volume), nullptr,
			false);
		fManager->fLogging = true;

		fWorker = new InstallLooper(fPack.get());
		fWorker->fWindowMessenger = BMessenger(fWindow);
		ASSERT_GE(fWorker->Run(), 0);
		fView = fPack->fStatusMessenger;
		fSpy = new ProgressSpy(fView);
		fSpy->Run();
		fPack->fStatusMessenger = BMessenger(fSpy);
	}

	// Posts the install message and waits for the worker's 'Done' to the
	// install window.
	BMessage RunInstall(uint32 groups = ~0u, int64 bytes = 0, int32 count = 0)
	{
		size_t before = fWindowLog->Count();
		PostInstall(groups, bytes, count);
		EXPECT_TRUE(fWindowLog->WaitForCount(before + 1, kRunWait));
		if (fWindowLog->Count() <= before)
			return BMessage();
		return fWindowLog->At(before);
	}

	void PostInstall(uint32 groups = ~0u, int64 bytes = 0, int32 count = 0)
	{
		BMessage install(kInstallMessage);
		install.AddPointer("archive item", nullptr);
		install.AddInt32("groups", (int32)groups);
		install.AddInt64("bytes", bytes);
		install.AddInt32("item count", count);
		install.AddPointer("destinations", fManager);
		fWorker->PostMessage(&install);
	}

	bool Exists(const std::string& relative) const
	{
		struct stat st;
		return lstat(fRoot.HostPath(relative).c_str(), &st) == 0;
	}

	std::string Log(const char* volume = "boot") const
	{
		return fRoot.ReadFile(std::string(volume) + "/Tool Install Log");
	}

	ScratchDir fScratch;
	PackAttrib fAttrib;
	std::unique_ptr<InstallPack> fPack;
	DestManager* fManager = nullptr;
	InstallLooper* fWorker = nullptr;
	ProgressSpy* fSpy = nullptr;
	BMessenger fView;
	std::shared_ptr<MessageLog> fWindowLog;
	LoggingLooper* fWindow = nullptr;
};

#endif // _TESTS_INSTALL_SCENARIO_H
