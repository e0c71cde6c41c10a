#include "LicenseWindow.h"

#include "EscapeKey.h"
#include "LicenseView.h"
#include "PositionWindow.h"

#include <Message.h>

namespace {

const BRect kWindowFrame(0, 0, 600, 400);
const float kMinWidth = 300;
const float kMinHeight = 200;
const float kMaxSize = 8192;

} // namespace


LicenseWindow::LicenseWindow(char* text, bool* declined, uint32 length, char* styles)
	:
	BWindow(kWindowFrame, "license", B_MODAL_WINDOW, B_NOT_CLOSABLE, B_CURRENT_WORKSPACE),
	fDeclined(declined)
{
	Lock();
	*fDeclined = false;
	PositionWindow(this, 0.5, 0.5);
	SetSizeLimits(kMinWidth, kMaxSize, kMinHeight, kMaxSize);
	AddChild(new LicenseView(Bounds(), text, length, styles));
	Unlock();
	Show();
}


LicenseWindow::~LicenseWindow()
{
}


bool
LicenseWindow::QuitRequested()
{
	BMessage* message = CurrentMessage();
	bool cancelled = false;
	if (message != NULL && message->FindBool("cancelled", &cancelled) == B_OK && cancelled)
		*fDeclined = true;
	return true;
}


void
LicenseWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (PressButtonOnEscape(this, message, kDisagreeButtonName))
		return;
	BWindow::DispatchMessage(message, handler);
}
