// The replace dialog driven as a person drives it: the wordings of each
// kind of question, the options and the check box writing the caller's
// variables, the two buttons, Go waiting for the window, and a picture.

#include "FSIcons.h"
#include "ReplaceDialog.h"
#include "ReplaceDialogAnswerer.h"
#include "ReplaceView.h"
#include "UiTestSupport.h"

#include <InterfaceFixture.h>

#include <future>
#include <memory>

namespace {

char kText[] = "An item with the name \"Tool\" already exists in\n\"/boot/apps\"";

bool
WindowExists(int32 id)
{
	for (const auto& info : Automation::Windows()) {
		if (info.id == id)
			return true;
	}
	return false;
}

} // namespace

class ReplaceDialogTest : public InterfaceTest {
protected:
	// Made once the display is chosen: the answerer watches its windows.
	void SetUp() override
	{
		InterfaceTest::SetUp();
		fAnswerer = std::make_unique<ReplaceDialogAnswerer>();
	}

	void TearDown() override
	{
		fAnswerer.reset();
		InterfaceTest::TearDown();
	}

	// Opens a dialog starting on `choice` and blocks in Go until it is
	// answered; what the caller's variables hold then.
	void Run(int32* choice, bool* dontAsk, uint8 kind = 0)
	{
		ReplaceDialog* dialog = new ReplaceDialog(choice, dontAsk, kText, kind);
		EXPECT_EQ(dialog->Go(), 0);
	}

	std::unique_ptr<ReplaceDialogAnswerer> fAnswerer;
};


TEST_F(ReplaceDialogTest, WordingsAndLayout)
{
	struct Kind {
		uint8 kind;
		const char* replace;
		const char* rename;
	};
	const Kind kinds[] = {
		{0, "Replace existing item", "Rename existing item"},
		{1, "Replace newer version with older", "Rename newer version and install older"},
		{2, "Replace newer item with older", "Rename newer item and install older"},
		{3, "Replace newer item with older", "Rename newer item and install older"},
		{7, "Replace existing item", "Rename existing item"},
	};
	for (const Kind& kind : kinds) {
		int32 choice = 2;
		bool dontAsk = false;
		fAnswerer->Add("");
		Run(&choice, &dontAsk, kind.kind);
		EXPECT_EQ(choice, 2);
		std::vector<SeenReplaceDialog> seen = fAnswerer->Seen();
		ASSERT_FALSE(seen.empty());
		const SeenReplaceDialog& dialog = seen.back();
		ASSERT_EQ(dialog.options.size(), 3u) << int(kind.kind);
		EXPECT_EQ(dialog.options[0], kind.replace);
		EXPECT_EQ(dialog.options[1], kind.rename);
		EXPECT_EQ(dialog.options[2], "Skip this item");
		EXPECT_EQ(dialog.selected, 0);
	}

	const SeenReplaceDialog dialog = fAnswerer->Seen().front();
	EXPECT_EQ(dialog.text, kText);
	EXPECT_EQ(dialog.title, "");
	EXPECT_TRUE(dialog.modal);
	EXPECT_EQ(dialog.boxLabel, "Options");
	EXPECT_EQ(dialog.checkBoxLabel, "Don't ask again, use this current setting");
	EXPECT_EQ(dialog.checkBoxValue, 0);
	EXPECT_EQ(dialog.windowBounds, BRect(0, 0, 300, 230));
	EXPECT_EQ(dialog.boxFrame, BRect(10, 70, 290, 160));
	EXPECT_EQ(dialog.checkBoxFrame, BRect(10, 168, 290, 182));
	EXPECT_EQ(dialog.continueFrame, BRect(168, 194, 288, 218));
	EXPECT_EQ(dialog.cancelFrame, BRect(28, 194, 148, 218));
	EXPECT_EQ(fAnswerer->Unexpected(), 0);
}


TEST_F(ReplaceDialogTest, OptionsWriteTheChoice)
{
	struct Click {
		const char* option;
		int32 choice;
	};
	const Click clicks[] = {
		{"Rename existing item", 1},
		{"Skip this item", 0},
		{"Replace existing item", 2},
	};
	for (const Click& click : clicks) {
		int32 choice = 7;
		bool dontAsk = false;
		fAnswerer->Add(click.option);
		Run(&choice, &dontAsk);
		EXPECT_EQ(choice, click.choice) << click.option;
		EXPECT_FALSE(dontAsk);
		// Go came back after the window quit.
		EXPECT_FALSE(WindowExists(fAnswerer->Seen().back().window));
	}
	// With no known choice to start from, no option is on.
	EXPECT_EQ(fAnswerer->Seen().front().selected, -1);

	// Starting on rename and going on at once keeps rename.
	int32 choice = 1;
	bool dontAsk = false;
	fAnswerer->Add("");
	Run(&choice, &dontAsk);
	EXPECT_EQ(choice, 1);
	EXPECT_EQ(fAnswerer->Seen().back().selected, 1);

	// Enter presses "Continue Install".
	ReplaceAnswer enter;
	enter.option = "Skip this item";
	enter.pressEnter = true;
	fAnswerer->Add(enter);
	Run(&choice, &dontAsk);
	EXPECT_EQ(choice, 0);
	EXPECT_EQ(fAnswerer->Unexpected(), 0);
}


TEST_F(ReplaceDialogTest, CancelInstall)
{
	int32 choice = 2;
	bool dontAsk = false;
	fAnswerer->AddCancel("Skip this item");
	Run(&choice, &dontAsk);
	EXPECT_EQ(choice, B_CANCELED);

	choice = 0;
	fAnswerer->AddCancel();
	Run(&choice, &dontAsk);
	EXPECT_EQ(choice, B_CANCELED);
	EXPECT_EQ(fAnswerer->Seen().back().selected, 2);
	EXPECT_FALSE(WindowExists(fAnswerer->Seen().back().window));
	EXPECT_EQ(fAnswerer->Unexpected(), 0);
}


TEST_F(ReplaceDialogTest, DontAskCheckBox)
{
	int32 choice = 2;
	bool dontAsk = false;
	fAnswerer->Add("", 1);
	Run(&choice, &dontAsk);
	EXPECT_TRUE(dontAsk);

	// On and off again: false, even for a caller whose flag was set.
	fAnswerer->Add("", 2);
	Run(&choice, &dontAsk);
	EXPECT_FALSE(dontAsk);
	EXPECT_EQ(fAnswerer->Seen().back().checkBoxValue, 0);

	// Never touched: the caller's flag stays as it was, though the box
	// starts off.
	dontAsk = true;
	fAnswerer->Add("Rename existing item");
	Run(&choice, &dontAsk);
	EXPECT_TRUE(dontAsk);
	EXPECT_EQ(choice, 1);
	EXPECT_EQ(fAnswerer->Seen().back().checkBoxValue, 0);
	EXPECT_EQ(fAnswerer->Unexpected(), 0);
}


// Not answered by the answerer: the picture is taken while the dialog is up.
class ReplaceDialogPictureTest : public InterfaceTest {};

TEST_F(ReplaceDialogPictureTest, WarningIconAndScreenshot)
{
	app_info info;
	ASSERT_EQ(test_application()->GetAppInfo(&info), B_OK);
	SetGlobalIcons(info.ref);
	ASSERT_NE(gYellowWarnIcon, nullptr);

	int32 choice = 2;
	bool dontAsk = false;
	char text[] = "An item named \"Tool\"\nwith a newer version already exists in\n"
		"\"/boot/apps\"";
	// Made and run by one thread, as the install worker does.
	auto going = std::async(std::launch::async, [&] {
		return (new ReplaceDialog(&choice, &dontAsk, text, 1))->Go();
	});

	DisplayWindowInfo window;
	ASSERT_TRUE(Automation::WaitForWindow("", &window));
	// Whatever is checked below, the dialog goes away at the end.
	struct Closer {
		int32 id;
		~Closer() { Automation::Click(id, "continue"); }
	} closer{window.id};
	ASSERT_TRUE(Automation::WaitUntilIdle());
	std::string path = screenshot_path("ui-replace-dialog");
	ASSERT_EQ(Automation::WriteWindowPNG(window.id, path.c_str()), B_OK);

	Pixels pixels(Automation::CaptureWindow(window.id));
	ASSERT_TRUE(pixels.IsValid());
	const rgb_color panel = make_color(230, 230, 230);
	int32 iconPixels = 0;
	for (int32 y = 10; y <= 41; y++) {
		for (int32 x = 10; x <= 41; x++) {
			if (!same_rgb(pixels.At(x, y), panel))
				iconPixels++;
		}
	}
	EXPECT_GT(iconPixels, 50);
	// Outside the icon and the controls the panel shows.
	EXPECT_TRUE(same_rgb(pixels.At(5, 5), panel)) << pixels.At(5, 5);
	EXPECT_TRUE(same_rgb(pixels.At(45, 5), panel)) << pixels.At(45, 5);

	ASSERT_EQ(Automation::Click(window.id, "continue"), B_OK);
	EXPECT_EQ(going.get(), 0);
	closer.id = -1;
	EXPECT_EQ(choice, 2);
	EXPECT_FALSE(WindowExists(window.id));
}


// The close box a desktop gives the dialog cancels, as "Cancel Install"
// does; so does Escape, even with another option chosen and the focus on a
// control.
TEST_F(ReplaceDialogPictureTest, TheCloseBoxAndEscapeCancel)
{
	int32 choice = 2;
	bool dontAsk = false;
	DisplayWindowInfo window;
	auto open = [&] {
		choice = 2;
		auto going = std::async(std::launch::async, [&] {
			return (new ReplaceDialog(&choice, &dontAsk, kText, 0))->Go();
		});
		EXPECT_TRUE(Automation::WaitForWindow("", &window));
		EXPECT_TRUE(Automation::WaitUntilIdle());
		return going;
	};

	auto going = open();
	ASSERT_EQ(Automation::PressCloseBox(window.id), B_OK);
	EXPECT_EQ(going.get(), 0);
	EXPECT_EQ(choice, B_CANCELED);
	EXPECT_FALSE(WindowExists(window.id));

	going = open();
	ASSERT_EQ(Automation::Click(window.id, "Rename existing item"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_EQ(choice, 1);
	ASSERT_EQ(Automation::PressKey(B_TAB), B_OK);
	ASSERT_EQ(Automation::PressKey(B_ESCAPE), B_OK);
	EXPECT_EQ(going.get(), 0);
	EXPECT_EQ(choice, B_CANCELED);
	EXPECT_FALSE(WindowExists(window.id));
}
