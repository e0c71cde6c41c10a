#ifndef _RUN_EVENTS_H
#define _RUN_EVENTS_H

// The one place a run's events go out to the program's observer (see
// RunObserver.h), from where the progress window, the receipt and the
// alerts learn them. Without an observer every call costs a load and a
// test, and paths are not even made (Watched()).

#include "RunObserver.h"

class BDirectory;
class DestManager;

class RunEvents {
public:
	// The observer for the program's life; null: none. Set before the
	// first window, cleared after the last thread that reports has ended.
	static void SetObserver(RunObserver* observer);
	static bool Watched();

	static void RunStarted(const RunStart& start);
	// The item `name` in `folder` is being installed; `folder` is null
	// when the item's folder could not be found or made.
	static void ItemStarted(DestManager* manager, BDirectory* folder, const char* name,
		const char* kind);
	static void ItemEnded(const RunItem& item);
	static void ItemFailed(const char* name, const std::string& reason);
	static void BytesDone(int64 bytes);
	static void Asked(const RunQuestion& question);
	static void RunEnded(const InstallOutcome& outcome);
};

#endif // _RUN_EVENTS_H
