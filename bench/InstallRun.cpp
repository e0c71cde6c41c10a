// One install run as a whole process, for timing against other extractors:
//   kestrovan-install-run PACKAGE ROOT
// opens PACKAGE (a host file), installs every item of every group into the
// install folder "apps" of the boot volume of the system root ROOT (a host
// folder, created when missing) with the real install worker and progress
// window on the headless display, and answers the closing question with
// "Continue". Exit status 0 when the run completed. KESTROVAN_DECODE_AHEAD=0
// in the environment makes the worker decode every entry itself, for a
// comparison with decoding ahead on a second thread (the default).

#include "DestManager.h"
#include "DoError.h"
#include "InstallLooper.h"
#include "InstallPack.h"
#include "PackAttrib.h"

#include <Directory.h>
#include <DisplayBackend.h>
#include <EntryRef.h>
#include <Looper.h>
#include <Message.h>
#include <Node.h>
#include <SystemRoot.h>

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Stands for the install window: waits for the worker's 'Done'.
class RunWatcher : public BLooper {
public:
	RunWatcher() : BLooper("run watcher") {}

	void MessageReceived(BMessage* message) override
	{
		if (message->what == kInstallDoneMessage) {
			fCompleted = message->HasBool("close");
			fDone = true;
			fDone.notify_all();
		}
	}

	std::atomic<bool> fDone{false};
	std::atomic<bool> fCompleted{false};
};


dev_t
boot_device()
{
	BDirectory boot("/boot");
	node_ref ref;
	return boot.GetNodeRef(&ref) == B_OK ? ref.device : -1;
}

} // namespace


int
main(int argc, char** argv)
{
	if (argc != 3) {
		fprintf(stderr, "usage: %s PACKAGE ROOT\n", argv[0]);
		return 2;
	}
	mkdir(argv[2], 0755);
	std::string boot = std::string(argv[2]) + "/boot";
	mkdir(boot.c_str(), 0755);
	if (set_system_root(argv[2]) != B_OK
		|| BPrivate::DisplayBackend::Select("headless") != B_OK) {
		fprintf(stderr, "cannot use the root %s\n", argv[2]);
		return 1;
	}
	// Nobody at a window: alerts go to standard error and take their first
	// button ("Continue" for the closing question).
	SetAlertSink(StandardErrorAlertSink());

	entry_ref ref;
	if (get_ref_for_host_path(argv[1], &ref) != B_OK)
		return 1;
	InstallPack pack(ref, false);
	if (pack.fEntry == NULL)
		return 1;
	const char* decodeAhead = getenv("KESTROVAN_DECODE_AHEAD");
	if (decodeAhead != NULL && strcmp(decodeAhead, "0") == 0)
		pack.SetDecodeAhead(false);
	PackAttrib attributes;
	if (pack.NewReadAttributes(&attributes) != B_OK)
		return 1;
	pack.ClearFile();
	attributes.fInstallFolderGroups = ~0u;

	DestManager manager(&attributes);
	manager.SetTarget(NULL, (char*)"apps", boot_device(), NULL, false);
	manager.fLogging = true;

	RunWatcher* watcher = new RunWatcher;
	watcher->Run();
	InstallLooper* worker = new InstallLooper(&pack);
	worker->fWindowMessenger = BMessenger(watcher);
	worker->Run();

	BMessage install(kInstallMessage);
	install.AddPointer("archive item", NULL);
	install.AddInt32("groups", -1);
	install.AddInt64("bytes", 0);
	install.AddInt32("item count", 0);
	install.AddPointer("destinations", &manager);
	worker->PostMessage(&install);
	watcher->fDone.wait(false);

	bool completed = watcher->fCompleted;
	BMessenger(worker).SendMessage(B_QUIT_REQUESTED);
	if (watcher->Lock())
		watcher->Quit();
	return completed ? 0 : 1;
}
