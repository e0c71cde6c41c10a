#ifndef _TESTS_EXTRAS_FIXTURE_H
#define _TESTS_EXTRAS_FIXTURE_H

// A temporary system root with the volumes boot and Data for the tests of
// resources, node and application information, queries and MIME typing,
// with helpers that lay out host files in it.

#include <HostFileIO.h>
#include <TempRoot.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

class ExtrasTest : public TempRootTest {
protected:
	// The host path of a platform path such as "/boot/apps/Tool".
	std::string HostPath(const std::string& platformPath) const
	{
		return fRoot.HostPath() + platformPath;
	}

	// Writes a host file at a platform path, making its directories.
	void MakeFile(const std::string& platformPath, const std::vector<uint8>& bytes)
	{
		std::filesystem::path host = HostPath(platformPath);
		std::filesystem::create_directories(host.parent_path());
		ASSERT_TRUE(write_host_file(host.string(), bytes)) << platformPath;
		// Made behind the kit's back: not executable unless asked.
		chmod(host.c_str(), 0644);
	}

	void MakeFile(const std::string& platformPath, const std::string& text)
	{
		MakeFile(platformPath, std::vector<uint8>(text.begin(), text.end()));
	}

	// The mounted volume of that name.
	static status_t GetVolume(const char* name, BVolume* volume)
	{
		BVolumeRoster roster;
		while (roster.GetNextVolume(volume) == B_OK) {
			char volumeName[B_FILE_NAME_LENGTH];
			if (volume->GetName(volumeName) == B_OK
				&& strcmp(volumeName, name) == 0)
				return B_OK;
		}
		return B_ENTRY_NOT_FOUND;
	}

	// A copy of the running test program: a real ELF executable.
	void MakeExecutable(const std::string& platformPath)
	{
		MakeFile(platformPath, read_host_file("/proc/self/exe"));
		chmod(HostPath(platformPath).c_str(), 0755);
	}
};

#endif // _TESTS_EXTRAS_FIXTURE_H
