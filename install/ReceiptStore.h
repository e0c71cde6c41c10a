#ifndef _RECEIPT_STORE_H
#define _RECEIPT_STORE_H

// The receipts of the installed packages: every record in the receipt
// folder of every mounted volume of the system root, the boot volume first
// and the records of a volume by file name.

#include "InstallReceipt.h"

#include <StorageDefs.h>
#include <SupportDefs.h>

#include <string>
#include <vector>

class BDirectory;

// A receipt and where it was found.
struct StoredReceipt {
	InstallReceipt fReceipt;
	dev_t fVolume = -1;
	std::string fVolumeName;
	// Its file's name in the volume's receipt folder.
	std::string fFileName;
};

class ReceiptStore {
public:
	ReceiptStore();

	// Reads the records of every mounted volume. A file there that is not a
	// record (damaged, or no regular file) is passed over and noted.
	void Load();

	const std::vector<StoredReceipt>& Receipts() const { return fReceipts; }
	// The platform paths of the files passed over, with why.
	const std::vector<std::string>& Unreadable() const { return fUnreadable; }

	// The receipts of the package called `name`, on the volume called
	// `volumeName` or, when it is empty, on any.
	std::vector<StoredReceipt> Find(const std::string& name,
		const std::string& volumeName = std::string()) const;

	// Opens the receipt folder of a volume (it is not made).
	static status_t OpenFolder(dev_t volume, BDirectory* folder);

private:
	void _LoadVolume(dev_t volume, const std::string& volumeName);

	std::vector<StoredReceipt> fReceipts;
	std::vector<std::string> fUnreadable;
};

#endif // _RECEIPT_STORE_H
