#include "InstalledCheck.h"

#include <Entry.h>
#include <File.h>
#include <Path.h>
#include <Sha256.h>
#include <SymLink.h>

#include <cstdio>
#include <sys/stat.h>

namespace {

// Longer link targets than the host keeps.
const size_t kLinkTargetSize = 4096;


const char*
KindName(receipt_kind kind)
{
	switch (kind) {
		case kReceiptFolder:
			return "folder";
		case kReceiptLink:
			return "link";
		default:
			return "file";
	}
}


// The kind of node there, as a receipt names it; false for a node of no
// such kind (a device, a pipe).
bool
KindOf(const struct stat& st, receipt_kind* kind)
{
	if (S_ISREG(st.st_mode))
		*kind = kReceiptFile;
	else if (S_ISDIR(st.st_mode))
		*kind = kReceiptFolder;
	else if (S_ISLNK(st.st_mode))
		*kind = kReceiptLink;
	else
		return false;
	return true;
}


std::string
ModeText(uint32 mode)
{
	char text[16];
	snprintf(text, sizeof(text), "%04o", (unsigned)mode);
	return text;
}


void
Note(ItemDifference* difference, uint32 what, const std::string& text)
{
	difference->fWhat |= what;
	if (!difference->fText.empty())
		difference->fText += ", ";
	difference->fText += text;
}


void
CheckContents(const ReceiptItem& item, BEntry* entry, const struct stat& st,
	ItemDifference* difference)
{
	if ((int64)st.st_size != item.fSize) {
		Note(difference, kItemContentsChanged, "contents changed (size "
			+ std::to_string((int64)st.st_size) + ", was " + std::to_string(item.fSize)
			+ ")");
		return;
	}
	BFile file(entry, B_READ_ONLY);
	std::string hex;
	if (file.InitCheck() != B_OK || sha256_of_file(&file, &hex) != B_OK)
		Note(difference, kItemContentsChanged, "contents cannot be read");
	else if (hex != item.fSha256)
		Note(difference, kItemContentsChanged, "contents changed");
}


void
CheckLinkTarget(const ReceiptItem& item, BEntry* entry, ItemDifference* difference)
{
	BSymLink link(entry);
	char target[kLinkTargetSize];
	if (link.ReadLink(target, sizeof(target)) < 0)
		Note(difference, kItemLinkTargetChanged, "link target cannot be read");
	else if (item.fLinkTarget != target) {
		Note(difference, kItemLinkTargetChanged, std::string("link target \"") + target
			+ "\" (was \"" + item.fLinkTarget + "\")");
	}
}

} // namespace


InstalledCheck::InstalledCheck(const InstallReceipt& receipt)
	:
	fReceipt(receipt)
{
}


void
InstalledCheck::Run()
{
	fDifferences.clear();
	for (const ReceiptItem& item : fReceipt.fItems) {
		if (!IsPackageItem(item))
			continue;
		ItemDifference difference = CheckItem(item);
		if (difference.fWhat != 0)
			fDifferences.push_back(difference);
	}
}


bool
InstalledCheck::IsPackageItem(const ReceiptItem& item)
{
	return item.fExisting != kExistingSkipped;
}


bool
InstalledCheck::IsAt(const BEntry& entry, const std::string& path)
{
	BPath found;
	return entry.GetPath(&found) == B_OK && found.Path() != NULL
		&& path == found.Path();
}


ItemDifference
InstalledCheck::CheckItem(const ReceiptItem& item)
{
	ItemDifference difference;
	difference.fPath = item.fPath;
	BEntry entry(item.fPath.c_str());
	struct stat st;
	if (entry.InitCheck() != B_OK || entry.GetStat(&st) != B_OK) {
		Note(&difference, kItemMissing, "missing");
		return difference;
	}
	if (!IsAt(entry, item.fPath)) {
		Note(&difference, kItemPlaceChanged, "reached through a link now");
		return difference;
	}
	receipt_kind kind = kReceiptFile;
	if (!KindOf(st, &kind) || kind != item.fKind) {
		Note(&difference, kItemKindChanged, std::string("no longer a ")
			+ KindName(item.fKind));
		return difference;
	}
	// A folder that was there before keeps whatever mode it had.
	if (item.fExisting == kExistingMerged)
		return difference;
	if (kind == kReceiptFile)
		CheckContents(item, &entry, st, &difference);
	else if (kind == kReceiptLink)
		CheckLinkTarget(item, &entry, &difference);
	// The host keeps no mode on a link.
	if (kind != kReceiptLink && (uint32)(st.st_mode & 07777) != item.fMode) {
		Note(&difference, kItemModeChanged, "mode " + ModeText(st.st_mode & 07777)
			+ " (was " + ModeText(item.fMode) + ")");
	}
	return difference;
}
