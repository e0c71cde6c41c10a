#include "EscapeKey.h"

#include <AppDefs.h>
#include <Button.h>
#include <InterfaceDefs.h>
#include <Message.h>
#include <Window.h>

#include <cstring>

bool
PressButtonOnEscape(BWindow* window, BMessage* message, const char* buttonName)
{
	const char* bytes = NULL;
	if (message->what != B_KEY_DOWN || message->FindString("bytes", &bytes) != B_OK
		|| strcmp(bytes, "\x1b") != 0) {
		return false;
	}
	BButton* button = dynamic_cast<BButton*>(window->FindView(buttonName));
	if (button == NULL || !button->IsEnabled())
		return false;
	button->Invoke();
	return true;
}
