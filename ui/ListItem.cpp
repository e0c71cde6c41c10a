#include "ListItem.h"

ListItem::ListItem()
	:
	fSelected(false)
{
}


ListItem::~ListItem()
{
}
