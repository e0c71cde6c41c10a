#ifndef _TEST_INSTALL_WINDOW_FIXTURE_H
#define _TEST_INSTALL_WINDOW_FIXTURE_H

// The install window on the headless display, opened on packages written
// for the test into a temporary system root, driven through the display's
// input path. Alerts are answered with their first button and their texts
// kept, so a test can say which alerts came up.

#include "ArchiveItem.h"
#include "FSIcons.h"
#include "HelpButton.h"
#include "IGroupsListView.h"
#include "InstallPack.h"
#include "InstallView.h"
#include "InstallWindow.h"
#include "LicenseWindow.h"
#include "UiTestSupport.h"

#include <InterfaceFixture.h>
#include <MessageLog.h>
#include <MountedVolume.h>
#include <PackageBytes.h>
#include <TempRoot.h>

#include <Alert.h>
#include <Button.h>
#include <Entry.h>
#include <Menu.h>
#include <MenuItem.h>
#include <PopUpMenu.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// One installable item of a test catalog, in the top folder.
struct TestEntry {
	int64 size;
	uint32 groups;
	int32 platform = -1;
	int32 destination = -2;
	int32 kind = kFileItemKind;
};

// What a test package holds. Group rows: a group's index, or -1 for a
// separator; without rows every group gets one, in order.
struct TestPackage {
	std::vector<std::string> groups;
	std::vector<std::string> groupDescriptions;
	std::vector<std::string> groupHelp;
	std::vector<int32> rows;
	std::vector<TestEntry> entries;
	std::string name;
	std::string description = "A package made for a test.";
	std::string help;
	std::string agreement;
	Bytes agreementStyles;
	bool folderChoice = true;
	// Folders nested in the top folder, each holding one entry of its own.
	std::vector<TestEntry> subfolders;
	int32 subfolderDestination = -2;
	uint32 subfolderGroups = 1;
};

inline Bytes
test_catalog(const TestPackage& package)
{
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End();
	auto item = [&](const TestEntry& entry, int32 number) {
		static const int32 kTags[] = {0, 'FilI', 'FldI', 'PtcI', 'ScrI', 'LnkI'};
		out.Group(kTags[entry.kind])
			.String('Name', "item" + std::to_string(number))
			.Int64('OrgS', entry.size)
			.Int32('Grps', (int32)entry.groups)
			.Int32('Plat', entry.platform)
			.Int32('Dest', entry.destination)
			.End();
	};
	int32 number = 0;
	for (const TestEntry& entry : package.entries)
		item(entry, number++);
	for (const TestEntry& entry : package.subfolders) {
		out.Group('FldI').Group('FDat').String('Name', "folder" + std::to_string(number))
			.Int32('Dest', package.subfolderDestination)
			.Int32('Grps', (int32)package.subfolderGroups).End();
		item(entry, number++);
		out.End();
	}
	out.End();
	return out.Data();
}

inline Bytes
test_attributes(const TestPackage& package)
{
	RecordBytes out;
	out.Group('PkgA');
	if (!package.groups.empty()) {
		out.Group(1);
		for (size_t i = 0; i < package.groups.size(); i++) {
			out.Group('IGrp').String('GrpN', package.groups[i]);
			if (i < package.groupDescriptions.size())
				out.String('GrpD', package.groupDescriptions[i]);
			if (i < package.groupHelp.size())
				out.String('GrHt', package.groupHelp[i]);
			out.End();
		}
		out.End();
		out.Group(2);
		if (package.rows.empty()) {
			for (size_t i = 0; i < package.groups.size(); i++)
				out.Int32('GrId', (int32)i);
		}
		for (int32 row : package.rows)
			out.Int32('GrId', row);
		out.End();
	}
	out.String(5, package.description);
	if (!package.name.empty())
		out.String(13, package.name);
	if (!package.help.empty())
		out.Bin(10, package.help + std::string(1, '\0'));
	if (!package.agreement.empty())
		out.Bin(7, package.agreement);
	if (!package.agreementStyles.empty())
		out.Bin(21, package.agreementStyles.data(), package.agreementStyles.size());
	out.Int32(12, package.folderChoice ? 1 : 0);
	out.End();
	return out.Data();
}

// Answers every alert with its first button and keeps what it said; or,
// for tests that answer alerts themselves, only keeps what they said.
class AlertRecorder {
public:
	explicit AlertRecorder(bool answer = true)
		: fAnswer(answer), fRunning(true), fThread([this] { _Run(); }) {}

	~AlertRecorder()
	{
		fRunning = false;
		fThread.join();
	}

	std::vector<std::string> Texts()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fTexts;
	}

	void Clear()
	{
		std::lock_guard<std::mutex> guard(fLock);
		fTexts.clear();
	}

	bool IsAlertShown()
	{
		for (const auto& info : BPrivate::Automation::Windows()) {
			if (info.modal && !info.hidden
				&& info.title.find(kLicenseWindowTitle) == std::string::npos)
				return true;
		}
		return false;
	}

private:
	void _Run()
	{
		while (fRunning) {
			for (const auto& info : BPrivate::Automation::Windows()) {
				if (!info.modal || info.hidden || fAnswered.count(info.id) != 0)
					continue;
				std::string text;
				std::string label;
				if (!_Read(info, &text, &label))
					continue;
				if (!fAnswer || BPrivate::Automation::Click(info.id, label.c_str()) == B_OK) {
					std::lock_guard<std::mutex> guard(fLock);
					fAnswered.insert(info.id);
					fTexts.push_back(text);
				}
			}
			snooze(5000);
		}
	}

	static bool _Read(const BPrivate::DisplayWindowInfo& info, std::string* text,
		std::string* label)
	{
		if (!info.target.LockTarget())
			return false;
		BLooper* looper = nullptr;
		info.target.Target(&looper);
		BAlert* alert = dynamic_cast<BAlert*>(looper);
		bool found = false;
		if (alert != nullptr && alert->ButtonAt(0) != nullptr) {
			*text = alert->Text() != nullptr ? alert->Text() : "";
			*label = alert->ButtonAt(0)->Label();
			found = true;
		}
		looper->Unlock();
		return found;
	}

	const bool fAnswer;
	std::atomic<bool> fRunning;
	std::mutex fLock;
	std::vector<std::string> fTexts;
	std::set<int32> fAnswered;
	std::thread fThread;
};

class InstallWindowTest : public InterfaceTest {
protected:
	void SetUp() override
	{
		InterfaceTest::SetUp();
		ASSERT_EQ(fRoot.InitCheck(), B_OK);
		test_application();
		static bool sIconsLoaded = false;
		if (!sIconsLoaded) {
			app_info info;
			ASSERT_EQ(test_application()->GetAppInfo(&info), B_OK);
			SetGlobalIcons(info.ref);
			sIconsLoaded = true;
		}
		fAlerts = std::make_unique<AlertRecorder>();
	}

	void TearDown() override
	{
		Settle();
		InterfaceTest::TearDown();
		fAlerts.reset();
		HelpButton::Free();
	}

	// Writes the package into the root and opens it.
	InstallPack* OpenPackage(const TestPackage& package,
		const std::string& path = "boot/test.pkg", const Bytes* catalog = nullptr)
	{
		Bytes bytes = assemble_package(standard_header(),
			catalog != nullptr ? *catalog : test_catalog(package),
			test_attributes(package));
		fRoot.WriteFile(path, std::string(bytes.begin(), bytes.end()));
		entry_ref ref;
		EXPECT_EQ(get_ref_for_path(("/" + path).c_str(), &ref), B_OK);
		InstallPack* pack = new InstallPack(ref, false);
		EXPECT_NE(pack->fEntry, nullptr);
		return pack;
	}

	// The window on the package, shown and settled; null when it gave up.
	InstallWindow* Open(const TestPackage& package, const Bytes* catalog = nullptr)
	{
		int32 before = InstallWindow::CountWindows();
		InstallWindow* window = new InstallWindow("test.pkg",
			OpenPackage(package, "boot/test.pkg", catalog), true);
		Settle();
		if (InstallWindow::CountWindows() == before)
			return nullptr;
		fWindow = window;
		return window;
	}

	// Idle, with every alert answered.
	void Settle()
	{
		for (int32 i = 0; i < 100; i++) {
			EXPECT_TRUE(Automation::WaitUntilIdle());
			if (!fAlerts->IsAlertShown()) {
				// What the answered alert's thread does next (a window
				// posting to itself) settles too.
				EXPECT_TRUE(Automation::WaitUntilIdle());
				return;
			}
			snooze(10000);
		}
		ADD_FAILURE() << "an alert stayed up";
	}

	int32 ID() const { return fWindow->DisplayID(); }

	std::string Text(const char* name)
	{
		std::string text;
		EXPECT_EQ(Automation::GetText(ID(), name, &text), B_OK) << name;
		return text;
	}

	bool Enabled(const char* name)
	{
		bool enabled = false;
		EXPECT_EQ(Automation::IsEnabled(ID(), name, &enabled), B_OK) << name;
		return enabled;
	}

	InstallView* View() const
	{
		return dynamic_cast<InstallView*>(fWindow->FindView("installview"));
	}

	// Runs f with the window locked.
	template<typename F>
	auto WithWindow(F f)
	{
		EXPECT_TRUE(fWindow->Lock());
		auto result = f();
		fWindow->Unlock();
		return result;
	}

	std::vector<std::string> MenuLabels(bool volumes)
	{
		return WithWindow([&] {
			BMenu* menu = volumes ? (BMenu*)View()->VolumeMenu() : (BMenu*)View()->FolderMenu();
			std::vector<std::string> labels;
			for (int32 i = 0; i < menu->CountItems(); i++)
				labels.push_back(menu->ItemAt(i)->Label());
			return labels;
		});
	}

	std::string MarkedVolume()
	{
		return WithWindow([&] {
			BMenuItem* marked = View()->VolumeMenu()->FindMarked();
			return std::string(marked != nullptr ? marked->Label() : "");
		});
	}

	// Opens the menu field and clicks the item, as a person does.
	void Choose(const char* field, const char* item)
	{
		ASSERT_EQ(Automation::Click(ID(), field), B_OK) << field;
		ASSERT_EQ(Automation::ChooseMenuItem(item), B_OK) << item;
		Settle();
	}

	// Clicks the row of the group list; rows alternate between two
	// columns, so that two clicks on one row never make a double click.
	void ClickRow(int32 row, uint32 modifiers = 0)
	{
		BPoint where = WithWindow([&] {
			IGroupsListView* list = View()->GroupsList();
			BRect frame = list->ConvertToScreen(list->ItemFrame(row));
			return BPoint(frame.left + fColumn, floorf((frame.top + frame.bottom) / 2));
		});
		fColumn = fColumn == 20 ? 60 : 20;
		DisplayBackend* display = DisplayBackend::Default();
		display->InjectMouseDown(where, B_PRIMARY_MOUSE_BUTTON, modifiers);
		display->InjectMouseUp(where, modifiers);
		Settle();
	}

	TempRoot fRoot;
	std::unique_ptr<AlertRecorder> fAlerts;
	InstallWindow* fWindow = nullptr;
	float fColumn = 20;
};

const char* const kReadOnlyAlert
	= "Cannot install on the volume \"%s\" because it is locked or read-only.";
const char* const kNoSpaceAlert
	= "Cannot install on the volume \"%s\" because there is not enough free space.";
const char* const kNoFeaturesAlert
	= "Cannot install on the volume \"%s\" because it does not support the reuqired";

inline std::string
alert_for(const char* format, const std::string& volume)
{
	std::string text = format;
	text.replace(text.find("%s"), 2, volume);
	return text;
}

#endif // _TEST_INSTALL_WINDOW_FIXTURE_H
