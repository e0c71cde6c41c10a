#ifndef _LOCKER_H
#define _LOCKER_H

// A recursive lock: the thread that holds it may lock it again, and must
// unlock it as often.

#include <SupportDefs.h>

#include <condition_variable>
#include <mutex>

class BLocker {
public:
	BLocker();
	explicit BLocker(const char* name);
	BLocker(const char* name, bool benaphoreStyle);
	virtual ~BLocker();

	status_t InitCheck() const { return B_OK; }

	bool Lock();
	status_t LockWithTimeout(bigtime_t timeout);
	void Unlock();

	bool IsLocked() const;
	int32 LockingThread() const;
	int32 CountLocks() const;
	const char* Name() const { return fName; }

private:
	BLocker(const BLocker&) = delete;
	BLocker& operator=(const BLocker&) = delete;

	mutable std::mutex fMutex;
	std::condition_variable fReleased;
	int32 fOwner;
	int32 fCount;
	const char* fName;
};

#endif // _LOCKER_H
