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


LicenseWindow::LicenseWindow(char* text, bool* declined, uint32 length, char* styles,
	const char* packageName)
	:
	BWindow(kWindowFrame, TitleFor(packageName).c_str(), B_MODAL_WINDOW, 0,
		B_CURRENT_WORKSPACE),
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
	*fDeclined = !_AskedByAgree(CurrentMessage());
	return true;
}


void
LicenseWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (PressButtonOnEscape(this, message, kDisagreeButtonName))
		return;
	BWindow::DispatchMessage(message, handler);
}


bool
LicenseWindow::_AskedByAgree(BMessage* message) const
{
	void* source = NULL;
	return message != NULL && message->FindPointer("source", &source) == B_OK
		&& source != NULL && source == FindView(kAgreeButtonName);
}


std::string
LicenseWindow::TitleFor(const char* packageName)
{
	std::string title = kLicenseWindowTitle;
	if (packageName != NULL && packageName[0] != '\0')
		title = std::string(packageName) + ": " + title;
	return title;
}
