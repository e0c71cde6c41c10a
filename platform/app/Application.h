#ifndef _APPLICATION_H
#define _APPLICATION_H

// The application object: a looper whose loop runs on the thread that calls
// Run() (the main thread), until Quit. There is one per process: be_app,
// reached from anywhere through be_app_messenger.

#include <Looper.h>
#include <Messenger.h>
#include <Roster.h>

class BWindow;

class BApplication : public BLooper {
public:
	explicit BApplication(const char* signature);
	BApplication(const char* signature, status_t* error);
	~BApplication() override;

	status_t InitCheck() const { return fInitStatus; }

	// Runs the message loop on the calling thread: B_ARGV_RECEIVED (when
	// the program was given arguments) and B_READY_TO_RUN first, then every
	// message until Quit. Returns the thread's id.
	thread_id Run() override;
	// Ends Run after the current message (from the application's thread)
	// or as soon as the loop gets to it (from another thread). It does not
	// delete the application: whoever made it deletes it after Run.
	void Quit() override;
	// Asks the windows to quit; with none, agrees.
	bool QuitRequested() override;

	virtual void ReadyToRun();
	virtual void ArgvReceived(int32 argc, char** argv);
	virtual void RefsReceived(BMessage* message);
	virtual void AppActivated(bool active);
	virtual void AboutRequested();

	void DispatchMessage(BMessage* message, BHandler* handler) override;
	void MessageReceived(BMessage* message) override;

	// The application's windows (the interface kit keeps the list).
	int32 CountWindows() const;
	BWindow* WindowAt(int32 index) const;

	status_t GetAppInfo(app_info* info) const;
	const char* Signature() const { return fSignature; }
	bool IsLaunching() const { return !fReadyToRunCalled; }

private:
	void _InitData(const char* signature, status_t* error);
	BMessage* _ArgumentsMessage() const;

	char fSignature[B_MIME_TYPE_LENGTH];
	status_t fInitStatus;
	thread_id fMainThread;
	bool fRunStarted;
	bool fReadyToRunCalled;
};

extern BApplication* be_app;
extern BMessenger be_app_messenger;

namespace BPrivate {

// The window side of the quit protocol. The interface kit installs a hook
// that asks every window to quit (force: without asking) and answers
// whether all of them did; BApplication::QuitRequested answers with it.
typedef bool (*quit_windows_hook)(bool force);
void set_quit_windows_hook(quit_windows_hook hook);

} // namespace BPrivate

#endif // _APPLICATION_H
