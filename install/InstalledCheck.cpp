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
CheckContents(const ReceiptItem& item, BEntry* entry, const ReceiptItem& found,
	ItemDifference* difference)
{
	if (found.fSize != item.fSize) {
		Note(difference, kItemContentsChanged, "contents changed (size "
			+ std::to_string(found.fSize) + ", was " + std::to_string(item.fSize) + ")");
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
CheckLinkTarget(const ReceiptItem& item, const ReceiptItem& found, ItemDifference* difference)
{
	if (found.fLinkTarget != item.fLinkTarget) {
		Note(difference, kItemLinkTargetChanged, "link target \"" + found.fLinkTarget
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
	return entry.GetPath(&found) == B_OK && found.Path() != nullptr
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
	// The digest is read only where the size already matches.
	ReceiptItem found;
	if (!Describe(&entry, false, &found) || found.fKind != item.fKind) {
		Note(&difference, kItemKindChanged, std::string("no longer a ")
			+ KindName(item.fKind));
		return difference;
	}
	// A folder that was there before keeps whatever mode it had.
	if (item.fExisting == kExistingMerged)
		return difference;
	if (found.fKind == kReceiptFile)
		CheckContents(item, &entry, found, &difference);
	else if (found.fKind == kReceiptLink)
		CheckLinkTarget(item, found, &difference);
	// The host keeps no mode on a link.
	if (found.fKind != kReceiptLink && found.fMode != item.fMode) {
		Note(&difference, kItemModeChanged, "mode " + ModeText(found.fMode)
			+ " (was " + ModeText(item.fMode) + ")");
	}
	return difference;
}


bool
InstalledCheck::Describe(BEntry* entry, bool digest, ReceiptItem* item,
	Sha256Digest* written)
{
	struct stat st;
	if (entry->GetStat(&st) != B_OK)
		return false;
	item->fMode = st.st_mode & 07777;
	item->fModified = st.st_mtime;
	if (S_ISDIR(st.st_mode)) {
		item->fKind = kReceiptFolder;
		return true;
	}
	if (S_ISLNK(st.st_mode)) {
		item->fKind = kReceiptLink;
		BSymLink link(entry);
		char target[kLinkTargetSize];
		ssize_t length = link.ReadLink(target, sizeof(target));
		if (length >= 0)
			item->fLinkTarget.assign(target, (size_t)length);
		return true;
	}
	if (!S_ISREG(st.st_mode))
		return false;
	item->fKind = kReceiptFile;
	item->fSize = st.st_size;
	if (!digest || _TakeWrittenDigest(written, item))
		return true;
	BFile file(entry, B_READ_ONLY);
	if (file.InitCheck() == B_OK)
		sha256_of_file(&file, &item->fSha256);
	return true;
}


bool
InstalledCheck::DescribeFile(BFile* file, ReceiptItem* item, Sha256Digest* written)
{
	struct stat st;
	if (file->GetStat(&st) != B_OK || !S_ISREG(st.st_mode))
		return false;
	item->fMode = st.st_mode & 07777;
	item->fModified = st.st_mtime;
	item->fKind = kReceiptFile;
	item->fSize = st.st_size;
	if (!_TakeWrittenDigest(written, item))
		sha256_of_file(file, &item->fSha256);
	return true;
}


// The digest taken as the file was written, when it covers the whole file
// (of the item's size): nothing is read again.
bool
InstalledCheck::_TakeWrittenDigest(Sha256Digest* written, ReceiptItem* item)
{
	if (written == nullptr || !written->Covers(item->fSize))
		return false;
	item->fSha256 = written->HexDigest();
	return true;
}
