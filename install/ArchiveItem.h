#ifndef _ARCHIVE_ITEM_H
#define _ARCHIVE_ITEM_H

// One entry of the package catalog: a folder, file, symbolic link, install
// script or binary patch. The catalog fills the fields from the package;
// during an install run each selected item installs itself (ExtractItem).

#include "ListItem.h"
#include "PackageFormat.h"

#include <sys/types.h>

class BDirectory;
class BEntry;
class BStatable;
class DestManager;
class InstallPack;

// Item kinds as the catalog numbers them.
enum {
	kFileItemKind = 1,
	kFolderItemKind = 2,
	kPatchItemKind = 3,
	kScriptItemKind = 4,
	kLinkItemKind = 5
};

// The replacement option of an item that only updates: it is installed
// only where an entry of its name exists.
const int32 kUpdateOnlyOption = 7;

// The words of the continue-or-cancel questions items ask.
extern const char* const kNoDestinationText;
extern const char* const kFileNotCreatedText;
extern const char* const kDecompressFailedText;
extern const char* const kLinkNotCreatedText;

// What an item does with an existing entry of its name, by its replacement
// option and the entry alone (its version and times), before anybody is
// asked: deciding changes nothing, so that a plan decides as a run does.
enum existing_action {
	kKeepExistingAction,		// the item is not installed
	kReplaceExistingAction,
	kRenameExistingAction,
	kAskAboutExisting,			// the replace dialog asks
	kMergeIntoExisting,			// a folder's contents go into the existing one
	kUnknownOptionAction		// no option the item can have: not installed
};

struct existing_decision {
	existing_action fAction;
	// How the replace dialog puts its question (kPlainReplaceKind ...).
	uint8 fKind;
};

class ArchiveItem : public ListItem {
public:
	ArchiveItem();
	~ArchiveItem() override;

	// Installs the item below `parent` (or where its destination says) when
	// it belongs to one of `groups`. 0 when installed or passed over,
	// B_CANCELED when the user cancelled, another negative status when the
	// install pass has to end.
	virtual status_t ExtractItem(InstallPack* pack, BDirectory* parent,
		DestManager* manager, uint32 groups, bool skip) = 0;
	// Decides what happens to an existing entry of the item's name; true
	// when the item is to be written.
	virtual bool HandleExisting(BDirectory* dir, BEntry* existing, bool& skip,
		DestManager* manager, status_t* result);
	virtual existing_decision DecideExisting(const BEntry* existing) const;
	// The action the replace dialog's answer `choice` leads to; B_CANCELED
	// ends the run (kKeepExistingAction then).
	static existing_action ActionForChoice(int32 choice);
	virtual bool IsFolder() const = 0;
	// Back to the defaults a catalog record starts from. The name is left
	// as it is: the catalog replaces it.
	virtual void Unset();

	// The item takes part in a run of these groups on this platform.
	bool IsSelected(uint32 groups, DestManager* manager) const;

	// The item's modification and creation times on the entry (on a link,
	// the link's own).
	void SetTimes(BStatable* node);
	// The item's permission bits for a new entry: only plain permission
	// bits from the package (never set-user-id, set-group-id or sticky),
	// less the file-creation mask, but with the execute bits the package
	// gives.
	mode_t InstalledPermissions() const;

	// Takes a malloc'ed text as the name (the previous one is freed).
	void AdoptName(char* name);
	const char* Name() const { return fName; }

	uint32 fGroups;
	int32 fDestIndex;
	bool fCustom;
	int32 fReplaceOption;
	int64 fSize;
	int32 fCreationTime;
	int32 fModificationTime;
	int32 fPlatform;
	int64 fOffset;
	int32 fMode;
	char* fName;
	// major, middle, minor, variety, internal
	int32 fVersion[5];

protected:
	ArchiveItem(const ArchiveItem& other);

private:
	ArchiveItem& operator=(const ArchiveItem&) = delete;

	void _NoteKept(BDirectory* dir, bool skip, status_t* result, DestManager* manager);
};

#endif // _ARCHIVE_ITEM_H
