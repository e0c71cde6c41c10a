#ifndef _WRITE_BEHIND_H
#define _WRITE_BEHIND_H

// Starts a volume's writeback while a run writes to it. A completed run is
// on the disk before its journal says so: the run ends by flushing the
// volume, and waits until everything it wrote is there. Without help the
// system writes nothing back before that flush (a run writes far less than
// it lets wait in memory), so the disk would sit idle while the run decodes
// and then take the whole run's data at once. Instead, after every
// kStepBytes installed, a thread of its own flushes the volume, the disk
// works while the run goes on, and the last flush finds little left. A
// volume in memory has nothing to write: a flush costs it nothing.

#include <SupportDefs.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <sys/types.h>
#include <thread>

class WriteBehind {
public:
	enum { kStepBytes = 32 * 1024 * 1024 };

	// `flush` writes a volume back and waits for it (the default flushes
	// through the volume's own Sync); tests give their own.
	explicit WriteBehind(std::function<void(dev_t)> flush = nullptr);
	// Stops.
	~WriteBehind();

	// Begins for `volume`; a flusher for an earlier one is stopped first.
	void Start(dev_t volume);
	// Worker side: `bytes` more have been written to the volume.
	void Written(off_t bytes);
	// Waits for a flush under way and ends the thread; nothing once
	// stopped. The run's own last flush comes after this.
	void Stop();

private:
	WriteBehind(const WriteBehind&) = delete;
	WriteBehind& operator=(const WriteBehind&) = delete;

	void _Run(dev_t volume);

	const std::function<void(dev_t)> fFlush;
	std::mutex fLock;
	std::condition_variable fWake;
	std::thread fThread;
	// Written since the last flush was asked for (the worker's alone).
	off_t fUnflushed;
	bool fDue;
	bool fStopping;
};

#endif // _WRITE_BEHIND_H
