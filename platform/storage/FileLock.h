#ifndef _FILE_LOCK_H
#define _FILE_LOCK_H

// An exclusive lock on a file in a folder: one holder at a time, across
// processes and within one (every lock opens the file on its own). It is the
// host's advisory whole-file lock, which the kernel drops when the holder's
// process ends however it ends, so a killed holder never leaves it taken.
// The file exists while the lock is held: the holder removes it as it lets
// go, and a lock taken on a file that was removed meanwhile is tried again
// on the new one.

#include <SupportDefs.h>

#include <string>

class BDirectory;

namespace BPrivate {

class FileLock {
public:
	FileLock();
	~FileLock();

	// Takes the lock on the file `name` in `folder` (made when missing; a
	// link there is never followed) without waiting: B_OK, B_BUSY while
	// another holder has it, or the error that kept the file from opening.
	status_t TryLock(BDirectory* folder, const char* name);
	void Unlock();
	// Lets go of the lock and leaves the file: what it holds is for the
	// next holder (a run's journal, left for the recovery of the run).
	void Release();
	bool IsLocked() const { return fFd >= 0; }

private:
	FileLock(const FileLock&) = delete;
	FileLock& operator=(const FileLock&) = delete;

	int fFolderFd;
	int fFd;
	std::string fName;
};

} // namespace BPrivate

#endif // _FILE_LOCK_H
