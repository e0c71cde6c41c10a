#ifndef _PACK_ATTRIB_H
#define _PACK_ATTRIB_H

// The package attributes: everything the installer shows or decides about
// the package as a whole. Texts are malloc'ed and freed with the record.
//
// Handing over: whoever takes a list or the agreement data (the destination
// manager, the agreement view) takes it with the Take... calls, which leave
// null behind; what is still held when the record is deleted is deleted with
// it.

#include "DestItem.h"
#include "PackageFormat.h"
#include "RList.h"

#include <SupportDefs.h>

class GroupList;

class PackAttrib {
public:
	PackAttrib();
	~PackAttrib();

	RList<DestItem*>* TakeDefaultDestList();
	RList<DestItem*>* TakeCustomDestList();
	char* TakeAgreementText();
	void* TakeAgreementStyles();

	// Texts are replaced (the old one freed) by a later value.
	void AdoptDescription(char* text);
	void AdoptHelpText(char* text);
	void AdoptPackageName(char* text);
	void AdoptText(char** field, char* text);
	void AdoptAgreement(char* text, uint32 length);
	void AdoptAgreementStyles(void* data, uint32 length);
	// Package flags (key 19): bit value 2 option flag 1, 4 option flag 2,
	// 8 the script-failure flag; other bits are ignored.
	void SetPackageFlags(uint32 flags);

	GroupList* fGroupList;
	RList<DestItem*>* fDefaultDestList;
	RList<DestItem*>* fCustomDestList;
	// The package's top folder is itself created and becomes the install
	// folder.
	bool fCreateTopFolder;
	// The install view offers the choice of an install folder.
	bool fFolderChoice;
	// Rows of the install window's entry table, which grows to hold every
	// installable item.
	int32 fEntryCapacity;
	uint32 fInstallFolderGroups;
	// Null when absent; zero-terminated past fAgreementLength.
	char* fAgreementText;
	uint32 fAgreementLength;
	void* fAgreementStyles;
	char* fDescription;
	char* fHelpText;
	// A script that exits with a non-zero status fails its item.
	bool fScriptFailure;
	char* fPackageName;
	char* fText14;
	char* fText15;
	char* fText17;
	int32 fValue16;
	bool fOptionFlag1;
	bool fOptionFlag2;
	// The byte count of fAgreementStyles.
	uint32 fAgreementStylesLength;

private:
	PackAttrib(const PackAttrib&) = delete;
	PackAttrib& operator=(const PackAttrib&) = delete;
};

// Keys of the attribute section.
enum {
	kAttrGroups = 1,
	kAttrGroupRows = 2,
	kAttrDefaultDests = 3,
	kAttrCustomDests = 4,
	kAttrDescription = 5,
	kAttrTopFolder = 6,
	kAttrAgreement = 7,
	kAttrHelpText = 10,
	kAttrFolderChoice = 12,
	kAttrPackageName = 13,
	kAttrText14 = 14,
	kAttrText15 = 15,
	kAttrValue16 = 16,
	kAttrText17 = 17,
	kAttrPackageFlags = 19,
	kAttrAgreementStyles = 21
};

// Package flag bits (key 19).
enum {
	kOptionFlag1Bit = 0x2,
	kOptionFlag2Bit = 0x4,
	kScriptFailureBit = 0x8
};

#endif // _PACK_ATTRIB_H
