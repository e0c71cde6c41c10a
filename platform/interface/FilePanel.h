#ifndef _FILE_PANEL_H
#define _FILE_PANEL_H

// A window in which a person picks files or folders of the system root:
// a volume menu, the current folder's path, the folder's entries, "New
// Folder" (a folder made in the folder shown) and the buttons that answer. The answer is a copy of the panel's message with
// "refs" (one entry_ref per chosen item) sent to the panel's target; a
// cancelled panel sends B_CANCEL with "old_what".

#include <EntryRef.h>
#include <Messenger.h>
#include <StorageDefs.h>

#include <sys/stat.h>

#include <vector>

class BDirectory;
class BEntry;
class BMessage;
class BNode;
class BWindow;

namespace BPrivate {
class FilePanelWindow;
}

enum file_panel_mode {
	B_OPEN_PANEL,
	B_SAVE_PANEL
};

enum file_panel_button {
	B_CANCEL_BUTTON,
	B_DEFAULT_BUTTON
};

// Decides which entries a panel lists: an entry shows when Filter returns
// true. stat describes the entry itself (a link is not followed); mimeType
// is its type attribute, or "" when it has none.
class BRefFilter {
public:
	virtual ~BRefFilter();
	virtual bool Filter(const entry_ref* ref, BNode* node, struct stat* stat,
		const char* mimeType) = 0;
};

class BFilePanel {
public:
	BFilePanel(file_panel_mode mode = B_OPEN_PANEL, BMessenger* target = nullptr,
		const entry_ref* directory = nullptr, uint32 nodeFlavors = 0,
		bool allowMultipleSelection = true, BMessage* message = nullptr,
		BRefFilter* filter = nullptr, bool modal = false, bool hideWhenDone = true);
	virtual ~BFilePanel();

	void Show();
	void Hide();
	bool IsShowing() const;
	BWindow* Window() const;

	void SetTarget(BMessenger target);
	BMessenger Messenger() const;
	void SetMessage(BMessage* message);
	void SetRefFilter(BRefFilter* filter);
	BRefFilter* RefFilter() const;
	file_panel_mode PanelMode() const { return fMode; }
	uint32 NodeFlavors() const { return fNodeFlavors; }
	bool AllowsMultipleSelection() const { return fAllowMultipleSelection; }

	status_t SetPanelDirectory(const entry_ref* directory);
	status_t SetPanelDirectory(const BEntry* directory);
	status_t SetPanelDirectory(const BDirectory* directory);
	status_t SetPanelDirectory(const char* path);
	status_t GetPanelDirectory(entry_ref* directory) const;
	// Reads the current folder again.
	void Refresh();

	void SetButtonLabel(file_panel_button button, const char* label);
	void SetHideWhenDone(bool hideWhenDone);
	bool HidesWhenDone() const;

	// The chosen items, one after the other, as the answer would hold them.
	void Rewind();
	status_t GetNextSelectedRef(entry_ref* ref);

	// Called in the panel's window after every change of selection.
	virtual void SelectionChanged();
	// Called in the panel's window when it answers or is cancelled.
	virtual void WasHidden();

private:
	BFilePanel(const BFilePanel&) = delete;
	BFilePanel& operator=(const BFilePanel&) = delete;

	template<typename Action>
	auto _Locked(Action action) const;

	file_panel_mode fMode;
	uint32 fNodeFlavors;
	bool fAllowMultipleSelection;
	BPrivate::FilePanelWindow* fWindow;
	BMessenger fWindowMessenger;
	std::vector<entry_ref> fSelectedRefs;
	size_t fSelectedCursor;
};

#endif // _FILE_PANEL_H
