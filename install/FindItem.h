#ifndef _FIND_ITEM_H
#define _FIND_ITEM_H

// A destination found by a file-system query: the folder that holds a file
// of a given name, size and application signature. Every predicate must
// hold.

#include "DestItem.h"
#include "RList.h"

#include <EntryRef.h>

class FindItem : public DestItem {
public:
	// Predicates "size = <size>" and, when the signature is not empty,
	// "BEOS:APP_SIG = <signature>".
	FindItem(const char* name, int64 size, const char* signature);
	// No predicate.
	explicit FindItem(const char* name);
	~FindItem() override;

	int32 CountPredicates() const;
	const char* PredicateAt(int32 index) const;
	// Stores a copy.
	void AddPredicate(const char* text);

	int64 fSize;
	bool fNotFound;
	// How many entries the search found (set when it is resolved).
	int32 fMatchCount;
	entry_ref fFoundRef;
	RList<char*>* fPredicates;
};

#endif // _FIND_ITEM_H
