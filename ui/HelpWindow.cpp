#include "HelpWindow.h"

#include "EscapeKey.h"
#include "HelpButton.h"
#include "HelpView.h"

#include <Font.h>
#include <Screen.h>
#include <ScrollBar.h>
#include <TextView.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// How far inside a screen edge a window that would cross it stays.
const float kEdgeGap = 4;
// What the help view puts beside its text: the text's inset on both sides
// and the scroll bar.
const float kTextSideRoom = 2 * 4 + B_V_SCROLL_BAR_WIDTH + 1;
// The widest a window is made for the author's lines, in ems of the text's
// font: about 80 characters. Longer lines are running paragraphs, wrapped
// at the window's width.
const float kMaxLineEms = 44;

// The width of the widest line the author broke: a line of a paragraph of
// several lines (a paragraph ends at an empty line), no wider than most.
// A paragraph of one line is a running one, wrapped at any width.
float
widest_author_line(const char* text, float most)
{
	std::vector<std::string> lines;
	for (const char* line = text; ; ) {
		const char* end = strchr(line, '\n');
		lines.push_back(end != NULL ? std::string(line, end - line) : std::string(line));
		if (end == NULL)
			break;
		line = end + 1;
	}
	float widest = 0;
	for (size_t i = 0; i < lines.size(); i++) {
		bool joined = (i > 0 && !lines[i - 1].empty())
			|| (i + 1 < lines.size() && !lines[i + 1].empty());
		float width = be_plain_font->StringWidth(lines[i].c_str());
		if (!lines[i].empty() && joined && width <= most)
			widest = std::max(widest, width);
	}
	return ceilf(widest);
}

} // namespace


HelpWindow::HelpWindow(const char* title, BPoint where, const char* text)
	:
	BWindow(BRect(0, 0, 240, 200), title, B_TITLED_WINDOW,
		B_NOT_ZOOMABLE | B_NOT_MINIMIZABLE, B_CURRENT_WORKSPACE)
{
	Lock();
	_FitWidth(text);
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
			if (textView != NULL && message->FindPointer("helptext", &text) == B_OK) {
				_FitWidth(static_cast<const char*>(text));
				textView->SetText(static_cast<const char*>(text));
			}
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


// Lines the author broke are not broken again: the window grows (never
// shrinks, and never past the screen) until they fit.
void
HelpWindow::_FitWidth(const char* text)
{
	if (text == NULL)
		return;
	BRect screen = BScreen(this).Frame();
	float most = std::min(kMaxLineEms * be_plain_font->Size(),
		screen.Width() - 2 * kEdgeGap - kTextSideRoom);
	float width = widest_author_line(text, most) + kTextSideRoom;
	if (width > Frame().Width())
		ResizeTo(width, Frame().Height());
}
