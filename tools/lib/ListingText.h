#ifndef _LISTING_TEXT_H
#define _LISTING_TEXT_H

// The package listing for people: the raw description that PackageLister
// reads (every field as the package holds it, which --json shows) turned
// into names and dates. Flags are listed by name, times are ISO 8601 dates,
// destinations, groups and replacement options are named, and fields the
// package does not have are left out.

#include <nlohmann/json.hpp>

#include <string>

class ListingText {
public:
	// The description for people, still as JSON (ordered as the raw one).
	static nlohmann::ordered_json ForPeople(const nlohmann::ordered_json& description);
	// Indented "key: value" lines; a list of objects as "-" entries.
	static std::string Render(const nlohmann::ordered_json& value);

	// "2024-05-01T12:00:00Z" (seconds since 1970, UTC).
	static std::string DateText(int64_t seconds);
};

#endif // _LISTING_TEXT_H
