#ifndef _GROUP_LIST_H
#define _GROUP_LIST_H

// The groups of a package and the rows that show them. The package reader
// fills the lists directly; the install window and view only read them.
// GroupList is its own lock for its editing operations.
//
// Group mask: bit n stands for the group at index n, so a mask reaches 32
// groups. The package reader adds every group a package carries, even past
// 32; such groups have no bit (GroupMaskFor gives 0) and can never be
// selected for installing.

#include "GroupItem.h"
#include "IndexItem.h"
#include "RList.h"

#include <Locker.h>

class GroupList : public BLocker {
public:
	enum { kMaxGroups = 32 };

	GroupList();
	~GroupList() override;

	// With fewer than 32 groups: a new group named `name` (a copy), a row
	// showing it, and its view index; true. Otherwise the limit alert, no
	// change, false.
	bool AddGroup(const char* name);
	void AddSeparator();
	// Renames the group that `row` shows; separator rows are left alone.
	void SetName(int32 row, const char* name);
	// The group's position among the groups as displayed; -1 for no such
	// group.
	int32 ViewIndexFor(int32 group) const;
	void DeSelectAll();

	// The package reader's way in: no 32-group limit, view index 0.
	void AppendGroup(GroupItem* group);
	void AppendRow(IndexItem* row);
	// Sets a group's view index; false when there is no such group.
	bool SetViewIndex(int32 group, int32 index);
	// Recomputes every group's view index from the rows: a group shown by
	// a row gets the number of group rows above that row.
	void RebuildViewIndex();

	int32 CountGroups() const { return fGroups->CountItems(); }
	GroupItem* GroupAt(int32 group) const { return fGroups->ItemAt(group); }
	int32 CountRows() const { return fRows->CountItems(); }
	IndexItem* RowAt(int32 row) const { return fRows->ItemAt(row); }

	// 1 << group for groups 0 to 31; 0 for any other index.
	static uint32 GroupMaskFor(int32 group);

	RList<GroupItem*>* fGroups;
	RList<int32*>* fViewIndex;
	RList<IndexItem*>* fRows;

private:
	GroupList(const GroupList&) = delete;
	GroupList& operator=(const GroupList&) = delete;
};

#endif // _GROUP_LIST_H
