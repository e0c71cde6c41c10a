#include "FileCompressor.h"

#include "HostFile.h"

#include <Errors.h>

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

const size_t kFirstReadCapacity = 64 * 1024;


std::string
Describe(const std::string& path, status_t status)
{
	return path + ": " + strerror(status_to_errno(status));
}


// Deflate state released however the compression ends.
class DeflateStream {
public:
	DeflateStream() { memset(&fStream, 0, sizeof(fStream)); }
	~DeflateStream()
	{
		if (fInitialized)
			deflateEnd(&fStream);
	}

	int Init(int level)
	{
		int result = deflateInit(&fStream, level);
		fInitialized = result == Z_OK;
		return result;
	}

	z_stream* operator->() { return &fStream; }
	z_stream* Get() { return &fStream; }

private:
	z_stream fStream;
	bool fInitialized = false;
};

} // namespace


FileCompressor::FileCompressor(size_t bufferBound)
	:
	fBufferBound(bufferBound),
	fCompressor(libdeflate_alloc_compressor(kLevel)),
	fInputCapacity(0)
{
}


FileCompressor::~FileCompressor()
{
	libdeflate_free_compressor(fCompressor);
}


status_t
FileCompressor::Compress(const char* source, const char* temporaryFolder,
	compressed_stream* result, bool mayKeepInMemory)
{
	*result = compressed_stream();
	if (fCompressor == nullptr) {
		result->error = std::string(source) + ": the compressor could not start";
		return B_NO_MEMORY;
	}
	HostFile input(source, O_RDONLY);
	if (input.InitCheck() != B_OK) {
		result->error = Describe(source, input.InitCheck());
		return input.InitCheck();
	}
	struct stat st;
	if (fstat(input.Descriptor(), &st) != 0) {
		status_t status = errno_status();
		result->error = Describe(source, status);
		return status;
	}
	ssize_t length = _ReadUpToBound(input.Descriptor(), (size_t)std::max<off_t>(st.st_size, 0));
	status_t status;
	if (length < 0) {
		status = (status_t)length;
		result->error = Describe(source, status);
	} else if ((size_t)length <= fBufferBound && mayKeepInMemory)
		status = _CompressWhole(source, (size_t)length, result);
	else
		status = _Stream(input.Descriptor(), (size_t)length, source, temporaryFolder, result);
	_TrimBuffers();
	return status;
}


// Reads until the end of the file or until one byte beyond the bound, into
// a buffer sized for the file's expected size; a file that grows meanwhile
// grows the buffer. The number of bytes read, or an error.
ssize_t
FileCompressor::_ReadUpToBound(int fd, size_t expectedSize)
{
	const size_t limit = fBufferBound + 1;
	size_t capacity = std::min(std::max(expectedSize + 1, kFirstReadCapacity), limit);
	_EnsureInputCapacity(capacity, 0);
	size_t length = 0;
	while (true) {
		if (length == fInputCapacity) {
			if (length == limit)
				return (ssize_t)length;
			_EnsureInputCapacity(std::min(fInputCapacity * 2, limit), length);
		}
		ssize_t bytesRead = read(fd, fInput.get() + length, fInputCapacity - length);
		if (bytesRead < 0) {
			if (errno == EINTR)
				continue;
			return errno_status();
		}
		if (bytesRead == 0)
			return (ssize_t)length;
		length += (size_t)bytesRead;
	}
}


// Into a block of the compressor's worst case, cut to the stream's size
// after: the compressor writes from the front, so the pages it never
// reaches are never touched.
status_t
FileCompressor::_CompressWhole(const char* source, size_t length, compressed_stream* result)
{
	size_t bound = libdeflate_zlib_compress_bound(fCompressor, length);
	result->data.reset((uint8*)malloc(bound));
	if (!result->data) {
		result->error = std::string(source) + ": out of memory";
		return B_NO_MEMORY;
	}
	size_t stored = libdeflate_zlib_compress(fCompressor, fInput.get(), length,
		result->data.get(), bound);
	if (stored == 0) {
		result->data.reset();
		result->error = std::string(source) + ": compression failed";
		return B_ERROR;
	}
	if (uint8* fitted = (uint8*)realloc(result->data.get(), stored)) {
		result->data.release();
		result->data.reset(fitted);
	}
	result->storedSize = (int64)stored;
	result->originalSize = (int64)length;
	return B_OK;
}


// The first `buffered` bytes are in the input buffer already; the rest of
// the file follows in chunks.
status_t
FileCompressor::_Stream(int fd, size_t buffered, const char* source,
	const char* temporaryFolder, compressed_stream* result)
{
	std::string path = std::string(temporaryFolder) + "/.compress-XXXXXX";
	int outputFD = mkostemp(path.data(), O_CLOEXEC);
	if (outputFD < 0) {
		status_t status = errno_status();
		result->error = Describe(temporaryFolder, status);
		return status;
	}
	close(outputFD);
	result->temporaryPath = path;
	HostFile output(path.c_str(), O_WRONLY | O_TRUNC);
	if (output.InitCheck() != B_OK) {
		result->error = Describe(path, output.InitCheck());
		return output.InitCheck();
	}
	DeflateStream stream;
	if (stream.Init(kLevel) != Z_OK) {
		result->error = std::string(source) + ": the compressor could not start";
		return B_NO_MEMORY;
	}
	std::unique_ptr<uint8[]> out(new uint8[kChunkSize]);
	size_t pending = buffered;
	int flush = Z_NO_FLUSH;
	while (flush != Z_FINISH) {
		if (pending == 0) {
			ssize_t bytesRead = read(fd, fInput.get(), std::min(kChunkSize, fInputCapacity));
			if (bytesRead < 0 && errno == EINTR)
				continue;
			if (bytesRead < 0) {
				status_t status = errno_status();
				result->error = Describe(source, status);
				return status;
			}
			pending = (size_t)bytesRead;
			flush = bytesRead == 0 ? Z_FINISH : Z_NO_FLUSH;
		}
		result->originalSize += (int64)pending;
		stream->next_in = fInput.get();
		stream->avail_in = (uInt)pending;
		pending = 0;
		do {
			stream->next_out = out.get();
			stream->avail_out = kChunkSize;
			if (deflate(stream.Get(), flush) == Z_STREAM_ERROR) {
				result->error = std::string(source) + ": compression failed";
				return B_ERROR;
			}
			size_t produced = kChunkSize - stream->avail_out;
			status_t status = output.WriteFully(out.get(), produced);
			if (status != B_OK) {
				result->error = Describe(path, status);
				return status;
			}
			result->storedSize += (int64)produced;
		} while (stream->avail_out == 0);
	}
	return B_OK;
}


void
FileCompressor::_EnsureInputCapacity(size_t capacity, size_t keep)
{
	if (capacity <= fInputCapacity)
		return;
	std::unique_ptr<uint8[]> grown(new uint8[capacity]);
	if (keep > 0)
		memcpy(grown.get(), fInput.get(), keep);
	fInput = std::move(grown);
	fInputCapacity = capacity;
}


// A buffer sized for one large file would otherwise stay with the thread
// for the rest of the build.
void
FileCompressor::_TrimBuffers()
{
	if (fInputCapacity > kKeptBufferSize) {
		fInput.reset();
		fInputCapacity = 0;
	}
}
