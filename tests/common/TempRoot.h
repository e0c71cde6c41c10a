#ifndef _TEMP_ROOT_H
#define _TEMP_ROOT_H

// A temporary system root for tests: a fresh host directory with the
// volumes boot/ and Data/, chosen with set_system_root and removed with
// everything in it afterwards.
//
//   class MyTest : public TempRootTest {};          // GoogleTest fixture
//   TempRoot root; root.HostPath("boot/x")          // or standalone

#include <SystemRoot.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

class TempRoot {
public:
	TempRoot()
	{
		std::string pattern = (std::filesystem::temp_directory_path() / "kestrovan-root-XXXXXX")
			.string();
		char* made = mkdtemp(pattern.data());
		if (made == nullptr)
			return;
		fHostPath = made;
		std::filesystem::create_directory(fHostPath + "/boot");
		std::filesystem::create_directory(fHostPath + "/Data");
		fStatus = set_system_root(fHostPath.c_str());
	}

	~TempRoot()
	{
		if (fHostPath.empty())
			return;
		std::error_code ignored;
		// Links are removed, never followed: a volume that is a link to a
		// host folder leaves that folder alone.
		std::filesystem::remove_all(fHostPath, ignored);
	}

	status_t InitCheck() const { return fHostPath.empty() ? B_ERROR : fStatus; }

	// The host path of a path relative to the root ("boot/home").
	std::string HostPath(const std::string& relative = "") const
	{
		return relative.empty() ? fHostPath : fHostPath + "/" + relative;
	}

	// Writes a host file below the root (parents created).
	void WriteFile(const std::string& relative, const std::string& contents) const
	{
		std::filesystem::path path(HostPath(relative));
		std::filesystem::create_directories(path.parent_path());
		std::ofstream(path, std::ios::binary) << contents;
	}

	std::string ReadFile(const std::string& relative) const
	{
		std::ifstream stream(HostPath(relative), std::ios::binary);
		return std::string(std::istreambuf_iterator<char>(stream), {});
	}

private:
	TempRoot(const TempRoot&) = delete;
	TempRoot& operator=(const TempRoot&) = delete;

	std::string fHostPath;
	status_t fStatus = B_ERROR;
};

class TempRootTest : public ::testing::Test {
protected:
	void SetUp() override { ASSERT_EQ(fRoot.InitCheck(), B_OK); }

	TempRoot fRoot;
};

#endif // _TEMP_ROOT_H
