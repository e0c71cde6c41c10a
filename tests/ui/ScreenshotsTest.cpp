// Pictures of the installer's widgets and windows in build/screenshots/
// for a person to look at: a list, a help window, labels with the
// separator, the icons, and an alert. Each picture is checked for pixels
// only the drawn widgets give (text, the selection, the icons), so that a
// widget that draws nothing fails.

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

#include <algorithm>
#include <cstring>
#include <functional>
#include <future>

namespace {

struct Pixel {
	int red, green, blue;
};

bool IsText(const Pixel& p) { return p.red < 90 && p.green < 90 && p.blue < 90; }
bool IsSelection(const Pixel& p) { return p.red == 180 && p.green == 200 && p.blue == 240; }
bool IsWarningYellow(const Pixel& p) { return p.red > 200 && p.green > 150 && p.blue < 110; }
bool IsNotPanelGrey(const Pixel& p) { return p.red != 230 || p.green != 230 || p.blue != 230; }

// How many pixels of the picture at `path` inside `area` (all of it when
// not valid) the predicate accepts.
int
CountPixels(const std::string& path, BRect area, const std::function<bool(const Pixel&)>& accepts)
{
	cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
	if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
		cairo_surface_destroy(image);
		return -1;
	}
	cairo_surface_flush(image);
	int width = cairo_image_surface_get_width(image);
	int height = cairo_image_surface_get_height(image);
	int stride = cairo_image_surface_get_stride(image);
	const unsigned char* data = cairo_image_surface_get_data(image);
	if (!area.IsValid())
		area = BRect(0, 0, width - 1, height - 1);
	int count = 0;
	for (int y = std::max(0, (int)area.top); y <= std::min(height - 1, (int)area.bottom); y++) {
		const uint32_t* row = reinterpret_cast<const uint32_t*>(data + y * stride);
		for (int x = std::max(0, (int)area.left); x <= std::min(width - 1, (int)area.right); x++) {
			uint32_t argb = row[x];
			Pixel pixel = {(int)((argb >> 16) & 0xff), (int)((argb >> 8) & 0xff),
				(int)(argb & 0xff)};
			if (accepts(pixel))
				count++;
		}
	}
	cairo_surface_destroy(image);
	return count;
}

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
		BRect frame = itemFrame != nullptr ? *itemFrame : ItemFrame(index);
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
	// Writes the window's picture and gives its path.
	std::string Write(int32 windowID, const char* name)
	{
		EXPECT_TRUE(Automation::WaitUntilIdle());
		std::string path = screenshot_path(name);
		EXPECT_EQ(Automation::WriteWindowPNG(windowID, path.c_str()), B_OK);
		return path;
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
	std::string picture = Write(window->DisplayID(), "ui-list-view");
	// Two selected rows of the list, and the paths written in it.
	EXPECT_GT(CountPixels(picture, BRect(13, 13, 235, 84), IsSelection), 2 * 200);
	EXPECT_GT(CountPixels(picture, BRect(13, 13, 235, 84), IsText), 150);
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
	std::string button = Write(window->DisplayID(), "ui-help-button");
	EXPECT_GT(CountPixels(button, BRect(20, 20, 37, 37), IsNotPanelGrey), 50)
		<< "the button's picture";
	EXPECT_EQ(CountPixels(button, BRect(60, 20, 190, 50), IsNotPanelGrey), 0)
		<< "nothing beside it";
	ASSERT_EQ(Automation::Click(window->DisplayID(), "helpbutton"), B_OK);
	DisplayWindowInfo help;
	ASSERT_TRUE(Automation::WaitForWindow("Groups", &help));
	EXPECT_GT(CountPixels(Write(help.id, "ui-help-window"), BRect(), IsText), 300)
		<< "the help text";
	// No window is left running into the program's exit.
	int helpWindows = 0;
	for (int32 i = be_app->CountWindows() - 1; i >= 0; i--) {
		BWindow* other = be_app->WindowAt(i);
		if (other != nullptr && strcmp(other->Title(), "Groups") == 0) {
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
	std::string picture = Write(window->DisplayID(), "ui-labels-and-icons");
	EXPECT_GT(CountPixels(picture, BRect(10, 10, 309, 60), IsText), 300) << "the label's text";
	EXPECT_GT(CountPixels(picture, BRect(10, 80, 113, 143), IsWarningYellow), 200)
		<< "the warning icon, small and large";
	EXPECT_GT(CountPixels(picture, BRect(130, 80, 185, 131), IsNotPanelGrey), 300)
		<< "the file, folder and volume icons";
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
	std::string picture = Write(alert.id, "ui-error-alert");
	EXPECT_GT(CountPixels(picture, BRect(), IsText), 300) << "the alert's text and buttons";
	EXPECT_GT(CountPixels(picture, BRect(), IsWarningYellow), 100) << "its icon";
	ASSERT_TRUE(Automation::WaitUntilIdle());
	std::string screen = screenshot_path("ui-error-alert-screen");
	ASSERT_EQ(Automation::WriteScreenPNG(screen.c_str()), B_OK);
	EXPECT_EQ(Automation::Click(alert.id, "Cancel"), B_OK);
	EXPECT_EQ(answer.get(), 1);
}
