#ifndef _FILE_PANEL_WINDOW_H
#define _FILE_PANEL_WINDOW_H

// The window of a BFilePanel. It keeps the current folder (a path of the
// system root, "/" being the root that lists the volumes), shows it and
// answers the panel's target. All of it runs in the window's thread; the
// panel locks the window to change its settings.

#include <EntryRef.h>
#include <FilePanel.h>
#include <Message.h>
#include <Messenger.h>
#include <VolumeRoster.h>
#include <Window.h>

#include <string>
#include <vector>

class BButton;
class BEntry;
class BMenuField;
class BPopUpMenu;
class BStringView;

namespace BPrivate {

class FilePanelList;
class FolderNameField;
struct FilePanelEntry;

// Views by name: the list of entries, the volume menu field, the
// default ("Open", "Save" or "Select") button and the "New Folder" button.
const char* const kFilePanelListName = "entries";
const char* const kFilePanelVolumesName = "volumes";
const char* const kFilePanelDefaultName = "default";
const char* const kFilePanelNewFolderName = "newfolder";

class FilePanelWindow : public BWindow {
public:
	FilePanelWindow(BFilePanel* panel, file_panel_mode mode, uint32 nodeFlavors,
		bool allowMultipleSelection, bool modal);
	~FilePanelWindow() override;

	void Show() override;
	void DispatchMessage(BMessage* message, BHandler* handler) override;
	void MessageReceived(BMessage* message) override;

	// Settings; the caller holds the window's lock.
	void SetTarget(const BMessenger& target) { fTarget = target; }
	BMessenger Target() const { return fTarget; }
	void SetMessage(const BMessage* message);
	void SetRefFilter(BRefFilter* filter) { fFilter = filter; }
	BRefFilter* RefFilter() const { return fFilter; }
	void SetHideWhenDone(bool hide) { fHideWhenDone = hide; }
	bool HidesWhenDone() const { return fHideWhenDone; }
	void SetButtonLabel(file_panel_button button, const char* label);

	// Goes to a folder of the system root ("/" lists the volumes).
	status_t SetDirectory(const char* path);
	const std::string& DirectoryPath() const { return fPath; }
	void Reload();

	// The refs the panel would answer with now (empty when it cannot).
	std::vector<entry_ref> ChosenRefs() const;

	FilePanelList* List() const { return fList; }

private:
	void _BuildViews(file_panel_mode mode);
	void _BuildVolumeMenu();
	bool _ReadEntry(BEntry& entry, FilePanelEntry* row) const;
	bool _IsChoosable(const FilePanelEntry& row) const;
	void _UpdateControls();
	void _Open(int32 index);
	void _GoToParent();
	void _MakeNewFolder();
	// The folder just made at the row gets its name in a field over it;
	// the field goes when the name is chosen or abandoned, or when the
	// person does anything else in the panel (which keeps what was typed).
	void _StartNaming(int32 index);
	void _FinishNaming(bool rename, const char* name);
	void _KeepNaming();
	int32 _ReloadSelecting(const std::string& name);
	void _TellFailure(const std::string& what, status_t status);
	void _Choose();
	void _Cancel();
	void _Done();
	bool _HandleKey(BMessage* message);
	void _MoveSelection(int32 delta);
	void _VolumesChanged();

	BFilePanel* fPanel;
	uint32 fNodeFlavors;
	BMessenger fTarget;
	BMessage fMessage;
	BRefFilter* fFilter;
	bool fHideWhenDone;
	std::string fPath;

	BVolumeRoster fVolumeRoster;
	BPopUpMenu* fVolumeMenu;
	BMenuField* fVolumeField;
	BStringView* fPathView;
	FilePanelList* fList;
	BButton* fParentButton;
	BButton* fNewFolderButton;
	BButton* fDefaultButton;
	BButton* fCancelButton;
	FolderNameField* fNameField;
};

} // namespace BPrivate

#endif // _FILE_PANEL_WINDOW_H
