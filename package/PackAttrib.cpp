#include "PackAttrib.h"

#include "GroupList.h"

#include <cstdlib>

static void
delete_dest_list(RList<DestItem*>* list)
{
	if (list == NULL)
		return;
	list->MakeEmptyAndDelete();
	delete list;
}


PackAttrib::PackAttrib()
	:
	fGroupList(new GroupList()),
	fDefaultDestList(new RList<DestItem*>(20)),
	fCustomDestList(new RList<DestItem*>(20)),
	fCreateTopFolder(true),
	fFolderChoice(true),
	fEntryCapacity(0),
	fInstallFolderGroups(0),
	fAgreementText(NULL),
	fAgreementLength(0),
	fAgreementStyles(NULL),
	fDescription(NULL),
	fHelpText(NULL),
	fScriptFailure(false),
	fPackageName(NULL),
	fText14(NULL),
	fText15(NULL),
	fText17(NULL),
	fValue16(0),
	fOptionFlag1(false),
	fOptionFlag2(false),
	fAgreementStylesLength(0)
{
}


PackAttrib::~PackAttrib()
{
	delete fGroupList;
	delete_dest_list(fDefaultDestList);
	delete_dest_list(fCustomDestList);
	free(fAgreementText);
	free(fAgreementStyles);
	free(fDescription);
	free(fHelpText);
	free(fPackageName);
	free(fText14);
	free(fText15);
	free(fText17);
}


RList<DestItem*>*
PackAttrib::TakeDefaultDestList()
{
	RList<DestItem*>* list = fDefaultDestList;
	fDefaultDestList = NULL;
	return list;
}


RList<DestItem*>*
PackAttrib::TakeCustomDestList()
{
	RList<DestItem*>* list = fCustomDestList;
	fCustomDestList = NULL;
	return list;
}


char*
PackAttrib::TakeAgreementText()
{
	char* text = fAgreementText;
	fAgreementText = NULL;
	return text;
}


void*
PackAttrib::TakeAgreementStyles()
{
	void* styles = fAgreementStyles;
	fAgreementStyles = NULL;
	return styles;
}


void
PackAttrib::AdoptDescription(char* text)
{
	AdoptText(&fDescription, text);
}


void
PackAttrib::AdoptHelpText(char* text)
{
	AdoptText(&fHelpText, text);
}


void
PackAttrib::AdoptPackageName(char* text)
{
	AdoptText(&fPackageName, text);
}


void
PackAttrib::AdoptText(char** field, char* text)
{
	free(*field);
	*field = text;
}


void
PackAttrib::AdoptAgreement(char* text, uint32 length)
{
	free(fAgreementText);
	fAgreementText = text;
	fAgreementLength = text != NULL ? length : 0;
}


void
PackAttrib::AdoptAgreementStyles(void* data, uint32 length)
{
	free(fAgreementStyles);
	fAgreementStyles = data;
	fAgreementStylesLength = data != NULL ? length : 0;
}


void
PackAttrib::SetPackageFlags(uint32 flags)
{
	fOptionFlag1 = (flags & kOptionFlag1Bit) != 0;
	fOptionFlag2 = (flags & kOptionFlag2Bit) != 0;
	fScriptFailure = (flags & kScriptFailureBit) != 0;
}
