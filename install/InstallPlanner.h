#ifndef _INSTALL_PLANNER_H
#define _INSTALL_PLANNER_H

// Makes an install plan: walks the catalog as the install worker does, and
// for every selected item takes the decision the run would take, through
// the same calls (the destination manager's destinations and searches, the
// items' own rules for an existing entry, the patch originals' lookup), but
// makes, moves, writes and asks nothing. Folders the run would make are
// followed by their paths; what they would hold is new.

#include <SupportDefs.h>

#include <memory>
#include <string>
#include <vector>

class ArcCatalog;
class ArchiveFolderItem;
class ArchiveItem;
class ArchivePatchItem;
class BDirectory;
class DestManager;
class InstallPack;
class InstallPlan;
struct PlanItem;

class InstallPlanner {
public:
	// The manager is set up for the run (its target set); it plans with
	// the plan's answers from now on.
	InstallPlanner(InstallPack* pack, DestManager* manager, InstallPlan* plan);
	~InstallPlanner();

	// Adds every selected item of a run of `groups` to the plan, and why
	// the run would stop when it would.
	void Plan(uint32 groups);

private:
	// A folder as the run would find it: open when it is there (and the
	// run installs into it), only a path when the run would make it, and
	// neither when nothing goes into it. `fExisting` is the folder of its
	// name there now, where the patch pass looks for originals.
	struct Folder {
		BDirectory* fDir = nullptr;
		std::string fPath;
		BDirectory* fExisting = nullptr;
	};

	void _PlanEntries(const Folder& parent, uint32 groups, bool topFolder, bool skip);
	// Plans the folder item; `own` gets what the folder would be. False
	// when what it holds is not installed.
	bool _PlanFolder(ArchiveFolderItem* folder, const Folder& parent, Folder* own);
	void _PlanItem(ArchiveItem* item, int32 kind, const Folder& parent, bool skip);
	void _PlanPatch(ArchivePatchItem* patch, const Folder& parent, bool skip);
	void _PlanScript(ArchiveItem* script, const Folder& parent, bool skip);
	// The item's destination folder as the run would find it.
	Folder _Destination(ArchiveItem* item, const Folder& parent);
	bool _Undecided(ArchiveItem* item, const Folder& destination, bool skip,
		PlanItem* planned);
	bool _PlanNewOrExisting(ArchiveItem* item, BDirectory* destination,
		PlanItem* planned);
	// Decides for an item whose entry is there (`existing` in
	// `destination`); false when it is not installed.
	bool _PlanExisting(ArchiveItem* item, BDirectory* destination, PlanItem* planned);
	// The continue-or-cancel question of an item that cannot be installed.
	void _CannotInstall(ArchiveItem* item, PlanItem* planned, const char* format);
	void _NoteSearch(ArchiveItem* item, PlanItem* planned);
	void _ItemStops(const char* outcome, const std::string& reason);
	BDirectory* _OpenFolder(BDirectory* parent, const char* name);
	bool _IsSelectedFolder(ArchiveFolderItem* folder, uint32 groups, bool topFolder) const;
	static std::string _Below(const std::string& folder, const char* name);

	InstallPack* fPack;
	DestManager* fManager;
	InstallPlan* fPlan;
	ArcCatalog* fCatalog;
	uint32 fTopGroups;
	// The top folder the run makes or merges into, which is the install
	// folder of everything inside it.
	bool fInsideTopFolder;
	Folder fTopFolder;
	// The plan has reached the point where the run would end.
	bool fEnded;
	// How and why an item would end the run, or leave it failed; told
	// after what stops a run before its first item.
	const char* fItemStopOutcome;
	std::string fItemStopReason;
	int32 fPatches;
	int32 fOriginalsFound;
	// Folders opened on the way, closed at the end.
	std::vector<std::unique_ptr<BDirectory>> fOpened;
};

#endif // _INSTALL_PLANNER_H
