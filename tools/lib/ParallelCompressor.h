#ifndef _PARALLEL_COMPRESSOR_H
#define _PARALLEL_COMPRESSOR_H

// Compresses many files at once, one job per file, on all cores. Every file
// becomes one complete zlib stream (see FileCompressor): in memory for a
// file within the buffer bound, in a temporary file of its own for a larger
// one. The writer waits for the jobs one after the other, in the order they
// were added, and copies each result into the package while later ones are
// still compressing.
//
// Memory stays bounded: each thread holds at most the buffer bound of input
// and the stream it compresses it into, and workers start no further
// in-memory job while finished results not yet released hold kResultBudget
// bytes or more. One writer waits for the results and releases them in the
// order of the jobs (jobs in memory are taken in that order, so a worker
// that waits for memory never holds up the job the writer waits for).
// Files expected beyond the buffer bound are started first: they take the
// longest and their results wait on disk (even if such a file has shrunk
// meanwhile), so the cores stay busy to the end instead of one of them
// finishing a large file alone.

#include "FileCompressor.h"

#include <PositionIO.h>
#include <SupportDefs.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct compressed_file : compressed_stream {
	std::string source;
	// The size the caller saw; it decides only the order of the work.
	int64 expectedSize = 0;
	status_t status = B_OK;
	bool taken = false;
	bool done = false;
};

class ParallelCompressor {
public:
	// About a second of compression on one core: enough for the other
	// cores to go on while one of them compresses a large file.
	static const size_t kResultBudget = 32 * 1024 * 1024;

	// Temporary files go into `temporaryDirectory`; `threads` 0 means one
	// per core; files up to `bufferBound` are compressed in memory.
	ParallelCompressor(const char* temporaryDirectory, int32 threads = 0,
		size_t bufferBound = FileCompressor::kBufferBound);
	// Stops the workers and removes every temporary file left.
	~ParallelCompressor();

	// Before Start only. Returns the job's index.
	int32 AddFile(const char* hostPath, int64 expectedSize = 0);
	int32 CountJobs() const { return (int32)fJobs.size(); }
	int32 CountThreads() const { return fThreadCount; }

	void Start();
	// Blocks until job `index` is done; its status.
	status_t WaitFor(int32 index);
	// Valid once WaitFor(index) has returned.
	const compressed_file& ResultAt(int32 index) const { return fJobs[index]; }
	// How many jobs are done by now (while the workers run).
	int32 CountDone();
	// The zlib stream of a finished job, from position 0, storedSize bytes;
	// valid until Release.
	status_t OpenResult(int32 index, std::unique_ptr<BPositionIO>* stream);
	// Copies the zlib stream of a finished job to `destination` at its
	// position, then releases it.
	status_t CopyResult(int32 index, BPositionIO* destination);
	// Frees the result of a finished job (its memory or its temporary
	// file) once the caller has copied it.
	void Release(int32 index);
	// Lets the workers finish the jobs they have begun and joins them.
	void Stop();

private:
	bool _TakeJob(std::unique_lock<std::mutex>& lock, size_t* index);
	void _Work();

	std::string fTemporaryDirectory;
	int32 fThreadCount;
	size_t fBufferBound;
	std::vector<compressed_file> fJobs;
	// Jobs expected beyond the buffer bound, largest first.
	std::vector<size_t> fLargeJobs;
	size_t fNextLargeJob;
	size_t fNextJob;
	// Bytes of finished in-memory results not yet released.
	size_t fHeldBytes;
	std::vector<std::thread> fThreads;
	std::mutex fLock;
	std::condition_variable fJobDone;
	std::condition_variable fResultReleased;
	// The job the writer waits for (-1: none), and how many workers wait
	// for memory: only they are woken, so that the writer is not woken for
	// every job and the workers not for every release.
	int32 fAwaitedJob;
	int32 fWorkersWaiting;
	bool fStopping;
};

#endif // _PARALLEL_COMPRESSOR_H
