#include "IGroupsListView.h"

#include "GroupList.h"

#include <Handler.h>
#include <Looper.h>
#include <Message.h>

#include <cstring>
#include <vector>

namespace {

const float kRowHeight = 14;
const float kNameIndent = 10;
const rgb_color kSeparatorColour = {200, 128, 128, 255};
const rgb_color kBlack = {0, 0, 0, 255};

} // namespace


IGroupsListView::IGroupsListView(BRect frame, GroupList* groups, BHandler* target)
	:
	SimpleListView(frame, kGroupListName, B_FOLLOW_ALL,
		B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE),
	fGroupList(groups),
	fTarget(target)
{
	fList = groups != NULL ? groups->fRows : NULL;
	SetMultipleSelect(true);
	SetDragReorder(false);
}


IGroupsListView::~IGroupsListView()
{
	// The rows belong to the group list.
	fList = NULL;
}


void
IGroupsListView::AttachedToWindow()
{
	SimpleListView::AttachedToWindow();
	SetFont(be_plain_font, B_FONT_ALL);
	SetItemHeight(kRowHeight);
	FixupScrollBar();
}


bool
IGroupsListView::IsItemDisabled(int32 index)
{
	IndexItem* row = fGroupList != NULL ? fGroupList->RowAt(index) : NULL;
	return row != NULL && row->IsSeparator();
}


void
IGroupsListView::Invoke(int32)
{
	// A double click or Enter means nothing in this list.
}


void
IGroupsListView::DrawItem(BRect, int32 index, BRect* itemFrame)
{
	IndexItem* row = fGroupList != NULL ? fGroupList->RowAt(index) : NULL;
	if (row == NULL)
		return;
	BRect frame = itemFrame != NULL ? *itemFrame : ItemFrame(index);
	FillRect(frame, B_SOLID_LOW);

	if (row->IsSeparator()) {
		float y = frame.bottom - fItemHeight * 0.5f;
		SetHighColor(kSeparatorColour);
		SetPenSize(2);
		StrokeLine(BPoint(frame.left, y), BPoint(frame.right, y));
		SetHighColor(kBlack);
		return;
	}

	GroupItem* group = fGroupList->GroupAt(row->fGroup);
	if (group != NULL && group->Name() != NULL) {
		// A name wider than the list ends with an ellipsis (rows reach
		// past the list's edge).
		const char* names[1] = {group->Name()};
		std::vector<char> buffer(strlen(group->Name()) + 3);
		char* shown[1] = {buffer.data()};
		BFont font;
		GetFont(&font);
		font.GetTruncatedStrings(names, 1, B_TRUNCATE_END,
			Bounds().right - kNameIndent - kNameIndent / 2, shown);
		MovePenTo(kNameIndent, frame.bottom - fBaselineOffset);
		DrawString(shown[0]);
	}
	if (row->fSelected)
		InvertRect(frame);
}


void
IGroupsListView::SelectionSet()
{
	BMessage message(kGroupsSelected);
	if (fFirstSelected < 0) {
		message.AddString("name", "");
		message.AddString("description", "");
		message.AddInt32("groups", 0);
	} else {
		if (fFirstSelected == fLastSelected) {
			IndexItem* row = fGroupList->RowAt(fFirstSelected);
			GroupItem* group = row != NULL && !row->IsSeparator()
				? fGroupList->GroupAt(row->fGroup) : NULL;
			if (group != NULL) {
				message.AddString("name", group->Name() != NULL ? group->Name() : "");
				message.AddString("description",
					group->Description() != NULL ? group->Description() : "");
				message.AddPointer("helptext", group->HelpText());
			}
		} else {
			message.AddString("name", "");
			message.AddString("description", "");
		}
		message.AddInt32("groups", (int32)_MaskOfRows(fFirstSelected, fLastSelected));
	}

	BLooper* looper = fTarget != NULL ? fTarget->Looper() : NULL;
	if (looper != NULL)
		looper->PostMessage(&message, fTarget);
}


int32
IGroupsListView::RowOfGroup(const char* name) const
{
	if (fGroupList == NULL || name == NULL)
		return -1;
	for (int32 index = 0; index < fGroupList->CountRows(); index++) {
		IndexItem* row = fGroupList->RowAt(index);
		GroupItem* group = row->IsSeparator() ? NULL : fGroupList->GroupAt(row->fGroup);
		if (group != NULL && group->Name() != NULL && strcmp(group->Name(), name) == 0)
			return index;
	}
	return -1;
}


// Every group row in the range counts, selected or not: the selection is
// taken as the run from its first to its last row.
uint32
IGroupsListView::_MaskOfRows(int32 first, int32 last) const
{
	uint32 mask = 0;
	for (int32 index = first; index <= last; index++) {
		IndexItem* row = fGroupList->RowAt(index);
		if (row != NULL && !row->IsSeparator())
			mask |= GroupList::GroupMaskFor(row->fGroup);
	}
	return mask;
}
