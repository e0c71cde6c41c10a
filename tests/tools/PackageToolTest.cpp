#include "ToolFixture.h"

#include "ArcCatalog.h"
#include "BuildProgress.h"
#include "ListingText.h"
#include "PackageAssembler.h"
#include "PackageExtractor.h"
#include "PackageLister.h"
#include "PackageVerifier.h"
#include "SourceTree.h"

#include <Errors.h>

#include <algorithm>
#include <random>

namespace {

// An author's folder with files, folders, links, modes, times and
// attributes, and a manifest for it.
class PackageToolTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fDir.Path().empty());
		fSource = fDir / "src";
		fXattrs = host_xattrs_work(fDir.Path());
		write_text(fSource + "/readme.txt", "Read me first.\n");
		std::string big;
		std::mt19937 random(7);
		for (int i = 0; i < 300000; i++)
			big += (char)('a' + random() % 6);
		write_text(fSource + "/bin/tool", big);
		write_text(fSource + "/bin/empty", "");
		write_text(fSource + "/a/b/c/deep.txt", "deep");
		chmod((fSource + "/bin/tool").c_str(), 0755);
		chmod((fSource + "/readme.txt").c_str(), 0600);
		ASSERT_EQ(symlink("../readme.txt", (fSource + "/docs-link").c_str()), 0);
		ASSERT_EQ(symlink("/etc/passwd", (fSource + "/a/abs-link").c_str()), 0);
		if (fXattrs) {
			std::string readme = fSource + "/readme.txt";
			setxattr(readme.c_str(), "user.comment", "plain words", 11, 0);
			setxattr(readme.c_str(), "user.mime_type", "text/plain", 10, 0);
			std::string folder = fSource + "/a";
			setxattr(folder.c_str(), "user.folder-note", "on a folder", 11, 0);
			uint32 type = B_HOST_TO_BENDIAN_INT32(B_INT32_TYPE);
			std::string table = std::string((const char*)&type, 4) + "count" + '\0';
			std::string tool = fSource + "/bin/tool";
			setxattr(tool.c_str(), "user.kestrovan.types", table.data(), table.size(), 0);
			int32 count = 42;
			setxattr(tool.c_str(), "user.count", &count, 4, 0);
		}
		for (const char* path : {"/readme.txt", "/bin/tool", "/bin/empty", "/a/b/c/deep.txt",
				"/a/b/c", "/a/b", "/a", "/bin", "/docs-link", "/a/abs-link"}) {
			set_times(fSource + path, 1500000000 + (time_t)strlen(path));
		}
		fManifest = fDir / "pkg.json";
		write_text(fManifest, R"({
			"name": "Demo", "description": "A demo package", "source": "src",
			"agreement": {"text": "Be nice.", "styles": [{"offset": 0, "family": "Sans",
				"style": "Bold", "size": 14, "color": [200, 10, 20, 255]}]},
			"help": "Press Begin.",
			"groups": [{"name": "All", "description": "Everything"}, {"name": "Docs"}],
			"rows": ["All", "-", "Docs"],
			"default_destinations": [{"path": "apps", "directory": 1002}],
			"custom_destinations": [{"query": {"name": "Tool", "size": 5,
				"signature": "application/x-tool"}}],
			"flags": {"script_failure": true},
			"items": {"bin": {"replace": "rename", "version": "1.2.3"},
				"a": {"groups": ["Docs"], "destination": 0}}
		})");
	}

	std::string Build(const char* name, int32 threads = 0)
	{
		std::string out = fDir / name;
		std::string message;
		EXPECT_EQ(build_package(fManifest.c_str(), nullptr, out.c_str(), &message, threads),
			B_OK) << message;
		return out;
	}

	ScratchDir fDir;
	std::string fSource;
	std::string fManifest;
	bool fXattrs = false;
};


const nlohmann::ordered_json*
FindItem(const nlohmann::ordered_json& folder, const std::string& name)
{
	for (const auto& item : folder["items"]) {
		if (item["name"] == name)
			return &item;
	}
	return nullptr;
}

} // namespace


TEST_F(PackageToolTest, BuildListVerifyExtract)
{
	std::string package = Build("demo.pkg");

	PackageVerifier verifier;
	ASSERT_EQ(verifier.VerifyPath(package.c_str()), B_OK) << verifier.Reason();
	EXPECT_EQ(verifier.Summary().items, 11);
	EXPECT_EQ(verifier.Summary().version, 2);

	PackageLister lister;
	ASSERT_EQ(lister.Read(package.c_str()), B_OK) << lister.ErrorMessage();
	const auto& description = lister.Description();
	const auto& attributes = description["attributes"];
	EXPECT_EQ(attributes["name"], "Demo");
	EXPECT_EQ(attributes["description"], "A demo package");
	EXPECT_EQ(attributes["agreement"], "Be nice.");
	EXPECT_EQ(attributes["help"], "Press Begin.");
	EXPECT_EQ(attributes["script failure"], true);
	EXPECT_EQ(attributes["groups"].size(), 2u);
	EXPECT_EQ(attributes["groups"][0]["description"], "Everything");
	EXPECT_EQ(attributes["rows"], nlohmann::ordered_json({0, "-", 1}));
	EXPECT_EQ(attributes["default destinations"][0]["directory"], 1002);
	EXPECT_EQ(attributes["custom destinations"][0]["query"], "Tool");
	EXPECT_EQ(attributes["custom destinations"][0]["size"], 5);
	EXPECT_EQ(attributes["agreement styles"][0]["family"], "Sans");
	EXPECT_EQ(attributes["agreement styles"][0]["color"][0], 200);

	const auto& top = description["catalog"];
	EXPECT_EQ(top["name"], "src");
	EXPECT_EQ(top["groups"], 3);
	const auto* bin = FindItem(top, "bin");
	ASSERT_NE(bin, nullptr);
	const auto* tool = FindItem(*bin, "tool");
	ASSERT_NE(tool, nullptr);
	EXPECT_EQ((*tool)["size"], 300000);
	EXPECT_EQ((*tool)["mode"], "0755");
	EXPECT_EQ((*tool)["replace"], 2);
	EXPECT_EQ((*tool)["platform"], 2);
	// The folder goes to the install folder, what it holds into it.
	EXPECT_EQ((*bin)["destination"], -1);
	EXPECT_EQ((*tool)["destination"], -2);
	EXPECT_EQ((*tool)["version"], nlohmann::ordered_json({1, 2, 3, 0, 0}));
	EXPECT_EQ((*tool)["modified"], 1500000000 + 9);
	const auto* deepFolder = FindItem(top, "a");
	ASSERT_NE(deepFolder, nullptr);
	EXPECT_EQ((*deepFolder)["groups"], 2);
	EXPECT_EQ((*deepFolder)["destination"], 0);
	// Its groups reach what it holds; its destination does not.
	const auto* inner = FindItem(*deepFolder, "b");
	ASSERT_NE(inner, nullptr);
	EXPECT_EQ((*inner)["groups"], 2);
	EXPECT_EQ((*inner)["destination"], -2);
	const auto* link = FindItem(top, "docs-link");
	ASSERT_NE(link, nullptr);
	EXPECT_EQ((*link)["kind"], "link");
	EXPECT_EQ((*link)["target"], "../readme.txt");
	const auto* readme = FindItem(top, "readme.txt");
	ASSERT_NE(readme, nullptr);
	if (fXattrs) {
		EXPECT_EQ((*readme)["mime"], "text/plain");
	}
	EXPECT_NE(lister.Text().find("name: tool"), std::string::npos);

	std::string out = fDir / "out";
	PackageExtractor extractor;
	ASSERT_EQ(extractor.ExtractToHostFolder(package.c_str(), out.c_str()), B_OK)
		<< (extractor.Problems().empty() ? "" : extractor.Problems()[0]);
	EXPECT_EQ(extractor.CountExtracted(), 11);
	std::string copy = out + "/src";

	for (const char* file : {"/readme.txt", "/bin/tool", "/bin/empty", "/a/b/c/deep.txt"}) {
		SCOPED_TRACE(file);
		EXPECT_EQ(read_text(copy + file), read_text(fSource + file));
		struct stat original, extracted;
		ASSERT_EQ(stat((fSource + file).c_str(), &original), 0);
		ASSERT_EQ(stat((copy + file).c_str(), &extracted), 0);
		EXPECT_EQ(extracted.st_mode & 07777, original.st_mode & 07777);
		EXPECT_EQ(extracted.st_mtime, original.st_mtime);
	}
	for (const char* folder : {"/a/b/c", "/a/b", "/a", "/bin"}) {
		struct stat extracted;
		ASSERT_EQ(stat((copy + folder).c_str(), &extracted), 0);
		EXPECT_TRUE(S_ISDIR(extracted.st_mode));
		EXPECT_EQ(extracted.st_mtime, 1500000000 + (time_t)strlen(folder)) << folder;
	}
	char target[256] = {};
	ASSERT_GT(readlink((copy + "/docs-link").c_str(), target, sizeof(target)), 0);
	EXPECT_STREQ(target, "../readme.txt");
	memset(target, 0, sizeof(target));
	ASSERT_GT(readlink((copy + "/a/abs-link").c_str(), target, sizeof(target)), 0);
	EXPECT_STREQ(target, "/etc/passwd");
	struct stat linkStat;
	ASSERT_EQ(lstat((copy + "/a/abs-link").c_str(), &linkStat), 0);
	EXPECT_EQ(linkStat.st_mtime, 1500000000 + 11);

	if (!fXattrs)
		GTEST_SKIP() << "no user extended attributes here: attributes not compared";
	for (const char* path : {"/readme.txt", "/bin/tool", "/a"}) {
		SCOPED_TRACE(path);
		std::vector<source_attribute> original, extracted;
		std::string error;
		ASSERT_EQ(SourceTree::ReadAttributes((fSource + path).c_str(), false, &original,
			&error), B_OK);
		ASSERT_EQ(SourceTree::ReadAttributes((copy + path).c_str(), false, &extracted,
			&error), B_OK);
		ASSERT_FALSE(original.empty());
		ASSERT_EQ(extracted.size(), original.size());
		for (size_t i = 0; i < original.size(); i++) {
			EXPECT_EQ(extracted[i].name, original[i].name);
			EXPECT_EQ(extracted[i].type, original[i].type);
			EXPECT_EQ(extracted[i].data, original[i].data);
		}
	}
	auto readmeAttributes = user_attributes(copy + "/readme.txt");
	EXPECT_EQ(readmeAttributes["user.comment"], "plain words");
	EXPECT_EQ(readmeAttributes["user.mime_type"], "text/plain");
	EXPECT_EQ(user_attributes(copy + "/bin/tool")["user.count"], std::string("\x2a\0\0\0", 4));
}


TEST_F(PackageToolTest, ParallelBuildGivesTheSameBytesAsSerial)
{
	std::string serial = Build("serial.pkg", 1);
	std::string parallel = Build("parallel.pkg", 4);
	std::string again = Build("again.pkg", 0);
	std::string bytes = read_text(serial);
	ASSERT_GT(bytes.size(), 1000u);
	EXPECT_TRUE(bytes == read_text(parallel)) << "parallel output differs from serial";
	EXPECT_TRUE(bytes == read_text(again)) << "a second build differs";
}


TEST_F(PackageToolTest, CommandLineRoundTripAndErrors)
{
	std::string package = fDir / "cli.pkg";
	program_result result = run_tool("build " + fManifest + " -o " + package + " --jobs 2");
	ASSERT_EQ(result.status, 0) << result.output;
	result = run_tool("verify " + package);
	EXPECT_EQ(result.status, 0) << result.output;
	EXPECT_NE(result.output.find("OK"), std::string::npos);
	result = run_tool("list --json " + package);
	EXPECT_EQ(result.status, 0) << result.output;
	auto json = nlohmann::json::parse(result.output, nullptr, false);
	ASSERT_FALSE(json.is_discarded()) << result.output;
	EXPECT_EQ(json["attributes"]["name"], "Demo");
	result = run_tool("extract " + package + " " + (fDir / "cli-out"));
	EXPECT_EQ(result.status, 0) << result.output;
	EXPECT_EQ(read_text(fDir / "cli-out/src/a/b/c/deep.txt"), "deep");

	// Usage errors: status 2.
	EXPECT_EQ(run_tool("").status, 2);
	EXPECT_EQ(run_tool("build " + fManifest).status, 2);
	EXPECT_EQ(run_tool("frobnicate x").status, 2);
	EXPECT_EQ(run_tool("list --bogus x").status, 2);

	// A package that is not one: status 1 with the reason.
	write_text(fDir / "junk.pkg", "not a package at all");
	result = run_tool("verify " + (fDir / "junk.pkg"));
	EXPECT_EQ(result.status, 1);
	EXPECT_NE(result.output.find("junk.pkg"), std::string::npos) << result.output;
	EXPECT_EQ(run_tool("list " + (fDir / "junk.pkg")).status, 1);
}


TEST_F(PackageToolTest, ManifestErrorsNameFileAndFieldAndLeaveNoOutput)
{
	struct bad_manifest {
		std::string text;
		std::string expected;
	};
	const bad_manifest cases[] = {
		{R"({"name": "x", "source": "src", "groups": [{"name": 5}]})",
			"bad.json: groups[0].name: not a string"},
		{R"({"name": "x", "source": "src", "scripts": [{"source": "absent.sh"}]})",
			"bad.json: scripts[0].source: \"" + fDir / "absent.sh" + "\": No such file"},
		{R"({"name": "x", "source": "src", "patches": [{"source": "src/readme.txt"}]})",
			"bad.json: patches[0].source: \"" + fDir / "src/readme.txt"
				+ "\": not patch data"},
		{R"({"name": "x", "source": "src", "items": {"nothing/here": {}}})",
			"bad.json: items[\"nothing/here\"]: no such entry"},
		{R"({"name": "x", "source": "src", "items": {"bin": {"destination": 3}}})",
			"bad.json: destination: the settings of \"bin\" use destination 3, but "
				"default_destinations has 0 entries"},
		{R"({"name": "x", "source": "src", "scripts": [{"source": "src/readme.txt",
			"folder": "nope"}]})", "bad.json: scripts[0].folder: no folder \"nope\""},
		{R"({"name": "x", "source": "missing-folder"})", fDir / "missing-folder" + ": No such"},
		{R"({"name": "x"})", "bad.json: source: missing"},
		{R"({"name": "x", "source": "src", "scripts": [{"source": "src/readme.txt"}]})",
			"bad.json: scripts[0].name: \"readme.txt\" is already in folder \"\""},
	};
	std::string manifest = fDir / "bad.json";
	std::string output = fDir / "out/bad.pkg";
	std::filesystem::create_directories(fDir / "out");
	for (const bad_manifest& bad : cases) {
		SCOPED_TRACE(bad.text);
		write_text(manifest, bad.text);
		program_result result = run_tool("build " + manifest + " -o " + output);
		EXPECT_EQ(result.status, 1);
		EXPECT_NE(result.output.find(bad.expected), std::string::npos) << result.output;
		EXPECT_TRUE(folder_names(fDir / "out").empty()) << "output left behind";
	}

	program_result result = run_tool("build " + (fDir / "absent.json") + " -o " + output);
	EXPECT_EQ(result.status, 1);
	EXPECT_NE(result.output.find(fDir / "absent.json"), std::string::npos) << result.output;
	EXPECT_TRUE(folder_names(fDir / "out").empty());

	// In-process: the same message, and an existing output is left as it was.
	write_text(output, "previous");
	write_text(manifest, cases[0].text);
	std::string message;
	EXPECT_EQ(build_package(manifest.c_str(), nullptr, output.c_str(), &message),
		B_BAD_VALUE);
	EXPECT_EQ(message, manifest + ": groups[0].name: not a string");
	EXPECT_EQ(read_text(output), "previous");
	EXPECT_EQ(folder_names(fDir / "out"), std::vector<std::string>{"bad.pkg"});
}


TEST_F(PackageToolTest, BuildMakesNoPackageDeeperThanItsReadersAccept)
{
	// The top folder is the first level: `levels` folders in all.
	auto nestFolders = [&](const std::string& top, int32 levels) {
		std::string path = top;
		for (int32 level = 1; level < levels; level++)
			path += "/d";
		write_text(path + "/inner.txt", "inner");
		return path;
	};
	std::string deepest = fDir / "deep";
	nestFolders(deepest, kMaxFolderDepth);
	std::string manifest = fDir / "deep.json";
	write_text(manifest, R"({"name": "Deep", "source": "deep"})");
	std::string output = fDir / "deep.pkg";
	program_result result = run_tool("build " + manifest + " -o " + output);
	ASSERT_EQ(result.status, 0) << result.output;
	// What the tool builds, its own verify, list and extract take.
	result = run_tool("verify " + output);
	EXPECT_EQ(result.status, 0) << result.output;
	result = run_tool("list " + output);
	EXPECT_EQ(result.status, 0) << result.output;
	std::filesystem::create_directories(fDir / "out");
	result = run_tool("extract " + output + " " + (fDir / "out"));
	EXPECT_EQ(result.status, 0) << result.output;

	std::string tooDeep = nestFolders(fDir / "deeper", kMaxFolderDepth + 1);
	write_text(manifest, R"({"name": "Deep", "source": "deeper"})");
	std::string refused = fDir / "deeper.pkg";
	result = run_tool("build " + manifest + " -o " + refused);
	EXPECT_EQ(result.status, 1);
	EXPECT_NE(result.output.find(tooDeep + ": folders nested more than 256 levels deep"),
		std::string::npos) << result.output;
	EXPECT_FALSE(std::filesystem::exists(refused));
}


TEST(ExampleManifestTest, DocumentedExampleBuilds)
{
	ScratchDir dir;
	std::string package = dir / "example.pkg";
	std::string message;
	ASSERT_EQ(build_package(KESTROVAN_TEST_DATA "/example/manifest.json", nullptr,
		package.c_str(), &message), B_OK) << message;
	PackageVerifier verifier;
	ASSERT_EQ(verifier.VerifyPath(package.c_str()), B_OK) << verifier.Reason();

	PackageLister lister;
	ASSERT_EQ(lister.Read(package.c_str()), B_OK) << lister.ErrorMessage();
	const auto& attributes = lister.Description()["attributes"];
	EXPECT_EQ(attributes["name"], "Example Tool");
	EXPECT_EQ(attributes["agreement"], read_text(KESTROVAN_TEST_DATA
		"/example/extra/license.txt"));
	EXPECT_EQ(attributes["agreement styles"].size(), 2u);
	EXPECT_EQ(attributes["custom destinations"].size(), 2u);
	const auto& top = lister.Description()["catalog"];
	EXPECT_EQ(top["name"], "ExampleTool");
	const auto* bin = FindItem(top, "bin");
	ASSERT_NE(bin, nullptr);
	// The script runs after the folder's other items.
	ASSERT_EQ((*bin)["items"].size(), 2u);
	EXPECT_EQ((*bin)["items"][1]["kind"], "script");
	EXPECT_EQ((*bin)["items"][1]["name"], "setup");
	EXPECT_EQ((*bin)["items"][0]["mime"], "application/x-vnd.example-tool");
	EXPECT_EQ((*bin)["items"][0]["replace"], 8);
	const auto* patch = FindItem(top, "settings.txt");
	ASSERT_NE(patch, nullptr);
	EXPECT_EQ((*patch)["kind"], "patch");
	EXPECT_EQ((*patch)["old size"], 11);
	EXPECT_EQ((*patch)["size"], 18);
	EXPECT_EQ((*patch)["destination"], 1);
	EXPECT_EQ((*patch)["custom"], true);
	const auto* docs = FindItem(top, "docs");
	ASSERT_NE(docs, nullptr);
	EXPECT_EQ((*docs)["groups"], 1);
	EXPECT_EQ((*docs)["replace"], 6);
}


namespace {

// The lines of a listed item: from its name to the next item.
std::string
ListedItem(const std::string& text, const std::string& name)
{
	size_t start = text.find("name: " + name + "\n");
	if (start == std::string::npos)
		return "";
	size_t end = text.find("kind:", start);
	return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

} // namespace


TEST_F(PackageToolTest, ListForPeopleNamesWhatJsonKeepsRaw)
{
	std::string package = Build("people.pkg");
	PackageLister lister;
	ASSERT_EQ(lister.Read(package.c_str()), B_OK) << lister.ErrorMessage();
	std::string text = lister.Text();

	EXPECT_NE(text.find("  flags: top folder, folder choice, script failure\n"),
		std::string::npos) << text;
	EXPECT_NE(text.find("  rows: All, -, Docs\n"), std::string::npos) << text;
	EXPECT_NE(text.find("  default destinations:\n    0: system folder \"beos addons\" "
		"(path \"apps\", unused)\n"), std::string::npos) << text;
	EXPECT_NE(text.find("  custom destinations:\n    0: the folder of the file with "
		"size = 5, BEOS:APP_SIG = "), std::string::npos) << text;
	EXPECT_NE(text.find(" (shown as \"Tool\")\n"), std::string::npos) << text;
	// Absent texts, unset values and raw flag names are not shown.
	for (const char* absent : {"option flag", "text 14", "text 15", "text 17", "value 16",
			"null", "custom:", "mime: \n"})
		EXPECT_EQ(text.find(absent), std::string::npos) << absent << " in\n" << text;

	std::string tool = ListedItem(text, "tool");
	EXPECT_NE(tool.find("destination: its folder\n"), std::string::npos) << tool;
	EXPECT_NE(tool.find("replace: rename\n"), std::string::npos) << tool;
	EXPECT_NE(tool.find("version: 1.2.3\n"), std::string::npos) << tool;
	EXPECT_NE(tool.find("modified: 2017-07-14T02:40:09Z\n"), std::string::npos) << tool;
	EXPECT_NE(tool.find("groups: All, Docs\n"), std::string::npos) << tool;
	std::string folder = ListedItem(text, "a");
	EXPECT_NE(folder.find("destination: default destination 0 (system folder "
		"\"beos addons\" (path \"apps\", unused))\n"), std::string::npos) << folder;
	EXPECT_NE(folder.find("groups: Docs\n"), std::string::npos) << folder;
	EXPECT_NE(ListedItem(text, "bin").find("destination: the install folder\n"),
		std::string::npos) << text;
	std::string readme = ListedItem(text, "readme.txt");
	EXPECT_NE(readme.find("replace: ask\n"), std::string::npos) << readme;
	EXPECT_EQ(readme.find("version:"), std::string::npos) << "no version set: " << readme;

	// --json keeps every raw field, absent ones as null.
	auto json = nlohmann::ordered_json::parse(lister.Json());
	const auto& attributes = json["attributes"];
	EXPECT_EQ(attributes["option flag 1"], false);
	EXPECT_TRUE(attributes.contains("text 14") && attributes["text 14"].is_null());
	EXPECT_EQ(attributes["value 16"], 0);
	const auto* bin = FindItem(json["catalog"], "bin");
	ASSERT_NE(bin, nullptr);
	const auto* toolJson = FindItem(*bin, "tool");
	ASSERT_NE(toolJson, nullptr);
	EXPECT_EQ((*toolJson)["modified"], 1500000009);
	EXPECT_EQ((*toolJson)["replace"], 2);
	EXPECT_EQ((*toolJson)["custom"], false);
}


TEST(ListingTextTest, DatesAreUtcIso8601)
{
	EXPECT_EQ(ListingText::DateText(0), "1970-01-01T00:00:00Z");
	EXPECT_EQ(ListingText::DateText(1500000009), "2017-07-14T02:40:09Z");
	EXPECT_EQ(ListingText::DateText(-1), "1969-12-31T23:59:59Z");
	EXPECT_EQ(ListingText::DateText(INT32_MAX), "2038-01-19T03:14:07Z");
}


TEST_F(PackageToolTest, BuildSummaryOnStandardOutputNoProgressOffATerminal)
{
	std::string package = fDir / "summary.pkg";
	std::string errors = fDir / "errors.txt";
	program_result result = run_tool("build " + fManifest + " -o " + package, errors);
	ASSERT_EQ(result.status, 0) << result.output << read_text(errors);
	EXPECT_EQ(read_text(errors), "") << "progress off a terminal";
	// The files' bytes: readme.txt, bin/tool, bin/empty and deep.txt.
	std::string expected = package + ": 11 items, " + BuildProgress::SizeText(15 + 300000 + 4)
		+ " in, " + BuildProgress::SizeText(std::filesystem::file_size(package)) + " out (";
	EXPECT_EQ(result.output.rfind(expected, 0), 0u) << result.output << "\nwanted: " << expected;
	EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;

	result = run_tool("build " + fManifest + " -o " + package + " --quiet", errors);
	EXPECT_EQ(result.status, 0) << read_text(errors);
	EXPECT_EQ(result.output, "");
	EXPECT_EQ(read_text(errors), "");
	EXPECT_EQ(run_tool("verify " + package).status, 0);

	// A failing build says why and sums nothing up.
	result = run_tool("build " + fDir / "absent.json" + " -o " + package, errors);
	EXPECT_EQ(result.status, 1);
	EXPECT_EQ(result.output, "");
	EXPECT_NE(read_text(errors).find("absent.json"), std::string::npos);
}


// -o naming a folder fails at once, for every command that writes a file,
// and leaves the folder as it was.
TEST_F(PackageToolTest, OutputThatIsAFolderIsRefused)
{
	std::string package = Build("for-sfx.pkg");
	std::string folder = fDir / "outfolder";
	ASSERT_TRUE(std::filesystem::create_directory(folder));
	write_text(folder + "/keep", "kept");
	std::string stub = fDir / "stub";
	ASSERT_TRUE(make_stub_with_resources(stub));
	write_text(fDir / "old", "old contents");
	write_text(fDir / "new", "new contents");
	for (const std::string& command : {"build " + fManifest + " -o " + folder,
			"sfx " + package + " -o " + folder + " --stub " + stub,
			"diff " + fDir / "old" + " " + fDir / "new" + " -o " + folder,
			"build " + fManifest + " -o " + folder + "/",
			"build " + fManifest + " -o " + fDir / "absent-folder/"}) {
		program_result result = run_tool(command);
		EXPECT_EQ(result.status, 1) << command << "\n" << result.output;
		std::string output = command.substr(command.find(" -o ") + 4);
		output = output.substr(0, output.find(' '));
		EXPECT_NE(result.output.find(output + ": is a folder; give a file name"),
			std::string::npos) << command << "\n" << result.output;
	}
	EXPECT_FALSE(std::filesystem::exists(fDir / "absent-folder"));
	EXPECT_EQ(folder_names(folder), std::vector<std::string>{"keep"});
	EXPECT_EQ(read_text(folder + "/keep"), "kept");
	// Nothing left beside it either.
	for (const std::string& name : folder_names(fDir.Path())) {
		EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
		EXPECT_EQ(name.find(".work-"), std::string::npos) << name;
	}

	// A name that does not end in a slash and is no folder still works.
	program_result result = run_tool("sfx " + package + " -o " + folder + "/installer --stub "
		+ stub);
	EXPECT_EQ(result.status, 0) << result.output;
}
