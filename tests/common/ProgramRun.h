#ifndef _TESTS_PROGRAM_RUN_H
#define _TESTS_PROGRAM_RUN_H

// A program run to its end as a person would start it from a shell, its
// standard error kept in a file: how it ended and what it said. A program
// that outlives the hang limit is killed, so that a test fails instead of
// blocking the suite.

#include "HostFileText.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

struct ProgramRun {
	// The exit status; -1 when a signal ended the program.
	int status = -1;
	// The signal that ended the program, 0 when it exited.
	int signal = 0;
	// Killed at the hang limit.
	bool hung = false;
	std::string errors;
};

// Only a program that hangs takes this long.
const int kProgramHangSeconds = 60;

// The sanitizers' settings of this process (their suppressions among them),
// for a program run with an environment of its own.
inline std::vector<std::string>
SanitizerEnvironment()
{
	std::vector<std::string> variables;
	for (char** variable = environ; *variable != nullptr; variable++) {
		std::string name(*variable, strcspn(*variable, "="));
		if (name.size() >= 11 && name.compare(name.size() - 11, 11, "SAN_OPTIONS") == 0)
			variables.push_back(*variable);
	}
	return variables;
}

// `words` (the program's path first) with standard input and output on
// /dev/null and standard error in `errorsPath`; with `environment`, only
// those variables, else this process's. With `outputPath`, standard output
// goes to that file.
inline ProgramRun
RunProgram(std::vector<std::string> words, const std::string& errorsPath,
	const std::vector<std::string>* environment = nullptr,
	const std::string* outputPath = nullptr)
{
	std::vector<char*> argv;
	for (std::string& word : words)
		argv.push_back(word.data());
	argv.push_back(nullptr);
	std::vector<std::string> variables = environment != nullptr
		? *environment : std::vector<std::string>();
	std::vector<char*> envp;
	for (std::string& variable : variables)
		envp.push_back(variable.data());
	envp.push_back(nullptr);

	ProgramRun run;
	int errors = open(errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
	if (errors < 0)
		return run;
	pid_t child = fork();
	if (child == 0) {
		int null = open("/dev/null", O_RDWR);
		dup2(null, 0);
		dup2(null, 1);
		dup2(errors, 2);
		if (outputPath != nullptr) {
			int output = open(outputPath->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
			dup2(output, 1);
		}
		if (environment != nullptr)
			execve(argv[0], argv.data(), envp.data());
		else
			execv(argv[0], argv.data());
		_exit(127);
	}
	close(errors);
	int status = 0;
	for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; waited++) {
		if (waited >= kProgramHangSeconds * 100) {
			run.hung = true;
			kill(child, SIGKILL);
			waitpid(child, &status, 0);
			break;
		}
		usleep(10000);
	}
	run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
	run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
	run.errors = ReadHostFileText(errorsPath);
	return run;
}

#endif // _TESTS_PROGRAM_RUN_H
