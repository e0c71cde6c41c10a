#ifndef _GROUP_ITEM_H
#define _GROUP_ITEM_H

// One group of a package: the user installs groups of items. The texts are
// the item's own copies (malloc'ed) and released with it.

#include <SupportDefs.h>

class GroupItem {
public:
	// Copies the texts; a null or empty help text is kept as null (the
	// package gives no help for the group).
	GroupItem(const char* name, const char* description = NULL,
		const char* helpText = NULL);
	virtual ~GroupItem();

	const char* Name() const { return fName; }
	const char* Description() const { return fDescription; }
	const char* HelpText() const { return fHelpText; }

	void SetName(const char* name);

	char* fName;
	char* fDescription;
	char* fHelpText;

private:
	GroupItem(const GroupItem&) = delete;
	GroupItem& operator=(const GroupItem&) = delete;
};

#endif // _GROUP_ITEM_H
