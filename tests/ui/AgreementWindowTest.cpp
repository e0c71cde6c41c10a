// The agreement shown before the install window: "Agree" opens the install
// window, "Disagree" gives up without it; plain and styled text; resizing.
// And pictures of both windows for a person to look at.

#include "InstallWindowFixture.h"

#include "LicenseWindow.h"
#include "PackAttrib.h"

#include <Font.h>
#include <ScrollView.h>
#include <TextView.h>

#include <cairo.h>

#include <future>

namespace {

const char* kAgreement = "You may install this package on as many machines as you like. "
	"You may not sell it.";

class AgreementWindowTest : public InstallWindowTest {
protected:
	// Starts the install window's construction, which waits for the
	// agreement, and waits for the agreement window.
	void OpenWithAgreement(const TestPackage& package)
	{
		InstallPack* pack = OpenPackage(package);
		fBefore = InstallWindow::CountWindows();
		fConstructed = std::async(std::launch::async, [pack] {
			return new InstallWindow("test.pkg", pack, true);
		});
		ASSERT_TRUE(Automation::WaitForWindow(LicenseWindow::TitleFor(
			package.name.empty() ? "test.pkg" : package.name.c_str()).c_str(), &fLicense));
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	// The install window once its constructor has returned; null when it
	// gave up.
	InstallWindow* Constructed()
	{
		InstallWindow* window = fConstructed.get();
		Settle();
		if (InstallWindow::CountWindows() == fBefore)
			return nullptr;
		fWindow = window;
		return window;
	}

	// Runs f on the agreement window's text view, the window locked.
	template<typename F>
	void WithText(F f)
	{
		ASSERT_TRUE(fLicense.target.LockTarget());
		BLooper* looper = nullptr;
		fLicense.target.Target(&looper);
		BWindow* window = dynamic_cast<BWindow*>(looper);
		BTextView* text = dynamic_cast<BTextView*>(window->FindView("licensetext"));
		EXPECT_NE(text, nullptr);
		if (text != nullptr)
			f(window, text);
		looper->Unlock();
	}

	bool InstallWindowShown()
	{
		DisplayWindowInfo info;
		return Automation::FindWindow("test.pkg", &info);
	}

	int32 fBefore = 0;
	std::future<InstallWindow*> fConstructed;
	DisplayWindowInfo fLicense;
};

TestPackage
package_with_agreement()
{
	TestPackage package;
	package.groups = {"Base"};
	package.entries = {{100, 0x1}};
	package.agreement = kAgreement;
	return package;
}

} // namespace


TEST_F(AgreementWindowTest, AgreeShowsTheInstallWindow)
{
	OpenWithAgreement(package_with_agreement());
	EXPECT_FALSE(InstallWindowShown()) << "not before the answer";
	EXPECT_EQ(fConstructed.wait_for(std::chrono::milliseconds(0)),
		std::future_status::timeout) << "the constructor waits";
	EXPECT_TRUE(fLicense.modal);

	WithText([](BWindow* window, BTextView* text) {
		EXPECT_EQ(std::string(text->Text()), kAgreement);
		EXPECT_FALSE(text->IsEditable());
		EXPECT_FALSE(text->IsSelectable());
		EXPECT_TRUE(text->DoesWordWrap());
		// (16, 16, 570, 344) before the scroll view takes it in.
		EXPECT_EQ(text->Frame().Width(), 554);
		EXPECT_EQ(text->Frame().Height(), 328);
		EXPECT_EQ(text->TextRect(), BRect(3, 3, 551, 325));
		EXPECT_EQ(window->FindView("ok")->Frame(), BRect(504, 360, 584, 384));
		EXPECT_EQ(window->FindView("cancel")->Frame(), BRect(408, 360, 488, 384));
		// A close box, which disagrees.
		EXPECT_EQ(window->Flags() & B_NOT_CLOSABLE, 0u);
	});

	ASSERT_EQ(Automation::Click(fLicense.id, "Agree"), B_OK);
	ASSERT_NE(Constructed(), nullptr);
	EXPECT_TRUE(InstallWindowShown());
	EXPECT_EQ(Text("sizetext"), "1 files    1 K selected")
		<< "the choices made while the agreement was up are handled";
	EXPECT_EQ(fWindow->fAttrib->fAgreementText, nullptr) << "handed over";
}


TEST_F(AgreementWindowTest, EnterAgrees)
{
	OpenWithAgreement(package_with_agreement());
	ASSERT_EQ(Automation::PressKey(B_ENTER), B_OK);
	ASSERT_NE(Constructed(), nullptr);
	EXPECT_TRUE(InstallWindowShown());
}


TEST_F(AgreementWindowTest, DisagreeGivesUpWithoutTheInstallWindow)
{
	OpenWithAgreement(package_with_agreement());
	ASSERT_EQ(Automation::Click(fLicense.id, "Disagree"), B_OK);
	EXPECT_EQ(Constructed(), nullptr);
	EXPECT_FALSE(InstallWindowShown());
	EXPECT_FALSE(Automation::FindWindow(LicenseWindow::TitleFor("test.pkg").c_str(),
		nullptr));
	EXPECT_TRUE(be_app->IsMessageWaiting()) << "the application is asked to quit";
	EXPECT_TRUE(fAlerts->Texts().empty());
}


TEST_F(AgreementWindowTest, CloseBoxDisagrees)
{
	OpenWithAgreement(package_with_agreement());
	ASSERT_EQ(Automation::PressCloseBox(fLicense.id), B_OK);
	EXPECT_EQ(Constructed(), nullptr);
	EXPECT_FALSE(InstallWindowShown());
	EXPECT_TRUE(be_app->IsMessageWaiting()) << "the application is asked to quit";
}


TEST_F(AgreementWindowTest, PlainTextInTheFixedFont)
{
	OpenWithAgreement(package_with_agreement());
	WithText([](BWindow*, BTextView* text) {
		BFont font;
		text->GetFontAndColor(5, &font, nullptr);
		font_family family;
		font_family fixedFamily;
		font.GetFamilyAndStyle(&family, nullptr);
		be_fixed_font->GetFamilyAndStyle(&fixedFamily, nullptr);
		EXPECT_STREQ(family, fixedFamily);
		EXPECT_EQ(font.Size(), 11);
		EXPECT_EQ(font.Spacing(), B_BITMAP_SPACING);
	});
	ASSERT_EQ(Automation::Click(fLicense.id, "Agree"), B_OK);
	ASSERT_NE(Constructed(), nullptr);
}


TEST_F(AgreementWindowTest, StyledTextKeepsItsRuns)
{
	TestPackage package = package_with_agreement();
	// Two runs: the first sentence bold and red at 14, the rest plain.
	text_run_array* runs = BTextView::AllocRunArray(2);
	runs->runs[0].offset = 0;
	runs->runs[0].font = *be_bold_font;
	runs->runs[0].font.SetSize(14);
	runs->runs[0].color = make_color(200, 0, 0);
	runs->runs[1].offset = 62;
	runs->runs[1].font = *be_plain_font;
	runs->runs[1].color = make_color(0, 0, 0);
	int32 size = 0;
	void* flat = BTextView::FlattenRunArray(runs, &size);
	BTextView::FreeRunArray(runs);
	const uint8* bytes = static_cast<const uint8*>(flat);
	package.agreementStyles.assign(bytes, bytes + size);
	free(flat);

	OpenWithAgreement(package);
	WithText([](BWindow*, BTextView* text) {
		EXPECT_TRUE(text->IsStylable());
		BFont font;
		rgb_color color;
		text->GetFontAndColor(3, &font, &color);
		EXPECT_EQ(font.Size(), 14);
		EXPECT_EQ(color.red, 200);
		text->GetFontAndColor(70, &font, &color);
		EXPECT_EQ(font.Size(), be_plain_font->Size());
		EXPECT_EQ(color.red, 0);
	});
	ASSERT_EQ(Automation::Click(fLicense.id, "Agree"), B_OK);
	ASSERT_NE(Constructed(), nullptr);
}


TEST_F(AgreementWindowTest, ResizingKeepsLimitsAndWrapsToTheNewWidth)
{
	OpenWithAgreement(package_with_agreement());
	WithText([](BWindow* window, BTextView*) {
		float minWidth, maxWidth, minHeight, maxHeight;
		window->GetSizeLimits(&minWidth, &maxWidth, &minHeight, &maxHeight);
		EXPECT_EQ(minWidth, 300);
		EXPECT_EQ(maxWidth, 8192);
		EXPECT_EQ(minHeight, 200);
		EXPECT_EQ(maxHeight, 8192);
		window->ResizeTo(100, 100);
		EXPECT_EQ(window->Bounds().Width(), 300) << "not below the limits";
		window->ResizeTo(400, 300);
	});
	ASSERT_TRUE(Automation::WaitUntilIdle());
	WithText([](BWindow*, BTextView* text) {
		EXPECT_EQ(text->TextRect(), text->Bounds().InsetByCopy(3, 3));
		EXPECT_EQ(text->Frame().Width(), 400 - 2 * 16 - 14);
	});
	ASSERT_EQ(Automation::Click(fLicense.id, "Agree"), B_OK);
	ASSERT_NE(Constructed(), nullptr);
}


// Pictures of the two windows in build/screenshots/.
TEST_F(AgreementWindowTest, Screenshots)
{
	auto write = [](int32 window, const char* name) {
		ASSERT_TRUE(Automation::WaitUntilIdle());
		std::string path = screenshot_path(name);
		ASSERT_EQ(Automation::WriteWindowPNG(window, path.c_str()), B_OK);
		cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
		EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << name;
		cairo_surface_destroy(image);
	};

	TestPackage package;
	package.name = "Tool Kit";
	package.description = "Tool Kit puts the tool, its documentation and its examples "
		"on your disk. Choose the groups to install, the volume and the folder, then "
		"press Begin.";
	package.help = "The groups decide which parts of the package are installed.";
	package.groups = {"Tool", "Documentation", "Examples", "Source"};
	package.groupDescriptions = {"The program and its settings.", "The manual.",
		"Small projects that show how the tool is used.", "Everything needed to build it."};
	package.groupHelp = {"Needed by every other group."};
	package.rows = {0, 1, -1, 2, 3};
	package.entries = {{350000, 0x1}, {120000, 0x2}, {2500000, 0x4}, {900, 0x8}};
	package.agreement = std::string(kAgreement) + "\n\n" + kAgreement;

	OpenWithAgreement(package);
	write(fLicense.id, "ui-agreement-window");
	ASSERT_EQ(Automation::Click(fLicense.id, "Agree"), B_OK);
	ASSERT_NE(Constructed(), nullptr);
	ClickRow(0);
	ClickRow(1, B_SHIFT_KEY);
	write(ID(), "ui-install-window");
	ClickRow(0);
	write(ID(), "ui-install-window-one-group");
}
