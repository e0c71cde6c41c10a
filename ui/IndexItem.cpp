#include "IndexItem.h"

IndexItem::IndexItem(int32 group)
	:
	fGroup(group)
{
}


IndexItem::~IndexItem()
{
}
