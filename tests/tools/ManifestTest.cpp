#include "Manifest.h"
#include "ManifestNames.h"

#include "ScratchDir.h"

#include <Errors.h>
#include <FindDirectory.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

status_t
Parse(Manifest& manifest, const std::string& text, const char* base = "/nowhere")
{
	return manifest.SetTo(text, "pkg.json", base);
}

} // namespace


TEST(ManifestTest, PlainManifestGetsWorkingDefaults)
{
	Manifest manifest;
	ASSERT_EQ(Parse(manifest, R"({"name": "Tool"})"), B_OK) << manifest.ErrorMessage();
	EXPECT_EQ(manifest.fName, "Tool");
	ASSERT_EQ(manifest.fGroups.size(), 1u);
	EXPECT_EQ(manifest.fGroups[0].name, "Default");
	EXPECT_EQ(manifest.fRows, std::vector<int32>{0});
	EXPECT_TRUE(manifest.fTopFolder);
	EXPECT_TRUE(manifest.fFolderChoice);
	EXPECT_FALSE(manifest.fScriptFailure);

	item_settings settings = manifest.SettingsFor("any/file");
	EXPECT_EQ(*settings.groups, 1u);
	EXPECT_EQ(*settings.platform, 2u);
	// Into its own folder; only the top level goes to the install folder.
	EXPECT_EQ(*settings.destination, -2);
	EXPECT_EQ(*manifest.SettingsFor("file").destination, -1);
	EXPECT_EQ(*settings.replace, 0);
	EXPECT_FALSE(*settings.custom);
	EXPECT_FALSE(settings.version.has_value());
}


TEST(ManifestTest, FullManifest)
{
	Manifest manifest;
	ASSERT_EQ(Parse(manifest, R"({
		"name": "Tool", "description": "A tool",
		"agreement": {"text": "Agree?", "styles": [
			{"offset": 0, "family": "Sans", "style": "Bold", "size": 14, "color": [255, 0, 0]},
			{"offset": 3}]},
		"help": "Some help",
		"groups": [{"name": "Full", "description": "All", "help": "h"},
			{"name": "Minimal"}, {"name": "Docs"}],
		"rows": ["Full", "-", 1, null, "Docs"],
		"default_destinations": [{"path": "apps", "directory": 1002}, "home/x"],
		"custom_destinations": [{"path": "/boot/opt"},
			{"query": {"name": "Tool", "size": 1234, "signature": "application/x-tool"}}],
		"flags": {"top_folder": false, "folder_choice": false, "script_failure": true},
		"folder_name": "ToolFolder",
		"defaults": {"groups": ["Full"]},
		"items": {
			"bin": {"groups": ["Full", "Minimal"], "replace": "rename"},
			"bin/tool": {"version": "1.2.3", "mime": "application/x-tool",
				"destination": 1, "custom": true, "platform": 6},
			"./": {"replace": 7},
			"./bin/other": {"platform": 4}
		},
		"scripts": [{"source": "post.sh", "folder": "bin/", "first": true}],
		"patches": [{"source": "/abs/p.patch", "name": "lib", "old_size": 10}]
	})", "/base"), B_OK) << manifest.ErrorMessage();

	EXPECT_EQ(manifest.fAgreement, "Agree?");
	ASSERT_TRUE(manifest.fHasAgreementStyles);
	ASSERT_EQ(manifest.fAgreementStyles.CountRuns(), 2);
	EXPECT_EQ(manifest.fAgreementStyles.RunAt(0).family, "Sans");
	EXPECT_EQ(manifest.fAgreementStyles.RunAt(0).size, 14.0f);
	EXPECT_EQ(manifest.fAgreementStyles.RunAt(0).color[0], 255);
	EXPECT_EQ(manifest.fAgreementStyles.RunAt(0).color[3], 255);
	EXPECT_EQ(manifest.fAgreementStyles.RunAt(1).offset, 3);
	EXPECT_EQ(manifest.fHelp, "Some help");
	ASSERT_EQ(manifest.fGroups.size(), 3u);
	EXPECT_EQ(manifest.fRows, (std::vector<int32>{0, -1, 1, -1, 2}));
	ASSERT_EQ(manifest.fDefaultDestinations.size(), 2u);
	EXPECT_EQ(manifest.fDefaultDestinations[0].directory, 1002);
	EXPECT_EQ(manifest.fDefaultDestinations[1].path, "home/x");
	EXPECT_EQ(manifest.fDefaultDestinations[1].directory, kNoSystemDirectory);
	ASSERT_EQ(manifest.fCustomDestinations.size(), 2u);
	EXPECT_TRUE(manifest.fCustomDestinations[1].isQuery);
	EXPECT_EQ(manifest.fCustomDestinations[1].querySize, 1234);
	EXPECT_FALSE(manifest.fTopFolder);
	EXPECT_FALSE(manifest.fFolderChoice);
	EXPECT_TRUE(manifest.fScriptFailure);
	EXPECT_EQ(manifest.fFolderName, "ToolFolder");

	// Settings are inherited along the path, the top folder's "./" first.
	item_settings top = manifest.SettingsFor("");
	EXPECT_EQ(*top.groups, 1u);
	EXPECT_EQ(*top.replace, 7);
	item_settings tool = manifest.SettingsFor("bin/tool");
	EXPECT_EQ(*tool.groups, 3u);
	EXPECT_EQ(*tool.replace, 2);
	EXPECT_EQ(*tool.destination, 1);
	EXPECT_TRUE(*tool.custom);
	EXPECT_EQ(*tool.platform, 6u);
	EXPECT_EQ(*tool.version, (std::array<int32, 5>{1, 2, 3, 0, 0}));
	EXPECT_EQ(*tool.mimeType, "application/x-tool");
	EXPECT_EQ(*manifest.SettingsFor("bin/other").platform, 4u);
	item_settings other = manifest.SettingsFor("binary");
	EXPECT_EQ(*other.groups, 1u) << "\"bin\" must not match \"binary\"";

	ASSERT_EQ(manifest.fScripts.size(), 1u);
	EXPECT_EQ(manifest.fScripts[0].source, "/base/post.sh");
	EXPECT_EQ(manifest.fScripts[0].name, "post.sh");
	EXPECT_EQ(manifest.fScripts[0].folder, "bin");
	EXPECT_TRUE(manifest.fScripts[0].first);
	ASSERT_EQ(manifest.fPatches.size(), 1u);
	EXPECT_EQ(manifest.fPatches[0].source, "/abs/p.patch");
	EXPECT_EQ(*manifest.fPatches[0].oldSize, 10);
}


TEST(ManifestTest, BadFieldsAreNamed)
{
	struct bad_case {
		const char* text;
		const char* expected;
	};
	const bad_case cases[] = {
		{R"({})", "pkg.json: name: missing"},
		{R"({"name": 3})", "pkg.json: name: not a string"},
		{R"({"name": "x", "colour": 1})", "pkg.json: colour: unknown field"},
		{R"({"name": "x", "groups": [{"name": "a"}, {"name": "a"}]})",
			"pkg.json: groups[1].name: a second group"},
		{R"({"name": "x", "rows": ["nope"]})", "pkg.json: rows[0]: no group named \"nope\""},
		{R"({"name": "x", "items": {"a": {"replace": 11}}})",
			"pkg.json: items[\"a\"].replace: out of range"},
		{R"({"name": "x", "items": {"a": {"replace": "sometimes"}}})",
			"pkg.json: items[\"a\"].replace: unknown replacement option"},
		{R"({"name": "x", "items": {"a": {"groups": ["Other"]}}})",
			"pkg.json: items[\"a\"].groups[0]: no group named \"Other\""},
		{R"({"name": "x", "items": {"a": {"version": "1.x"}}})",
			"pkg.json: items[\"a\"].version: not a version"},
		{R"({"name": "x", "agreement": {"text": "a", "styles": [{"offset": 0,
			"color": [1, 2, 300]}]}})", "pkg.json: agreement.styles[0].color[2]: out of range"},
		{R"({"name": "x", "agreement": {"text": "a", "file": "b"}})",
			"pkg.json: agreement: give either"},
		{R"({"name": "x", "agreement": {"file": "missing.txt"}})",
			"pkg.json: agreement.file: cannot read \"/nowhere/missing.txt\""},
		{R"({"name": "x", "scripts": [{"name": "s"}]})", "pkg.json: scripts[0].source: missing"},
		{R"({"name": "x", "scripts": [{"source": "a", "name": "../s"}]})",
			"pkg.json: scripts[0].name: not a valid item name"},
		{R"({"name": "x", "flags": {"top_folder": 1}})",
			"pkg.json: flags.top_folder: not true or false"},
		{R"({"name": "x", "custom_destinations": [{"path": "a", "directory": 3}]})",
			"pkg.json: custom_destinations[0].directory: unknown field"},
		// The installer searches by size alone when a query has no signature.
		{R"({"name": "x", "custom_destinations": [{"query": {"name": "a", "signature": ""}}]})",
			"pkg.json: custom_destinations[0].query.size: missing"},
		// System folders: a name or a number the platform does not know.
		{R"({"name": "x", "default_destinations": [{"path": "a", "directory": "user setings"}]})",
			"pkg.json: default_destinations[0].directory: unknown system folder \"user setings\""},
		{R"({"name": "x", "default_destinations": ["a",
			{"path": "b", "directory": "User Settings"}]})",
			"pkg.json: default_destinations[1].directory: unknown system folder"},
		{R"({"name": "x", "default_destinations": [{"path": "a", "directory": 3500}]})",
			"pkg.json: default_destinations[0].directory: 3500 is no system folder's number"},
		{R"({"name": "x", "default_destinations": [{"path": "a", "directory": -1000}]})",
			"pkg.json: default_destinations[0].directory: -1000 is no system folder's number"},
		{R"({"name": "x", "default_destinations": [{"path": "a", "directory": 1.5}]})",
			"pkg.json: default_destinations[0].directory: not an integer"},
		{R"({"name": "x", "items": {"/abs": {}}})", "pkg.json: items[\"/abs\"]: not a path"},
		{R"({"name": "x",)", "pkg.json: not valid JSON"},
		// A number past the largest double is refused by the JSON reader.
		{R"({"name": "x", "items": {"a": {"destination": 1E400}}})",
			"pkg.json: not valid JSON"},
	};
	for (const bad_case& bad : cases) {
		Manifest manifest;
		EXPECT_LT(Parse(manifest, bad.text), 0) << bad.text;
		EXPECT_EQ(manifest.ErrorMessage().rfind(bad.expected, 0), 0u)
			<< "got: " << manifest.ErrorMessage() << "\nwanted: " << bad.expected;
	}
}


TEST(ManifestTest, LoadResolvesFilesBesideTheManifest)
{
	ScratchDir dir;
	std::ofstream(dir / "license.txt") << "Terms";
	std::ofstream(dir / "pkg.json")
		<< R"({"name": "T", "agreement": {"file": "license.txt"}, "source": "tree"})";
	Manifest manifest;
	ASSERT_EQ(manifest.Load((dir / "pkg.json").c_str()), B_OK) << manifest.ErrorMessage();
	EXPECT_EQ(manifest.fAgreement, "Terms");
	EXPECT_EQ(manifest.fSource, dir / "tree");

	EXPECT_EQ(manifest.Load((dir / "absent.json").c_str()), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(manifest.ErrorMessage().rfind(dir / "absent.json" + ": cannot read", 0), 0u)
		<< manifest.ErrorMessage();
}


// System folders by the names of the platform's constants or by number; the
// names agree with the constants in both directions.
TEST(ManifestTest, SystemFolderDestinationsByNameOrNumber)
{
	Manifest manifest;
	ASSERT_EQ(Parse(manifest, R"({"name": "T", "default_destinations": [
		{"path": "Tool", "directory": "user settings"},
		{"path": "bin", "directory": "common bin"},
		{"path": "x", "directory": "desktop"},
		{"path": "y", "directory": 4001},
		{"path": "z"}]})"), B_OK) << manifest.ErrorMessage();
	ASSERT_EQ(manifest.fDefaultDestinations.size(), 5u);
	EXPECT_EQ(manifest.fDefaultDestinations[0].directory, B_USER_SETTINGS_DIRECTORY);
	EXPECT_EQ(manifest.fDefaultDestinations[1].directory, B_COMMON_BIN_DIRECTORY);
	EXPECT_EQ(manifest.fDefaultDestinations[2].directory, B_DESKTOP_DIRECTORY);
	EXPECT_EQ(manifest.fDefaultDestinations[3].directory, B_PREFERENCES_DIRECTORY);
	EXPECT_EQ(manifest.fDefaultDestinations[4].directory, kNoSystemDirectory);

	const directory_which spotChecks[] = {B_TRASH_DIRECTORY, B_BEOS_PREFERENCES_DIRECTORY,
		B_COMMON_VAR_DIRECTORY, B_USER_DESKBAR_DIRECTORY, B_APPS_DIRECTORY};
	for (directory_which which : spotChecks) {
		const char* name = ManifestNames::DirectoryName(which);
		ASSERT_NE(name, nullptr) << which;
		int32 found = -1;
		EXPECT_TRUE(ManifestNames::FindDirectory(name, &found)) << name;
		EXPECT_EQ(found, which) << name;
	}
	EXPECT_EQ(ManifestNames::DirectoryName(B_USER_SETTINGS_DIRECTORY),
		std::string("user settings"));
	for (int32 notAConstant : {-1, 2, 999, 1012, 2016, 3008, 4002})
		EXPECT_EQ(ManifestNames::DirectoryName(notAConstant), nullptr) << notAConstant;
}

