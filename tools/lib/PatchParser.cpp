#include "PatchParser.h"

#include "PatchCostModel.h"
#include "PatchMatchIndex.h"

#include <algorithm>
#include <cstring>

namespace {

const int64 kUnreachable = INT64_MAX / 4;
// Open copies at most; a new one replaces the one that ends first.
const size_t kMaxOpenCopies = 24;
// Shifts of recent copies tried at every position.
const size_t kRecentShiftCount = 16;
// Inside a match with this many bytes left, the index is not searched: the
// search takes most of the time, and what it finds there is rarely cheaper
// than going on with the match.
const size_t kLongMatch = 8;
// A match this long ends the search of a hash chain.
const size_t kGoodEnough = 4096;
// How far back a copy found in the index may start; the cheapest
// boundaries of that many positions are kept.
const size_t kBackwardReach = 64;


} // namespace


PatchParser::PatchParser(const uint8* oldData, size_t oldSize, const uint8* newData,
	size_t newSize, const PatchMatchIndex& index)
	:
	fOld(oldData),
	fOldSize(oldSize),
	fNew(newData),
	fNewSize(newSize),
	fIndex(index),
	fSearchDepth(16),
	fBoundary(0),
	fLiteralStart(0),
	fLiteralPrice(0)
{
}


std::vector<PatchParser::step>
PatchParser::Parse(const PatchCostModel& costs)
{
	fFromStart.assign(fNewSize + 1, 0);
	fFromOffset.assign(fNewSize + 1, kLiteral);
	fRecentBoundaries.assign(kBackwardReach, kUnreachable);
	fCopies.clear();
	fRecentShifts.clear();
	fLiteralStart = 0;
	fLiteralPrice = 0;

	for (uint32 position = 0; ; position++) {
		_CloseAt(position, costs);
		if (position == fNewSize)
			break;
		_OpenAt(position, costs);
		fLiteralPrice += costs.LiteralCost(position);
	}
	return _ReadBack();
}


// The cheapest way to reach `position`: the open literal run or one of the
// open copies ends here. Copies whose match ends here are closed.
void
PatchParser::_CloseAt(uint32 position, const PatchCostModel& costs)
{
	if (position == 0) {
		fBoundary = 0;
	} else {
		fBoundary = fLiteralPrice + costs.OpCost(position - fLiteralStart);
		fFromStart[position] = fLiteralStart;
		fFromOffset[position] = kLiteral;
		for (const open_copy& copy : fCopies) {
			uint32 offset = (uint32)(copy.start + copy.shift);
			int64 price = copy.price + costs.OpCost(position - copy.start);
			if (price < fBoundary) {
				fBoundary = price;
				fFromStart[position] = copy.start;
				fFromOffset[position] = offset;
			}
		}
	}
	fRecentBoundaries[position % kBackwardReach] = fBoundary;

	for (size_t i = 0; i < fCopies.size();) {
		if (fCopies[i].end == position) {
			_Remember(fCopies[i].shift);
			fCopies[i] = fCopies.back();
			fCopies.pop_back();
		} else
			i++;
	}
}


// Instructions that may start at `position`: the open copies and the literal
// run start here instead when that is cheaper, and new copies open.
void
PatchParser::_OpenAt(uint32 position, const PatchCostModel& costs)
{
	for (open_copy& copy : fCopies) {
		int64 price = fBoundary + costs.OffsetCost((uint32)(position + copy.shift));
		if (price <= copy.price) {
			copy.price = price;
			copy.start = position;
		}
	}
	if (position == 0 || fBoundary <= fLiteralPrice) {
		fLiteralPrice = fBoundary;
		fLiteralStart = position;
	}

	_TryRecentShifts(position, costs);
	size_t longest = 0;
	for (const open_copy& copy : fCopies)
		longest = std::max<size_t>(longest, copy.end - position);
	if (longest < kLongMatch)
		_SearchIndex(position, costs);
}


// A shift of a recent copy that matches again opens a copy here, however
// short: it is what follows a few changed bytes in moved code.
void
PatchParser::_TryRecentShifts(uint32 position, const PatchCostModel& costs)
{
	for (int64 shift : fRecentShifts) {
		int64 oldPosition = position + shift;
		if (oldPosition < 0 || (uint64)oldPosition >= fOldSize
			|| fOld[oldPosition] != fNew[position] || _IsOpen(shift))
			continue;
		size_t length = _MatchLength((uint32)oldPosition, position);
		_AddCopy(shift, position, (uint32)(position + length),
			fBoundary + costs.OffsetCost((uint32)oldPosition));
	}
}


// The longest match of the index's chain at `position` whose shift is not
// open yet becomes an open copy.
void
PatchParser::_SearchIndex(uint32 position, const PatchCostModel& costs)
{
	if (position + PatchMatchIndex::kKeyBytes > fNewSize)
		return;
	uint32 bestOffset = 0;
	size_t bestLength = 0;
	int32 tries = fSearchDepth;
	for (uint32 offset = fIndex.First(fNew + position);
			offset != PatchMatchIndex::kNoPosition && tries-- > 0;
			offset = fIndex.Next(offset)) {
		// Cannot be longer than the best so far: skip without comparing.
		if (bestLength > 0 && (offset + bestLength >= fOldSize
				|| position + bestLength >= fNewSize
				|| fOld[offset + bestLength] != fNew[position + bestLength]))
			continue;
		size_t length = _MatchLength(offset, position);
		if (length < PatchMatchIndex::kKeyBytes || length <= bestLength
			|| _IsOpen((int64)offset - position))
			continue;
		bestOffset = offset;
		bestLength = length;
		if (length >= kGoodEnough)
			break;
	}
	if (bestLength == 0)
		return;

	// The match may begin before this position: start the copy at the
	// cheapest boundary it reaches back to.
	uint32 start = position;
	int64 price = fBoundary + costs.OffsetCost(bestOffset);
	for (size_t back = 1; back < kBackwardReach && back <= position && back <= bestOffset
			&& fOld[bestOffset - back] == fNew[position - back]; back++) {
		uint32 earlier = position - (uint32)back;
		int64 earlierPrice = fRecentBoundaries[earlier % kBackwardReach]
			+ costs.OffsetCost(bestOffset - (uint32)back);
		if (earlierPrice < price) {
			price = earlierPrice;
			start = earlier;
		}
	}
	_AddCopy((int64)bestOffset - position, start, (uint32)(position + bestLength), price);
}


void
PatchParser::_AddCopy(int64 shift, uint32 start, uint32 end, int64 price)
{
	open_copy copy = {shift, start, end, price};
	if (fCopies.size() < kMaxOpenCopies) {
		fCopies.push_back(copy);
		return;
	}
	auto first = std::min_element(fCopies.begin(), fCopies.end(),
		[](const open_copy& a, const open_copy& b) { return a.end < b.end; });
	if (first->end < end) {
		_Remember(first->shift);
		*first = copy;
	}
}


// The most recent shift first; each shift once.
void
PatchParser::_Remember(int64 shift)
{
	auto known = std::find(fRecentShifts.begin(), fRecentShifts.end(), shift);
	if (known != fRecentShifts.end())
		fRecentShifts.erase(known);
	else if (fRecentShifts.size() == kRecentShiftCount)
		fRecentShifts.pop_back();
	fRecentShifts.insert(fRecentShifts.begin(), shift);
}


bool
PatchParser::_IsOpen(int64 shift) const
{
	for (const open_copy& copy : fCopies) {
		if (copy.shift == shift)
			return true;
	}
	return false;
}


size_t
PatchParser::_MatchLength(uint32 oldPosition, uint32 newPosition) const
{
	const uint8* oldBytes = fOld + oldPosition;
	const uint8* newBytes = fNew + newPosition;
	size_t limit = std::min(fOldSize - oldPosition, fNewSize - newPosition);
	size_t length = 0;
	while (length + 8 <= limit) {
		uint64 a, b;
		memcpy(&a, oldBytes + length, 8);
		memcpy(&b, newBytes + length, 8);
		// Loaded little-endian: the first differing byte is the lowest.
		if (a != b)
			return length + __builtin_ctzll(a ^ b) / 8;
		length += 8;
	}
	while (length < limit && oldBytes[length] == newBytes[length])
		length++;
	return length;
}


// The chosen steps, from the end of the new file back to its start.
std::vector<PatchParser::step>
PatchParser::_ReadBack() const
{
	std::vector<step> steps;
	for (size_t position = fNewSize; position > 0;) {
		size_t start = fFromStart[position];
		steps.push_back({fFromOffset[position], position - start});
		position = start;
	}
	std::reverse(steps.begin(), steps.end());
	return steps;
}
