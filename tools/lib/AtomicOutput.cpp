#include "AtomicOutput.h"

#include <Errors.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

AtomicOutput::AtomicOutput()
	:
	fCommitted(false)
{
}


AtomicOutput::~AtomicOutput()
{
	Abandon();
}


status_t
AtomicOutput::SetTo(const char* path, std::string* error)
{
	Abandon();
	fCommitted = false;
	fPath = path;
	// The rename would fail only after all the work, and a name with a
	// trailing slash cannot become a file either.
	struct stat st;
	if ((stat(path, &st) == 0 && S_ISDIR(st.st_mode))
		|| (!fPath.empty() && fPath.back() == '/')) {
		*error = fPath + ": is a folder; give a file name";
		return B_IS_A_DIRECTORY;
	}
	fTemporaryPath = fPath + ".tmp-XXXXXX";
	int fd = mkostemp(fTemporaryPath.data(), O_CLOEXEC);
	if (fd < 0) {
		status_t status = errno_status();
		*error = fPath + ": " + strerror(errno);
		fTemporaryPath.clear();
		return status;
	}
	close(fd);
	return fFile.SetTo(fTemporaryPath.c_str(), O_RDWR);
}


const std::string&
AtomicOutput::ScratchFolder()
{
	if (fScratchFolder.empty() && !fPath.empty()) {
		std::string pattern = fPath + ".work-XXXXXX";
		if (mkdtemp(pattern.data()) != nullptr)
			fScratchFolder = pattern;
	}
	return fScratchFolder;
}


status_t
AtomicOutput::Commit(mode_t mode, std::string* error)
{
	int fd = fFile.Descriptor();
	if (fd < 0)
		return B_NO_INIT;
	if (fchmod(fd, mode) != 0 || fsync(fd) != 0
		|| rename(fTemporaryPath.c_str(), fPath.c_str()) != 0) {
		status_t status = errno_status();
		*error = fPath + ": " + strerror(errno);
		return status;
	}
	fCommitted = true;
	fFile.Unset();
	fTemporaryPath.clear();
	Abandon();
	return B_OK;
}


void
AtomicOutput::Abandon()
{
	fFile.Unset();
	if (!fCommitted && !fTemporaryPath.empty())
		unlink(fTemporaryPath.c_str());
	fTemporaryPath.clear();
	if (!fScratchFolder.empty()) {
		std::error_code ignored;
		std::filesystem::remove_all(fScratchFolder, ignored);
		fScratchFolder.clear();
	}
}
