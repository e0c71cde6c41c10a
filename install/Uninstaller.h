#ifndef _UNINSTALLER_H
#define _UNINSTALLER_H

// Removes an installed package: the items its receipt lists that are
// unchanged since the install, the last installed first, and the receipt.
// It is a run of its own on the package's volume, through the same
// machinery as an install: it takes the volume's run lock, moves what it
// removes into the run's temporary folder (and gives renamed originals
// their names back), and deletes it all once it reaches its end, so that an
// interrupted removal is put back like an interrupted install.
//
// Kept: items changed since the install and files patched in place of an
// original that is gone (unless forced), folders that still hold
// something, folders that were there before the install ("merged");
// entries the install kept in place of its items ("skipped") are not the
// package's and are left alone. When items of the package
// stay, so does its receipt, then naming only what stayed: a later removal
// (forced, or once a folder is empty) takes the rest, and never mistakes an
// original that got its name back for the package's item. Scripts the
// install ran are not undone.

#include "InstallReceipt.h"

#include <StorageDefs.h>
#include <SupportDefs.h>

#include <string>
#include <vector>

class BDirectory;
class DestManager;

class Uninstaller {
public:
	// The package `packageName`, whose receipt is the file `fileName` in
	// the receipt folder of `volume`.
	Uninstaller(dev_t volume, const std::string& fileName,
		const std::string& packageName);

	// Items changed since the install are removed too.
	void SetForce(bool force) { fForce = force; }

	// B_OK when the removal ran to its end (Kept() says what stayed);
	// B_BUSY while another run holds the volume; B_ENTRY_NOT_FOUND when the
	// receipt is gone or names another package; B_BAD_DATA when it is
	// damaged; B_CANCELED when an interrupt stopped it; B_NOT_ALLOWED when
	// an entry could not be moved aside (FailedItem()); another error when
	// it could not begin, or when the receipt could not be replaced by one
	// of the items that stay. Whenever it is not B_OK, everything is as it
	// was before.
	status_t Run();

	// What stayed, one line each: "PATH: why".
	const std::vector<std::string>& Kept() const { return fKept; }
	int32 RemovedCount() const { return fRemoved; }
	// The originals that got their names back, by their paths now.
	const std::vector<std::string>& Restored() const { return fRestored; }
	// Whether the receipt stayed (naming the items that stayed).
	bool ReceiptKept() const { return fReceiptKept; }
	// Whether items stayed that a forced removal would take: changed since
	// the install, or patched in place of their original.
	bool ChangedItemsKept() const { return fChangedKept; }
	// The receipt read by Run.
	const InstallReceipt& Receipt() const { return fReceipt; }
	// The platform path of the entry that could not be moved aside.
	const std::string& FailedItem() const { return fFailedItem; }

private:
	status_t _ReadReceipt(BDirectory* folder);
	void _RemoveItems(DestManager* manager);
	// False when the item is no longer there for a later removal.
	bool _RemoveItem(const ReceiptItem& item, DestManager* manager);
	// Moves the item aside; false, having noted it as the failed item,
	// when it could not be moved.
	bool _MoveAside(const ReceiptItem& item, DestManager* manager);
	// False, having noted why, when the original stays aside.
	bool _GiveNameBack(const ReceiptItem& item, bool placeFree,
		DestManager* manager);
	status_t _UpdateReceipt(BDirectory* folder, DestManager* manager);

	dev_t fVolume;
	std::string fFileName;
	std::string fPackageName;
	bool fForce;
	InstallReceipt fReceipt;
	// The receipt's items that are still there, in its order.
	std::vector<ReceiptItem> fStaying;
	std::vector<std::string> fKept;
	std::vector<std::string> fRestored;
	std::string fFailedItem;
	int32 fRemoved;
	bool fReceiptKept;
	bool fChangedKept;
	bool fCanceled;
};

#endif // _UNINSTALLER_H
