#ifndef _I_GROUPS_LIST_VIEW_H
#define _I_GROUPS_LIST_VIEW_H

// The list of a package's groups in the install view: group rows and
// separator rows, several rows selectable at once. Every change of the
// selection becomes a kGroupsSelected message to the target:
//
//   "groups"       int32    the mask of every group row between the first
//                           and the last selected row (0: nothing selected)
//   "name"         string   the group's name when exactly one group row is
//                           selected, else "" (absent for a lone separator)
//   "description"  string   likewise the group's description
//   "helptext"     pointer  only for one group row: its help text (may be
//                           null)

#include "SimpleListView.h"

class BHandler;
class GroupList;

const char* const kGroupListName = "grouplisting";

class IGroupsListView : public SimpleListView {
public:
	enum { kGroupsSelected = 'ISel' };

	IGroupsListView(BRect frame, GroupList* groups, BHandler* target);
	~IGroupsListView() override;

	void AttachedToWindow() override;
	void SelectionSet() override;
	void Invoke(int32 index) override;
	void DrawItem(BRect updateRect, int32 index, BRect* itemFrame) override;
	bool IsItemDisabled(int32 index) override;

	// The first row that shows the group named name; -1 when none does.
	// For whoever drives the list from outside (tests, unattended runs).
	int32 RowOfGroup(const char* name) const;

private:
	uint32 _MaskOfRows(int32 first, int32 last) const;

	GroupList* fGroupList;
	BHandler* fTarget;
};

#endif // _I_GROUPS_LIST_VIEW_H
