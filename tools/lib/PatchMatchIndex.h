#ifndef _PATCH_MATCH_INDEX_H
#define _PATCH_MATCH_INDEX_H

// Every position of an old file by a hash of the bytes there: chains of
// positions with the same hash, each running from the last position to the
// first. Keys are long enough that chance agreements are rare; shorter
// matches are found by the parser at the shifts of recent copies. Takes
// 4 bytes per old byte plus a head table of at most 16 MiB.

#include <SupportDefs.h>

#include <cstddef>
#include <vector>

class PatchMatchIndex {
public:
	static constexpr uint32 kNoPosition = UINT32_MAX;
	// How many bytes a key covers.
	static constexpr size_t kKeyBytes = 8;

	PatchMatchIndex(const uint8* data, size_t size);

	// The last old position whose key hashes as the key at `key` does (which
	// needs kKeyBytes bytes there).
	uint32 First(const uint8* key) const;
	// The position before `position` in its chain.
	uint32 Next(uint32 position) const { return fPrevious[position]; }

private:
	uint32 _Hash(const uint8* key) const;
	static bool _RepeatsEarlierKey(const uint8* data, size_t position);

	int32 fHashBits;
	std::vector<uint32> fHeads;
	std::vector<uint32> fPrevious;
};

#endif // _PATCH_MATCH_INDEX_H
