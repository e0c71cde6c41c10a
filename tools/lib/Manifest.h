#ifndef _MANIFEST_H
#define _MANIFEST_H

// A package author's manifest: the JSON file that names the package, its
// texts, groups, destinations, flags, per-item settings, scripts and patches.
// Everything about the files themselves comes from the source folder
// (SourceTree). docs/manifest.md describes the format.

#include "PackageFormat.h"
#include "StyleRuns.h"

#include <SupportDefs.h>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct manifest_group {
	std::string name;
	std::string description;
	std::string help;
};

struct manifest_destination {
	// A query destination has a name (and size, signature) instead of a path.
	bool isQuery = false;
	std::string path;
	int32 directory = kNoSystemDirectory;
	std::string queryName;
	int64 querySize = 0;
	std::string querySignature;
};

// Settings given for one path of the tree; unset fields are inherited from
// the enclosing folder's settings, then the package defaults.
struct item_settings {
	std::optional<uint32> groups;
	std::optional<int32> destination;
	std::optional<bool> custom;
	std::optional<int32> replace;
	std::optional<uint32> platform;
	std::optional<std::array<int32, 5>> version;
	std::optional<std::string> mimeType;
};

// A script or patch item: its data comes from a host file named relative to
// the manifest, and it sits in `folder` of the tree ("" is the top folder).
struct manifest_extra_item {
	std::string source;
	std::string name;
	std::string folder;
	bool first = false;
	item_settings settings;
	// Patches: the original's and the new file's size (from the patch
	// header unless the manifest gives them).
	std::optional<int64> oldSize;
	std::optional<int64> newSize;
	// Patches made by the build: the old and the new file (host paths);
	// `source` is then empty.
	std::string oldFile;
	std::string newFile;
};

class Manifest {
public:
	Manifest();

	// Reads and checks a manifest file. On failure ErrorMessage() names the
	// file and the field ("pkg.json: groups[1].name: not a string").
	status_t Load(const char* path);
	// The same from text; `fileName` is used in messages, `baseDirectory`
	// to resolve relative file names.
	status_t SetTo(const std::string& text, const char* fileName,
		const char* baseDirectory);
	const std::string& ErrorMessage() const { return fError; }
	const std::string& FileName() const { return fFileName; }

	std::string fName;
	std::string fDescription;
	std::string fAgreement;
	StyleRuns fAgreementStyles;
	bool fHasAgreementStyles = false;
	std::string fHelp;
	std::vector<manifest_group> fGroups;
	// Group indices in display order, -1 for a separator row.
	std::vector<int32> fRows;
	std::vector<manifest_destination> fDefaultDestinations;
	std::vector<manifest_destination> fCustomDestinations;
	bool fTopFolder = true;
	bool fFolderChoice = true;
	bool fScriptFailure = false;
	// The top folder's name; empty: the source folder's leaf name.
	std::string fFolderName;
	// The source folder as a host path (relative ones resolved against the
	// manifest's folder); may be given on the command line instead.
	std::string fSource;
	item_settings fDefaults;
	std::map<std::string, item_settings> fItems;
	std::vector<manifest_extra_item> fScripts;
	std::vector<manifest_extra_item> fPatches;

	// The settings in force for a path of the tree ("" the top folder,
	// "a/b"): the package defaults, then each enclosing folder's, then the
	// path's own.
	item_settings SettingsFor(const std::string& path) const;
	// Items inside a sub-folder go into that folder (destination -2) unless
	// `path`'s own settings give a destination.
	void PlaceInContainingFolder(const std::string& path,
		item_settings& settings) const;
	uint32 AllGroupsMask() const;
	// Copies the fields that `over` sets onto `base`.
	static void Overlay(item_settings& base, const item_settings& over);

private:
	std::string fFileName;
	std::string fBaseDirectory;
	std::string fError;

	friend class ManifestParser;
};

#endif // _MANIFEST_H
