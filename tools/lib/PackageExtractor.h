#ifndef _PACKAGE_EXTRACTOR_H
#define _PACKAGE_EXTRACTOR_H

// Extracts a package's catalog tree for inspection: folders, files (with
// their contents), symbolic links, install scripts and patch data, with
// their modes, times and attributes, below one folder of the system root.
// Like the installer, it never leaves that folder: a name that is empty,
// ".", ".." or holds a "/" is refused, an entry that exists already is
// never written over (so a link made earlier is never followed), and links
// are created as they are, never followed.

#include <SupportDefs.h>

#include <string>
#include <vector>

class ArcCatalog;
class ArchiveItem;
class BDirectory;
class InstallPack;

class PackageExtractor {
public:
	PackageExtractor();

	// Extracts the package below `destination` (a folder of the system
	// root). Goes on past refused or failing items; the result is then
	// B_ERROR and Problems() says what went wrong.
	status_t Extract(InstallPack* pack, BDirectory* destination);
	// A package or installer at a host path, into a host folder: the folder
	// is made a volume of a private system root for the time of the call.
	status_t ExtractToHostFolder(const char* packagePath, const char* hostFolder);

	const std::vector<std::string>& Problems() const { return fProblems; }
	int32 CountExtracted() const { return fExtracted; }

	// Whether the installer may create an entry of this name.
	static bool IsSafeName(const char* name);

private:
	struct walk_state;

	void _Problem(const std::string& path, const std::string& what);
	void _Folder(walk_state& state, BDirectory* parent, const std::string& path);
	void _Item(walk_state& state, BDirectory* parent, const std::string& path,
		ArchiveItem* item, int32 kind);

	std::vector<std::string> fProblems;
	int32 fExtracted;
};

#endif // _PACKAGE_EXTRACTOR_H
