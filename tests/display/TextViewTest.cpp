#include <InterfaceFixture.h>
#include <MessageLog.h>

#include <Button.h>
#include <ScrollView.h>
#include <TextView.h>

#include <cmath>
#include <string>

// Text views: wrapping, offsets and points, editing by calls and by keys.

class TextViewTest : public InterfaceTest {
};

TEST_F(TextViewTest, WrapsAtWordsWithinTheTextRect)
{
	BTextView view(BRect(0, 0, 199, 99), "text", BRect(2, 2, 102, 50), B_FOLLOW_ALL,
		B_WILL_DRAW);
	const char* text = "The package contains more entries than expected.\nSecond paragraph";
	view.SetText(text);
	EXPECT_STREQ(view.Text(), text);
	EXPECT_EQ(view.TextLength(), static_cast<int32>(strlen(text)));
	ASSERT_GT(view.CountLines(), 2);
	float lineHeight = view.LineHeight();
	EXPECT_GT(lineHeight, 8);
	EXPECT_EQ(view.TextHeight(0, view.CountLines() - 1), lineHeight * view.CountLines());

	BFont font;
	view.GetFontAndColor(&font, nullptr);
	for (int32 line = 0; line < view.CountLines(); line++) {
		int32 start = view.OffsetAt(line);
		int32 end = view.OffsetAt(line + 1);
		std::string shown(text + start, end - start);
		while (!shown.empty() && (shown.back() == ' ' || shown.back() == '\n'))
			shown.pop_back();
		// Every line fits, and breaks only between words.
		EXPECT_LE(font.StringWidth(shown.c_str()), 100.0f) << shown;
		if (line > 0 && text[start - 1] != '\n') {
			EXPECT_EQ(text[start - 1], ' ') << line;
		}
		EXPECT_EQ(view.PointAt(start).y, 2 + line * lineHeight);
		EXPECT_EQ(view.PointAt(start).x, 2);
	}
	// The paragraph break starts a line.
	int32 second = static_cast<int32>(strchr(text, '\n') - text) + 1;
	EXPECT_EQ(view.OffsetAt(view.LineAt(second)), second);

	// Points and offsets agree.
	for (int32 offset = 0; offset < view.TextLength(); offset++) {
		if (text[offset] == ' ' || text[offset] == '\n')
			continue;
		BPoint point = view.PointAt(offset);
		EXPECT_EQ(view.OffsetAt(BPoint(point.x + 0.5f, point.y + 1)), offset) << offset;
	}

	view.SetWordWrap(false);
	EXPECT_EQ(view.CountLines(), 2);
	view.SetText("");
	EXPECT_EQ(view.CountLines(), 1);
}

TEST_F(TextViewTest, EditingCallsKeepTheSelectionInPlace)
{
	BTextView view(BRect(0, 0, 199, 99), "text", BRect(0, 0, 199, 99), B_FOLLOW_ALL,
		B_WILL_DRAW);
	view.SetText("install log");
	view.Select(8, 11);
	int32 start, finish;
	view.GetSelection(&start, &finish);
	EXPECT_EQ(start, 8);
	EXPECT_EQ(finish, 11);
	view.Insert(0, "the ", 4);
	view.GetSelection(&start, &finish);
	EXPECT_EQ(start, 12);
	EXPECT_EQ(finish, 15);
	view.Delete();
	EXPECT_STREQ(view.Text(), "the install ");
	view.Delete(0, 4);
	EXPECT_STREQ(view.Text(), "install ");
	view.Select(100, -3);
	view.GetSelection(&start, &finish);
	EXPECT_EQ(start, 0);
	EXPECT_EQ(finish, 8);
	char buffer[8];
	view.GetText(2, 3, buffer);
	EXPECT_STREQ(buffer, "sta");
	EXPECT_EQ(view.ByteAt(0), 'i');
	EXPECT_EQ(view.ByteAt(99), '\0');
	view.SetMaxBytes(10);
	view.Select(8, 8);
	view.Insert("folder");
	EXPECT_STREQ(view.Text(), "install fo");
}

TEST_F(TextViewTest, KeysEditTheFocusedTextAndEnterStaysInIt)
{
	auto log = std::make_shared<MessageLog>();
	class Window : public BWindow {
	public:
		Window(std::shared_ptr<MessageLog> log)
			: BWindow(BRect(100, 100, 399, 299), "editing", B_TITLED_WINDOW, 0), fLog(log)
		{
		}
		void MessageReceived(BMessage* message) override
		{
			if (message->what == 'done')
				fLog->Add(*message, find_thread(nullptr));
			else
				BWindow::MessageReceived(message);
		}
		std::shared_ptr<MessageLog> fLog;
	};
	Window* window = new Window(log);
	BTextView* text = new BTextView(BRect(10, 10, 200, 100), "editor", BRect(2, 2, 188, 88),
		B_FOLLOW_ALL, B_WILL_DRAW | B_NAVIGABLE);
	BButton* done = new BButton(BRect(210, 160, 284, 183), "done", "Done", new BMessage('done'));
	window->AddChild(text);
	window->AddChild(done);
	done->MakeDefault(true);
	text->MakeFocus();
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	EXPECT_EQ(Automation::TypeText("Hellp"), B_OK);
	EXPECT_EQ(Automation::PressKey(B_BACKSPACE), B_OK);
	EXPECT_EQ(Automation::TypeText("o"), B_OK);
	EXPECT_EQ(Automation::PressKey(B_ENTER), B_OK);
	EXPECT_EQ(Automation::TypeText("world"), B_OK);
	EXPECT_EQ(Automation::PressKey(B_HOME), B_OK);
	EXPECT_EQ(Automation::PressKey(B_RIGHT_ARROW, B_SHIFT_KEY), B_OK);
	EXPECT_EQ(Automation::TypeText("W"), B_OK);
	EXPECT_EQ(Automation::PressKey(B_UP_ARROW), B_OK);
	EXPECT_EQ(Automation::PressKey(B_END), B_OK);
	EXPECT_EQ(Automation::TypeText("!"), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	std::string shown;
	EXPECT_EQ(Automation::GetText(window->DisplayID(), "editor", &shown), B_OK);
	EXPECT_EQ(shown, "Hello!\nWorld");
	// Enter went into the text, not to the default button.
	EXPECT_EQ(log->Count(), 0u);

	// Read-only, the view leaves Enter to the default button.
	ASSERT_TRUE(window->Lock());
	text->MakeEditable(false);
	window->Unlock();
	EXPECT_EQ(Automation::TypeText("x"), B_OK);
	EXPECT_EQ(Automation::PressKey(B_ENTER), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	EXPECT_EQ(log->Count(), 1u);
	EXPECT_EQ(Automation::GetText(window->DisplayID(), "editor", &shown), B_OK);
	EXPECT_EQ(shown, "Hello!\nWorld");

	// A click places the caret; shift-click selects up to it.
	BRect frame;
	ASSERT_EQ(Automation::GetViewFrame(window->DisplayID(), "editor", &frame), B_OK);
	ASSERT_TRUE(window->Lock());
	text->MakeEditable(true);
	BPoint startOfWorld = text->ConvertToScreen(text->PointAt(7) + BPoint(0.5f, 2));
	BPoint endOfWorld = text->ConvertToScreen(text->PointAt(12) + BPoint(0.5f, 2));
	window->Unlock();
	EXPECT_EQ(Automation::ClickAt(startOfWorld), B_OK);
	snooze(600000);
	EXPECT_EQ(Automation::ClickAt(endOfWorld, B_PRIMARY_MOUSE_BUTTON, B_SHIFT_KEY), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	int32 start, finish;
	text->GetSelection(&start, &finish);
	EXPECT_EQ(start, 7);
	EXPECT_EQ(finish, 12);
	window->Unlock();
	QuitWindow(window);
}

TEST_F(TextViewTest, LongTextSetsTheScrollBarAndDraws)
{
	BWindow* window = new BWindow(BRect(100, 100, 339, 299), "help", B_TITLED_WINDOW, 0);
	BTextView* text = new BTextView(BRect(0, 0, 225, 155), "helptext", BRect(4, 4, 221, 151),
		B_FOLLOW_ALL, B_WILL_DRAW);
	BScrollView* scroller = new BScrollView("helpscroller", text, B_FOLLOW_ALL, 0, false,
		true, B_NO_BORDER);
	window->AddChild(scroller);
	std::string help;
	for (int32 i = 0; i < 40; i++)
		help += "Line " + std::to_string(i) + " of the help text.\n";
	text->SetText(help.c_str());
	text->MakeEditable(false);
	text->Select(0, 4);
	window->Show();
	ASSERT_TRUE(Automation::WaitUntilIdle());

	ASSERT_TRUE(window->Lock());
	BScrollBar* bar = scroller->ScrollBar(B_VERTICAL);
	float min, max;
	bar->GetRange(&min, &max);
	float content = text->TextHeight(0, text->CountLines() - 1) + 8;
	EXPECT_EQ(min, 0);
	EXPECT_EQ(max, ceilf(content - 156));
	EXPECT_NEAR(bar->Proportion(), 156 / content, 0.001);
	window->Unlock();

	auto pixels = Capture(window);
	// The selection's colour behind the first word, ink in the text.
	int32 selected = 0, ink = 0;
	for (int32 y = 4; y < 4 + text->LineHeight(); y++) {
		for (int32 x = 4; x < 40; x++) {
			rgb_color color = pixels->At(x, y);
			selected += same_rgb(color, make_color(172, 196, 230));
			ink += color.red < 100 && color.green < 100;
		}
	}
	EXPECT_GT(selected, 20);
	EXPECT_GT(ink, 10);

	// Page down scrolls by a page less a line.
	ASSERT_TRUE(window->Lock());
	text->MakeFocus();
	window->Unlock();
	EXPECT_EQ(Automation::PressKey(B_PAGE_DOWN), B_OK);
	ASSERT_TRUE(Automation::WaitUntilIdle());
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(text->Bounds().top, floorf(156 - text->LineHeight()));
	EXPECT_EQ(bar->Value(), text->Bounds().top);
	window->Unlock();
	QuitWindow(window);
}

TEST_F(TextViewTest, StyleRunsFollowTheTextAndSurviveFlattening)
{
	BTextView view(BRect(0, 0, 299, 99), "licensetext", BRect(3, 3, 296, 96), B_FOLLOW_ALL,
		B_WILL_DRAW);
	view.SetStylable(true);
	view.SetText("Plain BOLD big tail");
	BFont bold(be_bold_font);
	BFont big(be_plain_font);
	big.SetSize(20);
	view.SetFontAndColor(6, 10, &bold, B_FONT_ALL, &kRed);
	view.SetFontAndColor(11, 14, &big);

	BFont font;
	rgb_color color;
	view.GetFontAndColor(7, &font, &color);
	EXPECT_EQ(font, bold);
	EXPECT_EQ(color, kRed);
	view.GetFontAndColor(12, &font, &color);
	EXPECT_EQ(font.Size(), 20);
	EXPECT_EQ(color, kBlack);
	view.GetFontAndColor(15, &font, nullptr);
	EXPECT_EQ(font, *be_plain_font);
	// The big run makes its line taller.
	EXPECT_GT(view.LineHeight(0), 20);

	int32 length = 0;
	text_run_array* runs = view.RunArray(0, view.TextLength(), &length);
	ASSERT_NE(runs, nullptr);
	ASSERT_EQ(runs->count, 5);
	EXPECT_EQ(runs->runs[1].offset, 6);
	EXPECT_EQ(runs->runs[2].offset, 10);
	EXPECT_EQ(runs->runs[3].offset, 11);
	EXPECT_EQ(runs->runs[4].offset, 14);
	EXPECT_GT(length, 0);

	// Flattened and back, the runs are the same.
	int32 size = 0;
	void* flat = BTextView::FlattenRunArray(runs, &size);
	ASSERT_NE(flat, nullptr);
	EXPECT_EQ(size, 12 + 5 * 148);
	const uint8* bytes = static_cast<const uint8*>(flat);
	EXPECT_EQ(bytes[0], 'A');
	EXPECT_EQ(bytes[3], '!');
	EXPECT_EQ(bytes[11], 5);
	int32 readSize = 0;
	text_run_array* back = BTextView::UnflattenRunArray(flat, &readSize);
	ASSERT_NE(back, nullptr);
	EXPECT_EQ(readSize, size);
	ASSERT_EQ(back->count, runs->count);
	for (int32 i = 0; i < runs->count; i++) {
		EXPECT_EQ(back->runs[i].offset, runs->runs[i].offset);
		EXPECT_EQ(back->runs[i].font, runs->runs[i].font) << i;
		EXPECT_EQ(back->runs[i].color, runs->runs[i].color) << i;
	}
	uint8 broken[16] = {'N', 'o', 'p', 'e'};
	EXPECT_EQ(BTextView::UnflattenRunArray(broken), nullptr);

	// Applied to fresh text, the runs style it the same way.
	BTextView other(BRect(0, 0, 299, 99), "other", BRect(3, 3, 296, 96), B_FOLLOW_ALL,
		B_WILL_DRAW);
	other.SetStylable(true);
	other.SetText(view.Text());
	other.SetRunArray(0, other.TextLength(), back);
	other.GetFontAndColor(7, &font, &color);
	EXPECT_EQ(font, bold);
	EXPECT_EQ(color, kRed);
	free(flat);
	BTextView::FreeRunArray(runs);
	BTextView::FreeRunArray(back);

	// Editing moves the runs with their text.
	view.Insert(0, ">> ", 3);
	view.GetFontAndColor(10, &font, &color);
	EXPECT_EQ(font, bold);
	view.GetFontAndColor(8, &font, nullptr);
	EXPECT_EQ(font, *be_plain_font);
	view.Delete(0, 9);
	view.GetFontAndColor(0, &font, &color);
	EXPECT_EQ(font, bold);
	EXPECT_STREQ(view.Text(), "BOLD big tail");

	// A view that is not stylable has one style.
	BTextView plain(BRect(0, 0, 99, 99), "plain", BRect(0, 0, 99, 99), B_FOLLOW_ALL,
		B_WILL_DRAW);
	plain.SetText("some text");
	BFont fixed(be_fixed_font);
	fixed.SetSize(11);
	fixed.SetSpacing(B_BITMAP_SPACING);
	plain.SetFontAndColor(0, 4, &fixed);
	plain.GetFontAndColor(7, &font, nullptr);
	EXPECT_EQ(font, fixed);
	text_run_array* single = plain.RunArray(0, plain.TextLength());
	EXPECT_EQ(single->count, 1);
	BTextView::FreeRunArray(single);
}
