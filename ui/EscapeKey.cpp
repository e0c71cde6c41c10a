#include "EscapeKey.h"

#include <AppDefs.h>
#include <Button.h>
#include <InterfaceDefs.h>
#include <Message.h>
#include <Window.h>

#include <cstring>

namespace {

bool
is_escape_down(BMessage* message)
{
	const char* bytes = NULL;
	return message->what == B_KEY_DOWN && message->FindString("bytes", &bytes) == B_OK
		&& strcmp(bytes, "\x1b") == 0;
}

} // namespace


bool
PressButtonOnEscape(BWindow* window, BMessage* message, const char* buttonName)
{
	if (!is_escape_down(message))
		return false;
	BButton* button = dynamic_cast<BButton*>(window->FindView(buttonName));
	if (button == NULL || !button->IsEnabled())
		return false;
	button->Invoke();
	return true;
}


bool
CloseOnEscape(BWindow* window, BMessage* message)
{
	if (!is_escape_down(message))
		return false;
	// A message without a source: the window's QuitRequested takes it for
	// the close box, never for its accepting button.
	window->PostMessage(B_QUIT_REQUESTED);
	return true;
}
