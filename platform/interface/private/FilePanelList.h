#ifndef _FILE_PANEL_LIST_H
#define _FILE_PANEL_LIST_H

// The list of a file panel's current folder: one row per entry, folders
// first, then the rest, each group by name. Rows that cannot be chosen are
// drawn grey and take no selection. A click selects, a double click opens;
// the list tells its window with the messages below.

#include <EntryRef.h>
#include <View.h>

#include <string>
#include <vector>

namespace BPrivate {

enum {
	kFilePanelOpenEntry = 'FPop',		// "index": the row to open
	kFilePanelSelectionChanged = 'FPsl'
};

// One row: the entry itself and, for a link, what it points to.
struct FilePanelEntry {
	std::string name;
	entry_ref ref;
	entry_ref target;		// ref followed through links (ref itself otherwise)
	bool isDirectory = false;	// after following links
	bool isLink = false;
	bool enabled = true;
	bool selected = false;
};

class FilePanelList : public BView {
public:
	FilePanelList(BRect frame, const char* name);

	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;
	void MouseDown(BPoint where) override;
	void FrameResized(float newWidth, float newHeight) override;

	// Replaces the rows (sorted here); selection cleared, scrolled to top.
	void SetEntries(std::vector<FilePanelEntry> entries);
	int32 CountEntries() const { return static_cast<int32>(fEntries.size()); }
	const FilePanelEntry& EntryAt(int32 index) const { return fEntries[index]; }
	int32 IndexOf(const char* name) const;
	// The row's rectangle in the list's coordinates.
	BRect ItemFrame(int32 index) const;
	float RowHeight() const { return kRowHeight; }

	void SetMultipleSelection(bool multiple) { fMultipleSelection = multiple; }
	// Selects an enabled row, adding it to the selection when extend is
	// true and the list allows several.
	bool Select(int32 index, bool extend = false);
	void DeselectAll();
	std::vector<int32> Selection() const;
	// Scrolls as little as needed for the row to be seen whole.
	void ScrollToItem(int32 index);

	static bool SortsBefore(const FilePanelEntry& a, const FilePanelEntry& b);

private:
	static constexpr float kRowHeight = 16.0f;

	int32 _IndexAt(BPoint where) const;
	void _SelectionChanged();
	void _UpdateScrollBar();

	std::vector<FilePanelEntry> fEntries;
	bool fMultipleSelection;
};

} // namespace BPrivate

#endif // _FILE_PANEL_LIST_H
