/*
 * A compositor module for the Wayland tests of several monitors: weston's
 * headless backend makes one output; this module asks it for a second, of
 * the same size, which weston places to the right of the first.
 *
 *   weston --backend=headless-backend.so --modules=/path/to/headless-second-output.so
 */

#include <libweston/libweston.h>
#include <libweston/windowed-output-api.h>

WL_EXPORT int
wet_module_init(struct weston_compositor *compositor, int *argc, char *argv[])
{
	(void)argc;
	(void)argv;
	const struct weston_windowed_output_api *api = weston_windowed_output_get_api(compositor);
	if (api == NULL)
		return -1;
	return api->create_head(compositor, "headless-second") < 0 ? -1 : 0;
}
