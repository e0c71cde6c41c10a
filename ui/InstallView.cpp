#include "InstallView.h"

#include "DoError.h"
#include "FSIcons.h"
#include "GroupList.h"
#include "HSeparator.h"
#include "HelpButton.h"
#include "IGroupsListView.h"
#include "IconMenuItem.h"
#include "InstallApp.h"
#include "InstallWindow.h"
#include "LabelView.h"
#include "PackAttrib.h"

#include <AppDefs.h>
#include <Box.h>
#include <Button.h>
#include <Directory.h>
#include <Entry.h>
#include <FilePanel.h>
#include <MenuBar.h>
#include <MenuField.h>
#include <Message.h>
#include <NodeMonitor.h>
#include <Path.h>
#include <PopUpMenu.h>
#include <ScrollView.h>
#include <StringView.h>
#include <Volume.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const rgb_color kLightGray = {230, 230, 230, 255};


const int32 kDefaultBlockSize = 1024;
const int64 kKilobyte = 1024;
const int64 kMegabyte = 1048576;

// size rounded up to a whole number of blocks.
int64
RoundedUp(int64 size, int32 blockSize)
{
	if (blockSize <= 0)
		return size;
	return (size + blockSize - 1) / blockSize * blockSize;
}

void
SetLightGray(BView* view)
{
	view->SetViewColor(kLightGray);
	view->SetLowColor(kLightGray);
}

// The menu of a field starts at least this far after the end of its label.
const float kLabelGap = 6;

// The divider as laid out, moved right when the label in the field's font
// would run under the menu.
void
FitDivider(BMenuField* field, float divider)
{
	float labelEnd = 1 + ceilf(field->StringWidth(field->Label()));
	field->SetDivider(std::max(divider, labelEnd + kLabelGap));
}

} // namespace


InstallView::InstallView(BRect frame, const char* name, uint32 resizingMode,
	uint32 flags, GroupList* groups, char* description)
	:
	BView(frame, name, resizingMode, flags),
	fVolumeBar(NULL),
	fVolumeMenu(NULL),
	fVolumeItem(NULL),
	fBlockSize(kDefaultBlockSize),
	fFolderBar(NULL),
	fFolderMenu(NULL),
	fFolderItem(NULL),
	fFolderIndex(0),
	fGroupList(groups),
	fDescription(description),
	fGroupInfo(NULL),
	fSizeText(NULL),
	fFreeText(NULL),
	fGroupsHelp(NULL),
	fGroupsList(NULL),
	fFolderPanel(NULL)
{
}


InstallView::~InstallView()
{
	fVolumeRoster.StopWatching();
	delete fFolderPanel;
}


InstallWindow*
InstallView::_Window() const
{
	return dynamic_cast<InstallWindow*>(Window());
}


void
InstallView::AttachedToWindow()
{
	BView::AttachedToWindow();
	HelpButton::InitPicture(this);

	_AddDescription();
	_AddGroups();
	_AddGroupBox();
	_AddVolumeMenu();
	_AddFolderMenu();
	_AddBeginButton();

	// The first group selection goes out after the first volume and
	// folder choices, so the first volume check sees its size.
	fGroupsList->SelectionSet();
}


void
InstallView::Draw(BRect updateRect)
{
	BView::Draw(updateRect);
	DrawHSeparator(0, Bounds().right, 104, this);
}


// #pragma mark - layout


void
InstallView::_AddDescription()
{
	LabelView* description = new LabelView(BRect(8, 2, 472, 102),
		fDescription != NULL ? fDescription : "");
	description->SetName("description");
	AddChild(description);
	if (_AddSigner()) {
		// The description makes room for the signer's line.
		description->ResizeBy(0, -18);
		description->SetTextRect(description->Bounds().InsetByCopy(2, 2));
	}

	InstallWindow* window = _Window();
	const char* helpText = window != NULL && window->fAttrib != NULL
		? window->fAttrib->fHelpText : NULL;
	if (helpText == NULL)
		return;
	HelpButton* help = new HelpButton(BRect(456, 80, 474, 98),
		B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, kPackageHelpTitle, helpText);
	help->SetName(kPackageHelpName);
	AddChild(help);
	// The label makes room for the button.
	description->ResizeBy(-16, 0);
	description->SetTextRect(description->Bounds().InsetByCopy(2, 2));
}


// Who signed the package, under its description: the first thing a person
// should know about software from elsewhere.
bool
InstallView::_AddSigner()
{
	InstallApp* app = dynamic_cast<InstallApp*>(be_app);
	if (app == NULL || app->SignerLine().empty())
		return false;
	BStringView* signer = new BStringView(BRect(10, 86, 452, 99), kSignerTextName,
		app->SignerLine().c_str(), B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	AddChild(signer);
	return true;
}


void
InstallView::_AddGroups()
{
	BRect frame(16, 132, 208, 260);
	frame.right = 16 + 0.4f * Bounds().Width();
	fGroupsList = new IGroupsListView(frame, fGroupList, this);
	if (fGroupList != NULL && fGroupList->CountRows() > 0
		&& !fGroupsList->IsItemDisabled(0))
		fGroupsList->SelectItem(0);
	AddChild(new BScrollView("scroller", fGroupsList, B_FOLLOW_ALL, 0, false, true,
		B_FANCY_BORDER));
	fGroupsList->MakeFocus(true);

	BStringView* label = new BStringView(BRect(22, 111, 208, 123), "listlabel", "Groups",
		B_FOLLOW_LEFT, B_WILL_DRAW);
	SetLightGray(label);
	label->SetFont(be_plain_font);
	AddChild(label);
}


void
InstallView::_AddGroupBox()
{
	BBox* box = new BBox(BRect(236, 112, 472, 263), "descbox",
		B_FOLLOW_RIGHT | B_FOLLOW_TOP, B_WILL_DRAW, B_FANCY_BORDER);
	box->SetLabel("Group Information");
	SetLightGray(box);
	AddChild(box);

	fGroupInfo = new LabelView(BRect(3, 16, 233, 105), "");
	fGroupInfo->SetName("groupinfo");
	box->AddChild(fGroupInfo);

	fGroupsHelp = new HelpButton(BRect(214, 129, 232, 147),
		B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, "Groups Help", "");
	fGroupsHelp->SetName("groupshelp");
	box->AddChild(fGroupsHelp);
	fGroupsHelp->Hide();

	fSizeText = new BStringView(BRect(3, 121, 233, 133), kSizeTextName, "",
		B_FOLLOW_LEFT, B_WILL_DRAW);
	SetLightGray(fSizeText);
	box->AddChild(fSizeText);

	fFreeText = new BStringView(BRect(3, 137, 213, 149), "spacefree", "",
		B_FOLLOW_LEFT, B_WILL_DRAW);
	SetLightGray(fFreeText);
	box->AddChild(fFreeText);
}


void
InstallView::_AddVolumeMenu()
{
	fVolumeMenu = new BPopUpMenu("volumes", true, true, B_ITEMS_IN_COLUMN);
	fVolumeMenu->SetFont(be_plain_font);
	BMenuField* field = new BMenuField(BRect(8, 276, 173, 298), kVolumeFieldName, "Install on",
		fVolumeMenu, B_FOLLOW_LEFT | B_FOLLOW_BOTTOM, B_WILL_DRAW | B_NAVIGABLE);
	field->SetFont(be_plain_font);
	FitDivider(field, 44);
	fVolumeBar = field->MenuBar();
	fVolumeBar->SetFont(be_plain_font);
	field->ResizeBy(0, 4);
	AddChild(field);

	fVolumeRoster.StartWatching(BMessenger(this));
	BVolume bootVolume;
	fVolumeRoster.GetBootVolume(&bootVolume);
	fVolumeRoster.Rewind();
	BVolume volume;
	IconMenuItem* bootItem = NULL;
	while (fVolumeRoster.GetNextVolume(&volume) == B_OK) {
		if (!volume.IsPersistent())
			continue;
		IconMenuItem* item = _NewVolumeItem(volume);
		fVolumeMenu->AddItem(item);
		if (volume == bootVolume)
			bootItem = item;
	}
	if (bootItem != NULL) {
		bootItem->SetMarked(true);
		bootItem->MyInvoke();
	}

	// The bar shows the marked volume's icon and opens the menu.
	fVolumeItem = new IconMenuItem(bootItem != NULL ? bootItem->GetIcon() : NULL,
		fVolumeMenu);
	delete fVolumeBar->RemoveItem((int32)0);
	fVolumeBar->AddItem(fVolumeItem, 0);
}


IconMenuItem*
InstallView::_NewVolumeItem(BVolume& volume)
{
	char name[B_FILE_NAME_LENGTH] = "";
	volume.GetName(name);
	BMessage* message = new BMessage(kVolumeSelected);
	message->AddInt32("volume_id", (int32)volume.Device());
	IconMenuItem* item = new IconMenuItem(name, SIconOfVolume(&volume), message, true);
	item->SetTarget(this);
	return item;
}


void
InstallView::_AddFolderMenu()
{
	fFolderMenu = new BPopUpMenu("folders", false, false, B_ITEMS_IN_COLUMN);
	fFolderMenu->SetFont(be_plain_font);
	BMenuField* field = new BMenuField(BRect(177, 276, 377, 298), kFolderFieldName, "in",
		fFolderMenu, B_FOLLOW_LEFT | B_FOLLOW_BOTTOM, B_WILL_DRAW | B_NAVIGABLE);
	field->SetFont(be_plain_font);
	FitDivider(field, 18);
	fFolderBar = field->MenuBar();
	fFolderBar->SetFont(be_plain_font);
	field->ResizeBy(0, 4);
	AddChild(field);

	fFolderItem = new IconMenuItem(gGenericFolderSIcon, fFolderMenu);
	delete fFolderBar->RemoveItem((int32)0);
	fFolderBar->AddItem(fFolderItem, 0);
	SetFolderPopup();
	fFolderIndex = 0;

	InstallWindow* window = _Window();
	if (window == NULL || window->fAttrib == NULL || window->fAttrib->fFolderChoice) {
		SelectDefaultFolder();
		return;
	}
	field->Hide();
	free(window->fFolderPath);
	window->fFolderPath = strdup(".");
}


void
InstallView::SetFolderPopup()
{
	for (const char* folder : kDefaultFolders) {
		IconMenuItem* item = new IconMenuItem(folder, gGenericFolderSIcon,
			new BMessage(kFolderSelected), false);
		item->SetTarget(this);
		fFolderMenu->AddItem(item);
	}
	fFolderMenu->AddSeparatorItem();
	BMenuItem* other = new BMenuItem(kOtherFolderLabel, new BMessage(kFolderSelected));
	other->SetTarget(this);
	fFolderMenu->AddItem(other);
}


void
InstallView::_AddBeginButton()
{
	BRect frame = Bounds().InsetByCopy(16, 12);
	frame.left = frame.right - 75;
	frame.top = frame.bottom - 20;
	BButton* begin = new BButton(frame, kBeginButtonName, "Begin",
		new BMessage(InstallWindow::kBeginInstall), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
		B_WILL_DRAW | B_NAVIGABLE);
	AddChild(begin);
	Window()->SetDefaultButton(begin);
}


void
InstallView::SelectDefaultFolder()
{
	IconMenuItem* item = dynamic_cast<IconMenuItem*>(fFolderMenu->ItemAt(0));
	if (item == NULL)
		return;
	item->SetMarked(true);
	item->MyInvoke();
}


void
InstallView::SelectDefaultVolume()
{
	IconMenuItem* item = dynamic_cast<IconMenuItem*>(fVolumeMenu->ItemAt(0));
	if (item == NULL)
		return;
	item->SetMarked(true);
	item->MyInvoke();
}


// #pragma mark - messages


void
InstallView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kVolumeSelected:
			_VolumeSelected(message);
			break;
		case kVolumeInfo:
			_ShowVolumeInfo();
			break;
		case kFolderSelected:
			_FolderSelected(message);
			break;
		case IGroupsListView::kGroupsSelected:
			_GroupsSelected(message);
			break;
		case B_NODE_MONITOR:
		{
			int32 opcode = 0;
			message->FindInt32("opcode", &opcode);
			if (opcode == B_DEVICE_MOUNTED)
				_VolumeMounted(message);
			else if (opcode == B_DEVICE_UNMOUNTED)
				_VolumeUnmounted(message);
			break;
		}
		default:
			break;
	}
}


void
InstallView::_VolumeSelected(BMessage* message)
{
	InstallWindow* window = _Window();
	int32 device = -1;
	message->FindInt32("volume_id", &device);

	// A folder picked with "Other..." lies on the volume given up.
	if ((dev_t)device != window->fVolume && window->fCustomFolder)
		SelectDefaultFolder();
	window->fVolume = device;

	int32 index = -1;
	message->FindInt32("index", &index);
	IconMenuItem* item = dynamic_cast<IconMenuItem*>(fVolumeMenu->ItemAt(index));
	if (item != NULL)
		fVolumeItem->SetIcon(item->GetIcon());
	fVolumeBar->Invalidate();

	fBlockSize = kDefaultBlockSize;
	Looper()->PostMessage(kVolumeInfo, this);
}


void
InstallView::_ShowVolumeInfo()
{
	InstallWindow* window = _Window();
	BVolume volume(window->fVolume);
	off_t freeBytes = volume.FreeBytes();
	char name[B_FILE_NAME_LENGTH] = "";
	volume.GetName(name);

	char text[B_FILE_NAME_LENGTH + 64];
	if (freeBytes < kMegabyte) {
		snprintf(text, sizeof(text), "%d K free on \"%s\"", (int)(freeBytes / kKilobyte),
			name);
	} else {
		snprintf(text, sizeof(text), "%.1f MB free on \"%s\"",
			(double)freeBytes / kMegabyte, name);
	}
	fFreeText->SetText(text);
	Window()->UpdateIfNeeded();
	window->CheckPossibleInstall(volume);
}


void
InstallView::_FolderSelected(BMessage* message)
{
	entry_ref ref;
	if (message->FindRef("refs", &ref) == B_OK) {
		_FolderPanelAnswered(ref);
		return;
	}
	int32 index = -1;
	if (message->FindInt32("index", &index) != B_OK)
		return;
	if (index == fFolderMenu->CountItems() - 1) {
		_OpenFolderPanel();
		return;
	}
	BMenuItem* item = fFolderMenu->ItemAt(index);
	if (item == NULL)
		return;
	_MarkFolder(index);
	fFolderItem->SetLabel(item->Label());

	InstallWindow* window = _Window();
	free(window->fFolderPath);
	window->fFolderPath = strdup(item->Label());
	window->fCustomFolder = false;
}


void
InstallView::_FolderPanelAnswered(const entry_ref& ref)
{
	InstallWindow* window = _Window();
	window->fFolderRef = ref;
	BEntry entry(&ref);
	if (entry.InitCheck() != B_OK || !entry.IsDirectory())
		return;

	window->fCustomFolder = true;
	_MarkFolder(fFolderMenu->CountItems() - 1);
	BPath path(&entry);
	fFolderItem->SetLabel(path.Path());

	// The volume follows the folder. The window's volume is set first, so
	// that the choice that follows keeps the folder.
	BVolume volume;
	entry.GetVolume(&volume);
	for (int32 index = fVolumeMenu->CountItems() - 1; index >= 0; index--) {
		IconMenuItem* item = dynamic_cast<IconMenuItem*>(fVolumeMenu->ItemAt(index));
		int32 device = -1;
		if (item == NULL || item->Message() == NULL
			|| item->Message()->FindInt32("volume_id", &device) != B_OK
			|| (dev_t)device != volume.Device())
			continue;
		window->fVolume = device;
		item->SetMarked(true);
		item->MyInvoke();
		return;
	}
	doError("Volume not found!");
	SelectDefaultFolder();
}


void
InstallView::_OpenFolderPanel()
{
	// One panel at a time: a new "Other..." replaces the last one.
	delete fFolderPanel;
	BMessenger target(this);
	BMessage message(kFolderSelected);
	entry_ref start;
	bool started = _GetPanelStart(&start);
	fFolderPanel = new BFilePanel(B_OPEN_PANEL, &target, started ? &start : NULL,
		B_DIRECTORY_NODE, false, &message, NULL, false, true);
	fFolderPanel->Show();
}


// Where the panel opens: on the volume chosen in "Install on", at the
// folder picked there before, else at the volume's top.
bool
InstallView::_GetPanelStart(entry_ref* start) const
{
	InstallWindow* window = _Window();
	if (window->fCustomFolder && BEntry(&window->fFolderRef).IsDirectory()) {
		*start = window->fFolderRef;
		return true;
	}
	BVolume volume(window->fVolume);
	BDirectory root;
	BEntry entry;
	return volume.InitCheck() == B_OK && volume.GetRootDirectory(&root) == B_OK
		&& root.GetEntry(&entry) == B_OK && entry.GetRef(start) == B_OK;
}


void
InstallView::_MarkFolder(int32 index)
{
	if (BMenuItem* previous = fFolderMenu->ItemAt(fFolderIndex))
		previous->SetMarked(false);
	if (BMenuItem* item = fFolderMenu->ItemAt(index))
		item->SetMarked(true);
	fFolderIndex = index;
}


void
InstallView::_GroupsSelected(BMessage* message)
{
	int32 groups = 0;
	message->FindInt32("groups", &groups);
	if (groups == 0) {
		_SetInstallEnabled(false);
		fSizeText->SetText("");
		fGroupInfo->SetText("");
		fGroupsHelp->Hide();
		return;
	}

	const char* description = "";
	message->FindString("description", &description);
	fGroupInfo->SetText(description);
	const void* helpText = NULL;
	if (message->FindPointer("helptext", const_cast<void**>(&helpText)) == B_OK
		&& helpText != NULL) {
		fGroupsHelp->SetHelpText(static_cast<const char*>(helpText));
		if (fGroupsHelp->IsHidden())
			fGroupsHelp->Show();
	} else if (!fGroupsHelp->IsHidden()) {
		fGroupsHelp->Hide();
	}

	InstallWindow* window = _Window();
	window->fGroups = groups;
	int32 files = 0;
	int64 bytes = 0;
	for (int32 index = window->fEntryCount - 1; index >= 0; index--) {
		const FileEntry& row = window->fEntries[index];
		if ((row.groups & groups) == 0 || (row.platform & window->fPlatform) == 0)
			continue;
		files++;
		bytes += RoundedUp(row.size, fBlockSize);
	}

	char text[96];
	if (bytes <= kKilobyte - 1) {
		snprintf(text, sizeof(text), "%d files   %d bytes selected", (int)files, (int)bytes);
	} else if (bytes <= kMegabyte - 1) {
		snprintf(text, sizeof(text), "%d files    %d K selected", (int)files,
			(int)(bytes / kKilobyte));
	} else {
		snprintf(text, sizeof(text), "%d files    %.1f MB selected", (int)files,
			(double)bytes / kMegabyte + 0.05);
	}
	window->fBytes = bytes;
	window->fItemCount = files;
	fSizeText->SetText(text);
	_SetInstallEnabled(true);
}


void
InstallView::_SetInstallEnabled(bool enabled)
{
	if (BButton* begin = dynamic_cast<BButton*>(FindView(kBeginButtonName)))
		begin->SetEnabled(enabled);
}


void
InstallView::_VolumeMounted(BMessage* message)
{
	int32 device = -1;
	if (message->FindInt32("new device", &device) != B_OK)
		return;
	BVolume volume(device);
	if (volume.InitCheck() != B_OK)
		return;
	fVolumeMenu->AddItem(_NewVolumeItem(volume));
}


void
InstallView::_VolumeUnmounted(BMessage* message)
{
	int32 device = -1;
	if (message->FindInt32("device", &device) != B_OK)
		return;
	for (int32 index = fVolumeMenu->CountItems() - 1; index >= 0; index--) {
		BMenuItem* item = fVolumeMenu->ItemAt(index);
		int32 itemDevice = -1;
		if (item->Message() == NULL
			|| item->Message()->FindInt32("volume_id", &itemDevice) != B_OK
			|| itemDevice != device)
			continue;
		fVolumeMenu->RemoveItem(item);
		if (item->IsMarked()) {
			// The bar shows the icon the removed item owns.
			fVolumeItem->SetIcon(NULL);
			SelectDefaultVolume();
		}
		delete item;
		return;
	}
}
