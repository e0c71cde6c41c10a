// Pictures of the installer's widgets and windows in build/screenshots/
// for a person to look at: a list, a help window, labels with the
// separator, the icons, and an alert.

#include "DoError.h"
#include "FSIcons.h"
#include "HSeparator.h"
#include "HelpButton.h"
#include "LabelView.h"
#include "ListViewFixture.h"
#include "UiTestSupport.h"

#include <Bitmap.h>
#include <Screen.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include <cstring>
#include <future>

namespace {

// Rows drawn as a list of paths: selected rows in the selection colour.
class PathList : public TestList {
public:
	PathList(BRect frame) : TestList(frame, 0)
	{
		const char* paths[] = {"/boot/apps/Tool", "/boot/apps/Tool/Docs",
			"/boot/home/config/settings/Tool", "/boot/home/config/lib/libtool.so",
			"/Data/Projects/Tool/Examples", "/boot/apps/Tool/Tool.help"};
		for (const char* path : paths)
			fRows.AddItem(new StringItem(path));
	}

	void DrawItem(BRect, int32 index, BRect* itemFrame) override
	{
		BRect frame = itemFrame != NULL ? *itemFrame : ItemFrame(index);
		StringItem* item = fRows.ItemAt(index);
		SetHighColor(item->fSelected ? make_color(180, 200, 240) : kWhite);
		FillRect(frame);
		SetHighColor(kBlack);
		SetLowColor(item->fSelected ? make_color(180, 200, 240) : kWhite);
		DrawString(item->fText, BPoint(frame.left + 4, frame.bottom - fBaselineOffset));
		SetLowColor(kWhite);
	}
};

class ScreenshotsTest : public ListViewTest {
protected:
	void Write(int32 windowID, const char* name)
	{
		ASSERT_TRUE(Automation::WaitUntilIdle());
		std::string path = screenshot_path(name);
		ASSERT_EQ(Automation::WriteWindowPNG(windowID, path.c_str()), B_OK);
		cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
		EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << name;
		cairo_surface_destroy(image);
	}
};

} // namespace

TEST_F(ScreenshotsTest, ListView)
{
	BWindow* window = new BWindow(BRect(100, 100, 379, 199), "list", B_TITLED_WINDOW, 0);
	BView* panel = new BView(window->Bounds(), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
	panel->SetViewColor(230, 230, 230);
	window->AddChild(panel);
	PathList* list = new PathList(BRect(12, 12, 250, 85));
	panel->AddChild(new BScrollView("scroller", list, B_FOLLOW_ALL, 0, false, true));
	ASSERT_TRUE(window->Lock());
	list->SelectItem(1);
	list->SelectItem(2);
	list->MakeFocus(true);
	window->Unlock();
	window->Show();
	Write(window->DisplayID(), "ui-list-view");
	QuitWindow(window);
}

TEST_F(ScreenshotsTest, HelpButtonAndWindow)
{
	test_application();
	BWindow* window = new BWindow(BRect(100, 100, 299, 159), "panel", B_TITLED_WINDOW, 0);
	BView* panel = new BView(window->Bounds(), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
	panel->SetViewColor(230, 230, 230);
	window->AddChild(panel);
	ASSERT_TRUE(window->Lock());
	HelpButton::InitPicture(panel);
	panel->AddChild(new HelpButton(BRect(20, 20, 37, 37), B_FOLLOW_LEFT | B_FOLLOW_TOP,
		"Groups", "Each group is a part of the package. Select the groups you want "
		"installed; the size shown below adds up the selected groups."));
	window->Unlock();
	window->Show();
	Write(window->DisplayID(), "ui-help-button");
	ASSERT_EQ(Automation::Click(window->DisplayID(), "helpbutton"), B_OK);
	DisplayWindowInfo help;
	ASSERT_TRUE(Automation::WaitForWindow("Groups", &help));
	Write(help.id, "ui-help-window");
	// No window is left running into the program's exit.
	int helpWindows = 0;
	for (int32 i = be_app->CountWindows() - 1; i >= 0; i--) {
		BWindow* other = be_app->WindowAt(i);
		if (other != NULL && strcmp(other->Title(), "Groups") == 0) {
			QuitWindow(other);
			helpWindows++;
		}
	}
	EXPECT_EQ(helpWindows, 1);
	QuitWindow(window);
	EXPECT_TRUE(Automation::WaitUntilIdle());
	HelpButton::Free();
}

TEST_F(ScreenshotsTest, LabelsSeparatorAndIcons)
{
	app_info info;
	ASSERT_EQ(test_application()->GetAppInfo(&info), B_OK);
	SetGlobalIcons(info.ref);
	BVolume boot;
	BVolumeRoster().GetBootVolume(&boot);
	BBitmap* volumeIcon = SIconOfVolume(&boot);
	std::vector<BBitmap*> kinds;
	for (device_icon_kind kind : {kBootDeviceIcon, kFixedDeviceIcon, kRemovableDeviceIcon,
			kMemoryDeviceIcon}) {
		BBitmap* bitmap = new BBitmap(BRect(0, 0, 15, 15), B_COLOR_8_BIT);
		DrawDeviceIcon(kind, static_cast<uint8*>(bitmap->Bits()), bitmap->BytesPerRow());
		kinds.push_back(bitmap);
	}

	BWindow* window = new BWindow(BRect(100, 100, 459, 259), "widgets", B_TITLED_WINDOW, 0);
	DrawView* panel = new DrawView(window->Bounds(), [&](BView* v, BRect) {
		v->SetHighColor(230, 230, 230);
		v->FillRect(v->Bounds());
		DrawHSeparator(10, 309, 70, v);
		v->SetDrawingMode(B_OP_OVER);
		v->DrawBitmap(gYellowWarnIcon, BPoint(10, 80));
		v->DrawBitmap(gYellowWarnIcon, BRect(50, 80, 113, 143));
		v->DrawBitmap(gGenericFileSIcon, BPoint(130, 80));
		v->DrawBitmap(gGenericFolderSIcon, BPoint(150, 80));
		v->DrawBitmap(volumeIcon, BPoint(170, 80));
		v->DrawBitmap(gGenericFileSIcon, BRect(130, 100, 161, 131));
		v->DrawBitmap(gGenericFolderSIcon, BRect(170, 100, 201, 131));
		float x = 210;
		for (BBitmap* bitmap : kinds) {
			v->DrawBitmap(bitmap, BRect(x, 100, x + 31, 131));
			x += 36;
		}
		v->SetDrawingMode(B_OP_COPY);
	}, B_FOLLOW_ALL);
	panel->SetViewColor(230, 230, 230);
	window->AddChild(panel);
	panel->AddChild(new LabelView(BRect(10, 10, 309, 60),
		"This package installs Tool 2.0 and its documentation. Choose the groups, the "
		"volume and the folder, then press Begin."));
	window->Show();
	Write(window->DisplayID(), "ui-labels-and-icons");
	QuitWindow(window);
	delete volumeIcon;
	for (BBitmap* bitmap : kinds)
		delete bitmap;
}

TEST_F(ScreenshotsTest, ErrorAlert)
{
	auto answer = std::async(std::launch::async, [] {
		return doError("Could not read complete file header (%s).", "Input/output error",
			errCONTINUE, "Cancel");
	});
	DisplayWindowInfo alert;
	ASSERT_TRUE(Automation::WaitForWindow("", &alert));
	Write(alert.id, "ui-error-alert");
	ASSERT_TRUE(Automation::WaitUntilIdle());
	std::string screen = screenshot_path("ui-error-alert-screen");
	ASSERT_EQ(Automation::WriteScreenPNG(screen.c_str()), B_OK);
	EXPECT_EQ(Automation::Click(alert.id, "Cancel"), B_OK);
	EXPECT_EQ(answer.get(), 1);
}
