#include <FilePanelWindow.h>

#include <Alert.h>
#include <Button.h>
#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <Font.h>
#include <FilePanelList.h>
#include <FolderNameField.h>
#include <InterfaceDefs.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <Node.h>
#include <NodeInfo.h>
#include <NodeMonitor.h>
#include <Path.h>
#include <PopUpMenu.h>
#include <ScrollView.h>
#include <StringView.h>
#include <Volume.h>

#include <cmath>
#include <cstring>
#include <string>

namespace BPrivate {

namespace {

enum {
	kVolumeChosen = 'FPvl',		// "device": the volume to show
	kParentClicked = 'FPpa',
	kDefaultClicked = 'FPok',
	kCancelClicked = 'FPcn',
	kNewFolderClicked = 'FPnf'
};

const char* const kNewFolderName = "New Folder";
// Where a row's name starts, from the row's left edge.
const float kRowTextStart = 20;
// "New Folder", "New Folder 2" ... up to this many before giving up.
const int32 kMaxNewFolderNumber = 999;
// Room around a button's label, and between buttons.
const float kButtonLabelRoom = 24;
const float kButtonGap = 10;

const BRect kPanelFrame(120, 90, 619, 459);
const char* const kRootPath = "/";

// The flavours a panel answers with: none given means files.
uint32
effective_flavors(uint32 flavors)
{
	return flavors == 0 ? static_cast<uint32>(B_FILE_NODE) : flavors;
}

// The first component of a path of the system root ("boot" for
// "/boot/home"), empty for the root itself.
std::string
volume_name_of(const std::string& path)
{
	size_t end = path.find('/', 1);
	return path.size() <= 1 ? std::string() : path.substr(1, end == std::string::npos
		? std::string::npos : end - 1);
}

} // namespace

FilePanelWindow::FilePanelWindow(BFilePanel* panel, file_panel_mode mode,
	uint32 nodeFlavors, bool allowMultipleSelection, bool modal)
	:
	BWindow(kPanelFrame, mode == B_SAVE_PANEL ? "Save" : "Open",
		modal ? B_MODAL_WINDOW : B_TITLED_WINDOW, B_NOT_ZOOMABLE),
	fPanel(panel),
	fNodeFlavors(nodeFlavors),
	fMessage(B_REFS_RECEIVED),
	fFilter(nullptr),
	fHideWhenDone(true),
	fPath(kRootPath),
	fVolumeMenu(nullptr),
	fVolumeField(nullptr),
	fPathView(nullptr),
	fList(nullptr),
	fParentButton(nullptr),
	fNewFolderButton(nullptr),
	fDefaultButton(nullptr),
	fCancelButton(nullptr),
	fNameField(nullptr)
{
	SetSizeLimits(360, 4000, 240, 4000);
	_BuildViews(mode);
	fList->SetMultipleSelection(allowMultipleSelection);
	// Volumes that come and go change the menu while the panel is open.
	fVolumeRoster.StartWatching(BMessenger(this));
}

FilePanelWindow::~FilePanelWindow()
{
	fVolumeRoster.StopWatching();
}

void
FilePanelWindow::_BuildViews(file_panel_mode mode)
{
	BRect bounds = Bounds();
	BView* background = new BView(bounds, "background", B_FOLLOW_ALL, B_WILL_DRAW);
	background->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
	AddChild(background);

	fVolumeMenu = new BPopUpMenu("volumes");
	fVolumeField = new BMenuField(BRect(10, 10, 250, 31), kFilePanelVolumesName, "Volume:", fVolumeMenu);
	fVolumeField->SetDivider(50);
	background->AddChild(fVolumeField);
	_BuildVolumeMenu();

	fParentButton = new BButton(BRect(bounds.right - 90, 8, bounds.right - 10, 31), "parent",
		"Parent", new BMessage(kParentClicked), B_FOLLOW_RIGHT | B_FOLLOW_TOP);
	background->AddChild(fParentButton);
	// Left of "Parent", as wide as its label needs.
	float newFolderWidth = ceilf(be_plain_font->StringWidth(kNewFolderName))
		+ kButtonLabelRoom;
	float newFolderRight = fParentButton->Frame().left - kButtonGap;
	fNewFolderButton = new BButton(BRect(newFolderRight - newFolderWidth, 8, newFolderRight,
		31), kFilePanelNewFolderName, kNewFolderName, new BMessage(kNewFolderClicked),
		B_FOLLOW_RIGHT | B_FOLLOW_TOP);
	background->AddChild(fNewFolderButton);

	fPathView = new BStringView(BRect(10, 38, bounds.right - 10, 53), "path", kRootPath,
		B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	background->AddChild(fPathView);

	BRect listFrame(12, 62, bounds.right - 12 - B_V_SCROLL_BAR_WIDTH, bounds.bottom - 48);
	fList = new FilePanelList(listFrame, kFilePanelListName);
	background->AddChild(new BScrollView("entries scroll", fList, B_FOLLOW_ALL, 0, false,
		true));

	fCancelButton = new BButton(BRect(bounds.right - 180, bounds.bottom - 34,
		bounds.right - 100, bounds.bottom - 10), "cancel", "Cancel",
		new BMessage(kCancelClicked), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM);
	background->AddChild(fCancelButton);
	const char* label = mode == B_SAVE_PANEL ? "Save"
		: (effective_flavors(fNodeFlavors) & B_DIRECTORY_NODE) != 0 ? "Select" : "Open";
	fDefaultButton = new BButton(BRect(bounds.right - 90, bounds.bottom - 34,
		bounds.right - 10, bounds.bottom - 10), kFilePanelDefaultName, label,
		new BMessage(kDefaultClicked), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM);
	background->AddChild(fDefaultButton);
	SetDefaultButton(fDefaultButton);
	fList->MakeFocus(true);
}

void
FilePanelWindow::_BuildVolumeMenu()
{
	while (fVolumeMenu->CountItems() > 0)
		delete fVolumeMenu->RemoveItem(static_cast<int32>(0));
	BVolumeRoster roster;
	BVolume volume;
	while (roster.GetNextVolume(&volume) == B_OK) {
		char name[B_FILE_NAME_LENGTH];
		if (volume.GetName(name) != B_OK)
			continue;
		BMessage* message = new BMessage(kVolumeChosen);
		message->AddInt32("device", static_cast<int32>(volume.Device()));
		fVolumeMenu->AddItem(new BMenuItem(name, message));
	}
	fVolumeMenu->SetTargetForItems(this);
}

void
FilePanelWindow::Show()
{
	Lock();
	// A panel shown again shows the folder as it is now.
	if (IsHidden())
		Reload();
	BWindow::Show();
	Unlock();
}

void
FilePanelWindow::SetMessage(const BMessage* message)
{
	fMessage = message != nullptr ? *message : BMessage(B_REFS_RECEIVED);
}

void
FilePanelWindow::SetButtonLabel(file_panel_button button, const char* label)
{
	BButton* target = button == B_CANCEL_BUTTON ? fCancelButton : fDefaultButton;
	target->SetLabel(label);
}

status_t
FilePanelWindow::SetDirectory(const char* path)
{
	if (path == nullptr)
		return B_BAD_VALUE;
	std::string resolved;
	if (strcmp(path, kRootPath) == 0)
		resolved = kRootPath;
	else {
		// Followed through links, so the path shown is where the entries are.
		BEntry entry(path, true);
		if (entry.InitCheck() != B_OK || !entry.Exists())
			return B_ENTRY_NOT_FOUND;
		if (!entry.IsDirectory())
			return B_NOT_A_DIRECTORY;
		BPath canonical(&entry);
		if (canonical.InitCheck() != B_OK)
			return canonical.InitCheck();
		resolved = canonical.Path();
	}
	BDirectory directory(resolved.c_str());
	if (directory.InitCheck() != B_OK)
		return directory.InitCheck();
	fPath = resolved;
	Reload();
	return B_OK;
}

bool
FilePanelWindow::_ReadEntry(BEntry& entry, FilePanelEntry* row) const
{
	struct stat st;
	if (entry.GetRef(&row->ref) != B_OK || entry.GetStat(&st) != B_OK)
		return false;
	row->name = row->ref.name;
	row->isLink = S_ISLNK(st.st_mode);
	row->target = row->ref;
	row->isDirectory = S_ISDIR(st.st_mode);
	if (row->isLink) {
		BEntry target(&row->ref, true);
		if (target.InitCheck() == B_OK && target.Exists()
			&& target.GetRef(&row->target) == B_OK)
			row->isDirectory = target.IsDirectory();
	}
	if (fFilter != nullptr) {
		BNode node(&row->ref);
		char type[B_MIME_TYPE_LENGTH] = "";
		if (node.InitCheck() == B_OK && !row->isLink) {
			BNodeInfo info(&node);
			if (info.GetType(type) != B_OK)
				type[0] = '\0';
		}
		if (!fFilter->Filter(&row->ref, &node, &st, type))
			return false;
	}
	// Folders can always be entered; other entries only chosen.
	row->enabled = row->isDirectory || _IsChoosable(*row);
	return true;
}

bool
FilePanelWindow::_IsChoosable(const FilePanelEntry& row) const
{
	uint32 flavors = effective_flavors(fNodeFlavors);
	if (row.isLink && (flavors & B_SYMLINK_NODE) != 0)
		return true;
	return (flavors & (row.isDirectory ? B_DIRECTORY_NODE : B_FILE_NODE)) != 0;
}

void
FilePanelWindow::Reload()
{
	std::vector<FilePanelEntry> rows;
	BDirectory directory(fPath.c_str());
	BEntry entry;
	while (directory.GetNextEntry(&entry) == B_OK) {
		FilePanelEntry row;
		if (_ReadEntry(entry, &row))
			rows.push_back(std::move(row));
	}
	fList->SetEntries(std::move(rows));
	_UpdateControls();
}

std::vector<entry_ref>
FilePanelWindow::ChosenRefs() const
{
	std::vector<entry_ref> refs;
	uint32 flavors = effective_flavors(fNodeFlavors);
	for (int32 index : fList->Selection()) {
		const FilePanelEntry& row = fList->EntryAt(index);
		if (!_IsChoosable(row))
			continue;
		bool linkItself = row.isLink && (flavors & B_SYMLINK_NODE) != 0;
		refs.push_back(linkItself ? row.ref : row.target);
	}
	// A folder panel with nothing selected answers with the folder shown.
	if (refs.empty() && fList->Selection().empty() && (flavors & B_DIRECTORY_NODE) != 0
		&& fPath != kRootPath) {
		entry_ref current;
		if (get_ref_for_path(fPath.c_str(), &current) == B_OK)
			refs.push_back(current);
	}
	return refs;
}

void
FilePanelWindow::_UpdateControls()
{
	fPathView->SetText(fPath.c_str());
	fParentButton->SetEnabled(fPath != kRootPath);
	// The root lists the volumes: a folder made there would be a volume.
	fNewFolderButton->SetEnabled(fPath != kRootPath);

	bool canAnswer = !ChosenRefs().empty();
	std::vector<int32> selection = fList->Selection();
	// A selected folder in a file panel is opened by the default button.
	bool canOpen = selection.size() == 1 && fList->EntryAt(selection[0]).isDirectory;
	fDefaultButton->SetEnabled(canAnswer || canOpen);

	std::string volume = volume_name_of(fPath);
	for (int32 i = 0; i < fVolumeMenu->CountItems(); i++) {
		BMenuItem* item = fVolumeMenu->ItemAt(i);
		item->SetMarked(volume == item->Label());
	}
	if (volume.empty() && fVolumeField->MenuItem() != nullptr)
		fVolumeField->MenuItem()->SetLabel(kRootPath);
}

void
FilePanelWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (message->what == B_KEY_DOWN && _HandleKey(message))
		return;
	if (message->what == B_QUIT_REQUESTED && handler == this) {
		// The close box cancels: the panel's window lives as long as the panel.
		_Cancel();
		return;
	}
	BWindow::DispatchMessage(message, handler);
}

bool
FilePanelWindow::_HandleKey(BMessage* message)
{
	const char* bytes = nullptr;
	if (message->FindString("bytes", &bytes) != B_OK || bytes == nullptr
		|| bytes[0] == '\0' || bytes[1] != '\0')
		return false;
	// The keys are the name's while a folder is being named.
	if (fNameField != nullptr && CurrentFocus() == fNameField)
		return false;
	switch (bytes[0]) {
		case B_BACKSPACE:
			_GoToParent();
			return true;
		case B_ESCAPE:
			_Cancel();
			return true;
	}
	// The arrows and Enter work the list, unless another view has the
	// focus: a menu field opens on them, a button presses on Enter.
	if (CurrentFocus() != nullptr && CurrentFocus() != fList)
		return false;
	switch (bytes[0]) {
		case B_UP_ARROW:
			_MoveSelection(-1);
			return true;
		case B_DOWN_ARROW:
			_MoveSelection(1);
			return true;
		case B_ENTER:
		{
			// Enter opens a selected folder; otherwise it is the default button's.
			std::vector<int32> selection = fList->Selection();
			if (selection.size() == 1 && fList->EntryAt(selection[0]).isDirectory) {
				_Open(selection[0]);
				return true;
			}
			return false;
		}
	}
	return false;
}

void
FilePanelWindow::_MoveSelection(int32 delta)
{
	std::vector<int32> selection = fList->Selection();
	int32 index = selection.empty() ? (delta > 0 ? -1 : fList->CountEntries())
		: (delta > 0 ? selection.back() : selection.front());
	for (index += delta; index >= 0 && index < fList->CountEntries(); index += delta) {
		if (fList->Select(index)) {
			fList->ScrollToItem(index);
			return;
		}
	}
}

void
FilePanelWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kFolderNameChosen:
			_FinishNaming(true, message->GetString("name", ""));
			return;
		case kFolderNameAbandoned:
			_FinishNaming(false, nullptr);
			return;
		case kFilePanelOpenEntry:
			// The rows may move as the name is kept: the double click
			// ends the naming only.
			if (fNameField != nullptr) {
				_KeepNaming();
				return;
			}
			break;
		case kVolumeChosen:
		case kParentClicked:
		case kDefaultClicked:
		case kCancelClicked:
		case kNewFolderClicked:
			_KeepNaming();
			break;
		default:
			break;
	}
	switch (message->what) {
		case kFilePanelOpenEntry:
		{
			int32 index;
			if (message->FindInt32("index", &index) == B_OK)
				_Open(index);
			break;
		}
		case kFilePanelSelectionChanged:
			_UpdateControls();
			fPanel->SelectionChanged();
			break;
		case kVolumeChosen:
		{
			int32 device;
			char name[B_FILE_NAME_LENGTH];
			BVolume volume;
			if (message->FindInt32("device", &device) == B_OK
				&& volume.SetTo(static_cast<dev_t>(device)) == B_OK
				&& volume.GetName(name) == B_OK)
				SetDirectory((std::string("/") + name).c_str());
			break;
		}
		case kParentClicked:
			_GoToParent();
			break;
		case kDefaultClicked:
			_Choose();
			break;
		case kCancelClicked:
			_Cancel();
			break;
		case kNewFolderClicked:
			_MakeNewFolder();
			break;
		case B_NODE_MONITOR:
			_VolumesChanged();
			break;
		default:
			BWindow::MessageReceived(message);
	}
}

void
FilePanelWindow::_Open(int32 index)
{
	if (index < 0 || index >= fList->CountEntries())
		return;
	const FilePanelEntry& row = fList->EntryAt(index);
	if (!row.isDirectory) {
		// Opening a file chooses it, when the panel answers with files.
		if (_IsChoosable(row) && fList->Select(index))
			_Choose();
		return;
	}
	BPath target(&row.target);
	if (target.InitCheck() == B_OK)
		SetDirectory(target.Path());
}

void
FilePanelWindow::_GoToParent()
{
	if (fPath == kRootPath)
		return;
	size_t slash = fPath.rfind('/');
	SetDirectory(slash == 0 ? kRootPath : fPath.substr(0, slash).c_str());
}

// Makes a folder of a name not taken yet in the folder shown and selects
// it; the person is told when that fails.
void
FilePanelWindow::_MakeNewFolder()
{
	if (fPath == kRootPath)
		return;
	BDirectory folder(fPath.c_str());
	std::string name = kNewFolderName;
	status_t status = folder.InitCheck();
	if (status == B_OK)
		status = folder.CreateDirectory(name.c_str(), nullptr);
	for (int32 number = 2; status == B_FILE_EXISTS && number <= kMaxNewFolderNumber;
			number++) {
		name = std::string(kNewFolderName) + " " + std::to_string(number);
		status = folder.CreateDirectory(name.c_str(), nullptr);
	}
	if (status != B_OK) {
		_TellFailure("Could not make a new folder in \"" + fPath + "\"", status);
		return;
	}
	int32 index = _ReloadSelecting(name);
	if (index >= 0)
		_StartNaming(index);
}

// Reads the folder again and selects the entry of that name, shown; its
// index, or -1 when it is not there.
int32
FilePanelWindow::_ReloadSelecting(const std::string& name)
{
	Reload();
	int32 index = fList->IndexOf(name.c_str());
	if (index < 0 || !fList->Select(index))
		return -1;
	fList->ScrollToItem(index);
	return index;
}

// An alert saying what failed, and why.
void
FilePanelWindow::_TellFailure(const std::string& what, status_t status)
{
	std::string text = what + ": " + strerror_status(status) + ".";
	BAlert* alert = new BAlert("", text.c_str(), "OK", nullptr, nullptr, B_WIDTH_AS_USUAL,
		B_WARNING_ALERT);
	alert->Go();
}

void
FilePanelWindow::_StartNaming(int32 index)
{
	BView* background = FindView("background");
	if (background == nullptr)
		return;
	BRect row = fList->ConvertToScreen(fList->ItemFrame(index));
	BRect frame = background->ConvertFromScreen(row);
	// From where the name starts to the list's right edge.
	frame.left += kRowTextStart - 3;
	frame.right = background->ConvertFromScreen(
		fList->ConvertToScreen(fList->Bounds()).RightBottom()).x - 2;
	fNameField = new FolderNameField(frame, fList->EntryAt(index).name.c_str());
	background->AddChild(fNameField);
}

// Whatever the person does next in the panel keeps the name typed so far.
void
FilePanelWindow::_KeepNaming()
{
	if (fNameField != nullptr)
		_FinishNaming(true, fNameField->Text());
}

void
FilePanelWindow::_FinishNaming(bool rename, const char* name)
{
	if (fNameField == nullptr)
		return;
	std::string oldName = fNameField->OldName();
	std::string newName = rename && name != nullptr ? name : oldName;
	fNameField->RemoveSelf();
	delete fNameField;
	fNameField = nullptr;
	fList->MakeFocus(true);
	if (newName.empty() || newName == oldName)
		return;
	BDirectory folder(fPath.c_str());
	BEntry entry(&folder, oldName.c_str());
	status_t status = entry.InitCheck();
	if (status == B_OK)
		status = entry.Rename(newName.c_str(), false);
	if (status != B_OK) {
		// Nothing is replaced: the folder keeps its name.
		_TellFailure("Could not name the folder \"" + newName + "\"", status);
		newName = oldName;
	}
	_ReloadSelecting(newName);
}

void
FilePanelWindow::_Choose()
{
	std::vector<entry_ref> refs = ChosenRefs();
	if (refs.empty()) {
		std::vector<int32> selection = fList->Selection();
		if (selection.size() == 1)
			_Open(selection[0]);
		return;
	}
	BMessage answer(fMessage);
	for (const entry_ref& ref : refs)
		answer.AddRef("refs", &ref);
	fTarget.SendMessage(&answer);
	if (fHideWhenDone)
		_Done();
}

void
FilePanelWindow::_Cancel()
{
	BMessage cancel(B_CANCEL);
	cancel.AddInt32("old_what", static_cast<int32>(fMessage.what));
	cancel.AddPointer("source", fPanel);
	fTarget.SendMessage(&cancel);
	// A cancelled panel always goes away, whatever hideWhenDone says.
	_Done();
}

void
FilePanelWindow::_Done()
{
	if (IsHidden())
		return;
	Hide();
	fPanel->WasHidden();
}

void
FilePanelWindow::_VolumesChanged()
{
	_BuildVolumeMenu();
	// The folder shown may have left with its volume.
	if (fPath == kRootPath || BDirectory(fPath.c_str()).InitCheck() != B_OK)
		SetDirectory(kRootPath);
	else
		_UpdateControls();
}

} // namespace BPrivate
