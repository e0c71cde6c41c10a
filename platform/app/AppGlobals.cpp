// The application object and its messenger. They live apart from
// BApplication so that messages can name the application as their default
// reply target in programs that never create one.

#include <Application.h>

BApplication* be_app = nullptr;
BMessenger be_app_messenger;
