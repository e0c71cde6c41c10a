#ifndef _PATCH_MAKER_H
#define _PATCH_MAKER_H

// Makes patch data ("QVpt") that rebuilds a new file from an old one: the
// package tool's "diff" command and patch items built from two files.
//
// Every position of the old file is indexed by a hash of the 8 bytes there
// (chains of earlier positions with the same hash). The new file is walked
// from the start: at each position the candidates of its hash chain, the
// place in the old file just after the last copy, and the places at the
// shifts of the last few copies (code and data that moved keep their
// order), are extended forward; the candidate that saves the most bytes over
// literals wins, unless the next position offers clearly more. A copy also
// grows backward over the literals before it. What no copy covers goes in
// literal runs.
//
//   PatchMaker maker;
//   if (maker.MakeFile("old", "new", "patch") != B_OK)
//       fprintf(stderr, "%s\n", maker.ErrorMessage().c_str());

#include <SupportDefs.h>

#include <string>
#include <vector>

class PatchMaker {
public:
	PatchMaker();

	// How many candidates of a hash chain are tried at each position.
	void SetSearchDepth(int32 depth) { fSearchDepth = depth; }

	// Patch data for two files held in memory; both below 4 GiB.
	std::vector<uint8> Make(const uint8* oldData, size_t oldSize, const uint8* newData,
		size_t newSize);
	// Writes the patch data for two host files; B_OK, or an error with a
	// message naming the file.
	status_t MakeFile(const char* oldPath, const char* newPath, const char* patchPath);

	const std::string& ErrorMessage() const { return fError; }
	// Of the last patch made.
	size_t LiteralBytes() const { return fLiteralBytes; }
	size_t CopiedBytes() const { return fCopiedBytes; }
	int32 CountCopies() const { return fCopies; }

private:
	status_t _Fail(status_t status, const std::string& message);

	int32 fSearchDepth;
	std::string fError;
	size_t fLiteralBytes;
	size_t fCopiedBytes;
	int32 fCopies;
};

#endif // _PATCH_MAKER_H
