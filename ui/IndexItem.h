#ifndef _INDEX_ITEM_H
#define _INDEX_ITEM_H

// One row of the group list as shown: a group (by its index in the group
// list) or a separator row (-1).

#include "ListItem.h"

class IndexItem : public ListItem {
public:
	enum { kSeparator = -1 };

	explicit IndexItem(int32 group);
	~IndexItem() override;

	bool IsSeparator() const { return fGroup == kSeparator; }

	int32 fGroup;
};

#endif // _INDEX_ITEM_H
