#include "ParallelCompressor.h"

#include "HostFile.h"

#include <Errors.h>

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// Deflate state released however the compression ends.
class DeflateStream {
public:
	DeflateStream() { memset(&fStream, 0, sizeof(fStream)); }
	~DeflateStream()
	{
		if (fInitialized)
			deflateEnd(&fStream);
	}

	int Init()
	{
		int result = deflateInit(&fStream, Z_DEFAULT_COMPRESSION);
		fInitialized = result == Z_OK;
		return result;
	}

	z_stream* operator->() { return &fStream; }
	z_stream* Get() { return &fStream; }

private:
	z_stream fStream;
	bool fInitialized = false;
};


std::string
Describe(const std::string& path, status_t status)
{
	return path + ": " + strerror(status_to_errno(status));
}

} // namespace


ParallelCompressor::ParallelCompressor(const char* temporaryDirectory, int32 threads)
	:
	fTemporaryDirectory(temporaryDirectory != nullptr ? temporaryDirectory : "/tmp"),
	fThreadCount(threads),
	fNextJob(0),
	fStopping(false)
{
	if (fThreadCount <= 0)
		fThreadCount = (int32)std::max(1u, std::thread::hardware_concurrency());
}


ParallelCompressor::~ParallelCompressor()
{
	{
		std::lock_guard<std::mutex> lock(fLock);
		fStopping = true;
	}
	Stop();
	for (const compressed_file& job : fJobs) {
		if (!job.temporaryPath.empty())
			unlink(job.temporaryPath.c_str());
	}
}


int32
ParallelCompressor::AddFile(const char* hostPath)
{
	compressed_file job;
	job.source = hostPath;
	fJobs.push_back(job);
	return (int32)fJobs.size() - 1;
}


void
ParallelCompressor::Start()
{
	int32 count = std::min<int32>(fThreadCount, (int32)fJobs.size());
	for (int32 i = 0; i < count; i++)
		fThreads.emplace_back(&ParallelCompressor::_Work, this);
}


void
ParallelCompressor::Stop()
{
	for (std::thread& thread : fThreads)
		thread.join();
	fThreads.clear();
}


status_t
ParallelCompressor::WaitFor(int32 index)
{
	if (index < 0 || index >= (int32)fJobs.size())
		return B_BAD_INDEX;
	std::unique_lock<std::mutex> lock(fLock);
	if (fThreads.empty() && !fJobs[index].done)
		return B_NO_INIT;
	fJobDone.wait(lock, [&] { return fJobs[index].done; });
	return fJobs[index].status;
}


void
ParallelCompressor::_Work()
{
	while (true) {
		size_t index;
		std::string source;
		{
			std::lock_guard<std::mutex> lock(fLock);
			if (fStopping || fNextJob >= fJobs.size())
				return;
			index = fNextJob++;
			source = fJobs[index].source;
		}
		std::string pattern = fTemporaryDirectory + "/.compress-XXXXXX";
		int fd = mkostemp(pattern.data(), O_CLOEXEC);
		compressed_file result;
		if (fd < 0) {
			result.status = errno_status();
			result.error = Describe(fTemporaryDirectory, result.status);
		} else {
			close(fd);
			result.temporaryPath = pattern;
			result.status = CompressFile(source.c_str(), pattern.c_str(), &result.storedSize,
				&result.originalSize, &result.error);
		}
		std::lock_guard<std::mutex> lock(fLock);
		compressed_file& job = fJobs[index];
		job.temporaryPath = result.temporaryPath;
		job.storedSize = result.storedSize;
		job.originalSize = result.originalSize;
		job.status = result.status;
		job.error = result.error;
		job.done = true;
		fJobDone.notify_all();
	}
}


status_t
ParallelCompressor::CompressFile(const char* source, const char* destination,
	int64* storedSize, int64* originalSize, std::string* error)
{
	HostFile input(source, O_RDONLY);
	if (input.InitCheck() != B_OK) {
		*error = Describe(source, input.InitCheck());
		return input.InitCheck();
	}
	HostFile output(destination, O_WRONLY | O_CREAT | O_TRUNC, 0600);
	if (output.InitCheck() != B_OK) {
		*error = Describe(destination, output.InitCheck());
		return output.InitCheck();
	}
	DeflateStream stream;
	if (stream.Init() != Z_OK) {
		*error = std::string(source) + ": the compressor could not start";
		return B_NO_MEMORY;
	}
	std::unique_ptr<uint8[]> in(new uint8[kChunkSize]);
	std::unique_ptr<uint8[]> out(new uint8[kChunkSize]);
	*storedSize = 0;
	*originalSize = 0;
	int flush = Z_NO_FLUSH;
	while (flush != Z_FINISH) {
		ssize_t read = input.Read(in.get(), kChunkSize);
		if (read < 0) {
			*error = Describe(source, (status_t)read);
			return (status_t)read;
		}
		*originalSize += read;
		flush = read == 0 ? Z_FINISH : Z_NO_FLUSH;
		stream->next_in = in.get();
		stream->avail_in = (uInt)read;
		do {
			stream->next_out = out.get();
			stream->avail_out = kChunkSize;
			int result = deflate(stream.Get(), flush);
			if (result == Z_STREAM_ERROR) {
				*error = std::string(source) + ": compression failed";
				return B_ERROR;
			}
			size_t produced = kChunkSize - stream->avail_out;
			status_t status = output.WriteFully(out.get(), produced);
			if (status != B_OK) {
				*error = Describe(destination, status);
				return status;
			}
			*storedSize += produced;
		} while (stream->avail_out == 0);
	}
	return B_OK;
}


status_t
ParallelCompressor::CopyResult(int32 index, BPositionIO* destination)
{
	status_t status = WaitFor(index);
	if (status != B_OK)
		return status;
	compressed_file& job = fJobs[index];
	HostFile input(job.temporaryPath.c_str(), O_RDONLY);
	if (input.InitCheck() != B_OK)
		return input.InitCheck();
	std::unique_ptr<uint8[]> buffer(new uint8[kChunkSize]);
	int64 left = job.storedSize;
	while (left > 0) {
		ssize_t read = input.Read(buffer.get(), (size_t)std::min<int64>(left, kChunkSize));
		if (read <= 0)
			return read < 0 ? (status_t)read : B_IO_ERROR;
		ssize_t written = destination->Write(buffer.get(), read);
		if (written != read)
			return written < 0 ? (status_t)written : B_IO_ERROR;
		left -= read;
	}
	unlink(job.temporaryPath.c_str());
	job.temporaryPath.clear();
	return B_OK;
}


void
ParallelCompressor::Release(int32 index)
{
	if (index < 0 || index >= (int32)fJobs.size())
		return;
	std::lock_guard<std::mutex> lock(fLock);
	compressed_file& job = fJobs[index];
	if (job.done && !job.temporaryPath.empty()) {
		unlink(job.temporaryPath.c_str());
		job.temporaryPath.clear();
	}
}
