#include "DestItem.h"

#include <Directory.h>

#include <cstdlib>
#include <cstring>

DestItem::DestItem(const char* path, int32 which)
	:
	fPath(strdup(path != NULL ? path : "")),
	fWhich(which),
	fDir(NULL)
{
}


DestItem::~DestItem()
{
	delete fDir;
	free(fPath);
}
