#ifndef _PASSWORD_PROMPT_H
#define _PASSWORD_PROMPT_H

// Where a key's password comes from: the first line of a password file
// (for scripts and build machines), or the person at the terminal, asked
// without echo. Never from the command line, where others could see it.

#include "SecretKey.h"

#include <string>

class PasswordPrompt {
public:
	// `passwordFile` empty: ask on the terminal.
	static SecretKey::password_source For(const std::string& passwordFile,
		const std::string& keyName);
	// A new key's password: from the file, or typed twice on the terminal;
	// empty when the person wants none. False, with the reason, when there
	// is neither file nor terminal, or the two entries differ.
	static bool AskNew(const std::string& passwordFile, std::string* password,
		std::string* error);

private:
	static bool _ReadFile(const std::string& path, std::string* password, std::string* error);
	static bool _AskTerminal(const std::string& prompt, std::string* password,
		std::string* error);
};

#endif // _PASSWORD_PROMPT_H
