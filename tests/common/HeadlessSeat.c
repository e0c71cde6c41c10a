/*
 * A compositor module for the Wayland tests: weston's headless backend has
 * no input devices and so offers no seat, and SDL's Wayland driver cannot
 * start on a compositor without one. This module gives it a seat with a
 * pointer and a keyboard (nothing ever moves them: the tests drive the
 * windows through the program's own input path).
 *
 *   weston --backend=headless-backend.so --modules=/path/to/headless-seat.so
 */

#include <libweston/libweston.h>

#include <stdlib.h>

/* Exported by libweston, but declared only in its private headers. */
void weston_seat_init(struct weston_seat *seat, struct weston_compositor *compositor,
	const char *name);
int weston_seat_init_pointer(struct weston_seat *seat);
int weston_seat_init_keyboard(struct weston_seat *seat, struct xkb_keymap *keymap);

WL_EXPORT int
wet_module_init(struct weston_compositor *compositor, int *argc, char *argv[])
{
	(void)argc;
	(void)argv;
	/* Lives as long as the compositor. */
	struct weston_seat *seat = calloc(1, sizeof *seat);
	if (seat == NULL)
		return -1;
	weston_seat_init(seat, compositor, "headless");
	if (weston_seat_init_pointer(seat) != 0
		|| weston_seat_init_keyboard(seat, NULL) != 0)
		return -1;
	return 0;
}
