#include "HelpButton.h"

#include "HelpWindow.h"
#include "ProgramResources.h"

#include <Application.h>
#include <Bitmap.h>
#include <File.h>
#include <Picture.h>
#include <Resources.h>

#include <cstdlib>

BPicture* HelpButton::HelpButtonPicture = NULL;
BPicture* HelpButton::HelpButtonOnPicture = NULL;
bool HelpButton::picsInited = false;

namespace {

// The question mark from the running program's own resources. Without
// them the bitmap stays as it was made.
BBitmap*
LoadQuestionMark()
{
	BBitmap* bitmap = new BBitmap(BRect(0, 0, 15, 15), B_RGB32);
	app_info info;
	if (be_app == NULL || be_app->GetAppInfo(&info) != B_OK)
		return bitmap;
	BFile file(&info.ref, B_READ_ONLY);
	BResources resources(&file);
	if (resources.InitCheck() != B_OK)
		return bitmap;
	size_t length = 0;
	void* data = resources.FindResource(kQuestionResourceType, kQuestionMarkName, &length);
	if (data != NULL) {
		bitmap->SetBits(data, static_cast<int32>(length), 0, B_RGB32);
		free(data);
	}
	return bitmap;
}

} // namespace


void
HelpButton::InitPicture(BView* view)
{
	if (picsInited)
		return;
	BBitmap* questionMark = LoadQuestionMark();
	rgb_color savedHigh = view->HighColor();

	view->BeginPicture(new BPicture);
	view->SetPenSize(1);
	view->StrokeRect(BRect(0, 0, 17, 17), B_SOLID_HIGH);
	view->SetHighColor(128, 128, 128, 255);
	view->FillRect(BRect(1, 1, 16, 16), B_SOLID_HIGH);
	view->SetDrawingMode(B_OP_OVER);
	view->DrawBitmap(questionMark, BRect(2, 2, 15, 15));
	HelpButtonPicture = view->EndPicture();

	// Pressed: the same, inverted but for the outermost right column and
	// bottom row.
	view->BeginPicture(new BPicture);
	view->DrawPicture(HelpButtonPicture);
	view->InvertRect(BRect(0, 0, 16, 16));
	HelpButtonOnPicture = view->EndPicture();

	view->SetHighColor(savedHigh);
	view->SetDrawingMode(B_OP_COPY);
	delete questionMark;
	picsInited = true;
}


void
HelpButton::Free()
{
	if (!picsInited)
		return;
	delete HelpButtonPicture;
	delete HelpButtonOnPicture;
	HelpButtonPicture = NULL;
	HelpButtonOnPicture = NULL;
	picsInited = false;
}


HelpButton::HelpButton(BRect frame, uint32 resizingMode, const char* title,
	const char* text)
	:
	BPictureButton(frame, "helpbutton", HelpButtonPicture, HelpButtonOnPicture,
		new BMessage(kHelpClicked), B_ONE_STATE_BUTTON, resizingMode,
		B_WILL_DRAW | B_NAVIGABLE),
	fHelpText(text),
	fWindowTitle(title)
{
}


HelpButton::~HelpButton()
{
	fHelpWindow.SendMessage(B_QUIT_REQUESTED);
}


void
HelpButton::AttachedToWindow()
{
	BPictureButton::AttachedToWindow();
	// The click comes back here, not to the window.
	SetTarget(this);
}


void
HelpButton::MessageReceived(BMessage* message)
{
	if (message->what != kHelpClicked) {
		BPictureButton::MessageReceived(message);
		return;
	}
	if (fHelpWindow.IsValid()) {
		fHelpWindow.SendMessage(kHelpActivate);
		return;
	}
	BPoint where = ConvertToScreen(Bounds().RightBottom());
	HelpWindow* window = new HelpWindow(fWindowTitle, where, fHelpText);
	fHelpWindow = BMessenger(window);
}


void
HelpButton::SetHelpText(const char* text)
{
	fHelpText = text;
	BMessage message(kHelpSetText);
	message.AddPointer("helptext", text);
	fHelpWindow.SendMessage(&message);
}


void
HelpButton::Hide()
{
	if (IsHidden())
		return;
	BPictureButton::Hide();
	fHelpWindow.SendMessage(B_QUIT_REQUESTED);
}


void
HelpButton::Show()
{
	if (!IsHidden())
		return;
	BPictureButton::Show();
}
