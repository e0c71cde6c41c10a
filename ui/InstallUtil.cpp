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


status_t
ShowAndWaitForWindow(BWindow* window)
{
	// Locked until the thread is known: a dialog answered at once quits and
	// deletes itself, and must not do so before its thread has been read.
	window->Lock();
	window->Show();
	thread_id thread = window->Thread();
	window->Unlock();
	status_t exitValue;
	return wait_for_thread(thread, &exitValue);
}
