// The exclusive lock file that keeps install runs on one volume apart: one
// holder at a time within a process and across processes, released by the
// kernel when its holder dies, never kept by the holder's children, and
// gone from the folder once let go.

#include <Directory.h>
#include <FileLock.h>

#include <TempRoot.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

using BPrivate::FileLock;

class FileLockTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		std::filesystem::create_directories(fRoot.HostPath("boot/var/tmp"));
		ASSERT_EQ(fFolder.SetTo("/boot/var/tmp"), B_OK);
	}

	bool LockFileExists() const
	{
		return std::filesystem::exists(fRoot.HostPath("boot/var/tmp/run.lock"));
	}

	// A child process that takes the lock, says so through a pipe and then
	// sleeps (or, with `execute`, becomes a sleeping program) until killed.
	pid_t StartHolder(bool execute)
	{
		int ready[2];
		if (pipe(ready) != 0)
			return -1;
		pid_t child = fork();
		if (child == 0) {
			close(ready[0]);
			FileLock lock;
			char answer = lock.TryLock(&fFolder, "run.lock") == B_OK ? 'y' : 'n';
			if (execute) {
				// The program keeps no descriptor of the lock; the lock is
				// gone once this process image is.
				if (write(ready[1], &answer, 1) != 1)
					_exit(1);
				execl("/bin/sleep", "sleep", "30", (char*)nullptr);
				_exit(1);
			}
			if (write(ready[1], &answer, 1) != 1)
				_exit(1);
			pause();
			_exit(0);
		}
		close(ready[1]);
		char answer = 'n';
		if (read(ready[0], &answer, 1) != 1 || answer != 'y')
			child = -1;
		close(ready[0]);
		return child;
	}

	static void Stop(pid_t child)
	{
		kill(child, SIGKILL);
		waitpid(child, nullptr, 0);
	}

	BDirectory fFolder;
};


TEST_F(FileLockTest, OneHolderAtATimeWithinAProcess)
{
	FileLock first;
	FileLock second;
	ASSERT_EQ(first.TryLock(&fFolder, "run.lock"), B_OK);
	EXPECT_TRUE(first.IsLocked());
	EXPECT_TRUE(LockFileExists());
	// Asking again while holding it changes nothing.
	EXPECT_EQ(first.TryLock(&fFolder, "run.lock"), B_OK);
	EXPECT_EQ(second.TryLock(&fFolder, "run.lock"), B_BUSY);
	EXPECT_FALSE(second.IsLocked());
	// Another name is another lock.
	FileLock other;
	EXPECT_EQ(other.TryLock(&fFolder, "other.lock"), B_OK);

	first.Unlock();
	EXPECT_FALSE(first.IsLocked());
	EXPECT_FALSE(LockFileExists());
	ASSERT_EQ(second.TryLock(&fFolder, "run.lock"), B_OK);
	EXPECT_EQ(first.TryLock(&fFolder, "run.lock"), B_BUSY);
	second.Unlock();
	other.Unlock();
	EXPECT_TRUE(std::filesystem::is_empty(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(FileLockTest, AcrossProcessesAndReleasedWhenTheHolderDies)
{
	pid_t holder = StartHolder(false);
	ASSERT_GT(holder, 0);
	FileLock lock;
	EXPECT_EQ(lock.TryLock(&fFolder, "run.lock"), B_BUSY);
	// Killed without letting go: the file stays, the lock does not.
	Stop(holder);
	EXPECT_TRUE(LockFileExists());
	EXPECT_EQ(lock.TryLock(&fFolder, "run.lock"), B_OK);
	lock.Unlock();
	EXPECT_FALSE(LockFileExists());
}


TEST_F(FileLockTest, AProgramTheHolderStartsDoesNotKeepIt)
{
	pid_t holder = StartHolder(true);
	ASSERT_GT(holder, 0);
	// The holder's process becomes the program: its lock goes with the old
	// image although the process lives on (for 30 seconds).
	FileLock lock;
	status_t status = B_BUSY;
	for (int i = 0; i < 1000 && status == B_BUSY; i++) {
		status = lock.TryLock(&fFolder, "run.lock");
		if (status == B_BUSY)
			usleep(10000);
	}
	Stop(holder);
	EXPECT_EQ(status, B_OK);
}


TEST_F(FileLockTest, ALinkAtTheNameIsNeverFollowed)
{
	fRoot.WriteFile("boot/elsewhere", "untouched");
	std::filesystem::create_symlink(fRoot.HostPath("boot/elsewhere"),
		fRoot.HostPath("boot/var/tmp/run.lock"));
	FileLock lock;
	status_t status = lock.TryLock(&fFolder, "run.lock");
	EXPECT_NE(status, B_OK);
	EXPECT_NE(status, B_BUSY);
	EXPECT_FALSE(lock.IsLocked());
	EXPECT_EQ(fRoot.ReadFile("boot/elsewhere"), "untouched");
}
