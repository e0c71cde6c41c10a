#include "PasswordPrompt.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>


SecretKey::password_source
PasswordPrompt::For(const std::string& passwordFile, const std::string& keyName)
{
	return [passwordFile, keyName](std::string* password, std::string* error) {
		if (!passwordFile.empty())
			return _ReadFile(passwordFile, password, error);
		return _AskTerminal("Password for " + keyName + ": ", password, error);
	};
}


bool
PasswordPrompt::AskNew(const std::string& passwordFile, std::string* password,
	std::string* error)
{
	if (!passwordFile.empty())
		return _ReadFile(passwordFile, password, error);
	std::string again;
	if (!_AskTerminal("Password for the new key (empty: none): ", password, error)
		|| !_AskTerminal("The same password again: ", &again, error))
		return false;
	if (*password != again) {
		*error = "the two passwords differ";
		return false;
	}
	return true;
}


bool
PasswordPrompt::_ReadFile(const std::string& path, std::string* password, std::string* error)
{
	std::ifstream file(path);
	if (!file) {
		*error = path + ": " + strerror(errno);
		return false;
	}
	std::getline(file, *password);
	if (!password->empty() && password->back() == '\r')
		password->pop_back();
	return true;
}


bool
PasswordPrompt::_AskTerminal(const std::string& prompt, std::string* password,
	std::string* error)
{
	int terminal = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
	if (terminal < 0) {
		*error = "the key needs a password and there is no terminal to ask on: "
			"give --password-file FILE";
		return false;
	}
	struct termios saved;
	bool echoOff = tcgetattr(terminal, &saved) == 0;
	if (echoOff) {
		struct termios quiet = saved;
		quiet.c_lflag &= ~(tcflag_t)ECHO;
		quiet.c_lflag |= ECHONL;
		tcsetattr(terminal, TCSAFLUSH, &quiet);
	}
	if (write(terminal, prompt.data(), prompt.size()) < 0) {
		// Nothing to do: the answer is still read.
	}
	password->clear();
	char c;
	while (read(terminal, &c, 1) == 1 && c != '\n')
		password->push_back(c);
	if (echoOff)
		tcsetattr(terminal, TCSAFLUSH, &saved);
	close(terminal);
	return true;
}
