#ifndef _TESTS_RECEIPT_BUILDER_H
#define _TESTS_RECEIPT_BUILDER_H

// Receipts written by hand, as a completed run would leave them: each item
// recorded from what is on disk (kind, size, SHA-256, mode, modification
// time, link target), then the record written to its volume's receipt
// folder. Needs the system root chosen.
//
//   ReceiptBuilder receipt("Tool", "boot");
//   receipt.Add("/boot/apps/Tool");
//   receipt.Add("/boot/apps/Tool/tool.cfg", kExistingRenamed, "/boot/apps/Tool/tool.cfg.old");
//   ASSERT_EQ(receipt.Write(), B_OK);

#include "CreatePath.h"
#include "InstallReceipt.h"

#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Sha256.h>
#include <SymLink.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

class ReceiptBuilder {
public:
	ReceiptBuilder(const std::string& packageName, const std::string& volume)
	{
		fReceipt.fPackageName = packageName;
		fReceipt.fDescription = "A tool";
		fReceipt.fInstalledAt = 1796813700;
		fReceipt.fInstaller = "kestrovan-installer 1.0";
		fReceipt.fVolume = volume;
		fReceipt.fGroups = { "All" };
	}

	// Records the entry at `path` as it is now.
	ReceiptItem& Add(const std::string& path, receipt_existing existing = kExistingNone,
		const std::string& other = std::string())
	{
		ReceiptItem item;
		item.fPath = path;
		item.fExisting = existing;
		if (existing == kExistingRenamed)
			item.fRenamedTo = other;
		else if (existing == kExistingPatched)
			item.fOriginal = other;
		BEntry entry(path.c_str());
		struct stat st = {};
		EXPECT_EQ(entry.GetStat(&st), B_OK) << path;
		item.fMode = st.st_mode & 07777;
		item.fModified = st.st_mtime;
		if (S_ISDIR(st.st_mode))
			item.fKind = kReceiptFolder;
		else if (S_ISLNK(st.st_mode)) {
			item.fKind = kReceiptLink;
			char target[1024] = "";
			BSymLink(&entry).ReadLink(target, sizeof(target));
			item.fLinkTarget = target;
		} else {
			item.fKind = kReceiptFile;
			item.fSize = st.st_size;
			BFile file(&entry, B_READ_ONLY);
			EXPECT_EQ(sha256_of_file(&file, &item.fSha256), B_OK) << path;
		}
		fReceipt.fItems.push_back(item);
		return fReceipt.fItems.back();
	}

	// Writes the record where the installer keeps it.
	status_t Write() const
	{
		BDirectory root(("/" + fReceipt.fVolume).c_str());
		BEntry folderEntry;
		status_t status = CreatePathAt(&root, kReceiptFolderPath, &folderEntry);
		BDirectory folder(&folderEntry);
		if (status == B_OK)
			status = folder.InitCheck();
		if (status == B_OK)
			status = fReceipt.WriteTo(&folder, FileName().c_str());
		return status;
	}

	std::string FileName() const
	{
		return InstallReceipt::FileNameFor(fReceipt.fPackageName);
	}

	// The receipt's platform path.
	std::string Path() const
	{
		return "/" + fReceipt.fVolume + "/" + kReceiptFolderPath + "/" + FileName();
	}

	InstallReceipt fReceipt;
};

#endif // _TESTS_RECEIPT_BUILDER_H
