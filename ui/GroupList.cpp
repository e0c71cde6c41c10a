#include "GroupList.h"

#include "DoError.h"

GroupList::GroupList()
	:
	BLocker("group list")
{
	Lock();
	fGroups = new RList<GroupItem*>(20);
	fViewIndex = new RList<int32*>(20);
	fRows = new RList<IndexItem*>(20);
	Unlock();
}


GroupList::~GroupList()
{
	Lock();
	fGroups->MakeEmptyAndDelete();
	delete fGroups;
	fRows->MakeEmptyAndDelete();
	delete fRows;
	fViewIndex->MakeEmptyAndDelete();
	delete fViewIndex;
	Unlock();
}


bool
GroupList::AddGroup(const char* name)
{
	Lock();
	if (CountGroups() >= kMaxGroups) {
		Unlock();
		doError("Sorry, no more groups can be added. There is a limit of 32 "
			"groups per package.");
		return false;
	}
	int32 group = CountGroups();
	fGroups->AddItem(new GroupItem(name));
	fRows->AddItem(new IndexItem(group));
	fViewIndex->AddItem(new int32(CountRows() - 1));
	Unlock();
	return true;
}


void
GroupList::AddSeparator()
{
	Lock();
	fRows->AddItem(new IndexItem(IndexItem::kSeparator));
	Unlock();
}


void
GroupList::SetName(int32 row, const char* name)
{
	Lock();
	IndexItem* item = RowAt(row);
	if (item != NULL && !item->IsSeparator()) {
		GroupItem* group = GroupAt(item->fGroup);
		if (group != NULL)
			group->SetName(name);
	}
	Unlock();
}


int32
GroupList::ViewIndexFor(int32 group) const
{
	int32* index = fViewIndex->ItemAt(group);
	return index != NULL ? *index : -1;
}


void
GroupList::DeSelectAll()
{
	for (int32 row = 0; row < CountRows(); row++)
		RowAt(row)->fSelected = false;
}


void
GroupList::AppendGroup(GroupItem* group)
{
	fGroups->AddItem(group);
	fViewIndex->AddItem(new int32(0));
}


void
GroupList::AppendRow(IndexItem* row)
{
	fRows->AddItem(row);
}


bool
GroupList::SetViewIndex(int32 group, int32 index)
{
	int32* entry = fViewIndex->ItemAt(group);
	if (entry == NULL)
		return false;
	*entry = index;
	return true;
}


void
GroupList::RebuildViewIndex()
{
	int32 groupRows = 0;
	for (int32 row = 0; row < CountRows(); row++) {
		IndexItem* item = RowAt(row);
		if (item->IsSeparator())
			continue;
		SetViewIndex(item->fGroup, groupRows);
		groupRows++;
	}
}


uint32
GroupList::GroupMaskFor(int32 group)
{
	if (group < 0 || group >= kMaxGroups)
		return 0;
	return (uint32)1 << group;
}
