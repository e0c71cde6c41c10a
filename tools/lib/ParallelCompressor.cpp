#include "ParallelCompressor.h"

#include "HostFile.h"

#include <MemoryIO.h>
#include <Errors.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace {

const size_t kCopyChunk = 256 * 1024;

} // namespace


ParallelCompressor::ParallelCompressor(const char* temporaryDirectory, int32 threads,
	size_t bufferBound)
	:
	fTemporaryDirectory(temporaryDirectory != nullptr ? temporaryDirectory : "/tmp"),
	fThreadCount(threads),
	fBufferBound(bufferBound),
	fNextLargeJob(0),
	fNextJob(0),
	fHeldBytes(0),
	fAwaitedJob(-1),
	fWorkersWaiting(0),
	fStopping(false)
{
	if (fThreadCount <= 0)
		fThreadCount = (int32)std::max(1u, std::thread::hardware_concurrency());
}


ParallelCompressor::~ParallelCompressor()
{
	Stop();
	for (const compressed_file& job : fJobs) {
		if (!job.temporaryPath.empty())
			unlink(job.temporaryPath.c_str());
	}
}


int32
ParallelCompressor::AddFile(const char* hostPath, int64 expectedSize)
{
	compressed_file job;
	job.source = hostPath;
	job.expectedSize = expectedSize;
	fJobs.push_back(std::move(job));
	return (int32)fJobs.size() - 1;
}


void
ParallelCompressor::Start()
{
	for (size_t index = 0; index < fJobs.size(); index++) {
		if (fJobs[index].expectedSize > (int64)fBufferBound)
			fLargeJobs.push_back(index);
	}
	std::stable_sort(fLargeJobs.begin(), fLargeJobs.end(), [this](size_t a, size_t b) {
		return fJobs[a].expectedSize > fJobs[b].expectedSize;
	});
	int32 count = std::min<int32>(fThreadCount, (int32)fJobs.size());
	for (int32 i = 0; i < count; i++)
		fThreads.emplace_back(&ParallelCompressor::_Work, this);
}


void
ParallelCompressor::Stop()
{
	{
		std::lock_guard<std::mutex> lock(fLock);
		fStopping = true;
	}
	fResultReleased.notify_all();
	for (std::thread& thread : fThreads)
		thread.join();
	fThreads.clear();
}


int32
ParallelCompressor::CountDone()
{
	std::lock_guard<std::mutex> guard(fLock);
	int32 done = 0;
	for (const compressed_file& job : fJobs)
		done += job.done ? 1 : 0;
	return done;
}


status_t
ParallelCompressor::WaitFor(int32 index)
{
	if (index < 0 || index >= (int32)fJobs.size())
		return B_BAD_INDEX;
	std::unique_lock<std::mutex> lock(fLock);
	if (fThreads.empty() && !fJobs[index].done)
		return B_NO_INIT;
	while (!fJobs[index].done) {
		fAwaitedJob = index;
		fJobDone.wait(lock);
	}
	fAwaitedJob = -1;
	return fJobs[index].status;
}


// Under the lock: the next job this worker should do, large ones first.
// Blocks while the results in memory are over budget; false when there is
// nothing left to do.
bool
ParallelCompressor::_TakeJob(std::unique_lock<std::mutex>& lock, size_t* index)
{
	while (!fStopping) {
		while (fNextLargeJob < fLargeJobs.size() && fJobs[fLargeJobs[fNextLargeJob]].taken)
			fNextLargeJob++;
		while (fNextJob < fJobs.size() && fJobs[fNextJob].taken)
			fNextJob++;
		if (fNextLargeJob < fLargeJobs.size())
			*index = fLargeJobs[fNextLargeJob];
		else if (fNextJob >= fJobs.size())
			return false;
		else if (fHeldBytes < kResultBudget)
			*index = fNextJob;
		else {
			// The writer releases results in order, and every job before
			// this one is taken already: waiting here never holds it up.
			fWorkersWaiting++;
			fResultReleased.wait(lock);
			fWorkersWaiting--;
			continue;
		}
		fJobs[*index].taken = true;
		return true;
	}
	return false;
}


void
ParallelCompressor::_Work()
{
	FileCompressor compressor(fBufferBound);
	std::unique_lock<std::mutex> lock(fLock);
	size_t index;
	while (_TakeJob(lock, &index)) {
		std::string source = fJobs[index].source;
		// A job started out of turn keeps its result on disk whatever the
		// file's size now: the budget holds only results of jobs taken in
		// order, which the writer is sure to reach and release.
		bool inTurn = fJobs[index].expectedSize <= (int64)fBufferBound;
		lock.unlock();
		compressed_stream result;
		status_t status = compressor.Compress(source.c_str(), fTemporaryDirectory.c_str(),
			&result, inTurn);
		lock.lock();
		compressed_file& job = fJobs[index];
		static_cast<compressed_stream&>(job) = std::move(result);
		job.status = status;
		job.done = true;
		if (job.data)
			fHeldBytes += (size_t)job.storedSize;
		if (fAwaitedJob == (int32)index)
			fJobDone.notify_all();
	}
}


status_t
ParallelCompressor::OpenResult(int32 index, std::unique_ptr<BPositionIO>* stream)
{
	status_t status = WaitFor(index);
	if (status != B_OK)
		return status;
	const compressed_file& job = fJobs[index];
	if (job.data) {
		stream->reset(new BMemoryIO((const void*)job.data.get(), (size_t)job.storedSize));
		return B_OK;
	}
	auto file = std::make_unique<HostFile>(job.temporaryPath.c_str(), O_RDONLY);
	if (file->InitCheck() != B_OK)
		return file->InitCheck();
	*stream = std::move(file);
	return B_OK;
}


status_t
ParallelCompressor::CopyResult(int32 index, BPositionIO* destination)
{
	std::unique_ptr<BPositionIO> stream;
	status_t status = OpenResult(index, &stream);
	if (status != B_OK)
		return status;
	std::unique_ptr<uint8[]> buffer(new uint8[kCopyChunk]);
	int64 size = fJobs[index].storedSize;
	for (int64 position = 0; position < size;) {
		size_t chunk = (size_t)std::min<int64>(size - position, kCopyChunk);
		ssize_t bytesRead = stream->ReadAt(position, buffer.get(), chunk);
		if (bytesRead != (ssize_t)chunk)
			return bytesRead < 0 ? (status_t)bytesRead : B_IO_ERROR;
		ssize_t written = destination->Write(buffer.get(), chunk);
		if (written != (ssize_t)chunk)
			return written < 0 ? (status_t)written : B_IO_ERROR;
		position += (int64)chunk;
	}
	stream.reset();
	Release(index);
	return B_OK;
}


void
ParallelCompressor::Release(int32 index)
{
	if (index < 0 || index >= (int32)fJobs.size())
		return;
	decltype(compressed_stream::data) data;
	std::string temporaryPath;
	bool wake;
	{
		std::lock_guard<std::mutex> lock(fLock);
		compressed_file& job = fJobs[index];
		if (!job.done)
			return;
		if (job.data)
			fHeldBytes -= (size_t)job.storedSize;
		data = std::move(job.data);
		temporaryPath.swap(job.temporaryPath);
		wake = fWorkersWaiting > 0 && fHeldBytes < kResultBudget;
	}
	// Freed and removed outside the lock, which the workers wait for.
	data.reset();
	if (!temporaryPath.empty())
		unlink(temporaryPath.c_str());
	if (wake)
		fResultReleased.notify_all();
}
