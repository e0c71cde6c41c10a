#include "FuzzScratch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

std::vector<std::string> gFolders;


void
RemoveFolders()
{
	for (const std::string& folder : gFolders) {
		std::error_code ignored;
		std::filesystem::remove_all(folder, ignored);
	}
}

} // namespace


std::string
FuzzScratch::Make(const char* name)
{
	std::string pattern = (std::filesystem::temp_directory_path()
		/ (std::string("kestrovan-fuzz-") + name + "-XXXXXX")).string();
	if (mkdtemp(pattern.data()) == nullptr)
		abort();
	std::string folder = std::filesystem::canonical(pattern).native();
	if (gFolders.empty())
		atexit(RemoveFolders);
	gFolders.push_back(folder);
	return folder;
}


void
FuzzScratch::WriteFile(const std::string& path, const void* data, size_t size)
{
	int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
	if (fd < 0)
		abort();
	if (size > 0 && write(fd, data, size) != (ssize_t)size)
		abort();
	close(fd);
}
