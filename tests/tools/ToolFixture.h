#ifndef _TOOL_FIXTURE_H
#define _TOOL_FIXTURE_H

// Helpers for the package tool's tests: an author's source folder with
// attributes, running the command-line program, comparing trees.

#include "HostFile.h"
#include "ProgramResources.h"
#include "ScratchDir.h"

#include <ByteOrder.h>
#include <EntryRef.h>
#include <File.h>
#include <MallocIO.h>
#include <Resources.h>
#include <TypeConstants.h>

#include <gtest/gtest.h>

#include <zlib.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// What a complete zlib stream decodes to; a stream that does not end, or has
// bytes after its end, fails the test.
inline std::vector<uint8>
inflate_zlib_stream(const uint8* stored, size_t size)
{
	std::vector<uint8> out;
	z_stream stream = {};
	if (inflateInit(&stream) != Z_OK)
		return out;
	stream.next_in = const_cast<uint8*>(stored);
	stream.avail_in = (uInt)size;
	std::vector<uint8> buffer(1 << 20);
	int result;
	do {
		stream.next_out = buffer.data();
		stream.avail_out = (uInt)buffer.size();
		result = inflate(&stream, Z_NO_FLUSH);
		out.insert(out.end(), buffer.data(), buffer.data() + buffer.size() - stream.avail_out);
	} while (result == Z_OK);
	inflateEnd(&stream);
	EXPECT_EQ(result, Z_STREAM_END);
	EXPECT_EQ(stream.avail_in, 0u) << "bytes after the end of the stream";
	return out;
}

inline bool
host_xattrs_work(const std::string& folder)
{
	std::string probe = folder + "/.xattr-probe";
	std::ofstream(probe) << "x";
	bool works = setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
	unlink(probe.c_str());
	return works;
}


inline void
write_text(const std::string& path, const std::string& text)
{
	std::filesystem::create_directories(std::filesystem::path(path).parent_path());
	std::ofstream(path, std::ios::binary) << text;
}


inline std::string
read_text(const std::string& path)
{
	std::ifstream stream(path, std::ios::binary);
	std::ostringstream out;
	out << stream.rdbuf();
	return out.str();
}


inline void
set_times(const std::string& path, time_t modified)
{
	struct timespec times[2] = {{modified, 0}, {modified, 0}};
	utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}


// Every user attribute of a host node but the storage kit's reserved ones,
// by name.
inline std::map<std::string, std::string>
user_attributes(const std::string& path)
{
	std::map<std::string, std::string> attributes;
	char names[65536];
	ssize_t length = llistxattr(path.c_str(), names, sizeof(names));
	for (ssize_t at = 0; at < length; at += strlen(names + at) + 1) {
		std::string name = names + at;
		if (name.rfind("user.", 0) != 0 || name.rfind("user.kestrovan.", 0) == 0)
			continue;
		char value[65536];
		ssize_t size = lgetxattr(path.c_str(), name.c_str(), value, sizeof(value));
		attributes[name] = std::string(value, size > 0 ? size : 0);
	}
	return attributes;
}


struct program_result {
	int status = -1;
	std::string output;
};


// Runs the tool with arguments; standard output and error together, or
// standard error into `errorFile` when one is named.
inline program_result
run_tool(const std::string& arguments, const std::string& errorFile = "")
{
	program_result result;
	std::string command = std::string(KESTROVAN_PKG_PROGRAM) + " " + arguments
		+ (errorFile.empty() ? " 2>&1" : " 2>" + errorFile);
	FILE* pipe = popen(command.c_str(), "r");
	if (pipe == nullptr)
		return result;
	char buffer[4096];
	size_t count;
	while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
		result.output.append(buffer, count);
	int status = pclose(pipe);
	result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
	return result;
}


// A copy of the host program `program` with the given resources of the
// installer program (placeholder data) bound behind its image: a stub that
// sfx takes as long as every resource the installer loads is among them.
inline bool
make_stub_with_resources(const std::string& path,
	const std::vector<program_resource>& resources
		= std::vector<program_resource>(std::begin(kProgramResources),
			std::end(kProgramResources)),
	const char* program = "/bin/true")
{
	entry_ref ref;
	if (get_ref_for_host_path(program, &ref) != B_OK)
		return false;
	BFile image(&ref, B_READ_ONLY);
	BResources bound(&ref);
	int32 id = 1;
	for (const program_resource& resource : resources) {
		if (bound.AddResource(resource.type, id++, "data", 4, resource.name) != B_OK)
			return false;
	}
	HostFile output(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0755);
	BMallocIO nothing;
	return output.InitCheck() == B_OK && write_executable_with_resources(&image, &bound,
		&nothing, &output, 0, 0, nullptr) == B_OK;
}


// The names in a host folder (not recursive).
inline std::vector<std::string>
folder_names(const std::string& folder)
{
	std::vector<std::string> names;
	for (const auto& entry : std::filesystem::directory_iterator(folder))
		names.push_back(entry.path().filename().string());
	std::sort(names.begin(), names.end());
	return names;
}

#endif // _TOOL_FIXTURE_H
