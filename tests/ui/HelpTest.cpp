// Help buttons and their windows: the shared pictures and their pressed
// form, one window per button, placement inside the screen, new text,
// closing with the button.

#include "HSeparator.h"
#include "HelpButton.h"
#include "HelpWindow.h"
#include "UiTestSupport.h"

#include <InterfaceFixture.h>
#include <MessageLog.h>

#include <Button.h>
#include <Screen.h>
#include <ScrollView.h>
#include <TextView.h>

#include <algorithm>

namespace {

const char* kTitle = "Install Folder";
const char* kFirstText = "Choose the folder that the package is installed into.";
const char* kSecondText = "The groups decide which parts of the package are installed.";

class HelpTest : public InterfaceTest {
protected:
	void SetUp() override
	{
		InterfaceTest::SetUp();
		test_application();
	}

	void TearDown() override
	{
		InterfaceTest::TearDown();
		HelpButton::Free();
	}

	// A panel window with a help button at `where` (window coordinates).
	void MakeButton(BPoint where, BRect frame = BRect(100, 100, 299, 199))
	{
		fWindow = new BWindow(frame, "panel", B_TITLED_WINDOW, 0);
		fPanel = new BView(fWindow->Bounds(), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
		fPanel->SetViewColor(230, 230, 230);
		fWindow->AddChild(fPanel);
		ASSERT_TRUE(fWindow->Lock());
		HelpButton::InitPicture(fPanel);
		fButton = new HelpButton(BRect(where.x, where.y, where.x + 17, where.y + 17),
			B_FOLLOW_LEFT | B_FOLLOW_TOP, kTitle, kFirstText);
		fPanel->AddChild(fButton);
		fWindow->Unlock();
		fWindow->Show();
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	void ClickButton()
	{
		ASSERT_EQ(Automation::Click(fWindow->DisplayID(), "helpbutton"), B_OK);
		ASSERT_TRUE(Automation::WaitUntilIdle());
	}

	std::vector<DisplayWindowInfo> HelpWindows()
	{
		std::vector<DisplayWindowInfo> found;
		for (const auto& info : Automation::Windows()) {
			if (info.title == kTitle && !info.hidden)
				found.push_back(info);
		}
		return found;
	}

	// Runs f on the help window's views with the window locked.
	template<typename F>
	void InHelpWindow(F f)
	{
		auto windows = HelpWindows();
		ASSERT_EQ(windows.size(), 1u);
		ASSERT_TRUE(windows[0].target.LockTarget());
		BLooper* looper = nullptr;
		windows[0].target.Target(&looper);
		f(static_cast<BWindow*>(looper));
		looper->Unlock();
	}

	std::string HelpText()
	{
		std::string text;
		InHelpWindow([&](BWindow* window) {
			BTextView* view = dynamic_cast<BTextView*>(window->FindView("helptext"));
			ASSERT_NE(view, nullptr);
			text = view->Text();
		});
		return text;
	}

	BPoint ButtonScreenCorner()
	{
		EXPECT_TRUE(fWindow->Lock());
		BPoint corner = fButton->ConvertToScreen(fButton->Bounds().RightBottom());
		fWindow->Unlock();
		return corner;
	}

	BWindow* fWindow = nullptr;
	BView* fPanel = nullptr;
	HelpButton* fButton = nullptr;
};

} // namespace

TEST_F(HelpTest, ThePicturesAreDrawnOnceAndFreed)
{
	HelpButton::Free();
	EXPECT_FALSE(HelpButton::picsInited);
	MakeButton(BPoint(10, 10));
	EXPECT_TRUE(HelpButton::picsInited);
	BPicture* normal = HelpButton::HelpButtonPicture;
	BPicture* pressed = HelpButton::HelpButtonOnPicture;
	ASSERT_NE(normal, nullptr);
	ASSERT_NE(pressed, nullptr);
	ASSERT_TRUE(fWindow->Lock());
	HelpButton::InitPicture(fPanel);
	// The view's drawing state is as it was.
	EXPECT_EQ(fPanel->DrawingMode(), B_OP_COPY);
	fWindow->Unlock();
	EXPECT_EQ(HelpButton::HelpButtonPicture, normal);
	EXPECT_EQ(HelpButton::HelpButtonOnPicture, pressed);
	HelpButton::Free();
	EXPECT_EQ(HelpButton::HelpButtonPicture, nullptr);
	EXPECT_EQ(HelpButton::HelpButtonOnPicture, nullptr);
	EXPECT_FALSE(HelpButton::picsInited);
	HelpButton::Free();
	EXPECT_FALSE(HelpButton::picsInited);
}

TEST_F(HelpTest, TheButtonShowsTheQuestionMarkAndItsPressedForm)
{
	MakeButton(BPoint(10, 10));
	ASSERT_TRUE(fWindow->Lock());
	EXPECT_STREQ(fButton->Name(), "helpbutton");
	EXPECT_EQ(fButton->Behavior(), (uint32)B_ONE_STATE_BUTTON);
	EXPECT_EQ(fButton->Message()->what, kHelpClicked);
	fWindow->Unlock();

	auto normal = Capture(fWindow);
	const rgb_color grey = make_color(128, 128, 128);
	// The frame in the high colour the panel had, the grey face inside it.
	EXPECT_TRUE(same_rgb(normal->At(10, 10), kBlack));
	EXPECT_TRUE(same_rgb(normal->At(27, 27), kBlack));
	EXPECT_TRUE(same_rgb(normal->At(11, 11), grey));
	EXPECT_TRUE(same_rgb(normal->At(26, 26), grey));
	EXPECT_TRUE(same_rgb(normal->At(12, 12), grey));
	// The question mark is white on the face, and the transparent pixels
	// around it let the grey through.
	int white = 0;
	for (int y = 12; y <= 25; y++) {
		for (int x = 12; x <= 25; x++)
			white += normal->At(x, y).red > 200 ? 1 : 0;
	}
	EXPECT_GT(white, 10);
	EXPECT_LT(white, 14 * 14 / 2);

	// Held down: the pressed picture, inverted but for the last column and row.
	BPoint centre = ButtonScreenCorner() - BPoint(9, 9);
	DisplayBackend::Default()->InjectMouseDown(centre, B_PRIMARY_MOUSE_BUTTON, 0);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	auto held = Capture(fWindow);
	EXPECT_TRUE(same_rgb(held->At(10, 10), kWhite));
	EXPECT_TRUE(same_rgb(held->At(11, 11), make_color(127, 127, 127)));
	EXPECT_TRUE(same_rgb(held->At(26, 26), make_color(127, 127, 127)));
	EXPECT_TRUE(same_rgb(held->At(26, 10), kWhite));
	EXPECT_TRUE(same_rgb(held->At(27, 27), kBlack));
	EXPECT_TRUE(same_rgb(held->At(27, 12), kBlack));
	EXPECT_TRUE(same_rgb(held->At(12, 27), kBlack));
	DisplayBackend::Default()->InjectMouseUp(centre, 0);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(same_rgb(Capture(fWindow)->At(11, 11), grey));
}

TEST_F(HelpTest, OneWindowPerButtonOpenedBesideIt)
{
	MakeButton(BPoint(10, 10));
	ClickButton();
	auto windows = HelpWindows();
	ASSERT_EQ(windows.size(), 1u);
	EXPECT_EQ(windows[0].frame, BRect(0, 0, 240, 200).OffsetToCopy(ButtonScreenCorner().x, ButtonScreenCorner().y));
	EXPECT_EQ(HelpText(), kFirstText);

	// Another window in front; a second click brings the help window back.
	BWindow* other = new BWindow(BRect(400, 400, 499, 499), "other", B_TITLED_WINDOW, 0);
	other->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_FALSE(HelpWindows()[0].active);
	ClickButton();
	windows = HelpWindows();
	ASSERT_EQ(windows.size(), 1u);
	EXPECT_TRUE(windows[0].active);
	QuitWindow(other);

	// "Done" closes it; the next click opens a fresh one.
	ASSERT_EQ(Automation::Click(windows[0].id, "done"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(HelpWindows().empty());
	ClickButton();
	EXPECT_EQ(HelpWindows().size(), 1u);
}

TEST_F(HelpTest, HelpWindowsStayInsideTheScreen)
{
	BRect screen = DisplayBackend::Default()->ScreenFrame();
	// A button near the right edge.
	MakeButton(BPoint(170, 10), BRect(screen.right - 200, 100, screen.right - 1, 199));
	ClickButton();
	auto windows = HelpWindows();
	ASSERT_EQ(windows.size(), 1u);
	EXPECT_EQ(windows[0].frame.right, screen.right - 4);
	EXPECT_EQ(windows[0].frame.top, ButtonScreenCorner().y);
	QuitWindow(fWindow);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(HelpWindows().empty());

	// Near the bottom: moved up to 4 pixels above it, its left kept.
	MakeButton(BPoint(10, 70), BRect(100, screen.bottom - 99, 299, screen.bottom));
	ClickButton();
	windows = HelpWindows();
	ASSERT_EQ(windows.size(), 1u);
	EXPECT_EQ(windows[0].frame.bottom, screen.bottom - 4);
	EXPECT_EQ(windows[0].frame.left, ButtonScreenCorner().x);

	// Off the left edge.
	HelpWindow* left = new HelpWindow("left", BPoint(screen.left - 30, 50), kFirstText);
	ASSERT_TRUE(left->Lock());
	EXPECT_EQ(left->Frame().LeftTop(), BPoint(screen.left + 4, 50));
	left->Quit();
}

TEST_F(HelpTest, TheWindowsLayoutAndText)
{
	MakeButton(BPoint(10, 10));
	ClickButton();
	InHelpWindow([](BWindow* window) {
		EXPECT_EQ(window->Type(), B_TITLED_WINDOW);
		EXPECT_EQ(window->Flags() & (B_NOT_ZOOMABLE | B_NOT_MINIMIZABLE),
			(uint32)(B_NOT_ZOOMABLE | B_NOT_MINIMIZABLE));
		float minWidth, maxWidth, minHeight, maxHeight;
		window->GetSizeLimits(&minWidth, &maxWidth, &minHeight, &maxHeight);
		EXPECT_EQ(minWidth, 180);
		EXPECT_EQ(maxWidth, 8192);
		EXPECT_EQ(minHeight, 88);
		EXPECT_EQ(maxHeight, 8192);
		BView* helpView = window->FindView("helpview");
		ASSERT_NE(helpView, nullptr);
		EXPECT_EQ(helpView->ViewColor(), make_color(230, 230, 230, 0));
		BButton* done = dynamic_cast<BButton*>(window->FindView("done"));
		ASSERT_NE(done, nullptr);
		EXPECT_STREQ(done->Label(), "Done");
		EXPECT_EQ(done->Frame(), BRect(136, 168, 226, 190));
		EXPECT_EQ(window->DefaultButton(), done);
		BScrollView* scroller = dynamic_cast<BScrollView*>(window->FindView("helpscroller"));
		ASSERT_NE(scroller, nullptr);
		EXPECT_NE(scroller->ScrollBar(B_VERTICAL), nullptr);
		EXPECT_EQ(scroller->ScrollBar(B_HORIZONTAL), nullptr);
		BTextView* text = dynamic_cast<BTextView*>(window->FindView("helptext"));
		ASSERT_NE(text, nullptr);
		EXPECT_FALSE(text->IsEditable());
		EXPECT_FALSE(text->IsSelectable());
		EXPECT_TRUE(text->DoesWordWrap());
		EXPECT_GT(text->CountLines(), 1);
		EXPECT_EQ(text->TextRect().left, 4);

		window->ResizeBy(60, 40);
		EXPECT_EQ(text->TextRect(), text->Bounds().InsetByCopy(4, 4));
		EXPECT_EQ(done->Frame(), BRect(196, 208, 286, 230));
	});
	ASSERT_TRUE(Automation::WaitUntilIdle());
	// The separator between the text and the button.
	auto windows = HelpWindows();
	Pixels shown(Automation::CaptureWindow(windows[0].id));
	ASSERT_TRUE(shown.IsValid());
	EXPECT_TRUE(same_rgb(shown.At(5, 240 - 42), make_color(128, 128, 128)));
	EXPECT_TRUE(same_rgb(shown.At(5, 240 - 41), kWhite));
	EXPECT_TRUE(same_rgb(shown.At(5, 240 - 40), make_color(230, 230, 230)));
}

TEST_F(HelpTest, NewTextGoesToTheOpenWindowOrTheNextOne)
{
	MakeButton(BPoint(10, 10));
	ClickButton();
	ASSERT_TRUE(fWindow->Lock());
	fButton->SetHelpText(kSecondText);
	fWindow->Unlock();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(HelpText(), kSecondText);

	auto windows = HelpWindows();
	ASSERT_EQ(Automation::PressCloseBox(windows[0].id), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(HelpWindows().empty());
	// Closed: only the next window's text changes.
	ASSERT_TRUE(fWindow->Lock());
	fButton->SetHelpText(kFirstText);
	fWindow->Unlock();
	EXPECT_TRUE(HelpWindows().empty());
	ClickButton();
	EXPECT_EQ(HelpText(), kFirstText);
}

TEST_F(HelpTest, LinesTheAuthorBrokeAreNotBrokenAgain)
{
	// Hard line breaks at about 75 characters, as a text editor leaves them.
	const char* text =
		"The Kestrovan Sample Installer puts the sample program in the folder you\n"
		"choose below (\"apps\" unless you pick another), and its settings file in\n"
		"home/config/settings of the same volume.\n"
		"\n"
		"Choose \"Complete\" for the program and its documentation, \"Minimal\" for the\n"
		"program alone.";
	new HelpWindow(kTitle, BPoint(20, 20), text);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	InHelpWindow([&](BWindow* window) {
		BTextView* view = dynamic_cast<BTextView*>(window->FindView("helptext"));
		ASSERT_NE(view, nullptr);
		EXPECT_EQ(view->CountLines(), 6) << "one line for each of the author's";
		EXPECT_GT(window->Frame().Width(), 240);
		EXPECT_LE(window->Frame().right, BScreen(window).Frame().right);
	});

	// A paragraph the author never broke is wrapped at a readable width.
	std::string paragraph;
	for (int32 i = 0; i < 40; i++)
		paragraph += "A running paragraph without a single line break. ";
	InHelpWindow([](BWindow* window) { window->PostMessage(B_QUIT_REQUESTED); });
	ASSERT_TRUE(WaitUntil([&] { return HelpWindows().empty(); }));
	new HelpWindow(kTitle, BPoint(20, 20), paragraph.c_str());
	ASSERT_TRUE(Automation::WaitUntilIdle());
	InHelpWindow([&](BWindow* window) {
		BTextView* view = dynamic_cast<BTextView*>(window->FindView("helptext"));
		ASSERT_NE(view, nullptr);
		EXPECT_GT(view->CountLines(), 5);
		EXPECT_EQ(window->Frame().Width(), 240) << "as wide as ever";
	});
}

TEST_F(HelpTest, HidingOrDeletingTheButtonClosesItsWindow)
{
	MakeButton(BPoint(10, 10));
	ClickButton();
	ASSERT_EQ(HelpWindows().size(), 1u);
	ASSERT_TRUE(fWindow->Lock());
	fButton->Hide();
	fButton->Hide();
	fWindow->Unlock();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(HelpWindows().empty());
	ASSERT_TRUE(fWindow->Lock());
	fButton->Show();
	EXPECT_FALSE(fButton->IsHidden());
	fWindow->Unlock();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(HelpWindows().empty());
	// One Show undid both Hides.
	ClickButton();
	ASSERT_EQ(HelpWindows().size(), 1u);

	ASSERT_TRUE(fWindow->Lock());
	fButton->RemoveSelf();
	delete fButton;
	fWindow->Unlock();
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_TRUE(HelpWindows().empty());
}
