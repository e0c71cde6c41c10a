#include "GroupItem.h"

#include <cstdlib>
#include <cstring>

static char*
copy_text(const char* text)
{
	return text != NULL ? strdup(text) : NULL;
}


GroupItem::GroupItem(const char* name, const char* description,
	const char* helpText)
	:
	fName(copy_text(name)),
	fDescription(copy_text(description)),
	fHelpText(helpText != NULL && helpText[0] != '\0' ? strdup(helpText) : NULL)
{
}


GroupItem::~GroupItem()
{
	free(fName);
	free(fDescription);
	free(fHelpText);
}


void
GroupItem::SetName(const char* name)
{
	char* copy = copy_text(name);
	free(fName);
	fName = copy;
}
