#ifndef _X_CLOSE_BOX_H
#define _X_CLOSE_BOX_H

// Whether the window manager of an X display offers a close box (and a
// close command) for a window: withheld for windows made B_NOT_CLOSABLE,
// which a desktop would otherwise frame with a close box that does
// nothing. Told through the Motif window manager hints, which SDL also
// uses for the window's decorations.
//
// Only the display thread calls this, for framed (not borderless) windows.

struct SDL_Window;

namespace BPrivate {

void set_x_close_box(SDL_Window* window, bool closable);

} // namespace BPrivate

#endif // _X_CLOSE_BOX_H
