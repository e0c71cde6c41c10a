#include <FolderNameField.h>

#include <InterfaceDefs.h>
#include <Message.h>
#include <Window.h>

#include <cstring>

namespace BPrivate {

namespace {

// The text's inset inside the field's frame.
const float kInset = 2;

} // namespace

FolderNameField::FolderNameField(BRect frame, const char* oldName)
	:
	BTextView(frame, kFolderNameFieldName, BRect(kInset, 1, frame.Width() - kInset,
		frame.Height() - 1), B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP, B_WILL_DRAW | B_NAVIGABLE),
	fOldName(oldName)
{
	SetWordWrap(false);
	SetText(oldName);
}

void
FolderNameField::AttachedToWindow()
{
	BTextView::AttachedToWindow();
	SelectAll();
	MakeFocus(true);
}

void
FolderNameField::Draw(BRect updateRect)
{
	BTextView::Draw(updateRect);
	// Framed, so that it reads as a field over the row.
	SetHighColor(ui_color(B_KEYBOARD_NAVIGATION_COLOR));
	StrokeRect(Bounds());
}

void
FolderNameField::KeyDown(const char* bytes, int32 numBytes)
{
	if (numBytes == 1) {
		switch (bytes[0]) {
			case B_ENTER:
				_Send(kFolderNameChosen);
				return;
			case B_ESCAPE:
				_Send(kFolderNameAbandoned);
				return;
			case B_TAB:
			case '/':
				// No name holds a slash; Tab is not text here.
				return;
			default:
				break;
		}
	}
	BTextView::KeyDown(bytes, numBytes);
}

void
FolderNameField::_Send(uint32 what)
{
	BMessage message(what);
	message.AddString("name", Text());
	message.AddString("old name", fOldName.c_str());
	Window()->PostMessage(&message);
}

} // namespace BPrivate
