#ifndef _STRING_ITEM_H
#define _STRING_ITEM_H

// A list row that carries one text, its own copy (the lists of this
// installer hold full paths in them).

#include "ListItem.h"

class StringItem : public ListItem {
public:
	StringItem(const char* text);
	~StringItem() override;

	char* fText;
};

#endif // _STRING_ITEM_H
