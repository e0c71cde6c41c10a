#include <XCloseBox.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

namespace BPrivate {

namespace {

// The Motif hints: which fields count, then the functions and decorations
// the window manager offers.
const unsigned long kHintFunctions = 1 << 0;
const unsigned long kHintDecorations = 1 << 1;
const unsigned long kFunctionResize = 1 << 1;
const unsigned long kFunctionMove = 1 << 2;
const unsigned long kFunctionMinimize = 1 << 3;
const unsigned long kFunctionMaximize = 1 << 4;
const unsigned long kFunctionClose = 1 << 5;
const unsigned long kDecorationsAll = 1 << 0;

struct MotifHints {
	unsigned long flags;
	unsigned long functions;
	unsigned long decorations;
	long inputMode;
	unsigned long status;
};

} // namespace

void
set_x_close_box(SDL_Window* window, bool closable)
{
	SDL_SysWMinfo info;
	SDL_VERSION(&info.version);
	if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
		return;
	Display* display = info.info.x11.display;
	// The functions are named one by one: window managers read the form
	// that lists what is taken away less alike.
	MotifHints hints = {kHintFunctions | kHintDecorations,
		kFunctionResize | kFunctionMove | kFunctionMinimize | kFunctionMaximize
			| (closable ? kFunctionClose : 0),
		kDecorationsAll, 0, 0};
	Atom property = XInternAtom(display, "_MOTIF_WM_HINTS", False);
	XChangeProperty(display, info.info.x11.window, property, property, 32, PropModeReplace,
		reinterpret_cast<unsigned char*>(&hints), sizeof(hints) / sizeof(long));
	XFlush(display);
}

} // namespace BPrivate
