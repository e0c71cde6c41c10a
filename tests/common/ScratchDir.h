#ifndef _TESTS_SCRATCH_DIR_H
#define _TESTS_SCRATCH_DIR_H

// A temporary host directory, removed with everything in it at the end.

#include <cstdlib>
#include <filesystem>
#include <string>

class ScratchDir {
public:
	ScratchDir()
	{
		std::string pattern
			= (std::filesystem::temp_directory_path() / "kestrovan-test-XXXXXX")
				.string();
		if (mkdtemp(pattern.data()) != nullptr)
			fPath = pattern;
	}

	~ScratchDir()
	{
		if (!fPath.empty()) {
			std::error_code ignored;
			std::filesystem::remove_all(fPath, ignored);
		}
	}

	ScratchDir(const ScratchDir&) = delete;
	ScratchDir& operator=(const ScratchDir&) = delete;

	const std::string& Path() const { return fPath; }
	std::string operator/(const std::string& leaf) const
	{
		return fPath + "/" + leaf;
	}

private:
	std::string fPath;
};

#endif // _TESTS_SCRATCH_DIR_H
