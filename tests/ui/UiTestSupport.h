#ifndef _TEST_UI_SUPPORT_H
#define _TEST_UI_SUPPORT_H

// What the widget tests share: the application object (the program's own
// file, with its bound resources, is found through it), and screenshots.

#include <Application.h>

#include <cairo.h>
#include <sys/stat.h>

#include <string>

inline BApplication*
test_application()
{
	static BApplication* application
		= new BApplication("application/x-vnd.kestrovan-ui-test");
	return application;
}

inline std::string
screenshot_path(const char* name)
{
	mkdir(KESTROVAN_SCREENSHOT_DIR, 0755);
	return std::string(KESTROVAN_SCREENSHOT_DIR) + "/" + name + ".png";
}

#endif // _TEST_UI_SUPPORT_H
