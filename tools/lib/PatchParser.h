#ifndef _PATCH_PARSER_H
#define _PATCH_PARSER_H

// Chooses the instructions of patch data: the cheapest sequence of literal
// runs and copies from the old file, priced by a PatchCostModel (what the
// bytes cost once deflated).
//
// The new file is walked once. At every position the cheapest way to have
// written everything before it is known (a boundary between instructions),
// along with a few open copies, one per shift between old and new position
// that matches here, and one open literal run. Each open instruction keeps
// the cheapest place it could have started: a copy may end at any position
// of its match, so one copy can give way to another in the middle of a
// match. Shifts come from the old file's hash index and from the shifts of
// recent copies (code and data that moved keep their order, so a copy
// resumes after a few changed bytes, however short the match). The index is
// searched only near the end of the open matches, and adds the longest match
// it knows. The choices are kept per position and
// read back from the end.
//
// Memory: 8 bytes per new byte for the choices, besides the index.

#include <SupportDefs.h>

#include <cstddef>
#include <vector>

class PatchCostModel;
class PatchMatchIndex;

class PatchParser {
public:
	// The offset of a literal run's step.
	static constexpr uint32 kLiteral = UINT32_MAX;

	struct step {
		uint32 offset;
		size_t length;
	};

	PatchParser(const uint8* oldData, size_t oldSize, const uint8* newData, size_t newSize,
		const PatchMatchIndex& index);

	// How many candidates of a hash chain are tried at a position.
	void SetSearchDepth(int32 depth) { fSearchDepth = depth; }

	// The cheapest steps that make the new file, in order.
	std::vector<step> Parse(const PatchCostModel& costs);

private:
	struct open_copy {
		int64 shift;
		uint32 start;
		uint32 end;
		int64 price;
	};

	void _CloseAt(uint32 position, const PatchCostModel& costs);
	void _OpenAt(uint32 position, const PatchCostModel& costs);
	void _TryRecentShifts(uint32 position, const PatchCostModel& costs);
	void _SearchIndex(uint32 position, const PatchCostModel& costs);
	void _AddCopy(int64 shift, uint32 start, uint32 end, int64 price);
	void _Remember(int64 shift);
	bool _IsOpen(int64 shift) const;
	size_t _MatchLength(uint32 oldPosition, uint32 newPosition) const;
	std::vector<step> _ReadBack() const;

	const uint8* fOld;
	size_t fOldSize;
	const uint8* fNew;
	size_t fNewSize;
	const PatchMatchIndex& fIndex;
	int32 fSearchDepth;

	// Per new position: where the cheapest last instruction before it
	// starts, and its offset (kLiteral for a literal run).
	std::vector<uint32> fFromStart;
	std::vector<uint32> fFromOffset;
	// The cheapest cost of the recent boundaries, by position modulo its size.
	std::vector<int64> fRecentBoundaries;
	int64 fBoundary;

	std::vector<open_copy> fCopies;
	uint32 fLiteralStart;
	int64 fLiteralPrice;
	std::vector<int64> fRecentShifts;
};

#endif // _PATCH_PARSER_H
