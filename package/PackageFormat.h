#ifndef _PACKAGE_FORMAT_H
#define _PACKAGE_FORMAT_H

// The package format's constants, for whoever reads or writes a package:
// the magic, the record tags of the header, the catalog, the node data
// entries and the attribute section, the destination values and the
// replacement options of the catalog's items, and the size resource of a
// self-extracting installer. The reader and the package tool both use these;
// nobody spells a tag of the format anywhere else.

#include <SupportDefs.h>
#include <TypeConstants.h>

// The magic at the start of every package stream: "AlB", then the bytes a
// careless transfer damages.
extern const uint8 kPHeader[8];

// Record tags of the package header.
enum {
	kPackageHeaderTag = 'PhIn',
	kFormatVersionTag = 'FVer',
	kArchiveFlagsTag = 'AFla',
	kArchiveSizeTag = 'FSiz',
	kCatalogOffsetTag = 'COff',
	kAttributeOffsetTag = 'AOff'
};

// Item group tags, by kind.
enum {
	kFileItemTag = 'FilI',
	kFolderItemTag = 'FldI',
	kPatchItemTag = 'PtcI',
	kScriptItemTag = 'ScrI',
	kLinkItemTag = 'LnkI',
	kFolderDataTag = 'FDat'
};

// Field record tags.
enum {
	kNameField = 'Name',
	kOffsetField = 'OffT',
	kSizeField = 'OrgS',
	kDestField = 'Dest',
	kCustomField = 'Cust',
	kGroupsField = 'Grps',
	kReplaceField = 'Repl',
	kCreationTimeField = 'CTim',
	kModificationTimeField = 'MTim',
	kPlatformField = 'Plat',
	kModeField = 'Mode',
	kMimeField = 'Mime',
	kVersionField = 'VrsI',
	kLinkField = 'Link',
	kOldSizeField = 'OldS'
};

// Record tags of a node data entry.
enum {
	kFileEntryTag = 'FiDa',
	kFolderEntryTag = 'FoDa',
	kLinkEntryTag = 'LnDa',
	kMainForkTag = 'FiMF',
	kAttributesTag = 'FBeA',
	kAttributeTag = 'BeAI',
	kAttrNameTag = 'BeAN',
	kAttrTypeTag = 'BeAT',
	kAttrDataTag = 'BeAD',
	kAttrValue32Tag = 'Ad32'
};

// Record tags of the attribute section.
enum {
	kAttributeSectionTag = 'PkgA',
	kGroupTag = 'IGrp',
	kGroupNameTag = 'GrpN',
	kGroupDescriptionTag = 'GrpD',
	kGroupHelpTag = 'GrHt',
	kGroupRowTag = 'GrId',
	kDestPathGroupTag = 'DPat',
	kDestPathTag = 'PaNa',
	kDestDirectoryTag = 'FDst',
	kDestQueryGroupTag = 'DQue',
	kQueryNameTag = 'DQTi',
	kQuerySizeTag = 'DQSz',
	kQuerySignatureTag = 'DQMi'
};

// Destination indices with a meaning of their own; 0 and up index a
// destination list.
enum {
	kParentFolderDestination = -2,
	kInstallFolderDestination = -1
};

// fWhich of a path destination: no system folder.
const int32 kNoSystemDirectory = -1000;

// The platform bit of an item's platform mask that this installer serves.
const int32 kThisPlatformMask = 2;

// The catalog's replacement options: what to do with an existing entry of
// the item's name.
enum {
	kAskReplace = 0,
	kNeverReplace = 1,
	kRenameOld = 2,
	kReplaceUnlessNewerVersion = 3,
	kReplaceIfCreatedLater = 4,
	kReplaceIfModifiedLater = 5,
	kMergeFolderOrAsk = 6,
	kAlwaysReplace = 7,
	kAskIfNotOlderVersion = 8,
	kAskIfCreatedEarlier = 9,
	kAskIfModifiedEarlier = 10,
	kLastReplaceOption = kAskIfModifiedEarlier
};

// The size resource of a self-extracting installer.
const type_code kSizeResourceType = 'INsz';
const int32 kSizeResourceID = 0;

#endif // _PACKAGE_FORMAT_H
