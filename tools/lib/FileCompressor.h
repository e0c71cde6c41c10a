#ifndef _FILE_COMPRESSOR_H
#define _FILE_COMPRESSOR_H

// Turns one file into one complete zlib stream. A file that ends within the
// buffer bound (kBufferBound unless told otherwise) is read whole and
// compressed in one call to the whole-buffer compressor, about three times
// as fast as zlib at the same level and slightly smaller; the stream stays
// in memory. A larger file goes through zlib in chunks into a temporary
// file, so that memory stays bounded whatever the file's size: a compressor
// holds at most the bound of input and the compressed stream, and gives
// back an input buffer above kKeptBufferSize after each file.
//
// The decision is made on what the read finds, not on a size seen
// earlier: a file that grows past the bound while it is read is streamed,
// its first bytes included, and the stream always holds exactly the bytes
// read.
//
// Not thread-safe: one per thread.

#include <SupportDefs.h>

#include <cstdlib>
#include <memory>
#include <string>

struct libdeflate_compressor;

struct free_deleter {
	void operator()(void* block) const { free(block); }
};

// Where a compressed file ended up, and what it came from.
struct compressed_stream {
	// The zlib stream in memory (storedSize bytes), or null when it was
	// written to `temporaryPath`.
	std::unique_ptr<uint8, free_deleter> data;
	std::string temporaryPath;
	int64 storedSize = 0;
	int64 originalSize = 0;
	std::string error;
};

class FileCompressor {
public:
	// Files up to this size are compressed whole, in memory. Large enough
	// for the compilers of a tool chain (30 to 40 MB each), which through
	// zlib took more than half of a build's time.
	static constexpr size_t kBufferBound = 64 * 1024 * 1024;
	// Buffers up to this size are kept from one file to the next.
	static constexpr size_t kKeptBufferSize = 8 * 1024 * 1024;
	// Read and write unit of the streamed path.
	static constexpr size_t kChunkSize = 256 * 1024;
	// The level of both compressors. At it a package of a tool chain's
	// headers and libraries is within 7% of a tar.gz of the same tree.
	static constexpr int kLevel = 6;

	explicit FileCompressor(size_t bufferBound = kBufferBound);
	~FileCompressor();

	// Compresses `source`; a streamed result goes to a new file in
	// `temporaryFolder`, as does every result when `mayKeepInMemory` is
	// false. On failure `result->error` names the file.
	status_t Compress(const char* source, const char* temporaryFolder,
		compressed_stream* result, bool mayKeepInMemory = true);

private:
	FileCompressor(const FileCompressor&) = delete;
	FileCompressor& operator=(const FileCompressor&) = delete;

	ssize_t _ReadUpToBound(int fd, size_t expectedSize);
	status_t _CompressWhole(const char* source, size_t length, compressed_stream* result);
	status_t _Stream(int fd, size_t buffered, const char* source,
		const char* temporaryFolder, compressed_stream* result);
	void _EnsureInputCapacity(size_t capacity, size_t keep);
	void _TrimBuffers();

	const size_t fBufferBound;
	libdeflate_compressor* fCompressor;
	std::unique_ptr<uint8[]> fInput;
	size_t fInputCapacity;
};

#endif // _FILE_COMPRESSOR_H
