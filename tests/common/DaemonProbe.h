#ifndef _DAEMON_PROBE_H
#define _DAEMON_PROBE_H

// Tells whether processes a script started are still alive, whatever PID
// namespace they live in: each holds a named pipe open for writing (and
// writes "up" to it once), the test holds its reading end. Once every
// writer has died, reading gives the end of the data; while one lives it
// gives "try again".
//
//   DaemonProbe probe(root.HostPath("boot/alive"));
//   ... the script runs "exec 9>/boot/alive; echo up >&9; exec sleep 30" ...
//   EXPECT_EQ(probe.Messages(), "up\n");
//   EXPECT_TRUE(probe.AllWritersGone());

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

class DaemonProbe {
public:
	explicit DaemonProbe(const std::string& path)
	{
		// Open for everyone: the script may run as another user.
		if (mkfifo(path.c_str(), 0600) == 0 && chmod(path.c_str(), 0666) == 0)
			fRead = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	}

	~DaemonProbe()
	{
		if (fRead >= 0)
			close(fRead);
	}

	bool InitCheck() const { return fRead >= 0; }

	// What the writers wrote so far.
	std::string Messages()
	{
		_Drain();
		return fMessages;
	}

	// True when no process holds the pipe for writing any more.
	bool AllWritersGone()
	{
		return _Drain() == 0;
	}

private:
	// The last read's result: 0 at the end of the data (no writer left),
	// -1 with EAGAIN while a writer lives.
	ssize_t _Drain()
	{
		char buffer[256];
		for (;;) {
			ssize_t bytes = read(fRead, buffer, sizeof(buffer));
			if (bytes > 0) {
				fMessages.append(buffer, bytes);
				continue;
			}
			if (bytes < 0 && errno == EINTR)
				continue;
			return bytes;
		}
	}

	DaemonProbe(const DaemonProbe&) = delete;
	DaemonProbe& operator=(const DaemonProbe&) = delete;

	int fRead = -1;
	std::string fMessages;
};

#endif // _DAEMON_PROBE_H
