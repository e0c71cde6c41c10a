#include <Alert.h>

#include <AlertTextView.h>
#include <Button.h>
#include <BlockedThreads.h>
#include <Invoker.h>
#include <Screen.h>

#include <cmath>
#include <cstring>

namespace {

const uint32 kButtonPressed = '_ALB';

const float kStripeWidth = 30;
const float kTextLeft = 55;
const float kMargin = 10;
const float kButtonHeight = 24;
const float kButtonSpacing = 9;
const float kMinButtonWidth = 75;
const float kDefaultWidth = 310;

// The background: the panel with a darker stripe at the left and the
// alert's icon over it.
class AlertView : public BView {
public:
	AlertView(BRect frame, alert_type type)
		:
		BView(frame, "_master_", B_FOLLOW_ALL, B_WILL_DRAW),
		fType(type)
	{
		SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
	}

	void Draw(BRect) override
	{
		BRect stripe = Bounds();
		stripe.right = kStripeWidth - 1;
		SetHighColor(tint_color(ViewColor(), B_DARKEN_1_TINT));
		FillRect(stripe);
		DrawIcon(BPoint(18, 6));
	}

private:
	void DrawIcon(BPoint at)
	{
		switch (fType) {
			case B_WARNING_ALERT:
				DrawWarning(at);
				break;
			case B_STOP_ALERT:
				DrawRound(at, make_color(200, 32, 32), '!');
				break;
			case B_INFO_ALERT:
				DrawRound(at, make_color(60, 100, 190), 'i');
				break;
			case B_IDEA_ALERT:
				DrawRound(at, make_color(240, 200, 40), '?');
				break;
			case B_EMPTY_ALERT:
				break;
		}
	}

	// A yellow triangle with a dark edge and an exclamation mark, in a
	// 32 x 32 square.
	void DrawWarning(BPoint at)
	{
		BPoint top(at.x + 15.5f, at.y + 1);
		BPoint left(at.x + 1, at.y + 29);
		BPoint right(at.x + 30, at.y + 29);
		SetHighColor(make_color(96, 72, 0));
		FillTriangle(top + BPoint(1, 2), left + BPoint(1, 2), right + BPoint(1, 2));
		SetHighColor(make_color(255, 206, 0));
		FillTriangle(top, left, right);
		SetHighColor(make_color(64, 48, 0));
		StrokeTriangle(top, left, right);
		SetHighColor(make_color(0, 0, 0));
		FillRect(BRect(at.x + 14, at.y + 9, at.x + 17, at.y + 20));
		FillRect(BRect(at.x + 14, at.y + 23, at.x + 17, at.y + 26));
	}

	void DrawRound(BPoint at, rgb_color color, char mark)
	{
		BRect circle(at.x, at.y, at.x + 31, at.y + 31);
		SetHighColor(color);
		FillEllipse(circle);
		SetHighColor(tint_color(color, B_DARKEN_2_TINT));
		StrokeEllipse(circle);
		BFont font(be_bold_font);
		font.SetSize(20);
		SetFont(&font);
		SetHighColor(make_color(255, 255, 255));
		char string[2] = {mark, '\0'};
		float width = StringWidth(string);
		DrawString(string, BPoint(at.x + 16 - width / 2, at.y + 23));
	}

	alert_type fType;
};

} // namespace

BAlert::BAlert(const char* title, const char* text, const char* button0,
	const char* button1, const char* button2, button_width width, alert_type type)
	:
	BWindow(BRect(0, 0, kDefaultWidth, 80), title, B_MODAL_WINDOW,
		B_NOT_RESIZABLE | B_NOT_ZOOMABLE | B_NOT_MINIMIZABLE | B_ASYNCHRONOUS_CONTROLS),
	fType(type),
	fButtons{nullptr, nullptr, nullptr},
	fShortcuts{0, 0, 0},
	fButtonCount(0),
	fTextView(nullptr),
	fResult(nullptr),
	fInvoker(nullptr),
	fAlive(std::make_shared<std::atomic<bool>>(true))
{
	const char* labels[3] = {button0, button1, button2};
	_Layout(text, labels, width);
}

BAlert::~BAlert()
{
	fAlive->store(false);
}

void
BAlert::_Layout(const char* text, const char* labels[3], button_width widthMode)
{
	// Buttons: a null label ends the list.
	BFont font(be_plain_font);
	float widths[3] = {0, 0, 0};
	float widest = kMinButtonWidth;
	for (int32 i = 0; i < 3 && labels[i] != nullptr; i++) {
		fButtonCount++;
		widths[i] = std::max(kMinButtonWidth, ceilf(font.StringWidth(labels[i]) + 20));
		if (widthMode == B_WIDTH_FROM_LABEL)
			widths[i] = ceilf(font.StringWidth(labels[i]) + 20);
		widest = std::max(widest, widths[i]);
	}
	float buttonsWidth = 0;
	for (int32 i = 0; i < fButtonCount; i++) {
		if (widthMode == B_WIDTH_FROM_WIDEST)
			widths[i] = widest;
		buttonsWidth += widths[i] + (i > 0 ? kButtonSpacing : 0);
	}
	float windowWidth = std::max(kDefaultWidth, kTextLeft + buttonsWidth + kMargin);

	BPrivate::AlertTextView measure(BRect(0, 0, 10, 10), nullptr, text);
	float textWidth = windowWidth - kTextLeft - kMargin;
	float textHeight = std::max(14.0f, measure.TextHeight(textWidth));
	float windowHeight = std::max(6 + textHeight + 12 + kButtonHeight + kMargin, 80.0f);
	ResizeTo(windowWidth, floorf(windowHeight));

	AlertView* master = new AlertView(Bounds(), fType);
	AddChild(master);
	fTextView = new BPrivate::AlertTextView(
		BRect(kTextLeft, 6, kTextLeft + textWidth, 6 + textHeight), "_tv_", text);
	fTextView->SetViewColor(master->ViewColor());
	master->AddChild(fTextView);

	// Right-aligned, in index order from the left; the last is the default.
	float right = Bounds().right - kMargin;
	float bottom = Bounds().bottom - kMargin;
	for (int32 i = fButtonCount - 1; i >= 0; i--) {
		BMessage* message = new BMessage(kButtonPressed);
		message->AddInt32("which", i);
		char name[16];
		snprintf(name, sizeof(name), "_b%d_", static_cast<int>(i));
		BRect frame(right - widths[i] + 1, bottom - kButtonHeight + 1, right, bottom);
		fButtons[i] = new BButton(frame, name, labels[i], message,
			B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM);
		right = frame.left - kButtonSpacing;
	}
	// Added left to right, the order Tab takes them in.
	for (int32 i = 0; i < fButtonCount; i++)
		master->AddChild(fButtons[i]);
	if (fButtonCount > 0)
		fButtons[fButtonCount - 1]->MakeDefault(true);

	// Centred, a quarter of the way down the screen.
	BRect screen = BScreen(this).Frame();
	MoveTo(floorf((screen.Width() - Frame().Width()) / 2),
		floorf((screen.Height() - Frame().Height()) / 4));
}

int32
BAlert::Go()
{
	int32 result = -1;
	fResult = &result;
	std::shared_ptr<std::atomic<bool>> alive = fAlive;
	BWindow* caller = dynamic_cast<BWindow*>(BLooper::LooperForThread(find_thread(nullptr)));
	// Locked until its thread is known: an alert answered at once quits and
	// deletes itself, and must not do so before this thread has read it.
	Lock();
	Show();
	thread_id thread = Thread();
	Unlock();
	if (caller != nullptr && caller != this) {
		// The caller's window cannot handle its messages until the alert
		// is answered, but it keeps its contents drawn.
		BPrivate::BlockedThreadScope blocked;
		while (alive->load()) {
			caller->UpdateIfNeeded();
			snooze(20000);
		}
	}
	// The window's thread ends when a button is pressed (and the alert is
	// gone); waiting for it marks this thread as blocked.
	status_t exitValue;
	wait_for_thread(thread, &exitValue);
	return result;
}

status_t
BAlert::Go(BInvoker* invoker)
{
	fInvoker = invoker;
	Show();
	return B_OK;
}

BButton*
BAlert::ButtonAt(int32 index) const
{
	return index >= 0 && index < fButtonCount ? fButtons[index] : nullptr;
}

void
BAlert::SetShortcut(int32 index, char key)
{
	if (index >= 0 && index < fButtonCount)
		fShortcuts[index] = key;
}

char
BAlert::Shortcut(int32 index) const
{
	return index >= 0 && index < fButtonCount ? fShortcuts[index] : 0;
}

const char*
BAlert::Text() const
{
	return fTextView->Text().c_str();
}

void
BAlert::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (message->what == B_KEY_DOWN) {
		const char* bytes;
		if (message->FindString("bytes", &bytes) == B_OK && bytes[0] != '\0'
			&& bytes[1] == '\0') {
			for (int32 i = 0; i < fButtonCount; i++) {
				if (fShortcuts[i] != 0 && fShortcuts[i] == bytes[0]) {
					_Pressed(i);
					return;
				}
			}
			if (bytes[0] == B_ESCAPE && fButtonCount > 0) {
				_Pressed(_CancelIndex());
				return;
			}
		}
	}
	if (message->what == B_QUIT_REQUESTED && handler == this) {
		// The close box a desktop gives the alert answers as its
		// cancel-like button would.
		_Pressed(_CancelIndex());
		return;
	}
	BWindow::DispatchMessage(message, handler);
}

int32
BAlert::_CancelIndex() const
{
	// "Cancel" where there is one, else the last button, which answers
	// most alerts ("OK").
	for (int32 i = 0; i < fButtonCount; i++) {
		const char* label = fButtons[i]->Label();
		if (label != nullptr && strcmp(label, "Cancel") == 0)
			return i;
	}
	return fButtonCount - 1;
}

void
BAlert::MessageReceived(BMessage* message)
{
	if (message->what == kButtonPressed) {
		int32 which;
		if (message->FindInt32("which", &which) == B_OK)
			_Pressed(which);
		return;
	}
	BWindow::MessageReceived(message);
}

void
BAlert::_Pressed(int32 index)
{
	if (fResult != nullptr)
		*fResult = index;
	if (fInvoker != nullptr) {
		BMessage copy(fInvoker->Message() != nullptr ? *fInvoker->Message()
			: BMessage(kButtonPressed));
		copy.SetInt32("which", index);
		fInvoker->Invoke(&copy);
		delete fInvoker;
		fInvoker = nullptr;
	}
	Quit();
}
