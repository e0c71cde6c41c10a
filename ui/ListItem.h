#ifndef _LIST_ITEM_H
#define _LIST_ITEM_H

// One row of the installer's list widget: whatever a list shows derives from
// it. The selection flag is the only per-row selection state; the list view
// reads and writes it directly.

#include <SupportDefs.h>

class ListItem {
public:
	ListItem();
	virtual ~ListItem();

	bool fSelected;
};

#endif // _LIST_ITEM_H
