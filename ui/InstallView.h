#ifndef _INSTALL_VIEW_H
#define _INSTALL_VIEW_H

// Everything the user sees in the install window before a run: the
// package description (with "Package Help" when the package has help), the
// groups, a box describing the selected group with the size of the
// selection and the free space of the target, the "Install on" volume
// menu, the "in" folder menu and "Begin". The view keeps the install
// window's selection (groups, bytes, item count, volume, folder) current,
// follows volumes as they are mounted and unmounted, and checks every
// volume as it is chosen.
//
// Views by name, for whoever drives the window from outside:
//   "Volume"          the "Install on" menu field (items: volume names)
//   "Folder"          the "in" menu field (items "apps", "home",
//                     "home/Desktop", "Other..."); hidden when the package
//                     offers no folder choice
//   "grouplisting"    the list of groups (IGroupsListView)
//   "sizetext"        what the selection needs; "spacefree": the free space
//   "installbutton"   "Begin"
//   "packagehelp", "groupshelp"   the help buttons

#include <View.h>
#include <VolumeRoster.h>

const char* const kVolumeFieldName = "Volume";
const char* const kFolderFieldName = "Folder";
// The folders offered in the folder menu, paths relative to the volume's
// root; "Other..." follows them behind a separator.
inline const char* const kDefaultFolders[] = {"apps", "home", "home/Desktop"};
const char* const kOtherFolderLabel = "Other...";
const char* const kSizeTextName = "sizetext";
// The line that says who signed the package.
const char* const kSignerTextName = "signer";
const char* const kBeginButtonName = "installbutton";
const char* const kPackageHelpName = "packagehelp";
// The title of the package help's window.
const char* const kPackageHelpTitle = "Package Help";

class BBox;
class BFilePanel;
class BMenuBar;
class BPopUpMenu;
class BStringView;
class GroupList;
class HelpButton;
class IconMenuItem;
class IGroupsListView;
class InstallWindow;
class LabelView;

class InstallView : public BView {
public:
	enum {
		// A volume item: "volume_id" (int32 device), "index".
		kVolumeSelected = 'VolS',
		// A folder item ("index"), or the file panel's answer ("refs").
		kFolderSelected = 'FolS',
		// Show the free space of the chosen volume and check it.
		kVolumeInfo = 'VInf'
	};

	InstallView(BRect frame, const char* name, uint32 resizingMode, uint32 flags,
		GroupList* groups, char* description);
	~InstallView() override;

	void MessageReceived(BMessage* message) override;
	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;

	void SetFolderPopup();
	void SelectDefaultFolder();
	void SelectDefaultVolume();

	BPopUpMenu* VolumeMenu() const { return fVolumeMenu; }
	BPopUpMenu* FolderMenu() const { return fFolderMenu; }
	IGroupsListView* GroupsList() const { return fGroupsList; }

private:
	InstallWindow* _Window() const;

	void _AddDescription();
	// False when nobody checked a signature (no installer application).
	bool _AddSigner();
	void _AddGroups();
	void _AddGroupBox();
	void _AddVolumeMenu();
	void _AddFolderMenu();
	void _AddBeginButton();
	IconMenuItem* _NewVolumeItem(BVolume& volume);

	void _VolumeSelected(BMessage* message);
	void _ShowVolumeInfo();
	void _FolderSelected(BMessage* message);
	void _FolderPanelAnswered(const entry_ref& ref);
	void _OpenFolderPanel();
	bool _GetPanelStart(entry_ref* start) const;
	void _GroupsSelected(BMessage* message);
	void _VolumeMounted(BMessage* message);
	void _VolumeUnmounted(BMessage* message);
	void _MarkFolder(int32 index);
	void _SetInstallEnabled(bool enabled);

	BMenuBar* fVolumeBar;
	BPopUpMenu* fVolumeMenu;
	IconMenuItem* fVolumeItem;
	int32 fBlockSize;
	BMenuBar* fFolderBar;
	BPopUpMenu* fFolderMenu;
	IconMenuItem* fFolderItem;
	int32 fFolderIndex;
	GroupList* fGroupList;
	char* fDescription;
	LabelView* fGroupInfo;
	BStringView* fSizeText;
	BStringView* fFreeText;
	HelpButton* fGroupsHelp;
	BVolumeRoster fVolumeRoster;
	IGroupsListView* fGroupsList;
	BFilePanel* fFolderPanel;
};

#endif // _INSTALL_VIEW_H
