#ifndef _PARALLEL_COMPRESSOR_H
#define _PARALLEL_COMPRESSOR_H

// Compresses many files at once, one job per file, on all cores. Every file
// becomes one complete zlib stream (default level, as the package codec
// writes it) in a temporary file of its own; a file is streamed through
// deflate in chunks, never held in memory whole. Jobs are taken in the order
// they were added, so the writer can wait for them one after the other and
// copy each result into the package while later ones are still compressing.

#include <PositionIO.h>
#include <SupportDefs.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct compressed_file {
	std::string source;
	std::string temporaryPath;
	// Bytes of zlib stream and bytes of the file as read.
	int64 storedSize = 0;
	int64 originalSize = 0;
	status_t status = B_OK;
	std::string error;
	bool done = false;
};

class ParallelCompressor {
public:
	static const size_t kChunkSize = 64 * 1024;

	// Temporary files go into `temporaryDirectory`; `threads` 0 means one
	// per core.
	ParallelCompressor(const char* temporaryDirectory, int32 threads = 0);
	// Stops the workers and removes every temporary file left.
	~ParallelCompressor();

	// Before Start only. Returns the job's index.
	int32 AddFile(const char* hostPath);
	int32 CountJobs() const { return (int32)fJobs.size(); }
	int32 CountThreads() const { return fThreadCount; }

	void Start();
	// Blocks until job `index` is done; its status.
	status_t WaitFor(int32 index);
	const compressed_file& ResultAt(int32 index) const { return fJobs[index]; }
	// Copies the zlib stream of a finished job to `destination` at its
	// position, in chunks, then removes the temporary file.
	status_t CopyResult(int32 index, BPositionIO* destination);
	// Removes the temporary file of a finished job that the caller has
	// copied itself.
	void Release(int32 index);
	// Lets the workers finish and joins them.
	void Stop();

	// One file through deflate into another; the sizes of both.
	static status_t CompressFile(const char* source, const char* destination,
		int64* storedSize, int64* originalSize, std::string* error);

private:
	void _Work();

	std::string fTemporaryDirectory;
	int32 fThreadCount;
	std::vector<compressed_file> fJobs;
	std::vector<std::thread> fThreads;
	std::mutex fLock;
	std::condition_variable fJobDone;
	size_t fNextJob;
	bool fStopping;
};

#endif // _PARALLEL_COMPRESSOR_H
