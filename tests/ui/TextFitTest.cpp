// Text that does not fit its place in the install window: descriptions that
// are taller than their labels scroll, group names wider than the list end
// with an ellipsis, and the menu fields' labels keep clear of their menus.

#include "InstallWindowFixture.h"

#include "LabelView.h"

#include <MenuBar.h>
#include <MenuField.h>
#include <ScrollBar.h>

namespace {

std::string
long_text(const char* sentence, int32 count)
{
	std::string text;
	for (int32 i = 0; i < count; i++)
		text += std::string(i > 0 ? " " : "") + sentence;
	return text;
}

TestPackage
two_groups()
{
	TestPackage package;
	package.groups = {"Base", "Extras"};
	package.groupDescriptions = {"The program.", "Examples and documentation."};
	package.entries = {{100, 0x1}, {200, 0x2}};
	return package;
}

const char* const kSentence = "This sentence is one of many in a description that runs "
	"on well past the room its label has.";

class TextFitTest : public InstallWindowTest {
protected:
	LabelView* Label(const char* name)
	{
		return dynamic_cast<LabelView*>(fWindow->FindView(name));
	}

	// The window as presented.
	Pixels Picture()
	{
		EXPECT_TRUE(Automation::WaitUntilIdle());
		return Pixels(Automation::CaptureWindow(ID()));
	}

	// Pixels darker than the panel's light grey in a window rectangle.
	static int32 DarkPixels(const Pixels& pixels, BRect rect)
	{
		int32 count = 0;
		for (int32 y = (int32)rect.top; y <= (int32)rect.bottom; y++) {
			for (int32 x = (int32)rect.left; x <= (int32)rect.right; x++) {
				rgb_color color = pixels.At(x, y);
				if (color.red + color.green + color.blue < 3 * 160)
					count++;
			}
		}
		return count;
	}
};

} // namespace


TEST_F(TextFitTest, DescriptionsTallerThanTheirLabelsScroll)
{
	TestPackage package = two_groups();
	package.description = long_text(kSentence, 12);
	package.groupDescriptions[0] = "A single small file.";
	package.groupDescriptions[1] = long_text(kSentence, 6);
	ASSERT_NE(Open(package), nullptr);

	BRect descriptionBar;
	WithWindow([&] {
		LabelView* description = Label("description");
		BScrollBar* bar = description->ShownScrollBar();
		EXPECT_NE(bar, nullptr) << "the package description scrolls";
		if (bar == nullptr)
			return 0;
		// The label and its bar share the label's place.
		EXPECT_EQ(description->Frame().left, 8);
		EXPECT_EQ(bar->Frame().right, 472);
		EXPECT_EQ(description->Frame().right + 1, bar->Frame().left);
		EXPECT_EQ(bar->Frame().top, description->Frame().top);
		EXPECT_EQ(bar->Frame().bottom, description->Frame().bottom);
		// At the bar's end the last line is in view, whole.
		float min, max;
		bar->GetRange(&min, &max);
		EXPECT_GT(max, 0);
		bar->SetValue(max);
		int32 last = description->CountLines() - 1;
		float lastBottom = description->TextHeight(0, last) + description->TextRect().top;
		EXPECT_LE(lastBottom, description->Bounds().bottom + 1);
		EXPECT_GT(lastBottom, description->Bounds().top + description->LineHeight());
		bar->SetValue(0);
		descriptionBar = bar->Frame();

		LabelView* group = Label("groupinfo");
		EXPECT_EQ(group->ShownScrollBar(), nullptr) << "a description that fits";
		EXPECT_EQ(group->Frame().Width(), 230);
		return 0;
	});
	// The bar is drawn: its arrows and knob are darker than the panel.
	Pixels picture = Picture();
	EXPECT_GT(DarkPixels(picture, descriptionBar), 20);

	ClickRow(1);
	std::string path = screenshot_path("ui-long-descriptions");
	EXPECT_EQ(Automation::WriteWindowPNG(ID(), path.c_str()), B_OK);
	WithWindow([&] {
		LabelView* group = Label("groupinfo");
		EXPECT_NE(group->ShownScrollBar(), nullptr);
		EXPECT_EQ(group->Frame().Width() + B_V_SCROLL_BAR_WIDTH, 230);
		return 0;
	});
	// Back to a short one: the bar goes and the label takes its room again.
	ClickRow(0);
	WithWindow([&] {
		LabelView* group = Label("groupinfo");
		EXPECT_EQ(group->ShownScrollBar(), nullptr);
		EXPECT_EQ(group->Frame().Width(), 230);
		EXPECT_EQ(group->Bounds().top, 0) << "scrolled back to the top";
		return 0;
	});
}


TEST_F(TextFitTest, ADescriptionThatFitsHasNoScrollBar)
{
	TestPackage package = two_groups();
	package.description = "A short description.";
	package.help = "Some help.";
	ASSERT_NE(Open(package), nullptr);
	WithWindow([&] {
		LabelView* description = Label("description");
		EXPECT_EQ(description->ShownScrollBar(), nullptr);
		// Beside the help button, as laid out.
		EXPECT_EQ(description->Frame(), BRect(8, 2, 456, 102));
		return 0;
	});
}


TEST_F(TextFitTest, GroupNamesWiderThanTheListEndWithAnEllipsis)
{
	TestPackage package = two_groups();
	package.groups[1] = long_text("Everything", 12);
	ASSERT_NE(Open(package), nullptr);

	BRect row;
	WithWindow([&] {
		IGroupsListView* list = View()->GroupsList();
		// The row as far as the list shows it.
		BRect frame = list->ItemFrame(1);
		frame.right = list->Bounds().right;
		row = fWindow->ConvertFromScreen(list->ConvertToScreen(frame));
		return 0;
	});
	Pixels picture = Picture();
	std::string path = screenshot_path("ui-long-group-name");
	EXPECT_EQ(Automation::WriteWindowPNG(ID(), path.c_str()), B_OK);
	// The name is drawn from the left of its (unselected) row...
	BRect start(row.left + 10, row.top, row.left + 60, row.bottom);
	EXPECT_GT(DarkPixels(picture, start), 20);
	// ...and stops short of its right edge, where an ellipsis ends it.
	BRect end(row.right - 4, row.top, row.right, row.bottom);
	EXPECT_EQ(DarkPixels(picture, end), 0);
}


TEST_F(TextFitTest, MenuFieldLabelsKeepClearOfTheirMenus)
{
	ASSERT_NE(Open(two_groups()), nullptr);
	WithWindow([&] {
		BMenuField* volume = dynamic_cast<BMenuField*>(fWindow->FindView("Volume"));
		BMenuField* folder = dynamic_cast<BMenuField*>(fWindow->FindView("Folder"));
		for (BMenuField* field : {volume, folder}) {
			SCOPED_TRACE(field->Label());
			// The label is drawn from x 1 in the field's font.
			float labelEnd = 1 + field->StringWidth(field->Label());
			EXPECT_GT(field->MenuBar()->Frame().left, labelEnd + 2);
			EXPECT_LE(field->MenuBar()->Frame().right, field->Bounds().right);
		}
		EXPECT_LT(volume->Frame().right, folder->Frame().left);
		EXPECT_EQ(volume->Frame().left, 8) << "where it was laid out";
		EXPECT_EQ(folder->Frame().left, 177);
		return 0;
	});
}
