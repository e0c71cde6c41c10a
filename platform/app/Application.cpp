#include <Application.h>

#include <EntryRef.h>
#include <Message.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <strings.h>
#include <unistd.h>
#include <vector>

namespace {

BPrivate::quit_windows_hook sQuitWindowsHook = nullptr;

// The process's arguments as the host recorded them at its start.
std::vector<std::string>
ProcessArguments()
{
	std::vector<std::string> arguments;
	std::ifstream commandLine("/proc/self/cmdline", std::ios::binary);
	std::string argument;
	while (std::getline(commandLine, argument, '\0'))
		arguments.push_back(argument);
	return arguments;
}

} // namespace

namespace BPrivate {

void
set_quit_windows_hook(quit_windows_hook hook)
{
	sQuitWindowsHook = hook;
}

} // namespace BPrivate

BApplication::BApplication(const char* signature)
	:
	BLooper(signature, B_NORMAL_PRIORITY)
{
	_InitData(signature, nullptr);
}

BApplication::BApplication(const char* signature, status_t* error)
	:
	BLooper(signature, B_NORMAL_PRIORITY)
{
	_InitData(signature, error);
}

void
BApplication::_InitData(const char* signature, status_t* error)
{
	fSignature[0] = '\0';
	fInitStatus = B_OK;
	fMainThread = find_thread(nullptr);
	fRunStarted = false;
	fReadyToRunCalled = false;

	if (be_app != nullptr) {
		fprintf(stderr, "BApplication: only one application object may exist\n");
		fInitStatus = B_ALREADY_RUNNING;
	} else {
		be_app = this;
		be_app_messenger = BMessenger(nullptr, this);
	}
	if (signature == nullptr || strncasecmp(signature, "application/", 12) != 0) {
		if (fInitStatus == B_OK)
			fInitStatus = B_BAD_VALUE;
	} else {
		strncpy(fSignature, signature, sizeof(fSignature) - 1);
		fSignature[sizeof(fSignature) - 1] = '\0';
	}
	if (error != nullptr)
		*error = fInitStatus;
}

BApplication::~BApplication()
{
	if (be_app == this) {
		be_app = nullptr;
		be_app_messenger = BMessenger();
	}
}

thread_id
BApplication::Run()
{
	if (fInitStatus != B_OK)
		return fInitStatus;
	if (fRunStarted)
		return B_ALREADY_RUNNING;
	fRunStarted = true;
	_SetThread(find_thread(nullptr));
	if (IsLocked())
		Unlock();
	if (!_IsQuitting()) {
		_PostFront(new BMessage(B_READY_TO_RUN));
		// The command line arguments come before the start, as the
		// platform's launch delivers them.
		BMessage* arguments = _ArgumentsMessage();
		if (arguments != nullptr)
			_PostFront(arguments);
		_RunLoop();
		// The loop ends holding the lock for its last message.
		Unlock();
	}
	return Thread();
}

BMessage*
BApplication::_ArgumentsMessage() const
{
	std::vector<std::string> arguments = ProcessArguments();
	if (arguments.size() < 2)
		return nullptr;
	BMessage* message = new BMessage(B_ARGV_RECEIVED);
	message->AddInt32("argc", static_cast<int32>(arguments.size()));
	for (const std::string& argument : arguments)
		message->AddString("argv", argument.c_str());
	char directory[PATH_MAX];
	if (getcwd(directory, sizeof(directory)) != nullptr)
		message->AddString("cwd", directory);
	return message;
}

void
BApplication::Quit()
{
	// Whoever calls Quit should hold the lock; take it for them if not, so
	// the flag is not set in the middle of a message.
	bool lockedHere = false;
	if (fRunStarted && !IsLocked()) {
		Lock();
		lockedHere = true;
	}
	_StopLoop();
	if (lockedHere)
		Unlock();
}

bool
BApplication::QuitRequested()
{
	if (sQuitWindowsHook != nullptr)
		return sQuitWindowsHook(false);
	return true;
}

void
BApplication::ReadyToRun()
{
}

void
BApplication::ArgvReceived(int32, char**)
{
}

void
BApplication::RefsReceived(BMessage*)
{
}

void
BApplication::AppActivated(bool)
{
}

void
BApplication::AboutRequested()
{
}

void
BApplication::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (handler != this) {
		BLooper::DispatchMessage(message, handler);
		return;
	}
	switch (message->what) {
		case B_READY_TO_RUN:
			if (!fReadyToRunCalled) {
				fReadyToRunCalled = true;
				ReadyToRun();
			}
			break;
		case B_ARGV_RECEIVED: {
			int32 argc = 0;
			message->FindInt32("argc", &argc);
			std::vector<char*> argv;
			const char* argument;
			for (int32 i = 0; message->FindString("argv", i, &argument) == B_OK; i++)
				argv.push_back(const_cast<char*>(argument));
			argv.push_back(nullptr);
			ArgvReceived(static_cast<int32>(argv.size() - 1), argv.data());
			break;
		}
		case B_REFS_RECEIVED:
			RefsReceived(message);
			break;
		case B_APP_ACTIVATED: {
			bool active = false;
			message->FindBool("active", &active);
			AppActivated(active);
			break;
		}
		case B_ABOUT_REQUESTED:
			AboutRequested();
			break;
		default:
			BLooper::DispatchMessage(message, handler);
			break;
	}
}

void
BApplication::MessageReceived(BMessage* message)
{
	BLooper::MessageReceived(message);
}

status_t
BApplication::GetAppInfo(app_info* info) const
{
	if (info == nullptr)
		return B_BAD_VALUE;
	info->thread = Thread() >= 0 ? Thread() : fMainThread;
	info->team = Team();
	info->port = -1;
	info->flags = B_MULTIPLE_LAUNCH;
	strncpy(info->signature, fSignature, sizeof(info->signature) - 1);
	info->signature[sizeof(info->signature) - 1] = '\0';

	// The executable as the host names it now, links resolved.
	char path[PATH_MAX];
	if (realpath("/proc/self/exe", path) == nullptr)
		return errno_status();
	return get_ref_for_host_path(path, &info->ref);
}
