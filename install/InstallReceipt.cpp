#include "InstallReceipt.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <File.h>
#include <StorageDefs.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

using nlohmann::ordered_json;

const char* const kReceiptFolderPath = "var/kestrovan/receipts";

namespace {

const int64 kFormat = 1;
// A record larger than this is no record the installer wrote (a package of
// a million items makes a few hundred MiB): it is refused unread.
const off_t kMaxRecordSize = 512 * 1024 * 1024;
// What WriteTo adds to a record's name for the file it writes first.
const char* const kNewFileSuffix = ".new";
const char* const kRecordSuffix = ".json";
// Room in a folder entry's name for a package name, less the record's
// suffix and the suffix of the file written before it.
const size_t kMaxNameLength = B_FILE_NAME_LENGTH - 1 - 5 - 4;
// "9999-12-31T23:59:59Z": the last time the text form holds.
const int64 kLastTime = 253402300799LL;
const char* const kTimeFormat = "dddd-dd-ddTdd:dd:ddZ";

const char* const kKindNames[] = { "file", "folder", "link" };
const char* const kExistingNames[] = { "none", "replaced", "renamed", "merged",
	"skipped", "patched" };


int
Digits(const std::string& text, size_t start, size_t count)
{
	int value = 0;
	for (size_t i = start; i < start + count; i++)
		value = value * 10 + (text[i] - '0');
	return value;
}


// Only the form TimeText writes: UTC, whole seconds.
bool
ParseTime(const std::string& text, int64* seconds)
{
	if (text.size() != strlen(kTimeFormat))
		return false;
	for (size_t i = 0; i < text.size(); i++) {
		bool digit = text[i] >= '0' && text[i] <= '9';
		if (kTimeFormat[i] == 'd' ? !digit : text[i] != kTimeFormat[i])
			return false;
	}
	using namespace std::chrono;
	year_month_day date{year(Digits(text, 0, 4)), month((unsigned)Digits(text, 5, 2)),
		day((unsigned)Digits(text, 8, 2))};
	int hour = Digits(text, 11, 2);
	int minute = Digits(text, 14, 2);
	int second = Digits(text, 17, 2);
	if (!date.ok() || hour > 23 || minute > 59 || second > 59)
		return false;
	*seconds = (int64)sys_days(date).time_since_epoch().count() * 86400
		+ hour * 3600 + minute * 60 + second;
	return true;
}


// An absolute platform path of at least `minimum` components ("/boot" is
// one), none of them empty, "." or "..", none too long for a name. A path
// read from a record must name one place, and nothing above it.
bool
IsPlatformPath(const std::string& path, size_t minimum)
{
	if (path.size() < 2 || path[0] != '/' || path.find('\0') != std::string::npos)
		return false;
	size_t components = 0;
	size_t start = 1;
	while (start <= path.size()) {
		size_t slash = path.find('/', start);
		if (slash == std::string::npos)
			slash = path.size();
		std::string name = path.substr(start, slash - start);
		if (name.empty() || name == "." || name == ".."
			|| name.size() >= B_FILE_NAME_LENGTH)
			return false;
		components++;
		start = slash + 1;
	}
	return components >= minimum;
}


std::string
ParentOf(const std::string& path)
{
	return path.substr(0, path.rfind('/'));
}


bool
IsSha256(const std::string& text)
{
	return text.size() == 64
		&& text.find_first_not_of("0123456789abcdef") == std::string::npos;
}


// The readers below refuse a member of the wrong type, and a required
// member that is missing.

bool
ReadString(const ordered_json& object, const char* key, std::string* value,
	bool nullable = false)
{
	auto member = object.find(key);
	if (member == object.end())
		return false;
	if (nullable && member->is_null()) {
		value->clear();
		return true;
	}
	if (!member->is_string())
		return false;
	*value = member->get<std::string>();
	return value->find('\0') == std::string::npos;
}


bool
ReadInteger(const ordered_json& object, const char* key, int64 minimum,
	int64 maximum, int64* value)
{
	auto member = object.find(key);
	if (member == object.end())
		return false;
	if (member->is_number_unsigned()) {
		uint64 number = member->get<uint64>();
		if (number > (uint64)maximum)
			return false;
		*value = (int64)number;
	} else if (member->is_number_integer())
		*value = member->get<int64>();
	else
		return false;
	return *value >= minimum && *value <= maximum;
}


// The index of `text` among `names`; -1 when it is none of them.
template<size_t count>
int
NameIndex(const ordered_json& object, const char* key, const char* const (&names)[count])
{
	std::string text;
	if (!ReadString(object, key, &text))
		return -1;
	for (size_t i = 0; i < count; i++) {
		if (text == names[i])
			return (int)i;
	}
	return -1;
}


bool
ReadStringList(const ordered_json& object, const char* key,
	std::vector<std::string>* list)
{
	auto member = object.find(key);
	if (member == object.end() || !member->is_array())
		return false;
	for (const ordered_json& value : *member) {
		if (!value.is_string())
			return false;
		list->push_back(value.get<std::string>());
	}
	return true;
}


// What the kind and the rule need beside the path: a file's digest, a
// link's target, the renamed entry's new name (beside the item, in its
// folder), the patched file's path.
bool
ReadItemDetails(const ordered_json& object, ReceiptItem* item)
{
	// An entry kept in place of the item is not the package's: its
	// contents were not read.
	bool skipped = item->fExisting == kExistingSkipped;
	if (item->fKind == kReceiptFile && !(skipped && !object.contains("sha256"))
		&& (!ReadString(object, "sha256", &item->fSha256)
			|| !(IsSha256(item->fSha256) || (skipped && item->fSha256.empty()))))
		return false;
	if (item->fKind == kReceiptLink
		&& (!ReadString(object, "link_target", &item->fLinkTarget)
			|| item->fLinkTarget.empty()))
		return false;
	switch (item->fExisting) {
		case kExistingRenamed:
			return ReadString(object, "renamed_to", &item->fRenamedTo)
				&& IsPlatformPath(item->fRenamedTo, 2)
				&& ParentOf(item->fRenamedTo) == ParentOf(item->fPath)
				&& item->fRenamedTo != item->fPath;
		case kExistingMerged:
			return item->fKind == kReceiptFolder;
		case kExistingPatched:
			return item->fKind == kReceiptFile
				&& ReadString(object, "original", &item->fOriginal)
				&& IsPlatformPath(item->fOriginal, 2);
		default:
			return true;
	}
}


bool
ReadItem(const ordered_json& object, ReceiptItem* item)
{
	if (!object.is_object())
		return false;
	int kind = NameIndex(object, "kind", kKindNames);
	int existing = NameIndex(object, "existing", kExistingNames);
	int64 mode = 0;
	if (!ReadString(object, "path", &item->fPath) || !IsPlatformPath(item->fPath, 2)
		|| kind < 0 || existing < 0
		|| !ReadInteger(object, "size", 0, std::numeric_limits<int64>::max(), &item->fSize)
		|| !ReadInteger(object, "mode", 0, 07777, &mode)
		|| !ReadInteger(object, "modified", std::numeric_limits<int64>::min(),
			std::numeric_limits<int64>::max(), &item->fModified))
		return false;
	item->fKind = (receipt_kind)kind;
	item->fExisting = (receipt_existing)existing;
	item->fMode = (uint32)mode;
	return ReadItemDetails(object, item);
}


bool
ReadScript(const ordered_json& object, ReceiptScript* script)
{
	return object.is_object() && ReadString(object, "name", &script->fName)
		&& ReadString(object, "folder", &script->fFolder);
}


bool
ReadPackage(const ordered_json& document, InstallReceipt* receipt)
{
	auto package = document.find("package");
	return package != document.end() && package->is_object()
		&& ReadString(*package, "name", &receipt->fPackageName)
		&& ReadString(*package, "description", &receipt->fDescription)
		&& ReadString(*package, "signer", &receipt->fSigner, true)
		&& (package->find("digest") == package->end()
			|| ReadString(*package, "digest", &receipt->fDigest, true));
}


bool
ReadRun(const ordered_json& document, InstallReceipt* receipt)
{
	int64 format = 0;
	std::string installed;
	return ReadInteger(document, "format", kFormat, kFormat, &format)
		&& ReadString(document, "installed", &installed)
		&& ParseTime(installed, &receipt->fInstalledAt)
		&& ReadString(document, "installer", &receipt->fInstaller)
		&& ReadString(document, "volume", &receipt->fVolume)
		&& IsPlatformPath("/" + receipt->fVolume, 1)
		&& receipt->fVolume.find('/') == std::string::npos
		&& ReadString(document, "install_folder", &receipt->fInstallFolder, true)
		&& (receipt->fInstallFolder.empty()
			|| IsPlatformPath(receipt->fInstallFolder, 1))
		&& ReadStringList(document, "groups", &receipt->fGroups);
}


bool
ReadContents(const ordered_json& document, InstallReceipt* receipt)
{
	auto items = document.find("items");
	auto scripts = document.find("scripts");
	if (items == document.end() || !items->is_array() || scripts == document.end()
		|| !scripts->is_array())
		return false;
	for (const ordered_json& object : *items) {
		ReceiptItem item;
		if (!ReadItem(object, &item))
			return false;
		receipt->fItems.push_back(item);
	}
	for (const ordered_json& object : *scripts) {
		ReceiptScript script;
		if (!ReadScript(object, &script))
			return false;
		receipt->fScripts.push_back(script);
	}
	return true;
}


ordered_json
ItemJson(const ReceiptItem& item)
{
	ordered_json object;
	object["path"] = item.fPath;
	object["kind"] = kKindNames[item.fKind];
	object["size"] = item.fSize;
	if (item.fKind == kReceiptFile)
		object["sha256"] = item.fSha256;
	object["mode"] = item.fMode;
	object["modified"] = item.fModified;
	if (item.fKind == kReceiptLink)
		object["link_target"] = item.fLinkTarget;
	object["existing"] = kExistingNames[item.fExisting];
	if (item.fExisting == kExistingRenamed)
		object["renamed_to"] = item.fRenamedTo;
	if (item.fExisting == kExistingPatched)
		object["original"] = item.fOriginal;
	return object;
}


// The path without "." and empty components ("/boot/." is "/boot"), as
// readers take it.
std::string
PlainPath(const std::string& path)
{
	std::string plain;
	size_t start = 0;
	while (start < path.size()) {
		size_t slash = path.find('/', start);
		if (slash == std::string::npos)
			slash = path.size();
		std::string name = path.substr(start, slash - start);
		if (!name.empty() && name != ".")
			plain += "/" + name;
		start = slash + 1;
	}
	return path.empty() || !plain.empty() ? plain : "/";
}


ordered_json
NullableString(const std::string& text)
{
	return text.empty() ? ordered_json(nullptr) : ordered_json(text);
}


// Names are bytes; JSON text is UTF-8. A byte that is not UTF-8 is written
// as U+FFFD: such an item then no longer matches what is on disk, and is
// reported and kept rather than mistaken for another.
std::string
JsonText(const ordered_json& value)
{
	return value.dump(1, '\t', false, ordered_json::error_handler_t::replace);
}


// `text` dumped at the top level, placed `depth` levels deeper: every line
// after the first gets that many more tabs. JSON strings hold no line feed
// of their own (it is written "\n"), so every one in the text is a line's end.
void
AppendIndented(std::string* out, const std::string& text, int depth)
{
	size_t start = 0;
	for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
		out->append(text, start, end + 1 - start);
		out->append(depth, '\t');
	}
	out->append(text, start, std::string::npos);
}

} // namespace


InstallReceipt::InstallReceipt()
	:
	fInstalledAt(0)
{
}


std::string
InstallReceipt::ToJson() const
{
	ordered_json document;
	document["format"] = kFormat;
	document["package"] = { { "name", fPackageName }, { "description", fDescription },
		{ "signer", NullableString(fSigner) }, { "digest", NullableString(fDigest) } };
	document["installed"] = TimeText(fInstalledAt);
	document["installer"] = fInstaller;
	document["volume"] = fVolume;
	document["install_folder"] = NullableString(fInstallFolder.empty() ? fInstallFolder
		: PlainPath(fInstallFolder));
	document["groups"] = fGroups;
	ordered_json scripts = ordered_json::array();
	for (const ReceiptScript& script : fScripts)
		scripts.push_back({ { "name", script.fName }, { "folder", script.fFolder } });

	// The text is that of the whole document with the items last but one,
	// but a receipt lists every installed item, and a document of thousands
	// of them costs more to build in memory than to write: each item is
	// dumped as it comes, into its place. The document ends "\n}".
	std::string text = JsonText(document);
	text.resize(text.size() - 2);
	// About what an installed file's item takes (a digest, a path), so that
	// the text is seldom moved as it grows.
	text.reserve(text.size() + fItems.size() * 400);
	text += ",\n\t\"items\": [";
	for (size_t i = 0; i < fItems.size(); i++) {
		text += i == 0 ? "\n\t\t" : ",\n\t\t";
		AppendIndented(&text, JsonText(ItemJson(fItems[i])), 2);
	}
	text += fItems.empty() ? "]" : "\n\t]";
	text += ",\n\t\"scripts\": ";
	AppendIndented(&text, JsonText(scripts), 1);
	text += "\n}\n";
	return text;
}


status_t
InstallReceipt::FromJson(const std::string& text)
{
	InstallReceipt read;
	try {
		ordered_json document = ordered_json::parse(text, nullptr, false);
		if (document.is_discarded() || !document.is_object()
			|| !ReadPackage(document, &read) || !ReadRun(document, &read)
			|| !ReadContents(document, &read))
			return B_BAD_DATA;
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	} catch (...) {
		return B_BAD_DATA;
	}
	*this = read;
	return B_OK;
}


status_t
InstallReceipt::WriteTo(BDirectory* folder, const char* name) const
{
	if (folder == nullptr || name == nullptr)
		return B_BAD_VALUE;
	std::string text = ToJson();
	std::string newName = std::string(name) + kNewFileSuffix;
	// Left by a run that died while writing it.
	BEntry(folder, newName.c_str()).Remove();
	BFile file;
	status_t status = folder->CreateFile(newName.c_str(), &file, true);
	if (status != B_OK)
		return status;
	ssize_t written = file.WriteAt(0, text.data(), text.size());
	if (written >= 0 && (size_t)written != text.size())
		written = B_IO_ERROR;
	status = written < 0 ? (status_t)written : file.Sync();
	file.Unset();
	BEntry newEntry(folder, newName.c_str());
	if (status == B_OK)
		status = newEntry.Rename(name, true);
	if (status != B_OK)
		newEntry.Remove();
	return status;
}


status_t
InstallReceipt::ReadFrom(BDirectory* folder, const char* name)
{
	if (folder == nullptr || name == nullptr)
		return B_BAD_VALUE;
	BFile file(folder, name, B_READ_ONLY);
	off_t size = 0;
	status_t status = file.InitCheck();
	if (status == B_OK)
		status = file.GetSize(&size);
	if (status != B_OK)
		return status;
	if (size > kMaxRecordSize)
		return B_BAD_DATA;
	std::string text;
	try {
		text.resize((size_t)size);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	ssize_t read = file.ReadAt(0, text.data(), text.size());
	if (read < 0)
		return (status_t)read;
	text.resize((size_t)read);
	return FromJson(text);
}


std::string
InstallReceipt::FileNameFor(const std::string& packageName)
{
	std::string name = packageName.substr(0, kMaxNameLength);
	// A package name is a name, never a path.
	for (char& c : name) {
		if (c == '/' || c == '\0')
			c = '-';
	}
	if (name.empty())
		name = "package";
	return name + kRecordSuffix;
}


std::string
InstallReceipt::TimeText(int64 when)
{
	using namespace std::chrono;
	// The text has room for years 1970 to 9999.
	sys_seconds time{seconds(std::clamp<int64>(when, 0, kLastTime))};
	sys_days day = floor<days>(time);
	year_month_day date(day);
	hh_mm_ss<std::chrono::seconds> clock(time - day);
	char text[32];
	snprintf(text, sizeof(text), "%04d-%02u-%02uT%02d:%02d:%02dZ", (int)date.year(),
		(unsigned)date.month(), (unsigned)date.day(), (int)clock.hours().count(),
		(int)clock.minutes().count(), (int)clock.seconds().count());
	return text;
}
