// Menu items with an icon before their label: their size, where icon and
// label are drawn, the icon they keep, and choosing them from code.

#include "FSIcons.h"
#include "IconMenuItem.h"

#include <InterfaceFixture.h>
#include <MessageLog.h>

#include <Bitmap.h>
#include <Menu.h>
#include <Screen.h>

#include <cmath>
#include <cstdlib>

namespace {

// Opens up what the menu asks of an item.
class ProbeItem : public IconMenuItem {
public:
	using IconMenuItem::IconMenuItem;

	void Size(float* width, float* height) { GetContentSize(width, height); }
	BPoint Location() const { return ContentLocation(); }
};

// A 16 x 16 blue icon whose left column is transparent.
BBitmap*
BlueIcon()
{
	BScreen screen;
	uint8* pixels = static_cast<uint8*>(malloc(256));
	for (int i = 0; i < 256; i++)
		pixels[i] = i % 16 == 0 ? B_TRANSPARENT_8_BIT : screen.IndexForColor(0, 0, 255);
	BBitmap* icon = nullptr;
	MakeIconBitmap(&icon, BRect(0, 0, 15, 15), pixels, B_COLOR_8_BIT);
	return icon;
}

bool
is_blue(rgb_color color)
{
	return color.blue > 200 && color.red < 60 && color.green < 60;
}

bool
is_dark(rgb_color color)
{
	return color.red < 100 && color.green < 100 && color.blue < 100;
}

class IconMenuItemTest : public InterfaceTest {};

} // namespace

TEST_F(IconMenuItemTest, ContentSizeMakesRoomForTheIcon)
{
	BMenu* menu = new BMenu("volumes");
	ProbeItem* item = new ProbeItem("boot", BlueIcon(), new BMessage('VolS'), true);
	BMenu* submenu = new BMenu("folders");
	ProbeItem* bar = new ProbeItem(nullptr, submenu);
	menu->AddItem(item);
	menu->AddItem(bar);
	BFont font;
	menu->GetFont(&font);
	float width = 0, height = 0;
	item->Size(&width, &height);
	EXPECT_EQ(width, ceilf(font.StringWidth("boot")) + 20);
	EXPECT_GE(height, 16);
	bar->Size(&width, &height);
	EXPECT_STREQ(bar->Label(), "folders");
	EXPECT_EQ(bar->Submenu(), submenu);
	EXPECT_EQ(width, ceilf(font.StringWidth("folders")) + 38);
	EXPECT_GE(height, 16);
	delete menu;
}

TEST_F(IconMenuItemTest, OnlyAnItemThatDoesNotOwnItsIconTakesAnother)
{
	BBitmap* owned = BlueIcon();
	IconMenuItem volumeItem("boot", owned, new BMessage('VolS'), true);
	BBitmap* other = BlueIcon();
	volumeItem.SetIcon(other);
	EXPECT_EQ(volumeItem.GetIcon(), owned);

	IconMenuItem barItem(other, new BMenu("folders"));
	BBitmap* replacement = BlueIcon();
	barItem.SetIcon(replacement);
	EXPECT_EQ(barItem.GetIcon(), replacement);
	barItem.SetIcon(nullptr);
	EXPECT_EQ(barItem.GetIcon(), nullptr);
	delete other;
	delete replacement;
}

TEST_F(IconMenuItemTest, TheIconIsDrawnOverBeforeTheLabel)
{
	BMenu* menu = new BMenu("volumes");
	ProbeItem* withIcon = new ProbeItem("boot", BlueIcon(), new BMessage('VolS'), true);
	ProbeItem* without = new ProbeItem("Data", nullptr, new BMessage('VolS'), false);
	menu->AddItem(withIcon);
	menu->AddItem(without);
	BWindow* window = ShowWindow(menu, BRect(100, 100, 299, 199));
	BRect frame;
	BPoint location;
	rgb_color background = kWhite;
	float labelWidth = 0;
	Locked(window, [&] {
		frame = withIcon->Frame();
		location = withIcon->Location();
		background = menu->ViewColor();
		labelWidth = menu->StringWidth("boot");
	});
	auto pixels = Capture(window);
	float iconTop = frame.bottom - 17;
	// The icon's transparent column shows the menu; the rest is blue.
	EXPECT_TRUE(same_rgb(pixels->At(location.x, iconTop + 8), background));
	EXPECT_TRUE(is_blue(pixels->At(location.x + 1, iconTop + 8)));
	EXPECT_TRUE(is_blue(pixels->At(location.x + 15, iconTop + 15)));
	EXPECT_FALSE(is_blue(pixels->At(location.x + 16, iconTop + 8)));
	// The label starts 20 in: nothing dark before, text after.
	auto darkIn = [&](BRect area) {
		int dark = 0;
		for (int y = area.top; y <= area.bottom; y++) {
			for (int x = area.left; x <= area.right; x++)
				dark += is_dark(pixels->At(x, y)) ? 1 : 0;
		}
		return dark;
	};
	EXPECT_EQ(darkIn(BRect(location.x + 16, frame.top, location.x + 19, frame.bottom)), 0);
	EXPECT_GT(darkIn(BRect(location.x + 20, frame.top, location.x + 20 + labelWidth,
		frame.bottom)), 5);

	// Without an icon only the label, still 20 in.
	Locked(window, [&] {
		frame = without->Frame();
		location = without->Location();
	});
	EXPECT_EQ(darkIn(BRect(location.x, frame.top, location.x + 19, frame.bottom)), 0);
	EXPECT_GT(darkIn(BRect(location.x + 20, frame.top, location.x + 60, frame.bottom)), 5);
	for (int x = location.x; x < location.x + 16; x++)
		EXPECT_FALSE(is_blue(pixels->At(x, frame.bottom - 9)));
	QuitWindow(window);
}

TEST_F(IconMenuItemTest, MyInvokePostsTheMessageWithTheItemsIndex)
{
	auto log = std::make_shared<MessageLog>();
	LoggingLooper* looper = new LoggingLooper(log);
	looper->Run();
	BMenu* menu = new BMenu("folders");
	BMessage* model = new BMessage('FolS');
	model->AddString("path", "/boot/apps");
	IconMenuItem* first = new IconMenuItem("apps", nullptr, new BMessage('FolS'), false);
	IconMenuItem* second = new IconMenuItem("apps", nullptr, model, false);
	menu->AddItem(first);
	menu->AddItem(second);
	second->SetTarget(looper);
	second->MyInvoke();
	ASSERT_TRUE(log->WaitForCount(1));
	BMessage sent = log->At(0);
	EXPECT_EQ(sent.what, (uint32)'FolS');
	EXPECT_EQ(sent.GetInt32("index", -1), 1);
	EXPECT_STREQ(sent.GetString("path", ""), "/boot/apps");
	// The model message itself is left as it was.
	EXPECT_EQ(second->Message()->GetInt32("index", -7), -7);
	delete menu;
	ASSERT_TRUE(looper->Lock());
	looper->Quit();
}
