// Extraction of one large file through the node reader, against plain zlib
// inflation of the same stream into a file.

#include "BenchPackage.h"

#include "SPackData.h"

#include <EntryRef.h>
#include <File.h>
#include <SystemRoot.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

const int64 kFileSize = 64 << 20;

struct bench_setup {
	std::string folder;
	bench_package package;

	bench_setup()
	{
		std::string pattern = (std::filesystem::temp_directory_path()
			/ "kestrovan-bench-XXXXXX").string();
		if (mkdtemp(pattern.data()) == NULL)
			abort();
		folder = pattern;
		std::filesystem::create_directories(folder + "/root/boot");
		if (set_system_root((folder + "/root").c_str()) != B_OK
			|| make_bench_package(folder + "/bench.pkg", kFileSize, &package) != B_OK) {
			abort();
		}
	}

	~bench_setup()
	{
		std::error_code ignored;
		std::filesystem::remove_all(folder, ignored);
	}
};


bench_setup&
Setup()
{
	static bench_setup setup;
	return setup;
}


void
BM_ExtractNode(benchmark::State& state)
{
	bench_setup& setup = Setup();
	entry_ref ref;
	get_ref_for_host_path(setup.package.path.c_str(), &ref);
	BFile package(&ref, B_READ_ONLY);
	SPackData reader;
	for (auto _ : state) {
		BFile out("/boot/extracted", B_READ_WRITE | B_CREATE_FILE | B_ERASE_FILE);
		package.Seek(setup.package.entryOffset, SEEK_SET);
		if (reader.ExtractNode(&package, &out) != B_OK)
			state.SkipWithError("ExtractNode failed");
	}
	state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_ExtractNode)->Unit(benchmark::kMillisecond)->UseRealTime();


void
BM_PlainInflate(benchmark::State& state)
{
	bench_setup& setup = Setup();
	HostFile package(setup.package.path.c_str(), O_RDONLY);
	std::string outPath = setup.folder + "/root/boot/inflated";
	std::vector<uint8> in(16384), out(65536);
	for (auto _ : state) {
		HostFile output(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC);
		z_stream z = {};
		inflateInit(&z);
		int64 position = setup.package.streamOffset;
		int64 left = setup.package.storedSize;
		int result = Z_OK;
		while (result != Z_STREAM_END && left > 0) {
			ssize_t read = package.ReadAt(position, in.data(),
				(size_t)std::min<int64>(left, in.size()));
			if (read <= 0)
				break;
			position += read;
			left -= read;
			z.next_in = in.data();
			z.avail_in = (uInt)read;
			do {
				z.next_out = out.data();
				z.avail_out = out.size();
				result = inflate(&z, Z_NO_FLUSH);
				output.WriteFully(out.data(), out.size() - z.avail_out);
			} while (z.avail_out == 0 && result == Z_OK);
		}
		if (z.total_out != (uLong)kFileSize)
			state.SkipWithError("inflate failed");
		inflateEnd(&z);
	}
	state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_PlainInflate)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
