#ifndef _X_ERROR_HANDLERS_H
#define _X_ERROR_HANDLERS_H

// Xlib reports errors through two handlers it keeps for the whole process,
// whichever connection and thread met the error. Its default ones end the
// program with exit() from that thread while the others run on, and SDL's
// pass errors on to the handler they found. The sdl display takes both over
// while it is open: an error about one request (a window that is already
// gone) is logged on stderr and the program goes on; a lost connection
// ends the program at once, without exit handlers, which would destroy
// what the other threads are still using.
//
// The display thread calls these; they are not meant for other threads.

namespace BPrivate {

// Installs the handlers, remembering those they replace.
void take_x_error_handlers();
// Puts back the handlers take replaced.
void release_x_error_handlers();

} // namespace BPrivate

#endif // _X_ERROR_HANDLERS_H
