#ifndef _TESTS_WESTON_SERVER_H
#define _TESTS_WESTON_SERVER_H

// A Wayland compositor of the test's own: weston's headless backend, with
// the tests' seat module loaded (SDL's Wayland driver needs a seat), in a
// runtime folder of its own. It ends with the object, or with the test
// program however it ends. A test may leave the seat out, scale the output,
// or add a second output beside the first.

#include <XvfbServer.h>

#include <OS.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

// How the compositor is made.
struct WestonSetup {
	bool seat = true;
	int32 scale = 1;
	bool secondOutput = false;
};

class WestonServer {
public:
	~WestonServer() { Stop(); }

	// Why the compositor cannot be had here (empty when it can).
	static std::string Missing()
	{
		if (find_program("weston").empty())
			return "weston is not installed (Debian package weston)";
		std::string seat = KESTROVAN_WESTON_SEAT;
		if (seat.empty() || access(seat.c_str(), R_OK) != 0) {
			return "the tests' seat module for weston was not built (Debian package "
				"libweston-10-dev): weston's headless compositor has no seat without it, "
				"and SDL's Wayland driver cannot start on a compositor without one";
		}
		return std::string();
	}

	bool Start(std::string* error, const WestonSetup& setup = WestonSetup())
	{
		char folder[] = "/tmp/kestrovan-weston.XXXXXX";
		if (mkdtemp(folder) == nullptr) {
			*error = "no runtime folder";
			return false;
		}
		fRuntime = folder;
		fSocket = "wayland-kestrovan-test";
		std::string program = find_program("weston");
		std::string modules = "--modules=";
		if (setup.seat)
			modules += std::string(KESTROVAN_WESTON_SEAT) + ",";
		if (setup.secondOutput)
			modules += std::string(KESTROVAN_WESTON_SECOND_OUTPUT) + ",";
		if (modules.back() == ',')
			modules.pop_back();
		std::string socket = "--socket=" + fSocket;
		std::string scale = "--scale=" + std::to_string(setup.scale);
		fPid = fork();
		if (fPid == 0) {
			setenv("XDG_RUNTIME_DIR", fRuntime.c_str(), 1);
			unsetenv("DISPLAY");
			unsetenv("WAYLAND_DISPLAY");
			prctl(PR_SET_PDEATHSIG, SIGTERM);
			int null = open("/dev/null", O_WRONLY);
			dup2(null, STDOUT_FILENO);
			dup2(null, STDERR_FILENO);
			execl(program.c_str(), "weston", "--backend=headless-backend.so",
				"--use-pixman", "--no-config", "--idle-time=0", "--width=1280",
				"--height=1024", scale.c_str(), socket.c_str(), modules.c_str(),
				static_cast<char*>(nullptr));
			_exit(127);
		}
		// The socket appears once the compositor listens.
		std::string path = fRuntime + "/" + fSocket;
		bigtime_t deadline = system_time() + kTestWait;
		struct stat status;
		while (stat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode)) {
			if (system_time() > deadline || waitpid(fPid, nullptr, WNOHANG) == fPid) {
				*error = "weston did not start";
				fPid = -1;
				Stop();
				return false;
			}
			snooze(20000);
		}
		// A client that connects now is answered once the compositor has
		// loaded its modules (the seat among them) and runs its loop.
		return true;
	}

	void Stop()
	{
		if (fPid > 0) {
			kill(fPid, SIGTERM);
			waitpid(fPid, nullptr, 0);
			fPid = -1;
		}
		if (!fRuntime.empty()) {
			std::error_code ignored;
			std::filesystem::remove_all(fRuntime, ignored);
			fRuntime.clear();
		}
	}

	// What a client needs in its environment to reach the compositor.
	const std::string& RuntimeFolder() const { return fRuntime; }
	const std::string& Socket() const { return fSocket; }

private:
	pid_t fPid = -1;
	std::string fRuntime;
	std::string fSocket;
};

#endif // _TESTS_WESTON_SERVER_H
