#ifndef _TESTS_HOST_FILE_TEXT_H
#define _TESTS_HOST_FILE_TEXT_H

// A whole host file read as bytes, for tests that look at what a program
// wrote (its standard error, an installed file) by host path. An empty
// string when the file cannot be read.

#include <fstream>
#include <sstream>
#include <string>

inline std::string
ReadHostFileText(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream contents;
	contents << in.rdbuf();
	return contents.str();
}

#endif // _TESTS_HOST_FILE_TEXT_H
