#include <InterfaceFixture.h>

#include <Bitmap.h>
#include <Picture.h>
#include <Screen.h>

#include <vector>

// Everything drawn lands exactly on the pixels the platform's conventions
// name: rectangles include their right and bottom edges.

namespace {

// Counts the pixels of a colour inside a rectangle of the snapshot.
int32
count_color(const Pixels& pixels, BRect area, rgb_color color)
{
	int32 count = 0;
	for (int32 y = area.top; y <= area.bottom; y++) {
		for (int32 x = area.left; x <= area.right; x++) {
			if (same_rgb(pixels.At(x, y), color))
				count++;
		}
	}
	return count;
}

} // namespace

class DrawingTest : public InterfaceTest {
};

TEST_F(DrawingTest, StrokeRectCoversExactlyTheInclusiveOutline)
{
	DrawView* view = new DrawView(BRect(0, 0, 63, 63), [](BView* v, BRect) {
		v->SetHighColor(kBlack);
		v->StrokeRect(BRect(0, 0, 17, 17));
	});
	BWindow* window = ShowWindow(view);
	auto pixels = Capture(window);
	ASSERT_TRUE(pixels->IsValid());

	for (int32 i = 0; i <= 17; i++) {
		EXPECT_TRUE(same_rgb(pixels->At(i, 0), kBlack)) << "top " << i;
		EXPECT_TRUE(same_rgb(pixels->At(i, 17), kBlack)) << "bottom " << i;
		EXPECT_TRUE(same_rgb(pixels->At(0, i), kBlack)) << "left " << i;
		EXPECT_TRUE(same_rgb(pixels->At(17, i), kBlack)) << "right " << i;
	}
	// 18 x 18 outline: 4 * 17 pixels, nothing inside and nothing beyond.
	EXPECT_EQ(count_color(*pixels, BRect(0, 0, 63, 63), kBlack), 68);
	EXPECT_TRUE(same_rgb(pixels->At(18, 5), kWhite));
	EXPECT_TRUE(same_rgb(pixels->At(5, 18), kWhite));
	EXPECT_TRUE(same_rgb(pixels->At(1, 1), kWhite));
	QuitWindow(window);
}

TEST_F(DrawingTest, FillInvertAndLinesFollowPixelConventions)
{
	DrawView* view = new DrawView(BRect(0, 0, 63, 63), [](BView* v, BRect) {
		v->SetHighColor(kRed);
		v->FillRect(BRect(2, 2, 5, 4));
		// Inverting white gives black, inverting red gives cyan.
		v->InvertRect(BRect(4, 4, 9, 9));
		v->SetHighColor(kBlue);
		v->StrokeLine(BPoint(20, 30), BPoint(30, 30));
		v->StrokeLine(BPoint(40, 20), BPoint(40, 25));
		v->SetDrawingMode(B_OP_INVERT);
		v->FillRect(BRect(50, 50, 51, 51));
		v->SetDrawingMode(B_OP_COPY);
	});
	BWindow* window = ShowWindow(view);
	auto pixels = Capture(window);
	ASSERT_TRUE(pixels->IsValid());

	// FillRect (2, 2, 5, 4) is 4 x 3 pixels; its bottom-right corner was
	// inverted.
	EXPECT_EQ(count_color(*pixels, BRect(0, 0, 12, 12), kRed), 4 * 3 - 2);
	EXPECT_TRUE(same_rgb(pixels->At(4, 4), make_color(0, 255, 255)));
	EXPECT_TRUE(same_rgb(pixels->At(5, 4), make_color(0, 255, 255)));
	EXPECT_TRUE(same_rgb(pixels->At(6, 2), kWhite));
	EXPECT_EQ(count_color(*pixels, BRect(0, 0, 12, 12), kBlack), 6 * 6 - 2);
	EXPECT_TRUE(same_rgb(pixels->At(10, 9), kWhite));

	// Lines include both ends and nothing else.
	EXPECT_EQ(count_color(*pixels, BRect(15, 25, 35, 35), kBlue), 11);
	EXPECT_TRUE(same_rgb(pixels->At(20, 30), kBlue));
	EXPECT_TRUE(same_rgb(pixels->At(30, 30), kBlue));
	EXPECT_EQ(count_color(*pixels, BRect(35, 15, 45, 30), kBlue), 6);

	// B_OP_INVERT turns the white background black, whatever the colour.
	EXPECT_EQ(count_color(*pixels, BRect(48, 48, 53, 53), kBlack), 4);
	QuitWindow(window);
}

TEST_F(DrawingTest, OverKeepsTransparentIndexAndCopyPaintsIt)
{
	BScreen screen;
	uint8 red = screen.IndexForColor(255, 0, 0);
	ASSERT_NE(red, B_TRANSPARENT_MAGIC_CMAP8);
	ASSERT_TRUE(same_rgb(screen.ColorForIndex(red), kRed));

	// A 4 x 4 bitmap: left half red, right half transparent.
	auto bitmap = std::make_shared<BBitmap>(BRect(0, 0, 3, 3), B_COLOR_8_BIT);
	ASSERT_EQ(bitmap->BytesPerRow(), 4);
	uint8* bits = static_cast<uint8*>(bitmap->Bits());
	for (int32 y = 0; y < 4; y++) {
		for (int32 x = 0; x < 4; x++)
			bits[y * 4 + x] = x < 2 ? red : B_TRANSPARENT_MAGIC_CMAP8;
	}

	DrawView* view = new DrawView(BRect(0, 0, 63, 63), [bitmap](BView* v, BRect) {
		v->SetHighColor(kBlue);
		v->FillRect(BRect(0, 0, 40, 40));
		v->SetDrawingMode(B_OP_OVER);
		v->DrawBitmap(bitmap.get(), BPoint(10, 10));
		v->SetDrawingMode(B_OP_COPY);
		v->DrawBitmap(bitmap.get(), BPoint(20, 10));
	});
	BWindow* window = ShowWindow(view);
	auto pixels = Capture(window);
	ASSERT_TRUE(pixels->IsValid());

	EXPECT_TRUE(same_rgb(pixels->At(10, 10), kRed));
	EXPECT_TRUE(same_rgb(pixels->At(11, 13), kRed));
	// Over: the transparent half shows what was there.
	EXPECT_TRUE(same_rgb(pixels->At(12, 10), kBlue));
	EXPECT_TRUE(same_rgb(pixels->At(13, 13), kBlue));
	// Copy: the transparent index is painted with its colour.
	EXPECT_TRUE(same_rgb(pixels->At(22, 10), screen.ColorForIndex(B_TRANSPARENT_MAGIC_CMAP8)));
	EXPECT_FALSE(same_rgb(pixels->At(22, 10), kBlue));
	EXPECT_TRUE(same_rgb(pixels->At(24, 10), kBlue));
	QuitWindow(window);
}

TEST_F(DrawingTest, DrawBitmapScalesIntoTheDestination)
{
	// 2 x 2 RGB32: red, blue / black, white.
	auto bitmap = std::make_shared<BBitmap>(BRect(0, 0, 1, 1), B_RGB32);
	const uint8 data[] = {0, 0, 255, 255, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 255};
	bitmap->SetBits(data, sizeof(data), 0, B_RGB32);

	DrawView* view = new DrawView(BRect(0, 0, 63, 63), [bitmap](BView* v, BRect) {
		v->SetHighColor(make_color(0, 255, 0));
		v->FillRect(v->Bounds());
		v->DrawBitmap(bitmap.get(), BRect(8, 8, 15, 15));
		// Half of the source into a 3 x 6 rectangle.
		v->DrawBitmap(bitmap.get(), BRect(1, 0, 1, 1), BRect(30, 30, 32, 35));
	});
	BWindow* window = ShowWindow(view);
	auto pixels = Capture(window);
	ASSERT_TRUE(pixels->IsValid());

	EXPECT_EQ(count_color(*pixels, BRect(8, 8, 11, 11), kRed), 16);
	EXPECT_EQ(count_color(*pixels, BRect(12, 8, 15, 11), kBlue), 16);
	EXPECT_EQ(count_color(*pixels, BRect(8, 12, 11, 15), kBlack), 16);
	EXPECT_EQ(count_color(*pixels, BRect(12, 12, 15, 15), kWhite), 16);
	EXPECT_TRUE(same_rgb(pixels->At(16, 16), make_color(0, 255, 0)));
	EXPECT_TRUE(same_rgb(pixels->At(7, 7), make_color(0, 255, 0)));

	EXPECT_EQ(count_color(*pixels, BRect(30, 30, 32, 32), kBlue), 9);
	EXPECT_EQ(count_color(*pixels, BRect(30, 33, 32, 35), kWhite), 9);
	EXPECT_TRUE(same_rgb(pixels->At(33, 30), make_color(0, 255, 0)));
	QuitWindow(window);
}

TEST_F(DrawingTest, PicturesReplayLikeDirectDrawing)
{
	auto icon = std::make_shared<BBitmap>(BRect(0, 0, 15, 15), B_RGB32);
	std::vector<uint8> data(16 * 16 * 4);
	for (size_t i = 0; i < data.size(); i += 4) {
		data[i] = static_cast<uint8>(i);
		data[i + 1] = 100;
		data[i + 2] = static_cast<uint8>(255 - i / 4);
		data[i + 3] = 255;
	}
	icon->SetBits(data.data(), data.size(), 0, B_RGB32);

	// The drawing of a small picture button: outline, grey fill, bitmap
	// scaled over it; the pressed one is the same, inverted.
	auto drawButton = [icon](BView* v) {
		v->SetPenSize(1);
		v->StrokeRect(BRect(0, 0, 17, 17));
		v->SetHighColor(128, 128, 128);
		v->FillRect(BRect(1, 1, 16, 16));
		v->SetDrawingMode(B_OP_OVER);
		v->DrawBitmap(icon.get(), BRect(2, 2, 15, 15));
		v->SetDrawingMode(B_OP_COPY);
	};

	auto normal = std::make_shared<BPicture>();
	auto pressed = std::make_shared<BPicture>();
	DrawView* direct = new DrawView(BRect(0, 0, 29, 29), [drawButton](BView* v, BRect) {
		v->SetHighColor(kBlack);
		drawButton(v);
		v->SetHighColor(kBlack);
		v->PushState();
		v->MovePenTo(0, 0);
		v->PopState();
	});
	DrawView* recorded = new DrawView(BRect(30, 0, 59, 29), [normal, pressed](BView* v, BRect) {
		// Replayed with another state in force: the picture brings its own.
		v->SetHighColor(kBlue);
		v->SetDrawingMode(B_OP_INVERT);
		v->DrawPicture(normal.get(), BPoint(0, 0));
		v->SetDrawingMode(B_OP_COPY);
		v->DrawPicture(pressed.get(), BPoint(0, 20 - 20));
	});
	BView* holder = new BView(BRect(0, 0, 63, 63), "holder", B_FOLLOW_ALL, 0);
	holder->AddChild(direct);
	holder->AddChild(recorded);

	BWindow* window = new BWindow(BRect(100, 100, 163, 163), "pictures", B_TITLED_WINDOW, 0);
	window->AddChild(holder);
	// Record while attached, as a view makes its pictures.
	direct->SetHighColor(kBlack);
	direct->BeginPicture(normal.get());
	drawButton(direct);
	direct->EndPicture();
	direct->SetHighColor(kBlack);
	direct->BeginPicture(pressed.get());
	direct->DrawPicture(normal.get(), B_ORIGIN);
	direct->InvertRect(BRect(0, 0, 16, 16));
	direct->EndPicture();
	EXPECT_GT(normal->CountOperations(), 4);
	window->Show();
	auto pixels = Capture(window);
	ASSERT_TRUE(pixels->IsValid());

	// The pressed picture drew over the normal one at the same place, so
	// the recorded view shows normal-then-pressed: compare with direct
	// drawing followed by the inversion.
	int32 differences = 0;
	int32 inverted = 0;
	for (int32 y = 0; y < 18; y++) {
		for (int32 x = 0; x < 18; x++) {
			rgb_color expected = pixels->At(x, y);
			rgb_color actual = pixels->At(30 + x, y);
			if (x <= 16 && y <= 16) {
				expected = make_color(255 - expected.red, 255 - expected.green,
					255 - expected.blue);
				inverted++;
			}
			if (!same_rgb(expected, actual))
				differences++;
		}
	}
	EXPECT_EQ(inverted, 17 * 17);
	EXPECT_EQ(differences, 0);
	// The column and row at 17 stay as the normal picture drew them.
	EXPECT_TRUE(same_rgb(pixels->At(30 + 17, 5), kBlack));
	QuitWindow(window);
}

TEST_F(DrawingTest, ScrollingShiftsWhatTheViewShows)
{
	DrawView* view = new DrawView(BRect(0, 0, 63, 63), [](BView* v, BRect) {
		v->SetHighColor(kRed);
		v->FillRect(BRect(10, 10, 11, 11));
	});
	BWindow* window = ShowWindow(view);
	auto before = Capture(window);
	EXPECT_TRUE(same_rgb(before->At(10, 10), kRed));

	Locked(window, [&] {
		view->ScrollTo(BPoint(10, 8));
		EXPECT_EQ(view->Bounds(), BRect(10, 8, 73, 71));
		EXPECT_EQ(view->ConvertToParent(BPoint(10, 8)), BPoint(0, 0));
	});
	auto after = Capture(window);
	EXPECT_TRUE(same_rgb(after->At(0, 2), kRed));
	EXPECT_TRUE(same_rgb(after->At(1, 3), kRed));
	EXPECT_TRUE(same_rgb(after->At(10, 10), kWhite));

	Locked(window, [&] { view->ScrollBy(-10, -8); });
	auto back = Capture(window);
	EXPECT_TRUE(same_rgb(back->At(10, 10), kRed));
	EXPECT_TRUE(same_rgb(back->At(0, 2), kWhite));
	QuitWindow(window);
}

TEST_F(DrawingTest, InvalidateRedrawsInTheWindowThread)
{
	std::atomic<thread_id> drawThread{-1};
	rgb_color color = kRed;
	DrawView* view = new DrawView(BRect(0, 0, 63, 63), [&](BView* v, BRect) {
		drawThread = find_thread(nullptr);
		v->SetHighColor(color);
		v->FillRect(v->Bounds());
	});
	BWindow* window = ShowWindow(view);
	int32 draws = view->fDraws;
	EXPECT_GE(draws, 1);
	EXPECT_EQ(drawThread.load(), window->Thread());
	EXPECT_TRUE(same_rgb(Capture(window)->At(30, 30), kRed));

	Locked(window, [&] {
		color = kBlue;
		view->Invalidate(BRect(5, 5, 9, 9));
	});
	auto pixels = Capture(window);
	EXPECT_EQ(view->fDraws, draws + 1);
	EXPECT_EQ(view->fLastUpdate, BRect(5, 5, 9, 9));
	// Only the invalid part was drawn again.
	EXPECT_TRUE(same_rgb(pixels->At(5, 5), kBlue));
	EXPECT_TRUE(same_rgb(pixels->At(9, 9), kBlue));
	EXPECT_TRUE(same_rgb(pixels->At(10, 10), kRed));
	QuitWindow(window);
}

TEST_F(DrawingTest, ViewColourFillsUnlessTransparentAndChildrenDrawOverParents)
{
	BView* parent = new BView(BRect(0, 0, 63, 63), "parent", B_FOLLOW_ALL, B_WILL_DRAW);
	parent->SetViewColor(kBlue);
	DrawView* child = new DrawView(BRect(10, 10, 19, 19), [](BView* v, BRect) {
		v->SetHighColor(kRed);
		v->FillRect(BRect(0, 0, 1, 1));
	});
	child->SetViewColor(B_TRANSPARENT_COLOR);
	parent->AddChild(child);
	BWindow* window = ShowWindow(parent);
	auto pixels = Capture(window);
	EXPECT_TRUE(same_rgb(pixels->At(5, 5), kBlue));
	EXPECT_TRUE(same_rgb(pixels->At(10, 10), kRed));
	// The transparent child shows its parent where it does not draw.
	EXPECT_TRUE(same_rgb(pixels->At(15, 15), kBlue));
	QuitWindow(window);
}

TEST_F(DrawingTest, TextAdvancesThePenByItsWidth)
{
	BFont plain(be_plain_font);
	BFont bold(be_bold_font);
	EXPECT_EQ(plain.Size(), 10.0f);
	EXPECT_GT(plain.StringWidth("Begin"), 10.0f);
	EXPECT_GT(bold.StringWidth("Install on"), plain.StringWidth("Install on"));
	EXPECT_FLOAT_EQ(be_fixed_font->StringWidth("iiii"), be_fixed_font->StringWidth("MMMM"));
	EXPECT_FLOAT_EQ(plain.StringWidth("Begin", 3), plain.StringWidth("Beg"));
	font_height height;
	plain.GetHeight(&height);
	EXPECT_GT(height.ascent, 5.0f);
	EXPECT_GT(height.descent, 0.0f);
	font_family family;
	plain.GetFamilyAndStyle(&family, nullptr);
	EXPECT_STRNE(family, "");

	std::atomic<float> penAfter{0};
	DrawView* view = new DrawView(BRect(0, 0, 63, 63), [&](BView* v, BRect) {
		v->SetHighColor(kBlack);
		v->MovePenTo(2, 20);
		v->DrawString("Hi");
		penAfter = v->PenLocation().x;
	});
	BWindow* window = ShowWindow(view);
	auto pixels = Capture(window);
	EXPECT_FLOAT_EQ(penAfter.load(), 2 + plain.StringWidth("Hi"));
	// Some ink above the baseline, none far below it.
	int32 ink = 0;
	for (int32 y = 10; y <= 20; y++) {
		for (int32 x = 2; x < 14; x++)
			ink += !same_rgb(pixels->At(x, y), kWhite);
	}
	EXPECT_GT(ink, 10);
	EXPECT_EQ(count_color(*pixels, BRect(0, 25, 63, 63), kWhite), 64 * 39);

	Locked(window, [&] {
		BFont big(be_bold_font);
		big.SetSize(20);
		view->SetFont(&big, B_FONT_SIZE);
		BFont current;
		view->GetFont(&current);
		EXPECT_EQ(current.Size(), 20.0f);
		EXPECT_EQ(current.Face(), plain.Face());
		view->SetFont(&big);
		view->GetFont(&current);
		EXPECT_EQ(current, big);
	});
	QuitWindow(window);
}

TEST(Bitmap, LayoutConversionAndColourMap)
{
	BBitmap cmap(BRect(0, 0, 4, 2), B_COLOR_8_BIT);
	EXPECT_EQ(cmap.BytesPerRow(), 8);
	EXPECT_EQ(cmap.BitsLength(), 24);
	EXPECT_EQ(cmap.Bounds(), BRect(0, 0, 4, 2));
	BBitmap rgb(BRect(0, 0, 1, 0), B_RGB32);
	EXPECT_EQ(rgb.BytesPerRow(), 8);

	BScreen screen;
	const color_map* map = screen.ColorMap();
	ASSERT_NE(map, nullptr);
	for (int32 i = 0; i < 255; i++) {
		rgb_color color = map->color_list[i];
		EXPECT_TRUE(same_rgb(map->color_list[screen.IndexForColor(color)], color)) << i;
	}
	// Every 15-bit colour maps to its nearest entry (the lowest index among
	// equals), as a scan of the whole list finds it.
	for (int32 rgb = 0; rgb < 32768; rgb++) {
		int32 red = ((rgb >> 10) & 31) * 255 / 31;
		int32 green = ((rgb >> 5) & 31) * 255 / 31;
		int32 blue = (rgb & 31) * 255 / 31;
		int32 best = -1;
		int32 bestDistance = 0;
		for (int32 j = 0; j < 255; j++) {
			rgb_color entry = map->color_list[j];
			int32 distance = (entry.red - red) * (entry.red - red)
				+ (entry.green - green) * (entry.green - green)
				+ (entry.blue - blue) * (entry.blue - blue);
			if (best < 0 || distance < bestDistance) {
				best = j;
				bestDistance = distance;
			}
		}
		ASSERT_EQ(map->index_map[rgb], best) << red << "," << green << "," << blue;
	}
	EXPECT_EQ(screen.IndexForColor(B_TRANSPARENT_COLOR), B_TRANSPARENT_MAGIC_CMAP8);
	// Alpha plays no part otherwise: white with alpha 0 is white, so that
	// icons can turn their white pixels transparent.
	uint8 white = screen.IndexForColor(make_color(255, 255, 255, 0));
	EXPECT_NE(white, B_TRANSPARENT_MAGIC_CMAP8);
	EXPECT_TRUE(same_rgb(screen.ColorForIndex(white), kWhite));
	EXPECT_EQ(white, screen.IndexForColor(255, 255, 255));
	EXPECT_EQ(screen.Frame(), BRect(0, 0, 1023, 767));

	// 8-bit data into a 32-bit bitmap goes through the map; the
	// transparent index becomes the transparent colour.
	uint8 indexes[4] = {screen.IndexForColor(255, 0, 0), B_TRANSPARENT_MAGIC_CMAP8, 0, 0};
	rgb.SetBits(indexes, 2, 0, B_COLOR_8_BIT);
	const uint8* bits = static_cast<const uint8*>(rgb.Bits());
	EXPECT_EQ(bits[0], 0);
	EXPECT_EQ(bits[2], 255);
	uint32 second;
	memcpy(&second, bits + 4, 4);
	EXPECT_EQ(second, static_cast<uint32>(B_TRANSPARENT_MAGIC_RGBA32));

	// And back.
	BBitmap back(BRect(0, 0, 1, 0), B_COLOR_8_BIT);
	back.SetBits(rgb.Bits(), rgb.BitsLength(), 0, B_RGB32);
	const uint8* backBits = static_cast<const uint8*>(back.Bits());
	EXPECT_EQ(backBits[0], indexes[0]);
	EXPECT_EQ(backBits[1], B_TRANSPARENT_MAGIC_CMAP8);

	BBitmap copy(&rgb);
	EXPECT_EQ(memcmp(copy.Bits(), rgb.Bits(), rgb.BitsLength()), 0);
}

TEST_F(DrawingTest, PatternsPenSizesAndPictureOffsets)
{
	auto picture = std::make_shared<BPicture>();
	DrawView* view = new DrawView(BRect(0, 0, 63, 63), [picture](BView* v, BRect) {
		// A checkerboard of the high and low colours.
		v->SetHighColor(kBlack);
		v->SetLowColor(kRed);
		v->FillRect(BRect(0, 0, 7, 7), B_MIXED_COLORS);
		// Over: the low colour's pixels stay as they were.
		v->SetDrawingMode(B_OP_OVER);
		v->FillRect(BRect(8, 0, 15, 7), B_MIXED_COLORS);
		v->SetDrawingMode(B_OP_COPY);
		// A three-pixel pen draws three-pixel bands inside the rectangle.
		v->SetPenSize(3);
		v->StrokeRect(BRect(20, 0, 39, 19));
		v->SetPenSize(1);
		// The picture lands at the offset it is drawn at.
		v->DrawPicture(picture.get(), BPoint(40, 40));
	});
	BWindow* window = new BWindow(BRect(100, 100, 163, 163), "patterns", B_TITLED_WINDOW, 0);
	window->AddChild(view);
	view->SetHighColor(kBlue);
	view->BeginPicture(picture.get());
	view->FillRect(BRect(0, 0, 3, 3));
	view->EndPicture();
	window->Show();
	auto pixels = Capture(window);

	// B_MIXED_COLORS: 0xaa, 0x55 rows.
	EXPECT_TRUE(same_rgb(pixels->At(0, 0), kBlack));
	EXPECT_TRUE(same_rgb(pixels->At(1, 0), kRed));
	EXPECT_TRUE(same_rgb(pixels->At(0, 1), kRed));
	EXPECT_TRUE(same_rgb(pixels->At(1, 1), kBlack));
	EXPECT_EQ(count_color(*pixels, BRect(0, 0, 7, 7), kBlack), 32);
	EXPECT_EQ(count_color(*pixels, BRect(8, 0, 15, 7), kBlack), 32);
	EXPECT_EQ(count_color(*pixels, BRect(8, 0, 15, 7), kWhite), 32);

	// 20 x 20 outline with a 3-pixel pen: 400 - 14 x 14 pixels.
	EXPECT_EQ(count_color(*pixels, BRect(18, 0, 41, 21), kBlack), 400 - 14 * 14);
	EXPECT_TRUE(same_rgb(pixels->At(22, 10), kBlack));
	EXPECT_TRUE(same_rgb(pixels->At(23, 10), kWhite));

	EXPECT_EQ(count_color(*pixels, BRect(0, 0, 63, 63), kBlue), 16);
	EXPECT_TRUE(same_rgb(pixels->At(40, 40), kBlue));
	EXPECT_TRUE(same_rgb(pixels->At(43, 43), kBlue));
	QuitWindow(window);
}
