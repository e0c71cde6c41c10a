#ifndef _PACKAGE_VERIFIER_H
#define _PACKAGE_VERIFIER_H

// Checks a package from end to end, without installing anything: the magic,
// the header (every field present, a known version, the size within the
// file, the catalog and attributes inside the package), every record of
// the stream walked to the package's end, every bin fully decoded with its
// stored and original sizes checked, every node data entry read as the
// installer reads it, and every catalog item's data offset pointing at a
// node data entry of the right kind.

#include <PositionIO.h>
#include <SupportDefs.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

class PackData;
class ZlCodec;
struct bin_summary;

struct verify_summary {
	int64 archiveSize = 0;
	int32 version = 0;
	int64 records = 0;
	int64 bins = 0;
	int64 decodedBytes = 0;
	int32 items = 0;
	int32 entries = 0;
};

class PackageVerifier {
public:
	// Record nesting deeper than this is refused rather than followed: the
	// fields of the deepest folder a catalog may hold (kMaxFolderDepth),
	// with room for groups nested in an item.
	static const int32 kMaxDepth;

	PackageVerifier();
	~PackageVerifier();

	// Verifies the package stream that starts at `offset` of `file`.
	status_t Verify(BPositionIO* file, off_t offset);
	// The same for a package or installer named by a host path.
	status_t VerifyPath(const char* hostPath);

	// Why the package failed, with the offset concerned.
	const std::string& Reason() const { return fReason; }
	const verify_summary& Summary() const { return fSummary; }

private:
	struct catalog_reference {
		int32 itemTag;
		int64 offset;
		int64 size;
		off_t at;
	};

	status_t _Fail(off_t at, const std::string& reason);
	status_t _CheckMagic();
	status_t _ReadHeader(off_t* end);
	status_t _WalkRecord(off_t* position, int32 depth, int32 parentTag, int32 itemTag,
		bool topLevel);
	status_t _WalkBin(off_t* position, int16 flags, int64* original);
	status_t _DecodeBin(off_t start);
	status_t _ReadEntry(off_t start);
	status_t _CheckDecodedBin(off_t start, const bin_summary& bin);
	status_t _FailOversized(off_t start, const bin_summary& bin);
	status_t _FailUndecodable(off_t start, const std::string& why);
	status_t _Read(off_t position, void* buffer, size_t size);
	status_t _CheckReferences();

	// The package's readers of records and bins, with its codec.
	std::unique_ptr<ZlCodec> fCodec;
	std::unique_ptr<PackData> fRecords;
	BPositionIO* fFile;
	off_t fBase;
	off_t fEnd;
	int64 fCatalogOffset;
	int64 fAttributeOffset;
	std::set<int64> fTopLevelStarts;
	std::vector<std::pair<int64, int32>> fEntryTags;
	std::vector<std::pair<int64, int64>> fEntrySizes;
	std::vector<catalog_reference> fReferences;
	catalog_reference fCurrent;
	int32 fCurrentEntryTag;
	int64 fCurrentEntryStart;
	// Catalog folders open in the walk.
	int32 fFolderDepth;
	std::string fReason;
	verify_summary fSummary;
};

#endif // _PACKAGE_VERIFIER_H
