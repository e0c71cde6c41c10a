#include <FilePanelList.h>

#include <InterfaceDefs.h>
#include <Message.h>
#include <ScrollBar.h>
#include <Window.h>

#include <algorithm>
#include <cstring>

namespace BPrivate {

namespace {

const rgb_color kListBackground = {255, 255, 255, 255};
const rgb_color kSelectedBackground = {182, 202, 232, 255};
const rgb_color kTextColor = {0, 0, 0, 255};
const rgb_color kDisabledTextColor = {150, 150, 150, 255};
const rgb_color kFolderColor = {214, 168, 64, 255};
const rgb_color kFileColor = {120, 140, 170, 255};

} // namespace

FilePanelList::FilePanelList(BRect frame, const char* name)
	:
	BView(frame, name, B_FOLLOW_ALL, B_WILL_DRAW | B_NAVIGABLE | B_FRAME_EVENTS),
	fMultipleSelection(false)
{
	SetViewColor(kListBackground);
	SetLowColor(kListBackground);
}

void
FilePanelList::AttachedToWindow()
{
	_UpdateScrollBar();
}

bool
FilePanelList::SortsBefore(const FilePanelEntry& a, const FilePanelEntry& b)
{
	if (a.isDirectory != b.isDirectory)
		return a.isDirectory;
	return a.name < b.name;
}

void
FilePanelList::SetEntries(std::vector<FilePanelEntry> entries)
{
	std::sort(entries.begin(), entries.end(), SortsBefore);
	for (FilePanelEntry& entry : entries)
		entry.selected = false;
	fEntries = std::move(entries);
	ScrollTo(BPoint(0, 0));
	_UpdateScrollBar();
	Invalidate();
}

int32
FilePanelList::IndexOf(const char* name) const
{
	for (size_t i = 0; i < fEntries.size(); i++) {
		if (fEntries[i].name == name)
			return static_cast<int32>(i);
	}
	return -1;
}

BRect
FilePanelList::ItemFrame(int32 index) const
{
	float top = index * kRowHeight;
	return BRect(0, top, Bounds().Width(), top + kRowHeight - 1);
}

bool
FilePanelList::Select(int32 index, bool extend)
{
	if (index < 0 || index >= CountEntries() || !fEntries[index].enabled)
		return false;
	if (!extend || !fMultipleSelection) {
		for (FilePanelEntry& entry : fEntries)
			entry.selected = false;
		fEntries[index].selected = true;
	} else
		fEntries[index].selected = !fEntries[index].selected;
	_SelectionChanged();
	return true;
}

void
FilePanelList::DeselectAll()
{
	bool any = false;
	for (FilePanelEntry& entry : fEntries) {
		any = any || entry.selected;
		entry.selected = false;
	}
	if (any)
		_SelectionChanged();
}

std::vector<int32>
FilePanelList::Selection() const
{
	std::vector<int32> selection;
	for (size_t i = 0; i < fEntries.size(); i++) {
		if (fEntries[i].selected)
			selection.push_back(static_cast<int32>(i));
	}
	return selection;
}

void
FilePanelList::ScrollToItem(int32 index)
{
	if (index < 0 || index >= CountEntries())
		return;
	BRect row = ItemFrame(index);
	BRect visible = Bounds();
	if (row.top < visible.top)
		ScrollTo(BPoint(0, row.top));
	else if (row.bottom > visible.bottom)
		ScrollTo(BPoint(0, row.bottom - visible.Height()));
}

void
FilePanelList::Draw(BRect updateRect)
{
	font_height height;
	GetFontHeight(&height);
	int32 first = std::max<int32>(0, static_cast<int32>(updateRect.top / kRowHeight));
	int32 last = std::min<int32>(CountEntries() - 1,
		static_cast<int32>(updateRect.bottom / kRowHeight));
	for (int32 i = first; i <= last; i++) {
		const FilePanelEntry& entry = fEntries[i];
		BRect row = ItemFrame(i);
		SetLowColor(entry.selected ? kSelectedBackground : kListBackground);
		FillRect(row, B_SOLID_LOW);

		// A small mark tells folders from files; a link's mark is hollow.
		BRect mark(row.left + 6, row.top + 4, row.left + 13, row.top + 11);
		SetHighColor(entry.enabled ? (entry.isDirectory ? kFolderColor : kFileColor)
			: kDisabledTextColor);
		if (entry.isLink)
			StrokeRect(mark);
		else
			FillRect(mark);

		SetHighColor(entry.enabled ? kTextColor : kDisabledTextColor);
		float baseline = row.top + (kRowHeight + height.ascent - height.descent) / 2;
		DrawString(entry.name.c_str(), BPoint(row.left + 20, baseline));
	}
	SetLowColor(kListBackground);
}

int32
FilePanelList::_IndexAt(BPoint where) const
{
	if (where.y < 0)
		return -1;
	int32 index = static_cast<int32>(where.y / kRowHeight);
	return index < CountEntries() ? index : -1;
}

void
FilePanelList::MouseDown(BPoint where)
{
	MakeFocus(true);
	int32 clicks = 1;
	int32 modifiers = 0;
	if (BMessage* message = Window()->CurrentMessage()) {
		message->FindInt32("clicks", &clicks);
		message->FindInt32("modifiers", &modifiers);
	}
	bool extend = (modifiers & (B_SHIFT_KEY | B_COMMAND_KEY)) != 0;
	int32 index = _IndexAt(where);
	if (index < 0 || !fEntries[index].enabled) {
		// A plain click beside the choosable rows clears the selection; one
		// that adds to it leaves it as it is.
		if (!extend)
			DeselectAll();
		return;
	}
	// The second click of a double click on the selected row opens it.
	if (clicks >= 2 && fEntries[index].selected) {
		BMessage open(kFilePanelOpenEntry);
		open.AddInt32("index", index);
		Window()->PostMessage(&open);
		return;
	}
	Select(index, extend);
}

void
FilePanelList::FrameResized(float, float)
{
	_UpdateScrollBar();
}

void
FilePanelList::_SelectionChanged()
{
	Invalidate();
	if (Window() != nullptr)
		Window()->PostMessage(kFilePanelSelectionChanged);
}

void
FilePanelList::_UpdateScrollBar()
{
	BScrollBar* bar = ScrollBar(B_VERTICAL);
	if (bar == nullptr)
		return;
	float content = CountEntries() * kRowHeight;
	float visible = Bounds().Height() + 1;
	bar->SetRange(0, std::max(0.0f, content - visible));
	bar->SetProportion(content > 0 ? std::min(1.0f, visible / content) : 1.0f);
	bar->SetSteps(kRowHeight, std::max(kRowHeight, visible - kRowHeight));
}

} // namespace BPrivate
