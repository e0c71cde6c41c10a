#include "Manifest.h"

#include "ManifestNames.h"

#include <Errors.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

using nlohmann::json;

namespace {

// Thrown inside the parser only, caught by Manifest::SetTo.
struct field_error {
	std::string field;
	std::string reason;
};


[[noreturn]] void
Fail(const std::string& field, const std::string& reason)
{
	throw field_error{field, reason};
}


bool
ReadHostText(const std::string& path, std::string* text, std::string* reason)
{
	std::ifstream stream(path, std::ios::binary);
	if (!stream) {
		*reason = "cannot read \"" + path + "\": " + strerror(errno);
		return false;
	}
	std::ostringstream buffer;
	buffer << stream.rdbuf();
	*text = buffer.str();
	return true;
}

} // namespace


class ManifestParser {
public:
	explicit ManifestParser(Manifest& manifest) : fManifest(manifest) {}

	void Parse(const json& root);

private:
	std::string String(const json& object, const char* key, const std::string& field,
		bool required = false);
	bool Bool(const json& object, const char* key, const std::string& field, bool fallback);
	int64 Integer(const json& value, const std::string& field, int64 min, int64 max);
	std::string HostPath(const std::string& relative) const;
	std::string TextOrFile(const json& value, const std::string& field);

	void ParseAgreement(const json& value);
	void ParseStyleRun(const json& value, const std::string& field);
	void ParseGroups(const json& value);
	void ParseRows(const json& value);
	int32 GroupIndex(const std::string& name, const std::string& field) const;
	void ParseDestinations(const json& value, const std::string& field, bool custom);
	void ParseFlags(const json& value);
	void ParseSettings(const json& value, const std::string& field, item_settings& settings,
		const std::vector<std::string>& extraKeys = {});
	uint32 ParseGroupMask(const json& value, const std::string& field);
	int32 ParseReplace(const json& value, const std::string& field);
	int32 ParseDirectory(const json& value, const std::string& field);
	std::array<int32, 5> ParseVersion(const json& value, const std::string& field);
	void ParseItems(const json& value);
	void ParseExtras(const json& value, const std::string& field,
		std::vector<manifest_extra_item>& list, bool patches);

	static void CheckKeys(const json& object, const std::string& field,
		std::initializer_list<const char*> keys,
		const std::vector<std::string>& extraKeys = {});
	static std::string Member(const std::string& field, const char* key);

	Manifest& fManifest;
	// Settings objects are parsed after the groups they may name.
	std::vector<std::pair<std::string, const json*>> fPendingGroupNames;
};


std::string
ManifestParser::Member(const std::string& field, const char* key)
{
	return field.empty() ? std::string(key) : field + "." + key;
}


void
ManifestParser::CheckKeys(const json& object, const std::string& field,
	std::initializer_list<const char*> keys, const std::vector<std::string>& extraKeys)
{
	if (!object.is_object())
		Fail(field.empty() ? "(top level)" : field, "not an object");
	for (const auto& [key, value] : object.items()) {
		bool known = false;
		for (const char* candidate : keys)
			known = known || key == candidate;
		for (const std::string& candidate : extraKeys)
			known = known || key == candidate;
		if (!known)
			Fail(Member(field, key.c_str()), "unknown field");
	}
}


std::string
ManifestParser::String(const json& object, const char* key, const std::string& field,
	bool required)
{
	auto found = object.find(key);
	if (found == object.end()) {
		if (required)
			Fail(Member(field, key), "missing");
		return std::string();
	}
	if (!found->is_string())
		Fail(Member(field, key), "not a string");
	std::string text = found->get<std::string>();
	if (text.find('\0') != std::string::npos)
		Fail(Member(field, key), "contains a zero byte");
	return text;
}


bool
ManifestParser::Bool(const json& object, const char* key, const std::string& field,
	bool fallback)
{
	auto found = object.find(key);
	if (found == object.end())
		return fallback;
	if (!found->is_boolean())
		Fail(Member(field, key), "not true or false");
	return found->get<bool>();
}


int64
ManifestParser::Integer(const json& value, const std::string& field, int64 min, int64 max)
{
	if (!value.is_number_integer())
		Fail(field, "not an integer");
	int64 number;
	if (value.is_number_unsigned()) {
		uint64 unsignedNumber = value.get<uint64>();
		if (unsignedNumber > (uint64)INT64_MAX)
			Fail(field, "out of range");
		number = (int64)unsignedNumber;
	} else
		number = value.get<int64>();
	if (number < min || number > max) {
		Fail(field, "out of range (" + std::to_string(min) + " to " + std::to_string(max)
			+ ")");
	}
	return number;
}


std::string
ManifestParser::HostPath(const std::string& relative) const
{
	if (relative.empty() || relative[0] == '/' || fManifest.fBaseDirectory.empty())
		return relative;
	return fManifest.fBaseDirectory + "/" + relative;
}


// A text given inline ("text") or as a file ({"file": "name"}).
std::string
ManifestParser::TextOrFile(const json& value, const std::string& field)
{
	if (value.is_string())
		return value.get<std::string>();
	if (!value.is_object())
		Fail(field, "not a string or an object");
	if (value.contains("text") == value.contains("file"))
		Fail(field, "give either \"text\" or \"file\"");
	if (value.contains("text"))
		return String(value, "text", field);
	std::string text, reason;
	if (!ReadHostText(HostPath(String(value, "file", field)), &text, &reason))
		Fail(Member(field, "file"), reason);
	return text;
}


void
ManifestParser::ParseStyleRun(const json& value, const std::string& field)
{
	CheckKeys(value, field, {"offset", "family", "style", "size", "shear", "face", "color"});
	style_run run;
	if (!value.contains("offset"))
		Fail(Member(field, "offset"), "missing");
	run.offset = (int32)Integer(value["offset"], Member(field, "offset"), 0, INT32_MAX);
	run.family = String(value, "family", field);
	run.style = String(value, "style", field);
	if (run.family.size() >= StyleRuns::kFamilyLength)
		Fail(Member(field, "family"), "longer than 63 bytes");
	if (run.style.size() >= StyleRuns::kStyleLength)
		Fail(Member(field, "style"), "longer than 63 bytes");
	for (const char* key : {"size", "shear"}) {
		if (!value.contains(key))
			continue;
		if (!value[key].is_number())
			Fail(Member(field, key), "not a number");
		(key[1] == 'i' ? run.size : run.shear) = value[key].get<float>();
	}
	if (value.contains("face"))
		run.face = (uint16)Integer(value["face"], Member(field, "face"), 0, 0xffff);
	if (value.contains("color")) {
		const json& color = value["color"];
		std::string colorField = Member(field, "color");
		if (!color.is_array() || color.size() < 3 || color.size() > 4)
			Fail(colorField, "not an array of 3 or 4 numbers (red, green, blue, alpha)");
		for (size_t i = 0; i < color.size(); i++)
			run.color[i] = (uint8)Integer(color[i], colorField + "[" + std::to_string(i) + "]",
				0, 255);
	}
	fManifest.fAgreementStyles.AddRun(run);
}


void
ManifestParser::ParseAgreement(const json& value)
{
	if (value.is_object() && value.contains("styles")) {
		json withoutStyles = value;
		withoutStyles.erase("styles");
		CheckKeys(withoutStyles, "agreement", {"text", "file"});
		fManifest.fAgreement = TextOrFile(withoutStyles, "agreement");
		const json& styles = value["styles"];
		if (!styles.is_array())
			Fail("agreement.styles", "not an array");
		for (size_t i = 0; i < styles.size(); i++)
			ParseStyleRun(styles[i], "agreement.styles[" + std::to_string(i) + "]");
		fManifest.fHasAgreementStyles = true;
		return;
	}
	if (value.is_object())
		CheckKeys(value, "agreement", {"text", "file"});
	fManifest.fAgreement = TextOrFile(value, "agreement");
}


void
ManifestParser::ParseGroups(const json& value)
{
	if (!value.is_array())
		Fail("groups", "not an array");
	if (value.size() > 32)
		Fail("groups", "more than 32 groups");
	for (size_t i = 0; i < value.size(); i++) {
		std::string field = "groups[" + std::to_string(i) + "]";
		CheckKeys(value[i], field, {"name", "description", "help"});
		manifest_group group;
		group.name = String(value[i], "name", field, true);
		if (group.name.empty())
			Fail(Member(field, "name"), "empty");
		for (const manifest_group& other : fManifest.fGroups) {
			if (other.name == group.name)
				Fail(Member(field, "name"), "a second group named \"" + group.name + "\"");
		}
		group.description = String(value[i], "description", field);
		group.help = String(value[i], "help", field);
		fManifest.fGroups.push_back(group);
	}
}


int32
ManifestParser::GroupIndex(const std::string& name, const std::string& field) const
{
	for (size_t i = 0; i < fManifest.fGroups.size(); i++) {
		if (fManifest.fGroups[i].name == name)
			return (int32)i;
	}
	Fail(field, "no group named \"" + name + "\"");
}


void
ManifestParser::ParseRows(const json& value)
{
	if (!value.is_array())
		Fail("rows", "not an array");
	for (size_t i = 0; i < value.size(); i++) {
		std::string field = "rows[" + std::to_string(i) + "]";
		const json& row = value[i];
		if (row.is_null() || (row.is_string() && row.get<std::string>() == "-"))
			fManifest.fRows.push_back(-1);
		else if (row.is_string())
			fManifest.fRows.push_back(GroupIndex(row.get<std::string>(), field));
		else {
			fManifest.fRows.push_back((int32)Integer(row, field, -1,
				(int64)fManifest.fGroups.size() - 1));
		}
	}
}


void
ManifestParser::ParseDestinations(const json& value, const std::string& field, bool custom)
{
	if (!value.is_array())
		Fail(field, "not an array");
	for (size_t i = 0; i < value.size(); i++) {
		std::string entryField = field + "[" + std::to_string(i) + "]";
		const json& entry = value[i];
		manifest_destination destination;
		if (entry.is_string()) {
			destination.path = entry.get<std::string>();
		} else if (custom && entry.is_object() && entry.contains("query")) {
			CheckKeys(entry, entryField, {"query"});
			std::string queryField = Member(entryField, "query");
			const json& query = entry["query"];
			CheckKeys(query, queryField, {"name", "size", "signature"});
			destination.isQuery = true;
			destination.queryName = String(query, "name", queryField, true);
			destination.querySignature = String(query, "signature", queryField, true);
			// The installer always searches by size: without one it would
			// look for empty files.
			if (!query.contains("size"))
				Fail(Member(queryField, "size"), "missing (a query finds files by their size)");
			destination.querySize = Integer(query["size"], Member(queryField, "size"), 0,
				INT64_MAX);
		} else {
			if (custom)
				CheckKeys(entry, entryField, {"path"});
			else
				CheckKeys(entry, entryField, {"path", "directory"});
			destination.path = String(entry, "path", entryField, true);
			if (entry.contains("directory"))
				destination.directory = ParseDirectory(entry["directory"],
					Member(entryField, "directory"));
		}
		if (!destination.isQuery && destination.path.empty())
			Fail(entryField, "empty path");
		(custom ? fManifest.fCustomDestinations : fManifest.fDefaultDestinations)
			.push_back(destination);
	}
}


void
ManifestParser::ParseFlags(const json& value)
{
	CheckKeys(value, "flags", {"top_folder", "folder_choice", "script_failure"});
	fManifest.fTopFolder = Bool(value, "top_folder", "flags", fManifest.fTopFolder);
	fManifest.fFolderChoice = Bool(value, "folder_choice", "flags", fManifest.fFolderChoice);
	fManifest.fScriptFailure = Bool(value, "script_failure", "flags", fManifest.fScriptFailure);
}


uint32
ManifestParser::ParseGroupMask(const json& value, const std::string& field)
{
	if (value.is_number_integer())
		return (uint32)Integer(value, field, 0, UINT32_MAX);
	if (!value.is_array())
		Fail(field, "not a list of group names or a mask");
	uint32 mask = 0;
	for (size_t i = 0; i < value.size(); i++) {
		std::string entryField = field + "[" + std::to_string(i) + "]";
		if (!value[i].is_string())
			Fail(entryField, "not a group name");
		mask |= 1u << GroupIndex(value[i].get<std::string>(), entryField);
	}
	return mask;
}


int32
ManifestParser::ParseReplace(const json& value, const std::string& field)
{
	if (value.is_string()) {
		int32 option;
		if (!ManifestNames::FindReplaceOption(value.get<std::string>(), &option))
			Fail(field, "unknown replacement option \"" + value.get<std::string>() + "\"");
		return option;
	}
	return (int32)Integer(value, field, 0, kLastReplaceOption);
}


// A system folder by the name of its directory constant or by its number;
// either must be one the platform knows, or the installer would find no
// folder for it.
int32
ManifestParser::ParseDirectory(const json& value, const std::string& field)
{
	int32 which;
	if (value.is_string()) {
		if (!ManifestNames::FindDirectory(value.get<std::string>(), &which)) {
			Fail(field, "unknown system folder \"" + value.get<std::string>()
				+ "\" (a name such as \"user settings\", or its number)");
		}
		return which;
	}
	which = (int32)Integer(value, field, INT32_MIN, INT32_MAX);
	if (ManifestNames::DirectoryName(which) == nullptr)
		Fail(field, std::to_string(which) + " is no system folder's number");
	return which;
}


std::array<int32, 5>
ManifestParser::ParseVersion(const json& value, const std::string& field)
{
	std::array<int32, 5> version = {0, 0, 0, 0, 0};
	if (value.is_string()) {
		std::string text = value.get<std::string>();
		size_t index = 0;
		size_t start = 0;
		while (true) {
			size_t dot = text.find('.', start);
			std::string part = text.substr(start, dot == std::string::npos
				? std::string::npos : dot - start);
			if (part.empty() || index >= 5
				|| part.find_first_not_of("0123456789") != std::string::npos
				|| part.size() > 9) {
				Fail(field, "not a version like \"1.2.0\"");
			}
			version[index++] = std::stoi(part);
			if (dot == std::string::npos)
				break;
			start = dot + 1;
		}
		return version;
	}
	if (!value.is_array() || value.empty() || value.size() > 5)
		Fail(field, "not a version string or an array of up to 5 numbers");
	for (size_t i = 0; i < value.size(); i++)
		version[i] = (int32)Integer(value[i], field + "[" + std::to_string(i) + "]",
			INT32_MIN, INT32_MAX);
	return version;
}


void
ManifestParser::ParseSettings(const json& value, const std::string& field,
	item_settings& settings, const std::vector<std::string>& extraKeys)
{
	CheckKeys(value, field,
		{"groups", "destination", "custom", "replace", "platform", "version", "mime"},
		extraKeys);
	if (value.contains("groups"))
		settings.groups = ParseGroupMask(value["groups"], Member(field, "groups"));
	if (value.contains("destination")) {
		settings.destination = (int32)Integer(value["destination"],
			Member(field, "destination"), kParentFolderDestination, INT32_MAX);
	}
	if (value.contains("custom"))
		settings.custom = Bool(value, "custom", field, false);
	if (value.contains("replace"))
		settings.replace = ParseReplace(value["replace"], Member(field, "replace"));
	if (value.contains("platform")) {
		settings.platform = (uint32)Integer(value["platform"], Member(field, "platform"), 0,
			UINT32_MAX);
	}
	if (value.contains("version"))
		settings.version = ParseVersion(value["version"], Member(field, "version"));
	if (value.contains("mime")) {
		std::string mime = String(value, "mime", field);
		if (mime.size() > 255)
			Fail(Member(field, "mime"), "longer than 255 bytes");
		settings.mimeType = mime;
	}
}


void
ManifestParser::ParseItems(const json& value)
{
	if (!value.is_object())
		Fail("items", "not an object");
	for (const auto& [path, settingsValue] : value.items()) {
		std::string field = "items[\"" + path + "\"]";
		std::string normal = path;
		while (normal.size() > 1 && normal.back() == '/')
			normal.pop_back();
		while (normal.rfind("./", 0) == 0)
			normal.erase(0, 2);
		if (normal == "." || normal == "/")
			normal.clear();
		if (!normal.empty() && normal[0] == '/')
			Fail(field, "not a path relative to the source folder");
		item_settings settings;
		ParseSettings(settingsValue, field, settings);
		fManifest.fItems[normal] = settings;
	}
}


void
ManifestParser::ParseExtras(const json& value, const std::string& field,
	std::vector<manifest_extra_item>& list, bool patches)
{
	if (!value.is_array())
		Fail(field, "not an array");
	for (size_t i = 0; i < value.size(); i++) {
		std::string entryField = field + "[" + std::to_string(i) + "]";
		const json& entry = value[i];
		std::vector<std::string> extraKeys = {"source", "name", "folder", "first"};
		if (patches) {
			extraKeys.insert(extraKeys.end(), {"old_size", "size", "old", "new"});
		}
		json settingsPart = json::object();
		if (!entry.is_object())
			Fail(entryField, "not an object");
		manifest_extra_item item;
		// A patch's data is either given, or made from the old and the new
		// file; its name is then the new file's.
		bool madePatch = patches && !entry.contains("source");
		std::string nameSource = madePatch ? "new" : "source";
		if (madePatch) {
			item.oldFile = HostPath(String(entry, "old", entryField, true));
			item.newFile = HostPath(String(entry, "new", entryField, true));
		} else {
			if (patches && (entry.contains("old") || entry.contains("new")))
				Fail(entryField, "give either \"source\" or \"old\" and \"new\"");
			item.source = HostPath(String(entry, "source", entryField, true));
		}
		item.name = String(entry, "name", entryField);
		if (item.name.empty()) {
			std::string leaf = String(entry, nameSource.c_str(), entryField);
			item.name = leaf.substr(leaf.find_last_of('/') + 1);
		}
		if (item.name.empty() || item.name == "." || item.name == ".."
			|| item.name.find('/') != std::string::npos || item.name.size() > 255) {
			Fail(Member(entryField, "name"), "not a valid item name");
		}
		item.folder = String(entry, "folder", entryField);
		while (!item.folder.empty() && item.folder.back() == '/')
			item.folder.pop_back();
		if (item.folder == ".")
			item.folder.clear();
		item.first = Bool(entry, "first", entryField, false);
		if (madePatch && (entry.contains("old_size") || entry.contains("size")))
			Fail(entryField, "the sizes of a patch made from \"old\" and \"new\" are "
				"those files' sizes");
		if (patches && entry.contains("old_size"))
			item.oldSize = Integer(entry["old_size"], Member(entryField, "old_size"), 0,
				INT64_MAX);
		if (patches && entry.contains("size"))
			item.newSize = Integer(entry["size"], Member(entryField, "size"), 0, INT64_MAX);
		ParseSettings(entry, entryField, item.settings, extraKeys);
		list.push_back(item);
	}
}


void
ManifestParser::Parse(const json& root)
{
	CheckKeys(root, "", {"name", "description", "agreement", "help", "groups", "rows",
		"default_destinations", "custom_destinations", "flags", "folder_name", "source",
		"defaults", "items", "scripts", "patches"});
	fManifest.fName = String(root, "name", "", true);
	if (fManifest.fName.empty())
		Fail("name", "empty");
	fManifest.fDescription = String(root, "description", "");
	if (root.contains("agreement"))
		ParseAgreement(root["agreement"]);
	if (root.contains("help"))
		fManifest.fHelp = TextOrFile(root["help"], "help");
	if (root.contains("groups"))
		ParseGroups(root["groups"]);
	if (fManifest.fGroups.empty())
		fManifest.fGroups.push_back({"Default", "", ""});
	if (root.contains("rows"))
		ParseRows(root["rows"]);
	else {
		for (size_t i = 0; i < fManifest.fGroups.size(); i++)
			fManifest.fRows.push_back((int32)i);
	}
	if (root.contains("default_destinations"))
		ParseDestinations(root["default_destinations"], "default_destinations", false);
	if (root.contains("custom_destinations"))
		ParseDestinations(root["custom_destinations"], "custom_destinations", true);
	if (root.contains("flags"))
		ParseFlags(root["flags"]);
	fManifest.fFolderName = String(root, "folder_name", "");
	if (fManifest.fFolderName.find('/') != std::string::npos
		|| fManifest.fFolderName == "." || fManifest.fFolderName == "..") {
		Fail("folder_name", "not a valid folder name");
	}
	if (root.contains("source"))
		fManifest.fSource = HostPath(String(root, "source", ""));

	item_settings& defaults = fManifest.fDefaults;
	defaults.groups = fManifest.AllGroupsMask();
	defaults.destination = kInstallFolderDestination;
	defaults.custom = false;
	defaults.replace = kAskReplace;
	defaults.platform = kThisPlatformMask;
	if (root.contains("defaults")) {
		item_settings given;
		ParseSettings(root["defaults"], "defaults", given);
		Manifest::Overlay(defaults, given);
	}
	if (root.contains("items"))
		ParseItems(root["items"]);
	if (root.contains("scripts"))
		ParseExtras(root["scripts"], "scripts", fManifest.fScripts, false);
	if (root.contains("patches"))
		ParseExtras(root["patches"], "patches", fManifest.fPatches, true);
}


Manifest::Manifest()
{
}


status_t
Manifest::Load(const char* path)
{
	std::string text, reason;
	if (!ReadHostText(path, &text, &reason)) {
		fError = std::string(path) + ": " + reason;
		return B_ENTRY_NOT_FOUND;
	}
	std::string base = path;
	size_t slash = base.find_last_of('/');
	base = slash == std::string::npos ? std::string(".") : base.substr(0, slash == 0 ? 1 : slash);
	return SetTo(text, path, base.c_str());
}


status_t
Manifest::SetTo(const std::string& text, const char* fileName, const char* baseDirectory)
{
	*this = Manifest();
	fFileName = fileName != nullptr ? fileName : "manifest";
	fBaseDirectory = baseDirectory != nullptr ? baseDirectory : "";
	json root;
	try {
		root = json::parse(text);
	} catch (const json::exception& error) {
		// Syntax errors, and numbers too large for any number type.
		fError = fFileName + ": not valid JSON: " + error.what();
		return B_BAD_DATA;
	}
	try {
		ManifestParser(*this).Parse(root);
	} catch (const field_error& error) {
		fError = fFileName + ": " + error.field + ": " + error.reason;
		return B_BAD_VALUE;
	} catch (const json::exception& error) {
		fError = fFileName + ": " + error.what();
		return B_BAD_VALUE;
	}
	return B_OK;
}


uint32
Manifest::AllGroupsMask() const
{
	size_t count = fGroups.size();
	return count >= 32 ? 0xffffffffu : (1u << count) - 1;
}


void
Manifest::Overlay(item_settings& base, const item_settings& over)
{
	if (over.groups)
		base.groups = over.groups;
	if (over.destination)
		base.destination = over.destination;
	if (over.custom)
		base.custom = over.custom;
	if (over.replace)
		base.replace = over.replace;
	if (over.platform)
		base.platform = over.platform;
	if (over.version)
		base.version = over.version;
	if (over.mimeType)
		base.mimeType = over.mimeType;
}


item_settings
Manifest::SettingsFor(const std::string& path) const
{
	item_settings settings = fDefaults;
	auto top = fItems.find("");
	if (top != fItems.end())
		Overlay(settings, top->second);
	size_t start = 0;
	while (start < path.size()) {
		size_t slash = path.find('/', start);
		std::string prefix = path.substr(0, slash);
		auto found = fItems.find(prefix);
		if (found != fItems.end() && !prefix.empty())
			Overlay(settings, found->second);
		if (slash == std::string::npos)
			break;
		start = slash + 1;
	}
	// A destination places the item it is given for, not what that item
	// holds: an item inside a sub-folder goes into that folder unless its
	// own settings say otherwise.
	if (path.find('/') != std::string::npos)
		PlaceInContainingFolder(path, settings);
	return settings;
}


void
Manifest::PlaceInContainingFolder(const std::string& path,
	item_settings& settings) const
{
	auto own = fItems.find(path);
	if (own != fItems.end() && own->second.destination)
		return;
	settings.destination = kParentFolderDestination;
	settings.custom = false;
}
