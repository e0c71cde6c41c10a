#ifndef _SCRIPT_RUNNER_H
#define _SCRIPT_RUNNER_H

// Runs an install script (any program given by platform path) as a child
// process and hands back its combined output and its exit status.
//
// The child sees a private view of the system: the system root is "/", its
// volumes appear as "/boot", "/Data" ..., the host's program folders (/bin,
// /usr, /lib, /lib64, /etc) are bound in read-only, /tmp is private to the
// run, /dev holds only the usual device nodes and /proc is the view's own.
// The program cannot make the view's read-only folders writable again (also
// when the installer is root), and every process it starts ends when it
// does. Where the host refuses the namespaces this needs, the program runs
// directly with the host folder of the working directory, and RanIsolated()
// says so (the install log notes it). It then writes only below the system
// root's volumes (also as root, which then holds no capability); a program
// that would run as root where the kernel cannot confine it so is not run
// (Refused()).
//
//   ScriptRunner runner;
//   runner.SetWorkingDirectory("/boot/home");
//   runner.SetOutput(&log);                    // stdout and stderr, in order
//   int32 exitStatus;
//   status_t status = runner.Run("/boot/home/setup.sh", nullptr, &exitStatus);

#include <CancelFlag.h>
#include <DataIO.h>
#include <SupportDefs.h>

#include <string>
#include <vector>

class ScriptRunner {
public:
	// Exit status of a program that could not be executed at all.
	static constexpr int32 kCannotExecute = 127;

	enum {
		// Skip the private view and run directly (tests; hosts known to
		// refuse namespaces).
		kRunDirectly = 0x1
	};

								ScriptRunner(uint32 flags = 0);
								~ScriptRunner();

			// The platform directory the program starts in (default "/boot").
			void				SetWorkingDirectory(const char* path);
			// Where stdout and stderr go, chunk by chunk (none: discarded).
			void				SetOutput(BDataIO* output);
			// Extra "NAME=value" strings for the program's environment.
			void				AddEnvironment(const char* assignment);
			// A flag that, once raised, cancels the run as Cancel() does
			// (none by default; it must outlive the runner's Run()).
			void				SetCancelFlag(const BPrivate::CancelFlag* flag);

			// Runs the program with the given arguments (a null-terminated
			// array, may be null) and waits for it. B_OK when the program ran
			// or could not be executed (exitStatus 127); B_CANCELED after
			// Cancel(); another error when no child could be started. A
			// program killed by a signal reports 128 + the signal.
			status_t			Run(const char* path, const char* const* args,
									int32* exitStatus);

			// From another thread: ends the running program and all it
			// started, and Run() returns B_CANCELED as soon as they are gone;
			// a Run() that has not started yet returns B_CANCELED at once. The
			// program's process group first gets SIGTERM, and SIGKILL when
			// it has not ended kTerminationGrace later. A cancelled runner
			// stays cancelled.
			void				Cancel();

			static constexpr bigtime_t kTerminationGrace = 3000000;

			// After Run(): whether the program had its private view.
			bool				RanIsolated() const { return fRanIsolated; }
			// After Run(): the program was not run (exit status 127): it had
			// no view, and as root its writes could not be kept to the
			// system root.
			bool				Refused() const { return fRefused; }
			// After Run(): why the host refused the view (B_OK when it did
			// not, or when kRunDirectly asked for a direct run).
			status_t			ViewError() const { return fViewError; }

private:
			struct Launch;

			status_t			_Prepare(const char* path, const char* const* args,
									bool isolated, Launch& launch);
			status_t			_RunOnce(Launch& launch, int32* exitStatus,
									bool* _ran);
			static void			_PrepareOwnFolders(Launch& launch);
			static void			_PrepareConfinement(Launch& launch);
			status_t			_Start(Launch& launch, int outputWrite,
									int setupWrite, pid_t* child);
	[[noreturn]] static void	_RunChild(const Launch& launch, int outputWrite,
									int setupWrite);
	[[noreturn]] static void	_EnterView(const Launch& launch);
	[[noreturn]] static void	_RunViewInit(const Launch& launch);
	[[noreturn]] static void	_StartProgramInView(const Launch& launch,
									int proc);
			bool				_Collect(int outputRead, int setupRead,
									pid_t child, int32* exitStatus);
			bool				_SetupFailed(const std::string& record);
			void				_Emit(const char* text, size_t size);
			bool				_Cancelled() const;

			uint32				fFlags;
			std::string			fWorkingDirectory;
			BDataIO*			fOutput;
			std::vector<std::string> fEnvironment;
			bool				fRanIsolated;
			bool				fRefused;
			status_t			fViewError;

			BPrivate::CancelFlag fCancelRequest;
			const BPrivate::CancelFlag* fCancelFlag;
};

#endif // _SCRIPT_RUNNER_H
