#ifndef _QUERY_H
#define _QUERY_H

// A search of one volume for the entries whose attributes satisfy a
// predicate. QueryPredicate.h gives the predicate's grammar: terms such as
// `size = 1024`, `name = "Read Me"`, `BEOS:APP_SIG = application/x-vnd.Tool`
// joined with && and ||; `name` is the entry's leaf name, `size` its size in
// bytes, `last_modified` its modification time, anything else an attribute.
//
// Fetch walks the volume from its root, never following links and never
// entering another file system mounted inside it, and keeps the matches in
// a stable order (depth first, names in byte order). Queries are never live.

#include <EntryList.h>
#include <StorageDefs.h>

#include <memory>
#include <string>
#include <vector>

class BEntry;
class BVolume;
class QueryPredicate;

class BQuery : public BEntryList {
public:
	BQuery();
	~BQuery() override;

	// Forgets the predicate, the volume and the results.
	status_t Clear();

	status_t SetPredicate(const char* expression);
	status_t SetVolume(const BVolume* volume);
	// Live queries are not offered.
	bool IsLive() const;

	size_t PredicateLength();
	status_t GetPredicate(char* buffer, size_t length);
	dev_t TargetDevice() const;

	// Runs the query. B_NO_INIT without a predicate or a volume, B_BAD_VALUE
	// for a malformed predicate, B_NOT_ALLOWED when it already ran (Clear
	// first).
	status_t Fetch();

	status_t GetNextEntry(BEntry* entry, bool traverse = false) override;
	status_t GetNextRef(entry_ref* ref) override;
	int32 GetNextDirents(struct dirent* buffer, size_t length,
		int32 count = INT_MAX) override;
	status_t Rewind() override;
	int32 CountEntries() override;

private:
	BQuery(const BQuery&) = delete;
	BQuery& operator=(const BQuery&) = delete;

	std::string fPredicate;
	bool fHasPredicate;
	dev_t fDevice;
	bool fFetched;
	std::vector<entry_ref> fResults;
	size_t fCursor;
};

#endif // _QUERY_H
