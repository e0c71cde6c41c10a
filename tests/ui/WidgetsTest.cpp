// The small widgets and the shared icons: the separator's colours, labels
// that wrap inside their bounds, icons made transparent and drawn over,
// the icons bound into the program, and the icons of volumes.

#include "FSIcons.h"
#include "HSeparator.h"
#include "LabelView.h"
#include "UiTestSupport.h"

#include <InterfaceFixture.h>
#include <MountedVolume.h>
#include <TempRoot.h>

#include <Bitmap.h>
#include <Screen.h>
#include <ScrollBar.h>
#include <Volume.h>
#include <VolumeRoster.h>
#include <fs_info.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

const rgb_color kPanel = {230, 230, 230, 255};

class WidgetsTest : public InterfaceTest {};

std::vector<uint8>
ReadResourceData(const char* file)
{
	std::ifstream stream(std::string(KESTROVAN_RESOURCE_DIR) + "/" + file, std::ios::binary);
	return std::vector<uint8>(std::istreambuf_iterator<char>(stream), {});
}

// The bitmap's pixels, row by row, without the row padding.
std::vector<uint8>
PixelsOf(const BBitmap* bitmap)
{
	std::vector<uint8> pixels;
	int32 width = bitmap->Bounds().IntegerWidth() + 1;
	int32 height = bitmap->Bounds().IntegerHeight() + 1;
	const uint8* bits = static_cast<const uint8*>(bitmap->Bits());
	for (int32 y = 0; y < height; y++)
		pixels.insert(pixels.end(), bits + y * bitmap->BytesPerRow(),
			bits + y * bitmap->BytesPerRow() + width);
	return pixels;
}

} // namespace

TEST_F(WidgetsTest, TheSeparatorIsGreyOverWhiteAndKeepsTheHighColour)
{
	rgb_color highAfter = kBlack;
	DrawView* view = new DrawView(BRect(0, 0, 63, 39), [&](BView* v, BRect) {
		v->SetHighColor(kPanel);
		v->FillRect(v->Bounds());
		v->SetHighColor(kRed);
		DrawHSeparator(10, 50, 20, v);
		highAfter = v->HighColor();
	});
	BWindow* window = ShowWindow(view, BRect(100, 100, 163, 139));
	auto pixels = Capture(window);
	for (int x : {10, 30, 50}) {
		EXPECT_TRUE(same_rgb(pixels->At(x, 20), make_color(128, 128, 128))) << x;
		EXPECT_TRUE(same_rgb(pixels->At(x, 21), kWhite)) << x;
		EXPECT_TRUE(same_rgb(pixels->At(x, 19), kPanel)) << x;
		EXPECT_TRUE(same_rgb(pixels->At(x, 22), kPanel)) << x;
	}
	EXPECT_TRUE(same_rgb(pixels->At(9, 20), kPanel));
	EXPECT_TRUE(same_rgb(pixels->At(51, 21), kPanel));
	EXPECT_EQ(highAfter, kRed);
	QuitWindow(window);
}

TEST_F(WidgetsTest, ALabelTakesItsParentsColourAndWrapsInsideItsBounds)
{
	BView* panel = new BView(BRect(0, 0, 299, 99), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
	panel->SetViewColor(kPanel);
	LabelView* label = new LabelView(BRect(10, 10, 289, 80),
		"This package installs the tool and its documentation into the folder you "
		"choose below. Pick the groups you want.");
	panel->AddChild(label);
	BWindow* window = ShowWindow(panel, BRect(100, 100, 399, 199));
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(label->ViewColor(), kPanel);
	EXPECT_EQ(label->LowColor(), kPanel);
	EXPECT_EQ(label->TextRect(), label->Bounds().InsetByCopy(2, 2));
	EXPECT_TRUE(label->DoesWordWrap());
	EXPECT_FALSE(label->IsSelectable());
	EXPECT_FALSE(label->IsEditable());
	EXPECT_EQ(label->ResizingMode(), (uint32)(B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
	BFont font;
	label->GetFontAndColor(&font, nullptr);
	EXPECT_EQ(font.Size(), 10);
	int32 wideLines = label->CountLines();
	// Narrower: the label follows the window's width and wraps again.
	window->ResizeBy(-150, 0);
	// (Beside the scroll bar it takes when the text grows taller than it.)
	float barWidth = label->ShownScrollBar() != nullptr ? B_V_SCROLL_BAR_WIDTH : 0;
	EXPECT_EQ(label->Bounds().Width() + barWidth, 279 - 150);
	EXPECT_EQ(label->TextRect(), label->Bounds().InsetByCopy(2, 2));
	EXPECT_GT(label->CountLines(), wideLines);
	window->Unlock();
	auto pixels = Capture(window);
	// The label's background is the panel's.
	EXPECT_TRUE(same_rgb(pixels->At(12, 78), kPanel));
	QuitWindow(window);
}

TEST_F(WidgetsTest, IconPixelsBecomeTransparentAndBitmaps)
{
	BScreen screen;
	uint8 white = screen.IndexForColor(255, 255, 255);
	uint8 red = screen.IndexForColor(255, 0, 0);
	uint8 bytes[6] = {white, red, white, 7, red, white};
	MakeTransparent(bytes, 5, make_color(255, 255, 255, 0));
	EXPECT_EQ(bytes[0], B_TRANSPARENT_8_BIT);
	EXPECT_EQ(bytes[1], red);
	EXPECT_EQ(bytes[2], B_TRANSPARENT_8_BIT);
	EXPECT_EQ(bytes[3], 7);
	// Only `length` bytes are looked at.
	EXPECT_EQ(bytes[5], white);
	MakeTransparent(nullptr, 10, kWhite);

	BBitmap* bitmap = reinterpret_cast<BBitmap*>(1);
	MakeIconBitmap(&bitmap, BRect(0, 0, 15, 15), nullptr, B_COLOR_8_BIT);
	EXPECT_EQ(bitmap, nullptr);

	// 3 x 2 pixels: rows of three bytes, whatever the bitmap pads them to.
	uint8* pixels = static_cast<uint8*>(malloc(6));
	uint8 source[6] = {1, 2, 3, 4, 5, 6};
	memcpy(pixels, source, 6);
	MakeIconBitmap(&bitmap, BRect(0, 0, 2, 1), pixels, B_COLOR_8_BIT);
	ASSERT_NE(bitmap, nullptr);
	EXPECT_EQ(bitmap->Bounds(), BRect(0, 0, 2, 1));
	EXPECT_EQ(bitmap->ColorSpace(), B_COLOR_8_BIT);
	EXPECT_EQ(PixelsOf(bitmap), std::vector<uint8>(source, source + 6));
	delete bitmap;
}

TEST_F(WidgetsTest, TransparentIconPixelsLetTheBackgroundThrough)
{
	BScreen screen;
	uint8 white = screen.IndexForColor(255, 255, 255);
	uint8 blue = screen.IndexForColor(0, 0, 255);
	uint8* pixels = static_cast<uint8*>(malloc(16 * 16));
	for (int i = 0; i < 256; i++)
		pixels[i] = (i % 16) < 8 ? white : blue;
	MakeTransparent(pixels, 256, make_color(255, 255, 255, 0));
	BBitmap* icon = nullptr;
	MakeIconBitmap(&icon, BRect(0, 0, 15, 15), pixels, B_COLOR_8_BIT);
	ASSERT_NE(icon, nullptr);
	DrawView* view = new DrawView(BRect(0, 0, 31, 31), [icon](BView* v, BRect) {
		v->SetHighColor(kRed);
		v->FillRect(v->Bounds());
		v->SetDrawingMode(B_OP_OVER);
		v->DrawBitmap(icon, BPoint(4, 4));
		v->SetDrawingMode(B_OP_COPY);
	});
	BWindow* window = ShowWindow(view, BRect(100, 100, 131, 131));
	auto shown = Capture(window);
	EXPECT_TRUE(same_rgb(shown->At(5, 10), kRed));
	EXPECT_TRUE(same_rgb(shown->At(11, 10), kRed));
	EXPECT_TRUE(same_rgb(shown->At(12, 10), screen.ColorForIndex(blue)));
	EXPECT_TRUE(same_rgb(shown->At(19, 19), screen.ColorForIndex(blue)));
	EXPECT_TRUE(same_rgb(shown->At(20, 10), kRed));
	QuitWindow(window);
	delete icon;
}

TEST_F(WidgetsTest, TheGlobalIconsComeFromTheProgramsResources)
{
	app_info info;
	ASSERT_EQ(test_application()->GetAppInfo(&info), B_OK);
	SetGlobalIcons(info.ref);
	ASSERT_NE(gYellowWarnIcon, nullptr);
	ASSERT_NE(gGenericFileSIcon, nullptr);
	ASSERT_NE(gGenericFolderSIcon, nullptr);
	EXPECT_EQ(gYellowWarnIcon->Bounds(), BRect(0, 0, 31, 31));
	EXPECT_EQ(gGenericFileSIcon->Bounds(), BRect(0, 0, 15, 15));
	EXPECT_EQ(gGenericFolderSIcon->ColorSpace(), B_COLOR_8_BIT);

	// The bound data with white made transparent.
	uint8 white = BScreen().IndexForColor(255, 255, 255);
	struct {
		BBitmap* icon;
		const char* file;
	} expected[] = {{gYellowWarnIcon, "yellowicon.8bmp"},
		{gGenericFileSIcon, "filesmall.8bmp"}, {gGenericFolderSIcon, "foldersmall.8bmp"}};
	for (const auto& entry : expected) {
		std::vector<uint8> data = ReadResourceData(entry.file);
		ASSERT_FALSE(data.empty()) << entry.file;
		int transparent = 0;
		for (uint8& pixel : data) {
			if (pixel == white) {
				pixel = B_TRANSPARENT_8_BIT;
				transparent++;
			}
		}
		EXPECT_GT(transparent, 0) << entry.file;
		EXPECT_EQ(PixelsOf(entry.icon), data) << entry.file;
	}
	// The warning icon: transparent corners, a yellow inside.
	std::vector<uint8> warning = PixelsOf(gYellowWarnIcon);
	EXPECT_EQ(warning[0], B_TRANSPARENT_8_BIT);
	rgb_color inside = BScreen().ColorForIndex(warning[22 * 32 + 10]);
	EXPECT_GT(inside.red, 200);
	EXPECT_GT(inside.green, 150);
	EXPECT_LT(inside.blue, 80);

	// A program file without the icons: the warning icon still exists (all
	// transparent), the small ones are null.
	char path[] = "/tmp/kestrovan-noicons-XXXXXX";
	int fd = mkstemp(path);
	ASSERT_GE(fd, 0);
	ASSERT_EQ(write(fd, "no resources", 12), 12);
	close(fd);
	entry_ref bare;
	ASSERT_EQ(get_ref_for_host_path(path, &bare), B_OK);
	SetGlobalIcons(bare);
	unlink(path);
	ASSERT_NE(gYellowWarnIcon, nullptr);
	EXPECT_EQ(gYellowWarnIcon->Bounds(), BRect(0, 0, 31, 31));
	EXPECT_EQ(PixelsOf(gYellowWarnIcon), std::vector<uint8>(1024, B_TRANSPARENT_8_BIT));
	EXPECT_EQ(gGenericFileSIcon, nullptr);
	EXPECT_EQ(gGenericFolderSIcon, nullptr);
}

TEST(VolumeIconTest, TheIconShowsTheKindOfDevice)
{
	// Mounting needs a namespace of the process's own, entered before any
	// thread starts.
	std::string reason = MountedVolume::EnterPrivateNamespace();
	TempRoot root;
	ASSERT_EQ(root.InitCheck(), B_OK);

	auto expectedArt = [](device_icon_kind kind) {
		std::vector<uint8> bits(16 * 16);
		DrawDeviceIcon(kind, bits.data(), 16);
		return bits;
	};
	// The four pictures differ.
	EXPECT_NE(expectedArt(kBootDeviceIcon), expectedArt(kFixedDeviceIcon));
	EXPECT_NE(expectedArt(kFixedDeviceIcon), expectedArt(kRemovableDeviceIcon));
	EXPECT_NE(expectedArt(kRemovableDeviceIcon), expectedArt(kMemoryDeviceIcon));

	BVolume boot;
	ASSERT_EQ(BVolumeRoster().GetBootVolume(&boot), B_OK);
	BBitmap* icon = SIconOfVolume(&boot);
	ASSERT_NE(icon, nullptr);
	EXPECT_EQ(icon->Bounds(), BRect(0, 0, 15, 15));
	EXPECT_EQ(icon->ColorSpace(), B_COLOR_8_BIT);
	fs_info info;
	ASSERT_EQ(fs_stat_dev(boot.Device(), &info), B_OK);
	bool bootInMemory = strcmp(info.fsh_name, "tmpfs") == 0
		|| strcmp(info.fsh_name, "ramfs") == 0;
	EXPECT_EQ(PixelsOf(icon), expectedArt(bootInMemory ? kMemoryDeviceIcon : kBootDeviceIcon));
	EXPECT_STREQ(info.volume_name, "boot");
	delete icon;

	// A device that is no volume has no file system information.
	EXPECT_NE(fs_stat_dev(12345, &info), B_OK);

	if (!reason.empty())
		GTEST_SKIP() << reason;
	MountedVolume memory;
	std::string failure = memory.Mount(MountedVolume::kTmpfs, root.HostPath("Memory"), 4);
	if (!failure.empty())
		GTEST_SKIP() << failure;
	MountedVolume disk;
	std::string diskFailure = disk.Mount(MountedVolume::kExt4, root.HostPath("Disk"), 8);
	ASSERT_EQ(set_system_root(root.HostPath().c_str()), B_OK);

	BVolume volume;
	BVolumeRoster roster;
	bool sawMemory = false, sawDisk = false;
	while (roster.GetNextVolume(&volume) == B_OK) {
		char name[B_FILE_NAME_LENGTH];
		volume.GetName(name);
		BBitmap* volumeIcon = SIconOfVolume(&volume);
		if (strcmp(name, "Memory") == 0) {
			EXPECT_EQ(PixelsOf(volumeIcon), expectedArt(kMemoryDeviceIcon));
			sawMemory = true;
		} else if (strcmp(name, "Disk") == 0) {
			EXPECT_EQ(PixelsOf(volumeIcon), expectedArt(kFixedDeviceIcon));
			sawDisk = true;
		}
		delete volumeIcon;
	}
	EXPECT_TRUE(sawMemory);
	EXPECT_EQ(sawDisk, diskFailure.empty()) << diskFailure;
}
