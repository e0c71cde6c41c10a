#include <InterfaceFixture.h>

#include <Box.h>
#include <Button.h>
#include <CheckBox.h>
#include <StringView.h>

#include <cmath>

// What the controls look like where the look carries meaning: the default
// button's heavier frame, the etched box, the check mark, alignment.

namespace {

bool
is_ink(rgb_color color)
{
	return color.red < 128 && color.green < 128 && color.blue < 128;
}

int32
ink_in(const Pixels& pixels, BRect area)
{
	int32 ink = 0;
	for (int32 y = area.top; y <= area.bottom; y++) {
		for (int32 x = area.left; x <= area.right; x++)
			ink += is_ink(pixels.At(x, y));
	}
	return ink;
}

} // namespace

class ControlLookTest : public InterfaceTest {
};

TEST_F(ControlLookTest, DefaultButtonBoxCheckMarkAndAlignment)
{
	BView* panel = new BView(BRect(0, 0, 299, 199), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
	panel->SetViewColor(230, 230, 230);
	BButton* plain = new BButton(BRect(10, 10, 84, 33), "plain", "Cancel", new BMessage('c'));
	BButton* standard = new BButton(BRect(100, 10, 174, 33), "default", "OK", new BMessage('o'));
	BBox* box = new BBox(BRect(10, 50, 150, 120), "box");
	box->SetLabel("Group Information");
	BCheckBox* check = new BCheckBox(BRect(160, 50, 290, 65), "check", "Delete",
		new BMessage('d'));
	check->SetValue(B_CONTROL_ON);
	BCheckBox* unchecked = new BCheckBox(BRect(160, 70, 290, 85), "unchecked", "Keep",
		new BMessage('k'));
	BStringView* right = new BStringView(BRect(160, 100, 290, 112), "right", "end");
	right->SetAlignment(B_ALIGN_RIGHT);
	panel->AddChild(plain);
	panel->AddChild(standard);
	panel->AddChild(box);
	panel->AddChild(check);
	panel->AddChild(unchecked);
	panel->AddChild(right);
	standard->MakeDefault(true);
	BWindow* window = ShowWindow(panel, BRect(100, 100, 399, 299));
	auto pixels = Capture(window);
	ASSERT_TRUE(pixels->IsValid());

	// Controls take their parent's colour.
	EXPECT_TRUE(same_rgb(pixels->At(12, 36), make_color(230, 230, 230)));
	// The default button's outer ring is black; the plain one's border grey.
	EXPECT_TRUE(same_rgb(pixels->At(130, 10), kBlack));
	EXPECT_TRUE(same_rgb(pixels->At(40, 10), make_color(96, 96, 96)));
	EXPECT_GT(ink_in(*pixels, BRect(20, 14, 74, 29)), 10);

	// The etched border: shadow line with a light line inside it, the label
	// in a gap in the top edge.
	font_height fh;
	be_bold_font->GetHeight(&fh);
	int32 top = 50 + static_cast<int32>(floorf((fh.ascent + fh.descent) / 2));
	EXPECT_TRUE(same_rgb(pixels->At(10, top + 20), make_color(152, 152, 152)));
	EXPECT_TRUE(same_rgb(pixels->At(11, top + 20), kWhite));
	EXPECT_TRUE(same_rgb(pixels->At(140, top), make_color(152, 152, 152)));
	EXPECT_GT(ink_in(*pixels, BRect(16, 50, 140, 50 + ceilf(fh.ascent + fh.descent))), 20);

	// The check mark fills the checked box's well; the other stays white.
	EXPECT_GT(ink_in(*pixels, BRect(163, 54, 170, 61)), 8);
	EXPECT_EQ(ink_in(*pixels, BRect(163, 74, 170, 81)), 0);

	// Right-aligned text ends at the right edge.
	EXPECT_GT(ink_in(*pixels, BRect(270, 100, 290, 112)), 5);
	EXPECT_EQ(ink_in(*pixels, BRect(160, 100, 250, 112)), 0);

	float width, height;
	ASSERT_TRUE(window->Lock());
	plain->GetPreferredSize(&width, &height);
	EXPECT_EQ(width, 75);
	EXPECT_GT(height, 15);
	window->Unlock();
	QuitWindow(window);
}

TEST(Colors, TintsAndSystemColours)
{
	rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
	EXPECT_EQ(panel, make_color(216, 216, 216));
	EXPECT_EQ(tint_color(panel, B_NO_TINT), panel);
	rgb_color darker = tint_color(panel, B_DARKEN_2_TINT);
	rgb_color lighter = tint_color(panel, B_LIGHTEN_1_TINT);
	EXPECT_LT(darker.red, panel.red);
	EXPECT_GT(lighter.red, panel.red);
	EXPECT_EQ(tint_color(panel, B_LIGHTEN_MAX_TINT), make_color(255, 255, 255));
	EXPECT_EQ(tint_color(panel, B_DARKEN_MAX_TINT), make_color(0, 0, 0));
}
