#include "HelpWindow.h"

#include "EscapeKey.h"
#include "HelpButton.h"
#include "HelpView.h"

#include <Screen.h>
#include <TextView.h>

namespace {

// How far inside a screen edge a window that would cross it stays.
const float kEdgeGap = 4;

} // namespace


HelpWindow::HelpWindow(const char* title, BPoint where, const char* text)
	:
	BWindow(BRect(0, 0, 240, 200), title, B_TITLED_WINDOW,
		B_NOT_ZOOMABLE | B_NOT_MINIMIZABLE, B_CURRENT_WORKSPACE)
{
	Lock();
	MoveTo(where);
	BRect frame = Frame();
	BRect screen = BScreen(this).Frame();
	if (screen.right < frame.right)
		MoveTo(screen.right - (frame.right - frame.left) - kEdgeGap, frame.top);
	else if (screen.left > frame.left)
		MoveTo(screen.left + kEdgeGap, frame.top);
	frame = Frame();
	if (screen.bottom < frame.bottom)
		MoveTo(frame.left, screen.bottom - (frame.bottom - frame.top) - kEdgeGap);
	AddChild(new HelpView(Bounds(), text));
	Show();
	Unlock();
}


void
HelpWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kHelpActivate:
			Activate(true);
			break;
		case kHelpSetText:
		{
			BTextView* textView = dynamic_cast<BTextView*>(FindView("helptext"));
			void* text = NULL;
			if (textView != NULL && message->FindPointer("helptext", &text) == B_OK)
				textView->SetText(static_cast<const char*>(text));
			break;
		}
		default:
			BWindow::MessageReceived(message);
			break;
	}
}


void
HelpWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (PressButtonOnEscape(this, message, "done"))
		return;
	BWindow::DispatchMessage(message, handler);
}
