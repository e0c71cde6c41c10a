#include "InstallUtil.h"

#include <OS.h>
#include <Window.h>

void
WaitForWindow(BWindow* window)
{
	thread_id thread = window->Thread();
	// The window cannot handle a message while this thread holds it.
	while (window->IsLocked() && window->LockingThread() == find_thread(NULL))
		window->Unlock();
	status_t result;
	wait_for_thread(thread, &result);
}
