#ifndef _TESTS_HOST_FILE_TEXT_H
#define _TESTS_HOST_FILE_TEXT_H

// A whole host file read as bytes, for tests that look at what a program
// wrote (its standard error, an installed file) by host path. An empty
// string when the file cannot be read. And the other way: a host file
// written whole, its missing folders made.

#include <filesystem>
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

inline void
WriteHostFileText(const std::string& path, const std::string& contents)
{
	std::filesystem::create_directories(std::filesystem::path(path).parent_path());
	std::ofstream(path, std::ios::binary) << contents;
}

#endif // _TESTS_HOST_FILE_TEXT_H
