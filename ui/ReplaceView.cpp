#include "ReplaceView.h"

#include "ExistingItems.h"
#include "FSIcons.h"
#include "LabelView.h"

#include <Bitmap.h>
#include <Box.h>
#include <Button.h>
#include <CheckBox.h>
#include <Message.h>
#include <RadioButton.h>
#include <Window.h>

const char* const kSkipOptionLabel = "Skip this item";
const char* const kDontAskLabel = "Don't ask again, use this current setting";

namespace {

const rgb_color kPanelColor = {230, 230, 230, 0};

const float kTextHeight = 52;
const float kIconRoom = 41;
const float kBoxGap = 8;
const float kBoxHeight = 90;
const float kOptionHeight = 20;
const float kCheckBoxHeight = 14;
const float kButtonWidth = 120;
const float kButtonHeight = 24;
const float kButtonGap = 20;


BMessage*
ChoiceMessage(int32 choice)
{
	BMessage* message = new BMessage(kReplaceChoiceMessage);
	message->AddInt32("choice", choice);
	return message;
}

} // namespace


const char*
ReplaceOptionLabel(uint8 kind)
{
	switch (kind) {
		case 1:
			return "Replace newer version with older";
		case 2:
		case 3:
			return "Replace newer item with older";
		default:
			return "Replace existing item";
	}
}


const char*
RenameOptionLabel(uint8 kind)
{
	switch (kind) {
		case 1:
			return "Rename newer version and install older";
		case 2:
		case 3:
			return "Rename newer item and install older";
		default:
			return "Rename existing item";
	}
}


ReplaceView::ReplaceView(BRect frame, int16 choice, char* text, uint8 kind)
	:
	BView(frame, kReplaceViewName, B_FOLLOW_ALL_SIDES, B_WILL_DRAW),
	fChoice(choice),
	fText(text),
	fKind(kind)
{
}


void
ReplaceView::AttachedToWindow()
{
	SetViewColor(kPanelColor);

	BRect r = Bounds().InsetByCopy(10, 10);
	// The text stands right of the icon.
	AddChild(new LabelView(BRect(r.left + kIconRoom, r.top, r.right, r.top + kTextHeight),
		fText));
	r.bottom = r.top + kTextHeight;

	BRect boxFrame(r.left, r.bottom + kBoxGap, r.right, r.bottom + kBoxGap + kBoxHeight);
	_AddOptions(boxFrame);

	BRect checkFrame(boxFrame.left, boxFrame.bottom + kBoxGap, boxFrame.right,
		boxFrame.bottom + kBoxGap + kCheckBoxHeight);
	// Starts off whatever the caller's flag holds: asking again is what
	// brought the dialog up.
	AddChild(new BCheckBox(checkFrame, "", kDontAskLabel, new BMessage(kDontAskMessage),
		B_FOLLOW_LEFT | B_FOLLOW_BOTTOM, B_WILL_DRAW | B_NAVIGABLE));

	_AddButtons();
}


void
ReplaceView::_AddOptions(BRect boxFrame)
{
	BBox* box = new BBox(boxFrame, kReplaceChoicesName, B_FOLLOW_ALL_SIDES, B_WILL_DRAW,
		B_FANCY_BORDER);
	box->SetViewColor(kPanelColor);
	box->SetLowColor(kPanelColor);
	box->SetLabel("Options");
	AddChild(box);

	struct Option {
		const char* label;
		int32 choice;
	};
	const Option options[] = {
		{ReplaceOptionLabel(fKind), kReplaceExistingChoice},
		{RenameOptionLabel(fKind), kRenameExistingChoice},
		{kSkipOptionLabel, kSkipItemChoice},
	};
	BRect frame = box->Bounds().InsetByCopy(12, 20);
	frame.bottom = frame.top + kOptionHeight;
	for (const Option& option : options) {
		BRadioButton* button = new BRadioButton(frame, "", option.label,
			ChoiceMessage(option.choice), B_FOLLOW_LEFT | B_FOLLOW_TOP,
			B_WILL_DRAW | B_NAVIGABLE);
		box->AddChild(button);
		if (fChoice == option.choice)
			button->SetValue(B_CONTROL_ON);
		frame.OffsetBy(0, kOptionHeight);
	}
}


void
ReplaceView::_AddButtons()
{
	BRect b = Bounds().InsetByCopy(12, 12);
	BRect frame(b.right - kButtonWidth, b.bottom - kButtonHeight, b.right, b.bottom);
	BButton* continueButton = new BButton(frame, kContinueInstallName, "Continue Install",
		new BMessage(B_QUIT_REQUESTED), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
		B_WILL_DRAW | B_NAVIGABLE);
	AddChild(continueButton);

	frame.right = frame.left - kButtonGap;
	frame.left = frame.right - kButtonWidth;
	BMessage* cancel = new BMessage(B_QUIT_REQUESTED);
	cancel->AddBool("canceled", true);
	AddChild(new BButton(frame, kCancelInstallName, "Cancel Install", cancel,
		B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW | B_NAVIGABLE));

	Window()->SetDefaultButton(continueButton);
}


void
ReplaceView::Draw(BRect updateRect)
{
	BView::Draw(updateRect);
	if (gYellowWarnIcon == NULL)
		return;
	BRect bounds = Bounds();
	BRect iconFrame(bounds.left + 10, bounds.top + 10, bounds.left + 41, bounds.top + 41);
	SetLowColor(255, 255, 255, 255);
	SetDrawingMode(B_OP_OVER);
	DrawBitmap(gYellowWarnIcon, iconFrame);
	SetDrawingMode(B_OP_COPY);
}
