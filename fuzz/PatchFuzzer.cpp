// Fuzzes the patch applier: patch data applied to an original, as a patch
// item rebuilds a new file. An input is the original's length (2 bytes,
// big-endian), the original, then the patch data; a length past the end of
// the input takes the rest as the original, with empty patch data. The
// progress budget is what a patch item gives when its catalog size is the
// new size of the patch header (the usual package). The
// three files live in a scratch system root on a memory file system when
// TMPDIR names one; the applier writes the new file itself.

#include "FuzzScratch.h"

#include "ArchivePatchItem.h"

#include "DoError.h"

#include <SystemRoot.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string gScratch;


// As a patch item computes it: the new file's size less the patch data's.
int32
ProgressBudget(const uint8_t* patch, size_t size)
{
	const size_t kNewSizeField = 12;
	if (size < kNewSizeField + 4)
		return 0;
	const uint8_t* field = patch + kNewSizeField;
	int64 newSize = (int64)((uint32)field[0] << 24 | (uint32)field[1] << 16
		| (uint32)field[2] << 8 | field[3]);
	return (int32)std::clamp<int64>(newSize - (int64)size, 0, INT32_MAX);
}

} // namespace


extern "C" int
LLVMFuzzerInitialize(int*, char***)
{
	// A damaged patch raises alerts; nobody answers them here.
	SetAlertSink(StandardErrorAlertSink());
	gScratch = FuzzScratch::Make("patch");
	std::filesystem::create_directories(gScratch + "/root/boot");
	if (set_system_root((gScratch + "/root").c_str()) != B_OK)
		abort();
	// An empty original, which the first inputs may keep.
	FuzzScratch::WriteFile(gScratch + "/root/boot/original", nullptr, 0);
	return 0;
}


extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	if (size < 2)
		return 0;
	size_t originalSize = std::min<size_t>((size_t)data[0] << 8 | data[1], size - 2);
	const uint8_t* original = data + 2;
	const uint8_t* patch = original + originalSize;
	size_t patchSize = size - 2 - originalSize;

	std::string boot = gScratch + "/root/boot/";
	static std::string sLastOriginal;
	std::string originalBytes(reinterpret_cast<const char*>(original), originalSize);
	if (originalBytes != sLastOriginal) {
		// Most mutations leave the original as it was: it is not written again.
		FuzzScratch::WriteFile(boot + "original", original, originalSize);
		sLastOriginal = originalBytes;
	}
	FuzzScratch::WriteFile(boot + "patch", patch, patchSize);

	ArchivePatchItem item;
	item.ApplyPatch("/boot/original", "/boot/new", "/boot/patch",
		ProgressBudget(patch, patchSize));
	return 0;
}
