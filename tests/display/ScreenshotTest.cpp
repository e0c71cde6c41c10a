#include <InterfaceFixture.h>

#include <Alert.h>
#include <Box.h>
#include <Button.h>
#include <CheckBox.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <PopUpMenu.h>
#include <TextView.h>
#include <Picture.h>
#include <PictureButton.h>
#include <ScrollView.h>
#include <StatusBar.h>
#include <RadioButton.h>
#include <StringView.h>

#include <future>
#include <string>
#include <sys/stat.h>

// Writes a picture of every kind of widget into the build folder's
// screenshots/ for a person to look at, and checks that each picture is
// there and shows the widget's panel.

namespace {

std::string
screenshot_path(const char* name)
{
	mkdir(KESTROVAN_SCREENSHOT_DIR, 0755);
	return std::string(KESTROVAN_SCREENSHOT_DIR) + "/" + name + ".png";
}

// A panel in the installer's grey holding the widgets, written as PNG.
class ScreenshotTest : public InterfaceTest {
protected:
	BWindow* PanelWindow(BRect frame, const char* title)
	{
		BWindow* window = new BWindow(frame, title, B_TITLED_WINDOW, B_NOT_RESIZABLE);
		fPanel = new BView(window->Bounds(), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
		fPanel->SetViewColor(230, 230, 230);
		window->AddChild(fPanel);
		return window;
	}

	void WriteAndCheck(BWindow* window, const char* name)
	{
		window->Show();
		ASSERT_TRUE(Automation::WaitUntilIdle());
		std::string path = screenshot_path(name);
		ASSERT_EQ(Automation::WriteWindowPNG(window->DisplayID(), path.c_str()), B_OK);
		cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
		ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
		Pixels pixels(image);
		EXPECT_EQ(pixels.Width(), window->Bounds().IntegerWidth() + 1);
		// The panel's grey shows in the bottom-right corner.
		EXPECT_TRUE(same_rgb(pixels.At(pixels.Width() - 1, pixels.Height() - 1),
			make_color(230, 230, 230))) << name;
	}

	BView* fPanel = nullptr;
};

} // namespace

TEST_F(ScreenshotTest, Buttons)
{
	BWindow* window = PanelWindow(BRect(40, 40, 339, 109), "Buttons");
	BButton* plain = new BButton(BRect(10, 10, 84, 33), "plain", "Cancel", new BMessage('none'));
	BButton* standard = new BButton(BRect(100, 10, 174, 33), "default", "Begin", new BMessage('none'));
	BButton* disabled = new BButton(BRect(190, 10, 264, 33), "disabled", "Disabled",
		new BMessage('none'));
	disabled->SetEnabled(false);
	fPanel->AddChild(plain);
	fPanel->AddChild(standard);
	fPanel->AddChild(disabled);
	standard->MakeDefault(true);
	WriteAndCheck(window, "buttons");
	QuitWindow(window);
}

TEST_F(ScreenshotTest, CheckBoxesAndRadioButtons)
{
	BWindow* window = PanelWindow(BRect(40, 40, 299, 169), "Choices");
	BCheckBox* on = new BCheckBox(BRect(10, 10, 200, 25), "on", "Delete originals",
		new BMessage('none'));
	on->SetValue(B_CONTROL_ON);
	BCheckBox* off = new BCheckBox(BRect(10, 30, 200, 45), "off", "Don't ask again",
		new BMessage('none'));
	fPanel->AddChild(on);
	fPanel->AddChild(off);
	const char* labels[3] = {"Replace", "Rename", "Skip"};
	BView* group = new BView(BRect(10, 55, 200, 120), "group", B_FOLLOW_NONE, 0);
	group->SetViewColor(230, 230, 230);
	fPanel->AddChild(group);
	for (int32 i = 0; i < 3; i++) {
		BRadioButton* radio = new BRadioButton(BRect(0, i * 20, 150, i * 20 + 15), labels[i],
			labels[i], new BMessage('none'));
		group->AddChild(radio);
		if (i == 1)
			radio->SetValue(B_CONTROL_ON);
	}
	WriteAndCheck(window, "choices");
	QuitWindow(window);
}

TEST_F(ScreenshotTest, BoxesAndStringViews)
{
	BWindow* window = PanelWindow(BRect(40, 40, 319, 219), "Boxes");
	BStringView* label = new BStringView(BRect(22, 8, 208, 20), "listlabel", "Groups");
	fPanel->AddChild(label);
	BBox* fancy = new BBox(BRect(10, 28, 260, 110), "descbox");
	fancy->SetLabel("Group Information");
	fPanel->AddChild(fancy);
	BStringView* size = new BStringView(BRect(3, 40, 233, 52), "sizetext",
		"2 files   0 bytes selected");
	fancy->AddChild(size);
	BStringView* free = new BStringView(BRect(3, 56, 233, 68), "spacefree",
		"12.5 MB free on \"boot\"");
	fancy->AddChild(free);
	BBox* plain = new BBox(BRect(10, 120, 125, 165), "plain", B_FOLLOW_NONE,
		B_WILL_DRAW, B_PLAIN_BORDER);
	fPanel->AddChild(plain);
	BBox* unlabelled = new BBox(BRect(140, 120, 260, 165), "etched");
	fPanel->AddChild(unlabelled);
	BStringView* right = new BStringView(BRect(5, 15, 110, 27), "right", "right aligned");
	right->SetAlignment(B_ALIGN_RIGHT);
	unlabelled->AddChild(right);
	WriteAndCheck(window, "boxes");
	QuitWindow(window);
}

TEST_F(ScreenshotTest, WarningAlertAndScreen)
{
	auto answer = std::async(std::launch::async, [] {
		return (new BAlert("", "Cannot install on the volume \"boot\" because there is "
			"not enough free space.", "Continue", "Cancel", nullptr, B_WIDTH_FROM_WIDEST,
			B_WARNING_ALERT))->Go();
	});
	DisplayWindowInfo info;
	ASSERT_TRUE(Automation::WaitForWindow("", &info));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	std::string path = screenshot_path("alert");
	ASSERT_EQ(Automation::WriteWindowPNG(info.id, path.c_str()), B_OK);
	std::string screenPath = screenshot_path("screen");
	ASSERT_EQ(Automation::WriteScreenPNG(screenPath.c_str()), B_OK);
	cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
	ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
	Pixels pixels(image);
	// The icon: yellow inside the triangle at the stripe.
	EXPECT_TRUE(same_rgb(pixels.At(27, 31), make_color(255, 206, 0)));
	EXPECT_EQ(Automation::PressKey(B_ENTER), B_OK);
	EXPECT_EQ(answer.get(), 1);
}

TEST_F(ScreenshotTest, StatusBarScrollViewAndPictureButton)
{
	BWindow* window = PanelWindow(BRect(40, 40, 379, 239), "Progress");
	BStatusBar* bar = new BStatusBar(BRect(12, 10, 327, 45), "statusbar", "Installing: ",
		" of 12");
	fPanel->AddChild(bar);
	bar->SetMaxValue(100);
	bar->Update(40, "Tracker", "5");

	BView* list = new BView(BRect(12, 60, 200, 180), "list", B_FOLLOW_ALL, B_WILL_DRAW);
	BScrollView* scroller = new BScrollView("scroller", list, B_FOLLOW_ALL, 0, false, true);
	fPanel->AddChild(scroller);
	BScrollBar* scrollBar = scroller->ScrollBar(B_VERTICAL);
	scrollBar->SetRange(0, 200);
	scrollBar->SetProportion(0.4f);
	scrollBar->SetValue(50);

	// A help button's two pictures, as the installer records them.
	BPicture normal, pressed;
	fPanel->SetHighColor(0, 0, 0);
	fPanel->BeginPicture(&normal);
	fPanel->StrokeRect(BRect(0, 0, 17, 17));
	fPanel->SetHighColor(128, 128, 128);
	fPanel->FillRect(BRect(1, 1, 16, 16));
	fPanel->SetHighColor(255, 255, 255);
	fPanel->MovePenTo(5, 14);
	BFont font(be_bold_font);
	font.SetSize(12);
	fPanel->SetFont(&font);
	fPanel->DrawString("?");
	fPanel->EndPicture();
	fPanel->BeginPicture(&pressed);
	fPanel->DrawPicture(&normal, B_ORIGIN);
	fPanel->InvertRect(BRect(0, 0, 16, 16));
	fPanel->EndPicture();
	BPictureButton* help = new BPictureButton(BRect(230, 80, 247, 97), "helpbutton", &normal,
		&pressed, new BMessage('Help'));
	BPictureButton* down = new BPictureButton(BRect(260, 80, 277, 97), "pressed", &pressed,
		&normal, new BMessage('Help'));
	fPanel->AddChild(help);
	fPanel->AddChild(down);
	WriteAndCheck(window, "progress");
	QuitWindow(window);
}

TEST_F(ScreenshotTest, MenuFieldsOpenMenuAndText)
{
	BWindow* window = PanelWindow(BRect(300, 200, 780, 510), "Install Package");
	BTextView* description = new BTextView(BRect(8, 2, 472, 102), "description",
		BRect(2, 2, 462, 98), B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP, B_WILL_DRAW);
	description->SetViewColor(230, 230, 230);
	description->SetText("This package installs a small tool and its documentation. "
		"Choose the groups to install, the volume and the folder, then press Begin.");
	description->MakeEditable(false);
	description->MakeSelectable(false);
	fPanel->AddChild(description);

	BPopUpMenu* volumes = new BPopUpMenu("volumes");
	volumes->AddItem(new BMenuItem("boot", new BMessage('VolS')));
	volumes->AddItem(new BMenuItem("Data", new BMessage('VolS')));
	volumes->ItemAt(0)->SetMarked(true);
	BMenuField* volume = new BMenuField(BRect(8, 276, 173, 298), "Volume", "Install on",
		volumes);
	volume->SetDivider(44);
	fPanel->AddChild(volume);
	BPopUpMenu* folders = new BPopUpMenu("folders", false, false);
	folders->AddItem(new BMenuItem("apps", new BMessage('FolS')));
	folders->AddItem(new BMenuItem("home", new BMessage('FolS')));
	folders->AddItem(new BMenuItem("home/Desktop", new BMessage('FolS')));
	folders->AddSeparatorItem();
	folders->AddItem(new BMenuItem("Other...", new BMessage('FolS')));
	BMenuField* folder = new BMenuField(BRect(177, 276, 377, 298), "Folder", "in", folders);
	folder->SetDivider(18);
	folder->MenuItem()->SetLabel("apps");
	fPanel->AddChild(folder);
	BButton* begin = new BButton(BRect(389, 278, 464, 298), "installbutton", "Begin",
		new BMessage('inst'), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM);
	fPanel->AddChild(begin);
	begin->MakeDefault(true);
	WriteAndCheck(window, "install-like");

	ASSERT_EQ(Automation::Click(window->DisplayID(), "Folder"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(Automation::IsMenuOpen());
	std::string path = screenshot_path("menu");
	ASSERT_EQ(Automation::WriteScreenPNG(path.c_str()), B_OK);
	EXPECT_EQ(Automation::ClickAt(BPoint(5, 5)), B_OK);
	QuitWindow(window);
}
