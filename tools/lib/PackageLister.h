#ifndef _PACKAGE_LISTER_H
#define _PACKAGE_LISTER_H

// Describes a package as the installer reads it: the header values, the
// package attributes (texts, flags, groups and display rows, destinations)
// and the whole catalog with every field of every item, as JSON or as
// indented text.

#include <SupportDefs.h>

#include <nlohmann/json.hpp>

#include <string>

class ArcCatalog;
class ArchiveItem;
class InstallPack;

class PackageLister {
public:
	PackageLister();

	// Reads the package or installer at `hostPath`.
	status_t Read(const char* hostPath);
	// Reads an opened package (the package stays closed afterwards).
	status_t Read(InstallPack* pack);

	const nlohmann::ordered_json& Description() const { return fDescription; }
	std::string Json() const;
	std::string Text() const;
	const std::string& ErrorMessage() const { return fError; }

private:
	status_t _ReadAttributes(InstallPack* pack);
	status_t _ReadCatalog(InstallPack* pack);
	void _ReadFolder(ArcCatalog& catalog, nlohmann::ordered_json& folder);
	static nlohmann::ordered_json _Signature(InstallPack* pack);
	static nlohmann::ordered_json _Fields(const ArchiveItem* item, int32 kind);

	nlohmann::ordered_json fDescription;
	std::string fError;
};

#endif // _PACKAGE_LISTER_H
