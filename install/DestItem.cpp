#include "DestItem.h"

#include <Directory.h>

#include <cstdlib>
#include <cstring>

DestItem::DestItem(const char* path, int32 which)
	:
	fPath(strdup(path != nullptr ? path : "")),
	fWhich(which),
	fDir(nullptr)
{
}


DestItem::~DestItem()
{
	delete fDir;
	free(fPath);
}
