#include "StatusWindow.h"

#include "EscapeKey.h"
#include "PositionWindow.h"
#include "StatusView.h"

StatusWindow::StatusWindow(BRect frame, const char* title)
	:
	BWindow(frame, title, B_TITLED_WINDOW,
		B_NOT_RESIZABLE | B_NOT_CLOSABLE | B_NOT_ZOOMABLE, B_CURRENT_WORKSPACE)
{
	Lock();
	// Off screen while the thread is started, so that nothing flashes up.
	float width = frame.right - frame.left;
	float height = frame.bottom - frame.top;
	MoveTo(-width - 10, -height - 10);
	AddChild(new StatusView(Bounds(), "statview"));
	Show();
	Hide();
	PositionWindow(this, 0.5, 0.5);
	Unlock();
}


void
StatusWindow::Show()
{
	if (IsHidden())
		BWindow::Show();
}


void
StatusWindow::Hide()
{
	if (!IsHidden())
		BWindow::Hide();
}


void
StatusWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (PressButtonOnEscape(this, message, "cancel"))
		return;
	BWindow::DispatchMessage(message, handler);
}
