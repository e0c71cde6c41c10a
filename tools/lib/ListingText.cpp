#include "ListingText.h"

#include "Manifest.h"
#include "ManifestNames.h"

#include <algorithm>
#include <ctime>
#include <sstream>

using nlohmann::ordered_json;

namespace {

struct listed_flag {
	const char* rawKey;
	const char* name;
};

// The package's flags as the raw description keeps them, and as people read
// them. Option flags 1 and 2 have no settled meaning.
const listed_flag kFlags[] = {
	{"top folder", "top folder"},
	{"folder choice", "folder choice"},
	{"script failure", "script failure"},
	{"option flag 1", "option 1 (no known meaning)"},
	{"option flag 2", "option 2 (no known meaning)"},
};

const char* const kUnsettledFields[] = {"text 14", "text 15", "text 17"};


// The raw object without its null members.
ordered_json
WithoutNulls(const ordered_json& object)
{
	ordered_json out = ordered_json::object();
	for (const auto& [key, value] : object.items()) {
		if (!value.is_null())
			out[key] = value;
	}
	return out;
}


std::string
GroupName(const ordered_json& groups, int64_t index)
{
	if (index >= 0 && index < (int64_t)groups.size() && groups[index]["name"].is_string())
		return groups[index]["name"].get<std::string>();
	return "group " + std::to_string(index);
}


// A group mask as the names of its groups.
ordered_json
GroupNames(const ordered_json& groups, uint32_t mask)
{
	ordered_json names = ordered_json::array();
	for (int bit = 0; bit < 32; bit++) {
		if ((mask & (1u << bit)) != 0)
			names.push_back(GroupName(groups, bit));
	}
	return names;
}


std::string
DestinationText(const ordered_json& destination)
{
	if (destination.contains("query")) {
		// The search is by the predicates alone; the name is only shown
		// when the installer asks which of several files is meant.
		std::string predicates;
		for (const ordered_json& predicate : destination["predicates"]) {
			if (predicate.is_string())
				predicates += (predicates.empty() ? "" : ", ") + predicate.get<std::string>();
		}
		std::string name = destination["query"].is_string()
			? destination["query"].get<std::string>() : std::string();
		return "the folder of the file with " + predicates + " (shown as \"" + name + "\")";
	}
	std::string path = destination["path"].is_string()
		? destination["path"].get<std::string>() : std::string("(no path)");
	int32 which = destination["directory"].get<int32>();
	if (which == kNoSystemDirectory)
		return path;
	// The installer goes to the system folder itself; the path is only
	// carried along.
	const char* name = ManifestNames::DirectoryName(which);
	return "system folder " + (name != nullptr ? "\"" + std::string(name) + "\""
		: std::to_string(which) + " (none the platform knows)") + " (path \"" + path
		+ "\", unused)";
}


// By index: "0: apps in the system folder ...".
ordered_json
DestinationList(const ordered_json& destinations)
{
	ordered_json out = ordered_json::object();
	for (const ordered_json& destination : destinations)
		out[std::to_string(destination["index"].get<int32>())] = DestinationText(destination);
	return out;
}


std::string
ItemDestination(const ordered_json& attributes, int32 index, bool custom)
{
	if (index == kInstallFolderDestination)
		return "the install folder";
	if (index == kParentFolderDestination)
		return "its folder";
	const ordered_json& list = attributes[custom ? "custom destinations"
		: "default destinations"];
	std::string text = std::string(custom ? "custom" : "default") + " destination "
		+ std::to_string(index);
	if (index >= 0 && index < (int32)list.size())
		return text + " (" + DestinationText(list[index]) + ")";
	return text + " (not in the package)";
}


std::string
VersionText(const ordered_json& version)
{
	// Major, middle and minor always; variety and internal when set.
	size_t shown = 3;
	while (shown < version.size() && std::any_of(version.begin() + shown, version.end(),
			[](const ordered_json& part) { return part.get<int64_t>() != 0; }))
		shown++;
	std::string text;
	for (size_t i = 0; i < shown && i < version.size(); i++)
		text += (i == 0 ? "" : ".") + std::to_string(version[i].get<int64_t>());
	return text;
}


ordered_json
ItemForPeople(const ordered_json& item, const ordered_json& attributes)
{
	ordered_json out = ordered_json::object();
	for (const auto& [key, value] : item.items()) {
		if (value.is_null() || key == "custom")
			continue;
		if (key == "destination")
			out[key] = ItemDestination(attributes, value.get<int32>(),
				item.value("custom", false));
		else if (key == "groups")
			out[key] = GroupNames(attributes["groups"], value.get<uint32_t>());
		else if (key == "replace") {
			const char* name = ManifestNames::ReplaceOptionName(value.get<int32>());
			out[key] = name != nullptr ? ordered_json(name) : value;
		} else if (key == "created" || key == "modified") {
			// Zero: no time recorded (scripts carry none).
			if (value.get<int64_t>() != 0)
				out[key] = ListingText::DateText(value.get<int64_t>());
		} else if (key == "version") {
			if (std::any_of(value.begin(), value.end(),
					[](const ordered_json& part) { return part.get<int64_t>() != 0; }))
				out[key] = VersionText(value);
		} else if (key == "items") {
			ordered_json children = ordered_json::array();
			for (const ordered_json& child : value)
				children.push_back(ItemForPeople(child, attributes));
			out[key] = children;
		} else
			out[key] = value;
	}
	return out;
}


ordered_json
AttributesForPeople(const ordered_json& attributes)
{
	ordered_json out = WithoutNulls(attributes);
	std::string flags;
	for (const listed_flag& flag : kFlags) {
		if (out.value(flag.rawKey, false))
			flags += (flags.empty() ? "" : ", ") + std::string(flag.name);
		out.erase(flag.rawKey);
	}
	out["flags"] = flags.empty() ? "none" : flags;
	if (out.value("value 16", 0) == 0)
		out.erase("value 16");
	for (const char* field : kUnsettledFields) {
		if (out.contains(field) && out[field].get<std::string>().empty())
			out.erase(field);
	}
	ordered_json groups = ordered_json::array();
	for (const ordered_json& group : attributes["groups"])
		groups.push_back(WithoutNulls(group));
	out["groups"] = groups;
	ordered_json rows = ordered_json::array();
	for (const ordered_json& row : attributes["rows"])
		rows.push_back(row.is_number() ? GroupName(attributes["groups"], row.get<int64_t>())
			: std::string("-"));
	out["rows"] = rows;
	out["default destinations"] = DestinationList(attributes["default destinations"]);
	out["custom destinations"] = DestinationList(attributes["custom destinations"]);
	return out;
}


std::string
OneLine(std::string text)
{
	for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
		text.replace(at, 1, "\\n");
	return text;
}


// A list of names reads as "a, b, c"; other lists of values as JSON.
std::string
ScalarList(const ordered_json& list)
{
	if (list.empty())
		return "none";
	if (!std::all_of(list.begin(), list.end(),
			[](const ordered_json& element) { return element.is_string(); }))
		return list.dump();
	std::string text;
	for (const ordered_json& element : list)
		text += (text.empty() ? "" : ", ") + OneLine(element.get<std::string>());
	return text;
}


void
WriteText(std::ostream& out, const ordered_json& value, int indent)
{
	std::string pad(indent, ' ');
	if (value.is_object()) {
		for (const auto& [key, member] : value.items()) {
			bool scalars = member.is_array() && std::none_of(member.begin(), member.end(),
				[](const ordered_json& element) { return element.is_structured(); });
			if (scalars)
				out << pad << key << ": " << ScalarList(member) << "\n";
			else if (member.is_structured() && !member.empty()) {
				out << pad << key << ":\n";
				WriteText(out, member, indent + 2);
			} else if (member.is_structured())
				out << pad << key << ": none\n";
			else if (member.is_string())
				out << pad << key << ": " << OneLine(member.get<std::string>()) << "\n";
			else
				out << pad << key << ": " << member.dump() << "\n";
		}
	} else if (value.is_array()) {
		for (const ordered_json& element : value) {
			if (element.is_structured()) {
				out << pad << "-\n";
				WriteText(out, element, indent + 2);
			} else
				out << pad << "- " << element.dump() << "\n";
		}
	}
}

} // namespace


ordered_json
ListingText::ForPeople(const ordered_json& description)
{
	ordered_json out = ordered_json::object();
	for (const auto& [key, value] : description.items()) {
		if (key == "attributes")
			out[key] = AttributesForPeople(value);
		else if (key == "catalog" && description.contains("attributes"))
			out[key] = ItemForPeople(value, description["attributes"]);
		else if (!value.is_null())
			out[key] = value;
	}
	return out;
}


std::string
ListingText::Render(const ordered_json& value)
{
	std::ostringstream out;
	WriteText(out, value, 0);
	return out.str();
}


std::string
ListingText::DateText(int64_t seconds)
{
	time_t time = (time_t)seconds;
	struct tm parts;
	char buffer[64];
	if (gmtime_r(&time, &parts) == nullptr
		|| strftime(buffer, sizeof(buffer), "%Y-%m-%dT%H:%M:%SZ", &parts) == 0)
		return std::to_string(seconds);
	return buffer;
}
