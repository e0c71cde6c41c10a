#ifndef _INSTALLED_CHECK_H
#define _INSTALLED_CHECK_H

// Checks what a receipt says was installed against what is on disk now:
// every item the package installed is still there, of the same kind, with
// the same contents (SHA-256), mode and link target. The items whose
// existing entry the run kept ("skipped") are not the package's and are not
// checked; a folder that was there before ("merged") is checked only for
// being there.

#include "InstallReceipt.h"

#include <SupportDefs.h>

#include <string>
#include <vector>

class BEntry;
class BFile;
class Sha256Digest;

// What differs; any number of these.
enum {
	kItemMissing			= 0x01,
	kItemKindChanged		= 0x02,
	kItemContentsChanged	= 0x04,
	kItemModeChanged		= 0x08,
	kItemLinkTargetChanged	= 0x10,
	// The path leads elsewhere now: a folder on the way was replaced by a
	// link. What is there is not what the receipt names.
	kItemPlaceChanged		= 0x20
};

struct ItemDifference {
	std::string fPath;
	// kItem... bits; 0: as installed.
	uint32 fWhat = 0;
	// What differs, for a person: "contents changed", "mode 0600 (was
	// 0644)", ...
	std::string fText;
};

class InstalledCheck {
public:
	explicit InstalledCheck(const InstallReceipt& receipt);

	// Checks every item the package installed, in the receipt's order.
	void Run();
	// The items that differ.
	const std::vector<ItemDifference>& Differences() const { return fDifferences; }

	// How one item differs from what the receipt says of it.
	static ItemDifference CheckItem(const ReceiptItem& item);
	// Whether the item is the package's: false for an existing entry the
	// run kept instead of installing the item.
	static bool IsPackageItem(const ReceiptItem& item);
	// Whether `entry` is reached by `path` as it is written: no link on the
	// way to it.
	static bool IsAt(const BEntry& entry, const std::string& path);
	// What the entry is on the disk, as a receipt records it: kind, size,
	// mode, modification time, link target, and with `digest` a file's
	// SHA-256 (from `written` when that covers the whole file, otherwise
	// read). False when there is no entry, or one of no kind a receipt
	// knows (a device, a pipe).
	static bool Describe(BEntry* entry, bool digest, ReceiptItem* item,
		Sha256Digest* written = nullptr);
	// The same of a regular file held open, with its digest.
	static bool DescribeFile(BFile* file, ReceiptItem* item, Sha256Digest* written);

private:
	static bool _TakeWrittenDigest(Sha256Digest* written, ReceiptItem* item);

	const InstallReceipt& fReceipt;
	std::vector<ItemDifference> fDifferences;
};

#endif // _INSTALLED_CHECK_H
