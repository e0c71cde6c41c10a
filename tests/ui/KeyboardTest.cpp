// The installer's windows worked by keyboard alone: menu fields that open
// and choose from the keys, Escape in alerts, help and the agreement, the
// page keys and the wheel in scrolling views, one focus mark at a time,
// and a whole install walked with Tab.

#include "InstallWindowFixture.h"

#include "../install/InstallScenario.h"

#include "HelpWindow.h"
#include "IGroupsListView.h"
#include "LicenseView.h"
#include "LicenseWindow.h"

#include <MenuField.h>
#include <MenuWindow.h>
#include <ScrollBar.h>
#include <TextView.h>

#include <future>
#include <regex>
#include <set>

namespace {

class KeyboardTest : public InstallWindowTest {
protected:
	void SetUp() override
	{
		InstallWindowTest::SetUp();
		// The alerts here are answered by keys.
		fAlerts = std::make_unique<AlertRecorder>(false);
	}

	void Key(char byte, uint32 modifiers = 0)
	{
		ASSERT_EQ(Automation::PressKey(byte, modifiers), B_OK) << int(byte);
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	// Runs f on the shown window, locked.
	template<typename F>
	static auto InWindow(const DisplayWindowInfo& info, F f)
	{
		EXPECT_TRUE(info.target.LockTarget());
		BLooper* looper = nullptr;
		info.target.Target(&looper);
		auto result = f(dynamic_cast<BWindow*>(looper));
		looper->Unlock();
		return result;
	}

	static std::string FocusName(const DisplayWindowInfo& info)
	{
		return InWindow(info, [](BWindow* window) {
			BView* focus = window->CurrentFocus();
			return std::string(focus != nullptr && focus->Name() != nullptr ? focus->Name()
				: "");
		});
	}

	// Tabs until the view has the focus; false after a whole round.
	bool TabTo(const DisplayWindowInfo& info, const char* name)
	{
		for (int32 i = 0; i < 12; i++) {
			if (FocusName(info) == name)
				return true;
			Key(B_TAB);
		}
		return false;
	}

	// The label of the open menu's highlighted item ("" for none).
	static std::string Highlighted()
	{
		for (const DisplayWindowInfo& info : Automation::Windows()) {
			if (info.type != BPrivate::kMenuWindowType || info.hidden)
				continue;
			return InWindow(info, [](BWindow* window) {
				BMenu* menu = static_cast<BPrivate::MenuWindow*>(window)->Menu();
				for (int32 i = 0; menu != nullptr && i < menu->CountItems(); i++) {
					if (menu->ItemAt(i)->IsSelected())
						return std::string(menu->ItemAt(i)->Label());
				}
				return std::string();
			});
		}
		return std::string();
	}

	// The alert shown now, if any.
	static bool FindAlert(DisplayWindowInfo* alert)
	{
		for (const DisplayWindowInfo& info : Automation::Windows()) {
			if (info.modal && !info.hidden && InWindow(info, [](BWindow* window) {
					return dynamic_cast<BAlert*>(window) != nullptr;
				})) {
				*alert = info;
				return true;
			}
		}
		return false;
	}

	// An alert shown from another thread; the future holds its answer.
	std::future<int32> ShowAlert(const char* b0, const char* b1 = nullptr, const char* b2 = nullptr)
	{
		std::future<int32> answer = std::async(std::launch::async, [=] {
			return (new BAlert("", "A question.", b0, b1, b2))->Go();
		});
		DisplayWindowInfo alert;
		EXPECT_TRUE(WaitUntil([&] { return FindAlert(&alert); }));
		EXPECT_TRUE(Automation::WaitUntilIdle());
		return answer;
	}

	// Counts the pixels of the navigation colour inside the window's
	// rectangle (window coordinates).
	static int32 FocusPixels(int32 window, BRect rect)
	{
		cairo_surface_t* surface = Automation::CaptureWindow(window);
		if (surface == nullptr)
			return -1;
		rgb_color mark = ui_color(B_KEYBOARD_NAVIGATION_COLOR);
		const uint8* data = cairo_image_surface_get_data(surface);
		int32 stride = cairo_image_surface_get_stride(surface);
		int32 count = 0;
		for (int32 y = (int32)rect.top; y <= (int32)rect.bottom; y++) {
			for (int32 x = (int32)rect.left; x <= (int32)rect.right; x++) {
				uint32 pixel = *reinterpret_cast<const uint32*>(data + y * stride + x * 4);
				count += ((pixel >> 16) & 0xff) == mark.red && ((pixel >> 8) & 0xff) == mark.green
					&& (pixel & 0xff) == mark.blue;
			}
		}
		cairo_surface_destroy(surface);
		return count;
	}

	// A view's frame in its window's coordinates.
	static BRect WindowFrame(const DisplayWindowInfo& info, const char* name)
	{
		return InWindow(info, [name](BWindow* window) {
			BView* view = window->FindView(name);
			return view != nullptr ? window->ConvertFromScreen(view->ConvertToScreen(
				view->Bounds())) : BRect();
		});
	}

	// The agreement window over a package with a text of many lines, while
	// the install window's construction waits for it.
	DisplayWindowInfo OpenAgreement(int32 lines = 200)
	{
		TestPackage package = TestPackage();
		package.groups = {"All"};
		package.entries = {{1, 0x1}};
		for (int32 i = 0; i < lines; i++)
			package.agreement += "Line " + std::to_string(i) + " of the agreement.\n";
		InstallPack* pack = OpenPackage(package);
		fConstructed = std::async(std::launch::async, [pack] {
			return new InstallWindow("test.pkg", pack, true);
		});
		DisplayWindowInfo license;
		EXPECT_TRUE(WaitUntil([&] {
			for (const DisplayWindowInfo& info : Automation::Windows()) {
				if (!info.hidden && InWindow(info, [](BWindow* window) {
						return dynamic_cast<LicenseWindow*>(window) != nullptr;
					})) {
					license = info;
					return true;
				}
			}
			return false;
		}));
		EXPECT_TRUE(Automation::WaitUntilIdle());
		return license;
	}

	// The install window once the agreement is answered; null when it was
	// declined.
	InstallWindow* Constructed()
	{
		InstallWindow* window = fConstructed.get();
		Settle();
		fWindow = InstallWindow::CountWindows() > 0 ? window : nullptr;
		return fWindow;
	}

	float TextScroll(const DisplayWindowInfo& license)
	{
		return InWindow(license, [](BWindow* window) {
			return window->FindView(kLicenseTextName)->Bounds().top;
		});
	}

	std::future<InstallWindow*> fConstructed;
};

} // namespace


TEST_F(KeyboardTest, MenuFieldsOpenMoveChooseAndCloseFromTheKeys)
{
	TestPackage package;
	package.groups = {"All"};
	package.entries = {{1, 0x1}};
	ASSERT_NE(Open(package), nullptr);
	DisplayWindowInfo window;
	ASSERT_TRUE(Automation::FindWindow(fWindow->Title(), &window));
	ASSERT_TRUE(TabTo(window, kVolumeFieldName));

	// Down opens on the marked volume; Escape closes with nothing chosen.
	Key(B_DOWN_ARROW);
	ASSERT_TRUE(Automation::IsMenuOpen());
	EXPECT_EQ(Highlighted(), "boot");
	Key(B_DOWN_ARROW);
	EXPECT_EQ(Highlighted(), "Data");
	Key(B_ESCAPE);
	EXPECT_FALSE(Automation::IsMenuOpen());
	EXPECT_EQ(MarkedVolume(), "boot");
	EXPECT_EQ(FocusName(window), kVolumeFieldName) << "the focus stays on the field";

	// Space opens it again, fresh; the highlight stops at the ends; Enter
	// chooses.
	Key(B_SPACE);
	EXPECT_EQ(Highlighted(), "boot");
	Key(B_UP_ARROW);
	EXPECT_EQ(Highlighted(), "boot");
	Key(B_DOWN_ARROW);
	Key(B_DOWN_ARROW);
	EXPECT_EQ(Highlighted(), "Data");
	Key(B_ENTER);
	Settle();
	EXPECT_FALSE(Automation::IsMenuOpen());
	EXPECT_EQ(MarkedVolume(), "Data");
	EXPECT_TRUE(std::regex_search(Text("spacefree"), std::regex("free on \"Data\"$")));

	// Enter opens the folder field rather than pressing "Begin"; the
	// separator is passed over.
	ASSERT_TRUE(TabTo(window, kFolderFieldName));
	Key(B_ENTER);
	ASSERT_TRUE(Automation::IsMenuOpen());
	EXPECT_TRUE(Enabled(kBeginButtonName)) << "no run began";
	EXPECT_EQ(Highlighted(), "apps");
	for (int32 i = 0; i < 3; i++)
		Key(B_DOWN_ARROW);
	EXPECT_EQ(Highlighted(), kOtherFolderLabel);
	Key(B_UP_ARROW);
	Key(B_UP_ARROW);
	EXPECT_EQ(Highlighted(), "home");
	Key(B_ENTER);
	Settle();
	EXPECT_STREQ(fWindow->fFolderPath, "home");

	// A menu opened with the mouse is worked by the keys too.
	ASSERT_EQ(Automation::Click(ID(), kVolumeFieldName), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(Highlighted(), "");
	Key(B_DOWN_ARROW);
	EXPECT_EQ(Highlighted(), "boot");
	Key(B_ENTER);
	Settle();
	EXPECT_EQ(MarkedVolume(), "boot");
}


TEST_F(KeyboardTest, EscapeAnswersAnAlertWithItsCancelLikeButton)
{
	test_application();
	// "Cancel" wherever it stands.
	std::future<int32> answer = ShowAlert("Cancel", "Continue");
	Key(B_ESCAPE);
	EXPECT_EQ(answer.get(), 0);
	answer = ShowAlert("Continue", "Cancel", "Retry");
	Key(B_ESCAPE);
	EXPECT_EQ(answer.get(), 1);
	// Else the last button.
	answer = ShowAlert("Continue", "Close");
	Key(B_ESCAPE);
	EXPECT_EQ(answer.get(), 1);
	answer = ShowAlert("OK");
	Key(B_ESCAPE);
	EXPECT_EQ(answer.get(), 0);

	// Tab goes through the buttons left to right; Enter presses the one
	// that has the focus.
	answer = ShowAlert("Continue", "Stop", "Close");
	Key(B_TAB);
	Key(B_TAB);
	Key(B_ENTER);
	EXPECT_EQ(answer.get(), 1);
}


TEST_F(KeyboardTest, EscapeClosesHelpAndDisagreesWithTheAgreement)
{
	new HelpWindow("Package Help", BPoint(40, 40), "Some help.");
	ASSERT_TRUE(Automation::WaitUntilIdle());
	DisplayWindowInfo help;
	ASSERT_TRUE(Automation::FindWindow("Package Help", &help));
	Key(B_ESCAPE);
	EXPECT_TRUE(WaitUntil([&] { return !Automation::FindWindow("Package Help", &help); }));

	OpenAgreement(3);
	Key(B_ESCAPE);
	EXPECT_EQ(Constructed(), nullptr) << "declined";
}


TEST_F(KeyboardTest, TheAgreementScrollsWithThePageKeysAndTheWheel)
{
	DisplayWindowInfo license = OpenAgreement();
	float small, large, max;
	InWindow(license, [&](BWindow* window) {
		BScrollBar* bar = window->FindView(kLicenseTextName)->ScrollBar(B_VERTICAL);
		bar->GetSteps(&small, &large);
		float min;
		bar->GetRange(&min, &max);
		return 0;
	});
	ASSERT_GT(max, 2 * large) << "the text is several pages long";
	EXPECT_EQ(FocusName(license), kLicenseTextName);

	Key(B_PAGE_DOWN);
	EXPECT_EQ(TextScroll(license), roundf(large));
	Key(B_PAGE_DOWN);
	Key(B_PAGE_UP);
	EXPECT_EQ(TextScroll(license), roundf(large));
	Key(B_END);
	EXPECT_EQ(TextScroll(license), max);
	Key(B_PAGE_DOWN);
	EXPECT_EQ(TextScroll(license), max) << "no further than the end";
	Key(B_HOME);
	EXPECT_EQ(TextScroll(license), 0);

	// The wheel scrolls what is under the pointer, the text or its bar,
	// whichever has the focus.
	BRect textFrame = WindowFrame(license, kLicenseTextName);
	BPoint overText = license.frame.LeftTop() + BPoint(textFrame.left + 20, textFrame.top + 20);
	ASSERT_EQ(Automation::TurnWheel(overText, 2), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(TextScroll(license), roundf(6 * small));
	BPoint overBar = license.frame.LeftTop() + BPoint(textFrame.right + 6, textFrame.top + 60);
	ASSERT_EQ(Automation::TurnWheel(overBar, -1), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(TextScroll(license), roundf(3 * small));
	ASSERT_EQ(Automation::TurnWheel(overText, -10), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(TextScroll(license), 0) << "no further than the start";
	// Over a button, nothing scrolls.
	BRect agree = WindowFrame(license, kAgreeButtonName);
	ASSERT_EQ(Automation::TurnWheel(license.frame.LeftTop() + agree.LeftTop() + BPoint(5, 5),
		3), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(TextScroll(license), 0);

	Key(B_ENTER);
	EXPECT_NE(Constructed(), nullptr) << "Enter agreed";
}


TEST_F(KeyboardTest, OnlyTheFocusedControlShowsTheFocusMark)
{
	DisplayWindowInfo license = OpenAgreement(3);
	BRect agree = WindowFrame(license, kAgreeButtonName);
	BRect disagree = WindowFrame(license, kDisagreeButtonName);
	BRect scroller = WindowFrame(license, kLicenseTextName).InsetByCopy(-2, -2);
	auto marks = [&] {
		return std::vector<bool>{FocusPixels(license.id, scroller) > 0,
			FocusPixels(license.id, disagree) > 0, FocusPixels(license.id, agree) > 0};
	};
	// The text first, then each button in turn, then round again.
	EXPECT_EQ(marks(), (std::vector<bool>{true, false, false}));
	Key(B_TAB);
	EXPECT_EQ(marks(), (std::vector<bool>{false, true, false}));
	Key(B_TAB);
	EXPECT_EQ(marks(), (std::vector<bool>{false, false, true}));
	Key(B_TAB);
	EXPECT_EQ(marks(), (std::vector<bool>{true, false, false}));
	Key(B_TAB, B_SHIFT_KEY);
	EXPECT_EQ(marks(), (std::vector<bool>{false, false, true}));
	Key(B_SPACE);
	EXPECT_NE(Constructed(), nullptr) << "the focused \"Agree\" pressed";
}


// Every control of the install window is reached with Tab and worked with
// keys alone: another volume and folder, then "Begin", and the finished
// alert answered with the keys.
TEST_F(KeyboardTest, AWholeInstallByKeyboardAlone)
{
	PackagePlan plan;
	plan.Attributes().AddGroupRow(0);
	plan.File(plan.Top(), "readme", "Read me first.\n")->fDestIndex = kInstallFolderDestination;
	ASSERT_EQ(plan.Write(fRoot.HostPath("boot/tool.pkg")), B_OK);
	entry_ref ref;
	ASSERT_EQ(get_ref_for_path("/boot/tool.pkg", &ref), B_OK);
	fWindow = new InstallWindow("tool.pkg", new InstallPack(ref, false), true);
	Settle();
	DisplayWindowInfo window;
	ASSERT_TRUE(Automation::FindWindow(fWindow->Title(), &window));

	// One round of Tab visits every control once; Shift+Tab goes back.
	std::vector<std::string> round;
	for (int32 i = 0; i < 8; i++) {
		round.push_back(FocusName(window));
		Key(B_TAB);
	}
	EXPECT_EQ(std::set<std::string>(round.begin(), round.end()),
		(std::set<std::string>{kGroupListName, kVolumeFieldName, kFolderFieldName,
			kBeginButtonName})) << "every control, nothing else";
	EXPECT_EQ(round[0], round[4]);
	Key(B_TAB, B_SHIFT_KEY);
	EXPECT_EQ(FocusName(window), round[3]);

	ASSERT_TRUE(TabTo(window, kVolumeFieldName));
	Key(B_SPACE);
	Key(B_DOWN_ARROW);
	EXPECT_EQ(Highlighted(), "Data");
	Key(B_ENTER);
	Settle();
	EXPECT_EQ(MarkedVolume(), "Data");

	Key(B_TAB);
	EXPECT_EQ(FocusName(window), kFolderFieldName);
	Key(B_SPACE);
	Key(B_DOWN_ARROW);
	Key(B_ENTER);
	Settle();
	EXPECT_STREQ(fWindow->fFolderPath, "home");

	Key(B_TAB);
	EXPECT_EQ(FocusName(window), kBeginButtonName);
	Key(B_SPACE);
	DisplayWindowInfo alert;
	ASSERT_TRUE(WaitUntil([&] { return FindAlert(&alert); }));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(fRoot.ReadFile("Data/home/Tool/readme"), "Read me first.\n");
	std::vector<std::string> texts = fAlerts->Texts();
	ASSERT_FALSE(texts.empty());
	EXPECT_EQ(texts.back().rfind("Installation is finished.", 0), 0u) << texts.back();
	// "Continue" is the first stop of Tab in the alert.
	Key(B_TAB);
	Key(B_ENTER);
	ASSERT_TRUE(WaitUntil([&] {
		Settle();
		return WithWindow([&] { return !fWindow->fInstalling; });
	}));
	EXPECT_TRUE(Enabled(kBeginButtonName)) << "the window stays for another run";
}
