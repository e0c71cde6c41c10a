#ifndef _ENTRY_STEPS_H
#define _ENTRY_STEPS_H

// Where the steps of one node data entry come from, for whoever applies
// them to a node: the entry reader reading the package there and then, or
// what the reader ahead decoded for the entry on its threads.

#include <SupportDefs.h>

struct entry_step;

class EntrySteps {
public:
	virtual ~EntrySteps() {}

	// The next step: B_OK, or the status the entry fails with (a failure
	// of the codec has shown its alert through doError first).
	virtual status_t Next(entry_step* step) = 0;
	// Right after the main fork's step: passes over the contents, for a
	// node that has no place for them.
	virtual status_t SkipMainFork() = 0;
};

#endif // _ENTRY_STEPS_H
