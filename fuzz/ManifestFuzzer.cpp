// Fuzzes the manifest parser with arbitrary manifest text, read as the
// package tool's "build" reads it (relative file names resolved against a
// scratch folder that holds a few texts), then asks the parsed manifest for
// the settings of every item it names and flattens the agreement's styles,
// as the build does (and reads the styles back, as the installer does).
//
// Texts may come from files ({"file": name}). A manifest whose "file" names
// a host entry that is not a small regular file (a device, a pipe, /proc/kcore) is
// passed over: reading it would block or exhaust memory, as the author who
// wrote it asked, and that is not a fault of the parser.

#include "FuzzScratch.h"

#include "Manifest.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string gScratch;

// Texts files of this size or more are passed over.
const off_t kLargestTextFile = 1 << 20;


std::string
HostPath(const std::string& name)
{
	if (name.empty() || name[0] == '/')
		return name;
	return gScratch + "/" + name;
}


// Whether reading the host entry `name` (as a text file of the manifest)
// ends soon: it does not exist, or it is a small regular file or a folder.
bool
ReadsQuickly(const std::string& name)
{
	struct stat st;
	if (stat(HostPath(name).c_str(), &st) != 0)
		return true;
	if (S_ISDIR(st.st_mode))
		return true;
	return S_ISREG(st.st_mode) && st.st_size < kLargestTextFile;
}


// Whether the text may name a text file: it holds the key "file", or an
// escape that could spell it.
bool
MayNameFiles(const std::string& text)
{
	return text.find("file") != std::string::npos || text.find("\\u") != std::string::npos;
}


// Every "file" member of every object in the document, walked without
// recursion (a document may nest as deep as the parser allows).
bool
EveryFileReadsQuickly(const nlohmann::json& document)
{
	std::vector<const nlohmann::json*> pending{&document};
	while (!pending.empty()) {
		const nlohmann::json* value = pending.back();
		pending.pop_back();
		if (value->is_object()) {
			auto file = value->find("file");
			if (file != value->end() && file->is_string()
				&& !ReadsQuickly(file->get_ref<const std::string&>()))
				return false;
		}
		if (value->is_structured()) {
			for (const nlohmann::json& member : *value)
				pending.push_back(&member);
		}
	}
	return true;
}


void
WriteText(const char* name, const char* text)
{
	FuzzScratch::WriteFile(gScratch + "/" + name, text);
}

} // namespace


extern "C" int
LLVMFuzzerInitialize(int*, char***)
{
	gScratch = FuzzScratch::Make("manifest");
	// The text files the seed manifests name.
	std::filesystem::create_directories(gScratch + "/extra");
	WriteText("extra/license.txt", "Agree to these terms before you install the tool.\n");
	WriteText("extra/help.txt", "Help for the package.\n");
	return 0;
}


extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	std::string text(reinterpret_cast<const char*>(data), size);
	if (MayNameFiles(text)) {
		nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
		if (!document.is_discarded() && !EveryFileReadsQuickly(document))
			return 0;
	}

	Manifest manifest;
	if (manifest.SetTo(text, "manifest.json", gScratch.c_str()) != B_OK)
		return 0;
	for (const auto& [path, settings] : manifest.fItems)
		manifest.SettingsFor(path);
	for (const auto* list : {&manifest.fScripts, &manifest.fPatches}) {
		for (const manifest_extra_item& item : *list) {
			item_settings settings = manifest.SettingsFor(item.folder);
			Manifest::Overlay(settings, item.settings);
		}
	}
	manifest.AllGroupsMask();
	if (manifest.fHasAgreementStyles) {
		std::string flat = manifest.fAgreementStyles.Flatten();
		StyleRuns readBack;
		readBack.Unflatten(flat.data(), flat.size());
	}
	return 0;
}
