// Extracts one generated file of each size given (MiB; default 256 and
// 3072) through the node reader, each in a child process of its own, and
// reports the child's peak resident memory: it stays flat whatever the
// file's size, since contents are streamed in fixed chunks.

#include "BenchPackage.h"

#include "SPackData.h"

#include <EntryRef.h>
#include <File.h>
#include <OS.h>
#include <SystemRoot.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

long
PeakResidentKiB()
{
	struct rusage usage;
	getrusage(RUSAGE_SELF, &usage);
	return usage.ru_maxrss;
}


int
Measure(int64 mebibytes)
{
	std::string pattern = (std::filesystem::temp_directory_path()
		/ "kestrovan-rss-XXXXXX").string();
	if (mkdtemp(pattern.data()) == NULL)
		return 1;
	std::string folder = pattern;
	std::filesystem::create_directories(folder + "/root/boot");
	set_system_root((folder + "/root").c_str());

	auto start = std::chrono::steady_clock::now();
	bench_package package;
	if (make_bench_package(folder + "/big.pkg", mebibytes << 20, &package) != B_OK) {
		fprintf(stderr, "cannot make the package\n");
		return 1;
	}
	double made = std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
		.count();
	long afterMaking = PeakResidentKiB();

	entry_ref ref;
	get_ref_for_host_path(package.path.c_str(), &ref);
	BFile input(&ref, B_READ_ONLY);
	BFile output("/boot/extracted", B_READ_WRITE | B_CREATE_FILE | B_ERASE_FILE);
	SPackData reader;
	input.Seek(package.entryOffset, SEEK_SET);
	start = std::chrono::steady_clock::now();
	status_t status = reader.ExtractNode(&input, &output);
	double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
		.count();
	off_t size = 0;
	output.GetSize(&size);
	printf("%6lld MiB: package %lld MiB stored (made in %.1f s), extracted %s in %.1f s "
		"(%.0f MiB/s); peak RSS %ld KiB after making, %ld KiB after extracting\n",
		(long long)mebibytes, (long long)(package.storedSize >> 20), made,
		status == B_OK && size == (off_t)(mebibytes << 20) ? "whole" : "WRONG", seconds,
		mebibytes / seconds, afterMaking, PeakResidentKiB());
	fflush(stdout);
	std::error_code ignored;
	std::filesystem::remove_all(folder, ignored);
	return status == B_OK ? 0 : 1;
}

} // namespace


int
main(int argc, char** argv)
{
	std::vector<int64> sizes;
	for (int i = 1; i < argc; i++)
		sizes.push_back(atoll(argv[i]));
	if (sizes.empty())
		sizes = {256, 3072};
	int failures = 0;
	for (int64 size : sizes) {
		pid_t child = fork();
		if (child == 0)
			_exit(Measure(size));
		int status = 0;
		waitpid(child, &status, 0);
		failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
	}
	return failures == 0 ? 0 : 1;
}
