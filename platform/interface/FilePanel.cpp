#include <FilePanel.h>

#include <Application.h>
#include <Directory.h>
#include <Entry.h>
#include <FilePanelList.h>
#include <FilePanelWindow.h>
#include <FindDirectory.h>
#include <Path.h>

#include <type_traits>

using BPrivate::FilePanelWindow;

BRefFilter::~BRefFilter()
{
}

namespace {

// Where a panel without a start folder opens: the home folder when there
// is one, else the boot volume.
std::string
default_directory()
{
	BPath home;
	if (find_directory(B_USER_DIRECTORY, &home, false) == B_OK
		&& BDirectory(home.Path()).InitCheck() == B_OK)
		return home.Path();
	return "/boot";
}

} // namespace

BFilePanel::BFilePanel(file_panel_mode mode, BMessenger* target,
	const entry_ref* directory, uint32 nodeFlavors, bool allowMultipleSelection,
	BMessage* message, BRefFilter* filter, bool modal, bool hideWhenDone)
	:
	fMode(mode),
	fNodeFlavors(nodeFlavors),
	fAllowMultipleSelection(allowMultipleSelection),
	fWindow(new FilePanelWindow(this, mode, nodeFlavors, allowMultipleSelection, modal)),
	fWindowMessenger(fWindow),
	fSelectedCursor(0)
{
	fWindow->SetTarget(target != nullptr ? *target : be_app_messenger);
	fWindow->SetMessage(message);
	fWindow->SetRefFilter(filter);
	fWindow->SetHideWhenDone(hideWhenDone);
	if (directory == nullptr || SetPanelDirectory(directory) != B_OK) {
		if (SetPanelDirectory(default_directory().c_str()) != B_OK)
			SetPanelDirectory("/");
	}
}

BFilePanel::~BFilePanel()
{
	// The window may be gone already (every window quits with the
	// application): reach it through its messenger.
	if (fWindowMessenger.LockTarget())
		fWindow->Quit();
}

template<typename Action>
auto
BFilePanel::_Locked(Action action) const
{
	using Result = decltype(action());
	if (!fWindowMessenger.LockTarget()) {
		if constexpr (std::is_same_v<Result, status_t>)
			return static_cast<status_t>(B_BAD_VALUE);
		else if constexpr (!std::is_void_v<Result>)
			return Result();
		else
			return;
	}
	if constexpr (std::is_void_v<Result>) {
		action();
		fWindow->Unlock();
	} else {
		Result result = action();
		fWindow->Unlock();
		return result;
	}
}

void
BFilePanel::Show()
{
	_Locked([&] {
		if (fWindow->IsHidden())
			fWindow->Show();
		else
			fWindow->Activate();
	});
}

void
BFilePanel::Hide()
{
	_Locked([&] {
		if (!fWindow->IsHidden())
			fWindow->Hide();
	});
}

bool
BFilePanel::IsShowing() const
{
	return _Locked([&] { return !fWindow->IsHidden(); });
}

BWindow*
BFilePanel::Window() const
{
	return fWindow;
}

void
BFilePanel::SetTarget(BMessenger target)
{
	_Locked([&] { fWindow->SetTarget(target); });
}

BMessenger
BFilePanel::Messenger() const
{
	return _Locked([&] { return fWindow->Target(); });
}

void
BFilePanel::SetMessage(BMessage* message)
{
	_Locked([&] { fWindow->SetMessage(message); });
}

void
BFilePanel::SetRefFilter(BRefFilter* filter)
{
	_Locked([&] {
		fWindow->SetRefFilter(filter);
		fWindow->Reload();
	});
}

BRefFilter*
BFilePanel::RefFilter() const
{
	return _Locked([&] { return fWindow->RefFilter(); });
}

status_t
BFilePanel::SetPanelDirectory(const entry_ref* directory)
{
	if (directory == nullptr)
		return B_BAD_VALUE;
	BPath path(directory);
	if (path.InitCheck() != B_OK)
		return path.InitCheck();
	return SetPanelDirectory(path.Path());
}

status_t
BFilePanel::SetPanelDirectory(const BEntry* directory)
{
	if (directory == nullptr)
		return B_BAD_VALUE;
	BPath path(directory);
	if (path.InitCheck() != B_OK)
		return path.InitCheck();
	return SetPanelDirectory(path.Path());
}

status_t
BFilePanel::SetPanelDirectory(const BDirectory* directory)
{
	if (directory == nullptr)
		return B_BAD_VALUE;
	BEntry entry;
	status_t status = directory->GetEntry(&entry);
	if (status != B_OK)
		return status;
	return SetPanelDirectory(&entry);
}

status_t
BFilePanel::SetPanelDirectory(const char* path)
{
	return _Locked([&] { return fWindow->SetDirectory(path); });
}

status_t
BFilePanel::GetPanelDirectory(entry_ref* directory) const
{
	if (directory == nullptr)
		return B_BAD_VALUE;
	std::string path = _Locked([&] { return fWindow->DirectoryPath(); });
	return get_ref_for_path(path.c_str(), directory);
}

void
BFilePanel::Refresh()
{
	_Locked([&] { fWindow->Reload(); });
}

void
BFilePanel::SetButtonLabel(file_panel_button button, const char* label)
{
	if (label == nullptr)
		return;
	_Locked([&] { fWindow->SetButtonLabel(button, label); });
}

void
BFilePanel::SetHideWhenDone(bool hideWhenDone)
{
	_Locked([&] { fWindow->SetHideWhenDone(hideWhenDone); });
}

bool
BFilePanel::HidesWhenDone() const
{
	return _Locked([&] { return fWindow->HidesWhenDone(); });
}

void
BFilePanel::Rewind()
{
	fSelectedRefs = _Locked([&] { return fWindow->ChosenRefs(); });
	fSelectedCursor = 0;
}

status_t
BFilePanel::GetNextSelectedRef(entry_ref* ref)
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	if (fSelectedCursor >= fSelectedRefs.size())
		return B_ENTRY_NOT_FOUND;
	*ref = fSelectedRefs[fSelectedCursor++];
	return B_OK;
}

void
BFilePanel::SelectionChanged()
{
}

void
BFilePanel::WasHidden()
{
}
