#include <InterfaceFixture.h>
#include <MessageLog.h>

#include <Bitmap.h>
#include <Button.h>
#include <StringView.h>

#include <algorithm>
#include <cmath>
#include <memory>

// Windows drawn at a display scale: their pictures hold twice the pixels
// of their layout at scale 2, drawn at that resolution (text rendered
// anew, bitmaps doubled pixel for pixel), while views, frames and clicks
// stay in layout units.

namespace {

const rgb_color kPanel = {216, 216, 216, 255};

// The box holding every pixel darker than the panel, in a picture's
// region.
BRect
dark_box(const Pixels& pixels, BRect region)
{
	BRect box;
	for (int32 y = region.top; y <= region.bottom; y++) {
		for (int32 x = region.left; x <= region.right; x++) {
			if (pixels.At(x, y).red >= 128)
				continue;
			box = box.IsValid() ? box | BRect(x, y, x, y) : BRect(x, y, x, y);
		}
	}
	return box;
}

} // namespace

class ScaledRenderingTest : public InterfaceTest {
protected:
	void TearDown() override
	{
		InterfaceTest::TearDown();
		UseScale(1);
	}

	// The scale may change once the windows of earlier tests are gone.
	void UseScale(float scale)
	{
		ASSERT_TRUE(WaitUntil([] { return Automation::Windows().empty(); }));
		ASSERT_EQ(DisplayBackend::Default()->SetScale(scale), B_OK);
	}

	// A grey panel holding `content`, pictured at `scale`.
	std::unique_ptr<Pixels> Picture(float scale, BView* content)
	{
		UseScale(scale);
		BWindow* window = new BWindow(BRect(100, 100, 299, 179), "Scaled",
			B_TITLED_WINDOW, 0);
		BView* panel = new BView(window->Bounds(), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
		panel->SetViewColor(kPanel);
		window->AddChild(panel);
		panel->AddChild(content);
		window->Show();
		std::unique_ptr<Pixels> pixels = Capture(window);
		QuitWindow(window);
		return pixels;
	}
};

TEST_F(ScaledRenderingTest, AWindowPictureAtScale2IsTwiceItsSizeWithEdgesAtDoubledPlaces)
{
	std::unique_ptr<Pixels> single = Picture(1, new BButton(BRect(20, 20, 99, 43), "begin",
		"Begin", new BMessage('begn')));
	std::unique_ptr<Pixels> twice = Picture(2, new BButton(BRect(20, 20, 99, 43), "begin",
		"Begin", new BMessage('begn')));
	ASSERT_TRUE(single->IsValid() && twice->IsValid());
	EXPECT_EQ(single->Width(), 200);
	EXPECT_EQ(single->Height(), 80);
	EXPECT_EQ(twice->Width(), 400);
	EXPECT_EQ(twice->Height(), 160);

	// The button's left edge, top to bottom away from its corners and its
	// label: each pixel of it at scale 1 is a 2 x 2 block at scale 2, and
	// the panel lies just outside at both.
	rgb_color edge = single->At(20, 31);
	EXPECT_FALSE(same_rgb(edge, kPanel)) << "the button draws no edge";
	for (int32 y = 26; y <= 37; y++) {
		rgb_color expected = single->At(20, y);
		for (int32 dy = 0; dy < 2; dy++) {
			for (int32 dx = 0; dx < 2; dx++) {
				EXPECT_TRUE(same_rgb(twice->At(40 + dx, 2 * y + dy), expected))
					<< "at " << 40 + dx << "," << 2 * y + dy << ": "
					<< twice->At(40 + dx, 2 * y + dy) << " for " << expected;
			}
		}
		EXPECT_TRUE(same_rgb(twice->At(39, 2 * y), single->At(19, y)));
	}
}

TEST_F(ScaledRenderingTest, TextIsRenderedAtTheScaleNotEnlarged)
{
	std::unique_ptr<Pixels> single = Picture(1, new BStringView(BRect(10, 10, 189, 29),
		"label", "Install Kestrel"));
	std::unique_ptr<Pixels> twice = Picture(2, new BStringView(BRect(10, 10, 189, 29),
		"label", "Install Kestrel"));
	BRect small = dark_box(*single, BRect(0, 0, 199, 79));
	BRect large = dark_box(*twice, BRect(0, 0, 399, 159));
	ASSERT_TRUE(small.IsValid()) << "no text at scale 1";
	ASSERT_TRUE(large.IsValid()) << "no text at scale 2";
	// Where doubled geometry puts it, give or take a pixel of rendering.
	EXPECT_NEAR(large.left, 2 * small.left, 2);
	EXPECT_NEAR(large.top, 2 * small.top, 2);
	EXPECT_NEAR(large.right, 2 * small.right + 1, 2);
	EXPECT_NEAR(large.bottom, 2 * small.bottom + 1, 2);

	// An enlarged picture of small text is made of uniform 2 x 2 blocks;
	// text drawn at the resolution has edges inside the blocks.
	int32 mixedBlocks = 0;
	for (int32 y = static_cast<int32>(large.top) & ~1; y + 1 <= large.bottom; y += 2) {
		for (int32 x = static_cast<int32>(large.left) & ~1; x + 1 <= large.right; x += 2) {
			rgb_color corner = twice->At(x, y);
			if (!same_rgb(twice->At(x + 1, y), corner) || !same_rgb(twice->At(x, y + 1), corner)
				|| !same_rgb(twice->At(x + 1, y + 1), corner)) {
				mixedBlocks++;
			}
		}
	}
	EXPECT_GT(mixedBlocks, 20);
}

TEST_F(ScaledRenderingTest, BitmapsAreDoubledPixelForPixel)
{
	// Four squares of colour, as an icon's pixels.
	auto draw = [](BView* view, BRect) {
		BBitmap bitmap(BRect(0, 0, 1, 1), B_RGB32);
		uint8* bits = static_cast<uint8*>(bitmap.Bits());
		const uint8 colors[4][3] = {{255, 0, 0}, {0, 0, 255}, {0, 128, 0}, {0, 0, 0}};
		for (int32 i = 0; i < 4; i++) {
			uint8* pixel = bits + (i / 2) * bitmap.BytesPerRow() + (i % 2) * 4;
			pixel[0] = colors[i][2];
			pixel[1] = colors[i][1];
			pixel[2] = colors[i][0];
			pixel[3] = 255;
		}
		view->DrawBitmap(&bitmap, BRect(0, 0, 7, 7));
	};
	std::unique_ptr<Pixels> twice = Picture(2, new DrawView(BRect(30, 30, 37, 37), draw));
	// The bitmap fills 8 x 8 units, 16 x 16 pixels from (60, 60): each of
	// its pixels an exact 8 x 8 block, no blend at the seams.
	const rgb_color expected[4] = {kRed, kBlue, make_color(0, 128, 0), kBlack};
	for (int32 i = 0; i < 4; i++) {
		int32 left = 60 + (i % 2) * 8;
		int32 top = 60 + (i / 2) * 8;
		for (int32 y = top; y < top + 8; y++) {
			for (int32 x = left; x < left + 8; x++) {
				ASSERT_TRUE(same_rgb(twice->At(x, y), expected[i]))
					<< "at " << x << "," << y << ": " << twice->At(x, y);
			}
		}
	}
}

TEST_F(ScaledRenderingTest, TheScreenPictureHoldsEachWindowAtItsDoubledPlace)
{
	UseScale(2);
	BWindow* window = ShowWindow(new DrawView(BRect(0, 0, 63, 63), [](BView* view, BRect) {
		view->SetHighColor(kRed);
		view->FillRect(view->Bounds());
	}));
	ASSERT_TRUE(Automation::WaitUntilIdle());
	Pixels screen(Automation::CaptureScreen());
	BRect frame = DisplayBackend::Default()->ScreenFrame();
	EXPECT_EQ(screen.Width(), 2 * (frame.IntegerWidth() + 1));
	EXPECT_EQ(screen.Height(), 2 * (frame.IntegerHeight() + 1));
	// The window's content spans (100, 100)-(163, 163) in layout units.
	EXPECT_TRUE(same_rgb(screen.At(200, 200), kRed)) << screen.At(200, 200);
	EXPECT_TRUE(same_rgb(screen.At(327, 327), kRed)) << screen.At(327, 327);
	EXPECT_FALSE(same_rgb(screen.At(199, 199), kRed));
	EXPECT_FALSE(same_rgb(screen.At(328, 328), kRed));
	QuitWindow(window);
}

TEST_F(ScaledRenderingTest, TheScaleIsFixedWhileWindowsExistAndMustMakeSense)
{
	EXPECT_EQ(DisplayBackend::Default()->SetScale(0.5f), B_BAD_VALUE);
	EXPECT_EQ(DisplayBackend::Default()->SetScale(NAN), B_BAD_VALUE);
	EXPECT_EQ(DisplayBackend::Default()->SetScale(5), B_BAD_VALUE);
	UseScale(2);
	BWindow* window = ShowWindow(nullptr);
	EXPECT_EQ(DisplayBackend::Default()->SetScale(1), B_NOT_ALLOWED);
	EXPECT_EQ(DisplayBackend::Default()->SetScale(2), B_OK);
	EXPECT_EQ(DisplayBackend::Default()->Scale(), 2.0f);
	QuitWindow(window);
}
