#ifndef _FUZZ_SCRATCH_H
#define _FUZZ_SCRATCH_H

// A fuzz target's host folder for the files it reads and writes: made once
// in the temporary folder when the target starts, removed when it exits.

#include <cstddef>
#include <string>

class FuzzScratch {
public:
	// Makes "kestrovan-fuzz-NAME-XXXXXX" and returns its canonical path;
	// aborts when it cannot (nothing can be fuzzed without it).
	static std::string Make(const char* name);

	// Writes a whole host file; aborts on any failure.
	static void WriteFile(const std::string& path, const void* data, size_t size);
	static void WriteFile(const std::string& path, const std::string& text)
		{ WriteFile(path, text.data(), text.size()); }
};

#endif // _FUZZ_SCRATCH_H
