#ifndef _TESTS_XVFB_SERVER_H
#define _TESTS_XVFB_SERVER_H

// An X server of the test's own (Xvfb), on a display number it picks
// itself, and a window manager on it when the test asks for one. Both end
// with the object, or with the test program however it ends.

#include <MessageLog.h>

#include <OS.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

// The program's path found on $PATH, or an empty string.
inline std::string
find_program(const char* name)
{
	const char* path = getenv("PATH");
	std::string folders = path != nullptr ? path : "/usr/bin:/bin";
	size_t start = 0;
	while (start <= folders.size()) {
		size_t end = folders.find(':', start);
		if (end == std::string::npos)
			end = folders.size();
		std::string candidate = folders.substr(start, end - start) + "/" + name;
		if (access(candidate.c_str(), X_OK) == 0)
			return candidate;
		start = end + 1;
	}
	return std::string();
}

class XvfbServer {
public:
	~XvfbServer() { Stop(); }

	// `options` go to Xvfb after the defaults, and so win over them
	// ("-screen 0 2048x1536x24", "-dpi 192").
	bool Start(const std::string& program, std::string* error,
		const std::vector<std::string>& options = {})
	{
		std::vector<std::string> words = {"Xvfb", "-displayfd", "3", "-screen", "0",
			"1024x768x24", "-nolisten", "tcp", "-noreset"};
		words.insert(words.end(), options.begin(), options.end());
		std::vector<char*> arguments;
		for (std::string& word : words)
			arguments.push_back(word.data());
		arguments.push_back(nullptr);
		int numberPipe[2];
		if (pipe2(numberPipe, O_CLOEXEC) != 0) {
			*error = "pipe failed";
			return false;
		}
		fPid = fork();
		if (fPid == 0) {
			// -displayfd: the server takes a free display and writes its
			// number there once it accepts connections.
			dup2(numberPipe[1], 3);
			_QuietChild();
			execv(program.c_str(), arguments.data());
			_exit(127);
		}
		close(numberPipe[1]);
		std::string number;
		pollfd waiting = {numberPipe[0], POLLIN, 0};
		bigtime_t deadline = system_time() + kTestWait;
		while (number.find('\n') == std::string::npos && system_time() < deadline) {
			if (poll(&waiting, 1, 100) <= 0)
				continue;
			char buffer[16];
			ssize_t length = read(numberPipe[0], buffer, sizeof(buffer));
			if (length <= 0)
				break;
			number.append(buffer, length);
		}
		close(numberPipe[0]);
		if (number.find('\n') == std::string::npos) {
			*error = "Xvfb did not start";
			Stop();
			return false;
		}
		fName = ":" + number.substr(0, number.find('\n'));
		return true;
	}

	// Starts the window manager program on the server; the caller waits
	// until it manages the screen.
	bool StartWindowManager(const std::string& program)
	{
		fManagerPid = fork();
		if (fManagerPid == 0) {
			setenv("DISPLAY", fName.c_str(), 1);
			_QuietChild();
			execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
			_exit(127);
		}
		return fManagerPid > 0;
	}

	void Stop()
	{
		for (pid_t* pid : {&fManagerPid, &fPid}) {
			if (*pid > 0) {
				kill(*pid, SIGTERM);
				waitpid(*pid, nullptr, 0);
				*pid = -1;
			}
		}
	}

	const std::string& Name() const { return fName; }

private:
	static void _QuietChild()
	{
		// A test that dies takes its server with it.
		prctl(PR_SET_PDEATHSIG, SIGTERM);
		int null = open("/dev/null", O_WRONLY);
		dup2(null, STDOUT_FILENO);
		dup2(null, STDERR_FILENO);
	}

	pid_t fPid = -1;
	pid_t fManagerPid = -1;
	std::string fName;
};

#endif // _TESTS_XVFB_SERVER_H
