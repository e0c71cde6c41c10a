#include "StringItem.h"

#include <cstdlib>
#include <cstring>

StringItem::StringItem(const char* text)
	:
	fText(strdup(text != NULL ? text : ""))
{
}


StringItem::~StringItem()
{
	free(fText);
}
