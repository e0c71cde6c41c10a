#ifndef _PATCH_MAKER_H
#define _PATCH_MAKER_H

// Makes patch data ("QVpt") that rebuilds a new file from an old one: the
// package tool's "diff" command and patch items built from two files.
//
// The package stores patch data deflated, so the instructions are chosen for
// what they cost once deflated: PatchParser finds the cheapest parse under a
// PatchCostModel, over a PatchMatchIndex of the old file. A new file of up
// to kSecondParseLimit bytes is parsed a second time with dearer copies, and
// the patch that deflates smaller is kept.
//
// Memory: the two files mapped, 4 bytes per old byte for the index (plus at
// most 16 MiB of heads), 8 bytes per new byte for the parse's choices, 1 per
// new byte for the cost model's repeats (plus 256 KiB), and the patch data
// (twice, and deflated once, for a file parsed twice).
//
//   PatchMaker maker;
//   if (maker.MakeFile("old", "new", "patch") != B_OK)
//       fprintf(stderr, "%s\n", maker.ErrorMessage().c_str());

#include "PatchParser.h"

#include <SupportDefs.h>

#include <string>
#include <vector>

class PatchMaker {
public:
	// New files up to this size are parsed twice.
	static constexpr size_t kSecondParseLimit = 4 << 20;

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
	struct patch_header {
		uint32 oldSize;
		uint32 oldCrc;
		uint32 newSize;
		uint32 newCrc;
	};

	std::vector<uint8> _Encode(const patch_header& header,
		const std::vector<PatchParser::step>& steps, const uint8* newData);

	int32 fSearchDepth;
	std::string fError;
	size_t fLiteralBytes;
	size_t fCopiedBytes;
	int32 fCopies;
};

#endif // _PATCH_MAKER_H
