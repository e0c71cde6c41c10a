#ifndef _INSTALL_RECEIPT_H
#define _INSTALL_RECEIPT_H

// The record a completed run leaves on its target volume of what it
// installed: the package, when and by what, where, the groups, every item
// with what it is on disk (kind, size, SHA-256, mode, modification time,
// link target) and what the run did to an existing entry of its name, and
// the scripts that ran. Later runs of the installer list installed packages
// from these records, check the items against them and remove them.
//
// The one reader and writer of the record's form, JSON:
//   { "format": 1,
//     "package": { "name", "description", "signer" (null when unsigned),
//                  "digest" (null when not known) },
//     "installed": "2026-12-09T10:55:00Z", "installer": "kestrovan-installer 1.0",
//     "volume": "boot", "install_folder": "/boot/apps/Tool" (or null),
//     "groups": [ "Core", ... ],
//     "items": [ { "path": "/boot/apps/Tool/tool", "kind": "file|folder|link",
//                  "size", "sha256" (files), "mode", "modified" (seconds),
//                  "link_target" (links),
//                  "existing": "none|replaced|renamed|merged|skipped|patched",
//                  "renamed_to" (renamed: the path the existing entry has now),
//                  "original" (patched: the path of the file patched) }, ... ],
//     "scripts": [ { "name", "folder" }, ... ] }
// Paths are platform paths ("/boot/..."). Items are in the order the run
// installed them: a folder comes before what it holds. "mode" is the
// permission bits (07777) the item has on disk; "renamed_to" is in the
// item's own folder.

#include <SupportDefs.h>

#include <string>
#include <vector>

class BDirectory;

// What the run did to an entry that was already there under the item's
// name.
enum receipt_existing {
	kExistingNone,		// nothing was there
	kExistingReplaced,	// it was replaced (and deleted once the run ended)
	kExistingRenamed,	// it was renamed aside, to `fRenamedTo`
	kExistingMerged,	// a folder the item's contents went into
	kExistingSkipped,	// it was kept and the item not installed
	kExistingPatched	// the item is a patched copy of `fOriginal`
};

enum receipt_kind {
	kReceiptFile,
	kReceiptFolder,
	kReceiptLink
};

struct ReceiptItem {
	std::string fPath;
	receipt_kind fKind = kReceiptFile;
	int64 fSize = 0;
	// Lower-case hex; files only, and empty for an entry kept in place of
	// the item ("skipped").
	std::string fSha256;
	uint32 fMode = 0;
	int64 fModified = 0;
	std::string fLinkTarget;
	receipt_existing fExisting = kExistingNone;
	std::string fRenamedTo;
	std::string fOriginal;
};

struct ReceiptScript {
	std::string fName;
	std::string fFolder;
};

class InstallReceipt {
public:
	InstallReceipt();

	// The JSON text of the record.
	std::string ToJson() const;
	// Reads a record written by ToJson; B_BAD_DATA (with nothing
	// changed) for text that is not one: a member missing or of the wrong
	// type, a path that is not an absolute platform path of a name on a
	// volume (or has "." or ".." in it), an unknown kind or rule. A damaged
	// record never names a place it did not name when it was written.
	status_t FromJson(const std::string& text);

	// Writes the record as `name` in `folder` atomically: into a new file
	// beside it, flushed to disk, then renamed over the old record.
	status_t WriteTo(BDirectory* folder, const char* name) const;
	// Reads the record `name` in `folder`.
	status_t ReadFrom(BDirectory* folder, const char* name);

	// The record's file name for a package name: the name with "/" made
	// "-", ".json" added ("package.json" for an empty name).
	static std::string FileNameFor(const std::string& packageName);
	// A time as the record writes it: ISO 8601 UTC, "2026-12-09T10:55:00Z".
	static std::string TimeText(int64 seconds);

	std::string fPackageName;
	std::string fDescription;
	// Empty: not signed.
	std::string fSigner;
	// The BLAKE2b-512 digest of the package stream (hexadecimal): the same
	// package installed again has the same one. Empty in older receipts.
	std::string fDigest;
	// Seconds since the epoch.
	int64 fInstalledAt;
	std::string fInstaller;
	std::string fVolume;
	// Empty: the package has no install folder.
	std::string fInstallFolder;
	std::vector<std::string> fGroups;
	std::vector<ReceiptItem> fItems;
	std::vector<ReceiptScript> fScripts;
};

// Where receipts are kept on a volume, from its root.
extern const char* const kReceiptFolderPath;

#endif // _INSTALL_RECEIPT_H
