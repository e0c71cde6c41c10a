// Fuzzes the package readers with arbitrary package files: opening a
// stand-alone package, reading its attributes, walking its catalog,
// extracting every node into a scratch system root, and verifying it; the
// input read as a signature record too.

#include "FuzzScratch.h"

#include "PackageExtractor.h"
#include "PackageLister.h"
#include "PackageVerifier.h"

#include "DoError.h"
#include "InstallPack.h"
#include "PackAttrib.h"
#include "PackageSignature.h"

#include <Directory.h>
#include <EntryRef.h>
#include <MemoryIO.h>
#include <SystemRoot.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string gScratch;
std::string gPackagePath;


bool
WriteInput(const uint8_t* data, size_t size)
{
	int fd = open(gPackagePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
	if (fd < 0)
		return false;
	bool written = write(fd, data, size) == (ssize_t)size;
	close(fd);
	return written;
}


void
EmptyHostFolder(const std::string& path)
{
	std::error_code ignored;
	for (const auto& entry : std::filesystem::directory_iterator(path, ignored))
		std::filesystem::remove_all(entry.path(), ignored);
}


// The folder stays from one input to the next, emptied: the storage kit
// remembers every folder it opens by its node, so a new folder per input
// would grow that memory with every input (and make the fuzzer look for a
// leak after each).
void
ExtractIntoScratchFolder(InstallPack& pack)
{
	std::string host = gScratch + "/root/boot/extract";
	std::error_code ignored;
	std::filesystem::create_directory(host, ignored);
	EmptyHostFolder(host);
	BDirectory destination("/boot/extract");
	if (destination.InitCheck() != B_OK)
		abort();
	PackageExtractor extractor;
	extractor.Extract(&pack, &destination);
	EmptyHostFolder(host);
}

} // namespace


extern "C" int
LLVMFuzzerInitialize(int*, char***)
{
	// Damaged packages raise alerts; nobody answers them here.
	SetAlertSink(StandardErrorAlertSink());
	gScratch = FuzzScratch::Make("package");
	gPackagePath = gScratch + "/input.pkg";
	std::filesystem::create_directories(gScratch + "/root/boot");
	if (set_system_root((gScratch + "/root").c_str()) != B_OK)
		abort();
	return 0;
}


extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	BMemoryIO memory(data, size);
	PackageVerifier verifier;
	verifier.Verify(&memory, 0);
	PackageSignature signature;
	signature.ReadAt(&memory, 0);

	if (!WriteInput(data, size))
		abort();
	entry_ref ref;
	if (get_ref_for_host_path(gPackagePath.c_str(), &ref) != B_OK)
		abort();
	InstallPack pack(ref, false);
	if (pack.fEntry == nullptr)
		return 0;
	// Both ways of reading node data: decoded ahead on a thread of its own
	// (the installer's way) for inputs of odd size, read in step for the
	// others; a fresh decoder costs more than a small package's extraction.
	pack.SetDecodeAhead(size % 2 == 1);
	{
		PackAttrib attrib;
		pack.NewReadAttributes(&attrib);
		pack.ClearFile();
	}
	PackageLister lister;
	lister.Read(&pack);
	ExtractIntoScratchFolder(pack);
	return 0;
}
